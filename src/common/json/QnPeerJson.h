#pragma once

#include <QByteArray>
#include <QJsonObject>

#include <optional>

/// The one way in for JSON text a peer sent (receivers on the LAN, room members, upload answers):
/// the strict scan first (duplicate keys, which Qt's parser leaks, and nesting deeper than
/// maxDepth never reach Qt), then Qt's parser. Returns the object, or nothing for text that is
/// not exactly one well-formed JSON object. Never throws; any thread.
std::optional<QJsonObject> parsePeerObject(const QByteArray &text, int maxDepth = 64);
