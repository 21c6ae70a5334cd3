#include "lyn/upload/QnLynUploadAnswer.h"

#include "common/json/QnPeerJson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

QnLynUploadAnswer parseUploadAnswer(const QByteArray &body, const QHash<QString, QString> &pathByName)
{
    QnLynUploadAnswer answer;
    if (body.isEmpty())
        return answer;
    const std::optional<QJsonObject> parsed = parsePeerObject(body);
    if (!parsed)
        return answer;
    const QJsonObject &object = *parsed;
    const QJsonValue code = object.value(QStringLiteral("code"));
    const QJsonValue dataValue = object.value(QStringLiteral("data"));
    // Some receivers leave "code" out of a successful answer but still list the stored files.
    const bool implicitSuccess = code.isUndefined() && dataValue.isArray();
    if (!implicitSuccess && (!code.isDouble() || code.toDouble() != 0.0))
        return answer;
    answer.accepted = true;

    QSet<QString> seen;
    const QJsonArray data = dataValue.toArray();
    for (const QJsonValue &element : data) {
        const QJsonObject entry = element.toObject();
        const QString name = entry.value(QStringLiteral("filename")).toString();
        const auto it = pathByName.constFind(name);
        if (it == pathByName.constEnd() || seen.contains(name))
            continue;
        seen.insert(name);
        answer.stored.append({it.value(), entry.value(QStringLiteral("url")).toString()});
    }
    return answer;
}
