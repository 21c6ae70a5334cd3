#include "tests/fixtures/pulse/PrivatePulse.h"

#include "platform/pulse/AudioDevice.h"
#include "platform/pulse/LoopbackSource.h"
#include "platform/pulse/PcmOutput.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <mutex>
#include <vector>

using namespace qn::platform;

namespace {

int threadCount()
{
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

std::vector<uint8_t> toneBlock(int rate, int channels, size_t frames, size_t &phase, double freq = 1000.0)
{
    std::vector<uint8_t> out(frames * size_t(channels) * 2);
    auto *s = reinterpret_cast<int16_t *>(out.data());
    for (size_t i = 0; i < frames; ++i, ++phase) {
        const auto v = int16_t(std::lround(0.3 * 32767 * std::sin(2 * M_PI * freq * double(phase) / rate)));
        for (int c = 0; c < channels; ++c)
            s[i * size_t(channels) + size_t(c)] = v;
    }
    return out;
}

// Collects loopback packets on the source's thread.
struct PacketLog
{
    std::mutex lock;
    std::vector<int16_t> samples; // the last second, interleaved
    LoopbackSource::Format format;
    std::atomic<int> packets{0};
    std::atomic<int> lost{0};
    std::atomic<int> restarted{0};

    void attach(LoopbackSource &src)
    {
        src.setPacketCallback([this](const int16_t *d, size_t frames, LoopbackSource::Format f) {
            std::lock_guard<std::mutex> g(lock);
            format = f;
            samples.insert(samples.end(), d, d + frames * size_t(f.channels));
            const size_t keep = size_t(f.rate) * size_t(f.channels);
            if (samples.size() > keep)
                samples.erase(samples.begin(), samples.end() - std::ptrdiff_t(keep));
            ++packets;
        });
        src.setEventCallback([this](LoopbackSource::Event e) {
            if (e == LoopbackSource::Event::Lost)
                ++lost;
            else
                ++restarted;
        });
    }
    bool hasTone()
    {
        std::lock_guard<std::mutex> g(lock);
        if (format.rate == 0 || samples.size() < size_t(format.rate / 100 * format.channels))
            return false;
        const size_t frames = size_t(format.rate / 100);
        const int16_t *last = samples.data() + samples.size() - frames * size_t(format.channels);
        return carriesTone(last, frames, format.channels, format.rate, 1000.0);
    }
};

// Records what an AudioDevice delivers.
struct RecordingTransport : AudioTransport
{
    std::atomic<int> recRate{-1}, recChannels{-1}, playRate{-1}, playChannels{-1};
    std::atomic<int> blocks{0};
    std::atomic<bool> tone{false};
    std::atomic<size_t> lastBlockFrames{0};
    void setRecordingRate(int r) override { recRate = r; }
    void setRecordingChannels(int c) override { recChannels = c; }
    void setPlayoutRate(int r) override { playRate = r; }
    void setPlayoutChannels(int c) override { playChannels = c; }
    int deliverRecorded(const int16_t *d, size_t frames) override
    {
        lastBlockFrames = frames;
        tone = carriesTone(d, frames, recChannels, recRate, 1000.0);
        ++blocks;
        return 0;
    }
    int readPlayout(uint8_t *, size_t) override { return 0; }
};

} // namespace

class TestPulse : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void noServerFailsFastAndLeavesNoThread();
    void deviceEnumerationAndStates();
    void playoutReachesMonitorAndRecording();
    void serverLossIsReportedAndRecovered();

private:
    // Plays 1 kHz through `out` for `ms`, in 10 ms steps, while `until` is false.
    void playTone(PcmOutput &out, int ms, const std::function<bool()> &until = {});
    size_t m_phase = 0;
};

void TestPulse::playTone(PcmOutput &out, int ms, const std::function<bool()> &until)
{
    QElapsedTimer t;
    t.start();
    qint64 written = 0; // ms of sound written
    while (t.elapsed() < ms && !(until && until())) {
        while (written < t.elapsed() + 60) {
            const auto block = toneBlock(48000, 2, 480, m_phase);
            out.write(block.data(), block.size());
            written += 10;
        }
        QTest::qWait(5);
    }
}

void TestPulse::noServerFailsFastAndLeavesNoThread()
{
    const int before = threadCount();
    LoopbackSource::Options opt;
    opt.server = "unix:" + QDir::tempPath().toStdString() + "/qn-no-such-dir/native";
    auto src = createLoopbackSource(opt);
    QElapsedTimer t;
    t.start();
    QCOMPARE(src->start(std::chrono::milliseconds(1000)), -1);
    QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(threadCount(), before);

    auto dev = createAudioDevice(1, opt.server);
    QCOMPARE(dev->init(), -1);
    QVERIFY(!dev->initialized());
    QCOMPARE(dev->initRecording(), -1);
    QCOMPARE(dev->startRecording(), -1);
    QCOMPARE(threadCount(), before);
}

