#include "qnloginbase/src/Interface/QnBoardUser.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcUser, "qn.login.user")

namespace QnBoard {

User::User() = default;

User::User(const User &other) : QObject(nullptr)
{
    copyFields(other);
}

User &User::operator=(const User &other)
{
    if (this != &other) {
        abortDownload(); // its report would name the old user
        copyFields(other);
    }
    return *this;
}

User::~User() = default;

void User::abortDownload()
{
    if (!m_reply)
        return;
    m_reply->setProperty("qn_aborted_by_owner", true);
    m_reply->abort(); // finishes at once; the handler drops it without a report
}

void User::copyFields(const User &other)
{
    uuid = other.uuid;
    role = other.role;
    name = other.name;
    username = other.username;
    nickname = other.nickname;
    headPath = other.headPath;
    localHeadPath = other.localHeadPath;
}

User User::fromJson(const QString &json)
{
    User user;
    const QJsonObject object = QJsonDocument::fromJson(json.toUtf8()).object();
    user.uuid = object.value(QLatin1String("uuid")).toString();
    user.role = object.value(QLatin1String("role")).toInt();
    user.name = object.value(QLatin1String("name")).toString();
    user.username = object.value(QLatin1String("username")).toString();
    user.nickname = object.value(QLatin1String("nickname")).toString();
    user.headPath = object.value(QLatin1String("headPath")).toString();
    return user;
}

QUrl User::avatarUrl(const QString &gatewayBase, const QString &headPath)
{
    if (headPath.isEmpty())
        return QUrl();
    const QUrl base(gatewayBase, QUrl::StrictMode);
    const QUrl relative(headPath, QUrl::StrictMode);
    if (!base.isValid() || base.host().isEmpty() || !relative.isValid() || !relative.scheme().isEmpty() ||
        !relative.authority().isEmpty() || headPath.startsWith(QLatin1String("//")))
        return QUrl();
    QString path = base.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QString tail = relative.path(QUrl::FullyEncoded);
    QUrl url = base;
    url.setPath(path + (tail.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + tail,
                QUrl::TolerantMode);
    url.setQuery(relative.query(QUrl::FullyEncoded), QUrl::TolerantMode);
    url.setFragment(QString());
    if (!url.isValid() || url.host() != base.host() || url.port() != base.port() ||
        url.scheme() != base.scheme())
        return QUrl();
    return url;
}

bool User::isSafeUuid(const QString &uuid)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9A-Za-z-]{1,64}$"));
    return pattern.match(uuid).hasMatch();
}

QString User::imageExtension(const QUrl &url)
{
    const QString path = url.path();
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || path.indexOf(QLatin1Char('/'), dot) >= 0)
        return QString();
    const QString extension = path.mid(dot + 1).toLower();
    static const QStringList allowed = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"),
                                        QStringLiteral("gif"), QStringLiteral("bmp")};
    return allowed.contains(extension) ? extension : QString();
}

QString User::cacheDir()
{
    return QStandardPaths::writableLocation(QStandardPaths::DataLocation) + QStringLiteral("/imageCache/via");
}

void User::downloadAvatar()
{
    if (headPath.isEmpty())
        return;
    const QString id = uuid;
    const QUrl url(headPath, QUrl::StrictMode);
    const QString extension = imageExtension(url);
    QString refusal;
    if (!isSafeUuid(id))
        refusal = QStringLiteral("unusable user id");
    else if (!url.isValid() || url.host().isEmpty() ||
             (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        refusal = QStringLiteral("unusable head image address");
    else if (extension.isEmpty())
        refusal = QStringLiteral("unsupported head image type");
    if (!refusal.isEmpty()) {
        qCWarning(lcUser) << "head image not fetched:" << refusal;
        emit downloadFailed(id, refusal);
        emit finish(id);
        return;
    }

    if (!m_nam) {
        m_nam = new QNetworkAccessManager(this);
        // A redirect could lead to another host: it fails like any other status but 200.
        m_nam->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    }
    abortDownload();
    QNetworkRequest request(url);
    request.setTransferTimeout(m_transferTimeoutMs);
    qCDebug(lcUser) << "head image download" << url.toString(QUrl::RemoveQuery).left(200);
    QNetworkReply *reply = m_nam->get(request);
    m_reply = reply;
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, id, extension] { onAvatarReply(reply, id, extension); });
}

void User::onAvatarReply(QNetworkReply *reply, const QString &id, const QString &extension)
{
    reply->deleteLater();
    if (m_reply == reply)
        m_reply = nullptr;
    if (reply->error() == QNetworkReply::OperationCanceledError &&
        reply->property("qn_aborted_by_owner").toBool())
        return;

    QString failure;
    QImage image;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError)
        failure = QStringLiteral("network error %1").arg(int(reply->error()));
    else if (status != 200)
        failure = QStringLiteral("HTTP status %1").arg(status);
    else if (!image.loadFromData(reply->readAll()))
        failure = QStringLiteral("not a picture");

    QString file;
    if (failure.isEmpty()) {
        const QString dir = cacheDir();
        file = dir + QLatin1Char('/') + id + QLatin1Char('.') + extension;
        QSaveFile out(file); // written beside the file, renamed over it only when complete
        const QByteArray format =
            extension == QLatin1String("jpg") ? QByteArrayLiteral("JPG") : extension.toLatin1();
        if (!QDir().mkpath(dir) || !out.open(QIODevice::WriteOnly) || !image.save(&out, format.constData()) ||
            !out.commit())
            failure = QStringLiteral("cannot write ") + file;
    }
    if (failure.isEmpty()) {
        localHeadPath = file;
        qCDebug(lcUser) << "head image saved" << file;
    } else {
        qCWarning(lcUser) << "head image download failed:" << failure;
        emit downloadFailed(id, failure);
    }
    emit finish(id);
}

} // namespace QnBoard
