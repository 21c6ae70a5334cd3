// QnSignalClient against the gateway server, with a simulated room member as its peer.
#include "QnSignal/client/QnSignalClient.h"
#include "tests/fixtures/gateway/QnGatewayServer.h"
#include "tests/fixtures/receiver_sim/control/QnSimGatewayMember.h"

#include <QtTest>

#include <atomic>

namespace {
const QString kRoom = QStringLiteral("room-1");
const QString kPc = QStringLiteral("0123456789abcdef0123456789abcdef");
} // namespace

class TstQnSignalClient : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void refusedWithoutGateway();
    void signInJoinAndChannels();
    void ownEchoDropped();
    void memberNotices();
    void reconnectFailedOncePerOutage();
    void loginResetsFailureCount();
    void sendFromInsideCallback();

private:
    QnSimGatewayMember *addPeer(const QString &id);
    void signIn();

    QnGatewayServer *m_server = nullptr;
    QnSignalClient *m_client = nullptr;
    QList<QnSimGatewayMember *> m_peers;
};

void TstQnSignalClient::init()
{
    m_server = new QnGatewayServer;
    QVERIFY(m_server->listen());
    m_client = new QnSignalClient;
    m_client->setGatewayConfig(QnGatewayConfig::loopback());
}

void TstQnSignalClient::cleanup()
{
    delete m_client;
    qDeleteAll(m_peers);
    m_peers.clear();
    delete m_server;
}

QnSimGatewayMember *TstQnSignalClient::addPeer(const QString &id)
{
    auto *peer = new QnSimGatewayMember;
    m_peers.append(peer);
    QSignalSpy joined(peer, &QnSimGatewayMember::joined);
    peer->start("127.0.0.1", m_server->port(), id, id, kRoom, QnGatewayConfig::loopback());
    if (!joined.wait(5000))
        qWarning("peer did not join");
    return peer;
}

void TstQnSignalClient::signIn()
{
    QCOMPARE(m_client->initSdk(), 0);
    QCOMPARE(m_client->initSdk(), 0); // once only
    QSignalSpy login(m_client, &QnSignalClient::loginResult);
    QSignalSpy join(m_client, QOverload<bool, QString, bool>::of(&QnSignalClient::joinRoomResult));
    QCOMPARE(m_client->login(kPc, "teacher-pc", "127.0.0.1", m_server->port()), 0);
    QVERIFY(login.wait(5000));
    QCOMPARE(login.first().at(0).toBool(), true);
    QCOMPARE(m_client->joinRoom(kRoom, QString()), 0);
    QVERIFY(join.wait(5000));
    QCOMPARE(join.first().at(0).toBool(), true);
    QCOMPARE(join.first().at(2).toBool(), false);
}

void TstQnSignalClient::refusedWithoutGateway()
{
    QCOMPARE(m_client->login(kPc, "n", "127.0.0.1", 1), -1);
    QCOMPARE(m_client->logout(), -1);
    QCOMPARE(m_client->joinRoom(kRoom), -1);
    QCOMPARE(m_client->leaveRoom(kRoom), -1);
    QCOMPARE(m_client->sendRoomUserMsg("rx", 5, "x"), -1);
    QVERIFY(m_client->initSdk() == 0);
    QVERIFY(m_client->sendRoomUserMsg("rx", 5, "x") < 0); // not signed in
}

