#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/samplefmt.h>
}

struct SwrContext;

/// Converts fixed-size blocks of PCM from one channel count, rate and sample format to another
/// over libswresample. Every input block has exactly `inSamples` samples per channel; output
/// samples come out as the resampler produces them (about inSamples × outRate / inRate).
///
/// Not thread-safe: each owner guards its resampler with its own lock. Owns all FFmpeg
/// resources (released by release() or the destructor).
class AudioResample
{
public:
    AudioResample() = default;
    virtual ~AudioResample();
    AudioResample(const AudioResample &) = delete;
    AudioResample &operator=(const AudioResample &) = delete;

    /// 0, or -1 (then only release() is useful).
    int init(int inChannels, int inRate, int inSamples, AVSampleFormat inFormat, int outChannels, int outRate,
             AVSampleFormat outFormat);
    /// Converts one block of exactly inBlockBytes() bytes into `out`, which holds `outCapacity`
    /// bytes. Returns the bytes written (also in outBytes), or -1 with nothing written (wrong block
    /// size, not initialised, or the result would not fit: the input is then not consumed).
    int convert(const uint8_t *in, int inBytes, uint8_t *out, int outCapacity, int &outBytes);
    int release();

    int inBlockBytes() const { return m_inBlockBytes; }
    int inChannels() const { return m_inChannels; }
    int outChannels() const { return m_outChannels; }
    int inRate() const { return m_inRate; }
    int outRate() const { return m_outRate; }

private:
    SwrContext *m_context = nullptr;
    uint8_t **m_inPlanes = nullptr;
    uint8_t **m_outPlanes = nullptr;
    int m_inChannels = 0;
    int m_outChannels = 0;
    int m_inSamples = 0;
    int m_inRate = 0;
    int m_outRate = 0;
    AVSampleFormat m_inFormat = AV_SAMPLE_FMT_S16;
    AVSampleFormat m_outFormat = AV_SAMPLE_FMT_S16;
    int m_inBlockBytes = 0;
    int m_outAllocated = 0;
};

/// The channel-layout mask used for `count` interleaved channels: mono, stereo, 3.0, 4.0, 4.1 and
/// 5.1 for 1 to 6, FFmpeg's default layout for larger counts (6.1, 7.1, ...), 0 for counts below 1
/// or without a default layout.
uint64_t channelLayoutFor(int count);
