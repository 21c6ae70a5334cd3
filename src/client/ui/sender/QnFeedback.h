#pragma once

#include "common/http/HttpResult.h"

#include <QJsonObject>
#include <QString>

/// The feedback form's rules: the text limit, when submitting is allowed, the request body and the
/// meaning of the cloud service's reply. Plain functions; no state.
namespace QnFeedback {

/// The path the feedback is posted to (below the cloud client's base address).
QString path();
/// The longest feedback text kept.
constexpr int kMaxLength = 120;
/// The shortest feedback text that may be submitted.
constexpr int kMinLength = 5;

/// Whether a feedback text of this many characters may be submitted.
bool canSubmit(int length);
/// The counter under the text box: "<length>/120".
QString counterText(int length);

/// The request body: source "QnLynClient", the text, type 1 for a problem report and 2 for a
/// feature request, the contact text, id 0 and status 0.
QJsonObject requestBody(const QString &text, bool problemReport, const QString &contact);

/// What a reply means for the user.
enum class Outcome {
    Ignore,  ///< a status-200 reply to another request: nothing is shown
    Success, ///< status 200 and "code" 200
    Failure, ///< any other status, or "code" missing or not 200
};
Outcome outcome(const HttpResultInfo &reply);

} // namespace QnFeedback
