#include "QnSignal/client/QnSignalClient.h"

#include "common/log/QnLog.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QUuid>

Q_LOGGING_CATEGORY(lcSignal, "qn.signal")

QnSignalClient::QnSignalClient(QObject *parent) : QObject(parent) {}

QnSignalClient::~QnSignalClient()
{
    if (m_gateway) {
        m_gateway->stop();
        m_gateway.reset();
    }
}

void QnSignalClient::setGatewayConfig(const QnGatewayConfig &config)
{
    m_config = config;
}

int QnSignalClient::initSdk()
{
    if (m_gateway)
        return 0;
    m_gateway = std::make_unique<QnGatewayClient>();
    // The caller joins its room on every successful sign-in, re-logins included: the gateway
    // re-joining as well would make two joins (and two connect requests) per outage.
    QnGatewayConfig config = m_config;
    config.rejoinRooms = false;
    if (m_gateway->init(this, config) < 0)
        qCWarning(lcSignal) << "GWClient Init Failed!";
    const int result = m_gateway->start();
    if (result < 0)
        qCWarning(lcSignal) << "GWClient Start Failed!";
    return result;
}

int QnSignalClient::login(const QString &userId, const QString &userName, const QString &host, int port)
{
    if (!m_gateway)
        return -1;
    {
        QnMutexLocker lock(&m_mutex);
        m_userId = userId;
        m_userName = userName;
        // A new sign-in starts a new count: failures of an earlier outage do not carry over.
        m_reloginCount = 0;
        m_disconnected = false;
        m_inOutage = false;
        m_reconnectFailedRaised = false;
    }
    const int result = m_gateway->login(userId, userName, host, quint16(port & 0xffff));
    if (result < 0)
        qCWarning(lcSignal) << "Login Failed!" << result;
    return result;
}

int QnSignalClient::logout()
{
    if (!m_gateway)
        return -1;
    const int result = m_gateway->logout();
    if (result < 0)
        qCWarning(lcSignal) << "GroupLeave Failed!" << result;
    return result;
}

int QnSignalClient::joinRoom(const QString &roomId, const QString &second)
{
    Q_UNUSED(second)
    if (!m_gateway)
        return -1;
    const int result = m_gateway->joinRoom(roomId);
    if (result < 0)
        qCWarning(lcSignal) << "GroupJoin Failed!" << result;
    return result;
}

int QnSignalClient::leaveRoom(const QString &roomId)
{
    if (!m_gateway)
        return -1;
    const int result = m_gateway->leaveRoom(roomId);
    if (result < 0)
        qCWarning(lcSignal) << "GroupLeave Failed!" << result;
    return result;
}

int QnSignalClient::sendRoomUserMsg(const QString &targetId, int channel, const QByteArray &payload)
{
    if (!m_gateway)
        return -1;
    const QString msgId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const int result = m_gateway->sendRoomMessage(targetId, msgId, channel + kChannelTypeBase, payload);
    if (result < 0)
        qCWarning(lcSignal) << "SendMsg Group Chat Failed!" << result << "channel" << channel;
    return result;
}

void QnSignalClient::onLogin(const QnGatewayAnswer &answer)
{
    qCInfo(lcSignal) << "login answer" << answer.code << QnLog::peer(answer.text) << "index"
                     << answer.requestIndex << "relogin" << answer.relogin;
    bool raiseFailed = false;
    {
        QnMutexLocker lock(&m_mutex);
        ++m_reloginCount;
        // The outage flag, not the drop flag: a join answer after the drop clears the latter, but
        // the outage goes on until a sign-in succeeds.
        if (m_inOutage && answer.code != 0 && m_reloginCount >= 2 && !m_reconnectFailedRaised) {
            raiseFailed = true;
            m_reconnectFailedRaised = true;
        }
        if (answer.code == 0) {
            // The drop flag stays until the join answer: that answer is the one that tells the
            // caller to send the reconnect request rather than a new connect request.
            m_reloginCount = 0;
            m_inOutage = false;
            m_reconnectFailedRaised = false;
        }
    }
    if (raiseFailed) {
        qCWarning(lcSignal) << "reconnect failed";
        QMetaObject::invokeMethod(
            this, [this] { emit reconnectFailed(); }, Qt::QueuedConnection);
    }
    const bool ok = answer.code == 0;
    const QString text = answer.text;
    QMetaObject::invokeMethod(
        this, [this, ok, text] { emit loginResult(ok, text); }, Qt::QueuedConnection);
}

