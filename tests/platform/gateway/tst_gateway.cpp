// The gateway client library against the gateway server on loopback.
#include "platform/gateway/QnGatewayClient.h"
#include "tests/fixtures/gateway/QnGatewayServer.h"

#include <QMutex>
#include <QTcpSocket>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <functional>

namespace {

/// Records every callback (gateway thread) for the test thread to read.
class Recorder : public QnGatewayListener
{
public:
    struct Event
    {
        Event(const char *k = "", int c = 0, const QString &x = QString(), const QString &y = QString(),
              bool f = false)
            : kind(QLatin1String(k)), code(c), a(x), b(y), flag(f)
        {}
        QString kind; // login, join, mjoin, mleave, msg, relogin, disconnect
        int code = 0;
        QString a;
        QString b;
        bool flag = false;
        QByteArray payload;
        int type = 0;
        QThread *thread = nullptr;
    };

    void onLogin(const QnGatewayAnswer &x) override { add({"login", x.code, x.text, {}, x.relogin}); }
    void onJoin(const QnGatewayAnswer &x) override { add({"join", x.code, x.roomId, x.text}); }
    void onMemberJoin(const QString &room, const QString &user) override { add({"mjoin", 0, room, user}); }
    void onMemberLeave(const QString &room, const QString &user, QnGatewayLeaveReason r) override
    {
        add({"mleave", int(r), room, user});
    }
    void onRoomMessage(const QnGatewayMessage &m) override
    {
        Event e{"msg", 0, m.fromUserId, m.msgId};
        e.payload = m.payload;
        e.type = m.type;
        add(e);
        if (onMessage)
            onMessage(m);
    }
    void onStartRelogin(quint32 attempt) override { add(Event("relogin", int(attempt))); }
    void onDisconnect(int code, const QString &text) override { add({"disconnect", code, text}); }

    int count(const QString &kind) const
    {
        QMutexLocker lock(&mutex);
        int n = 0;
        for (const Event &e : events)
            n += e.kind == kind;
        return n;
    }
    QList<Event> of(const QString &kind) const
    {
        QMutexLocker lock(&mutex);
        QList<Event> out;
        for (const Event &e : events) {
            if (e.kind == kind)
                out.append(e);
        }
        return out;
    }
    int total() const
    {
        QMutexLocker lock(&mutex);
        return events.size();
    }

    std::function<void(const QnGatewayMessage &)> onMessage; // set before start

private:
    void add(Event e)
    {
        e.thread = QThread::currentThread();
        QMutexLocker lock(&mutex);
        events.append(e);
    }
    mutable QMutex mutex;
    QList<Event> events;
};

struct Peer
{
    Recorder rec;
    QnGatewayClient client;
    explicit Peer(const QnGatewayConfig &config = QnGatewayConfig::loopback())
    {
        client.init(&rec, config);
        client.start();
    }
};

} // namespace

class TstGateway : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void signInJoinAndDeliver();
    void deliveredOnlyInSharedRoom();
    void leaveReasons();
    void secondLoginReplacesOlder();
    void refusedLoginAndDelayedAnswers();
    void reloginAndRejoinAfterDrop();
    void reloginWithoutRejoin();
    void silentPeerIsDropped();
    void callsFromInsideCallbacks();
    void nothingAfterStop();
    void refusedWithoutSession();

private:
    bool signIn(Peer &p, const QString &user, const QString &room = QString());
    QnGatewayServer *m_server = nullptr;
};

void TstGateway::init()
{
    m_server = new QnGatewayServer;
    QVERIFY(m_server->listen());
}

void TstGateway::cleanup()
{
    delete m_server;
    m_server = nullptr;
}

bool TstGateway::signIn(Peer &p, const QString &user, const QString &room)
{
    const int logins = p.rec.count("login");
    if (p.client.login(user, user + "-name", "127.0.0.1", m_server->port()) != 0)
        return false;
    if (!QTest::qWaitFor([&] { return p.rec.count("login") > logins; }, 5000))
        return false;
    if (p.rec.of("login").last().code != 0)
        return false;
    if (room.isEmpty())
        return true;
    const int joins = p.rec.count("join");
    p.client.joinRoom(room);
    return QTest::qWaitFor([&] { return p.rec.count("join") > joins; }, 5000) &&
           p.rec.of("join").last().code == 0;
}

