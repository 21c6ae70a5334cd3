// Fuzz target: one discovery datagram as the network delivers it, through the framing, the JSON
// object parse and the receiver-record builder, with the invariants the discovery list relies on.
#include "common/udp/QnDatagramFrame.h"
#include "lyn/discovery/QnLynSocket.h"

#include <QHostAddress>
#include <QJsonObject>

#include <cstdint>
#include <cstdlib>

namespace {
void check(bool ok)
{
    if (!ok)
        std::abort();
}

void checkRecord(const QnLynItemInfo &info, const QString &expectedIp)
{
    check(!info.id.isEmpty());
    if (!expectedIp.isEmpty())
        check(info.ip == expectedIp);
    // The upload address always names the receiver's own host.
    const QString prefix = QStringLiteral("http://") + info.ip;
    check(info.url.startsWith(prefix));
    const QString rest = info.url.mid(prefix.size());
    check(rest.isEmpty() || rest.startsWith(QLatin1Char(':')) || rest.startsWith(QLatin1Char('/')));
    check(!rest.contains(QLatin1Char('@')) && !rest.contains(QLatin1Char('\\')));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QnDatagramFrame::Result r = QnDatagramFrame::parse(reinterpret_cast<const char *>(data), size);
    if (r.status != QnDatagramFrame::Status::Used) {
        check(r.payload.isEmpty());
        return 0;
    }
    check(r.used >= QnDatagramFrame::kHeaderBytes + 1 && static_cast<size_t>(r.used) <= size);
    check(r.payload.size() == r.used - QnDatagramFrame::kHeaderBytes);

    const QJsonObject obj = QnLynSocket::parseObject(r.payload);
    const QHostAddress sender(QStringLiteral("10.99.0.2"));
    if (const auto announced = QnLynSocket::recordFromJson(obj, sender))
        checkRecord(*announced, sender.toString());
    if (const auto byCode = QnLynSocket::recordFromJson(obj, QHostAddress()))
        checkRecord(*byCode, QString());
    // The address exchange reads these as text and parses them as addresses.
    for (const char *key : {"targetip", "getip", "serverip", "getserverip"}) {
        const QString text = obj.value(QLatin1String(key)).toString();
        QHostAddress(text).protocol();
    }
    return 0;
}
