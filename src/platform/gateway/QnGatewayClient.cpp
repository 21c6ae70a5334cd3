#include "platform/gateway/QnGatewayClient.h"

#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <QMutex>
#include <QMutexLocker>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QWebSocket>

#include <atomic>

Q_LOGGING_CATEGORY(lcGatewayClient, "qn.gateway.client")

namespace {

enum class State { Created, Initialised, Running, Stopped };

// Session phases; gateway thread only.
enum class Phase {
    Idle,        ///< no session
    Connecting,  ///< socket opening or login sent, answer pending
    SignedIn,    ///< session up
    WaitRelogin, ///< dropped; the next automatic attempt is scheduled
};

struct Pending
{
    QnGatewayOp op;
    QString room;
    bool rejoin = false;
};

bool validId(const QString &id)
{
    return !id.isEmpty() && id.size() <= QnGatewayWire::kMaxIdChars;
}

} // namespace

/// Lives on the gateway thread; every member is touched there only.
class GatewayWorker : public QObject
{
public:
    GatewayWorker(QnGatewayListener *listener, const QnGatewayConfig &config, std::atomic<bool> *callbacksOff,
                  std::atomic<bool> *signedIn)
        : m_listener(listener), m_config(config), m_callbacksOff(callbacksOff), m_signedIn(signedIn)
    {
        m_loginTimer.setSingleShot(true);
        m_reloginTimer.setSingleShot(true);
        m_loginTimer.setParent(this);
        m_reloginTimer.setParent(this);
        m_pingTimer.setParent(this);
        QObject::connect(&m_loginTimer, &QTimer::timeout, this,
                         [this] { answerLogin(QnGatewayTimeout, QStringLiteral("login timed out")); });
        QObject::connect(&m_reloginTimer, &QTimer::timeout, this, [this] { reloginAttempt(); });
        QObject::connect(&m_pingTimer, &QTimer::timeout, this, [this] { pingTick(); });
    }

    void login(const QString &user, const QString &name, const QString &host, quint16 port, quint32 index)
    {
        dropSocket();
        failPending(QnGatewayConnectFailed, QStringLiteral("session replaced by a new login"));
        if (m_phase == Phase::Connecting)
            answerLogin(QnGatewayConnectFailed, QStringLiteral("superseded by a new login"));
        m_reloginTimer.stop();
        m_rooms.clear();
        m_user = user;
        m_name = name;
        m_host = host;
        m_port = port;
        m_relogin = false;
        m_attempt = 0;
        connectAndLogin(index);
    }

    void logout(quint32 index)
    {
        m_reloginTimer.stop();
        if (m_phase == Phase::Connecting)
            answerLogin(QnGatewayConnectFailed, QStringLiteral("logged out"));
        failPending(QnGatewayNotSignedIn, QStringLiteral("logged out"));
        m_rooms.clear();
        if (m_socket && m_phase == Phase::SignedIn) {
            QnGatewayFrame f;
            f.op = QnGatewayOp::Logout;
            f.seq = index;
            m_socket->sendTextMessage(QString::fromUtf8(QnGatewayWire::serializeFrame(f)));
            // The close handshake goes out after the logout frame; the socket deletes itself.
            QWebSocket *socket = m_socket.data();
            socket->disconnect(this);
            QObject::connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            QTimer::singleShot(2000, socket, [socket] { socket->abort(); });
            socket->close();
            m_socket.clear();
        } else {
            dropSocket();
        }
        setPhase(Phase::Idle);
    }

    void join(const QString &room, quint32 index, bool rejoin = false)
    {
        if (m_phase != Phase::SignedIn || !m_socket) {
            QnGatewayAnswer a;
            a.code = QnGatewayNotSignedIn;
            a.text = QStringLiteral("not signed in");
            a.roomId = room;
            a.requestIndex = index;
            call([&](QnGatewayListener *l) { l->onJoin(a); });
            return;
        }
        QnGatewayFrame f;
        f.op = QnGatewayOp::Join;
        f.seq = index;
        f.room = room;
        send(f);
        m_pending.insert(index, Pending{QnGatewayOp::Join, room, rejoin});
        armTimeout(index);
    }

