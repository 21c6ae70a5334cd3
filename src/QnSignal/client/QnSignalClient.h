#pragma once

#include "platform/gateway/QnGatewayClient.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include "common/thread/QnThreadAnnotations.h"

#include <QHash>
#include <QPointer>

#include <functional>
#include <memory>

/// The program's road to a receiver's signalling service: signs in, joins the receiver's room and
/// carries every control, reverse-input and whiteboard message as a room user message of gateway
/// type channel + 1000 (channel 5 travels as 1005).
///
/// Threads: created on the GUI thread. login() may be called from any thread (the client object
/// calls it from a worker); the other operations from the GUI thread, and sendRoomUserMsg also
/// from the reverse-input thread and from inside gateway callbacks. None of them blocks on the
/// gateway thread. The gateway's callbacks run on its own thread "qn-gateway": loginResult,
/// joinRoomResult and reconnectFailed are posted queued to this object's thread; receiveData,
/// userJoinRoom and userLeaveRoom are raised directly on the gateway thread, so each receiver picks
/// its connection type. Nothing is raised after the destructor has stopped the gateway.
class QnSignalClient : public QObject, private QnGatewayListener
{
    Q_OBJECT
public:
    /// A control channel travels as gateway message type channel + kChannelTypeBase.
    static constexpr int kChannelTypeBase = 1000;

    explicit QnSignalClient(QObject *parent = nullptr);
    /// Stops the gateway (no callback runs afterwards) and releases it.
    ~QnSignalClient() override;

    /// Replaces the gateway's timing (tests); takes effect at initSdk.
    void setGatewayConfig(const QnGatewayConfig &config);

    /// Creates and starts the gateway once; 0 when it exists already. Negative on failure.
    int initSdk();
    /// Signs in as userId/userName at host:port (low 16 bits of port). Resets the re-login failure
    /// count of an earlier outage. The answer arrives as loginResult.
    int login(const QString &userId, const QString &userName, const QString &host, int port);
    int logout();
    /// The answer arrives as joinRoomResult. The second text is kept for the wire layout and unused.
    int joinRoom(const QString &roomId, const QString &second = QString());
    int leaveRoom(const QString &roomId);
    /// Sends payload unchanged to targetId as type channel + 1000 with a fresh message id. 0 when
    /// handed to the gateway (delivery is not confirmed); negative when refused.
    int sendRoomUserMsg(const QString &targetId, int channel, const QByteArray &payload);

    /// Receives one room message of another member: channel, payload, sender's user id.
    using ChannelHandler = std::function<void(int channel, const QByteArray &data, const QString &senderId)>;
    /// The one router of received room messages: each channel has at most one route, set here
    /// (a later route for a channel replaces the earlier one). Qt::DirectConnection runs handler
    /// on the gateway thread with the route lock held (it must not call routeChannels or
    /// unrouteChannels); any other type posts it to context's thread, where it is dropped when
    /// context is gone. Messages of a channel without a route are dropped (logged, limited).
    /// Any thread. context must call unrouteChannels before it is destroyed when it routes
    /// directly; queued routes are also removed when context is destroyed.
    void routeChannels(std::initializer_list<int> channels, QObject *context, ChannelHandler handler,
                       Qt::ConnectionType type);
    /// Removes every route of context; after it returns no direct handler of context runs and none
    /// is posted. Any thread.
    void unrouteChannels(QObject *context);

Q_SIGNALS:
    /// Queued. Answer to login (and to each automatic re-login after a drop; after a successful
    /// one the caller joins its room again).
    void loginResult(bool result, QString error);
    /// Queued. isDisconnect: a drop came since the previous join answer (or the caller's own
    /// login), so this join is the re-join after a gateway reconnect. The gateway never re-joins
    /// by itself: the caller joins on loginResult(true).
    void joinRoomResult(bool result, QString error, bool isDisconnect);
    /// Declared for the client object; never raised.
    void joinRoomResult(bool result, QString error);
    /// Gateway thread. One room message of another member; type is the channel. Raised for every
    /// message, routed or not, after its route ran or was posted (routeChannels).
    void receiveData(int type, QByteArray data, QString senderId);
    /// Gateway thread.
    void userJoinRoom(QString userId);
    /// Gateway thread. isDisconnect: the member dropped rather than left.
    void userLeaveRoom(QString userId, bool isDisconnect);
    /// Queued. Raised once per outage, at the second failed re-login answer.
    void reconnectFailed();
    /// Declared for the client object; never raised.
    void reconnectRoom();

private:
    // QnGatewayListener: gateway thread.
    void onLogin(const QnGatewayAnswer &answer) override;
    void onJoin(const QnGatewayAnswer &answer) override;
    void onMemberJoin(const QString &roomId, const QString &userId) override;
    void onMemberLeave(const QString &roomId, const QString &userId, QnGatewayLeaveReason reason) override;
    void onRoomMessage(const QnGatewayMessage &message) override;
    void onStartRelogin(quint32 attempt) override;
    void onDisconnect(int code, const QString &text) override;

    QnGatewayConfig m_config;
    std::unique_ptr<QnGatewayClient> m_gateway; // created by initSdk; GUI thread

    mutable QnMutex m_mutex; // guards the fields below; never held while calling out
    QString m_userId QN_GUARDED_BY(m_mutex);
    QString m_userName QN_GUARDED_BY(m_mutex);
    bool m_disconnected QN_GUARDED_BY(m_mutex) = false; // a drop came and no join answer (or own login) since
    bool m_inOutage QN_GUARDED_BY(m_mutex) = false;     // a drop came and no sign-in succeeded since
    int m_reloginCount QN_GUARDED_BY(m_mutex) = 0;      // login answers since the last successful one
    bool m_reconnectFailedRaised QN_GUARDED_BY(m_mutex) = false; // reconnectFailed raised for this outage

    struct Route
    {
        QObject *context = nullptr; // compared only; posts go through the QPointer
        QPointer<QObject> guard;
        ChannelHandler handler;
        bool direct = false;
    };
    QnMutex m_routeMutex; // held while a direct handler runs (lock order: this first)
    QHash<int, Route> m_routes QN_GUARDED_BY(m_routeMutex);
    int m_unroutedLogged = 0; // gateway thread
};