void TestPulse::deviceEnumerationAndStates()
{
    PrivatePulse pa(48000, 2, {"module-remap-source master=cast_sink.monitor source_name=mic"});
    QVERIFY2(pa.start(), qPrintable(pa.log()));
    auto dev = createAudioDevice(1, pa.server());
    RecordingTransport tr;
    QCOMPARE(dev->attachTransport(&tr), 0);
    QCOMPARE(tr.recRate.load(), 0);
    QCOMPARE(tr.playChannels.load(), 0);
    QCOMPARE(dev->init(), 0);
    QVERIFY(dev->initialized());

    QVERIFY(dev->playoutDevices() >= 1);
    QCOMPARE(dev->recordingDevices(), 1); // the monitor is not a recording device
    AudioDevice::DeviceName name;
    QCOMPARE(dev->recordingDeviceName(0, name), 0);
    QCOMPARE(QString::fromStdString(name.id), QString("mic"));
    QCOMPARE(dev->playoutDeviceName(AudioDevice::kDefaultDevice, name), 0);
    QCOMPARE(QString::fromStdString(name.id), QString("cast_sink"));
    QCOMPARE(dev->recordingDeviceName(7, name), -1);
    QVERIFY(name.id.empty());

    QCOMPARE(dev->setRecordingDevice(1), -1);
    QCOMPARE(dev->startRecording(), -1); // not prepared
    QCOMPARE(dev->setStereoRecording(false), 0);
    QVERIFY(!dev->stereoRecording());
    QCOMPARE(dev->setStereoRecording(true), 0);
    bool available = false;
    QCOMPARE(dev->recordingIsAvailable(available), 0);
    QVERIFY(available);
    QVERIFY(!dev->recordingIsInitialized());
    QCOMPARE(dev->setRecordingDevice(0), 0);
    QCOMPARE(dev->initRecording(), 0);
    QCOMPARE(tr.recRate.load(), 48000);
    QCOMPARE(tr.recChannels.load(), 2);
    QCOMPARE(dev->setRecordingDevice(0), -1); // refused while prepared
    const int threads = threadCount();
    QCOMPARE(dev->startRecording(), 0);
    QVERIFY(dev->recording());
    QCOMPARE(dev->startRecording(), 0);
    QCOMPARE(threadCount(), threads);
    QTRY_VERIFY_WITH_TIMEOUT(tr.blocks > 5, 5000);
    QCOMPARE(tr.lastBlockFrames.load(), size_t(480));
    QCOMPARE(dev->stopRecording(), 0);
    QVERIFY(!dev->recording());
    QVERIFY(!dev->recordingIsInitialized());
    QCOMPARE(dev->terminate(), 0);
    QVERIFY(!dev->initialized());
}

void TestPulse::playoutReachesMonitorAndRecording()
{
    PrivatePulse pa(48000, 2, {"module-remap-source master=cast_sink.monitor source_name=mic"});
    QVERIFY2(pa.start(), qPrintable(pa.log()));

    LoopbackSource::Options opt;
    opt.server = pa.server();
    auto src = createLoopbackSource(opt);
    PacketLog log;
    log.attach(*src);
    QCOMPARE(src->start(std::chrono::milliseconds(2000)), 0);
    QCOMPARE(src->format().rate, 48000);
    QCOMPARE(src->format().channels, 2);

    auto mic = createAudioDevice(2, pa.server());
    RecordingTransport tr;
    mic->attachTransport(&tr);
    QCOMPARE(mic->init(), 0);
    QCOMPARE(mic->setRecordingDevice(0), 0);
    QCOMPARE(mic->initRecording(), 0);
    QCOMPARE(mic->startRecording(), 0);

    PcmOutput out(48000, 2, 200, pa.server());
    QVERIFY(out.open());
    QVERIFY(out.isOpen());
    playTone(out, 8000, [&] { return log.hasTone() && tr.tone; });
    QVERIFY(log.hasTone());
    QVERIFY(tr.tone);
    uint16_t delay = 0;
    QCOMPARE(mic->recordingDelayMs(delay), 0);
    out.close();
    mic->terminate();
    src->stop();
}

void TestPulse::serverLossIsReportedAndRecovered()
{
    PrivatePulse pa(48000, 2, {"module-remap-source master=cast_sink.monitor source_name=mic"});
    QVERIFY2(pa.start(), qPrintable(pa.log()));
    LoopbackSource::Options opt;
    opt.server = pa.server();
    opt.retryInterval = std::chrono::milliseconds(100);
    auto src = createLoopbackSource(opt);
    PacketLog log;
    log.attach(*src);
    QCOMPARE(src->start(std::chrono::milliseconds(2000)), 0);
    QTRY_VERIFY_WITH_TIMEOUT(log.packets > 10, 5000);

    auto mic = createAudioDevice(3, pa.server());
    RecordingTransport tr;
    mic->attachTransport(&tr);
    QCOMPARE(mic->init(), 0);
    QCOMPARE(mic->initRecording(), 0);
    QCOMPARE(mic->startRecording(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(tr.blocks > 10, 5000);
    QVERIFY(!mic->recordingError());

    pa.stop();
    QTRY_COMPARE_WITH_TIMEOUT(log.lost.load(), 1, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(mic->recordingError(), 5000);
    QCOMPARE(log.restarted.load(), 0);

    QVERIFY2(pa.start(), qPrintable(pa.log()));
    QTRY_COMPARE_WITH_TIMEOUT(log.restarted.load(), 1, 10000);
    const int packets = log.packets;
    QTRY_VERIFY_WITH_TIMEOUT(log.packets > packets + 10, 5000);
    mic->clearRecordingError();
    const int blocks = tr.blocks;
    QTRY_VERIFY_WITH_TIMEOUT(tr.blocks > blocks + 10, 10000);
    QVERIFY(mic->recording());
    QCOMPARE(log.lost.load(), 1);
    src->stop();
    mic->terminate();
}

QTEST_GUILESS_MAIN(TestPulse)
#include "tst_pulse.moc"