void TstQnSignalClient::signInJoinAndChannels()
{
    QnSimGatewayMember *rx = addPeer("rx");
    signIn();
    QSignalSpy routed(m_server, &QnGatewayServer::messageRouted);
    QSignalSpy atPeer(rx, &QnSimGatewayMember::message);
    QCOMPARE(m_client->sendRoomUserMsg("rx", 5, "{\"type\":1}"), 0);
    QVERIFY(atPeer.wait(5000));
    QCOMPARE(routed.first().at(2).toInt(), 1005); // gateway type = channel + 1000
    QCOMPARE(atPeer.first().at(0).toInt(), 5);
    QCOMPARE(atPeer.first().at(1).toByteArray(), QByteArray("{\"type\":1}"));
    QCOMPARE(atPeer.first().at(2).toString(), kPc);
    const QString msgId = atPeer.first().at(3).toString();
    QCOMPARE(msgId.size(), 36);
    QVERIFY(!QUuid::fromString(msgId).isNull());
    QVERIFY(!msgId.startsWith('{'));

    // Incoming type 1002 arrives as channel 2, raised on the gateway thread.
    QThread *raisedOn = nullptr;
    QList<QVariantList> got;
    connect(
        m_client, &QnSignalClient::receiveData, this,
        [&](int type, const QByteArray &data, const QString &sender) {
            raisedOn = QThread::currentThread();
            got.append({type, data, sender});
        },
        Qt::DirectConnection);
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    rx->send(kPc, 2, all);
    QTRY_COMPARE(got.size(), 1);
    QCOMPARE(got.first().at(0).toInt(), 2);
    QCOMPARE(got.first().at(1).toByteArray(), all);
    QCOMPARE(got.first().at(2).toString(), QStringLiteral("rx"));
    QVERIFY(raisedOn && raisedOn != QThread::currentThread());
}

void TstQnSignalClient::ownEchoDropped()
{
    QnSimGatewayMember *rx = addPeer("rx");
    signIn();
    QSignalSpy received(m_client, &QnSignalClient::receiveData);
    QCOMPARE(m_client->sendRoomUserMsg(kPc, 5, "echo"), 0); // to itself: the room echoes it
    rx->send(kPc, 5, "marker");                             // ordered after the echo at the server
    QTRY_COMPARE(received.size(), 1);
    QTest::qWait(200);
    QCOMPARE(received.size(), 1);
    QCOMPARE(received.first().at(1).toByteArray(), QByteArray("marker"));
}

void TstQnSignalClient::memberNotices()
{
    signIn();
    QSignalSpy joined(m_client, &QnSignalClient::userJoinRoom);
    QSignalSpy left(m_client, &QnSignalClient::userLeaveRoom);
    QnSimGatewayMember *a = addPeer("a");
    addPeer("b");
    QTRY_COMPARE(joined.size(), 2);
    a->leaveRoom();
    QTRY_COMPARE(left.size(), 1);
    QCOMPARE(left.at(0).at(0).toString(), QStringLiteral("a"));
    QCOMPARE(left.at(0).at(1).toBool(), false);
    QVERIFY(m_server->dropClient("b"));
    QTRY_COMPARE(left.size(), 2);
    QCOMPARE(left.at(1).at(0).toString(), QStringLiteral("b"));
    QCOMPARE(left.at(1).at(1).toBool(), true);
}

