// The UDP transport on loopback: binding, datagram checks, peer learning and RTCP routing.
#include "platform/rtp/QnTransportDefault.h"

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class Recorder : public QnRtpRtcp
{
public:
    void setStreamId(uint32_t) override {}
    void setPayloadType(uint8_t) override {}
    QnRtpStats stats() const override { return {}; }
    void setTransport(QnRtpTransport *, QnRtpTransport *, QnRtpFrameCb *) override {}
    void stop() override {}
    int sendData(const uint8_t *, int, uint64_t) override { return 0; }
    int incomingPacket(const uint8_t *data, int length) override
    {
        packets.append(QByteArray(reinterpret_cast<const char *>(data), length));
        return 0;
    }
    QList<QByteArray> packets;
};

// A plain UDP socket standing in for the peer.
class Peer
{
public:
    explicit Peer(const char *ip = "127.0.0.1")
    {
        fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, ip, &a.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
        socklen_t size = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size);
        port = ntohs(a.sin_port);
    }
    ~Peer() { ::close(fd); }
    void sendTo(int toPort, const QByteArray &data) const
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(uint16_t(toPort));
        ::sendto(fd, data.constData(), size_t(data.size()), 0, reinterpret_cast<sockaddr *>(&a), sizeof a);
    }
    QByteArray receive(int timeoutMs = 2000) const
    {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return QByteArray();
        char buffer[2048];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        return n > 0 ? QByteArray(buffer, int(n)) : QByteArray();
    }
    int fd = -1;
    int port = 0;
};

// Lets the transport drain once its socket has something (or a short time has passed).
void pump(QnTransportDefault &transport)
{
    pollfd p{transport.fd(), POLLIN, 0};
    ::poll(&p, 1, 20);
    transport.onReceive();
}

QByteArray rtp(uint32_t ssrc, int payload = 4)
{
    QByteArray d("\x80\x7f\x00\x01\x00\x00\x00\x02", 8);
    d += char(ssrc >> 24);
    d += char(ssrc >> 16);
    d += char(ssrc >> 8);
    d += char(ssrc);
    return d + QByteArray(payload, 'p');
}

QByteArray rtcp(uint32_t ssrc)
{
    QByteArray d("\x80\xc9\x00\x01", 4);
    d += char(ssrc >> 24);
    d += char(ssrc >> 16);
    d += char(ssrc >> 8);
    d += char(ssrc);
    return d;
}

} // namespace

class TstRtpTransport : public QObject
{
    Q_OBJECT

private slots:
    void bindConflictIsAnError();
    void invalidAddressesAreErrors();
    void datagramChecks_data();
    void datagramChecks();
    void learnsPeerPortOnlyFromConfiguredAddress();
    void rtcpRouting();
};

void TstRtpTransport::bindConflictIsAnError()
{
    Recorder receiver;
    QnTransportDefault first;
    QCOMPARE(first.Init(nullptr, &receiver, 0, "127.0.0.1", 9, true), 0);
    const int port = first.localPort();
    QVERIFY(port > 0);
    QnTransportDefault second;
    QCOMPARE(second.Init(nullptr, &receiver, port, "127.0.0.1", 9, true), -1);
    QCOMPARE(second.fd(), -1);
    QCOMPARE(second.sendPacket(reinterpret_cast<const uint8_t *>("x"), 1), -1);
    QCOMPARE(second.onReceive(), 0);
    QCOMPARE(second.close(), 0);
}

void TstRtpTransport::invalidAddressesAreErrors()
{
    QnTransportDefault transport;
    QCOMPARE(transport.Init(nullptr, nullptr, 0, "not-an-address", 9, true), -1);
    transport.setLocalIp("10.255.255.1"); // not an address of this host
    QCOMPARE(transport.Init(nullptr, nullptr, 0, "127.0.0.1", 9, true), -1);
    QCOMPARE(transport.fd(), -1);
}

void TstRtpTransport::datagramChecks_data()
{
    QTest::addColumn<bool>("isRtp");
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("routed");
    QTest::newRow("RTP header only") << true << rtp(1, 0) << true;
    QTest::newRow("RTP 11 bytes") << true << rtp(1, 0).left(11) << false;
    QTest::newRow("RTP version 1") << true << (QByteArray("\x40", 1) + rtp(1).mid(1)) << false;
    QTest::newRow("RTP 1 byte") << true << QByteArray("\x80", 1) << false;
    QTest::newRow("RTP truncated by the buffer") << true << rtp(1, 1600) << false;
    QTest::newRow("RTP largest") << true << rtp(1, QnTransportDefault::kBufferSize - 12) << true;
    QTest::newRow("RTCP header") << false << rtcp(1) << true;
    QTest::newRow("RTCP 7 bytes") << false << rtcp(1).left(7) << false;
    QTest::newRow("RTCP version 0") << false << (QByteArray("\x00", 1) + rtcp(1).mid(1)) << false;
}