    void leave(const QString &room, quint32 index)
    {
        m_rooms.removeAll(room);
        if (m_phase != Phase::SignedIn || !m_socket)
            return;
        QnGatewayFrame f;
        f.op = QnGatewayOp::Leave;
        f.seq = index;
        f.room = room;
        send(f);
        m_pending.insert(index, Pending{QnGatewayOp::Leave, room, false});
        armTimeout(index);
    }

    void message(const QString &to, const QString &msgId, int type, const QByteArray &payload)
    {
        if (m_phase != Phase::SignedIn || !m_socket) {
            qCWarning(lcGatewayClient) << "message of type" << type << "to" << to << "dropped: not signed in";
            return;
        }
        QnGatewayFrame f;
        f.op = QnGatewayOp::Message;
        f.to = to;
        f.msgId = msgId;
        f.type = type;
        f.payload = payload;
        send(f);
    }

    /// Last call on the gateway thread: closes everything without callbacks.
    void shutdown()
    {
        m_loginTimer.stop();
        m_reloginTimer.stop();
        m_pingTimer.stop();
        m_pending.clear();
        dropSocket();
        m_signedIn->store(false);
    }

    quint32 nextIndex() { return m_index.fetch_add(1) + 1; }
    std::atomic<quint32> m_index{0};

private:
    template<typename F> void call(F &&f)
    {
        if (!m_callbacksOff->load())
            f(m_listener);
    }

    void setPhase(Phase p)
    {
        m_phase = p;
        m_signedIn->store(p == Phase::SignedIn);
        if (p == Phase::SignedIn) {
            m_heard.restart();
            m_pingTimer.start(m_config.pingIntervalMs);
        } else {
            m_pingTimer.stop();
        }
    }

    void send(const QnGatewayFrame &f)
    {
        m_socket->sendTextMessage(QString::fromUtf8(QnGatewayWire::serializeFrame(f)));
    }

    void connectAndLogin(quint32 index)
    {
        dropSocket();
        setPhase(Phase::Connecting);
        m_loginIndex = index;
        auto *socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
        m_socket = socket;
        QObject::connect(socket, &QWebSocket::connected, this, [this, socket] {
            if (socket != m_socket)
                return;
            m_heard.restart();
            QnGatewayFrame f;
            f.op = QnGatewayOp::Login;
            f.seq = m_loginIndex;
            f.user = m_user;
            f.name = m_name;
            send(f);
        });
        QObject::connect(socket, &QWebSocket::disconnected, this, [this, socket] {
            if (socket == m_socket)
                lost(socket->closeReason().isEmpty() ? socket->errorString() : socket->closeReason());
        });
        QObject::connect(socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
                         [this, socket](QAbstractSocket::SocketError) {
                             if (socket == m_socket)
                                 lost(socket->errorString());
                         });
        QObject::connect(socket, &QWebSocket::textMessageReceived, this, [this, socket](const QString &text) {
            if (socket == m_socket)
                onFrame(text.toUtf8());
        });
        QObject::connect(socket, &QWebSocket::pong, this, [this, socket](quint64, const QByteArray &) {
            if (socket == m_socket)
                m_heard.restart();
        });
        m_loginTimer.start(m_config.connectTimeoutMs);
        QUrl url;
        url.setScheme(QStringLiteral("ws"));
        url.setHost(m_host);
        url.setPort(m_port);
        url.setPath(QStringLiteral("/"));
        socket->open(url);
    }

    /// Closes the current socket without any notice to the listener.
    void dropSocket()
    {
        if (!m_socket)
            return;
        QWebSocket *socket = m_socket.data();
        m_socket.clear();
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }

    void answerLogin(int code, const QString &text)
    {
        if (m_phase != Phase::Connecting)
            return;
        m_loginTimer.stop();
        QnGatewayAnswer a;
        a.code = code;
        a.text = text;
        a.requestIndex = m_loginIndex;
        a.relogin = m_relogin;
        if (code == QnGatewayOk) {
            setPhase(Phase::SignedIn);
            m_attempt = 0;
        } else {
            dropSocket();
            setPhase(m_relogin && m_config.autoRelogin ? Phase::WaitRelogin : Phase::Idle);
        }
        call([&](QnGatewayListener *l) { l->onLogin(a); });
        if (code == QnGatewayOk) {
            if (m_relogin && m_config.rejoinRooms) {
                const QStringList rooms = m_rooms;
                for (const QString &room : rooms)
                    join(room, nextIndex(), true);
            }
        } else if (m_phase == Phase::WaitRelogin) {
            m_reloginTimer.start(m_config.reloginDelayMs);
        }
    }

    void lost(const QString &text)
    {
        if (m_phase == Phase::Connecting) {
            answerLogin(QnGatewayConnectFailed, text);
            return;
        }
        if (m_phase != Phase::SignedIn)
            return;
        dropSocket();
        setPhase(m_config.autoRelogin ? Phase::WaitRelogin : Phase::Idle);
        qCInfo(lcGatewayClient) << "session lost:" << text;
        // The drop is told first; the requests it cut off answer after it.
        call([&](QnGatewayListener *l) { l->onDisconnect(QnGatewayConnectFailed, text); });
        failPending(QnGatewayConnectFailed, text);
        if (m_phase == Phase::WaitRelogin)
            m_reloginTimer.start(m_config.reloginDelayMs);
    }

    void reloginAttempt()
    {
        if (m_phase != Phase::WaitRelogin)
            return;
        ++m_attempt;
        m_relogin = true;
        const quint32 attempt = m_attempt;
        call([&](QnGatewayListener *l) { l->onStartRelogin(attempt); });
        if (m_phase == Phase::WaitRelogin) // the callback may have logged out or in
            connectAndLogin(nextIndex());
    }

    void pingTick()
    {
        if (!m_socket || m_phase != Phase::SignedIn)
            return;
        if (m_heard.elapsed() > m_config.silenceTimeoutMs) {
            qCWarning(lcGatewayClient) << "gateway silent for" << m_heard.elapsed() << "ms";
            lost(QStringLiteral("gateway silent"));
            return;
        }
        m_socket->ping();
    }

    void armTimeout(quint32 index)
    {
        QTimer::singleShot(m_config.answerTimeoutMs, this, [this, index] {
            if (m_pending.contains(index))
                answerPending(index, QnGatewayTimeout, QStringLiteral("no answer"), QString());
        });
    }

    void failPending(int code, const QString &text)
    {
        const auto keys = m_pending.keys();
        for (quint32 index : keys)
            answerPending(index, code, text, QString());
    }

    void answerPending(quint32 index, int code, const QString &text, const QString &room)
    {
        const auto it = m_pending.find(index);
        if (it == m_pending.end())
            return;
        const Pending p = it.value();
        m_pending.erase(it);
        if (p.op != QnGatewayOp::Join)
            return;
        if (code == QnGatewayOk && !m_rooms.contains(p.room))
            m_rooms.append(p.room);
        QnGatewayAnswer a;
        a.code = code;
        a.text = text;
        a.roomId = room.isEmpty() ? p.room : room;
        a.requestIndex = index;
        call([&](QnGatewayListener *l) { l->onJoin(a); });
    }

