// Feeds datagram sequences to the H.264 depacketiser (through the RTP header parser) and to a
// whole receiving endpoint; every unit handed on must be Annex B with 4-byte start codes.
#include "fuzz/rtp_h264/DatagramSequence.h"
#include "platform/rtp/QnRtpRtcp.h"
#include "platform/rtp/RtpH264.h"
#include "platform/rtp/RtpPacket.h"

#include <cstdlib>
#include <memory>

namespace {
class Sink : public QnRtpFrameCb
{
public:
    int onFrame(const uint8_t *data, int length, int64_t, uint32_t) override
    {
        if (length < 5 || data[0] != 0 || data[1] != 0 || data[2] != 0 || data[3] != 1)
            std::abort();
        return 0;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qnrtp::H264Depacketizer depacketizer([](const uint8_t *unit, int length, uint32_t, bool) {
        if (length < 5 || unit[3] != 1)
            std::abort();
    });
    Sink sink;
    std::unique_ptr<QnRtpRtcp> receiver(CreateH264Receiver());
    receiver->setPayloadType(127);
    receiver->setTransport(nullptr, nullptr, &sink);
    forEachDatagram(data, size, [&](const uint8_t *datagram, int length, int64_t now) {
        qnrtp::RtpHeader header;
        if (qnrtp::parseRtp(datagram, length, header) == qnrtp::ParseStatus::Used)
            depacketizer.push(header.seq, header.timestamp, header.marker, header.payload, header.payloadSize,
                              now);
        receiver->incomingPacket(datagram, length);
    });
    return 0;
}
