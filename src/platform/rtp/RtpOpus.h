#pragma once

#include "platform/rtp/RtpReorder.h"

#include <cstdint>
#include <functional>

namespace qnrtp {

/// Samples per channel at 48 kHz that one Opus packet holds, read from its TOC byte and frame
/// count (RFC 6716 section 3.1); 0 for an empty or malformed packet.
int opusPacketSamples(const uint8_t *data, int length);

/// RFC 7587 receiver side: each RTP payload is one Opus packet. Packets are put back in order,
/// duplicates dropped; a lost packet is skipped (the decoder conceals it). Not thread-safe.
class OpusDepacketizer
{
public:
    using Sink = std::function<void(const uint8_t *data, int size, uint32_t rtpTimestamp)>;

    explicit OpusDepacketizer(Sink sink);

    void push(uint16_t seq, uint32_t timestamp, bool marker, const uint8_t *payload, int size, int64_t nowMs);
    void reset() { m_reorder.reset(); }

    uint64_t lost() const { return m_reorder.lost(); }
    uint64_t duplicates() const { return m_reorder.duplicates(); }
    uint64_t framesDelivered() const { return m_delivered; }
    uint64_t framesDropped() const { return m_dropped; }

private:
    Sink m_sink;
    RtpReorderBuffer m_reorder;
    uint64_t m_delivered = 0;
    uint64_t m_dropped = 0;
};

} // namespace qnrtp
