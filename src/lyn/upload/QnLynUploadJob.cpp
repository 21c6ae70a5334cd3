#include "lyn/upload/QnLynUploadJob.h"

#include "common/settings/COption.h"
#include "lyn/upload/QnLynUploadAnswer.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QHttpMultiPart>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QMimeDatabase>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QUuid>

#include <memory>

Q_LOGGING_CATEGORY(lcUpload, "qn.upload")

namespace {

const QByteArray kBoundary = QByteArrayLiteral("--------GI3Ef1ei4KM7KM7ae0ei4ei4ei4ae0");

// A receiver that stops reading or answering for this long fails the upload; the limit restarts
// with every byte moved, so slow but progressing transfers are not cut off.
constexpr int kTransferTimeoutMs = 30000;

// The generated file name: the part id, a dot, and the source name's text after its last dot.
QString generatedName(const QString &partId, const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return partId + QLatin1Char('.') + (dot < 0 ? QString() : name.mid(dot + 1));
}

} // namespace

class QnLynUploadJob::Private
{
public:
    QPointer<QNetworkAccessManager> nam;
    QString deviceId;
    QString uploadUrl;
    QStringList files;
    QHash<QString, QString> pathByName; // generated file name -> source path
    QPointer<QNetworkReply> reply;
    bool started = false;
    bool reported = false;
};

QnLynUploadJob::QnLynUploadJob(QNetworkAccessManager *nam, const QString &deviceId, const QString &uploadUrl,
                               const QStringList &files, QObject *parent)
    : QObject(parent), d(new Private)
{
    d->nam = nam;
    d->deviceId = deviceId;
    d->uploadUrl = uploadUrl;
    d->files = files;
}

QnLynUploadJob::~QnLynUploadJob()
{
    if (d->reply) {
        // Destroyed before the answer: nobody is left to hear it.
        disconnect(d->reply, nullptr, this, nullptr);
        d->reply->abort();
        d->reply->deleteLater();
    }
    delete d;
}

QStringList QnLynUploadJob::files() const
{
    return d->files;
}

void QnLynUploadJob::start()
{
    if (d->started) {
        qCWarning(lcUpload) << "upload job started twice; ignored";
        return;
    }
    d->started = true;

    const QUrl url = QUrl::fromUserInput(d->uploadUrl);
    const bool httpUrl =
        url.isValid() && (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
    if (!d->nam || !httpUrl) {
        qCWarning(lcUpload) << "upload not sent: no network access or bad address" << d->uploadUrl;
        // Reported from the event loop so that the caller sees the result after start() returns.
        QMetaObject::invokeMethod(
            this, [this] { report(false, QJsonArray(), QStringList()); }, Qt::QueuedConnection);
        return;
    }

    auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    multi->setBoundary(kBoundary);

    QHttpPart idPart;
    idPart.setHeader(QNetworkRequest::ContentDispositionHeader, QStringLiteral("form-data; name=\"userId\""));
    idPart.setBody(d->deviceId.toUtf8());
    multi->append(idPart);

    QMimeDatabase mimeDb;
    for (const QString &path : qAsConst(d->files)) {
        auto file = std::make_unique<QFile>(path);
        if (!file->open(QIODevice::ReadOnly)) {
            qCWarning(lcUpload) << "left out of the upload, cannot open" << path << file->errorString();
            continue;
        }
        const QString partId = QUuid::createUuid().toString(QUuid::WithoutBraces);
        const QString name = generatedName(partId, path);
        QHttpPart part;
        part.setHeader(QNetworkRequest::ContentDispositionHeader,
                       QStringLiteral("form-data; name=\"%1\"; filename=\"%2\"").arg(partId, name));
        part.setHeader(QNetworkRequest::ContentTypeHeader, mimeDb.mimeTypeForFile(path).name());
        file->setParent(multi); // the body owns its files
        part.setBodyDevice(file.release());
        multi->append(part);
        d->pathByName.insert(name, path);
    }

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArray("multipart/form-data; boundary=") + kBoundary);
    request.setTransferTimeout(kTransferTimeoutMs);

    qCDebug(lcUpload) << "uploading" << d->pathByName.size() << "of" << d->files.size() << "files to" << url;
    QNetworkReply *reply = d->nam->post(request, multi);
    multi->setParent(reply); // the reply owns the body
    d->reply = reply;
    connect(reply, &QNetworkReply::finished, this, &QnLynUploadJob::onReplyFinished);
}

void QnLynUploadJob::onReplyFinished()
{
    QNetworkReply *reply = d->reply;
    if (!reply)
        return;
    d->reply = nullptr;
    reply->deleteLater();

    if (reply->error() != QNetworkReply::NoError) {
        qCWarning(lcUpload) << "upload failed:" << reply->error() << reply->errorString();
        report(false, QJsonArray(), QStringList());
        return;
    }
    const QByteArray body = reply->readAll();
    const QnLynUploadAnswer answer = parseUploadAnswer(body, d->pathByName);
    if (!answer.accepted) {
        // The body may be anything; only its size reaches the log.
        qCWarning(lcUpload) << "upload refused or unreadable answer," << body.size() << "bytes";
        report(false, QJsonArray(), QStringList());
        return;
    }

    QJsonArray entries;
    QStringList uploaded;
    for (const QnLynUploadAnswer::Stored &stored : answer.stored) {
        const QFileInfo info(stored.path);
        QJsonObject entry;
        entry.insert(QStringLiteral("name"), info.fileName());
        entry.insert(QStringLiteral("size"), double(info.size()));
        entry.insert(QStringLiteral("url"), stored.url);
        entry.insert(QStringLiteral("md5"), fileMd5(stored.path));
        entries.append(entry);
        uploaded.append(stored.path);
    }
    qCDebug(lcUpload) << "upload accepted," << entries.size() << "files stored";
    report(true, entries, uploaded);
}

void QnLynUploadJob::report(bool accepted, const QJsonArray &entries, const QStringList &uploadedPaths)
{
    if (d->reported)
        return;
    d->reported = true;
    Q_EMIT finished(accepted, entries, uploadedPaths);
    deleteLater();
}