void TstGateway::signInJoinAndDeliver()
{
    Peer pc, rx;
    QVERIFY(signIn(rx, "rx", "room1"));
    QVERIFY(signIn(pc, "pc", "room1"));
    QTRY_COMPARE(rx.rec.count("mjoin"), 1);
    QCOMPARE(rx.rec.of("mjoin").first().b, QStringLiteral("pc"));
    QCOMPARE(m_server->roomMembers("room1"), QStringList({"pc", "rx"}));

    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QCOMPARE(pc.client.sendRoomMessage("rx", "id-1", 1005, all), 0);
    QTRY_COMPARE(rx.rec.count("msg"), 1);
    const auto m = rx.rec.of("msg").first();
    QCOMPARE(m.payload, all);
    QCOMPARE(m.type, 1005);
    QCOMPARE(m.a, QStringLiteral("pc"));
    QCOMPARE(m.b, QStringLiteral("id-1"));
    QVERIFY(m.thread != QThread::currentThread()); // callbacks run on the library's thread
}

void TstGateway::deliveredOnlyInSharedRoom()
{
    Peer a, b, c;
    QVERIFY(signIn(a, "a", "r1"));
    QVERIFY(signIn(b, "b", "r2"));
    QVERIFY(signIn(c, "c", "r1"));
    QSignalSpy routed(m_server, &QnGatewayServer::messageRouted);
    a.client.sendRoomMessage("b", "m1", 1, "x"); // no shared room
    a.client.sendRoomMessage("c", "m2", 1, "y"); // shared
    QTRY_COMPARE(routed.count(), 2);
    QCOMPARE(routed.at(0).at(3).toBool(), false);
    QCOMPARE(routed.at(1).at(3).toBool(), true);
    QTRY_COMPARE(c.rec.count("msg"), 1);
    QCOMPARE(b.rec.count("msg"), 0);
}

void TstGateway::leaveReasons()
{
    Peer rx, p1, p2, p3;
    QVERIFY(signIn(rx, "rx", "room"));
    QVERIFY(signIn(p1, "p1", "room"));
    QVERIFY(signIn(p2, "p2", "room"));
    QVERIFY(signIn(p3, "p3", "room"));
    p1.client.leaveRoom("room");
    p2.client.logout();
    QVERIFY(m_server->dropClient("p3"));
    QTRY_COMPARE(rx.rec.count("mleave"), 3);
    QHash<QString, int> reasons;
    for (const auto &e : rx.rec.of("mleave"))
        reasons.insert(e.b, e.code);
    QCOMPARE(reasons.value("p1"), int(QnGatewayLeaveReason::Left));
    QCOMPARE(reasons.value("p2"), int(QnGatewayLeaveReason::Left));
    QCOMPARE(reasons.value("p3"), int(QnGatewayLeaveReason::Dropped));
    // A client that goes away without logging out is a drop as well.
    Peer p4;
    QVERIFY(signIn(p4, "p4", "room"));
    p4.client.stop();
    QTRY_COMPARE(rx.rec.count("mleave"), 4);
    QCOMPARE(rx.rec.of("mleave").last().code, int(QnGatewayLeaveReason::Dropped));
}

void TstGateway::secondLoginReplacesOlder()
{
    Peer rx, older, newer;
    QVERIFY(signIn(rx, "rx", "room"));
    QVERIFY(signIn(older, "pc", "room"));
    QVERIFY(signIn(newer, "pc", "room"));
    QTRY_COMPARE(older.rec.count("disconnect"), 1);
    QCOMPARE(older.rec.of("disconnect").first().code, int(QnGatewayReplaced));
    rx.client.sendRoomMessage("pc", "m", 1, "hello");
    QTRY_COMPARE(newer.rec.count("msg"), 1);
    QCOMPARE(older.rec.count("msg"), 0);
    // The replaced session does not sign in again by itself.
    QTest::qWait(500);
    QCOMPARE(older.rec.count("relogin"), 0);
    QVERIFY(!older.client.isSignedIn());
}

