// Gateway frame parser: must never crash; every frame it accepts re-encodes to a frame that parses
// to the same encoding.
#include "platform/gateway/QnGatewayProtocol.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QnGatewayFrame frame;
    if (QnGatewayWire::parseFrame(input, &frame) != QnGatewayWire::ParseResult::Used)
        return 0;
    const QByteArray encoded = QnGatewayWire::serializeFrame(frame);
    QnGatewayFrame again;
    if (QnGatewayWire::parseFrame(encoded, &again) != QnGatewayWire::ParseResult::Used)
        std::abort();
    if (QnGatewayWire::serializeFrame(again) != encoded)
        std::abort();
    return 0;
}
