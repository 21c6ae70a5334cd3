#include "common/udp/CUdpSocket.h"
#include "common/udp/QnDatagramFrame.h"

#include "tests/fixtures/netns/QnNetnsTestMain.h"
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QtTest>

#include <unistd.h>

Q_DECLARE_METATYPE(QnDatagramFrame::Status)
Q_DECLARE_METATYPE(CUdpSocket::Interface)

namespace {
/// Collects revData (QHostAddress has no meta-type, so no QSignalSpy).
struct Received
{
    QList<QByteArray> payloads;
    QList<QHostAddress> senders;
    void attach(CUdpSocket &s)
    {
        QObject::connect(&s, &CUdpSocket::revData, [this](const QByteArray &p, const QHostAddress &a) {
            payloads << p;
            senders << a;
        });
    }
};

QByteArray be32(qint32 v)
{
    const quint32 u = static_cast<quint32>(v);
    return QByteArray{} + char(u >> 24) + char(u >> 16) + char(u >> 8) + char(u);
}
} // namespace

// Framing and broadcast choice as pure functions; the socket itself in a private network namespace.
class TestCUdpSocket : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void parse_data();
    void parse();
    void buildBytes();
    void broadcastTargets_data();
    void broadcastTargets();
    void receiveTable_data();
    void receiveTable();
    void mappedSenderIsPlainIpv4();
    void sendBroadcastsOnVeth();
};

void TestCUdpSocket::parse_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QnDatagramFrame::Status>("status");
    QTest::addColumn<QByteArray>("payload");
    using S = QnDatagramFrame::Status;
    QTest::newRow("exact") << be32(3) + "abc" << S::Used << QByteArray("abc");
    QTest::newRow("trailing bytes ignored") << be32(2) + "abcdef" << S::Used << QByteArray("ab");
    QTest::newRow("length larger than the rest") << be32(10) + "abc" << S::Incomplete << QByteArray();
    QTest::newRow("length just one too large") << be32(4) + "abc" << S::Incomplete << QByteArray();
    QTest::newRow("prefix only, length 1") << be32(1) << S::Incomplete << QByteArray();
    QTest::newRow("three bytes") << QByteArray("\0\0\0", 3) << S::Incomplete << QByteArray();
    QTest::newRow("empty") << QByteArray() << S::Incomplete << QByteArray();
    QTest::newRow("length zero") << be32(0) + "abc" << S::Error << QByteArray();
    QTest::newRow("length negative") << be32(-1) + "abc" << S::Error << QByteArray();
    QTest::newRow("length INT_MIN") << be32(INT_MIN) + "abc" << S::Error << QByteArray();
    QTest::newRow("length INT_MAX") << be32(INT_MAX) + "abc" << S::Incomplete << QByteArray();
    QTest::newRow("oversize") << be32(9000) + QByteArray(9000, 'x') << S::Error << QByteArray();
    QTest::newRow("largest accepted")
        << be32(8188) + QByteArray(8188, 'x') << S::Used << QByteArray(8188, 'x');
}

void TestCUdpSocket::parse()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QnDatagramFrame::Status, status);
    QFETCH(QByteArray, payload);
    const QnDatagramFrame::Result r = QnDatagramFrame::parse(datagram);
    QCOMPARE(r.status, status);
    QCOMPARE(r.payload, payload);
    if (status == QnDatagramFrame::Status::Used)
        QCOMPARE(r.used, 4 + payload.size());
}

void TestCUdpSocket::buildBytes()
{
    // A payload of N bytes becomes N + 4 bytes beginning with N, big-endian.
    const QByteArray payload(300, 'j');
    const QByteArray frame = QnDatagramFrame::build(payload);
    QCOMPARE(frame.size(), 304);
    QCOMPARE(frame.left(4), QByteArray("\x00\x00\x01\x2c", 4));
    QCOMPARE(frame.mid(4), payload);
    QCOMPARE(QnDatagramFrame::build("{}"), QByteArray("\x00\x00\x00\x02{}", 6));
}

namespace {
QNetworkAddressEntry entry(const QString &ip, const QString &broadcast)
{
    QNetworkAddressEntry e;
    e.setIp(QHostAddress(ip));
    if (!broadcast.isEmpty())
        e.setBroadcast(QHostAddress(broadcast));
    return e;
}
} // namespace

void TestCUdpSocket::broadcastTargets_data()
{
    QTest::addColumn<QList<CUdpSocket::Interface>>("interfaces");
    QTest::addColumn<QStringList>("targets");
    const auto eth = entry("192.168.1.20", "192.168.1.255");
    QTest::newRow("one up interface")
        << QList<CUdpSocket::Interface>{{"eth0", true, {eth}}} << QStringList{"192.168.1.255"};
    QTest::newRow("down interface skipped")
        << QList<CUdpSocket::Interface>{{"eth0", false, {eth}}} << QStringList{};
    QTest::newRow("VMware and VirtualBox names skipped")
        << QList<CUdpSocket::Interface>{{"VMware Network Adapter VMnet8", true, {eth}},
                                        {"VirtualBox Host-Only Network", true, {eth}}}
        << QStringList{};
    QTest::newRow("lower-case name not skipped")
        << QList<CUdpSocket::Interface>{{"vmware0", true, {eth}}} << QStringList{"192.168.1.255"};
    QTest::newRow("loopback and no broadcast skipped")
        << QList<CUdpSocket::Interface>{{"lo", true, {entry("127.0.0.1", "127.255.255.255")}},
                                        {"wg0", true, {entry("10.8.0.2", "")}}}
        << QStringList{};
    QTest::newRow("IPv6 entry skipped")
        << QList<CUdpSocket::Interface>{{"eth0", true, {entry("fe80::1", "")}}} << QStringList{};
    QTest::newRow("one datagram per IPv4 entry")
        << QList<CUdpSocket::Interface>{{"eth0", true, {eth, entry("10.0.0.2", "10.0.0.255")}}}
        << QStringList{"192.168.1.255", "10.0.0.255"};
}

