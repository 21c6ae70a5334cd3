#include "common/json/QnPeerJson.h"

#include "platform/json/QnJsonScan.h"

#include <QJsonDocument>
#include <QJsonParseError>

std::optional<QJsonObject> parsePeerObject(const QByteArray &text, int maxDepth)
{
    if (QnJsonScan::scanObject(text, maxDepth) != QnJsonScan::Result::Used)
        return std::nullopt;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    return doc.object();
}
