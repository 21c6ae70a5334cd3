// The sender's audio chain against a real PulseAudio: the test environment's daemon (null sink
// "cast_sink" as default output) and daemons of the test's own for other device formats and for
// the server going away.
#include "tests/fixtures/pulse/PrivatePulse.h"
#include "tests/fixtures/support/QnTestSkip.h"

#include "QnScreenShare/audio/QnAudioCaptrue.h"

#include "platform/pulse/PcmOutput.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <mutex>

namespace {

// Counts the blocks handed to the sender and how many of them carry the 1 kHz tone.
struct BlockLog
{
    std::mutex lock;
    int blocks = 0;
    int toneBlocks = 0;
    int badShape = 0;

    PcmCaptureCallback callback()
    {
        return [this](const uint8_t *pcm, unsigned frames, int channels, int rate) {
            std::lock_guard<std::mutex> g(lock);
            ++blocks;
            if (frames != 480 || channels != 2 || rate != 48000) {
                ++badShape;
                return;
            }
            if (carriesTone(reinterpret_cast<const int16_t *>(pcm), frames, channels, rate, 1000.0))
                ++toneBlocks;
        };
    }
    int tones()
    {
        std::lock_guard<std::mutex> g(lock);
        return toneBlocks;
    }
    void reset()
    {
        std::lock_guard<std::mutex> g(lock);
        blocks = toneBlocks = badShape = 0;
    }
};

} // namespace

class TestAudioLoopback : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void toneFromTheDefaultOutput();
    void otherDeviceFormatAndServerLoss();

private:
    void feedTone(qn::platform::PcmOutput &out, const std::function<bool()> &until, int ms);
    size_t m_phase = 0;
};

void TestAudioLoopback::feedTone(qn::platform::PcmOutput &out, const std::function<bool()> &until, int ms)
{
    QElapsedTimer t;
    t.start();
    qint64 written = 0;
    std::vector<int16_t> block(960);
    while (t.elapsed() < ms && !until()) {
        while (written < t.elapsed() + 60) {
            for (size_t i = 0; i < 480; ++i, ++m_phase) {
                const auto v =
                    int16_t(std::lround(0.3 * 32767 * std::sin(2 * M_PI * 1000.0 * double(m_phase) / 48000)));
                block[2 * i] = block[2 * i + 1] = v;
            }
            out.write(reinterpret_cast<const uint8_t *>(block.data()), block.size() * 2);
            written += 10;
        }
        QTest::qWait(5);
    }
}

void TestAudioLoopback::toneFromTheDefaultOutput()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QN_SKIP_MISSING("needs the test environment's PulseAudio (scripts/lib/test-env.sh)");
    BlockLog log;
    QnAudioCaptrue front; // the process's timer, the platform loopback
    QVERIFY(front.start(false, 0));
    front.setPcmCallback(log.callback());

    // ffmpeg plays a 1 kHz sine into the default output while the capture runs.
    QProcess player;
    player.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    player.start("ffmpeg", {"-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-f", "lavfi", "-i",
                            "sine=frequency=1000:sample_rate=48000", "-t", "30", "-ac", "2", "-f", "pulse",
                            "-device", "cast_sink", "qn-test-tone"});
    QVERIFY(player.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(log.tones() >= 50, 20000);
    player.kill();
    player.waitForFinished(5000);
    front.stop();
    std::lock_guard<std::mutex> g(log.lock);
    QCOMPARE(log.badShape, 0);
    QVERIFY(log.blocks >= log.toneBlocks);
}

void TestAudioLoopback::otherDeviceFormatAndServerLoss()
{
    PrivatePulse pa(44100, 2);
    QVERIFY2(pa.start(), qPrintable(pa.log()));
    qn::platform::LoopbackSource::Options opt;
    opt.server = pa.server();
    opt.retryInterval = std::chrono::milliseconds(100);
    auto loopback = std::make_unique<webrtc::RtcSoundCardCapture>(qn::platform::createLoopbackSource(opt));
    webrtc::RtcSoundCardCapture *lb = loopback.get();
    std::atomic<int> lost{0}, restarted{0};
    lb->setEventCallback([&](qn::platform::LoopbackSource::Event e) {
        (e == qn::platform::LoopbackSource::Event::Lost ? lost : restarted)++;
    });
    TaskTimer timer;
    QnAudioCaptrue front(std::make_unique<AudioCapture>(std::move(loopback), timer), timer);
    BlockLog log;
    QVERIFY(front.start(false, 0));
    front.setPcmCallback(log.callback());
    QCOMPARE(lb->deviceFormat().rate, 0); // decided on the first packet

    {
        qn::platform::PcmOutput out(48000, 2, 200, pa.server());
        QVERIFY(out.open());
        feedTone(
            out, [&] { return log.tones() >= 30; }, 20000);
    }
    QVERIFY(log.tones() >= 30);
    QCOMPARE(lb->deviceFormat().rate, 44100);
    QVERIFY(lb->converting());

    // The server goes away: reported, and the chain picks up again when it is back.
    pa.stop();
    QTRY_COMPARE_WITH_TIMEOUT(lost.load(), 1, 5000);
    QVERIFY2(pa.start(), qPrintable(pa.log()));
    QTRY_COMPARE_WITH_TIMEOUT(restarted.load(), 1, 10000);
    log.reset();
    {
        qn::platform::PcmOutput out(48000, 2, 200, pa.server());
        QVERIFY(out.open());
        feedTone(
            out, [&] { return log.tones() >= 30; }, 20000);
    }
    QVERIFY(log.tones() >= 30);
    front.stop(); // before taking the log's lock: the callback takes it under the timer's
    std::lock_guard<std::mutex> g(log.lock);
    QCOMPARE(log.badShape, 0);
}

QTEST_GUILESS_MAIN(TestAudioLoopback)
#include "tst_audioloopback.moc"
