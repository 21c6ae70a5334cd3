#include "lyn/discovery/QnLynSocket.h"

#include "tests/fixtures/netns/QnNetnsTestMain.h"
#include "tests/fixtures/receiver_sim/discovery/QnSimDiscovery.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QtTest>

// The PC (this thread) and the simulated receiver (its own thread) sit in two private network
// namespaces joined by a veth pair: PC 10.99.0.1, receiver 10.99.0.2 (and 10.99.0.3 for answers
// from a second address). Discovery runs with an injected clock unless a test says otherwise.
// Ordering trick: the simulator sends a "marker" after the datagram under test through the same
// socket; once the marker is seen, the datagram before it has been handled.
class TestQnLynSocket : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void appearsWithSourceAddress();
    void announcedEverySecond();
    void refreshAndTimerExpiry();
    void refreshPassExpiry();
    void futureLastSeenNeverExpires();
    void recordChanges_data();
    void recordChanges();
    void ignoredAnnouncements_data();
    void ignoredAnnouncements();
    void malformedDatagrams_data();
    void malformedDatagrams();
    void getIpLearnsOwnAddress();
    void targetIpOnlyAsAnswer_data();
    void targetIpOnlyAsAnswer();
    void answersGetIpUntilItAsks();
    void answersGetServerIp();
    void addDevice_data();
    void addDevice();
    void realTimeExpiry();

private:
    /// Runs f on the simulator's thread.
    void sim(std::function<void(QnSimDiscovery &)> f)
    {
        QnSimDiscovery *s = m_sim;
        s->post([s, f] { f(*s); });
    }
    std::unique_ptr<QnLynSocket> makeSocket(const QnLynDiscoveryConfig &config = {});
    /// Sends a marker record with this id and waits until the PC lists it.
    bool marker(const QString &id);
    static QJsonObject markerRecord(const QString &id)
    {
        return {{"id", id}, {"port", 1}, {"roomId", "m"}, {"code", "000000"}, {"ip", "10.99.0.2"}};
    }

    QnSimNetnsThread m_rxThread;
    QnSimLan m_lan;
    QnSimDiscovery *m_sim = nullptr;
    std::unique_ptr<QnLynSocket> m_pc;
    qint64 m_now = 1000;
    QStringList m_events;    // "add <id> <ip> <code> <name>", "remove <id> ...", "self <ip>", "server <ip>"
    QStringList m_simEvents; // "getip <from>", "targetip <ip> <from>", "serverip <ip>"
};

namespace {
QString describe(const char *what, const QnLynItemInfo &i)
{
    return QStringLiteral("%1 %2 %3 %4 %5").arg(QLatin1String(what), i.id, i.ip, i.code, i.name);
}
} // namespace

void TestQnLynSocket::initTestCase()
{
    QVERIFY2(QnSimNetns::onlyOwnInterfaces(), "not in a private namespace");
    QVERIFY(m_rxThread.startInNamespace());
    QString error;
    QVERIFY2(m_lan.setUp(m_rxThread, &error), qPrintable(error));
    QVERIFY(m_lan.receiverIp({"addr", "add", "10.99.0.3/24", "brd", "+", "dev", m_lan.rxIf}));
    QVERIFY(QnSimNetns::onlyOwnInterfaces({m_lan.pcIf}));

    m_sim = new QnSimDiscovery(QnSimDiscovery::Config{});
    m_sim->moveToThread(&m_rxThread);
    connect(m_sim, &QnSimDiscovery::getIpReceived, this,
            [this](const QString &from) { m_simEvents << "getip " + from; });
    connect(m_sim, &QnSimDiscovery::targetIpReceived, this,
            [this](const QString &ip, const QString &from) { m_simEvents << "targetip " + ip + " " + from; });
    connect(m_sim, &QnSimDiscovery::serverIpReceived, this,
            [this](const QString &ip) { m_simEvents << "serverip " + ip; });
    QAtomicInt started;
    sim([&started](QnSimDiscovery &s) {
        started = s.start() ? 1 : -1;
        s.stopAnnouncing();
    });
    QTRY_VERIFY(started.loadRelaxed() != 0);
    QCOMPARE(started.loadRelaxed(), 1);
}

void TestQnLynSocket::cleanupTestCase()
{
    if (m_sim)
        QMetaObject::invokeMethod(m_sim, &QObject::deleteLater, Qt::QueuedConnection);
    m_rxThread.quit();
    m_rxThread.wait();
}

