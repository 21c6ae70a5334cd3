#include "client/ui/account/QnAccountRules.h"

#include <QJsonValue>
#include <QRegularExpression>

namespace QnAccountRules {

bool isPhoneNumber(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^1([358][0-9]|4[579]|66|7[0135678]|9[89])[0-9]{8}$"));
    return re.match(text).hasMatch();
}

bool isValidPassword(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[0-9a-zA-Z_]{6,16}$"));
    return re.match(text).hasMatch();
}

QString eyeStyle(EyeState state)
{
    switch (state) {
    case EyeState::Hidden:
        return QStringLiteral(
            "QLabel{border:0px;background:#F0F0F0;image: url(:/img/hidepass.svg);padding:10px;}");
    case EyeState::Shown:
        return QStringLiteral(
            "QLabel{border:0px;background:#F0F0F0;image: url(:/img/showpass.svg);padding:10px;}");
    case EyeState::NoIcon:
        break;
    }
    return QStringLiteral("QLabel{border:0px;background:#F0F0F0;padding:10px;}");
}

EyeState eyeStateFor(const QString &text, QLineEdit::EchoMode mode)
{
    if (text.isEmpty())
        return EyeState::NoIcon;
    return mode == QLineEdit::Normal ? EyeState::Shown : EyeState::Hidden;
}

int replyCode(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("code")).toInt(0);
}

QString dataString(const QJsonObject &reply)
{
    return reply.value(QStringLiteral("data")).toString();
}

QString refusalText(const HttpResultInfo &result, const QString &fallback)
{
    const QString msg = result.replyObject.value(QStringLiteral("msg")).toString().trimmed();
    if (msg.isEmpty())
        return fallback;
    return msg.left(60);
}

bool isHeadImageTooLarge(qint64 bytes)
{
    return bytes / 1024 / 1024 > 10;
}

bool isOpenableWebUrl(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace QnAccountRules
