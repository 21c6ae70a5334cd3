// One datagram to the RTCP parser and to the sending and receiving endpoints' RTCP handling.
#include "platform/rtp/QnRtpRtcp.h"
#include "platform/rtp/Rtcp.h"

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 65535)
        return 0;
    qnrtp::RtcpInfo info;
    if (qnrtp::parseRtcp(data, int(size), info) == qnrtp::ParseStatus::Used) {
        // Whatever parsed must re-encode: a report block count fits in five bits per packet.
        for (const qnrtp::RtcpReportBlock &block : info.blocks)
            if (block.cumulativeLost < -0x800000 || block.cumulativeLost > 0x7fffff)
                std::abort();
    }
    std::unique_ptr<QnRtpRtcp> sender(CreateH264Sender());
    std::unique_ptr<QnRtpRtcp> receiver(CreateH264Receiver());
    sender->incomingPacket(data, int(size));
    receiver->incomingPacket(data, int(size));
    return 0;
}
