// Connecting to a receiver, the connection code, and the ends of a connection.
#include "client/object/QnLynClientObject.h"

#include "client/object/internal/QnLynClientLog.h"

#include "common/log/QnLog.h"

#include "QnSignal/client/QnSignalClient.h"
#include "client/videomodel/QnLynVideoModel.h"
#include "common/json/QnPeerJson.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/input/QnLynInput.h"
#include "lyn/manager/QnLynManager.h"

#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <system_error>

namespace {
/// The value the receiver program expects in a code lookup.
const char kConnectValue[] = "7430";
const char kCodeContentType[] = "multipart/form-data; boundary=--------GI3Ef1ei4KM7KM7ae0ei4ei4ei4ae0";
/// A receiver record is a few hundred bytes; a longer answer is not one.
constexpr qint64 kMaxCodeReplyBytes = 64 * 1024;
} // namespace

QJsonObject QnLynClientObject::peerObject(const QByteArray &bytes)
{
    return parsePeerObject(bytes).value_or(QJsonObject());
}

bool QnLynClientObject::isIpv4Text(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts) {
        if (p.isEmpty() || p.size() > 3)
            return false;
        for (const QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        if (p.toInt() > 255)
            return false;
    }
    return true;
}

void QnLynClientObject::wireConnection()
{
    connect(m_lynHttp, &QnLynHttp::startConnectResult, this, &QnLynClientObject::onStartConnectResult);
    connect(m_lynHttp, &QnLynHttp::keepResult, this, &QnLynClientObject::onKeepResult);
    connect(m_lynHttp, &QnLynHttp::serverDisconnected, this, &QnLynClientObject::onServerDisconnected);
    connect(m_lynHttp, &QnLynHttp::userLeaveRoom, this, &QnLynClientObject::onHttpUserLeaveRoom);
    connect(m_lynHttp, &QnLynHttp::reconnectServerResult, this, &QnLynClientObject::onReconnectServerResult);
    connect(m_lynSocket, &QnLynSocket::getSelfIp, m_lynHttp, &QnLynHttp::setLocalIp);
    connect(m_signalClient, &QnSignalClient::loginResult, this, &QnLynClientObject::onLoginResult);
    connect(m_signalClient, QOverload<bool, QString, bool>::of(&QnSignalClient::joinRoomResult), this,
            &QnLynClientObject::onJoinRoomResult);
    connect(m_signalClient, &QnSignalClient::reconnectFailed, this,
            &QnLynClientObject::onGatewayReconnectFailed);
}

bool QnLynClientObject::launchSignIn(const QString &ip, int port)
{
    // Copies made here, on the GUI thread; the thread touches only the gateway client, whose
    // login() may be called from any thread.
    const QString deviceId = m_lynHttp->getDeviceId();
    const QString deviceName = m_lynHttp->getDeviceName();
    QnSignalClient *client = m_signalClient;
    std::function<void()> job = [client, deviceId, deviceName, ip, port] {
        const int rc = client->login(deviceId, deviceName, ip, port);
        if (rc < 0)
            qCWarning(lcClient) << "sign-in to" << QnLog::peer(ip) << port << "was refused at once:" << rc;
    };
    if (m_config.startThread)
        return m_config.startThread(std::move(job));
    reapSignInThreads();
    try {
        m_signInThreads.emplace_back(std::move(job));
    } catch (const std::system_error &e) {
        qCCritical(lcClient) << "the sign-in thread could not be started:" << e.what();
        return false;
    }
    return true;
}

void QnLynClientObject::reapSignInThreads()
{
    // Sign-in only hands the request to the gateway thread, so earlier threads are done or nearly.
    for (std::thread &t : m_signInThreads)
        t.join();
    m_signInThreads.clear();
}

void QnLynClientObject::startConnect(const QString &url, const QString &userId, const QString &ip, int port,
                                     const QString &roomId)
{
    QN_CHECK_THREAD(m_thread);
    qCDebug(lcClient) << "startConnect" << QnLog::peer(ip) << port << QnLog::peer(roomId);
    m_lynHttp->setRoomId(roomId);
    m_serverUrl = url;
    m_serverUserId = userId;
    m_serverIp = ip;
    qCDebug(lcClient) << "startConnecyt =============" << QnLog::peer(m_serverUserId)
                      << m_lynHttp->getDeviceId();
    m_link = LinkState::Connecting;
    m_signInPending = true;
    if (!launchSignIn(ip, port)) {
        m_signInPending = false;
        reportNotConnected(m_serverUserId);
    }
}

