// QnLynHttp over QnSignalClient and the gateway, with the receiver simulator as its peer.
#include "QnSignal/client/QnSignalClient.h"
#include "lyn/control/QnLynHttp.h"
#include "tests/fixtures/gateway/QnGatewayServer.h"
#include "tests/fixtures/receiver_sim/control/QnSimControl.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QStringList sortedKeys(const QJsonObject &o)
{
    QStringList k = o.keys();
    k.sort();
    return k;
}
} // namespace

class TstQnLynHttpGateway : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void connectEnvelopeExact();
    void mirrorRequestExact();
    void replyTable_data();
    void replyTable();
    void answerAt9sAndTimeoutAt10s();
    void realTimeout();
    void refusedSendFilesNothing();
    void incomingRequests();
    void keepAliveAnswers();
    void dropReloginRejoinConnectAgain();

private:
    void connectToRx();

    QTemporaryDir *m_dir = nullptr;
    QnSimControl *m_rx = nullptr;
    QnSignalClient *m_signal = nullptr;
    QnLynHttp *m_http = nullptr;
    qint64 m_now = 0;
    bool m_fakeClock = true;
};

void TstQnLynHttpGateway::init()
{
    m_dir = new QTemporaryDir;
    m_rx = new QnSimControl;
    QVERIFY(m_rx->hostGateway());
    QSignalSpy ready(m_rx, &QnSimControl::ready);
    QVERIFY(m_rx->start());
    QVERIFY(ready.wait(5000));
    m_signal = new QnSignalClient;
    m_signal->setGatewayConfig(QnGatewayConfig::loopback());
    m_http = new QnLynHttp(m_dir->filePath("setting.ini"));
    m_http->setSignalClient(m_signal);
    m_http->setLocalIp("127.0.0.1");
    m_http->setRoomId(m_rx->identity().roomId);
    m_now = 1700000000000;
    m_fakeClock = true;
    m_http->setClock([this] { return m_fakeClock ? m_now : QDateTime::currentMSecsSinceEpoch(); });
    QCOMPARE(m_signal->initSdk(), 0);
    QSignalSpy login(m_signal, &QnSignalClient::loginResult);
    QSignalSpy join(m_signal, QOverload<bool, QString, bool>::of(&QnSignalClient::joinRoomResult));
    m_signal->login(m_http->getDeviceId(), m_http->getDeviceName(), "127.0.0.1", m_rx->server()->port());
    QVERIFY(login.wait(5000));
    QVERIFY(login.first().at(0).toBool());
    m_signal->joinRoom(m_http->getRoomId(), QString());
    QVERIFY(join.wait(5000));
    QVERIFY(join.first().at(0).toBool());
}

void TstQnLynHttpGateway::cleanup()
{
    delete m_http;
    delete m_signal;
    delete m_rx;
    delete m_dir;
}

void TstQnLynHttpGateway::connectToRx()
{
    QSignalSpy result(m_http, &QnLynHttp::startConnectResult);
    m_http->startConnect("http://127.0.0.1:1989", m_rx->identity().userId);
    QVERIFY(result.wait(5000));
    QVERIFY(result.first().at(0).toBool());
}

