// The client object against the loopback gateway and the receiver simulator's control side:
// connect, reconnect and loss; the media port sequence; overlapping starts; the connection code;
// the receive dispatch (reverse input, presence, stop).
#include "tests/fixtures/client/ClientTestUtil.h"

#include "QnScreenShare/h264/H264Encoder.h"
#include "QnScreenShare/sender/QnLynSender.h"
#include "lyn/control/QnLynControlTypes.h"
#include "lyn/manager/QnLynManager.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/receiver_sim/http/QnSimHttp.h"

#include "client/videomodel/QnLynVideoModel.h"

#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <atomic>

using namespace ClientTestUtil;

class TstQnLynClientObject : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void constructionWithoutAdapter();
    void connectSetsReceiverAndUploadUrl();
    void connectFailures_data();
    void connectFailures();
    void lossTable_data();
    void lossTable();
    void gatewayDropComesBack();
    void gatewayDropReconnectRefused();
    void gatewayGivesUp();
    void portSequenceIncludesFailedStarts();
    void overlappingStartsStartOnce();
    void encoderOpenFailureIsAFailedStart();
    void screenOutsideListSendsZeroSize();
    void desktopFailures();
    void stopChannel();
    void reverseInputOnlyFromConnectedReceiver();
    void ipv4Text_data();
    void ipv4Text();
    void codeHost_data();
    void codeHost();
    void codeLookup_data();
    void codeLookup();

private:
    QnSimControl *m_rx = nullptr;
};

void TstQnLynClientObject::init()
{
    m_rx = new QnSimControl;
    QVERIFY(m_rx->hostGateway());
    QSignalSpy ready(m_rx, &QnSimControl::ready);
    QVERIFY(m_rx->start());
    QVERIFY(ready.wait(5000));
}

void TstQnLynClientObject::cleanup()
{
    delete m_rx;
    m_rx = nullptr;
}

void TstQnLynClientObject::constructionWithoutAdapter()
{
    ClientRig rig;
    rig.ownIp.clear();
    rig.make(rig.config());
    QCOMPARE(rig.client->getCurrentIp().value("ip").toString(), QString());
    QCOMPARE(rig.client->getMachineName(), rig.pcId());
    QCOMPARE(rig.client->nextMediaPort(), 10900);
    QVERIFY(!rig.client->isLynSending());
}

void TstQnLynClientObject::connectSetsReceiverAndUploadUrl()
{
    ClientRig rig;
    rig.make(rig.config());
    QSignalSpy changed(rig.client.get(), &QnLynClientObject::serverConnectChanged);
    m_rx->identity().uploadUrl = QStringLiteral(":1989/file"); // no scheme: the receiver's address goes first
    QVERIFY(connectTo(rig, *m_rx));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first(), (QVariantList{true, m_rx->identity().userId}));
    QCOMPARE(rig.client->getUploadUrl(), QStringLiteral("http://127.0.0.1:1989/file"));
    QCOMPARE(rig.input->connectedReceiver(), m_rx->identity().userId);
    QCOMPARE(m_rx->requestsOfType(1).size(), 1);
}

void TstQnLynClientObject::connectFailures_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("answered"); // startConnectResult(false) follows
    QTest::newRow("sign-in refused") << "login" << false;
    QTest::newRow("sign-in thread cannot start") << "thread" << false;
    QTest::newRow("connect refused by the receiver") << "reply" << true;
    QTest::newRow("connect unanswered") << "silence" << true;
}

