#pragma once

#include "gateway/QnGatewayProtocol.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

class QWebSocket;
class QWebSocketServer;
class QTimer;

/// The signalling gateway: WebSocket sessions, rooms and message routing (see QnGatewayProtocol.h).
/// Used by tests and the receiver simulator.
///
/// Room rules: a room is created by its first join and vanishes with its last member; a message is
/// delivered only when sender and target share a room; members of a room hear every other member's
/// join and leave, a leave or logout as "left", a lost or silent socket as "dropped"; a second
/// login with the same user id replaces the older session (which gets "kicked" and is reported to
/// its rooms as dropped).
///
/// Threads: lives on the thread that creates it (needs an event loop there).
class QnGatewayServer : public QObject
{
    Q_OBJECT
public:
    explicit QnGatewayServer(QObject *parent = nullptr);
    ~QnGatewayServer() override;

    /// Listens on address:port (port 0: any free port). False when the port cannot be bound.
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    quint16 port() const;
    QHostAddress address() const;
    /// Closes every session (reported as dropped) and stops listening.
    void close();

    // ---- Test knobs ----
    /// Aborts the socket of userId's session: its rooms hear "dropped", its client sees a drop.
    /// False when no such session.
    bool dropClient(const QString &userId);
    /// Refuses the next n logins (answer code QnGatewayRefused).
    void refuseNextLogins(int n);
    /// Delays every answer (login, logout, join, leave) by ms; the state changes at once.
    void setAnswerDelay(int ms);
    /// Ping period and the silence after which a session counts as dropped.
    void setPingTiming(int intervalMs, int silenceTimeoutMs);

    // ---- Introspection ----
    bool isSignedIn(const QString &userId) const;
    QStringList roomMembers(const QString &roomId) const;
    int loginCount() const { return m_loginCount; }

Q_SIGNALS:
    void loginSeen(QString userId, bool accepted);
    void memberJoined(QString roomId, QString userId);
    void memberLeft(QString roomId, QString userId, int reason);
    /// One message frame: delivered is false when sender and target share no room.
    void messageRouted(QString fromUserId, QString toUserId, int type, bool delivered);

private:
    struct Session
    {
        QWebSocket *socket = nullptr;
        QString user;
        QString name;
        bool signedIn = false;
        QSet<QString> rooms;
        qint64 heardMs = 0; // monotonic ms when anything was last heard
    };

    void onNewConnection();
    void onFrame(Session *s, const QString &text);
    void onLost(QWebSocket *socket);
    /// Ends the session of socket (rooms hear "dropped") without touching the socket.
    void forget(QWebSocket *socket);
    void handleLogin(Session *s, const QnGatewayFrame &f);
    void leaveAll(Session *s, QnGatewayLeaveReason reason);
    void leaveRoom(Session *s, const QString &room, QnGatewayLeaveReason reason);
    void answer(Session *s, qint64 seq, int code, const QString &text, const QString &room = QString());
    void sendFrame(QWebSocket *socket, const QnGatewayFrame &f);
    void pingTick();
    qint64 nowMs() const;

    QWebSocketServer *m_server = nullptr;      // child
    QTimer *m_pingTimer = nullptr;             // child
    QHash<QWebSocket *, Session *> m_sessions; // owned Session
    QHash<QString, Session *> m_byUser;        // signed-in sessions
    QHash<QString, QSet<QString>> m_rooms;     // room -> member user ids
    int m_refuseLogins = 0;
    int m_answerDelayMs = 0;
    int m_silenceTimeoutMs = 8000;
    int m_loginCount = 0;
};