void TstQnLynHttpGateway::connectEnvelopeExact()
{
    const QString rxId = m_rx->identity().userId;
    QSignalSpy routed(m_rx->server(), &QnGatewayServer::messageRouted);
    QSignalSpy result(m_http, &QnLynHttp::startConnectResult);
    m_http->startConnect("http://127.0.0.1:1989", rxId);
    QVERIFY(result.wait(5000));
    QCOMPARE(routed.first().at(2).toInt(), 1005);
    const auto requests = m_rx->requestsOfType(1);
    QCOMPARE(requests.size(), 1);
    const QJsonObject env = QJsonDocument::fromJson(requests.first().raw).object();
    QCOMPARE(sortedKeys(env), QStringList({"data", "id", "nickName", "type", "userId"}));
    QVERIFY(QRegularExpression("^[0-9a-f]{32}$").match(env.value("userId").toString()).hasMatch());
    QCOMPARE(env.value("userId").toString(), m_http->getDeviceId());
    QCOMPARE(env.value("nickName").toString(), m_http->getDeviceName());
    QCOMPARE(env.value("type").toInt(), 1);
    QVERIFY(QRegularExpression("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
                .match(env.value("id").toString())
                .hasMatch());
    QCOMPARE(env.value("data").toObject(), QJsonObject());
    QVERIFY(!requests.first().raw.contains(' ')); // compact
    QCOMPARE(result.first(), (QVariantList{true, rxId, "Room 3", m_rx->identity().roomId, "127.0.0.1", 1979,
                                           m_rx->identity().uploadUrl}));
}

void TstQnLynHttpGateway::mirrorRequestExact()
{
    const QString rxId = m_rx->identity().userId;
    QnSimReply reply;
    reply.ip = "127.0.0.7";
    reply.port = 41104;
    m_rx->setReply(4, reply);
    QSignalSpy result(m_http, &QnLynHttp::startLynResult);
    m_http->startLynSender("url", rxId, 10900, 1920, 1080, QString());
    QVERIFY(result.wait(5000));
    const QJsonObject env = QJsonDocument::fromJson(m_rx->requestsOfType(4).first().raw).object();
    QCOMPARE(env.value("nickName").toString(), QString());
    QCOMPARE(
        env.value("data").toObject(),
        QJsonObject(
            {{"device", 1}, {"height", 1080}, {"ip", "127.0.0.1"}, {"lynPort", 10900}, {"width", 1920}}));
    QCOMPARE(result.first(), (QVariantList{true, rxId, "127.0.0.7", 41104}));
}

void TstQnLynHttpGateway::replyTable_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("code");
    QTest::addColumn<bool>("withMsg");
    QTest::addColumn<bool>("success");
    QTest::addColumn<bool>("matched"); // the answer reaches the request's handler (else: time-out)
    QTest::addColumn<bool>("screenLimit");
    using M = QnSimReply::Mode;
    QTest::newRow("normal") << int(M::Normal) << 0 << false << true << true << false;
    // Bytes that do not parse carry no id: the request fails by time-out.
    QTest::newRow("invalid json") << int(M::InvalidJson) << 0 << false << false << false << false;
    QTest::newRow("missing code") << int(M::MissingCode) << 0 << false << false << true << false;
    QTest::newRow("error with msg") << int(M::Error) << -1002 << true << false << true << false;
    QTest::newRow("error without msg") << int(M::Error) << 3 << false << false << true << false;
    QTest::newRow("screen limit") << int(M::Error) << -1006 << true << false << false << true;
    QTest::newRow("silence") << int(M::Silence) << 0 << false << false << false << false;
}

void TstQnLynHttpGateway::replyTable()
{
    QFETCH(int, mode);
    QFETCH(int, code);
    QFETCH(bool, withMsg);
    QFETCH(bool, success);
    QFETCH(bool, matched);
    QFETCH(bool, screenLimit);
    const QString rxId = m_rx->identity().userId;
    QnSimReply reply;
    reply.mode = QnSimReply::Mode(mode);
    reply.code = code;
    reply.withMsg = withMsg;
    reply.width = 1280;
    reply.height = 720;
    m_rx->setReply(15, reply);
    QSignalSpy result(m_http, &QnLynHttp::startDesktopRequestResult);
    QSignalSpy limit(m_http, &QnLynHttp::forScreenMaxLimit);
    m_http->startDesktopRequestSender("url", rxId, 10902);
    QTRY_COMPARE(m_rx->requestsOfType(15).size(), 1);
    if (matched) {
        QTRY_COMPARE(result.size(), 1);
    } else {
        if (screenLimit)
            QTRY_COMPARE(limit.size(), 1);
        // Bound the wait for a stray answer with a request answered after it.
        QSignalSpy marker(m_http, &QnLynHttp::closeLyn);
        m_http->stopLynSender("url", rxId);
        QTRY_COMPARE(marker.size(), 1);
        QCOMPARE(result.size(), 0);
        m_now += 10001;
        m_http->sweepRequests();
    }
    QCOMPARE(result.size(), 1);
    QCOMPARE(limit.size(), screenLimit ? 1 : 0);
    if (success)
        QCOMPARE(result.first(), (QVariantList{true, rxId, "127.0.0.1", 41004, 10902, 1280, 720}));
    else
        QCOMPARE(result.first(), (QVariantList{false, rxId, QString(), 0, 0, -1, -1}));
    QCOMPARE(m_http->pendingRequestCount(), 0);
}