void TstQnLynClientObject::connectFailures()
{
    QFETCH(QString, how);
    QFETCH(bool, answered);
    ClientRig rig;
    QnLynClientConfig c = rig.config();
    if (how == "thread")
        c.startThread = [](std::function<void()>) { return false; };
    if (how == "login")
        m_rx->server()->refuseNextLogins(1);
    QnSimReply reply;
    reply.mode = how == "silence" ? QnSimReply::Mode::Silence : QnSimReply::Mode::Error;
    if (how == "reply" || how == "silence")
        m_rx->setReply(1, reply);
    rig.make(c);
    QSignalSpy changed(rig.client.get(), &QnLynClientObject::serverConnectChanged);
    QSignalSpy result(rig.client.get(), &QnLynClientObject::startConnectResult);
    rig.client->startConnect("u", m_rx->identity().userId, "127.0.0.1", m_rx->server()->port(),
                             m_rx->identity().roomId);
    QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), 15000);
    QCOMPARE(changed.first().at(0).toBool(), false);
    if (answered) {
        QCOMPARE(result.count(), 1);
        QCOMPARE(result.first(), (QVariantList{false, m_rx->identity().userId, QString()}));
    } else {
        QCOMPARE(result.count(), 0);
    }
    QCOMPARE(rig.input->connectedReceiver(), QString());
}

void TstQnLynClientObject::lossTable_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("ends");
    QTest::addColumn<bool>("leaveSignal"); // userLeaveRoom emitted to the windows
    QTest::newRow("keep-alive refused by the receiver") << "keep-refused" << true << false;
    QTest::newRow("keep-alive answered") << "keep-ok" << false << false;
    QTest::newRow("receiver leaves the room") << "leave" << true << false;
    QTest::newRow("another member leaves the room") << "leave-other" << false << false;
    QTest::newRow("receiver refuses the reconnect") << "reconnect-refused" << true << false;
    QTest::newRow("receiver accepts the reconnect") << "reconnect-ok" << false << false;
    QTest::newRow("presence naming the receiver") << "presence" << true << true;
    QTest::newRow("presence without id") << "presence-noid" << false << false;
    QTest::newRow("presence with an empty id") << "presence-empty" << false << false;
    QTest::newRow("presence naming another id") << "presence-other" << false << false;
    QTest::newRow("presence not JSON") << "presence-junk" << false << false;
}

void TstQnLynClientObject::lossTable()
{
    QFETCH(QString, event);
    QFETCH(bool, ends);
    QFETCH(bool, leaveSignal);
    ClientRig rig;
    rig.make(rig.config());
    QVERIFY(connectTo(rig, *m_rx));
    const QString rx = m_rx->identity().userId;
    QnLynClientObject *c = rig.client.get();
    QSignalSpy changed(c, &QnLynClientObject::serverConnectChanged);
    QSignalSpy left(c, &QnLynClientObject::userLeaveRoom);
    QnLynHttp *http = c->getLynHttp();
    auto presence = [&](const QByteArray &bytes) { m_rx->sendRaw(rig.pcId(), 3, bytes); };
    QnSimGatewayMember other;
    if (event == "leave-other") {
        QSignalSpy joined(&other, &QnSimGatewayMember::joined);
        QVERIFY(other.start("127.0.0.1", m_rx->server()->port(), "someone", "x", m_rx->identity().roomId));
        QVERIFY(joined.wait(5000));
    }
    QnSimReply refused;
    refused.mode = QnSimReply::Mode::Error;

    if (event == "keep-refused" || event == "keep-ok") {
        m_rx->setKeepAliveAnswer(event == "keep-refused" ? -1 : 0);
        QSignalSpy seen(m_rx, &QnSimControl::messageReceived);
        http->sendKeep();
        QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty(), 5000);
    } else if (event == "leave") {
        // A receiver known live by its keep-alive answer leaves the room.
        QSignalSpy seen(m_rx, &QnSimControl::messageReceived);
        http->sendKeep();
        QTRY_VERIFY_WITH_TIMEOUT(!seen.isEmpty(), 5000);
        QSignalSpy marker(m_rx, &QnSimControl::answerReceived);
        m_rx->sendRequest(rig.pcId(), 3, QJsonObject());
        QVERIFY(marker.wait(5000));
        m_rx->member()->leaveRoom();
    } else if (event == "leave-other") {
        other.leaveRoom();
    } else if (event == "reconnect-refused" || event == "reconnect-ok") {
        if (event == "reconnect-refused")
            m_rx->setReply(QnLynControl::RequestReconnect, refused);
        QSignalSpy result(http, &QnLynHttp::reconnectServerResult);
        http->sendReconnect(rx);
        QVERIFY(result.wait(5000));
        QCOMPARE(result.first().at(1).toBool(), event == "reconnect-ok");
        if (event == "reconnect-ok") // an accepted reconnect connects again
            QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 5000);
    } else if (event == "presence") {
        presence(QJsonDocument(QJsonObject{{"id", rx}}).toJson(QJsonDocument::Compact));
    } else if (event == "presence-noid") {
        presence(R"({"name":"x"})");
    } else if (event == "presence-empty") {
        presence(R"({"id":""})");
    } else if (event == "presence-other") {
        presence(R"({"id":"someone"})");
    } else if (event == "presence-junk") {
        presence("not json");
    }

    if (ends) {
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 5000);
        QCOMPARE(changed.first(), (QVariantList{false, rx}));
        QCOMPARE(rig.input->connectedReceiver(), QString());
        // The client left the room and signed out.
        QTRY_VERIFY_WITH_TIMEOUT(!m_rx->server()->isSignedIn(rig.pcId()), 5000);
    } else {
        // A marker through the same queue proves the event was handled.
        QSignalSpy marker(m_rx, &QnSimControl::answerReceived);
        m_rx->sendRequest(rig.pcId(), 3, QJsonObject());
        QVERIFY(marker.wait(5000));
        for (const QList<QVariant> &c : changed)
            QCOMPARE(c, (QVariantList{true, rx}));
        QCOMPARE(rig.input->connectedReceiver(), rx);
        QVERIFY(m_rx->server()->isSignedIn(rig.pcId()));
    }
    QCOMPARE(left.count(), leaveSignal ? 1 : 0);
}

