#include "tests/QnScreenShare/audio/FakeAudioDevice.h"
#include "tests/QnScreenShare/audio/FakeLoopbackSource.h"

#include "tests/fixtures/pulse/PrivatePulse.h"

#include "QnScreenShare/audio/AudioCapture.h"
#include "QnScreenShare/audio/AudioMix.h"
#include "QnScreenShare/audio/AudioResample.h"
#include "QnScreenShare/audio/MicrophoneSink.h"
#include "QnScreenShare/audio/PcmByteFifo.h"
#include "QnScreenShare/audio/QnAudioCaptrue.h"
#include "QnScreenShare/audio/RtcSoundCardCapture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <cmath>

extern "C" {
#include <libavutil/channel_layout.h>
}

using qn::platform::LoopbackSource;
using webrtc::RtcSoundCardCapture;

namespace {

// Interleaved tone on every channel.
std::vector<int16_t> tone(int rate, int channels, size_t frames, size_t &phase, double freq = 1000.0)
{
    std::vector<int16_t> out(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i, ++phase) {
        const auto v = int16_t(std::lround(0.3 * 32767 * std::sin(2 * M_PI * freq * double(phase) / rate)));
        for (int c = 0; c < channels; ++c)
            out[i * size_t(channels) + size_t(c)] = v;
    }
    return out;
}

// Stereo ramp: left carries the running frame number, right its negation (mod 2^15).
std::vector<int16_t> ramp(size_t frames, size_t &next)
{
    std::vector<int16_t> out(frames * 2);
    for (size_t i = 0; i < frames; ++i, ++next) {
        out[2 * i] = int16_t(next % 32000);
        out[2 * i + 1] = int16_t(-int(next % 32000));
    }
    return out;
}

int threadCount()
{
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

struct Loopback
{
    FakeLoopbackSource *fake;
    std::unique_ptr<RtcSoundCardCapture> capture;
};

Loopback makeLoopback(LoopbackSource::Format fmt = {48000, 2})
{
    auto src = std::make_unique<FakeLoopbackSource>();
    src->fmt = fmt;
    Loopback l{src.get(), nullptr};
    l.capture = std::make_unique<RtcSoundCardCapture>(std::move(src));
    return l;
}

} // namespace

using IntList = QList<int>;

class TestAudioChain : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void captureTimesFollowFrames();
    void channelLayouts_data();
    void channelLayouts();
    void resampler_data();
    void resampler();
    void resamplerRefusals();
    void frameAssembly_data();
    void frameAssembly();
    void queueThresholds();
    void resamplerChosenPerRunAndFormat();
    void restartDropsHalfFrame();
    void fifoBoundaries_data();
    void fifoBoundaries();
    void mixerGain_data();
    void mixerGain();
    void microphoneSink();
    void microphoneMixing();
    void audioFront();
    void audioFrontWithFailedCapture();
    void noServerStartFailsFast();
};

void TestAudioChain::channelLayouts_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<quint64>("mask");
    QTest::newRow("0") << 0 << quint64(0);
    QTest::newRow("-1") << -1 << quint64(0);
    QTest::newRow("mono") << 1 << quint64(0x4);
    QTest::newRow("stereo") << 2 << quint64(0x3);
    QTest::newRow("3.0") << 3 << quint64(0x7);
    QTest::newRow("4.0") << 4 << quint64(0x107);
    QTest::newRow("4.1") << 5 << quint64(0x10F);
    QTest::newRow("5.1") << 6 << quint64(0x3F);
    QTest::newRow("6.1") << 7 << quint64(AV_CH_LAYOUT_6POINT1);
    QTest::newRow("7.1") << 8 << quint64(0x63F);
}

void TestAudioChain::channelLayouts()
{
    QFETCH(int, count);
    QFETCH(quint64, mask);
    QCOMPARE(quint64(channelLayoutFor(count)), mask);
    if (mask)
        QCOMPARE(__builtin_popcountll(mask), count);
}

