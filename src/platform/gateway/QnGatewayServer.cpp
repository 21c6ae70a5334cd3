#include "gateway/QnGatewayServer.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPointer>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

Q_LOGGING_CATEGORY(lcGatewayServer, "qn.gateway.server")

QnGatewayServer::QnGatewayServer(QObject *parent)
    : QObject(parent)
    , m_server(new QWebSocketServer(QStringLiteral("qn-gateway"), QWebSocketServer::NonSecureMode, this))
    , m_pingTimer(new QTimer(this))
{
    connect(m_server, &QWebSocketServer::newConnection, this, &QnGatewayServer::onNewConnection);
    connect(m_pingTimer, &QTimer::timeout, this, &QnGatewayServer::pingTick);
    m_pingTimer->start(2000);
}

QnGatewayServer::~QnGatewayServer()
{
    close();
}

bool QnGatewayServer::listen(const QHostAddress &address, quint16 port)
{
    if (!m_server->listen(address, port)) {
        qCWarning(lcGatewayServer) << "cannot listen on" << address << port << m_server->errorString();
        return false;
    }
    qCInfo(lcGatewayServer) << "listening on" << m_server->serverAddress() << m_server->serverPort();
    return true;
}

quint16 QnGatewayServer::port() const
{
    return m_server->serverPort();
}

QHostAddress QnGatewayServer::address() const
{
    return m_server->serverAddress();
}

void QnGatewayServer::close()
{
    const auto sockets = m_sessions.keys();
    for (QWebSocket *socket : sockets) {
        socket->disconnect(this);
        onLost(socket);
        socket->abort();
    }
    m_server->close();
}

bool QnGatewayServer::dropClient(const QString &userId)
{
    Session *s = m_byUser.value(userId);
    if (!s)
        return false;
    QWebSocket *socket = s->socket;
    socket->disconnect(this);
    onLost(socket);
    socket->abort();
    return true;
}

void QnGatewayServer::refuseNextLogins(int n)
{
    m_refuseLogins = n;
}

void QnGatewayServer::setAnswerDelay(int ms)
{
    m_answerDelayMs = ms;
}

void QnGatewayServer::setPingTiming(int intervalMs, int silenceTimeoutMs)
{
    m_silenceTimeoutMs = silenceTimeoutMs;
    m_pingTimer->start(intervalMs);
}

bool QnGatewayServer::isSignedIn(const QString &userId) const
{
    return m_byUser.contains(userId);
}

QStringList QnGatewayServer::roomMembers(const QString &roomId) const
{
    QStringList members = m_rooms.value(roomId).values();
    members.sort();
    return members;
}

qint64 QnGatewayServer::nowMs() const
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

void QnGatewayServer::onNewConnection()
{
    while (QWebSocket *socket = m_server->nextPendingConnection()) {
        socket->setParent(this);
        auto *s = new Session;
        s->socket = socket;
        s->heardMs = nowMs();
        m_sessions.insert(socket, s);
        connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString &text) {
            if (Session *session = m_sessions.value(socket))
                onFrame(session, text);
        });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, socket](const QByteArray &) {
            qCWarning(lcGatewayServer) << "binary frame refused";
            socket->disconnect(this);
            onLost(socket);
            socket->abort();
        });
        connect(socket, &QWebSocket::pong, this, [this, socket](quint64, const QByteArray &) {
            if (Session *session = m_sessions.value(socket))
                session->heardMs = nowMs();
        });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { onLost(socket); });
    }
}

void QnGatewayServer::onLost(QWebSocket *socket)
{
    forget(socket);
    socket->deleteLater();
}

void QnGatewayServer::forget(QWebSocket *socket)
{
    Session *s = m_sessions.take(socket);
    if (!s)
        return;
    if (s->signedIn) {
        leaveAll(s, QnGatewayLeaveReason::Dropped);
        if (m_byUser.value(s->user) == s)
            m_byUser.remove(s->user);
        qCInfo(lcGatewayServer) << "session of" << s->user << "lost";
    }
    delete s;
}

