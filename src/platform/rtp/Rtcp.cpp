#include "platform/rtp/Rtcp.h"

#include <algorithm>
#include <chrono>

namespace qnrtp {
namespace {

constexpr uint8_t kSr = 200;
constexpr uint8_t kRr = 201;
constexpr uint8_t kSdes = 202;
constexpr uint8_t kBye = 203;
constexpr uint8_t kPsfb = 206;
constexpr int kFmtPli = 1;
constexpr int kFmtFir = 4;
constexpr int kBlockSize = 24;

ParseStatus readBlocks(const uint8_t *p, int available, int count, std::vector<RtcpReportBlock> &out)
{
    if (count * kBlockSize > available)
        return ParseStatus::Error;
    for (int i = 0; i < count; ++i, p += kBlockSize) {
        RtcpReportBlock block;
        block.ssrc = rd32(p);
        block.fractionLost = p[4];
        int32_t lost = int32_t((uint32_t(p[5]) << 16) | (uint32_t(p[6]) << 8) | p[7]);
        if (lost & 0x800000)
            lost -= 0x1000000;
        block.cumulativeLost = lost;
        block.extendedHighestSeq = rd32(p + 8);
        block.jitter = rd32(p + 12);
        block.lastSr = rd32(p + 16);
        block.delaySinceLastSr = rd32(p + 20);
        out.push_back(block);
    }
    return ParseStatus::Used;
}

void writeBlock(uint8_t *p, const RtcpReportBlock &block)
{
    wr32(p, block.ssrc);
    p[4] = block.fractionLost;
    const int32_t lost = std::max(-0x800000, std::min(0x7fffff, block.cumulativeLost));
    const uint32_t wire = uint32_t(lost) & 0xffffff;
    p[5] = uint8_t(wire >> 16);
    p[6] = uint8_t(wire >> 8);
    p[7] = uint8_t(wire);
    wr32(p + 8, block.extendedHighestSeq);
    wr32(p + 12, block.jitter);
    wr32(p + 16, block.lastSr);
    wr32(p + 20, block.delaySinceLastSr);
}

} // namespace

ParseStatus parseRtcp(const uint8_t *data, int length, RtcpInfo &out)
{
    out = RtcpInfo();
    if (!data || length < kRtcpHeaderSize)
        return ParseStatus::Incomplete;
    int pos = 0;
    while (pos < length) {
        if (length - pos < 4)
            return ParseStatus::Incomplete;
        const uint8_t *p = data + pos;
        if ((p[0] >> 6) != 2)
            return ParseStatus::Error;
        const int count = p[0] & 0x1f;
        const uint8_t type = p[1];
        const int size = 4 * (rd16(p + 2) + 1);
        if (size > length - pos)
            return ParseStatus::Incomplete;
        const uint8_t *body = p + 4;
        const int bodySize = size - 4;
        if (type == kSr) {
            if (bodySize < 24)
                return ParseStatus::Error;
            out.hasSenderReport = true;
            out.senderSsrc = rd32(body);
            out.ntp = (uint64_t(rd32(body + 4)) << 32) | rd32(body + 8);
            out.rtpTimestamp = rd32(body + 12);
            out.packetCount = rd32(body + 16);
            out.octetCount = rd32(body + 20);
            if (readBlocks(body + 24, bodySize - 24, count, out.blocks) != ParseStatus::Used)
                return ParseStatus::Error;
        } else if (type == kRr) {
            if (bodySize < 4)
                return ParseStatus::Error;
            out.senderSsrc = rd32(body);
            if (readBlocks(body + 4, bodySize - 4, count, out.blocks) != ParseStatus::Used)
                return ParseStatus::Error;
        } else if (type == kBye) {
            out.hasBye = true;
        } else if (type == kPsfb) {
            // Common feedback header: packet sender SSRC, media source SSRC, then the FCI.
            if (bodySize < 8)
                return ParseStatus::Error;
            const int fmt = count;
            const uint8_t *fci = body + 8;
            const int fciSize = bodySize - 8;
            if (fmt == kFmtPli) {
                if (out.pliMediaSsrcs.size() < size_t(kMaxFeedbackEntries))
                    out.pliMediaSsrcs.push_back(rd32(body + 4));
            } else if (fmt == kFmtFir) {
                if (fciSize == 0 || fciSize % 8 != 0)
                    return ParseStatus::Error;
                for (int i = 0; i < fciSize && out.firEntries.size() < size_t(kMaxFeedbackEntries); i += 8)
                    out.firEntries.push_back({rd32(fci + i), fci[i + 4]});
            }
        }
        pos += size;
    }
    return ParseStatus::Used;
}

std::vector<uint8_t> buildRtcpReport(uint32_t ssrc, const RtcpSenderInfo *senderInfo,
                                     const RtcpReportBlock *block, const std::string &cname)
{
    const int blocks = block ? 1 : 0;
    const int reportSize = 8 + (senderInfo ? 20 : 0) + blocks * kBlockSize;
    const int nameSize = int(std::min<size_t>(cname.size(), 255));
    // SDES: header, SSRC, CNAME item (type, length, text), end item, padded to 32 bits.
    const int sdesSize = (8 + 2 + nameSize + 1 + 3) / 4 * 4;
    std::vector<uint8_t> out(size_t(reportSize + sdesSize), 0);
    uint8_t *p = out.data();
    p[0] = uint8_t(0x80 | blocks);
    p[1] = senderInfo ? kSr : kRr;
    wr16(p + 2, uint16_t(reportSize / 4 - 1));
    wr32(p + 4, ssrc);
    int pos = 8;
    if (senderInfo) {
        wr32(p + pos, uint32_t(senderInfo->ntp >> 32));
        wr32(p + pos + 4, uint32_t(senderInfo->ntp));
        wr32(p + pos + 8, senderInfo->rtpTimestamp);
        wr32(p + pos + 12, senderInfo->packetCount);
        wr32(p + pos + 16, senderInfo->octetCount);
        pos += 20;
    }
    if (block)
        writeBlock(p + pos, *block);
    uint8_t *s = p + reportSize;
    s[0] = 0x81;
    s[1] = kSdes;
    wr16(s + 2, uint16_t(sdesSize / 4 - 1));
    wr32(s + 4, ssrc);
    s[8] = 1; // CNAME
    s[9] = uint8_t(nameSize);
    std::copy(cname.begin(), cname.begin() + nameSize, s + 10);
    return out; // the end item and padding are the zero bytes left
}

std::vector<uint8_t> buildRtcpPli(uint32_t senderSsrc, uint32_t mediaSsrc)
{
    std::vector<uint8_t> out(12, 0);
    out[0] = uint8_t(0x80 | kFmtPli);
    out[1] = kPsfb;
    wr16(out.data() + 2, 2);
    wr32(out.data() + 4, senderSsrc);
    wr32(out.data() + 8, mediaSsrc);
    return out;
}

std::vector<uint8_t> buildRtcpFir(uint32_t senderSsrc, uint32_t mediaSsrc, uint8_t seq)
{
    std::vector<uint8_t> out(20, 0);
    out[0] = uint8_t(0x80 | kFmtFir);
    out[1] = kPsfb;
    wr16(out.data() + 2, 4);
    wr32(out.data() + 4, senderSsrc);
    // The media source field of a FIR is 0; the target is named in the FCI entry.
    wr32(out.data() + 12, mediaSsrc);
    out[16] = seq;
    return out;
}

uint64_t ntpNow()
{
    using namespace std::chrono;
    const auto since = system_clock::now().time_since_epoch();
    const uint64_t micros = uint64_t(duration_cast<microseconds>(since).count());
    const uint64_t seconds = micros / 1000000 + 2208988800ull; // 1900 to 1970
    const uint64_t fraction = ((micros % 1000000) << 32) / 1000000;
    return (seconds << 32) | fraction;
}

} // namespace qnrtp