void TestAudioChain::resampler_data()
{
    QTest::addColumn<int>("inChannels");
    QTest::addColumn<int>("inRate");
    QTest::addColumn<int>("inSamples");
    QTest::newRow("48000 stereo, 480") << 2 << 48000 << 480;
    QTest::newRow("44100 stereo, 441") << 2 << 44100 << 441;
    QTest::newRow("44100 mono, 441") << 1 << 44100 << 441;
    for (int ch = 1; ch <= 8; ++ch)
        QTest::newRow(qPrintable(QString("48000, %1 channels").arg(ch))) << ch << 48000 << 480;
    QTest::newRow("96000 7.1, 960") << 8 << 96000 << 960;
    QTest::newRow("16000 mono, 160") << 1 << 16000 << 160;
}

void TestAudioChain::resampler()
{
    QFETCH(int, inChannels);
    QFETCH(int, inRate);
    QFETCH(int, inSamples);
    AudioResample rs;
    QCOMPARE(rs.init(inChannels, inRate, inSamples, AV_SAMPLE_FMT_S16, 2, 48000, AV_SAMPLE_FMT_S16), 0);
    QCOMPARE(rs.inBlockBytes(), inChannels * inSamples * 2);
    size_t phase = 0;
    std::vector<uint8_t> out(3840);
    std::vector<int16_t> all;
    const int blocks = 100;
    for (int b = 0; b < blocks; ++b) {
        const auto in = tone(inRate, inChannels, size_t(inSamples), phase);
        int outBytes = -1;
        const int rc = rs.convert(reinterpret_cast<const uint8_t *>(in.data()), int(in.size() * 2),
                                  out.data(), int(out.size()), outBytes);
        QVERIFY(rc >= 0);
        QCOMPARE(rc, outBytes);
        QCOMPARE(outBytes % 4, 0);
        if (inRate == 48000 && inChannels == 2)
            QCOMPARE(outBytes, 1920);
        QVERIFY(outBytes <= 1920 + 16);
        all.insert(all.end(), reinterpret_cast<int16_t *>(out.data()),
                   reinterpret_cast<int16_t *>(out.data() + outBytes));
    }
    // 100 blocks of 10 ms make one second at 48000 Hz, less what the filter still holds.
    QVERIFY2(std::abs(int(all.size() / 2) - 48000) <= 480, qPrintable(QString::number(all.size() / 2)));
    // The tone comes out on both channels, whatever the input layout (no silent 7.1).
    const size_t tail = all.size() / 2 - 4800;
    QVERIFY(carriesTone(all.data() + 2 * tail, 4800, 2, 48000, 1000.0));
    rs.release();
    QCOMPARE(rs.inBlockBytes(), 0);
}

void TestAudioChain::resamplerRefusals()
{
    AudioResample rs;
    uint8_t in[1764] = {};
    uint8_t out[3840];
    int outBytes = 7;
    QCOMPARE(rs.convert(in, 1764, out, 3840, outBytes), -1); // not initialised
    QCOMPARE(outBytes, 0);
    QCOMPARE(rs.init(2, 44100, 441, AV_SAMPLE_FMT_S16, 2, 48000, AV_SAMPLE_FMT_S16), 0);
    outBytes = 7;
    QCOMPARE(rs.convert(in, 1763, out, 3840, outBytes), -1);
    QCOMPARE(outBytes, 0);
    QCOMPARE(rs.convert(in, 1765, out, 3840, outBytes), -1);
    QCOMPARE(rs.convert(nullptr, 1764, out, 3840, outBytes), -1);
    QCOMPARE(rs.convert(in, 1764, nullptr, 3840, outBytes), -1);
    // An output buffer too small for the block is refused, not overrun.
    QCOMPARE(rs.convert(in, 1764, out, 1000, outBytes), -1);
    QCOMPARE(outBytes, 0);
    QVERIFY(rs.convert(in, 1764, out, 3840, outBytes) > 0);
    QCOMPARE(rs.init(0, 48000, 480, AV_SAMPLE_FMT_S16, 2, 48000, AV_SAMPLE_FMT_S16), -1);
    QCOMPARE(rs.init(2, 0, 480, AV_SAMPLE_FMT_S16, 2, 48000, AV_SAMPLE_FMT_S16), -1);
}

