#pragma once

#include <QString>

/// The account service's REST interface as the login library speaks it: paths under the gateway
/// base URL, the platform code and the web pages. The service's addresses are configuration (the
/// settings' "system"/"cloudUrl" and "system"/"webUrl", read through the cloud HTTP client).
namespace QnAccountService {

inline constexpr const char kPlatformCode[] = "203";      ///< the library's platform code
inline constexpr const char kClientPlatformCode[] = "11"; ///< the program's own account pages
inline constexpr const char kRegisterWebPath[] = "/skorra/#/register?source=1";
inline constexpr const char kPersonalWebPath[] = "/skorra/#/group/personal?key=%1";

// Paths under the gateway base URL.
inline constexpr const char kPhoneIsUse[] = "/user/user/hero/phone/isUse";
inline constexpr const char kDeviceTypeLogin[] = "/user/edu/hero/check/deviceType/login";
inline constexpr const char kLogin[] = "/user/user/login";
inline constexpr const char kPersonalInfo[] = "/user/edu/cloud/get/personal/info";
inline constexpr const char kCreateQrCodeId[] = "/user/user/hero/createQrCodeId";
inline constexpr const char kQrCodeLoginStatus[] = "/user/user/hero/qrCode/loginStatus";
inline constexpr const char kForgetPassCode[] = "/user/user/getForgetPassCode";           ///< + "/" + phone
inline constexpr const char kRegisterPhoneCaptcha[] = "/user/user/register/phoneCaptcha"; ///< + "/" + phone
inline constexpr const char kCheckForgetPasswordCode[] = "/user/user/check/forgetPasswordCode";
inline constexpr const char kCheckRegisterCode[] = "/user/user/hero/check/registerCode";
inline constexpr const char kForgetPassUpdate[] = "/user/user/app/forgetPassUpdate";
inline constexpr const char kRegisterPhone[] = "/user/user/register/phone";
inline constexpr const char kLogout[] = "/user/user/logout";

/// The gateway base URL: the configured service address followed by "/gateway" (empty service
/// address: "/gateway", on which every request fails).
QString gatewayBaseUrl();
/// The configured account web site address (no path).
QString webBaseUrl();
/// The registration web page: web base URL + register path + "&platformCode=" + platform code.
QString registerWebUrl(const QString &webBase);

} // namespace QnAccountService
