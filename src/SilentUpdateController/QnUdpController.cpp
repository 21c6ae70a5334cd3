#include "SilentUpdateController/QnUdpController.h"

#include <QDir>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <QUrl>

Q_LOGGING_CATEGORY(lcUpdaterService, "qn.update.service")

namespace {

bool isHex32(const QString &text)
{
    if (text.size() != 32)
        return false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

bool isDottedVersion(const QString &text)
{
    if (text.isEmpty() || text.size() > 64)
        return false;
    for (const QChar c : text) {
        if (!(c.isDigit() && c.unicode() < 128) && c != QLatin1Char('.'))
            return false;
    }
    return true;
}

QByteArray encode(const UpdateJobInfo &job)
{
    return QJsonDocument(QnUdpController::toJson(job)).toJson(QJsonDocument::Compact);
}

} // namespace

QnUdpController *QnUdpController::instance()
{
    static QnUdpController controller;
    return &controller;
}

QnUdpController::QnUdpController(QObject *parent) : QObject(parent), m_socket(new QUdpSocket(this)) {}

QnUdpController::~QnUdpController() = default;

void QnUdpController::initSocket()
{
    delete m_socket;
    m_socket = new QUdpSocket(this);
}

void QnUdpController::setServiceAddress(const QHostAddress &address, quint16 port)
{
    m_address = address;
    m_port = port;
}

QJsonObject QnUdpController::toJson(const UpdateJobInfo &job)
{
    QJsonObject object;
    object.insert(QStringLiteral("QnUpdaterTitle"), QStringLiteral("508417"));
    object.insert(QStringLiteral("installType"), job.installType);
    object.insert(QStringLiteral("appName"), job.appName);
    object.insert(QStringLiteral("url"), job.url);
    object.insert(QStringLiteral("version"), job.version);
    object.insert(QStringLiteral("context"), job.context);
    object.insert(QStringLiteral("md5"), job.md5);
    object.insert(QStringLiteral("totalSize"), job.totalSize);
    object.insert(QStringLiteral("contextSaveDir"), job.contextSaveDir);
    return object;
}

QString QnUdpController::checkJob(const UpdateJobInfo &job)
{
    if (job.appName.isEmpty())
        return QStringLiteral("no application name");
    if (!isDottedVersion(job.version))
        return QStringLiteral("version is not dotted digits");
    const QUrl url(job.url, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QStringLiteral("url is not http or https");
    if (url.host().isEmpty() || !url.userInfo().isEmpty())
        return QStringLiteral("url has no host or carries user information");
    if (!isHex32(job.md5))
        return QStringLiteral("md5 is not 32 hexadecimal digits");
    if (job.totalSize <= 0)
        return QStringLiteral("no size");
    if (job.contextSaveDir.isEmpty() || !QDir::isAbsolutePath(job.contextSaveDir))
        return QStringLiteral("no absolute data folder");
    if (encode(job).size() > kMaxDatagram)
        return QStringLiteral("job too large for one datagram");
    return QString();
}

bool QnUdpController::sendMsg(const UpdateJobInfo &job)
{
    const QString refusal = checkJob(job);
    if (!refusal.isEmpty()) {
        qCWarning(lcUpdaterService) << "job not sent:" << refusal;
        return false;
    }
    return sendMsg(QString::fromUtf8(encode(job)));
}

bool QnUdpController::sendMsg(const QString &text)
{
    qCDebug(lcUpdaterService) << "QnUdpController::sendMsg" << text.left(1000);
    const QByteArray bytes = text.toUtf8();
    const qint64 written = m_socket->writeDatagram(bytes, m_address, m_port);
    if (written != bytes.size()) {
        qCWarning(lcUpdaterService) << "datagram not sent:" << m_socket->errorString();
        return false;
    }
    return true;
}

void QnUdpController::slotRcvMsg()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram(kMaxDatagram);
        const QJsonDocument doc = QJsonDocument::fromJson(datagram.data());
        if (!doc.isObject())
            continue;
        const QJsonObject object = doc.object();
        if (!object.isEmpty() && object.contains(QStringLiteral("QnUpdaterTitle")))
            emit sigRcvUpdateMsg(object);
    }
}