void TestAudioChain::frameAssembly_data()
{
    QTest::addColumn<IntList>("packets");
    QTest::newRow("exactly 10 ms") << IntList{480};
    QTest::newRow("halves") << IntList{240};
    QTest::newRow("odd sizes") << IntList{100, 380, 480, 7, 953, 1000, 1, 479};
    QTest::newRow("10 ms while a part waits") << IntList{240, 480, 240, 480, 480};
    QTest::newRow("long packets") << IntList{2000};
    QTest::newRow("one frame at a time, then 10 ms") << IntList{1, 1, 1, 480, 477};
}

void TestAudioChain::frameAssembly()
{
    QFETCH(IntList, packets);
    auto l = makeLoopback();
    QCOMPARE(l.capture->start(), 0);
    uint8_t buf[webrtc::SoundFrame::kCapacity];
    uint32_t frames = 0, channels = 0;
    QCOMPARE(l.capture->readFrame(buf, sizeof buf, frames, channels, 1), -1); // lets frames queue
    size_t next = 0;
    std::vector<int16_t> out;
    for (int round = 0; next < 48000; ++round) {
        for (int n : packets) {
            l.fake->push(ramp(size_t(n), next));
            // Keep the queue at the read threshold so that every read takes the oldest frame.
            while (l.capture->queuedFrames() >= RtcSoundCardCapture::kReadThreshold) {
                QCOMPARE(l.capture->readFrame(buf, sizeof buf, frames, channels, 1), 0);
                QCOMPARE(frames, 480u);
                QCOMPARE(channels, 2u);
                out.insert(out.end(), reinterpret_cast<int16_t *>(buf),
                           reinterpret_cast<int16_t *>(buf) + 960);
            }
        }
    }
    QVERIFY(out.size() / 2 >= 48000 - 480 * 16 - 2000);
    // The samples come out complete and in their order, whatever the packet sizes.
    for (size_t i = 0; i < out.size() / 2; ++i) {
        if (out[2 * i] != int16_t(i % 32000) || out[2 * i + 1] != int16_t(-int(i % 32000)))
            QFAIL(qPrintable(QString("frame %1 holds %2").arg(i).arg(out[2 * i])));
    }
    QVERIFY(!l.capture->converting());
}

void TestAudioChain::queueThresholds()
{
    auto l = makeLoopback();
    QCOMPARE(l.capture->start(), 0);
    size_t next = 0;
    // Sound played before the first read is never queued.
    for (int i = 0; i < 5; ++i)
        l.fake->push(ramp(480, next));
    QCOMPARE(l.capture->queuedFrames(), size_t(0));
    uint8_t buf[webrtc::SoundFrame::kCapacity];
    uint32_t frames = 9, channels = 9;
    QCOMPARE(l.capture->readFrame(buf, sizeof buf, frames, channels, 1), -1);
    QCOMPARE(frames, 0u);

    next = 0;
    for (int i = 0; i < 3; ++i)
        l.fake->push(ramp(480, next));
    QCOMPARE(l.capture->queuedFrames(), size_t(3));
    // Below the threshold the oldest frame is returned and kept.
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(l.capture->readFrame(buf, sizeof buf, frames, channels, 1), 0);
        QCOMPARE(reinterpret_cast<int16_t *>(buf)[0], int16_t(0));
        QCOMPARE(l.capture->queuedFrames(), size_t(3));
    }
    while (l.capture->queuedFrames() < RtcSoundCardCapture::kMaxQueued)
        l.fake->push(ramp(480, next));
    QCOMPARE(l.capture->queuedFrames(), size_t(19));
    l.fake->push(ramp(480, next)); // drops the oldest (frame 0)
    QCOMPARE(l.capture->queuedFrames(), size_t(19));
    QCOMPARE(l.capture->readFrame(buf, sizeof buf, frames, channels, 1), 0);
    QCOMPARE(reinterpret_cast<int16_t *>(buf)[0], int16_t(480));
    QCOMPARE(l.capture->queuedFrames(), size_t(18));
    // A small reader buffer is never overrun.
    uint8_t small[100];
    QCOMPARE(l.capture->readFrame(small, sizeof small, frames, channels, 1), 0);
    QCOMPARE(frames, 25u);
}

