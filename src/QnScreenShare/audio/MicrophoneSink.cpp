#include "QnScreenShare/audio/MicrophoneSink.h"

#include <algorithm>
#include <cstring>

MicrophoneSink::MicrophoneSink() : m_convertBuffer(kConvertBytes, 0) {}

MicrophoneSink::~MicrophoneSink() = default;

void MicrophoneSink::setRecordingRate(int rate)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    if (rate == m_recordingRate)
        return;
    m_recordingRate = rate;
    rebuildResampler();
}

void MicrophoneSink::setRecordingChannels(int channels)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    if (channels == m_recordingChannels)
        return;
    m_recordingChannels = channels;
    rebuildResampler();
}

void MicrophoneSink::setPlayoutRate(int rate)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_playoutRate = rate;
}

void MicrophoneSink::setPlayoutChannels(int channels)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    m_playoutChannels = channels;
}

int MicrophoneSink::rebuildResampler()
{
    if (m_recordingRate <= 0 || m_recordingChannels <= 0)
        return -1;
    m_resampler = std::make_unique<AudioResample>();
    if (m_resampler->init(m_recordingChannels, m_recordingRate, m_recordingRate / 100, AV_SAMPLE_FMT_S16, 2,
                          48000, AV_SAMPLE_FMT_S16) != 0)
        m_resampler.reset();
    return m_resampler ? 0 : -1;
}

int MicrophoneSink::deliverRecorded(const int16_t *data, size_t samplesPerChannel)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    if (!m_resampler || !data)
        return 0;
    int outBytes = 0;
    const int inBytes = int(size_t(m_recordingChannels) * samplesPerChannel * 2);
    if (m_resampler->convert(reinterpret_cast<const uint8_t *>(data), inBytes, m_convertBuffer.data(),
                             int(m_convertBuffer.size()), outBytes) < 0)
        outBytes = 0;
    m_chunks.push_back(std::make_shared<PcmBuf>(2, 48000, m_convertBuffer.data(), size_t(outBytes)));
    while (m_chunks.size() > kMaxChunks)
        m_chunks.pop_front();
    return 0;
}

int MicrophoneSink::readPlayout(uint8_t *out, size_t capacityBytes)
{
    return std::max(0, readChunk(out, capacityBytes));
}

int MicrophoneSink::readChunk(uint8_t *out, size_t capacity)
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    if (!out)
        return 0;
    if (m_chunks.empty()) {
        const size_t silence =
            std::min(capacity, size_t(std::max(0, m_playoutChannels * m_playoutRate * 2 / 100)));
        std::memset(out, 0, silence);
        return 0;
    }
    PcmBufPtr chunk = std::move(m_chunks.front());
    m_chunks.pop_front();
    const size_t n = std::min(capacity, chunk->size());
    if (n)
        std::memcpy(out, chunk->data(), n);
    return int(n);
}

int MicrophoneSink::hasData(int value) const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_chunks.empty() ? 0 : value;
}

size_t MicrophoneSink::queuedChunks() const
{
    std::lock_guard<std::recursive_mutex> g(m_lock);
    return m_chunks.size();
}
