#pragma once

#include <cstdint>

/// Wire helpers shared by the packetisers, depacketisers, RTCP and the transport.
namespace qnrtp {

constexpr int kRtpHeaderSize = 12;
constexpr int kRtcpHeaderSize = 8;
/// Largest datagram we send: an Ethernet MTU less the IPv4 and UDP headers.
constexpr int kMaxDatagram = 1472;
constexpr uint32_t kVideoClock = 90000;
constexpr uint32_t kAudioClock = 48000;

/// Result of a parser of peer input: Used (accepted), Incomplete (truncated), Error (malformed).
enum class ParseStatus { Used, Incomplete, Error };

inline uint16_t rd16(const uint8_t *p)
{
    return uint16_t((p[0] << 8) | p[1]);
}
inline uint32_t rd32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline void wr16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}
inline void wr32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

/// One parsed RTP packet. payload points into the parsed datagram.
struct RtpHeader
{
    bool marker = false;
    uint8_t payloadType = 0;
    uint16_t seq = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    const uint8_t *payload = nullptr;
    int payloadSize = 0;
};

/// Parses an RTP datagram: version 2, CSRC list, header extension and padding are checked
/// against the length before use.
ParseStatus parseRtp(const uint8_t *data, int length, RtpHeader &out);

/// RTP and RTCP share a port only by the second byte (RFC 5761): true for RTCP packet types
/// 192..223 in a datagram of at least an RTCP header with version 2.
bool looksLikeRtcp(const uint8_t *data, int length);

/// True when the first byte carries RTP/RTCP version 2.
inline bool isVersion2(const uint8_t *data, int length)
{
    return length > 0 && (data[0] >> 6) == 2;
}

/// Writes a 12-byte RTP header without CSRCs or extension; returns kRtpHeaderSize.
int writeRtpHeader(uint8_t *out, bool marker, uint8_t payloadType, uint16_t seq, uint32_t timestamp,
                   uint32_t ssrc);

/// A random 32-bit value for SSRCs and initial sequence numbers and timestamps.
uint32_t randomU32();

/// Milliseconds of a steady clock.
uint64_t steadyMs();

} // namespace qnrtp