void QnLynClientObject::onLoginResult(bool result, const QString &error)
{
    qCDebug(lcClient) << "loginResult" << result << QnLog::peer(error);
    const bool ownSignIn = m_signInPending;
    m_signInPending = false;
    if (result) {
        // Also after the gateway's own re-login: this is the one join of the outage (the gateway
        // does not re-join), and its answer says whether it follows a drop.
        m_signalClient->joinRoom(m_lynHttp->getRoomId(), QString());
    } else if (ownSignIn) {
        reportNotConnected(m_serverUserId);
    } else {
        // A refused re-login: the gateway tries again, or gives up with reconnectFailed, which
        // ends the connection and reports it.
        qCInfo(lcClient) << "gateway re-login refused; waiting for the next attempt";
    }
}

void QnLynClientObject::onJoinRoomResult(bool result, const QString &error, bool isDisconnect)
{
    qCDebug(lcClient) << "joinRoomResult" << result << QnLog::peer(error) << isDisconnect;
    if (!result) {
        reportNotConnected(m_serverUserId);
        return;
    }
    if (isDisconnect)
        m_lynHttp->sendReconnect(m_serverUserId);
    else
        m_lynHttp->startConnect(m_serverUrl, m_serverUserId);
}

void QnLynClientObject::onReconnectServerResult(const QString &userId, bool result)
{
    qCDebug(lcClient) << "reconnectServerResult" << QnLog::peer(userId) << result;
    if (result)
        m_lynHttp->startConnect(m_serverUrl, m_serverUserId);
}

void QnLynClientObject::onStartConnectResult(bool result, const QString &userId, const QString &nickName,
                                             const QString &, const QString &, int, const QString &uploadUrl)
{
    m_serverUserId = userId;
    qCDebug(lcClient) << "startConnect ==========" << QnLog::peer(userId) << QnLog::peer(m_serverUserId)
                      << QnLog::peer(uploadUrl);
    m_serverNickName = nickName;
    if (!result) {
        reportNotConnected(userId);
        emit startConnectResult(false, userId, QString());
        return;
    }
    m_uploadUrl = uploadUrl.contains(QLatin1String("http"))
                      ? uploadUrl
                      : QStringLiteral("http://") + m_serverIp + uploadUrl;
    // Only the connected receiver may drive this PC.
    m_input->setConnectedReceiver(userId);
    qCInfo(lcClient) << "connected to receiver" << QnLog::peer(userId) << QnLog::peer(nickName);
    m_link = LinkState::Connected;
    emit serverConnectChanged(true, userId);
    emit startConnectResult(true, userId, nickName);
    m_lynSocket->sendGetIp(m_serverIp);
}

void QnLynClientObject::onGatewayReconnectFailed()
{
    endConnection(m_serverUserId, m_serverUrl);
    emit reconnectFailed();
    qCDebug(lcClient) << "==============================reconnectFailed";
}

void QnLynClientObject::onKeepResult(bool result, const QString &userId, const QString &url)
{
    if (!result && userId == m_serverUserId)
        endConnection(userId, url);
}

void QnLynClientObject::onServerDisconnected(const QString &userId)
{
    if (userId == m_serverUserId)
        endConnection(userId, QString());
}

void QnLynClientObject::onHttpUserLeaveRoom(const QString &userId)
{
    if (userId == m_serverUserId)
        endConnection(userId, QString());
    qCDebug(lcClient) << "m_serverUserID ==============" << QnLog::peer(m_serverUserId)
                      << QnLog::peer(userId);
    emit userLeaveRoom(userId);
}

