#include "QnScreenShare/h264/KRH264Decoder.h"
#include "QnScreenShare/h264/OpusCodec.h"
#include "QnScreenShare/sender/QnLynSender.h"
#include "platform/rtp/Rtcp.h"
#include "platform/rtp/RtpH264.h"
#include "platform/rtp/RtpPacket.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/support/QnTestSkip.h"
#include "tests/fixtures/xvfb/XvfbServer.h"

#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <pulse/simple.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <thread>

// Lip sync as a receiver sees it: a white flash drawn on the screen and a tone burst played into
// the sound card at the same instant must come out of the sender with RTP timestamps that the
// sender reports map to NTP times close together. Needs the PulseAudio null sink the test script
// starts (the sender records its monitor); the screen is a private Xvfb.
namespace {

using Clock = std::chrono::steady_clock;

/// Plays silence into the null sink from its own thread, in 5 ms writes with a 20 ms buffer, and
/// switches to a 1 kHz burst on request. The burst is heard when the samples buffered before it
/// have played: burst() returns that instant.
class BurstPlayer
{
public:
    ~BurstPlayer()
    {
        m_running = false;
        if (m_thread.joinable())
            m_thread.join();
        if (m_stream)
            pa_simple_free(m_stream);
    }

    bool open()
    {
        pa_sample_spec format{PA_SAMPLE_S16LE, 48000, 2};
        pa_buffer_attr attr;
        attr.maxlength = uint32_t(-1);
        attr.tlength = uint32_t(pa_usec_to_bytes(20000, &format));
        attr.prebuf = uint32_t(-1);
        attr.minreq = uint32_t(pa_usec_to_bytes(5000, &format));
        attr.fragsize = uint32_t(-1);
        int error = 0;
        m_stream = pa_simple_new(nullptr, "qn-test", PA_STREAM_PLAYBACK, "cast_sink", "burst", &format,
                                 nullptr, &attr, &error);
        if (!m_stream)
            return false;
        m_running = true;
        m_thread = std::thread([this] { run(); });
        return true;
    }

    /// Starts the burst; returns the steady-clock instant its first sample plays.
    Clock::time_point burst()
    {
        m_soundsAt = 0;
        m_burstWanted = true;
        while (m_soundsAt.load() == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        return Clock::time_point(Clock::duration(m_soundsAt.load()));
    }

private:
    void run()
    {
        constexpr int kChunk = 240; // 5 ms
        std::vector<int16_t> pcm(kChunk * 2);
        int burstLeft = 0;
        double phase = 0;
        while (m_running) {
            if (m_burstWanted.exchange(false)) {
                int error = 0;
                const pa_usec_t latency = pa_simple_get_latency(m_stream, &error);
                m_soundsAt = (Clock::now() + std::chrono::microseconds(latency)).time_since_epoch().count();
                burstLeft = 48000 / 5; // 200 ms
            }
            for (int i = 0; i < kChunk; ++i) {
                int16_t v = 0;
                if (burstLeft > 0) {
                    v = int16_t(16000 * std::sin(phase));
                    phase += 2 * M_PI * 1000 / 48000;
                    --burstLeft;
                }
                pcm[size_t(i) * 2] = pcm[size_t(i) * 2 + 1] = v;
            }
            int error = 0;
            if (pa_simple_write(m_stream, pcm.data(), pcm.size() * 2, &error) < 0)
                return;
        }
    }

    pa_simple *m_stream = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_burstWanted{false};
    std::atomic<Clock::rep> m_soundsAt{0};
};

struct Packet
{
    qnrtp::RtpHeader header;
    QByteArray bytes; // owns what header.payload points into
};

/// Collects the datagrams of one port.
struct Port
{
    QUdpSocket socket;
    std::vector<Packet> rtp;
    std::vector<qnrtp::RtcpInfo> reports;

    void drain()
    {
        while (socket.hasPendingDatagrams()) {
            const QByteArray d = socket.receiveDatagram().data();
            const auto *p = reinterpret_cast<const uint8_t *>(d.constData());
            qnrtp::RtcpInfo info;
            if (qnrtp::looksLikeRtcp(p, d.size())) {
                if (qnrtp::parseRtcp(p, d.size(), info) == qnrtp::ParseStatus::Used && info.hasSenderReport)
                    reports.push_back(info);
                continue;
            }
            Packet packet;
            packet.bytes = d;
            const auto *own = reinterpret_cast<const uint8_t *>(packet.bytes.constData());
            if (qnrtp::parseRtp(own, packet.bytes.size(), packet.header) == qnrtp::ParseStatus::Used)
                rtp.push_back(std::move(packet));
        }
    }
};

/// NTP time (seconds) of an RTP timestamp, through the stream's last sender report.
double ntpSeconds(const qnrtp::RtcpInfo &report, uint32_t timestamp, int clock)
{
    const double reportTime = double(report.ntp >> 32) + double(report.ntp & 0xffffffffu) / 4294967296.0;
    return reportTime + double(int32_t(timestamp - report.rtpTimestamp)) / clock;
}

/// Hands every decoded picture's mean centre luma to the test, with the unit being decoded.
class LumaProbe : public RenderCallback
{
public:
    int onStart() override { return 0; }
    int onStop() override { return 0; }
    int onFrame(const uint8_t *y, const uint8_t *, const uint8_t *, int width, int height) override
    {
        long sum = 0, n = 0;
        for (int row = height / 4; row < height * 3 / 4; ++row)
            for (int col = width / 4; col < width * 3 / 4; ++col, ++n)
                sum += y[size_t(row) * size_t(width) + size_t(col)];
        pictures.emplace_back(timestamp, n ? double(sum) / n : 0.0);
        return 0;
    }
    uint32_t timestamp = 0;
    std::vector<std::pair<uint32_t, double>> pictures;
};

} // namespace

class TestAvSync : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void flashAndBurstMapToTheSameTime();
};

