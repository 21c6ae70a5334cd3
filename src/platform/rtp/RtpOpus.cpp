#include "platform/rtp/RtpOpus.h"

namespace qnrtp {

int opusPacketSamples(const uint8_t *data, int length)
{
    if (!data || length < 1)
        return 0;
    const int config = data[0] >> 3;
    int frameSamples;
    if (config < 12) // SILK: 10, 20, 40, 60 ms
        frameSamples = (config & 3) == 3 ? 2880 : 480 << (config & 3);
    else if (config < 16) // Hybrid: 10, 20 ms
        frameSamples = (config & 1) ? 960 : 480;
    else // CELT: 2.5, 5, 10, 20 ms
        frameSamples = 120 << (config & 3);
    int frames;
    switch (data[0] & 3) {
    case 0:
        frames = 1;
        break;
    case 1:
    case 2:
        frames = 2;
        break;
    default:
        if (length < 2)
            return 0;
        frames = data[1] & 0x3f;
        break;
    }
    const int total = frames * frameSamples;
    return total > 5760 ? 0 : total; // at most 120 ms
}

OpusDepacketizer::OpusDepacketizer(Sink sink)
    : m_sink(std::move(sink)), m_reorder([this](const RtpQueued &packet, int) {
        if (opusPacketSamples(packet.payload.data(), int(packet.payload.size())) == 0) {
            ++m_dropped;
            return;
        }
        ++m_delivered;
        m_sink(packet.payload.data(), int(packet.payload.size()), packet.timestamp);
    })
{}

void OpusDepacketizer::push(uint16_t seq, uint32_t timestamp, bool marker, const uint8_t *payload, int size,
                            int64_t nowMs)
{
    RtpQueued packet;
    packet.seq = seq;
    packet.timestamp = timestamp;
    packet.marker = marker;
    packet.payload.assign(payload, payload + size);
    m_reorder.push(std::move(packet), nowMs);
}

} // namespace qnrtp