void TestQnLynSocket::init()
{
    m_now = 1000;
    m_events.clear();
    m_simEvents.clear();
    sim([](QnSimDiscovery &s) {
        s.stopAnnouncing();
        s.record() = QnSimDiscovery::defaultRecord();
        s.setFraming(QnSimDiscovery::Framing::Normal);
        s.setSourceAddress(QHostAddress());
        s.setTargetIpOverride({});
        s.setAnswerGetIp(true);
    });
}

void TestQnLynSocket::cleanup()
{
    m_pc.reset();
}

std::unique_ptr<QnLynSocket> TestQnLynSocket::makeSocket(const QnLynDiscoveryConfig &config)
{
    auto pc = std::make_unique<QnLynSocket>(nullptr, config);
    pc->setClock([this] { return m_now; });
    pc->setSelfId("pc-self");
    connect(pc.get(), &QnLynSocket::addItem, this,
            [this](const QnLynItemInfo &i) { m_events << describe("add", i); });
    connect(pc.get(), &QnLynSocket::removeItem, this,
            [this](const QnLynItemInfo &i) { m_events << describe("remove", i); });
    connect(pc.get(), &QnLynSocket::getSelfIp, this, [this](const QString &ip) { m_events << "self " + ip; });
    connect(pc.get(), &QnLynSocket::getServerIp, this,
            [this](const QString &ip) { m_events << "server " + ip; });
    return pc;
}

bool TestQnLynSocket::marker(const QString &id)
{
    sim([id](QnSimDiscovery &s) { s.announceRecord(markerRecord(id)); });
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 10000) {
        if (m_pc->getItems().contains(id))
            return true;
        QTest::qWait(20);
    }
    return false;
}

void TestQnLynSocket::appearsWithSourceAddress()
{
    m_pc = makeSocket();
    QVERIFY(m_pc->isListening());
    sim([](QnSimDiscovery &s) {
        s.record()["ip"] = "1.2.3.4"; // what the receiver claims; its source address wins
        s.announceNow();
    });
    QTRY_COMPARE(m_events, QStringList{"add rx-1 10.99.0.2 123456 Room 101"});
    const QnLynItemInfo info = m_pc->getItems().value("rx-1");
    QCOMPARE(info.url, QString("http://10.99.0.2:1989/file"));
    QCOMPARE(info.port, 8848);
    QCOMPARE(info.roomId, QString("room-1"));
}

void TestQnLynSocket::announcedEverySecond()
{
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) { s.resumeAnnouncing(); });
    QTRY_VERIFY_WITH_TIMEOUT(m_pc->getItems().contains("rx-1"), 5000);
    int announced = 0;
    QMetaObject::Connection c =
        connect(m_sim, &QnSimDiscovery::announced, this, [&announced] { ++announced; });
    QTRY_VERIFY_WITH_TIMEOUT(announced >= 2, 5000); // keeps announcing on its own
    disconnect(c);
    QCOMPARE(m_events.size(), 1); // heard again and again, listed once
}

void TestQnLynSocket::refreshAndTimerExpiry()
{
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) { s.announceNow(); });
    QTRY_COMPARE(m_pc->getItems().size(), 1);
    m_now = 1005;
    sim([](QnSimDiscovery &s) { s.announceNow(); }); // heard again at 1005
    QVERIFY(marker("m1"));
    m_now = 1012; // 7 s after it was last heard: stays through several 200 ms passes
    QTest::qWait(700);
    QVERIFY(m_pc->getItems().contains("rx-1"));
    m_now = 1013; // 8 s: the next pass drops it (and the marker, heard at 1005 too)
    QTRY_VERIFY(!m_pc->getItems().contains("rx-1"));
    QVERIFY(m_events.contains("remove rx-1 10.99.0.2 123456 Room 101"));
    QVERIFY(m_pc->getItems().isEmpty());
}

void TestQnLynSocket::refreshPassExpiry()
{
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) { s.announceNow(); });
    QTRY_COMPARE(m_pc->getItems().size(), 1);
    m_now = 1001;
    m_pc->removeStaleItems();
    QCOMPARE(m_pc->getItems().size(), 1);
    m_now = 1002;
    m_pc->removeStaleItems();
    QVERIFY(m_pc->getItems().isEmpty());
    QCOMPARE(m_events.last(), QString("remove rx-1 10.99.0.2 123456 Room 101"));
}

