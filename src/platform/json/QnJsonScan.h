#pragma once

#include <QByteArray>

/// A strict pre-check of JSON text from peers, run before Qt's JSON parser sees it.
///
/// Qt 5.15's QJsonDocument::fromJson leaks the earlier value of a key that occurs twice in one
/// object, so a peer could grow our memory with every message. The scan walks the text once
/// (RFC 8259 grammar, UTF-8 checked by Qt later), refuses duplicate keys (compared after escapes are
/// decoded) and nesting deeper than maxDepth, and never reads past the end.
namespace QnJsonScan {

enum class Result {
    Used,  ///< one complete JSON object (surrounding whitespace allowed)
    Error, ///< not a single object, bad grammar, a duplicate key or too deep
};
// Peer input arrives as whole messages, so there is no "incomplete" result.

Result scanObject(const QByteArray &text, int maxDepth = 64);

} // namespace QnJsonScan