void TstRtpTransport::datagramChecks()
{
    QFETCH(bool, isRtp);
    QFETCH(QByteArray, datagram);
    QFETCH(bool, routed);
    Recorder sender, receiver;
    QnTransportDefault transport;
    Peer peer;
    QCOMPARE(transport.Init(&sender, &receiver, 0, "127.0.0.1", peer.port, isRtp), 0);
    peer.sendTo(transport.localPort(), datagram);
    // A valid marker datagram after it proves the first one was read (and dropped or routed).
    peer.sendTo(transport.localPort(), isRtp ? rtp(7) : rtcp(7));
    QTRY_COMPARE_WITH_TIMEOUT((pump(transport), sender.packets.size() + receiver.packets.size()),
                              routed ? 2 : 1, 5000);
    const QList<QByteArray> &got = isRtp ? receiver.packets : sender.packets;
    if (routed)
        QCOMPARE(got.first(), datagram);
    QCOMPARE(got.last(), isRtp ? rtp(7) : rtcp(7));
}

void TstRtpTransport::learnsPeerPortOnlyFromConfiguredAddress()
{
    Recorder receiver;
    QnTransportDefault transport;
    Peer configured;
    QCOMPARE(transport.Init(nullptr, &receiver, 0, "127.0.0.1", configured.port, true), 0);
    QCOMPARE(QString::fromStdString(transport.remote()), QStringLiteral("127.0.0.1:%1").arg(configured.port));

    // Another host (127.0.0.2 is a different source address on loopback) cannot redirect us.
    Peer stranger("127.0.0.2");
    stranger.sendTo(transport.localPort(), rtp(5));
    // Garbage from the peer's own address does not move the port either.
    Peer moved;
    moved.sendTo(transport.localPort(), QByteArray("junk"));
    configured.sendTo(transport.localPort(), rtp(6));
    QTRY_COMPARE_WITH_TIMEOUT((pump(transport), receiver.packets.size()), 1, 5000);
    QCOMPARE(receiver.packets.first(), rtp(6));
    QCOMPARE(QString::fromStdString(transport.remote()), QStringLiteral("127.0.0.1:%1").arg(configured.port));

    // A valid datagram from a new port of the configured address: replies follow it.
    moved.sendTo(transport.localPort(), rtp(6));
    QTRY_COMPARE_WITH_TIMEOUT((pump(transport), receiver.packets.size()), 2, 5000);
    QCOMPARE(QString::fromStdString(transport.remote()), QStringLiteral("127.0.0.1:%1").arg(moved.port));
    const QByteArray reply = rtp(9);
    QCOMPARE(transport.sendPacket(reinterpret_cast<const uint8_t *>(reply.constData()), reply.size()),
             reply.size());
    QCOMPARE(moved.receive(), reply);
    QCOMPARE(transport.ssrc(), 6u);
}

void TstRtpTransport::rtcpRouting()
{
    Recorder sender, receiver;
    QnTransportDefault transport;
    Peer peer;
    QCOMPARE(transport.Init(&sender, &receiver, 0, "127.0.0.1", peer.port, false), 0);
    // Before the first frame links an SSRC, all RTCP goes to the sender object.
    peer.sendTo(transport.localPort(), rtcp(0));
    peer.sendTo(transport.localPort(), rtcp(0x1234));
    QTRY_COMPARE_WITH_TIMEOUT((pump(transport), sender.packets.size()), 2, 5000);
    transport.setRemoteSsrc(0x1234);
    peer.sendTo(transport.localPort(), rtcp(0x1234));
    peer.sendTo(transport.localPort(), rtcp(0x9999));
    QTRY_COMPARE_WITH_TIMEOUT((pump(transport), sender.packets.size() + receiver.packets.size()), 4, 5000);
    QCOMPARE(receiver.packets, QList<QByteArray>{rtcp(0x1234)});
    QCOMPARE(sender.packets.last(), rtcp(0x9999));
}

QTEST_APPLESS_MAIN(TstRtpTransport)
#include "tst_rtptransport.moc"
