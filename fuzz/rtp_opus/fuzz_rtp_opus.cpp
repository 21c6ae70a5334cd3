// Feeds datagram sequences to the Opus depacketiser and a whole Opus receiving endpoint.
#include "fuzz/rtp_h264/DatagramSequence.h"
#include "platform/rtp/QnRtpRtcp.h"
#include "platform/rtp/RtpOpus.h"
#include "platform/rtp/RtpPacket.h"

#include <cstdlib>
#include <memory>

namespace {
class Sink : public QnRtpFrameCb
{
public:
    int onFrame(const uint8_t *data, int length, int64_t, uint32_t) override
    {
        if (qnrtp::opusPacketSamples(data, length) <= 0)
            std::abort(); // only packets with a valid duration are handed on
        return 0;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    qnrtp::OpusDepacketizer depacketizer([](const uint8_t *packet, int length, uint32_t) {
        if (length < 1 || qnrtp::opusPacketSamples(packet, length) > 5760)
            std::abort();
    });
    Sink sink;
    std::unique_ptr<QnRtpRtcp> receiver(CreateOpusReceiver());
    receiver->setPayloadType(120);
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