void TestQnLynSocket::futureLastSeenNeverExpires()
{
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) { s.announceNow(); });
    QTRY_COMPARE(m_pc->getItems().size(), 1);
    m_now = 900; // the clock went back
    m_pc->removeStaleItems();
    QTest::qWait(500);
    QCOMPARE(m_pc->getItems().size(), 1);
}

void TestQnLynSocket::recordChanges_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("source"); // receiver's source address for the second announcement
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("storedName");
    const QString first = "add rx-1 10.99.0.2 123456 Room 101";
    QTest::newRow("new name: record kept, no signal")
        << "name" << QJsonValue("Room 202") << "" << QStringList{first} << "Room 101";
    QTest::newRow("new port: no signal")
        << "port" << QJsonValue(9999) << "" << QStringList{first} << "Room 101";
    QTest::newRow("new room: no signal")
        << "roomId" << QJsonValue("r2") << "" << QStringList{first} << "Room 101";
    QTest::newRow("announced ip only: source wins, no signal")
        << "ip" << QJsonValue("10.99.0.50") << "" << QStringList{first} << "Room 101";
    QTest::newRow("new code: replaced")
        << "code" << QJsonValue("654321") << ""
        << QStringList{first, "remove rx-1 10.99.0.2 123456 Room 101", "add rx-1 10.99.0.2 654321 Room 101"}
        << "Room 101";
    QTest::newRow("new address: replaced")
        << "name" << QJsonValue("Room 202") << "10.99.0.3"
        << QStringList{first, "remove rx-1 10.99.0.2 123456 Room 101", "add rx-1 10.99.0.3 123456 Room 202"}
        << "Room 202";
}

void TestQnLynSocket::recordChanges()
{
    QFETCH(QString, key);
    QFETCH(QJsonValue, value);
    QFETCH(QString, source);
    QFETCH(QStringList, events);
    QFETCH(QString, storedName);
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) { s.announceNow(); });
    QTRY_COMPARE(m_events.size(), 1);
    sim([key, value, source](QnSimDiscovery &s) {
        s.record()[key] = value;
        if (!source.isEmpty())
            s.setSourceAddress(QHostAddress(source));
        s.announceNow();
    });
    QVERIFY(marker("m1"));
    m_events.removeAll("add m1 10.99.0.2 000000 ");
    if (!source.isEmpty()) // the marker left from the second address
        m_events.removeAll("add m1 10.99.0.3 000000 ");
    QCOMPARE(m_events, events);
    QCOMPARE(m_pc->getItems().value("rx-1").name, storedName);
}

void TestQnLynSocket::ignoredAnnouncements_data()
{
    QTest::addColumn<QString>("removeKey");
    QTest::addColumn<QString>("id");
    QTest::newRow("the PC's own id") << ""
                                     << "pc-self";
    QTest::newRow("no id") << "id"
                           << "";
    QTest::newRow("empty id") << ""
                              << "";
    QTest::newRow("no port") << "port"
                             << "";
    QTest::newRow("no roomId") << "roomId"
                               << "";
}

void TestQnLynSocket::ignoredAnnouncements()
{
    QFETCH(QString, removeKey);
    QFETCH(QString, id);
    m_pc = makeSocket();
    sim([removeKey, id](QnSimDiscovery &s) {
        if (!removeKey.isEmpty())
            s.record().remove(removeKey);
        else
            s.record()["id"] = id;
        s.announceNow();
    });
    QVERIFY(marker("m1"));
    QCOMPARE(m_events, QStringList{"add m1 10.99.0.2 000000 "});
    QCOMPARE(m_pc->getItems().keys(), QStringList{"m1"});
}

Q_DECLARE_METATYPE(QnSimDiscovery::Framing)

void TestQnLynSocket::malformedDatagrams_data()
{
    QTest::addColumn<QnSimDiscovery::Framing>("framing");
    QTest::addColumn<QString>("log"); // expected log line (regex); empty: accepted
    using F = QnSimDiscovery::Framing;
    QTest::newRow("length larger than the rest") << F::LengthTooLarge << "dropped datagram.*failed get";
    QTest::newRow("three bytes") << F::Short << "dropped datagram.*shorter than the length prefix";
    QTest::newRow("length zero") << F::ZeroLength << "dropped datagram.*zero or negative";
    QTest::newRow("length negative") << F::NegativeLength << "dropped datagram.*zero or negative";
    QTest::newRow("oversize") << F::Oversize << "dropped an oversize datagram";
    QTest::newRow("not JSON") << F::NotJson << "ignored a record";
    QTest::newRow("JSON array") << F::JsonArray << "ignored a record";
    QTest::newRow("bytes after the payload: accepted") << F::TrailingBytes << "";
}

