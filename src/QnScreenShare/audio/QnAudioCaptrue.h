#pragma once

#include "QnScreenShare/audio/AudioCapture.h"
#include "QnScreenShare/timer/TaskTimer.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

/// Receives each 10 ms block of the sender's sound: (pcm, frames = 480, channels = 2,
/// sampleRate = 48000). Called on the task timer thread with the timer's lock held; must not keep
/// the pointer, and must not take a lock that a thread holds while calling stop() (stop waits for
/// the running tick).
using PcmCaptureCallback =
    std::function<void(const uint8_t *pcm, unsigned int frames, int channels, int sampleRate)>;

/// The media sender's audio source: every 10 ms it pulls exactly one 480-frame block of 48000 Hz
/// stereo PCM from its AudioCapture and hands it to the callback. A tick that finds less than a
/// whole block delivers nothing and consumes nothing (no silence is inserted, no catch-up).
///
/// Threads: start/stop/setPcmCallback on the sender's thread; tick and callback on the timer
/// thread. The callback is guarded, so it may be replaced while running.
class QnAudioCaptrue : public CPPTimeTask
{
public:
    explicit QnAudioCaptrue(std::unique_ptr<AudioCapture> capture = nullptr,
                            TaskTimer &timer = TaskTimer::instance());
    ~QnAudioCaptrue() override;

    void setPcmCallback(PcmCaptureCallback callback);
    /// Returns the capture's start result; the block task runs even when that failed.
    bool start(bool withMic, int micIndex);
    void stop();
    bool isRunning() const { return m_running; }
    int taskId() const { return m_taskId; }
    AudioCapture &capture() { return *m_capture; }

    void tick(int taskId) override;

    static constexpr unsigned kFifoBytes = 20480;

    /// When the first sample of the block being delivered was captured (steady clock,
    /// milliseconds; 0 when unknown). Meaningful only inside the PCM callback (timer thread).
    uint64_t blockCaptureMs() const { return m_blockCaptureMs; }

private:
    TaskTimer &m_timer;
    std::unique_ptr<AudioCapture> m_capture;
    bool m_running = false;
    std::atomic<int> m_taskId{-1}; // read by the tick on the timer thread
    std::mutex m_callbackLock;
    PcmCaptureCallback m_pcmCallback; // m_callbackLock
    std::vector<uint8_t> m_block;
    uint64_t m_blockCaptureMs = 0; // timer thread
};