void TestAudioChain::resamplerChosenPerRunAndFormat()
{
    auto l = makeLoopback({44100, 2});
    QCOMPARE(l.capture->setTargetFormat(48000, 2, 1), 0);
    QCOMPARE(l.capture->start(), 0);
    uint8_t buf[webrtc::SoundFrame::kCapacity];
    uint32_t frames = 0, channels = 0;
    l.capture->readFrame(buf, sizeof buf, frames, channels, 1);
    size_t phase = 0;
    std::vector<int16_t> out;
    for (int i = 0; i < 60; ++i) {
        l.fake->push(tone(44100, 2, 441, phase));
        while (l.capture->queuedFrames() >= RtcSoundCardCapture::kReadThreshold) {
            QCOMPARE(l.capture->readFrame(buf, sizeof buf, frames, channels, 1), 0);
            QCOMPARE(channels, 2u);
            QVERIFY2(frames >= 440 && frames <= 490, qPrintable(QString::number(frames)));
            out.insert(out.end(), reinterpret_cast<int16_t *>(buf),
                       reinterpret_cast<int16_t *>(buf) + frames * 2);
        }
    }
    QVERIFY(l.capture->converting());
    QVERIFY(out.size() > 4800 * 2);
    QVERIFY(carriesTone(out.data() + out.size() - 9600, 4800, 2, 48000, 1000.0));
    l.capture->stop();

    // The next run finds the device at 48000 Hz stereo: no resampler, frames pass unchanged.
    l.fake->fmt = {48000, 2};
    QCOMPARE(l.capture->start(), 0);
    size_t next = 0;
    for (int i = 0; i < 20; ++i)
        l.fake->push(ramp(480, next));
    QVERIFY(!l.capture->converting());
    while (l.capture->queuedFrames() > 0 && l.capture->queuedFrames() >= RtcSoundCardCapture::kReadThreshold)
        l.capture->readFrame(buf, sizeof buf, frames, channels, 1);
    QCOMPARE(frames, 480u);

    // A format change within a run (e.g. after the server came back) switches at once.
    l.fake->fmt = {32000, 1};
    for (int i = 0; i < 3; ++i)
        l.fake->push(tone(32000, 1, 320, phase));
    QVERIFY(l.capture->converting());
    QCOMPARE(l.capture->deviceFormat().rate, 32000);
}

void TestAudioChain::restartDropsHalfFrame()
{
    auto l = makeLoopback();
    std::vector<LoopbackSource::Event> seen;
    l.capture->setEventCallback([&](LoopbackSource::Event e) { seen.push_back(e); });
    QCOMPARE(l.capture->start(), 0);
    uint8_t buf[webrtc::SoundFrame::kCapacity];
    uint32_t frames = 0, channels = 0;
    l.capture->readFrame(buf, sizeof buf, frames, channels, 1);
    size_t next = 0;
    l.fake->push(ramp(240, next)); // half a frame waits
    l.fake->emitEvent(LoopbackSource::Event::Lost);
    l.fake->emitEvent(LoopbackSource::Event::Restarted);
    next = 1000;
    l.fake->push(ramp(480, next));
    QCOMPARE(l.capture->queuedFrames(), size_t(1));
    QCOMPARE(l.capture->readFrame(buf, sizeof buf, frames, channels, 1), 0);
    QCOMPARE(reinterpret_cast<int16_t *>(buf)[0], int16_t(1000)); // not the stale half frame
    QCOMPARE(seen.size(), size_t(2));
}

void TestAudioChain::fifoBoundaries_data()
{
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("prefill");
    QTest::addColumn<int>("consumed"); // read before the write, to test compaction
    QTest::addColumn<int>("write");
    QTest::addColumn<int>("taken");
    QTest::newRow("fits") << 20480 << 0 << 0 << 1920 << 1920;
    QTest::newRow("19200 unread + 1920") << 20480 << 19200 << 0 << 1920 << 1280;
    QTest::newRow("full") << 20480 << 20480 << 0 << 1920 << 0;
    QTest::newRow("room made by a read") << 20480 << 20480 << 1920 << 1920 << 1920;
    QTest::newRow("oversized write") << 20480 << 0 << 0 << 30000 << 20480;
}

