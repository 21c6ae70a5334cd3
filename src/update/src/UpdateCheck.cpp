#include "update/src/UpdateCheck.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace UpdateCheck {

QString requestPath()
{
    return QStringLiteral("/classroom/v1/appmanager/getupdate");
}

bool parseReply(const QByteArray &body, UpdateOffer *offer)
{
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    const QJsonObject object = doc.isObject() ? doc.object() : QJsonObject();
    if (object.value(QStringLiteral("code")).toInt(0) != 200)
        return false;
    const QJsonObject data = object.value(QStringLiteral("data")).toObject();
    if (!data.value(QStringLiteral("has_update")).toBool(false))
        return false;
    const QJsonObject info = data.value(QStringLiteral("update_info")).toObject();
    offer->appUrl = info.value(QStringLiteral("app_url")).toString();
    offer->version = info.value(QStringLiteral("app_version")).toString();
    offer->content = info.value(QStringLiteral("app_update_desc")).toString();
    offer->md5 = info.value(QStringLiteral("md5")).toString();
    offer->totalSize = sizeValue(info.value(QStringLiteral("app_size")));
    offer->force = info.value(QStringLiteral("app_force_update")).toInt(0);
    return true;
}

qint64 sizeValue(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double d = std::round(value.toDouble());
        // Beyond 2^62 nothing is a real package size; it also keeps the conversion defined.
        if (!std::isfinite(d) || d < 0 || d > 4.6e18)
            return 0;
        return static_cast<qint64>(d);
    }
    if (value.isString()) {
        const QString text = value.toString();
        if (text.isEmpty() || text.size() > 18)
            return 0;
        for (const QChar c : text) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return 0;
        }
        return text.toLongLong();
    }
    return 0;
}

QStringList versionParts(const QString &version)
{
    QStringList parts = version.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    parts.removeAll(QStringLiteral(" "));
    return parts;
}

int evaluateState(const QString &version, const QString &major, const QString &minor, const QString &patch,
                  int force)
{
    const QStringList parts = versionParts(version);
    if (parts.size() < 3)
        return -1;
    const int server[3] = {parts.at(0).toInt(), parts.at(1).toInt(), parts.at(2).toInt()};
    const int local[3] = {major.toInt(), minor.toInt(), patch.toInt()};
    int state = 0;
    for (int i = 0; i < 3; ++i) {
        if (server[i] != local[i]) {
            state = server[i] > local[i] ? 1 : 0;
            break;
        }
    }
    if (state == 1 && force == 1)
        state = 2;
    return state;
}

} // namespace UpdateCheck