void TstQnLynClientObject::gatewayDropComesBack()
{
    ClientRig rig;
    rig.make(rig.config());
    QVERIFY(connectTo(rig, *m_rx));
    const QString rx = m_rx->identity().userId;
    QCOMPARE(m_rx->requestsOfType(1).size(), 1);
    m_rx->clearRecords();
    QSignalSpy result(rig.client.get(), &QnLynClientObject::startConnectResult);
    QSignalSpy changed(rig.client.get(), &QnLynClientObject::serverConnectChanged);
    QSignalSpy joins(m_rx->server(), &QnGatewayServer::memberJoined);
    QVERIFY(m_rx->server()->dropClient(rig.pcId()));
    // The gateway signs in again; the one re-join follows a drop, so the reconnect request (19)
    // goes out, and on its success the connect request (1) once.
    QTRY_VERIFY_WITH_TIMEOUT(!result.isEmpty(), 15000);
    QCOMPARE(result.first().at(0).toBool(), true);
    QTest::qWait(500); // nothing more may follow
    int pcJoins = 0;
    for (const QList<QVariant> &j : qAsConst(joins))
        pcJoins += j.at(1).toString() == rig.pcId() ? 1 : 0;
    QCOMPARE(pcJoins, 1);
    QCOMPARE(m_rx->requestsOfType(19).size(), 1);
    QCOMPARE(m_rx->requestsOfType(1).size(), 1);
    QList<int> order;
    for (const QnSimControl::Received &r : m_rx->received())
        if (r.channel == 5)
            order << r.type;
    QCOMPARE(order, (QList<int>{19, 1}));
    QCOMPARE(result.count(), 1);
    // The connection came back without being reported lost.
    for (const QVariantList &c : qAsConst(changed))
        QCOMPARE(c.at(0).toBool(), true);
    QCOMPARE(rig.input->connectedReceiver(), rx);
}

void TstQnLynClientObject::gatewayDropReconnectRefused()
{
    ClientRig rig;
    rig.make(rig.config());
    QVERIFY(connectTo(rig, *m_rx));
    QnSimReply refuse;
    refuse.mode = QnSimReply::Mode::Error;
    m_rx->setReply(19, refuse);
    m_rx->clearRecords();
    QSignalSpy changed(rig.client.get(), &QnLynClientObject::serverConnectChanged);
    QVERIFY(m_rx->server()->dropClient(rig.pcId()));
    // The receiver refuses the reconnect: the connection ends, reported once, with no connect request.
    QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 15000);
    QCOMPARE(changed.first(), (QVariantList{false, m_rx->identity().userId}));
    QTest::qWait(500);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(m_rx->requestsOfType(19).size(), 1);
    QCOMPARE(m_rx->requestsOfType(1).size(), 0);
    QCOMPARE(rig.input->connectedReceiver(), QString());
}

