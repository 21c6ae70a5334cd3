#pragma once

#include "QnScreenShare/audio/AudioResample.h"
#include "QnScreenShare/audio/PcmBuf.h"

#include "platform/pulse/AudioDevice.h"

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

/// Takes a microphone device's recorded 10 ms blocks, converts them to 48000 Hz stereo and keeps
/// them as PcmBuf chunks for the audio capture's tick. Drop policy: at most kMaxChunks chunks;
/// the oldest go first.
///
/// Threads: the device calls in on its own thread; readChunk runs on the task timer thread.
/// Every operation takes `m_lock`.
class MicrophoneSink : public qn::platform::AudioTransport
{
public:
    static constexpr size_t kMaxChunks = 10;
    static constexpr size_t kConvertBytes = 192000;

    MicrophoneSink();
    ~MicrophoneSink() override;

    void setRecordingRate(int rate) override;
    void setRecordingChannels(int channels) override;
    void setPlayoutRate(int rate) override;
    void setPlayoutChannels(int channels) override;
    int deliverRecorded(const int16_t *data, size_t samplesPerChannel) override;
    /// Plays the oldest chunk back (the device's playout pulls microphone sound).
    int readPlayout(uint8_t *out, size_t capacityBytes) override;

    /// Moves the oldest chunk into `out` (at most `capacity` bytes) and returns its size; with
    /// none queued, writes 10 ms of silence in the playout format (when one is set) and returns 0.
    int readChunk(uint8_t *out, size_t capacity);
    /// `value` when a chunk is queued, else 0.
    int hasData(int value) const;
    size_t queuedChunks() const;

private:
    int rebuildResampler(); // m_lock held

    mutable std::recursive_mutex m_lock;
    int m_recordingRate = 0;
    int m_recordingChannels = 0;
    int m_playoutRate = 0;
    int m_playoutChannels = 0;
    std::unique_ptr<AudioResample> m_resampler;
    std::vector<uint8_t> m_convertBuffer;
    std::deque<PcmBufPtr> m_chunks;
};