void TstGateway::refusedLoginAndDelayedAnswers()
{
    Peer p;
    m_server->refuseNextLogins(1);
    QVERIFY(!signIn(p, "pc"));
    QCOMPARE(p.rec.of("login").last().code, int(QnGatewayRefused));
    m_server->setAnswerDelay(700);
    QElapsedTimer t;
    t.start();
    QVERIFY(signIn(p, "pc", "room"));
    QVERIFY(t.elapsed() >= 1400);
    QCOMPARE(p.rec.count("login"), 2);
    QCOMPARE(p.rec.count("join"), 1);
    // No server at all: the login answers once, with a failure.
    Peer q;
    QCOMPARE(q.client.login("q", "q", "127.0.0.1", 1), 0);
    QTRY_COMPARE(q.rec.count("login"), 1);
    QCOMPARE(q.rec.of("login").first().code, int(QnGatewayConnectFailed));
    QTest::qWait(300);
    QCOMPARE(q.rec.count("login"), 1);
}

void TstGateway::reloginAndRejoinAfterDrop()
{
    Peer rx, pc;
    QVERIFY(signIn(rx, "rx", "room"));
    QVERIFY(signIn(pc, "pc", "room"));
    m_server->refuseNextLogins(2);
    QVERIFY(m_server->dropClient("pc"));
    QTRY_COMPARE(pc.rec.count("disconnect"), 1);
    // Two refused attempts, then the third signs in and re-joins the room by itself.
    QTRY_COMPARE_WITH_TIMEOUT(pc.rec.count("login"), 4, 10000);
    const auto logins = pc.rec.of("login");
    QCOMPARE(logins.at(1).code, int(QnGatewayRefused));
    QCOMPARE(logins.at(2).code, int(QnGatewayRefused));
    QCOMPARE(logins.at(3).code, 0);
    QVERIFY(logins.at(3).flag); // an automatic re-login
    QCOMPARE(pc.rec.count("relogin"), 3);
    QTRY_COMPARE(pc.rec.count("join"), 2);
    QCOMPARE(pc.rec.of("join").last().code, 0);
    QTRY_COMPARE(m_server->roomMembers("room"), QStringList({"pc", "rx"}));
    rx.client.sendRoomMessage("pc", "m", 1005, "again");
    QTRY_COMPARE(pc.rec.count("msg"), 1);
}

void TstGateway::reloginWithoutRejoin()
{
    QnGatewayConfig config = QnGatewayConfig::loopback();
    config.rejoinRooms = false;
    Peer rx, pc(config);
    QVERIFY(signIn(rx, "rx", "room"));
    QVERIFY(signIn(pc, "pc", "room"));
    QVERIFY(m_server->dropClient("pc"));
    QTRY_COMPARE_WITH_TIMEOUT(pc.rec.count("login"), 2, 10000);
    QCOMPARE(pc.rec.of("login").last().code, 0);
    QTest::qWait(300);
    QCOMPARE(pc.rec.count("join"), 1); // only the first, own join
    QCOMPARE(m_server->roomMembers("room"), QStringList({"rx"}));
    // The caller joins by itself.
    QCOMPARE(pc.client.joinRoom("room"), 0);
    QTRY_COMPARE(pc.rec.count("join"), 2);
    QTRY_COMPARE(m_server->roomMembers("room"), QStringList({"pc", "rx"}));
}

void TstGateway::silentPeerIsDropped()
{
    // A raw socket completes the WebSocket handshake, signs in, joins and then never answers a ping.
    m_server->setPingTiming(200, 1000);
    Peer rx;
    QVERIFY(signIn(rx, "rx", "room"));
    QTcpSocket raw;
    raw.connectToHost(QHostAddress::LocalHost, m_server->port());
    QVERIFY(raw.waitForConnected(3000));
    raw.write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    QTRY_VERIFY(raw.bytesAvailable() > 0 || raw.waitForReadyRead(50));
    QVERIFY(raw.readAll().startsWith("HTTP/1.1 101"));
    auto frame = [](const QByteArray &text) {
        QByteArray f;
        f.append(char(0x81));               // FIN, text
        f.append(char(0x80 | text.size())); // masked, short length
        f.append(QByteArray(4, '\0'));      // zero mask: payload unchanged
        return f + text;
    };
    raw.write(frame(R"({"op":"login","seq":1,"user":"mute","name":"m"})"));
    raw.write(frame(R"({"op":"join","seq":2,"room":"room"})"));
    QTRY_COMPARE(rx.rec.count("mjoin"), 1);
    // From here the socket is never read: pings stay unanswered.
    QTRY_COMPARE_WITH_TIMEOUT(rx.rec.count("mleave"), 1, 5000);
    QCOMPARE(rx.rec.of("mleave").first().b, QStringLiteral("mute"));
    QCOMPARE(rx.rec.of("mleave").first().code, int(QnGatewayLeaveReason::Dropped));
}