void TestCUdpSocket::broadcastTargets()
{
    QFETCH(QList<CUdpSocket::Interface>, interfaces);
    QFETCH(QStringList, targets);
    QStringList got;
    for (const QHostAddress &a : CUdpSocket::broadcastTargets(interfaces))
        got << a.toString();
    QCOMPARE(got, targets);
}

void TestCUdpSocket::receiveTable_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QByteArray>("payload"); // empty: dropped with a warning
    QTest::newRow("good") << be32(7) + "{\"a\":1}" << QByteArray("{\"a\":1}");
    QTest::newRow("shorter length takes the head") << be32(2) + "{}{}" << QByteArray("{}");
    QTest::newRow("length larger than the rest") << be32(100) + "{}" << QByteArray();
    QTest::newRow("three bytes") << QByteArray("\0\0\1", 3) << QByteArray();
    QTest::newRow("empty datagram") << QByteArray() << QByteArray();
    QTest::newRow("length zero") << be32(0) + "{}" << QByteArray();
    QTest::newRow("length negative") << be32(-5) + "{}" << QByteArray();
    QTest::newRow("oversize") << be32(20000) + QByteArray(20000, 'x') << QByteArray();
}

void TestCUdpSocket::receiveTable()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QByteArray, payload);
    CUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress(QHostAddress::LocalHost), 0));
    Received got;
    got.attach(socket);
    QUdpSocket peer;
    if (payload.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("dropped"));
    QCOMPARE(peer.writeDatagram(datagram, QHostAddress::LocalHost, socket.localPort()),
             qint64(datagram.size()));
    // A good datagram after it: once that one is reported, the first has been handled.
    const QByteArray marker = be32(8) + "\"marker\"";
    peer.writeDatagram(marker, QHostAddress::LocalHost, socket.localPort());
    QTRY_VERIFY(!got.payloads.isEmpty() && got.payloads.last() == "\"marker\"");
    QCOMPARE(got.payloads.size(), payload.isEmpty() ? 1 : 2);
    if (!payload.isEmpty())
        QCOMPARE(got.payloads.first(), payload);
    QCOMPARE(got.senders.last(), QHostAddress(QHostAddress::LocalHost));
}

void TestCUdpSocket::mappedSenderIsPlainIpv4()
{
    CUdpSocket socket;
    QVERIFY(
        socket.bind(QHostAddress(QHostAddress::Any), 0)); // dual stack: IPv4 senders read as ::ffff:a.b.c.d
    Received got;
    got.attach(socket);
    QUdpSocket peer;
    peer.writeDatagram(be32(2) + "{}", QHostAddress::LocalHost, socket.localPort());
    QTRY_COMPARE(got.senders.size(), 1);
    const QHostAddress from = got.senders.first();
    QCOMPARE(from.protocol(), QAbstractSocket::IPv4Protocol);
    QCOMPARE(from.toString(), QString("127.0.0.1"));
}

void TestCUdpSocket::sendBroadcastsOnVeth()
{
    // Only loopback exists here: nothing can be sent.
    QVERIFY(QnSimNetns::onlyOwnInterfaces());
    CUdpSocket socket;
    QVERIFY(socket.bind(QHostAddress(QHostAddress::AnyIPv4), 0));
    QCOMPARE(socket.sendData("{}", QHostAddress::Broadcast, 40001), 0);

    const QString a = QStringLiteral("qu%1a").arg(::getpid());
    const QString b = QStringLiteral("qu%1b").arg(::getpid());
    QVERIFY(QnSimNetns::run("ip", {"link", "add", a, "type", "veth", "peer", "name", b}));
    auto cleanup = qScopeGuard([&] { QnSimNetns::run("ip", {"link", "del", a}); });
    QVERIFY(QnSimNetns::run("ip", {"addr", "add", "10.99.0.1/24", "brd", "+", "dev", a}));
    QVERIFY(QnSimNetns::run("ip", {"link", "set", a, "up"}));
    QVERIFY(QnSimNetns::run("ip", {"link", "set", b, "up"}));
    QVERIFY(QnSimNetns::onlyOwnInterfaces({a, b}));

    QUdpSocket listener;
    QVERIFY(listener.bind(QHostAddress(QHostAddress::AnyIPv4), 0, QUdpSocket::ShareAddress));
    const QByteArray payload = "{\"getip\":\"7430\"}";
    QTRY_COMPARE(socket.sendData(payload, QHostAddress("10.99.0.2"), listener.localPort()), 1);
    QTRY_VERIFY(listener.hasPendingDatagrams());
    const QNetworkDatagram d = listener.receiveDatagram();
    QCOMPARE(d.data(), be32(payload.size()) + payload);
    QCOMPARE(d.destinationAddress().toString(), QString("10.99.0.255"));
}

int main(int argc, char **argv)
{
    return qnNetnsTestMain<TestCUdpSocket, QCoreApplication>(argc, argv);
}
#include "tst_cudpsocket.moc"
