#pragma once

#include "platform/rtp/RtpPacket.h"

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

/// One Full Intra Request entry (RFC 5104 section 4.3.1.1): the media sender asked for a decoder
/// refresh point, with a command sequence number that repeats in retransmissions.
struct RtcpFirEntry
{
    uint32_t ssrc = 0;
    uint8_t seq = 0;
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
    /// Media SSRCs named by Picture Loss Indications (RFC 4585 section 6.3.1).
    std::vector<uint32_t> pliMediaSsrcs;
    std::vector<RtcpFirEntry> firEntries;
};

/// Parses a compound RTCP datagram: every packet's header and length word are checked against
/// the datagram before its body is read; SR, RR, BYE and payload-specific feedback (PLI, FIR)
/// are decoded, other types and feedback formats skipped. At most kMaxFeedbackEntries PLI and FIR
/// entries are kept per datagram.
/// Returns Incomplete for a datagram shorter than a header or a packet running past the end,
/// Error for a wrong version or a report count that does not fit its packet.
constexpr int kMaxFeedbackEntries = 32;
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

/// A Picture Loss Indication (PSFB, FMT 1) from \a senderSsrc about \a mediaSsrc: 12 bytes.
std::vector<uint8_t> buildRtcpPli(uint32_t senderSsrc, uint32_t mediaSsrc);
/// A Full Intra Request (PSFB, FMT 4) with one entry for \a mediaSsrc: 20 bytes.
std::vector<uint8_t> buildRtcpFir(uint32_t senderSsrc, uint32_t mediaSsrc, uint8_t seq);

/// The wall clock as a 64-bit NTP timestamp.
uint64_t ntpNow();

} // namespace qnrtp