void QnSignalClient::onJoin(const QnGatewayAnswer &answer)
{
    qCInfo(lcSignal) << "join answer" << answer.code << QnLog::peer(answer.text) << "room"
                     << QnLog::peer(answer.roomId);
    bool disconnected = false;
    {
        QnMutexLocker lock(&m_mutex);
        disconnected = m_disconnected;
        m_disconnected = false;
    }
    const bool ok = answer.code == 0;
    const QString text = answer.text;
    QMetaObject::invokeMethod(
        this, [this, ok, text, disconnected] { emit joinRoomResult(ok, text, disconnected); },
        Qt::QueuedConnection);
}

void QnSignalClient::onMemberJoin(const QString &roomId, const QString &userId)
{
    Q_UNUSED(roomId)
    emit userJoinRoom(userId);
}

void QnSignalClient::onMemberLeave(const QString &roomId, const QString &userId, QnGatewayLeaveReason reason)
{
    Q_UNUSED(roomId)
    emit userLeaveRoom(userId, reason == QnGatewayLeaveReason::Dropped);
}

void QnSignalClient::onRoomMessage(const QnGatewayMessage &message)
{
    {
        QnMutexLocker lock(&m_mutex);
        if (message.fromUserId == m_userId)
            return; // our own message echoed by the room
    }
    const int channel = message.type - kChannelTypeBase;
    bool routed = false;
    {
        QnMutexLocker lock(&m_routeMutex);
        const auto it = m_routes.constFind(channel);
        if (it != m_routes.constEnd()) {
            routed = true;
            if (it->direct) {
                it->handler(channel, message.payload, message.fromUserId);
            } else if (QObject *context = it->guard.data()) {
                QMetaObject::invokeMethod(
                    context,
                    [handler = it->handler, channel, payload = message.payload, from = message.fromUserId] {
                        handler(channel, payload, from);
                    },
                    Qt::QueuedConnection);
            }
        }
    }
    if (!routed && m_unroutedLogged < 20) {
        ++m_unroutedLogged;
        qCDebug(lcSignal) << "message on channel" << channel << "from" << QnLog::peer(message.fromUserId)
                          << "dropped: nothing receives that channel";
    }
    emit receiveData(channel, message.payload, message.fromUserId);
}

void QnSignalClient::routeChannels(std::initializer_list<int> channels, QObject *context,
                                   ChannelHandler handler, Qt::ConnectionType type)
{
    if (!context || !handler)
        return;
    const bool direct = type == Qt::DirectConnection;
    {
        QnMutexLocker lock(&m_routeMutex);
        for (int channel : channels)
            m_routes.insert(channel, Route{context, QPointer<QObject>(context), handler, direct});
    }
    if (!direct)
        connect(
            context, &QObject::destroyed, this, [this, context] { unrouteChannels(context); },
            Qt::DirectConnection);
}

void QnSignalClient::unrouteChannels(QObject *context)
{
    QnMutexLocker lock(&m_routeMutex);
    for (auto it = m_routes.begin(); it != m_routes.end();) {
        if (it->context == context)
            it = m_routes.erase(it);
        else
            ++it;
    }
}

void QnSignalClient::onStartRelogin(quint32 attempt)
{
    qCInfo(lcSignal) << "re-login attempt" << attempt;
}

void QnSignalClient::onDisconnect(int code, const QString &text)
{
    {
        QnMutexLocker lock(&m_mutex);
        m_disconnected = true;
        if (!m_inOutage) {
            // A new outage counts its own failed re-logins.
            m_inOutage = true;
            m_reloginCount = 0;
        }
    }
    qCWarning(lcSignal) << "disconnected" << code << QnLog::peer(text);
}
