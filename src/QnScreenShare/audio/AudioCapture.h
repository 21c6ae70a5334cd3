#pragma once

#include "QnScreenShare/audio/MicrophoneSink.h"
#include "QnScreenShare/audio/PcmByteFifo.h"
#include "QnScreenShare/audio/RtcSoundCardCapture.h"
#include "QnScreenShare/timer/TaskTimer.h"

#include "platform/pulse/AudioDevice.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

/// Turns the PC's sound into a steady stream of 48000 Hz stereo signed 16-bit PCM: every 10 ms
/// (a task of the task timer) it takes one loopback frame, mixes in a microphone chunk when the
/// microphone was opened, and appends the result to a byte FIFO from which read() takes blocks.
/// Underruns are not filled: a tick without sound writes nothing.
///
/// Threads: start/stop on the owner's thread; tick and read on the timer thread. The owner stops
/// the capture before destroying it.
class AudioCapture : public CPPTimeTask
{
public:
    using DeviceFactory = std::function<std::unique_ptr<qn::platform::AudioDevice>()>;

    /// `loopback` null: the platform loopback. `micFactory` empty: the platform audio device.
    explicit AudioCapture(std::unique_ptr<webrtc::RtcSoundCardCapture> loopback = nullptr,
                          TaskTimer &timer = TaskTimer::instance(), DeviceFactory micFactory = {});
    ~AudioCapture() override;

    /// Makes new buffers and a new FIFO of `bufBytes`, starts the loopback and registers the tick.
    /// False when the loopback cannot start (no task registered). True at once while running.
    bool start(unsigned bufBytes, bool withMic, int micIndex);
    void stop();
    bool isRunning() const { return m_running; }
    /// Copies exactly `frames` frames into `out` and returns `frames`, or 0 (nothing consumed)
    /// when fewer are buffered.
    /// `captureMs`, when given, receives when the first sample read was captured (steady clock,
    /// milliseconds; 0 when unknown).
    int read(uint8_t *out, int frames, uint64_t *captureMs = nullptr);

    void tick(int taskId) override;

    int channels() const { return m_channels; }
    int sampleRate() const { return m_sampleRate; }
    int taskId() const { return m_taskId; }
    webrtc::RtcSoundCardCapture &loopback() { return *m_loopback; }
    MicrophoneSink *microphoneSink() { return m_micSink.get(); }
    /// The FIFO of the current run (null before the first start).
    PcmByteFifo *fifo() { return m_fifo.get(); }

private:
    void openMicrophone(int micIndex);

    TaskTimer &m_timer;
    DeviceFactory m_micFactory;
    bool m_running = false;
    std::atomic<int> m_taskId{-1}; // read by the tick on the timer thread
    const int m_channels = 2;
    const int m_sampleRate = 48000;
    const int m_bitsPerSample = 16;
    std::unique_ptr<PcmByteFifo> m_fifo;
    std::unique_ptr<qn::platform::AudioDevice> m_micDevice;
    std::unique_ptr<MicrophoneSink> m_micSink;
    std::unique_ptr<webrtc::RtcSoundCardCapture> m_loopback;
    std::vector<uint8_t> m_micBuffer;
    std::vector<uint8_t> m_loopbackBuffer;
    std::vector<uint8_t> m_mixBuffer;

    /// Where in the FIFO's byte stream each written block starts and when its first sample was
    /// captured; read() interpolates between them (10 ms blocks, 48 kHz stereo 16-bit).
    struct Mark
    {
        uint64_t position = 0;
        uint64_t captureMs = 0;
    };
    void writeFifo(const uint8_t *data, size_t bytes, uint64_t captureMs); // timer thread
    static constexpr size_t kMaxMarks = 64;
    std::mutex m_marksLock;
    std::deque<Mark> m_marks; // m_marksLock
    uint64_t m_written = 0;   // m_marksLock
    uint64_t m_read = 0;      // m_marksLock
};