void TstQnLynClientObject::gatewayGivesUp()
{
    ClientRig rig;
    rig.make(rig.config());
    QVERIFY(connectTo(rig, *m_rx));
    QSignalSpy failed(rig.client.get(), &QnLynClientObject::reconnectFailed);
    QSignalSpy changed(rig.client.get(), &QnLynClientObject::serverConnectChanged);
    m_rx->server()->refuseNextLogins(100);
    QVERIFY(m_rx->server()->dropClient(rig.pcId()));
    QVERIFY(failed.wait(15000));
    QCOMPARE(failed.count(), 1);
    // One loss, reported once, however many re-logins were refused.
    QTest::qWait(500);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first(), (QVariantList{false, m_rx->identity().userId}));
    QVERIFY(!m_rx->server()->roomMembers(m_rx->identity().roomId).contains(rig.pcId()));
    QCOMPARE(rig.input->connectedReceiver(), QString());
}

void TstQnLynClientObject::portSequenceIncludesFailedStarts()
{
    // Runs: mirroring refused, mirroring unanswered is not waited for; desktop refused, mirroring
    // accepted, desktop accepted then its start refused. Every run takes the next block of four.
    const int base = MediaTestUtil::freePortBlock(32);
    const int remote = MediaTestUtil::freePortBlock(4);
    QUdpSocket sink;
    QVERIFY(sink.bind(QHostAddress::LocalHost, quint16(remote)));
    ClientRig rig;
    rig.make(rig.config(base));
    QVERIFY(connectTo(rig, *m_rx));
    QnLynClientObject *c = rig.client.get();
    QSignalSpy lynResult(c, &QnLynClientObject::startLynSenderResult);
    QSignalSpy deskResult(c, &QnLynClientObject::startDesktopRequestResult);
    QSignalSpy removed(c, &QnLynClientObject::removeDesktop);
    QSignalSpy added(c, &QnLynClientObject::addDesktop);
    const QString rx = m_rx->identity().userId;

    QnSimReply refuse;
    refuse.mode = QnSimReply::Mode::Error;
    m_rx->setReply(4, refuse);
    c->startLynSender(rx, "u", 0, false);
    QVERIFY(lynResult.wait(5000));
    QCOMPARE(lynResult.takeFirst(), (QVariantList{false, rx}));
    QVERIFY(!c->isLynSending());

    m_rx->setReply(15, refuse);
    c->startDesktop(rx, "u");
    QVERIFY(deskResult.wait(5000));
    QCOMPARE(deskResult.takeFirst(), (QVariantList{false, rx, QString(), 0, 0, -1, -1}));
    QCOMPARE(added.count(), 0);

    QnSimReply accept;
    accept.port = remote;
    m_rx->setReply(4, accept);
    c->startLynSender(rx, "u", 0, false);
    QVERIFY(lynResult.wait(10000));
    QCOMPARE(lynResult.takeFirst(), (QVariantList{true, rx}));
    QVERIFY(c->isLynSending());
    QVERIFY(c->getLynManager()->isCapturing());
    QTRY_VERIFY_WITH_TIMEOUT(sink.hasPendingDatagrams(), 10000);
    QCOMPARE(int(sink.receiveDatagram().senderPort()), base + 8);
    c->stopLynSender(rx, "u");
    QVERIFY(!c->getLynManager()->isCapturing());
    QVERIFY(!c->isLynSending());

    QnSimReply deskAccept;
    deskAccept.port = MediaTestUtil::freePortBlock(4);
    m_rx->setReply(15, deskAccept);
    m_rx->setReply(6, refuse);
    c->startDesktop(rx, "u");
    QVERIFY(added.wait(5000));
    QCOMPARE(added.first().at(0).toString(), rx);
    QCOMPARE(c->getVideoModel()->rowCount(), 1);
    QVERIFY(removed.wait(5000)); // the start (6) was refused: the run ends
    QVERIFY(!c->isDesktopSending());
    QCOMPARE(c->getVideoModel()->rowCount(), 0);
    QVERIFY(c->getLynManager()->serverIds().isEmpty());

    QList<int> asked;
    for (const auto &r : m_rx->received())
        if (r.channel == 5 && (r.type == 4 || r.type == 15))
            asked << r.data.value("lynPort").toInt();
    QCOMPARE(asked, (QList<int>{base, base + 4, base + 8, base + 12}));
    QCOMPARE(m_rx->requestsOfType(6).first().data.value("lynPort").toInt(), base + 12);
    QCOMPARE(c->nextMediaPort(), base + 16);
}