void TestAvSync::flashAndBurstMapToTheSameTime()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QN_SKIP_MISSING("no PulseAudio server for the sound card");
    XvfbServer server;
    QVERIFY(server.start(QSize(640, 360)));
    XTestClient x;
    QVERIFY(x.open(server.display()));
    x.movePointer(639, 359);
    x.showPattern(0x000000, {});

    BurstPlayer player;
    QVERIFY(player.open());
    const int remote = MediaTestUtil::freePortBlock();
    const int local = MediaTestUtil::freePortBlock();
    Port ports[4];
    for (int i = 0; i < 4; ++i)
        QVERIFY(ports[i].socket.bind(QHostAddress::LocalHost, quint16(remote + i)));
    auto drain = [&] {
        for (Port &p : ports)
            p.drain();
    };

    QTemporaryDir dir;
    auto *capture = new ScreenCapture(dir.filePath("QnConfig.ini"), nullptr);
    capture->setDisplayName(server.display());
    capture->setScreens({QRect(0, 0, 640, 360)}, 0, 1.0);
    QnLynSender sender(nullptr, nullptr, capture);
    QVERIFY(sender.startSender(0, 640, 360, 30, QStringLiteral("127.0.0.1"), remote, local));
    // Both streams running, the sound card's silence included.
    QTRY_VERIFY_WITH_TIMEOUT((drain(), ports[0].rtp.size() > 30 && ports[2].rtp.size() > 100), 15000);

    // The burst's first sample plays at `at`; the flash is drawn at that instant.
    const Clock::time_point at = player.burst();
    std::this_thread::sleep_until(at);
    x.fillRect(QRect(0, 0, 640, 360), 0xffffff);
    for (int i = 0; i < 20; ++i) {
        QTest::qWait(100);
        drain();
    }
    sender.stopSender();
    QTest::qWait(100);
    drain();
    QVERIFY(!ports[1].reports.empty() && !ports[3].reports.empty());

    // Video: the first decoded picture showing the flash.
    LumaProbe probe;
    KRH264Decoder decoder;
    QCOMPARE(decoder.Init(&probe), 0);
    qnrtp::H264Depacketizer depacketizer([&](const uint8_t *data, int size, uint32_t timestamp, bool) {
        probe.timestamp = timestamp;
        decoder.DecodeFrame(data, size, timestamp, 0);
    });
    for (const Packet &p : ports[0].rtp)
        depacketizer.push(p.header.seq, p.header.timestamp, p.header.marker, p.header.payload,
                          p.header.payloadSize, 0);
    QVERIFY(probe.pictures.size() > 30);
    QVERIFY2(probe.pictures.front().second < 60, qPrintable(QString::number(probe.pictures.front().second)));
    const auto flash = std::find_if(probe.pictures.begin(), probe.pictures.end(),
                                    [](const std::pair<uint32_t, double> &p) { return p.second > 128; });
    QVERIFY(flash != probe.pictures.end());

    // Sound: the first Opus packet carrying the burst.
    OpusCodec opus;
    QVERIFY(opus.createDecoder());
    int16_t pcm[OpusCodec::kMaxDecodeSamples * 2];
    const Packet *burst = nullptr;
    for (const Packet &p : ports[2].rtp) {
        const int samples = opus.decode(p.header.payload, p.header.payloadSize, pcm);
        int peak = 0;
        for (int i = 0; i < samples * 2; ++i)
            peak = std::max(peak, std::abs(int(pcm[i])));
        if (peak > 4000) {
            burst = &p;
            break;
        }
    }
    QVERIFY(burst);

    const double video = ntpSeconds(ports[1].reports.back(), flash->first, 90000);
    const double audio = ntpSeconds(ports[3].reports.back(), burst->header.timestamp, 48000);
    const double differenceMs = (video - audio) * 1000;
    qInfo("flash picture - burst packet, NTP-mapped: %.1f ms", differenceMs);
    QVERIFY2(std::abs(differenceMs) <= 40, qPrintable(QString::number(differenceMs)));
}

QTEST_MAIN(TestAvSync)
#include "tst_avsync.moc"
