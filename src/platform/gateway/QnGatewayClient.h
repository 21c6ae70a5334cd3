#pragma once

#include "platform/gateway/QnGatewayProtocol.h"

#include <QByteArray>
#include <QString>

#include <memory>

/// Timing of a gateway client. Defaults suit the product; tests shorten them.
struct QnGatewayConfig
{
    int connectTimeoutMs = 5000; ///< socket open + login answer; past it the login answers Timeout
    int answerTimeoutMs = 5000;  ///< join/leave answers; past it the request answers Timeout
    int pingIntervalMs = 2000;   ///< WebSocket ping period while connected
    int silenceTimeoutMs = 8000; ///< nothing heard (pong or frame) this long: the socket is dropped
    int reloginDelayMs = 1000;   ///< pause before each automatic re-login attempt
    bool autoRelogin = true;     ///< sign in again by itself after a drop
    /// After an automatic re-login, join again the rooms it was in. Off when the caller joins by
    /// itself on each successful sign-in (one join per outage, not two).
    bool rejoinRooms = true;

    /// Short timings for a gateway on loopback (tests and the receiver simulator).
    static QnGatewayConfig loopback()
    {
        QnGatewayConfig c;
        c.connectTimeoutMs = 3000;
        c.answerTimeoutMs = 3000;
        c.pingIntervalMs = 300;
        c.silenceTimeoutMs = 2000;
        c.reloginDelayMs = 100;
        return c;
    }
};

/// Answer to a login or join request.
struct QnGatewayAnswer
{
    int code = 0;             ///< 0 success; otherwise a QnGatewayResult or the server's code
    QString text;             ///< human-readable answer text
    QString roomId;           ///< join answers: the room
    quint32 requestIndex = 0; ///< the index the request was given
    bool relogin = false;     ///< login answers: an automatic re-login after a drop
};

/// One room message from another member.
struct QnGatewayMessage
{
    QString fromUserId;
    QString fromName;
    QString toUserId;
    QString msgId;
    int type = 0;
    QByteArray payload;
};

/// Callbacks of a gateway client. All run on the client's own thread ("qn-gateway"), one at a time;
/// they may call any operation of the client (calls never block on the gateway thread). None runs
/// after QnGatewayClient::stop has returned.
class QnGatewayListener
{
public:
    virtual ~QnGatewayListener() = default;
    /// Exactly once per login call and once per automatic re-login attempt.
    virtual void onLogin(const QnGatewayAnswer &) {}
    /// Exactly once per join request, and once per room re-joined after a re-login (rejoinRooms).
    virtual void onJoin(const QnGatewayAnswer &) {}
    virtual void onMemberJoin(const QString & /*roomId*/, const QString & /*userId*/) {}
    virtual void onMemberLeave(const QString & /*roomId*/, const QString & /*userId*/,
                               QnGatewayLeaveReason /*reason*/)
    {}
    virtual void onRoomMessage(const QnGatewayMessage &) {}
    /// An automatic re-login attempt starts (1, 2, ... within one outage); its answer is onLogin.
    virtual void onStartRelogin(quint32 /*attempt*/) {}
    /// The signed-in session was lost (code QnGatewayConnectFailed) or replaced by a newer login
    /// with the same user id (code QnGatewayReplaced: no automatic re-login follows).
    virtual void onDisconnect(int /*code*/, const QString & /*text*/) {}
};

/// Client of the signalling gateway (QnGatewayServer) over one WebSocket.
///
/// Lifecycle: construct -> init(listener, config) -> start() -> ... -> stop() -> destroy. start runs
/// the client's thread; stop closes the socket, ends the thread and waits for it, so no callback runs
/// after stop returns. stop may be called from inside a callback: then no further callback runs,
/// and the thread is joined by a later stop or the destructor (which must not run on the gateway
/// thread). A second start is refused.
///
/// Threads: every operation may be called from any thread, including from callbacks; each one
/// checks its arguments and the state, hands the work to the gateway thread and returns at once
/// (0 or a negative QnGatewayResult). Outcomes arrive as callbacks.
class QnGatewayClient
{
public:
    QnGatewayClient();
    ~QnGatewayClient();
    QnGatewayClient(const QnGatewayClient &) = delete;
    QnGatewayClient &operator=(const QnGatewayClient &) = delete;

    /// listener is borrowed and must outlive stop(). Only before start.
    int init(QnGatewayListener *listener, const QnGatewayConfig &config = QnGatewayConfig());
    int start();
    void stop();

    /// Opens the socket to host:port and signs in. Replaces any earlier session of this client
    /// (without a disconnect notice). requestIndex (optional) receives the answer's index.
    int login(const QString &userId, const QString &userName, const QString &host, quint16 port,
              quint32 *requestIndex = nullptr);
    /// Signs out and closes the socket; rooms are forgotten, no re-login follows.
    int logout();
    int joinRoom(const QString &roomId, quint32 *requestIndex = nullptr);
    int leaveRoom(const QString &roomId);
    /// Sends payload to toUserId; delivered only when both share a room. Needs a signed-in session.
    int sendRoomMessage(const QString &toUserId, const QString &msgId, int type, const QByteArray &payload);

    /// True while a session is signed in (a snapshot; may change at once).
    bool isSignedIn() const;

private:
    class Private;
    std::unique_ptr<Private> d;
};
