#pragma once

#include "common/http/HttpResult.h"

#include <QJsonObject>
#include <QLineEdit>
#include <QString>
#include <QUrl>

/// The rules the client's account pages apply without pixels: field formats, the eye toggle's
/// look, reply reading, the head-image size limit and which web addresses may be opened.
namespace QnAccountRules {

/// Platform code of the client's own pages, sent as a string.
inline constexpr const char kPlatformCode[] = "11";

// Account service paths used by the client's pages (below the cloud client's base address).
inline constexpr const char kIsUse[] = "/user/user/hero/phone/isUse";
inline constexpr const char kLogin[] = "/user/user/login";
inline constexpr const char kPhoneCaptcha[] = "/user/user/register/phoneCaptcha/"; ///< + phone
inline constexpr const char kForgetPassCode[] = "/user/user/getForgetPassCode/";   ///< + phone
inline constexpr const char kCheckRegisterCode[] = "/user/user/hero/check/registerCode";
inline constexpr const char kCheckForgetCode[] = "/user/user/check/forgetPasswordCode";
inline constexpr const char kRegisterPhone[] = "/user/user/register/phone";
inline constexpr const char kForgetPassUpdate[] = "/user/user/app/forgetPassUpdate";
inline constexpr const char kUserAgreement[] = "/basic/userAgreement/hero/userAgreement?pfid=11&type=2";
inline constexpr const char kCheckPassword[] = "/user/user/check/password";
inline constexpr const char kUpdatePassword[] = "/user/user/updatePassword";
inline constexpr const char kModMobile[] = "/user/edu/mod/mobile";
inline constexpr const char kModifyUser[] = "/user/user/modify/user";
inline constexpr const char kUploadFile[] = "/basic/upload/hero/file";

/// An eleven-digit mainland mobile number of the accepted ranges (the whole text must match).
bool isPhoneNumber(const QString &text);
/// 6 to 16 ASCII letters, digits or underscores.
bool isValidPassword(const QString &text);

/// The three looks of a password field's eye toggle.
enum class EyeState { NoIcon, Hidden, Shown };
/// The style sheet of a look.
QString eyeStyle(EyeState state);
/// The look for a field's text and echo mode: empty text has no icon. Other echo modes than
/// Normal and Password give NoIcon only for empty text and otherwise Hidden.
EyeState eyeStateFor(const QString &text, QLineEdit::EchoMode mode);

/// "code" of a reply as an integer; 0 when missing or not a number (a string "200" is 0).
int replyCode(const QJsonObject &reply);
/// "data" of a reply as a string; "" when missing or not a string.
QString dataString(const QJsonObject &reply);
/// The text to show for a refused or failed request: the reply's "msg" when it has one (cut to
/// 60 characters), else fallback.
QString refusalText(const HttpResultInfo &result, const QString &fallback);

/// Head pictures of 11 MiB or more (whole mebibytes, rounded down, above 10) are refused.
bool isHeadImageTooLarge(qint64 bytes);

/// True for an absolute http or https address with a host: the only addresses that a page opens
/// in the system's browser.
bool isOpenableWebUrl(const QUrl &url);

} // namespace QnAccountRules
