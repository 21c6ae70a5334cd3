#include "common/udp/QnDatagramFrame.h"

#include <QtEndian>

namespace QnDatagramFrame {

Result parse(const char *data, std::size_t size)
{
    Result r;
    if (size > static_cast<std::size_t>(kMaxDatagramBytes)) {
        r.status = Status::Error;
        r.reason = "oversize datagram";
        return r;
    }
    if (!data || size < static_cast<std::size_t>(kHeaderBytes)) {
        r.status = Status::Incomplete;
        r.reason = "shorter than the length prefix";
        return r;
    }
    const qint32 length = qFromBigEndian<qint32>(data);
    if (length <= 0) {
        r.status = Status::Error;
        r.reason = "length zero or negative";
        return r;
    }
    const std::size_t rest = size - kHeaderBytes;
    if (static_cast<std::size_t>(length) > rest) {
        r.status = Status::Incomplete;
        r.reason = "failed get";
        return r;
    }
    r.status = Status::Used;
    r.used = kHeaderBytes + length;
    r.payload = QByteArray(data + kHeaderBytes, length);
    return r;
}

QByteArray build(const QByteArray &payload)
{
    QByteArray frame(kHeaderBytes, Qt::Uninitialized);
    qToBigEndian<qint32>(static_cast<qint32>(payload.size()), frame.data());
    frame.append(payload);
    return frame;
}

} // namespace QnDatagramFrame