void TstQnLynClientObject::overlappingStartsStartOnce()
{
    const int base = MediaTestUtil::freePortBlock(8);
    const int remote = MediaTestUtil::freePortBlock(4);
    QUdpSocket sink;
    QVERIFY(sink.bind(QHostAddress::LocalHost, quint16(remote)));
    ClientRig rig;
    rig.make(rig.config(base));
    QVERIFY(connectTo(rig, *m_rx));
    QnLynClientObject *c = rig.client.get();
    const QString rx = m_rx->identity().userId;
    QnSimReply slow;
    slow.port = remote;
    slow.delayMs = 300;
    m_rx->setReply(4, slow);
    QSignalSpy lynResult(c, &QnLynClientObject::startLynSenderResult);
    c->startLynSender(rx, "u", 0, true);  // superseded by the next
    c->startLynSender(rx, "u", 0, false); // this one starts, at 1280x720, from base + 4
    QVERIFY(lynResult.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(m_rx->requestsOfType(4).size(), 2, 5000);
    QTest::qWait(800); // both answers are in: the first one must not have started anything
    QCOMPARE(lynResult.count(), 1);
    QCOMPARE(lynResult.first(), (QVariantList{true, rx}));
    QTRY_VERIFY_WITH_TIMEOUT(sink.hasPendingDatagrams(), 10000);
    QCOMPARE(int(sink.receiveDatagram().senderPort()), base + 4);
    c->stopLynSender(rx, "u");

    // A stop while a start is on its way: the late answer starts nothing.
    QSignalSpy lynResult2(c, &QnLynClientObject::startLynSenderResult);
    c->startLynSender(rx, "u", 0, false);
    c->stopLynSender(rx, "u");
    QTRY_COMPARE_WITH_TIMEOUT(m_rx->requestsOfType(4).size(), 3, 5000);
    QTest::qWait(800);
    QCOMPARE(lynResult2.count(), 0);
    QVERIFY(!c->getLynManager()->isCapturing());
}

static x264_t *refuseEncoderOpen(x264_param_t *)
{
    return nullptr;
}

void TstQnLynClientObject::encoderOpenFailureIsAFailedStart()
{
    const int remote = MediaTestUtil::freePortBlock(4);
    QUdpSocket sink;
    QVERIFY(sink.bind(QHostAddress::LocalHost, quint16(remote)));
    ClientRig rig;
    rig.make(rig.config(MediaTestUtil::freePortBlock(8)));
    QVERIFY(connectTo(rig, *m_rx));
    QnLynClientObject *c = rig.client.get();
    const QString rx = m_rx->identity().userId;
    QnSimReply accept;
    accept.port = remote;
    m_rx->setReply(4, accept);
    QSignalSpy lynResult(c, &QnLynClientObject::startLynSenderResult);
    H264Encoder::instance().setOpenFunction(refuseEncoderOpen);
    c->startLynSender(rx, "u", 0, false);
    const bool answered = lynResult.wait(10000);
    H264Encoder::instance().setOpenFunction(nullptr);
    QVERIFY(answered);
    QCOMPARE(lynResult.first(), (QVariantList{false, rx}));
    QVERIFY(!c->isLynSending());
    QVERIFY(!c->getLynManager()->isCapturing());
    // The receiver, which had accepted, is told to stop; no media reaches it.
    QTRY_COMPARE_WITH_TIMEOUT(m_rx->requestsOfType(5).size(), 1, 5000);
    QTest::qWait(300);
    QVERIFY(!sink.hasPendingDatagrams());
}

void TstQnLynClientObject::screenOutsideListSendsZeroSize()
{
    ClientRig rig;
    QnLynClientConfig cfg = rig.config();
    cfg.screenSizes = [] { return QList<QSize>{QSize(1920, 1080), QSize(2560, 1440)}; };
    rig.make(cfg);
    QVERIFY(connectTo(rig, *m_rx));
    QnSimReply refuse;
    refuse.mode = QnSimReply::Mode::Error;
    m_rx->setReply(4, refuse);
    QSignalSpy lynResult(rig.client.get(), &QnLynClientObject::startLynSenderResult);
    rig.client->startLynSender(m_rx->identity().userId, "u", 3, true);
    QVERIFY(lynResult.wait(5000));
    rig.client->startLynSender(m_rx->identity().userId, "u", 1, true);
    QVERIFY(lynResult.wait(5000));
    const auto requests = m_rx->requestsOfType(4);
    QCOMPARE(requests.size(), 2);
    QCOMPARE(requests.at(0).data.value("width").toInt(), 0);
    QCOMPARE(requests.at(0).data.value("height").toInt(), 0);
    QCOMPARE(requests.at(1).data.value("width").toInt(), 2560);
    QCOMPARE(requests.at(1).data.value("height").toInt(), 1440);
}

void TstQnLynClientObject::desktopFailures()
{
    ClientRig rig;
    rig.make(rig.config(MediaTestUtil::freePortBlock(8)));
    QVERIFY(connectTo(rig, *m_rx));
    QnLynClientObject *c = rig.client.get();
    const QString rx = m_rx->identity().userId;
    QSignalSpy removed(c, &QnLynClientObject::removeDesktop);
    QSignalSpy added(c, &QnLynClientObject::addDesktop);
    QnSimReply accept;
    accept.port = MediaTestUtil::freePortBlock(4);
    m_rx->setReply(15, accept);
    c->startDesktop(rx, "u");
    QVERIFY(added.wait(5000));
    QVERIFY(c->isDesktopSending());
    c->closeItem("someone else"); // not the receiver: nothing changes
    QVERIFY(c->isDesktopSending());
    c->closeItem(rx);
    QCOMPARE(removed.count(), 1);
    QVERIFY(!c->isDesktopSending());
    QTRY_COMPARE_WITH_TIMEOUT(m_rx->requestsOfType(7).size(), 1, 5000);
    QVERIFY(c->getLynManager()->serverIds().isEmpty());
}

void TstQnLynClientObject::stopChannel()
{
    const int remote = MediaTestUtil::freePortBlock(4);
    ClientRig rig;
    rig.make(rig.config(MediaTestUtil::freePortBlock(8)));
    QVERIFY(connectTo(rig, *m_rx));
    QnLynClientObject *c = rig.client.get();
    const QString rx = m_rx->identity().userId;
    QnSimReply accept;
    accept.port = remote;
    m_rx->setReply(4, accept);
    QSignalSpy lynResult(c, &QnLynClientObject::startLynSenderResult);
    c->startLynSender(rx, "u", 0, false);
    QVERIFY(lynResult.wait(10000));
    QVERIFY(c->isLynSending());

    QnSimGatewayMember other;
    QSignalSpy joined(&other, &QnSimGatewayMember::joined);
    QVERIFY(other.start("127.0.0.1", m_rx->server()->port(), "intruder", "x", m_rx->identity().roomId));
    QVERIFY(joined.wait(5000));
    QCOMPARE(other.send(rig.pcId(), 4, "{}"), 0);
    QSignalSpy marker(m_rx, &QnSimControl::answerReceived);
    m_rx->sendRequest(rig.pcId(), 3, QJsonObject());
    QVERIFY(marker.wait(5000));
    QVERIFY(c->isLynSending()); // a stop from another member changes nothing

    m_rx->sendRaw(rig.pcId(), 4, "{}");
    QTRY_VERIFY_WITH_TIMEOUT(!c->isLynSending(), 5000);
    QVERIFY(!c->getLynManager()->isCapturing());
    QTRY_COMPARE_WITH_TIMEOUT(m_rx->requestsOfType(5).size(), 1, 5000);
}

void TstQnLynClientObject::reverseInputOnlyFromConnectedReceiver()
{
    ClientRig rig;
    rig.make(rig.config());
    rig.input->setScreenWidth(1000);
    rig.input->setScreenHeight(500);
    QnSimGatewayMember other;
    QSignalSpy joined(&other, &QnSimGatewayMember::joined);
    QVERIFY(connectTo(rig, *m_rx));
    QVERIFY(other.start("127.0.0.1", m_rx->server()->port(), "intruder", "x", m_rx->identity().roomId));
    QVERIFY(joined.wait(5000));
    auto move = [](int x, int y) {
        return QJsonDocument(
                   QJsonObject{{"type", 2},
                               {"data", QJsonObject{{"x", x}, {"y", y}, {"width", 1000}, {"height", 500}}},
                               {"id", "pc"}})
            .toJson(QJsonDocument::Compact);
    };
    QCOMPARE(other.send(rig.pcId(), 1, move(7, 7)), 0);
    m_rx->sendRaw(rig.pcId(), 1, move(10, 20));
    QTRY_VERIFY_WITH_TIMEOUT(!rig.injector->log().isEmpty(), 5000);
    QTest::qWait(200);
    QCOMPARE(rig.injector->log(), QStringList{"move 10,20"});

    // After the connection ends the receiver drives nothing either.
    QSignalSpy changed(rig.client.get(), &QnLynClientObject::serverConnectChanged);
    QnSimReply refused;
    refused.mode = QnSimReply::Mode::Error;
    m_rx->setReply(QnLynControl::RequestReconnect, refused);
    rig.client->getLynHttp()->sendReconnect(m_rx->identity().userId);
    QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty(), 5000);
    rig.injector->takeLog();
    m_rx->sendRaw(rig.pcId(), 1, move(30, 30));
    QTest::qWait(300);
    QCOMPARE(rig.injector->log(), QStringList());
}