void TstQnLynHttpGateway::answerAt9sAndTimeoutAt10s()
{
    const QString rxId = m_rx->identity().userId;
    QnSimReply silent;
    silent.mode = QnSimReply::Mode::Silence;
    m_rx->setReply(6, silent);
    QSignalSpy result(m_http, &QnLynHttp::startDesktopResult);

    // Answered 9 s later: the real answer counts.
    m_http->startDesktopSender("url", rxId, 10904, 10906);
    QTRY_COMPARE(m_rx->requestsOfType(6).size(), 1);
    const QString first = m_rx->requestsOfType(6).first().id;
    m_now += 9000;
    m_http->sweepRequests();
    m_rx->sendRaw(
        m_http->getDeviceId(), 6,
        QJsonDocument(
            QJsonObject{{"id", first}, {"code", 0}, {"data", QJsonObject{{"ip", "1.2.3.4"}, {"lynPort", 5}}}})
            .toJson(QJsonDocument::Compact));
    QTRY_COMPARE(result.size(), 1);
    QCOMPARE(result.first(), (QVariantList{true, rxId, "1.2.3.4", 5, 10904}));

    // Unanswered: one failure past 10 s, and a late answer is ignored.
    result.clear();
    m_http->startDesktopSender("url", rxId, 10908, 10910);
    QTRY_COMPARE(m_rx->requestsOfType(6).size(), 2);
    const QString second = m_rx->requestsOfType(6).last().id;
    m_now += 10000;
    m_http->sweepRequests();
    QCOMPARE(result.size(), 0);
    m_now += 1;
    m_http->sweepRequests();
    m_http->sweepRequests();
    QCOMPARE(result.size(), 1);
    QCOMPARE(result.first(), (QVariantList{false, rxId, QString(), 0, 0}));
    QSignalSpy marker(m_http, &QnLynHttp::closeLyn);
    m_rx->sendRaw(m_http->getDeviceId(), 6,
                  QJsonDocument(QJsonObject{{"id", second}, {"code", 0}}).toJson(QJsonDocument::Compact));
    m_http->stopLynSender("url", rxId); // answered after the late answer: bounds the wait
    QVERIFY(marker.wait(5000));
    QCOMPARE(result.size(), 1);
}

void TstQnLynHttpGateway::realTimeout()
{
    m_fakeClock = false;
    QnSimReply silent;
    silent.mode = QnSimReply::Mode::Silence;
    m_rx->setReply(1, silent);
    QSignalSpy result(m_http, &QnLynHttp::startConnectResult);
    QElapsedTimer t;
    t.start();
    m_http->startConnect("url", m_rx->identity().userId);
    QTRY_COMPARE_WITH_TIMEOUT(result.size(), 1, 20000);
    QVERIFY(t.elapsed() >= 10000);
    QCOMPARE(result.first().at(0).toBool(), false);
    QTest::qWait(300);
    QCOMPARE(result.size(), 1);
}

void TstQnLynHttpGateway::refusedSendFilesNothing()
{
    QSignalSpy loginSpy(m_signal, &QnSignalClient::loginResult);
    m_signal->logout();
    QTRY_VERIFY(m_rx->server()->isSignedIn(m_http->getDeviceId()) == false);
    QTest::qWait(100);
    QSignalSpy result(m_http, &QnLynHttp::startConnectResult);
    QSignalSpy reconnect(m_http, &QnLynHttp::serverDisconnected);
    m_http->startConnect("url", m_rx->identity().userId);
    QCOMPARE(result.size(), 1); // at once
    QCOMPARE(result.first().at(0).toBool(), false);
    m_http->sendReconnect(m_rx->identity().userId);
    QCOMPARE(reconnect.size(), 1);
    QCOMPARE(m_http->pendingRequestCount(), 0);
}

void TstQnLynHttpGateway::incomingRequests()
{
    const QString pc = m_http->getDeviceId();
    m_http->setSaveFolder(m_dir->filePath("save"));
    m_http->setDesktopPort(41010);
    QSignalSpy mediaStatus(m_http, &QnLynHttp::mediaStatus);
    const QHash<int, QJsonObject> data{
        {4, {{"ip", "127.0.0.1"}, {"lynPort", 41004}}},
        {6, {{"ip", "127.0.0.1"}, {"lynPort", 41004}, {"port", 41006}}},
        {10, {{"pixs", QJsonArray{QJsonObject{{"url", "http://h/a.png"}}}}}},
        {12, {{"path", "p"}}},
        {13, {{"path", "p"}}},
        {14, {{"angle", 90}}},
        {15, {{"ip", "127.0.0.1"}, {"lynPort", 41004}}},
        {16, {{"docs", QJsonArray{QJsonObject{{"url", "d.pdf"}}}}}},
        {17, {{"url", "http://h/d.pdf"}}},
        {18, {{"path", "p"}}},
    };
    const QHash<int, int> expected{{11, -1}, {19, -1}};
    QHash<int, QString> ids;
    for (int type = 1; type <= 20; ++type) {
        if (type == 2)
            continue; // would end the connection made by type 1; covered by the handler's own test
        ids.insert(type, m_rx->sendRequest(pc, type, data.value(type), "127.0.0.1"));
    }
    ids.insert(2, m_rx->sendRequest(pc, 2));
    QTRY_VERIFY_WITH_TIMEOUT(m_rx->hasAnswer(ids.value(2)), 10000);
    for (auto it = ids.constBegin(); it != ids.constEnd(); ++it) {
        const int type = it.key();
        if (type == 18) {
            QVERIFY(!m_rx->hasAnswer(it.value())); // media status gets no answer
            continue;
        }
        QVERIFY2(m_rx->hasAnswer(it.value()), qPrintable(QString::number(type)));
        const QJsonObject answer = m_rx->answer(it.value());
        QCOMPARE(answer.value("code").toInt(), expected.value(type, 0));
        QCOMPARE(answer.value("type").toInt(), type);
        QCOMPARE(answer.value("id").toString(), it.value());
    }
    QCOMPARE(mediaStatus.size(), 1);
    // A malformed request is answered too, on channel 6.
    QSignalSpy answered(m_rx, &QnSimControl::answerReceived);
    m_rx->sendRaw(pc, 5, "{not json");
    QVERIFY(answered.wait(5000));
    QCOMPARE(answered.first().at(1).toJsonObject(),
             QJsonObject({{"code", -1}, {"msg", "not contains type or userId"}}));
}

