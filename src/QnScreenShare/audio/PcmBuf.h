#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

/// One chunk of PCM audio (interleaved signed 16-bit), shared by pointer between the thread that
/// records it and the thread that consumes it. Owns its bytes.
class PcmBuf
{
public:
    PcmBuf(int channels, int sampleRate, const uint8_t *bytes, size_t size)
        : m_channels(channels)
        , m_sampleRate(sampleRate)
        , m_data(size ? static_cast<uint8_t *>(std::malloc(size)) : nullptr)
        , m_size(m_data ? size : 0)
    {
        if (m_data && bytes)
            std::memcpy(m_data.get(), bytes, m_size);
    }
    virtual ~PcmBuf() = default;

    int channels() const { return m_channels; }
    int sampleRate() const { return m_sampleRate; }
    const uint8_t *data() const { return m_data.get(); }
    size_t size() const { return m_size; }

private:
    struct Free
    {
        void operator()(uint8_t *p) const { std::free(p); }
    };
    int m_channels;
    int m_sampleRate;
    std::unique_ptr<uint8_t, Free> m_data;
    size_t m_size;
};

using PcmBufPtr = std::shared_ptr<PcmBuf>;
