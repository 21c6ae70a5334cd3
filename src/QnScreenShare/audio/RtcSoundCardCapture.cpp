#include "QnScreenShare/audio/RtcSoundCardCapture.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstring>

Q_LOGGING_CATEGORY(lcLoopback, "qn.audio.loopback")

namespace webrtc {

using qn::platform::LoopbackSource;

RtcSoundCardCapture::RtcSoundCardCapture(std::unique_ptr<LoopbackSource> source)
    : m_source(source ? std::move(source) : qn::platform::createLoopbackSource())
{
    m_source->setPacketCallback(
        [this](const int16_t *data, size_t frames, LoopbackSource::Format f) { onPacket(data, frames, f); });
    m_source->setEventCallback([this](LoopbackSource::Event e) { onEvent(e); });
}

RtcSoundCardCapture::~RtcSoundCardCapture()
{
    stop();
}

int RtcSoundCardCapture::setTargetFormat(int rate, int channels, uint8_t flag)
{
    std::lock_guard<std::mutex> g(m_formatLock);
    m_targetRate = rate;
    m_targetChannels = channels;
    m_targetFlag = flag;
    m_configured = false;
    return 0;
}

int RtcSoundCardCapture::start()
{
    {
        // The resampler is decided again for each run: the device format may have changed.
        std::lock_guard<std::mutex> g(m_formatLock);
        m_configured = false;
    }
    if (m_source->start(kStartTimeout) != 0) {
        qCWarning(lcLoopback) << "system sound capture cannot start";
        return -1;
    }
    return 0;
}

int RtcSoundCardCapture::stop()
{
    m_source->stop();
    std::lock_guard<std::mutex> g(m_formatLock);
    m_pending.clear();
    m_pendingBytes = 0;
    m_framesPer10ms = 0;
    m_configured = false;
    return 0;
}

uint64_t RtcSoundCardCapture::steadyNowMs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int RtcSoundCardCapture::readFrame(uint8_t *buf, size_t bufBytes, uint32_t &frames, uint32_t &channels,
                                   uint32_t prepare, uint64_t *captureMs)
{
    (void)prepare; // the format decision is taken per run and per device format
    m_readerStarted = true;
    frames = 0;
    std::lock_guard<std::mutex> g(m_queueLock);
    if (m_queue.empty() || !buf)
        return -1;
    std::unique_ptr<SoundFrame> taken;
    const SoundFrame *f = m_queue.front().get();
    if (m_queue.size() >= kReadThreshold) {
        taken = std::move(m_queue.front());
        m_queue.pop_front();
        f = taken.get();
    }
    const size_t n = std::min<size_t>(f->byteCount, bufBytes);
    std::memcpy(buf, f->data, n);
    channels = f->channels;
    frames = channels ? uint32_t(n / 2 / channels) : 0;
    if (captureMs)
        *captureMs = f->captureMs;
    return 0;
}

size_t RtcSoundCardCapture::queuedFrames() const
{
    std::lock_guard<std::mutex> g(m_queueLock);
    return m_queue.size();
}

LoopbackSource::Format RtcSoundCardCapture::deviceFormat() const
{
    std::lock_guard<std::mutex> g(m_formatLock);
    return m_deviceFormat;
}

bool RtcSoundCardCapture::converting() const
{
    std::lock_guard<std::mutex> g(m_formatLock);
    return m_resampler != nullptr;
}

void RtcSoundCardCapture::onEvent(LoopbackSource::Event event)
{
    if (event == LoopbackSource::Event::Lost) {
        qCWarning(lcLoopback)
            << "system sound interrupted: the sound server or device is gone; waiting for it";
    } else {
        qCInfo(lcLoopback) << "system sound capture restarted";
        std::lock_guard<std::mutex> g(m_formatLock);
        m_configured = false; // a new stream: its format is decided anew, half frames dropped
    }
    if (m_eventCb)
        m_eventCb(event);
}

void RtcSoundCardCapture::reconfigure(LoopbackSource::Format format)
{
    m_deviceFormat = format;
    m_framesPer10ms = size_t(std::max(format.rate, 0) / 100);
    m_bytesPerFrame = size_t(std::max(format.channels, 0)) * 2;
    m_pending.assign(m_framesPer10ms * m_bytesPerFrame, 0);
    m_pendingBytes = 0;
    m_resampler.reset();
    m_configured = true;
    if (format.rate == m_targetRate && format.channels == m_targetChannels)
        return;
    m_resampler = std::make_unique<AudioResample>();
    if (m_resampler->init(format.channels, format.rate, int(m_framesPer10ms), AV_SAMPLE_FMT_S16,
                          m_targetChannels, m_targetRate, AV_SAMPLE_FMT_S16) != 0) {
        qCWarning(lcLoopback) << "cannot convert" << format.rate << "Hz" << format.channels << "channels";
    } else {
        qCInfo(lcLoopback) << "converting" << format.rate << "Hz" << format.channels << "channels to"
                           << m_targetRate << "Hz" << m_targetChannels;
    }
}

void RtcSoundCardCapture::onPacket(const int16_t *data, size_t frames, LoopbackSource::Format format)
{
    if (!m_readerStarted || !data || frames == 0)
        return; // nothing is queued before the consumer's first read
    std::lock_guard<std::mutex> g(m_formatLock);
    if (!m_configured || format != m_deviceFormat)
        reconfigure(format);
    const size_t T = m_framesPer10ms;
    const size_t B = m_bytesPerFrame;
    if (T == 0 || B == 0)
        return;
    const auto *p = reinterpret_cast<const uint8_t *>(data);
    size_t n = frames;
    // A packet of exactly 10 ms is framed directly, but only when nothing waits before it.
    if (n == T && m_pendingBytes == 0) {
        buildFrame(p);
        return;
    }
    while (m_pendingBytes / B + n >= T) {
        const size_t take = T - m_pendingBytes / B;
        std::memcpy(m_pending.data() + m_pendingBytes, p, take * B);
        p += take * B;
        n -= take;
        m_pendingBytes = 0;
        buildFrame(m_pending.data());
    }
    std::memcpy(m_pending.data() + m_pendingBytes, p, n * B);
    m_pendingBytes += n * B;
}

void RtcSoundCardCapture::buildFrame(const uint8_t *bytes)
{
    auto frame = std::make_unique<SoundFrame>();
    frame->captureMs = steadyNowMs() - 10; // the frame's last sample has just arrived
    const size_t inBytes = m_framesPer10ms * m_bytesPerFrame;
    if (m_resampler) {
        int outBytes = 0;
        if (m_resampler->convert(bytes, int(inBytes), frame->data, int(SoundFrame::kCapacity), outBytes) <
                0 ||
            outBytes == 0)
            return; // unusable resampler: nothing is queued rather than empty frames
        frame->byteCount = uint32_t(outBytes);
        frame->channels = uint32_t(m_targetChannels);
    } else {
        if (inBytes > SoundFrame::kCapacity)
            return;
        std::memcpy(frame->data, bytes, inBytes);
        frame->byteCount = uint32_t(inBytes);
        frame->channels = uint32_t(m_deviceFormat.channels);
    }
    if (m_gain != 1.0f) {
        auto *s = reinterpret_cast<int16_t *>(frame->data);
        for (size_t i = 0; i < frame->byteCount / 2; ++i)
            s[i] = int16_t(std::clamp(int(s[i] * m_gain), -32768, 32767));
    }
    enqueue(std::move(frame));
}

void RtcSoundCardCapture::enqueue(std::unique_ptr<SoundFrame> frame)
{
    std::lock_guard<std::mutex> g(m_queueLock);
    while (m_queue.size() >= kMaxQueued)
        m_queue.pop_front(); // drop the oldest sound
    m_queue.push_back(std::move(frame));
}

} // namespace webrtc