void QnGatewayServer::onFrame(Session *s, const QString &text)
{
    s->heardMs = nowMs();
    QnGatewayFrame f;
    QString error;
    if (QnGatewayWire::parseFrame(text.toUtf8(), &f, &error) != QnGatewayWire::ParseResult::Used) {
        qCWarning(lcGatewayServer) << "bad frame dropped:" << error;
        return;
    }
    if (f.op == QnGatewayOp::Login) {
        handleLogin(s, f);
        return;
    }
    if (!s->signedIn) {
        if (f.seq >= 0)
            answer(s, f.seq, QnGatewayNotSignedIn, QStringLiteral("not signed in"), f.room);
        return;
    }
    switch (f.op) {
    case QnGatewayOp::Logout:
        leaveAll(s, QnGatewayLeaveReason::Left);
        m_byUser.remove(s->user);
        s->signedIn = false;
        answer(s, f.seq, QnGatewayOk, QStringLiteral("ok"));
        break;
    case QnGatewayOp::Join: {
        if (!s->rooms.contains(f.room)) {
            QSet<QString> &members = m_rooms[f.room];
            for (const QString &member : qAsConst(members)) {
                if (Session *other = m_byUser.value(member)) {
                    QnGatewayFrame n;
                    n.op = QnGatewayOp::MemberJoin;
                    n.room = f.room;
                    n.user = s->user;
                    sendFrame(other->socket, n);
                }
            }
            members.insert(s->user);
            s->rooms.insert(f.room);
            emit memberJoined(f.room, s->user);
        }
        answer(s, f.seq, QnGatewayOk, QStringLiteral("ok"), f.room);
        break;
    }
    case QnGatewayOp::Leave:
        if (s->rooms.contains(f.room)) {
            leaveRoom(s, f.room, QnGatewayLeaveReason::Left);
            answer(s, f.seq, QnGatewayOk, QStringLiteral("ok"), f.room);
        } else {
            answer(s, f.seq, QnGatewayNotInRoom, QStringLiteral("not in room"), f.room);
        }
        break;
    case QnGatewayOp::Message: {
        Session *target = m_byUser.value(f.to);
        const bool shared = target && s->rooms.intersects(target->rooms);
        if (shared) {
            QnGatewayFrame out;
            out.op = QnGatewayOp::Deliver;
            out.from = s->user;
            out.name = s->name;
            out.to = f.to;
            out.msgId = f.msgId;
            out.type = f.type;
            out.payload = f.payload;
            sendFrame(target->socket, out);
        } else {
            qCDebug(lcGatewayServer) << "message from" << s->user << "to" << f.to
                                     << "dropped: no shared room";
        }
        emit messageRouted(s->user, f.to, f.type, shared);
        break;
    }
    default:
        qCWarning(lcGatewayServer) << "unexpected op from client" << QnGatewayWire::opName(f.op);
        break;
    }
}

void QnGatewayServer::handleLogin(Session *s, const QnGatewayFrame &f)
{
    ++m_loginCount;
    if (m_refuseLogins > 0) {
        --m_refuseLogins;
        qCInfo(lcGatewayServer) << "login of" << f.user << "refused (test knob)";
        answer(s, f.seq, QnGatewayRefused, QStringLiteral("login refused"));
        emit loginSeen(f.user, false);
        return;
    }
    if (s->signedIn) { // a second login on the same socket: start over as the new user
        leaveAll(s, QnGatewayLeaveReason::Left);
        if (m_byUser.value(s->user) == s)
            m_byUser.remove(s->user);
    }
    if (Session *older = m_byUser.value(f.user); older && older != s) {
        QnGatewayFrame k;
        k.op = QnGatewayOp::Kicked;
        k.code = QnGatewayReplaced;
        k.text = QStringLiteral("signed in elsewhere");
        sendFrame(older->socket, k);
        QWebSocket *oldSocket = older->socket;
        oldSocket->disconnect(this);
        forget(oldSocket); // reported to its rooms as dropped
        // Let the kicked notice and the close handshake go out before the socket goes.
        connect(oldSocket, &QWebSocket::disconnected, oldSocket, &QObject::deleteLater);
        QTimer::singleShot(2000, oldSocket, [oldSocket] { oldSocket->abort(); });
        oldSocket->close();
    }
    s->user = f.user;
    s->name = f.name;
    s->signedIn = true;
    m_byUser.insert(f.user, s);
    answer(s, f.seq, QnGatewayOk, QStringLiteral("ok"));
    emit loginSeen(f.user, true);
}

void QnGatewayServer::leaveAll(Session *s, QnGatewayLeaveReason reason)
{
    const auto rooms = s->rooms.values();
    for (const QString &room : rooms)
        leaveRoom(s, room, reason);
}

void QnGatewayServer::leaveRoom(Session *s, const QString &room, QnGatewayLeaveReason reason)
{
    s->rooms.remove(room);
    auto it = m_rooms.find(room);
    if (it == m_rooms.end())
        return;
    it->remove(s->user);
    for (const QString &member : qAsConst(*it)) {
        if (Session *other = m_byUser.value(member)) {
            QnGatewayFrame n;
            n.op = QnGatewayOp::MemberLeave;
            n.room = room;
            n.user = s->user;
            n.reason = int(reason);
            sendFrame(other->socket, n);
        }
    }
    if (it->isEmpty())
        m_rooms.erase(it);
    emit memberLeft(room, s->user, int(reason));
}

void QnGatewayServer::answer(Session *s, qint64 seq, int code, const QString &text, const QString &room)
{
    QnGatewayFrame f;
    f.op = QnGatewayOp::Answer;
    f.seq = seq;
    f.code = code;
    f.text = text;
    f.room = room;
    if (m_answerDelayMs <= 0) {
        sendFrame(s->socket, f);
        return;
    }
    QPointer<QWebSocket> socket = s->socket;
    QTimer::singleShot(m_answerDelayMs, this, [this, socket, f] {
        if (socket)
            sendFrame(socket, f);
    });
}

void QnGatewayServer::sendFrame(QWebSocket *socket, const QnGatewayFrame &f)
{
    socket->sendTextMessage(QString::fromUtf8(QnGatewayWire::serializeFrame(f)));
}

void QnGatewayServer::pingTick()
{
    const qint64 now = nowMs();
    const auto sessions = m_sessions.values();
    for (Session *s : sessions) {
        if (now - s->heardMs > m_silenceTimeoutMs) {
            qCWarning(lcGatewayServer) << "session" << s->user << "silent; dropping";
            QWebSocket *socket = s->socket;
            socket->disconnect(this);
            onLost(socket);
            socket->abort();
        } else {
            s->socket->ping();
        }
    }
}