void TestAudioChain::fifoBoundaries()
{
    QFETCH(int, capacity);
    QFETCH(int, prefill);
    QFETCH(int, consumed);
    QFETCH(int, write);
    QFETCH(int, taken);
    PcmByteFifo fifo{size_t(capacity)};
    std::vector<uint8_t> data(size_t(std::max(prefill, write)));
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = uint8_t(i * 7);
    QCOMPARE(fifo.write(data.data(), size_t(prefill)), size_t(prefill));
    std::vector<uint8_t> out(static_cast<size_t>(capacity));
    if (consumed)
        QVERIFY(fifo.readExact(out.data(), size_t(consumed)));
    QCOMPARE(fifo.write(data.data(), size_t(write)), size_t(taken));
    QCOMPARE(fifo.available(), size_t(prefill - consumed + taken));
    // The unread bytes are those written, in order.
    if (prefill - consumed > 0) {
        QVERIFY(fifo.readExact(out.data(), size_t(prefill - consumed)));
        QVERIFY(std::equal(out.begin(), out.begin() + (prefill - consumed), data.begin() + consumed));
    }
}

void TestAudioChain::mixerGain_data()
{
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("out");
    QTest::addColumn<double>("gain");
    QTest::newRow("no clipping") << 1000 << 2000 << 3000 << 1.0;
    QTest::newRow("positive full scale") << 32767 << 32767 << 32767 << 0.515625;
    QTest::newRow("negative full scale") << -32768 << -32768 << -32768 << 0.515625;
    QTest::newRow("cancelling") << 32767 << -32767 << 0 << 1.0;
}

void TestAudioChain::mixerGain()
{
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, out);
    QFETCH(double, gain);
    const int16_t x[1] = {int16_t(a)};
    const int16_t y[1] = {int16_t(b)};
    const int16_t *inputs[2] = {x, y};
    int16_t mixed[1];
    QCOMPARE(mixPcm16(inputs, 2, 1, mixed), gain);
    QCOMPARE(int(mixed[0]), out);

    // After a clip the gain applies to the next samples and recovers by 1/32 per sample; each
    // call starts at 1.0 again.
    const int16_t p[3] = {32767, 10000, 10000};
    const int16_t q[3] = {32767, 10000, 10000};
    const int16_t *two[2] = {p, q};
    int16_t m[3];
    mixPcm16(two, 2, 3, m);
    QCOMPARE(int(m[0]), 32767);
    QCOMPARE(int(m[1]), int(20000 * 0.515625));
    QVERIFY(m[2] > m[1] && m[2] < 20000);
}

void TestAudioChain::microphoneSink()
{
    MicrophoneSink sink;
    uint8_t out[4000];
    std::memset(out, 0x55, sizeof out);
    QCOMPARE(sink.readChunk(out, sizeof out), 0);
    QCOMPARE(out[0], uint8_t(0x55)); // no playout format: nothing written
    sink.setPlayoutRate(48000);
    sink.setPlayoutChannels(2);
    QCOMPARE(sink.readChunk(out, sizeof out), 0);
    QCOMPARE(out[0], uint8_t(0));
    QCOMPARE(out[1919], uint8_t(0));
    QCOMPARE(out[1920], uint8_t(0x55)); // 10 ms of silence exactly

    QCOMPARE(sink.hasData(5), 0);
    sink.setRecordingRate(48000);
    sink.setRecordingChannels(2);
    size_t next = 0;
    for (int i = 0; i < 12; ++i) {
        const auto block = ramp(480, next);
        sink.deliverRecorded(block.data(), 480);
    }
    QCOMPARE(sink.queuedChunks(), MicrophoneSink::kMaxChunks);
    QCOMPARE(sink.hasData(5), 5);
    QCOMPARE(sink.readChunk(out, sizeof out), 1920);
    // The two oldest chunks were dropped; the third starts at frame 960 (give or take the
    // resampler's pass-through delay of none at equal formats).
    QCOMPARE(reinterpret_cast<int16_t *>(out)[0], int16_t(960));
    QCOMPARE(sink.readChunk(out, 100), 100); // bounded by the reader's buffer
}

