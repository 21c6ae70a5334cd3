#include "platform/rtp/RtpPacket.h"

#include <chrono>
#include <mutex>
#include <random>

namespace qnrtp {

ParseStatus parseRtp(const uint8_t *data, int length, RtpHeader &out)
{
    if (!data || length < kRtpHeaderSize)
        return ParseStatus::Incomplete;
    if ((data[0] >> 6) != 2)
        return ParseStatus::Error;
    const bool padding = data[0] & 0x20;
    const bool extension = data[0] & 0x10;
    const int csrcCount = data[0] & 0x0f;
    int offset = kRtpHeaderSize + 4 * csrcCount;
    if (offset > length)
        return ParseStatus::Incomplete;
    if (extension) {
        if (offset + 4 > length)
            return ParseStatus::Incomplete;
        const int words = rd16(data + offset + 2);
        offset += 4 + 4 * words;
        if (offset > length)
            return ParseStatus::Incomplete;
    }
    int end = length;
    if (padding) {
        const int pad = data[length - 1];
        if (pad == 0 || pad > end - offset)
            return ParseStatus::Error;
        end -= pad;
    }
    out.marker = data[1] & 0x80;
    out.payloadType = data[1] & 0x7f;
    out.seq = rd16(data + 2);
    out.timestamp = rd32(data + 4);
    out.ssrc = rd32(data + 8);
    out.payload = data + offset;
    out.payloadSize = end - offset;
    return ParseStatus::Used;
}

bool looksLikeRtcp(const uint8_t *data, int length)
{
    return data && length >= kRtcpHeaderSize && isVersion2(data, length) && data[1] >= 192 && data[1] <= 223;
}

int writeRtpHeader(uint8_t *out, bool marker, uint8_t payloadType, uint16_t seq, uint32_t timestamp,
                   uint32_t ssrc)
{
    out[0] = 0x80;
    out[1] = uint8_t((marker ? 0x80 : 0) | (payloadType & 0x7f));
    wr16(out + 2, seq);
    wr32(out + 4, timestamp);
    wr32(out + 8, ssrc);
    return kRtpHeaderSize;
}

uint32_t randomU32()
{
    static std::mutex lock;
    static std::mt19937 generator{std::random_device{}()};
    std::lock_guard<std::mutex> guard(lock);
    return uint32_t(generator());
}

uint64_t steadyMs()
{
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace qnrtp
