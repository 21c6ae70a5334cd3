#include "client/ui/sender/QnFeedback.h"

namespace QnFeedback {

QString path()
{
    return QStringLiteral("/basic/feedbackManage/hero/addFeedback");
}

bool canSubmit(int length)
{
    return length >= kMinLength;
}

QString counterText(int length)
{
    return QStringLiteral("%1/%2").arg(length).arg(kMaxLength);
}

QJsonObject requestBody(const QString &text, bool problemReport, const QString &contact)
{
    QJsonObject body;
    body.insert(QStringLiteral("feedbackSource"), QStringLiteral("QnLynClient"));
    body.insert(QStringLiteral("feedbackInfo"), text);
    body.insert(QStringLiteral("feedbackType"), problemReport ? 1 : 2);
    body.insert(QStringLiteral("feedbackMobile"), contact);
    body.insert(QStringLiteral("feedbackId"), 0);
    body.insert(QStringLiteral("feedbackStatus"), 0);
    return body;
}

Outcome outcome(const HttpResultInfo &reply)
{
    if (reply.statusCode != 200)
        return Outcome::Failure;
    if (reply.requestPath != path())
        return Outcome::Ignore;
    return reply.replyObject.value(QStringLiteral("code")).toInt(0) == 200 ? Outcome::Success
                                                                           : Outcome::Failure;
}

} // namespace QnFeedback