void TestAudioChain::captureTimesFollowFrames()
{
    constexpr uint64_t kArrivalSlackMs = 15;
    // Each 10 ms frame carries when its first sample was captured (its arrival less 10 ms), through
    // the queue and the FIFO, however long it waited there; a block starting inside a frame is
    // stamped 1 ms per 192 bytes later.
    TaskTimer timer;
    auto l = makeLoopback();
    FakeLoopbackSource *fake = l.fake;
    AudioCapture cap(std::move(l.capture), timer);
    timer.stop();
    QVERIFY(cap.start(20480, false, 0));
    cap.tick(cap.taskId()); // the first read lets loopback frames queue
    std::vector<uint64_t> pushed;
    size_t next = 0;
    for (int i = 0; i < 16; ++i) {
        pushed.push_back(RtcSoundCardCapture::steadyNowMs());
        fake->push(ramp(480, next));
        QTest::qSleep(20);
    }
    cap.tick(cap.taskId());
    cap.tick(cap.taskId());
    std::vector<int16_t> out(960);
    uint64_t at = 0;
    QCOMPARE(cap.read(reinterpret_cast<uint8_t *>(out.data()), 240, &at), 240);
    // Stamped on arrival: a slow (sanitizer) build may take a few ms to take a frame in, but far
    // less than the 20 ms between frames or the 300 ms they waited in the queue.
    QVERIFY2(at + 10 >= pushed[0] && at + 10 <= pushed[0] + kArrivalSlackMs,
             qPrintable(QString::number(int64_t(at + 10 - pushed[0]))));
    const uint64_t first = at;
    QCOMPARE(cap.read(reinterpret_cast<uint8_t *>(out.data()), 240, &at), 240);
    QCOMPARE(at, first + 5);
    QCOMPARE(cap.read(reinterpret_cast<uint8_t *>(out.data()), 480, &at), 480);
    QVERIFY2(at + 10 >= pushed[1] && at + 10 <= pushed[1] + kArrivalSlackMs,
             qPrintable(QString::number(int64_t(at + 10 - pushed[1]))));
    QVERIFY(at >= first + 20);
    cap.stop();
}

void TestAudioChain::microphoneMixing()
{
    TaskTimer timer;
    auto l = makeLoopback();
    FakeLoopbackSource *fake = l.fake;
    int made = 0;
    FakeAudioDevice *dev = nullptr;
    AudioCapture cap(std::move(l.capture), timer, [&] {
        auto d = std::make_unique<FakeAudioDevice>();
        dev = d.get();
        ++made;
        return d;
    });
    timer.stop();
    QVERIFY(cap.start(20480, true, 3));
    QVERIFY(dev && dev->rec);
    QCOMPARE(dev->selected, 3);
    MicrophoneSink *sink = cap.microphoneSink();
    QVERIFY(sink);
    auto fifoSamples = [&](size_t frames) {
        std::vector<int16_t> out(frames * 2);
        return cap.read(reinterpret_cast<uint8_t *>(out.data()), int(frames)) == int(frames)
                   ? out
                   : std::vector<int16_t>();
    };
    std::vector<int16_t> mic(960, 1000);

    // Microphone only: its chunk is written as it is.
    cap.tick(cap.taskId()); // the first read lets loopback frames queue
    sink->deliverRecorded(mic.data(), 480);
    cap.tick(cap.taskId());
    auto got = fifoSamples(480);
    QCOMPARE(got.size(), size_t(960));
    QCOMPARE(got[0], int16_t(1000));

    // Both: mixed; then loopback only.
    std::vector<int16_t> loud(960, 2000);
    for (int i = 0; i < 16; ++i)
        fake->push(loud);
    sink->deliverRecorded(mic.data(), 480);
    cap.tick(cap.taskId());
    got = fifoSamples(480);
    QCOMPARE(got[0], int16_t(3000));
    QCOMPARE(got[959], int16_t(3000));
    cap.tick(cap.taskId());
    got = fifoSamples(480);
    QCOMPARE(got[0], int16_t(2000));
    QVERIFY(fifoSamples(1).empty()); // each tick wrote exactly one block

    // The device is reused by the next run instead of opened again.
    cap.stop();
    QVERIFY(!dev->rec);
    QVERIFY(cap.start(20480, true, 3));
    QCOMPARE(made, 1);
    QVERIFY(dev->rec);
    QCOMPARE(dev->starts, 2);
    cap.stop();
}

