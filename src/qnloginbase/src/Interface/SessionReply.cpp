#include "qnloginbase/src/Interface/SessionReply.h"

#include "common/log/QnLog.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

QString SessionReply::dataString() const
{
    const QJsonValue data = object.value(QLatin1String("data"));
    if (data.isString())
        return data.toString();
    if (data.isDouble()) {
        const double number = data.toDouble();
        if (number == double(qint64(number)))
            return QString::number(qint64(number));
    }
    return QString();
}

QJsonObject SessionReply::dataObject() const
{
    return object.value(QLatin1String("data")).toObject();
}

bool parseReply(const QByteArray &body, SessionReply &reply)
{
    reply = SessionReply();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        reply.msg = QCoreApplication::translate("HttpSession", "json format error");
        return false;
    }
    reply.object = doc.object();
    reply.msg = reply.object.value(QLatin1String("msg")).toString();
    reply.errorMsg = reply.object.value(QLatin1String("errorMsg")).toString();
    const QJsonValue code = reply.object.value(QLatin1String("code"));
    reply.code = code.isDouble() ? code.toInt() : 0;
    return reply.ok();
}

namespace QnAccountService {

namespace {

bool isSecretKey(const QString &key)
{
    static const QSet<QString> secrets = {
        QStringLiteral("password"),  QStringLiteral("newPassword"),  QStringLiteral("oldPassword"),
        QStringLiteral("captcha"),   QStringLiteral("verCode"),      QStringLiteral("token"),
        QStringLiteral("app_token"), QStringLiteral("access_token"), QStringLiteral("qrCodeId"),
        QStringLiteral("pwd"),       QStringLiteral("refresh_token")};
    return secrets.contains(key);
}

QJsonValue redactValue(const QJsonValue &value);

QJsonObject redactObject(const QJsonObject &object)
{
    QJsonObject out;
    for (auto it = object.begin(); it != object.end(); ++it) {
        // "code" is the envelope's status when it is a number and a verification code when text.
        const bool secret =
            isSecretKey(it.key()) || (it.key() == QLatin1String("code") && !it.value().isDouble());
        if (secret)
            out.insert(it.key(),
                       QnLog::redacted(it.value().isString() ? it.value().toString() : QStringLiteral("?")));
        else
            out.insert(it.key(), redactValue(it.value()));
    }
    return out;
}

QJsonValue redactValue(const QJsonValue &value)
{
    if (value.isObject())
        return redactObject(value.toObject());
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue &item : value.toArray())
            out.append(redactValue(item));
        return out;
    }
    return value;
}

QString capped(const QString &text, int maxChars)
{
    if (text.size() <= maxChars)
        return text;
    return text.left(maxChars) + QStringLiteral("...(%1 chars)").arg(text.size());
}

} // namespace

QString redactedForLog(const QJsonObject &object, int maxChars)
{
    return capped(QString::fromUtf8(QJsonDocument(redactObject(object)).toJson(QJsonDocument::Compact)),
                  maxChars);
}

QString redactedForLog(const QByteArray &body, int maxChars)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (!doc.isObject())
        return QStringLiteral("<%1 bytes, not a JSON object>").arg(body.size());
    return redactedForLog(doc.object(), maxChars);
}

} // namespace QnAccountService