void TstGateway::callsFromInsideCallbacks()
{
    // An echo peer answers each message from inside its callback; then it logs out and in again
    // from inside a callback. Nothing may deadlock.
    Peer rx, echo;
    std::atomic<int> echoed{0};
    QnGatewayClient *echoClient = &echo.client;
    echo.rec.onMessage = [&](const QnGatewayMessage &m) {
        echoClient->sendRoomMessage(m.fromUserId, m.msgId, m.type, m.payload);
        if (++echoed == 50) {
            echoClient->leaveRoom("room");
            echoClient->joinRoom("room");
        }
    };
    QVERIFY(signIn(rx, "rx", "room"));
    QVERIFY(signIn(echo, "echo", "room"));
    for (int i = 0; i < 100; ++i)
        QCOMPARE(rx.client.sendRoomMessage("echo", QString::number(i), 1001, QByteArray::number(i)), 0);
    QTRY_VERIFY_WITH_TIMEOUT(rx.rec.count("msg") >= 50, 10000);
    QTRY_COMPARE(echo.rec.count("join"), 2);
}

void TstGateway::nothingAfterStop()
{
    Peer rx;
    auto pc = std::make_unique<Peer>();
    QVERIFY(signIn(rx, "rx", "room"));
    QVERIFY(signIn(*pc, "pc", "room"));
    QTimer flood;
    connect(&flood, &QTimer::timeout, this, [&] {
        for (int i = 0; i < 20; ++i)
            rx.client.sendRoomMessage("pc", "m", 1005, QByteArray(100, 'x'));
    });
    flood.start(5);
    QTRY_VERIFY(pc->rec.count("msg") > 20);
    pc->client.stop();
    const int after = pc->rec.total();
    QTest::qWait(300);
    QCOMPARE(pc->rec.total(), after);
    flood.stop();
    QCOMPARE(pc->client.sendRoomMessage("rx", "m", 1, "x"), int(QnGatewayNotStarted));

    // stop() from inside a callback: no callback after it, and the destructor joins the thread.
    Peer stopper;
    QnGatewayClient *stopperClient = &stopper.client;
    std::atomic<int> afterStop{0};
    std::atomic<bool> stopped{false};
    stopper.rec.onMessage = [&](const QnGatewayMessage &) {
        if (stopped)
            ++afterStop;
        stopperClient->stop();
        stopped = true;
    };
    QVERIFY(signIn(stopper, "stopper", "room"));
    rx.client.sendRoomMessage("stopper", "m", 1, "a");
    rx.client.sendRoomMessage("stopper", "m", 1, "b");
    rx.client.sendRoomMessage("stopper", "m", 1, "c");
    QTRY_VERIFY(stopped);
    QTest::qWait(300);
    QCOMPARE(afterStop.load(), 0);
}

void TstGateway::refusedWithoutSession()
{
    QnGatewayClient idle;
    Recorder rec;
    QCOMPARE(idle.login("a", "b", "127.0.0.1", 1), int(QnGatewayNotStarted));
    idle.init(&rec);
    QCOMPARE(idle.start(), 0);
    QCOMPARE(idle.start(), int(QnGatewayNotStarted)); // a second start is refused
    QCOMPARE(idle.sendRoomMessage("x", "m", 1, "p"), int(QnGatewayNotSignedIn));
    QCOMPARE(idle.login("", "b", "127.0.0.1", 1), int(QnGatewayBadArgument));
    QCOMPARE(idle.joinRoom(QString(129, 'r')), int(QnGatewayBadArgument));
    QCOMPARE(idle.joinRoom("room"), 0);
    QTRY_COMPARE(rec.count("join"), 1);
    QCOMPARE(rec.of("join").first().code, int(QnGatewayNotSignedIn));
}

QTEST_GUILESS_MAIN(TstGateway)
#include "tst_gateway.moc"