    void onFrame(const QByteArray &bytes)
    {
        m_heard.restart();
        QnGatewayFrame f;
        QString error;
        if (QnGatewayWire::parseFrame(bytes, &f, &error) != QnGatewayWire::ParseResult::Used) {
            qCWarning(lcGatewayClient) << "bad frame dropped:" << error;
            return;
        }
        switch (f.op) {
        case QnGatewayOp::Answer:
            if (m_phase == Phase::Connecting && f.seq == qint64(m_loginIndex))
                answerLogin(f.code, f.text);
            else
                answerPending(quint32(f.seq), f.code, f.text, f.room);
            break;
        case QnGatewayOp::Deliver: {
            QnGatewayMessage m;
            m.fromUserId = f.from;
            m.fromName = f.name;
            m.toUserId = f.to;
            m.msgId = f.msgId;
            m.type = f.type;
            m.payload = f.payload;
            call([&](QnGatewayListener *l) { l->onRoomMessage(m); });
            break;
        }
        case QnGatewayOp::MemberJoin:
            call([&](QnGatewayListener *l) { l->onMemberJoin(f.room, f.user); });
            break;
        case QnGatewayOp::MemberLeave:
            call([&](QnGatewayListener *l) {
                l->onMemberLeave(f.room, f.user, QnGatewayLeaveReason(f.reason));
            });
            break;
        case QnGatewayOp::Kicked: {
            dropSocket();
            m_rooms.clear();
            setPhase(Phase::Idle);
            call([&](QnGatewayListener *l) { l->onDisconnect(QnGatewayReplaced, f.text); });
            failPending(QnGatewayReplaced, f.text);
            break;
        }
        default:
            qCWarning(lcGatewayClient) << "unexpected frame" << QnGatewayWire::opName(f.op);
            break;
        }
    }

    QnGatewayListener *m_listener;
    const QnGatewayConfig m_config;
    std::atomic<bool> *m_callbacksOff;
    std::atomic<bool> *m_signedIn;

    QPointer<QWebSocket> m_socket; // child of this worker
    Phase m_phase = Phase::Idle;
    QString m_user, m_name, m_host;
    quint16 m_port = 0;
    bool m_relogin = false; // the pending login is an automatic re-login
    quint32 m_attempt = 0;  // re-login attempts in this outage
    quint32 m_loginIndex = 0;
    QHash<quint32, Pending> m_pending;
    QStringList m_rooms; // joined rooms, re-joined after a re-login
    QTimer m_loginTimer, m_reloginTimer, m_pingTimer;
    QElapsedTimer m_heard; // since anything was last heard from the server
};

class QnGatewayClient::Private
{
public:
    QMutex mutex; // guards state, thread and worker against stop; never held while waiting
    State state = State::Created;
    QnGatewayListener *listener = nullptr;
    QnGatewayConfig config;
    std::unique_ptr<QThread> thread;
    GatewayWorker *worker = nullptr; // lives on thread; deleted there at shutdown
    std::atomic<bool> callbacksOff{false};
    std::atomic<bool> signedIn{false};

    /// Hands fn to the gateway thread. Caller holds mutex and has checked state == Running.
    template<typename F> void post(F &&fn)
    {
        QMetaObject::invokeMethod(worker, std::forward<F>(fn), Qt::QueuedConnection);
    }
};

QnGatewayClient::QnGatewayClient() : d(new Private) {}

QnGatewayClient::~QnGatewayClient()
{
    Q_ASSERT(!d->thread || QThread::currentThread() != d->thread.get());
    stop();
    if (d->thread && QThread::currentThread() != d->thread.get())
        d->thread->wait();
}

int QnGatewayClient::init(QnGatewayListener *listener, const QnGatewayConfig &config)
{
    QMutexLocker lock(&d->mutex);
    if (d->state != State::Created && d->state != State::Initialised)
        return QnGatewayNotStarted;
    d->listener = listener;
    d->config = config;
    d->state = State::Initialised;
    return QnGatewayOk;
}

