#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

/// One reply of the account service, parsed from its envelope {code, msg, errorMsg, data}.
struct SessionReply
{
    QJsonObject object; ///< the whole reply; empty when the body was not a JSON object
    QString msg;        ///< "msg", or "json format error" when the body was not a JSON object
    QString errorMsg;   ///< "errorMsg"
    int code = 0;       ///< "code" when it is a JSON number; 0 when missing or of another type

    /// True exactly when "code" is the number 200.
    bool ok() const { return code == 200; }
    /// "data" as text: a string as is, an integral number as decimal digits, anything else "".
    QString dataString() const;
    /// "data" as an object; {} when missing or of another type.
    QJsonObject dataObject() const;
};

/// Applies the envelope rule to a body; returns reply.ok(). A body that is not a JSON object (also
/// an empty body: network error, time-out, redirect) gives msg "json format error" and fails.
bool parseReply(const QByteArray &body, SessionReply &reply);

namespace QnAccountService {

/// Body text for the log: a JSON body with every secret value (passwords, codes, captchas, tokens,
/// QR code ids) replaced by a placeholder, at any depth, capped at maxChars; a body that is not
/// JSON only by its size. Never returns a secret.
QString redactedForLog(const QByteArray &body, int maxChars = 600);
QString redactedForLog(const QJsonObject &object, int maxChars = 600);

} // namespace QnAccountService
