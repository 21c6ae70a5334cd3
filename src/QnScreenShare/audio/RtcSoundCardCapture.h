#pragma once

#include "QnScreenShare/audio/AudioResample.h"

#include "platform/pulse/LoopbackSource.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace webrtc {

/// One queued 10 ms frame of interleaved signed 16-bit PCM.
struct SoundFrame
{
    static constexpr size_t kCapacity = 3840; ///< 20 ms of 48000 Hz stereo
    uint32_t channels = 0;
    uint32_t byteCount = 0;
    /// When the frame's first sample was captured: its arrival on the steady clock less 10 ms, in
    /// milliseconds since the clock's epoch.
    uint64_t captureMs = 0;
    uint8_t data[kCapacity] = {};
};

/// Records what the PC plays (through a LoopbackSource), cuts it into 10 ms frames, converts them
/// to the target format when the device's differs, and keeps them in a bounded queue from which
/// the audio capture takes one frame per 10 ms tick.
///
/// Queue: at most kMaxQueued frames; a new frame beyond that drops the oldest. While fewer than
/// kReadThreshold frames are queued, readFrame returns the oldest frame without removing it, so
/// about 150 ms stay queued in steady state.
///
/// Threads: start/stop/setTargetFormat on the owner's thread; frame assembly on the source's
/// thread; readFrame on the reader's (task timer) thread. Lock order: m_formatLock, then m_queueLock.
class RtcSoundCardCapture
{
public:
    static constexpr size_t kMaxQueued = 19;
    static constexpr size_t kReadThreshold = 15;
    static constexpr auto kStartTimeout = std::chrono::milliseconds(1000);

    /// `source` null: the platform's loopback of the default output.
    explicit RtcSoundCardCapture(std::unique_ptr<qn::platform::LoopbackSource> source = nullptr);
    virtual ~RtcSoundCardCapture();
    RtcSoundCardCapture(const RtcSoundCardCapture &) = delete;
    RtcSoundCardCapture &operator=(const RtcSoundCardCapture &) = delete;

    int setTargetFormat(int rate, int channels, uint8_t flag);
    /// 0 once recording runs, or -1 within about kStartTimeout with nothing left running.
    int start();
    int stop();

    /// Copies the oldest frame into `buf` (`bufBytes` large, normally SoundFrame::kCapacity).
    /// Returns 0 with frames and channels set, or -1 with frames 0 when nothing is queued. The
    /// first call ever lets frames be queued at all (sound before it is dropped).
    /// `captureMs`, when given, receives the frame's SoundFrame::captureMs.
    virtual int readFrame(uint8_t *buf, size_t bufBytes, uint32_t &frames, uint32_t &channels,
                          uint32_t prepare, uint64_t *captureMs = nullptr);
    /// Milliseconds of the steady clock (the clock the RTP sender stamps with).
    static uint64_t steadyNowMs();

    /// Observer of the source's Lost/Restarted reports (source thread). Set before start.
    void setEventCallback(qn::platform::LoopbackSource::EventCallback cb) { m_eventCb = std::move(cb); }
    size_t queuedFrames() const;
    /// The format of the loopback packets of the current run (0/0 before any).
    qn::platform::LoopbackSource::Format deviceFormat() const;
    /// True while a resampler converts the device format (decided per run and per format).
    bool converting() const;

private:
    void onPacket(const int16_t *data, size_t frames, qn::platform::LoopbackSource::Format format);
    void onEvent(qn::platform::LoopbackSource::Event event);
    void reconfigure(qn::platform::LoopbackSource::Format format); // m_formatLock held
    void buildFrame(const uint8_t *bytes);                         // m_formatLock held
    void enqueue(std::unique_ptr<SoundFrame> frame);

    std::unique_ptr<qn::platform::LoopbackSource> m_source;
    qn::platform::LoopbackSource::EventCallback m_eventCb;
    std::atomic<bool> m_readerStarted{false};

    mutable std::mutex m_queueLock;
    std::deque<std::unique_ptr<SoundFrame>> m_queue; // m_queueLock

    mutable std::mutex m_formatLock; // everything below
    const float m_gain = 1.0f;
    int m_targetRate = 48000;
    int m_targetChannels = 2;
    uint8_t m_targetFlag = 0;
    bool m_configured = false;
    qn::platform::LoopbackSource::Format m_deviceFormat;
    std::unique_ptr<AudioResample> m_resampler; // null when the device format is the target's
    std::vector<uint8_t> m_pending;             // 10 ms in the device format
    size_t m_pendingBytes = 0;
    size_t m_framesPer10ms = 0;
    size_t m_bytesPerFrame = 0;
};

} // namespace webrtc