void TstQnLynHttpGateway::keepAliveAnswers()
{
    const QString pc = m_http->getDeviceId();
    m_rx->startKeepAlive(pc, 100);
    QTRY_VERIFY(m_rx->keepAliveAnswers().size() >= 2);
    for (const auto &a : m_rx->keepAliveAnswers()) {
        QVERIFY(a.hasCode);
        QCOMPARE(a.code, -1); // not a known peer yet
        QCOMPARE(a.id.size(), 36);
    }
    m_rx->sendRequest(pc, 1, {}, "127.0.0.1");
    QTRY_VERIFY(!m_rx->keepAliveAnswers().isEmpty() && m_rx->keepAliveAnswers().last().code == 0);
    m_rx->sendRequest(pc, 2);
    QTRY_VERIFY(m_rx->keepAliveAnswers().last().code == -1);
    m_rx->sendRequest(pc, 3); // presence makes it known again
    QTRY_VERIFY(m_rx->keepAliveAnswers().last().code == 0);
    m_rx->stopKeepAlive();
    // A keep-alive that is not JSON is answered with an empty id.
    QSignalSpy kept(m_rx, &QnSimControl::keepAliveAnswered);
    m_rx->sendRaw(pc, 7, "garbage");
    QTRY_VERIFY(!kept.isEmpty() && kept.last().at(0).toString().isEmpty());
}

void TstQnLynHttpGateway::dropReloginRejoinConnectAgain()
{
    // The client object's wiring: every successful sign-in (re-logins too) joins the room, and a
    // join answer sends the connect (or, after a drop, the reconnect).
    connect(m_signal, &QnSignalClient::loginResult, m_http, [this](bool ok, const QString &) {
        if (ok)
            m_signal->joinRoom(m_http->getRoomId());
    });
    connect(m_signal, QOverload<bool, QString, bool>::of(&QnSignalClient::joinRoomResult), m_http,
            [this](bool ok, const QString &, bool isDisconnect) {
                if (!ok)
                    return;
                if (isDisconnect)
                    m_http->sendReconnect(m_rx->identity().userId);
                else
                    m_http->startConnect("url", m_rx->identity().userId);
            });
    connect(m_http, &QnLynHttp::reconnectServerResult, m_http, [this](const QString &, bool ok) {
        if (ok)
            m_http->startConnect("url", m_rx->identity().userId);
    });
    connectToRx();
    QSignalSpy left(m_rx, &QnSimControl::peerLeft);
    QSignalSpy joined(m_rx, &QnSimControl::peerJoined);
    QVERIFY(m_rx->server()->dropClient(m_http->getDeviceId()));
    QVERIFY(left.wait(5000));
    QCOMPARE(left.first().at(1).toBool(), true); // the receiver saw a drop
    QTRY_COMPARE_WITH_TIMEOUT(m_rx->requestsOfType(1).size(), 2, 10000);
    QCOMPARE(m_rx->requestsOfType(19).size(), 1); // the reconnect, then the connect again
    QCOMPARE(joined.size(), 1);
    QTRY_COMPARE(m_rx->server()->roomMembers(m_rx->identity().roomId).size(), 2);
}

QTEST_GUILESS_MAIN(TstQnLynHttpGateway)
#include "tst_qnlynhttp_gateway.moc"
