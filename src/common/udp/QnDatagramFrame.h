#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

/// Framing of discovery datagrams: a signed 32-bit big-endian payload length, then the payload.
/// One frame per datagram; bytes after the declared payload are ignored.
namespace QnDatagramFrame {

/// Largest datagram accepted; discovery records are a few hundred bytes.
constexpr int kMaxDatagramBytes = 8192;
constexpr int kHeaderBytes = 4;

enum class Status {
    Used,       ///< a payload was taken; `used` bytes of the datagram were read
    Incomplete, ///< the datagram ends before the declared payload (or before the length)
    Error,      ///< the length is zero or negative, or the datagram is oversize
};

struct Result
{
    Status status = Status::Error;
    int used = 0;            ///< header plus payload bytes, when Used
    QByteArray payload;      ///< non-empty exactly when Used
    const char *reason = ""; ///< short text for the log when not Used
};

/// Parses one datagram of size bytes. Reads only inside [data, data + size).
Result parse(const char *data, std::size_t size);
inline Result parse(const QByteArray &datagram)
{
    return parse(datagram.constData(), static_cast<std::size_t>(datagram.size()));
}

/// The frame for a payload: length in big-endian order, then the payload bytes.
QByteArray build(const QByteArray &payload);

} // namespace QnDatagramFrame
