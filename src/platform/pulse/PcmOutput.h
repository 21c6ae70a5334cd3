#pragma once

#include "platform/pulse/AudioDevice.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qn::platform {

/// Plays pushed PCM (interleaved signed 16-bit) on the default output through an AudioDevice.
/// Blocks written faster than they play queue up to `maxQueuedMs`; beyond that the oldest queued
/// sound is dropped, so a stalled output never grows memory nor delays new sound without bound.
///
/// Threads: write() from any one producer thread (the decoder); open/close on the owner's thread;
/// the device's thread pulls. Lock order: device lock, then this object's queue lock.
class PcmOutput : private AudioTransport
{
public:
    explicit PcmOutput(int rate = 48000, int channels = 2, int maxQueuedMs = 200,
                       std::string server = std::string());
    ~PcmOutput() override;
    PcmOutput(const PcmOutput &) = delete;
    PcmOutput &operator=(const PcmOutput &) = delete;

    /// Starts playback; false when no output device can be opened.
    bool open();
    void close();
    bool isOpen() const;
    /// Queues `bytes` of sound; returns the bytes dropped to make room (0 normally).
    size_t write(const uint8_t *data, size_t bytes);
    /// Bytes waiting to be played.
    size_t queuedBytes() const;

private:
    void setRecordingRate(int) override {}
    void setRecordingChannels(int) override {}
    void setPlayoutRate(int rate) override { m_deviceRate = rate; }
    void setPlayoutChannels(int channels) override { m_deviceChannels = channels; }
    int deliverRecorded(const int16_t *, size_t) override { return 0; }
    int readPlayout(uint8_t *out, size_t capacityBytes) override;

    const int m_rate;
    const int m_channels;
    const size_t m_maxBytes;
    std::unique_ptr<AudioDevice> m_device;
    int m_deviceRate = 0;     // device thread
    int m_deviceChannels = 0; // device thread
    mutable std::mutex m_lock;
    std::deque<uint8_t> m_queue; // m_lock
};

} // namespace qn::platform
