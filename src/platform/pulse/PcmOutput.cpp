#include "platform/pulse/PcmOutput.h"
#include "platform/pulse/PulseConnection.h"

#include <algorithm>

namespace qn::platform {

PcmOutput::PcmOutput(int rate, int channels, int maxQueuedMs, std::string server)
    : m_rate(rate)
    , m_channels(channels)
    , m_maxBytes(size_t(rate) * size_t(channels) * 2 * size_t(maxQueuedMs) / 1000)
    , m_device(createAudioDevice(0, server))
{}

PcmOutput::~PcmOutput()
{
    close();
}

bool PcmOutput::open()
{
    if (m_device->playing())
        return true;
    m_device->attachTransport(this);
    m_device->setStereoPlayout(m_channels == 2);
    if (m_device->init() != 0 || m_device->setPlayoutDevice(AudioDevice::kDefaultDevice) != 0 ||
        m_device->initPlayout() != 0 || m_device->startPlayout() != 0) {
        qCWarning(lcPulse) << "no audio output";
        m_device->terminate();
        return false;
    }
    if (m_deviceRate != m_rate || m_deviceChannels != m_channels) {
        // The device was asked for another format than ours: play nothing rather than noise.
        qCWarning(lcPulse) << "audio output format" << m_deviceRate << m_deviceChannels << "unsupported";
        m_device->terminate();
        return false;
    }
    return true;
}

void PcmOutput::close()
{
    m_device->terminate();
    std::lock_guard<std::mutex> g(m_lock);
    m_queue.clear();
}

bool PcmOutput::isOpen() const
{
    return m_device->playing();
}

size_t PcmOutput::write(const uint8_t *data, size_t bytes)
{
    if (!data)
        return 0;
    const size_t frameBytes = size_t(m_channels) * 2;
    bytes -= bytes % frameBytes;
    std::lock_guard<std::mutex> g(m_lock);
    size_t dropped = 0;
    if (bytes > m_maxBytes) { // keep the newest part of an oversized write
        dropped += bytes - m_maxBytes;
        data += bytes - m_maxBytes;
        bytes = m_maxBytes;
    }
    if (m_queue.size() + bytes > m_maxBytes) {
        const size_t drop = m_queue.size() + bytes - m_maxBytes;
        m_queue.erase(m_queue.begin(), m_queue.begin() + std::ptrdiff_t(drop));
        dropped += drop;
    }
    m_queue.insert(m_queue.end(), data, data + bytes);
    return dropped;
}

size_t PcmOutput::queuedBytes() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_queue.size();
}

int PcmOutput::readPlayout(uint8_t *out, size_t capacityBytes)
{
    std::lock_guard<std::mutex> g(m_lock);
    const size_t n = std::min(capacityBytes, m_queue.size());
    std::copy_n(m_queue.begin(), n, out);
    m_queue.erase(m_queue.begin(), m_queue.begin() + std::ptrdiff_t(n));
    return int(n);
}

} // namespace qn::platform