void TestAudioChain::audioFront()
{
    TaskTimer timer; // driven by hand: its worker is stopped below
    auto l = makeLoopback();
    FakeLoopbackSource *fake = l.fake;
    auto capture = std::make_unique<AudioCapture>(std::move(l.capture), timer);
    AudioCapture *cap = capture.get();
    QnAudioCaptrue front(std::move(capture), timer);
    timer.stop();

    struct Block
    {
        std::vector<uint8_t> pcm;
        unsigned frames;
        int channels, rate;
    };
    std::vector<Block> got;
    QVERIFY(front.start(false, 0));
    front.setPcmCallback([&](const uint8_t *pcm, unsigned frames, int ch, int rate) {
        got.push_back({std::vector<uint8_t>(pcm, pcm + frames * unsigned(ch) * 2), frames, ch, rate});
    });
    QVERIFY(fake->running);
    QVERIFY(cap->isRunning());
    QVERIFY(front.taskId() > cap->taskId()); // the producer's task runs first in a pass
    const int firstId = front.taskId();
    QVERIFY(front.start(false, 0)); // running: nothing more registered
    QCOMPARE(front.taskId(), firstId);
    QCOMPARE(fake->starts, 1);

    // A tick with nothing queued writes nothing and delivers nothing.
    cap->tick(cap->taskId());
    front.tick(front.taskId());
    QVERIFY(got.empty());
    QCOMPARE(cap->fifo()->available(), size_t(0));

    size_t next = 0;
    for (int i = 0; i < 20; ++i)
        fake->push(ramp(480, next));
    for (int i = 0; i < 5; ++i) {
        cap->tick(cap->taskId());
        front.tick(front.taskId() + 1); // not its id: ignored
        front.tick(front.taskId());
    }
    QCOMPARE(got.size(), size_t(5));
    for (size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].frames, 480u);
        QCOMPARE(got[i].channels, 2);
        QCOMPARE(got[i].rate, 48000);
        QCOMPARE(got[i].pcm.size(), size_t(1920));
        // Queue of 19 after one dropped frame (20 pushed): frames 1..5 in order.
        QCOMPARE(reinterpret_cast<const int16_t *>(got[i].pcm.data())[0], int16_t(480 * (i + 1)));
    }

    // Underrun: 1919 bytes buffered deliver nothing and stay.
    got.clear();
    std::vector<uint8_t> bytes(1919, 1);
    QCOMPARE(cap->fifo()->write(bytes.data(), bytes.size()), size_t(1919));
    front.tick(front.taskId());
    QVERIFY(got.empty());
    QCOMPARE(cap->fifo()->available(), size_t(1919));
    cap->fifo()->write(bytes.data(), 1);
    front.tick(front.taskId());
    QCOMPARE(got.size(), size_t(1));

    // Stop and start again: a new task id; the first task is gone.
    front.stop();
    QVERIFY(!fake->running);
    QVERIFY(!cap->isRunning());
    QVERIFY(front.start(false, 0));
    QVERIFY(front.taskId() > firstId);
    QVERIFY(cap->fifo()->available() == 0); // a new FIFO per run
    front.stop();
}

void TestAudioChain::audioFrontWithFailedCapture()
{
    TaskTimer timer;
    auto l = makeLoopback();
    l.fake->startResult = -1;
    auto capture = std::make_unique<AudioCapture>(std::move(l.capture), timer);
    AudioCapture *cap = capture.get();
    QnAudioCaptrue front(std::move(capture), timer);
    QVERIFY(!front.start(false, 0));
    QVERIFY(front.isRunning());
    QVERIFY(front.taskId() >= 0); // the front's task runs and simply finds nothing
    QVERIFY(!cap->isRunning());
    QCOMPARE(cap->taskId(), -1);
    QVERIFY(cap->fifo());
    front.stop();
}

void TestAudioChain::noServerStartFailsFast()
{
    const int before = threadCount();
    {
        LoopbackSource::Options opt;
        opt.server = "unix:" + QDir::tempPath().toStdString() + "/qn-no-such-dir/native";
        RtcSoundCardCapture capture(qn::platform::createLoopbackSource(opt));
        QElapsedTimer t;
        t.start();
        QCOMPARE(capture.start(), -1);
        QVERIFY2(t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(threadCount(), before);
    }
    QCOMPARE(threadCount(), before);
}

QTEST_GUILESS_MAIN(TestAudioChain)
#include "tst_audiochain.moc"