void TestQnLynSocket::malformedDatagrams()
{
    QFETCH(QnSimDiscovery::Framing, framing);
    QFETCH(QString, log);
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) { s.announceNow(); });
    QTRY_COMPARE(m_pc->getItems().size(), 1);
    const QnLynItemInfo before = m_pc->getItems().value("rx-1");
    if (!log.isEmpty())
        QTest::ignoreMessage(log.startsWith("ignored") ? QtDebugMsg : QtWarningMsg, QRegularExpression(log));
    sim([framing](QnSimDiscovery &s) {
        s.record()["id"] = "bad";
        s.setFraming(framing);
        s.announceNow();
    });
    QVERIFY(marker("m1"));
    QStringList expected{"add rx-1 10.99.0.2 123456 Room 101"};
    if (log.isEmpty())
        expected << "add bad 10.99.0.2 123456 Room 101";
    expected << "add m1 10.99.0.2 000000 ";
    QCOMPARE(m_events, expected);
    QCOMPARE(m_pc->getItems().value("rx-1").ip, before.ip);
}

void TestQnLynSocket::getIpLearnsOwnAddress()
{
    m_pc = makeSocket();
    QVERIFY(m_pc->selfIp().isEmpty());
    m_pc->sendGetIp("10.99.0.2");
    QTRY_VERIFY(m_simEvents.contains("getip 10.99.0.1"));
    QTRY_COMPARE(m_events, QStringList{"self 10.99.0.1"});
    QCOMPARE(m_pc->selfIp(), QString("10.99.0.1"));
}

void TestQnLynSocket::targetIpOnlyAsAnswer_data()
{
    QTest::addColumn<QString>("asked");  // address asked; empty: not asked
    QTest::addColumn<QString>("answer"); // "targetip" text sent
    QTest::addColumn<QString>("source"); // receiver's source address; empty: 10.99.0.2
    QTest::addColumn<int>("delayMs");
    QTest::addColumn<QString>("log");
    QTest::newRow("unasked") << ""
                             << "10.99.0.1"
                             << "" << 0 << "unasked targetip";
    QTest::newRow("not one of our addresses") << "10.99.0.2"
                                              << "10.99.0.77"
                                              << "" << 0 << "not an address of this PC";
    QTest::newRow("not an address at all") << "10.99.0.2"
                                           << "x"
                                           << "" << 0 << "not an address of this PC";
    QTest::newRow("from another address") << "10.99.0.2"
                                          << "10.99.0.1"
                                          << "10.99.0.3" << 0 << "but .* was asked";
    QTest::newRow("another receiver was asked") << "10.99.0.9"
                                                << "10.99.0.1"
                                                << "" << 0 << "but .* was asked";
    QTest::newRow("too late") << "10.99.0.2"
                              << "10.99.0.1"
                              << "" << 900 << "unasked targetip";
}

void TestQnLynSocket::targetIpOnlyAsAnswer()
{
    QFETCH(QString, asked);
    QFETCH(QString, answer);
    QFETCH(QString, source);
    QFETCH(int, delayMs);
    QFETCH(QString, log);
    QnLynDiscoveryConfig config;
    config.targetIpWindowMs = 400;
    m_pc = makeSocket(config);
    sim([source](QnSimDiscovery &s) {
        s.setAnswerGetIp(false);
        if (!source.isEmpty())
            s.setSourceAddress(QHostAddress(source));
    });
    if (!asked.isEmpty())
        m_pc->sendGetIp(asked);
    if (delayMs > 0)
        QTest::qWait(delayMs);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(log));
    sim([answer](QnSimDiscovery &s) { s.sendTargetIp(answer); });
    // Then a proper exchange: only its answer is taken.
    sim([](QnSimDiscovery &s) { s.setSourceAddress(QHostAddress()); });
    QTest::qWait(100); // let the rejected datagram arrive before asking anew
    m_pc->sendGetIp("10.99.0.2");
    sim([](QnSimDiscovery &s) { s.sendTargetIp("10.99.0.1"); });
    QTRY_COMPARE(m_events, QStringList{"self 10.99.0.1"});
}