void TstQnLynClientObject::codeHost_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("ownIp");
    QTest::addColumn<QString>("host");
    QTest::newRow("300450") << "300450"
                            << "192.168.1.23"
                            << "192.168.1.105";
    QTest::newRow("padded 123000") << "123000"
                                   << "192.168.1.23"
                                   << "192.168.1.10";
    QTest::newRow("999999 out of range, unchanged") << "999999"
                                                    << "10.0.0.5"
                                                    << "10.0.0.333";
    QTest::newRow("000002") << "000002"
                            << "10.0.0.5"
                            << "10.0.0.0";
    QTest::newRow("not a number") << "abcdef"
                                  << "10.0.0.5"
                                  << "10.0.0.0";
    QTest::newRow("negative") << "-300450"
                              << "10.0.0.5"
                              << "";
    QTest::newRow("no own address") << "300450"
                                    << ""
                                    << "";
    QTest::newRow("own address too short") << "300450"
                                           << "10.0.5"
                                           << "";
    QTest::newRow("own address not IPv4") << "300450"
                                          << "fe80::1"
                                          << "";
}

void TstQnLynClientObject::codeHost()
{
    QFETCH(QString, code);
    QFETCH(QString, ownIp);
    QFETCH(QString, host);
    QCOMPARE(QnLynClientObject::codeHost(code, ownIp), host);
}