void QnLynClientObject::endConnection(const QString &userId, const QString &url)
{
    qCInfo(lcClient) << "connection to" << QnLog::peer(userId) << "ends";
    m_lynHttp->resetKeepAlive();
    m_input->setConnectedReceiver(QString());
    ++m_lynSeq; // answers still on their way start nothing
    ++m_desktopSeq;
    if (m_lynManager->isCapturing()) {
        m_lynSending = false;
        m_input->setScreen(0);
        m_lynHttp->stopLynSender(url, userId);
        m_lynManager->stopSender();
    }
    if (m_desktopSending.load()) {
        m_desktopSending = false;
        m_lynHttp->stopDesktopSender(url, userId);
        m_videoModel->removeItem(userId);
        m_lynManager->stopServer(userId);
        emit removeDesktop();
    }
    m_signalClient->leaveRoom(m_lynHttp->getRoomId());
    m_signalClient->logout();
    reportNotConnected(userId);
}

void QnLynClientObject::reportNotConnected(const QString &userId)
{
    if (m_link == LinkState::Idle) {
        qCDebug(lcClient) << "not connected (already reported)";
        return;
    }
    m_link = LinkState::Idle;
    emit serverConnectChanged(false, userId);
}

void QnLynClientObject::stopConnect(const QString &url, const QString &userId)
{
    QN_CHECK_THREAD(m_thread);
    m_lynHttp->stopConnect(url, userId);
    m_input->setConnectedReceiver(QString());
    m_link = LinkState::Idle;
    m_signInPending = false;
    const int rc = m_signalClient->logout();
    qCDebug(lcClient) << "logout" << rc;
}

QString QnLynClientObject::codeHost(const QString &code, const QString &ownIp)
{
    const QStringList parts = ownIp.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return QString();
    for (const QString &p : parts) {
        bool ok = false;
        const int v = p.toInt(&ok);
        if (!ok || v < 0 || v > 255)
            return QString();
    }
    bool ok = false;
    const int n = code.toInt(&ok);
    if (ok && n < 0)
        return QString();
    const int q = ok ? n / 3 : 0;
    const QString s = QString::number(q).rightJustified(6, QLatin1Char('0'));
    const QString digits = QString(s.at(0)) + s.at(2) + s.at(4);
    const QString last = QString::number(digits.toInt());
    return parts.at(0) + QLatin1Char('.') + parts.at(1) + QLatin1Char('.') + parts.at(2) + QLatin1Char('.') +
           last;
}

void QnLynClientObject::connectServer(const QString &code)
{
    QN_CHECK_THREAD(m_thread);
    const QString host = codeHost(code, QString::fromStdString(m_networkInfo.ip));
    if (host.isEmpty()) {
        qCWarning(lcClient) << "connection code: no usable own IPv4 address (" << m_networkInfo.ip.c_str()
                            << ") or a negative code; nothing sent";
        emit getConnectInfo(QJsonObject());
        return;
    }
    if (!m_codeNetwork)
        m_codeNetwork = std::make_unique<QNetworkAccessManager>();
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host);
    url.setPort(m_config.codePort);
    url.setPath(QStringLiteral("/codeinfo"));
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray(kCodeContentType));
    request.setTransferTimeout(m_config.codeTimeoutMs);
    const QByteArray body =
        QJsonDocument(QJsonObject{{QStringLiteral("connect"), QLatin1String(kConnectValue)}})
            .toJson(QJsonDocument::Compact);
    qCDebug(lcClient) << "code lookup at" << url.toString();
    QNetworkReply *reply = m_codeNetwork->post(request, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply] { onCodeReply(reply); });
}

void QnLynClientObject::onCodeReply(QNetworkReply *reply)
{
    reply->deleteLater();
    qCDebug(lcClient) << "reply==============";
    const QByteArray body = reply->read(kMaxCodeReplyBytes + 1);
    const QJsonObject object = body.size() > kMaxCodeReplyBytes ? QJsonObject() : peerObject(body);
    qCDebug(lcClient) << "reply------>" << QnLog::peer(QJsonDocument(object).toJson(QJsonDocument::Compact));
    if (reply->error() != QNetworkReply::NoError || object.isEmpty()) {
        qCWarning(lcClient) << "connection code lookup failed:" << reply->errorString();
        emit getConnectInfo(QJsonObject());
        return;
    }
    m_lynSocket->addDevice(object);
    emit getConnectInfo(object);
}