void TestQnLynSocket::answersGetIpUntilItAsks()
{
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) {
        s.setAnswerGetIp(false);
        s.askGetIp();
    });
    QTRY_VERIFY(m_simEvents.contains("targetip 10.99.0.2 10.99.0.1")); // the PC told the receiver its address
    m_pc->sendGetIp("10.99.0.2"); // from now on the PC asks and no longer answers
    m_simEvents.clear();
    sim([](QnSimDiscovery &s) {
        s.askGetIp();
        s.sendTargetIp("10.99.0.1");
        s.askServerIp();
    });
    QTRY_VERIFY(m_events.contains("self 10.99.0.1"));
    QTRY_VERIFY(m_simEvents.contains("serverip 10.99.0.2"));
    QCOMPARE(m_events.count("self 10.99.0.1"), 1);
    QVERIFY2(!m_simEvents.join(',').contains("from 10.99.0.1") &&
                 !m_simEvents.contains("targetip 10.99.0.2 10.99.0.1"),
             qPrintable(m_simEvents.join(',')));
}

void TestQnLynSocket::answersGetServerIp()
{
    m_pc = makeSocket();
    sim([](QnSimDiscovery &s) { s.askServerIp(); });
    QTRY_COMPARE(m_simEvents, QStringList{"serverip 10.99.0.2"});
}

void TestQnLynSocket::addDevice_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected"); // "id ip url port roomId"; empty: nothing added
    QTest::newRow("code reply")
        << QByteArray(
               R"({"ip":"10.0.0.5","url":":1989/file","id":"r9","name":"Lab","code":"111222","port":8848,"roomId":"R"})")
        << "r9 10.0.0.5 http://10.0.0.5:1989/file 8848 R";
    QTest::newRow("port not a number") << QByteArray(R"({"ip":"10.0.0.5","id":"r9","port":"x","roomId":"R"})")
                                       << "r9 10.0.0.5 http://10.0.0.5 0 R";
    QTest::newRow("empty object") << QByteArray("{}") << "";
    QTest::newRow("no id") << QByteArray(R"({"ip":"10.0.0.5","port":1,"roomId":"R"})") << "";
    QTest::newRow("id not a string") << QByteArray(R"({"id":7,"port":1,"roomId":"R"})") << "";
    QTest::newRow("no port") << QByteArray(R"({"id":"r9","roomId":"R"})") << "";
    QTest::newRow("no roomId") << QByteArray(R"({"id":"r9","port":1})") << "";
    QTest::newRow("upload path naming another host")
        << QByteArray(R"({"ip":"10.0.0.5","url":"@evil.example/file","id":"r9","port":1,"roomId":"R"})")
        << "r9 10.0.0.5 http://10.0.0.5 1 R";
    QTest::newRow("upload path with a backslash")
        << QByteArray(R"({"ip":"10.0.0.5","url":":1989\\@x","id":"r9","port":1,"roomId":"R"})")
        << "r9 10.0.0.5 http://10.0.0.5 1 R";
}

void TestQnLynSocket::addDevice()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    m_pc = makeSocket();
    if (expected.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("without id, port or roomId"));
    m_pc->addDevice(QJsonDocument::fromJson(json).object());
    const QMap<QString, QnLynItemInfo> items = m_pc->getItems();
    if (expected.isEmpty()) {
        QVERIFY(items.isEmpty());
        QVERIFY(m_events.isEmpty());
        return;
    }
    QCOMPARE(items.size(), 1);
    const QnLynItemInfo i = items.first();
    QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5").arg(i.id, i.ip, i.url).arg(i.port).arg(i.roomId), expected);
    QCOMPARE(m_events.size(), 1);
}

void TestQnLynSocket::realTimeExpiry()
{
    // The real clock: a receiver that falls silent is gone 8 whole seconds after it was last heard.
    m_pc = std::make_unique<QnLynSocket>();
    m_pc->setSelfId("pc-self");
    sim([](QnSimDiscovery &s) { s.announceNow(); });
    QTRY_COMPARE(m_pc->getItems().size(), 1);
    QElapsedTimer silent;
    silent.start();
    QTRY_VERIFY_WITH_TIMEOUT(m_pc->getItems().isEmpty(), 15000);
    QVERIFY2(silent.elapsed() >= 6500, qPrintable(QString::number(silent.elapsed())));
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TestQnLynSocket, QCoreApplication>(
        argc, argv, [] { QLoggingCategory::setFilterRules(QStringLiteral("qn.*.debug=true")); });
}
#include "tst_qnlynsocket.moc"
