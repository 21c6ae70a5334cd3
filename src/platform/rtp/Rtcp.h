#pragma once

#include "RtpPacket.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qnrtp {

/// One report block of an SR or RR (RFC 3550 section 6.4.1).
struct RtcpReportBlock
{
    uint32_t ssrc = 0;
    uint8_t fractionLost = 0;
    int32_t cumulativeLost = 0; ///< 24-bit signed on the wire
    uint32_t extendedHighestSeq = 0;
    uint32_t jitter = 0;
    uint32_t lastSr = 0;
    uint32_t delaySinceLastSr = 0;
};

/// The reports found in one compound RTCP datagram.
struct RtcpInfo
{
    bool hasSenderReport = false;
    uint32_t senderSsrc = 0; ///< SSRC of the SR or RR packet
    uint64_t ntp = 0;        ///< SR: NTP timestamp
    uint32_t rtpTimestamp = 0;
    uint32_t packetCount = 0;
    uint32_t octetCount = 0;
    std::vector<RtcpReportBlock> blocks;
    bool hasBye = false;
};

/// Parses a compound RTCP datagram: every packet's header and length word are checked against
/// the datagram before its body is read; SR, RR and BYE are decoded, other types skipped.
/// Returns Incomplete for a datagram shorter than a header or a packet running past the end,
/// Error for a wrong version or a report count that does not fit its packet.
ParseStatus parseRtcp(const uint8_t *data, int length, RtcpInfo &out);

/// Builds a compound SR (or RR when \a senderInfo is false) with at most one report block and an
/// SDES CNAME item. Returns the datagram.
struct RtcpSenderInfo
{
    uint64_t ntp = 0;
    uint32_t rtpTimestamp = 0;
    uint32_t packetCount = 0;
    uint32_t octetCount = 0;
};
std::vector<uint8_t> buildRtcpReport(uint32_t ssrc, const RtcpSenderInfo *senderInfo,
                                     const RtcpReportBlock *block, const std::string &cname);

/// The wall clock as a 64-bit NTP timestamp.
uint64_t ntpNow();

} // namespace qnrtp