void TstQnLynClientObject::codeLookup_data()
{
    QTest::addColumn<QString>("ownIp");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<bool>("found");
    // "000030" / 3 = 10 -> "000010" -> "001": host .1 of the own /24.
    QTest::newRow("answer becomes a receiver") << "127.0.0.23"
                                               << "ok" << true << true;
    QTest::newRow("no own address: nothing sent") << ""
                                                  << "ok" << false << false;
    QTest::newRow("answer not JSON") << "127.0.0.23"
                                     << "junk" << true << false;
    QTest::newRow("wrong connect value: empty answer") << "127.0.0.23"
                                                       << "value" << true << false;
    QTest::newRow("nobody at that address") << "127.0.0.23"
                                            << "closed" << false << false;
}

void TstQnLynClientObject::codeLookup()
{
    QFETCH(QString, ownIp);
    QFETCH(QString, mode);
    QFETCH(bool, sent);
    QFETCH(bool, found);
    QnSimHttp http;
    QVERIFY(http.listen(0));
    QJsonObject record{{"ip", "127.0.0.1"}, {"url", ":1989/file"}, {"id", "rx-code"},   {"name", "Room 9"},
                       {"code", "000030"},  {"port", 8848},        {"roomId", "room-9"}};
    http.setReceiverRecord(record);
    if (mode == "value")
        http.setConnectValue("0000");
    if (mode == "junk")
        http.server()->setRoute("POST", "/codeinfo", QnHttpResponse::raw(200, "<html>"));
    ClientRig rig;
    rig.ownIp = ownIp.toStdString();
    QnLynClientConfig cfg = rig.config();
    cfg.codePort = http.port();
    if (mode == "closed")
        cfg.codePort = quint16(MediaTestUtil::freePortBlock(1)); // no TCP listener there either
    rig.make(cfg);
    QSignalSpy info(rig.client.get(), &QnLynClientObject::getConnectInfo);
    rig.client->connectServer("000030");
    QVERIFY(info.wait(10000) || info.count() == 1);
    QCOMPARE(info.count(), 1);
    const QJsonObject got = info.first().at(0).toJsonObject();
    QCOMPARE(http.server()->requests().size(), sent ? 1 : 0);
    if (sent) {
        const QnHttpRecordedRequest r = http.server()->requests().first();
        QCOMPARE(r.method, QByteArray("POST"));
        QCOMPARE(r.path, QStringLiteral("/codeinfo"));
        QCOMPARE(r.header("content-type"),
                 QByteArray("multipart/form-data; boundary=--------GI3Ef1ei4KM7KM7ae0ei4ei4ei4ae0"));
        QCOMPARE(r.body, QByteArray(R"({"connect":"7430"})"));
    }
    const auto items = rig.client->getLynSocket()->getItems();
    if (found) {
        QCOMPARE(got, record);
        QVERIFY(items.contains("rx-code"));
        QCOMPARE(items.value("rx-code").roomId, QStringLiteral("room-9"));
    } else {
        QCOMPARE(got, QJsonObject());
        QVERIFY(items.isEmpty());
    }
}

void TstQnLynClientObject::ipv4Text_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ipv4");
    QTest::newRow("address") << "10.0.0.5" << true;
    QTest::newRow("limits") << "0.0.0.0" << true;
    QTest::newRow("255") << "255.255.255.255" << true;
    QTest::newRow("octet 256") << "10.0.0.256" << false;
    QTest::newRow("three parts") << "10.0.5" << false;
    QTest::newRow("five parts") << "10.0.0.5.1" << false;
    QTest::newRow("empty part") << "10..0.5" << false;
    QTest::newRow("hex") << "0x7f.0.0.1" << false;
    QTest::newRow("space") << " 10.0.0.5" << false;
    QTest::newRow("IPv6") << "::1" << false;
    QTest::newRow("host name") << "receiver.local" << false;
    QTest::newRow("four digits") << "0010.0.0.5" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("huge") << QString(100000, '1') << false;
}

void TstQnLynClientObject::ipv4Text()
{
    QFETCH(QString, text);
    QFETCH(bool, ipv4);
    QCOMPARE(QnLynClientObject::isIpv4Text(text), ipv4);
}

QTEST_MAIN(TstQnLynClientObject)
#include "tst_qnlynclientobject.moc"