int QnGatewayClient::start()
{
    QMutexLocker lock(&d->mutex);
    if (d->state != State::Initialised || !d->listener)
        return QnGatewayNotStarted;
    d->thread = std::make_unique<QThread>();
    d->thread->setObjectName(QStringLiteral("qn-gateway"));
    d->worker = new GatewayWorker(d->listener, d->config, &d->callbacksOff, &d->signedIn);
    d->worker->moveToThread(d->thread.get());
    d->thread->start();
    d->state = State::Running;
    return QnGatewayOk;
}

void QnGatewayClient::stop()
{
    {
        QMutexLocker lock(&d->mutex);
        if (d->state == State::Running) {
            d->state = State::Stopped;
            d->callbacksOff.store(true);
            GatewayWorker *worker = d->worker;
            d->worker = nullptr;
            QMetaObject::invokeMethod(
                worker,
                [worker] {
                    worker->shutdown();
                    // Deferred deletes still run when the thread finishes.
                    worker->deleteLater();
                    QThread::currentThread()->quit();
                },
                Qt::QueuedConnection);
        }
    }
    // From a callback the thread cannot wait for itself: it ends when the callback returns and is
    // joined by the destructor. Callbacks are already off.
    if (d->thread && QThread::currentThread() != d->thread.get())
        d->thread->wait();
}

int QnGatewayClient::login(const QString &userId, const QString &userName, const QString &host, quint16 port,
                           quint32 *requestIndex)
{
    if (!validId(userId) || userName.size() > QnGatewayWire::kMaxTextChars || host.isEmpty() || port == 0)
        return QnGatewayBadArgument;
    QMutexLocker lock(&d->mutex);
    if (d->state != State::Running)
        return QnGatewayNotStarted;
    GatewayWorker *w = d->worker;
    const quint32 index = w->nextIndex();
    if (requestIndex)
        *requestIndex = index;
    d->post([w, userId, userName, host, port, index] { w->login(userId, userName, host, port, index); });
    return QnGatewayOk;
}

int QnGatewayClient::logout()
{
    QMutexLocker lock(&d->mutex);
    if (d->state != State::Running)
        return QnGatewayNotStarted;
    GatewayWorker *w = d->worker;
    const quint32 index = w->nextIndex();
    d->post([w, index] { w->logout(index); });
    return QnGatewayOk;
}

int QnGatewayClient::joinRoom(const QString &roomId, quint32 *requestIndex)
{
    if (!validId(roomId))
        return QnGatewayBadArgument;
    QMutexLocker lock(&d->mutex);
    if (d->state != State::Running)
        return QnGatewayNotStarted;
    GatewayWorker *w = d->worker;
    const quint32 index = w->nextIndex();
    if (requestIndex)
        *requestIndex = index;
    d->post([w, roomId, index] { w->join(roomId, index); });
    return QnGatewayOk;
}

int QnGatewayClient::leaveRoom(const QString &roomId)
{
    if (!validId(roomId))
        return QnGatewayBadArgument;
    QMutexLocker lock(&d->mutex);
    if (d->state != State::Running)
        return QnGatewayNotStarted;
    GatewayWorker *w = d->worker;
    const quint32 index = w->nextIndex();
    d->post([w, roomId, index] { w->leave(roomId, index); });
    return QnGatewayOk;
}

int QnGatewayClient::sendRoomMessage(const QString &toUserId, const QString &msgId, int type,
                                     const QByteArray &payload)
{
    if (!validId(toUserId) || msgId.size() > QnGatewayWire::kMaxIdChars || type < 0 || type > 65535 ||
        payload.size() > QnGatewayWire::kMaxPayload)
        return QnGatewayBadArgument;
    QMutexLocker lock(&d->mutex);
    if (d->state != State::Running)
        return QnGatewayNotStarted;
    if (!d->signedIn.load())
        return QnGatewayNotSignedIn;
    GatewayWorker *w = d->worker;
    d->post([w, toUserId, msgId, type, payload] { w->message(toUserId, msgId, type, payload); });
    return QnGatewayOk;
}

bool QnGatewayClient::isSignedIn() const
{
    return d->signedIn.load();
}