void TstQnSignalClient::reconnectFailedOncePerOutage()
{
    addPeer("rx");
    signIn();
    QSignalSpy login(m_client, &QnSignalClient::loginResult);
    QSignalSpy join(m_client, QOverload<bool, QString, bool>::of(&QnSignalClient::joinRoomResult));
    QSignalSpy failed(m_client, &QnSignalClient::reconnectFailed);

    // Outage 1: three refused re-logins, then success. The gateway does not re-join by itself:
    // the caller's join after the successful re-login is the only one, and its answer carries
    // isDisconnect.
    QSignalSpy joinedAtServer(m_server, &QnGatewayServer::memberJoined);
    m_server->refuseNextLogins(3);
    QVERIFY(m_server->dropClient(kPc));
    QTRY_COMPARE_WITH_TIMEOUT(login.size(), 4, 10000);
    QCOMPARE(login.at(0).at(0).toBool(), false);
    QCOMPARE(login.at(2).at(0).toBool(), false);
    QCOMPARE(login.at(3).at(0).toBool(), true);
    QCOMPARE(failed.size(), 1); // at the second failure, not again at the third
    QTest::qWait(300);
    QCOMPARE(join.size(), 0);
    QCOMPARE(joinedAtServer.size(), 0);
    QCOMPARE(m_client->joinRoom(kRoom), 0);
    QTRY_COMPARE(join.size(), 1);
    QCOMPARE(join.at(0).at(0).toBool(), true);
    QCOMPARE(join.at(0).at(2).toBool(), true);
    QCOMPARE(joinedAtServer.size(), 1);
    // The flag went with that answer: a later join is a plain one.
    QCOMPARE(m_client->joinRoom(kRoom), 0);
    QTRY_COMPARE(join.size(), 2);
    QCOMPARE(join.at(1).at(2).toBool(), false);

    // Outage 2: one refused re-login does not raise it; a success resets the count.
    login.clear();
    join.clear();
    m_server->refuseNextLogins(1);
    QVERIFY(m_server->dropClient(kPc));
    QTRY_COMPARE_WITH_TIMEOUT(login.size(), 2, 10000);
    QCOMPARE(login.at(1).at(0).toBool(), true);
    QCOMPARE(m_client->joinRoom(kRoom), 0);
    QTRY_COMPARE(join.size(), 1);
    QCOMPARE(join.at(0).at(2).toBool(), true);
    QCOMPARE(failed.size(), 1);

    // A join answered after a drop, with no sign-in in between, carries isDisconnect; the outage
    // still ends in reconnectFailed when the re-logins fail.
    join.clear();
    login.clear();
    m_server->setAnswerDelay(1500);
    QCOMPARE(m_client->joinRoom("room-2"), 0);
    QTest::qWait(200);
    m_server->refuseNextLogins(2);
    QVERIFY(m_server->dropClient(kPc));
    QTRY_VERIFY(join.size() >= 1);
    QCOMPARE(join.at(0).at(0).toBool(), false);
    QCOMPARE(join.at(0).at(2).toBool(), true);
    m_server->setAnswerDelay(0);
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!login.isEmpty() && login.last().at(0).toBool(), 15000);
    QCOMPARE(failed.size(), 2);
}

void TstQnSignalClient::loginResetsFailureCount()
{
    signIn();
    QSignalSpy login(m_client, &QnSignalClient::loginResult);
    QSignalSpy failed(m_client, &QnSignalClient::reconnectFailed);
    m_server->refuseNextLogins(1000);
    QVERIFY(m_server->dropClient(kPc));
    QTRY_COMPARE(login.size(), 1); // first failed re-login
    // A fresh sign-in by the caller starts a new count: its failure is not a second re-login failure.
    m_client->login(kPc, "teacher-pc", "127.0.0.1", m_server->port());
    QTRY_VERIFY(login.size() >= 2);
    QTest::qWait(400);
    QCOMPARE(failed.size(), 0);
}

void TstQnSignalClient::sendFromInsideCallback()
{
    QnSimGatewayMember *rx = addPeer("rx");
    signIn();
    // Echo every message back from the gateway thread, inside the callback.
    connect(
        m_client, &QnSignalClient::receiveData, this,
        [this](int type, const QByteArray &data, const QString &sender) {
            m_client->sendRoomUserMsg(sender, type + 1, data);
        },
        Qt::DirectConnection);
    QSignalSpy echoed(rx, &QnSimGatewayMember::message);
    for (int i = 0; i < 100; ++i)
        rx->send(kPc, 5, QByteArray::number(i));
    QTRY_COMPARE_WITH_TIMEOUT(echoed.size(), 100, 10000);
    QCOMPARE(echoed.last().at(0).toInt(), 6);
    QCOMPARE(echoed.last().at(1).toByteArray(), QByteArray("99"));
}

QTEST_GUILESS_MAIN(TstQnSignalClient)
#include "tst_qnsignalclient.moc"
