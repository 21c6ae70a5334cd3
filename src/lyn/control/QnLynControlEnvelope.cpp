#include "lyn/control/QnLynControlEnvelope.h"

#include "common/json/QnPeerJson.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QUuid>

#include <cmath>
#include <limits>

namespace QnLynControl {
namespace {

QJsonObject parseObject(const QByteArray &bytes, bool *isObject)
{
    *isObject = false;
    if (bytes.isEmpty() || bytes.size() > kMaxControlBytes)
        return QJsonObject();
    const std::optional<QJsonObject> parsed = parsePeerObject(bytes);
    if (!parsed)
        return QJsonObject();
    *isObject = true;
    return *parsed;
}

QString connectFailedText()
{
    return QCoreApplication::translate("QnLynHttp", "Connect to the server failed");
}

} // namespace

QString newRequestId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray buildEnvelope(const QString &userId, const QString &nickName, int type, const QString &id,
                         const QJsonObject &data)
{
    QJsonObject envelope;
    envelope.insert(QStringLiteral("userId"), userId);
    envelope.insert(QStringLiteral("nickName"), nickName);
    envelope.insert(QStringLiteral("type"), type);
    envelope.insert(QStringLiteral("id"), id);
    envelope.insert(QStringLiteral("data"), data);
    return QJsonDocument(envelope).toJson(QJsonDocument::Compact);
}

int toInt(const QJsonValue &value)
{
    if (!value.isDouble())
        return 0;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d < double(std::numeric_limits<int>::min()) ||
        d > double(std::numeric_limits<int>::max()))
        return 0;
    return int(d);
}

Answer parseAnswer(const QByteArray &bytes)
{
    Answer answer;
    bool isObject = false;
    const QJsonObject obj = parseObject(bytes, &isObject);
    if (!isObject) {
        answer.errorText = connectFailedText();
        return answer;
    }
    const QJsonValue data = obj.value(QLatin1String("data"));
    if (data.isObject())
        answer.data = data.toObject();
    const QJsonValue code = obj.value(QLatin1String("code"));
    if (code.isUndefined()) {
        answer.errorText = connectFailedText();
        return answer;
    }
    if (code.isDouble() && code.toDouble() == 0.0) {
        answer.success = true;
        return answer;
    }
    const QString msg = obj.value(QLatin1String("msg")).toString();
    answer.errorText = msg.isEmpty() ? connectFailedText() : msg;
    return answer;
}

AnswerHead parseAnswerHead(const QByteArray &bytes)
{
    AnswerHead head;
    const QJsonObject obj = parseObject(bytes, &head.isObject);
    head.id = obj.value(QLatin1String("id")).toString();
    const QJsonValue code = obj.value(QLatin1String("code"));
    head.hasCode = code.isDouble();
    head.code = toInt(code);
    return head;
}

Request parseRequest(const QByteArray &bytes)
{
    Request r;
    const QJsonObject obj = parseObject(bytes, &r.isObject);
    const QJsonValue type = obj.value(QLatin1String("type"));
    const QJsonValue userId = obj.value(QLatin1String("userId"));
    r.hasType = !type.isUndefined();
    r.hasUserId = !userId.isUndefined();
    r.type = toInt(type);
    r.userId = userId.toString();
    r.nickName = obj.value(QLatin1String("nickName")).toString();
    r.ip = obj.value(QLatin1String("ip")).toString();
    r.id = obj.value(QLatin1String("id")).toString();
    r.data = obj.value(QLatin1String("data")).toObject();
    return r;
}

bool isSafePeerId(const QString &id)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    return pattern.match(id).hasMatch();
}

bool isSafeFileName(const QString &name)
{
    return !name.isEmpty() && name.size() <= 255 && !name.contains(QLatin1Char('/')) &&
           !name.contains(QLatin1Char('\\')) && !name.contains(QLatin1String("..")) &&
           !name.contains(QChar(0));
}

} // namespace QnLynControl
