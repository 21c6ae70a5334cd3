#include "platform/gateway/QnGatewayProtocol.h"

#include "platform/json/QnJsonScan.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <initializer_list>

namespace QnGatewayWire {
namespace {

struct OpInfo
{
    QnGatewayOp op;
    const char *name;
    std::initializer_list<const char *> required; // besides "op"
    std::initializer_list<const char *> optional;
};

const OpInfo kOps[] = {
    {QnGatewayOp::Login, "login", {"seq", "user", "name"}, {}},
    {QnGatewayOp::Logout, "logout", {"seq"}, {}},
    {QnGatewayOp::Join, "join", {"seq", "room"}, {}},
    {QnGatewayOp::Leave, "leave", {"seq", "room"}, {}},
    {QnGatewayOp::Message, "msg", {"to", "msgId", "type", "payload"}, {}},
    {QnGatewayOp::Answer, "answer", {"seq", "code", "text"}, {"room"}},
    {QnGatewayOp::Deliver, "deliver", {"from", "name", "to", "msgId", "type", "payload"}, {}},
    {QnGatewayOp::MemberJoin, "memberJoin", {"room", "user"}, {}},
    {QnGatewayOp::MemberLeave, "memberLeave", {"room", "user", "reason"}, {}},
    {QnGatewayOp::Kicked, "kicked", {"code", "text"}, {}},
};

const OpInfo *findOp(const QString &name)
{
    for (const OpInfo &info : kOps) {
        if (name == QLatin1String(info.name))
            return &info;
    }
    return nullptr;
}

const OpInfo &infoOf(QnGatewayOp op)
{
    for (const OpInfo &info : kOps) {
        if (info.op == op)
            return info;
    }
    return kOps[0]; // unreachable: every op is listed
}

bool listed(std::initializer_list<const char *> keys, const QString &key)
{
    for (const char *k : keys) {
        if (key == QLatin1String(k))
            return true;
    }
    return false;
}

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

bool readInt(const QJsonValue &v, qint64 min, qint64 max, qint64 *out)
{
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::floor(d) || d < double(min) || d > double(max))
        return false;
    *out = qint64(d);
    return true;
}

bool readText(const QJsonValue &v, int maxChars, bool nonEmpty, QString *out)
{
    if (!v.isString())
        return false;
    const QString s = v.toString();
    if (s.size() > maxChars || (nonEmpty && s.isEmpty()))
        return false;
    *out = s;
    return true;
}

bool readKey(const QString &key, const QJsonValue &v, QnGatewayFrame *out)
{
    qint64 n = 0;
    if (key == QLatin1String("seq")) {
        if (!readInt(v, 0, 0x7fffffff, &n))
            return false;
        out->seq = n;
        return true;
    }
    if (key == QLatin1String("type")) {
        if (!readInt(v, 0, 65535, &n))
            return false;
        out->type = int(n);
        return true;
    }
    if (key == QLatin1String("code")) {
        if (!readInt(v, -0x7fffffff, 0x7fffffff, &n))
            return false;
        out->code = int(n);
        return true;
    }
    if (key == QLatin1String("reason")) {
        if (!readInt(v, 0, 0x7fffffff, &n) ||
            (n != int(QnGatewayLeaveReason::Left) && n != int(QnGatewayLeaveReason::Dropped)))
            return false;
        out->reason = int(n);
        return true;
    }
    if (key == QLatin1String("user"))
        return readText(v, kMaxIdChars, true, &out->user);
    if (key == QLatin1String("room"))
        return readText(v, kMaxIdChars, true, &out->room);
    if (key == QLatin1String("to"))
        return readText(v, kMaxIdChars, true, &out->to);
    if (key == QLatin1String("from"))
        return readText(v, kMaxIdChars, true, &out->from);
    if (key == QLatin1String("msgId"))
        return readText(v, kMaxIdChars, false, &out->msgId);
    if (key == QLatin1String("name"))
        return readText(v, kMaxTextChars, false, &out->name);
    if (key == QLatin1String("text"))
        return readText(v, kMaxTextChars, false, &out->text);
    if (key == QLatin1String("payload")) {
        if (!v.isString())
            return false;
        const QString s = v.toString();
        // Four characters per three bytes, padded: a longer text cannot decode within the limit.
        if (s.size() > (kMaxPayload + 2) / 3 * 4 || s.size() % 4 != 0)
            return false;
        const auto decoded =
            QByteArray::fromBase64Encoding(s.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (decoded.decodingStatus != QByteArray::Base64DecodingStatus::Ok)
            return false;
        // Only canonical text: a re-encoding must give back the same characters.
        if (decoded.decoded.toBase64() != s.toLatin1())
            return false;
        out->payload = decoded.decoded;
        return true;
    }
    return false;
}

} // namespace

ParseResult parseFrame(const QByteArray &frame, QnGatewayFrame *out, QString *error)
{
    if (frame.isEmpty() || frame.size() > kMaxFrameBytes) {
        fail(error, QStringLiteral("frame size %1 out of range").arg(frame.size()));
        return ParseResult::Error;
    }
    // Duplicate keys and deep nesting never reach Qt's parser (see QnJsonScan).
    if (QnJsonScan::scanObject(frame, 8) != QnJsonScan::Result::Used) {
        fail(error, QStringLiteral("not a strict JSON object"));
        return ParseResult::Error;
    }
    QJsonParseError jsonError;
    const QJsonDocument doc = QJsonDocument::fromJson(frame, &jsonError);
    if (jsonError.error != QJsonParseError::NoError || !doc.isObject()) {
        fail(error, QStringLiteral("not a JSON object"));
        return ParseResult::Error;
    }
    const QJsonObject obj = doc.object();
    const QJsonValue opValue = obj.value(QLatin1String("op"));
    const OpInfo *info = opValue.isString() ? findOp(opValue.toString()) : nullptr;
    if (!info) {
        fail(error, QStringLiteral("unknown op"));
        return ParseResult::Error;
    }
    QnGatewayFrame frameOut;
    frameOut.op = info->op;
    for (const char *key : info->required) {
        if (!obj.contains(QLatin1String(key))) {
            fail(error, QStringLiteral("missing \"%1\"").arg(QLatin1String(key)));
            return ParseResult::Error;
        }
    }
    for (auto it = obj.constBegin(); it != obj.constEnd(); ++it) {
        const QString key = it.key();
        if (key == QLatin1String("op"))
            continue;
        if (!listed(info->required, key) && !listed(info->optional, key)) {
            fail(error, QStringLiteral("unexpected key \"%1\"").arg(key.left(32)));
            return ParseResult::Error;
        }
        if (!readKey(key, it.value(), &frameOut)) {
            fail(error, QStringLiteral("bad value for \"%1\"").arg(key));
            return ParseResult::Error;
        }
    }
    *out = frameOut;
    return ParseResult::Used;
}

QByteArray serializeFrame(const QnGatewayFrame &f)
{
    const OpInfo &info = infoOf(f.op);
    QJsonObject obj;
    obj.insert(QStringLiteral("op"), QLatin1String(info.name));
    auto put = [&](const char *key) {
        const QString k = QLatin1String(key);
        if (k == QLatin1String("seq"))
            obj.insert(k, double(f.seq < 0 ? 0 : f.seq));
        else if (k == QLatin1String("type"))
            obj.insert(k, f.type);
        else if (k == QLatin1String("code"))
            obj.insert(k, f.code);
        else if (k == QLatin1String("reason"))
            obj.insert(k, f.reason);
        else if (k == QLatin1String("user"))
            obj.insert(k, f.user);
        else if (k == QLatin1String("name"))
            obj.insert(k, f.name);
        else if (k == QLatin1String("room"))
            obj.insert(k, f.room);
        else if (k == QLatin1String("to"))
            obj.insert(k, f.to);
        else if (k == QLatin1String("from"))
            obj.insert(k, f.from);
        else if (k == QLatin1String("msgId"))
            obj.insert(k, f.msgId);
        else if (k == QLatin1String("text"))
            obj.insert(k, f.text);
        else if (k == QLatin1String("payload"))
            obj.insert(k, QString::fromLatin1(f.payload.toBase64()));
    };
    for (const char *key : info.required)
        put(key);
    if (f.op == QnGatewayOp::Answer && !f.room.isEmpty())
        put("room");
    return QJsonDocument(obj).toJson(QJsonDocument::Compact);
}

const char *opName(QnGatewayOp op)
{
    return infoOf(op).name;
}

} // namespace QnGatewayWire
