#include "qnloginbase/src/Interface/HttpSession.h"

#include "common/log/QnLog.h"
#include "qnloginbase/src/Interface/AccountServiceConstants.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <utility>

Q_LOGGING_CATEGORY(lcSession, "qn.login.session")

using namespace QnAccountService;

namespace {

constexpr int kQrLifeTicks = 60;
const char kDefaultHead[] = ":/RiDovud/res/icon/default_head.png";

QString path(const char *p)
{
    return QString::fromLatin1(p);
}

} // namespace

HttpSession *HttpSession::instance()
{
    // One per process, never destroyed: pages and the root window hold it until exit.
    static HttpSession *const session = new HttpSession();
    return session;
}

HttpSession::HttpSession(QObject *parent)
    : QObject(parent)
    , m_nam(new QNetworkAccessManager(this))
    , m_gatewayBaseUrl(QnAccountService::gatewayBaseUrl())
{
    qRegisterMetaType<VerifyType>();
    // Redirects are not followed: a redirected request fails like any other non-JSON reply.
    m_nam->setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
    // One relay for the life of the session, whatever the number of logins.
    connect(&m_user, &QnBoard::User::finish, this, &HttpSession::updateHeadIcon);
}

HttpSession::~HttpSession() = default;

void HttpSession::setQrIntervals(int countdownTickMs, int pollMs)
{
    m_countdownTickMs = countdownTickMs;
    m_pollMs = pollMs;
    if (m_countdownTimer)
        m_countdownTimer->setInterval(m_countdownTickMs);
    if (m_pollTimer)
        m_pollTimer->setInterval(m_pollMs);
}

bool HttpSession::isQrPolling() const
{
    return m_pollTimer && m_pollTimer->isActive();
}

QNetworkReply *HttpSession::get(const QString &path)
{
    QNetworkRequest request(QUrl(m_gatewayBaseUrl + path, QUrl::TolerantMode));
    request.setTransferTimeout(m_transferTimeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader(QByteArrayLiteral("device_type"), QByteArrayLiteral("client"));
    // Sent also while empty (before a login); a null value would drop the header.
    request.setRawHeader(QByteArrayLiteral("access_token"),
                         m_token.isEmpty() ? QByteArrayLiteral("") : m_token.toLatin1());
    qCDebug(lcSession) << "GET" << path.left(200);
    return m_nam->get(request);
}

QNetworkReply *HttpSession::post(const QString &path, const QJsonObject &body,
                                 const QHash<QByteArray, QByteArray> &headers)
{
    QNetworkRequest request(QUrl(m_gatewayBaseUrl + path, QUrl::TolerantMode));
    request.setTransferTimeout(m_transferTimeoutMs);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader(QByteArrayLiteral("device_type"), QByteArrayLiteral("client"));
    for (auto it = headers.begin(); it != headers.end(); ++it)
        request.setRawHeader(it.key(), it.value());
    qCDebug(lcSession) << "POST" << path << "para:" << redactedForLog(body);
    return m_nam->post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

void HttpSession::handle(QNetworkReply *reply, const char *tag, Handler handler, bool secretData)
{
    connect(reply, &QNetworkReply::finished, this, [reply, tag, secretData, handler = std::move(handler)] {
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        if (reply->error() != QNetworkReply::NoError)
            qCDebug(lcSession) << tag << "network error" << int(reply->error());
        SessionReply parsed;
        const bool ok = parseReply(body, parsed);
        if (secretData) // the payload itself is a credential (a QR code id)
            qCDebug(lcSession) << tag << "code" << parsed.code << "data"
                               << QnLog::redacted(parsed.dataString());
        else
            qCDebug(lcSession) << tag << redactedForLog(body);
        handler(parsed, ok);
    });
}

void HttpSession::setToken(const QString &token)
{
    m_token = token;
    if (QCoreApplication *app = QCoreApplication::instance())
        app->setProperty("token", token);
}

void HttpSession::setUser(const QJsonObject &object)
{
    m_user = QnBoard::User::fromJson(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
    m_user.localHeadPath = QString::fromLatin1(kDefaultHead);
    m_user.headPath =
        QnBoard::User::avatarUrl(m_gatewayBaseUrl, object.value(QLatin1String("headPath")).toString())
            .toString(QUrl::FullyEncoded);
    if (m_user.headPath.isEmpty()) {
        qCDebug(lcSession) << "no usable head image path; the default head stays";
        emit updateHeadIcon(m_user.uuid);
        return;
    }
    m_user.downloadAvatar();
}

// Password login --------------------------------------------------------------------------------

void HttpSession::checkAccount(const QString &username, const QString &password)
{
    m_accountNotRegistered = 0; // the flag describes this check only
    QNetworkReply *reply = post(path(kPhoneIsUse), {{QStringLiteral("username"), username}});
    handle(reply, "step1:", [this, username, password](const SessionReply &r, bool ok) {
        if (!ok) {
            emit loginResult(false, tr("Login abnormal, please try again"));
        } else if (r.dataString() == QLatin1String("0")) {
            m_accountNotRegistered = 1;
            emit loginResult(false, tr("Mobile phone number is not registered"));
        } else {
            checkAuthority(username, password);
        }
    });
}

void HttpSession::checkAuthority(const QString &username, const QString &password)
{
    QNetworkReply *reply = post(path(kDeviceTypeLogin), {{QStringLiteral("username"), username},
                                                         {QStringLiteral("loginType"), QStringLiteral("1")}});
    handle(reply, "step2:", [this, username, password](const SessionReply &, bool ok) {
        if (ok)
            checkLogin(username, password);
        else
            emit loginResult(false, tr("Account password error"));
    });
}

void HttpSession::checkLogin(const QString &username, const QString &password)
{
    QNetworkReply *reply =
        post(path(kLogin), {{QStringLiteral("username"), username},
                            {QStringLiteral("password"), password},
                            {QStringLiteral("platformCode"), QLatin1String(kPlatformCode)}});
    handle(reply, "step3:", [this](const SessionReply &r, bool ok) {
        if (!ok) {
            emit loginResult(false, r.code == 2008 ? tr("The account does not exist or has been deleted")
                                                   : tr("Account password error"));
            return;
        }
        const QJsonObject data = r.dataObject();
        const QString token = data.value(QLatin1String("app_token")).toString();
        const QJsonValue user = data.value(QLatin1String("user"));
        if (token.isEmpty() || !user.isObject()) {
            // A success without a token or a user is no sign-in.
            qCWarning(lcSession) << "login reply without token or user";
            emit loginResult(false, tr("Login abnormal, please try again"));
            return;
        }
        setToken(token);
        setUser(user.toObject());
        checkUserInfo();
    });
}

void HttpSession::checkUserInfo()
{
    QNetworkReply *reply = post(path(kPersonalInfo), {{QStringLiteral("userId"), m_user.uuid}},
                                {{QByteArrayLiteral("access_token"), m_token.toLatin1()}});
    handle(reply, "step4:", [this](const SessionReply &, bool ok) {
        if (ok) {
            emit loginResult(true);
        } else {
            setToken(QString());
            emit loginResult(false, tr("Account password error"));
        }
    });
}

// QR login --------------------------------------------------------------------------------------

void HttpSession::startQR()
{
    if (!m_countdownTimer) {
        m_countdownTimer = new QTimer(this);
        m_countdownTimer->setInterval(m_countdownTickMs);
        connect(m_countdownTimer, &QTimer::timeout, this, &HttpSession::onCountdownTick);
    }
    if (!m_pollTimer) {
        m_pollTimer = new QTimer(this);
        m_pollTimer->setInterval(m_pollMs);
        connect(m_pollTimer, &QTimer::timeout, this, &HttpSession::onPollTick);
    }
    checkQR();
}

void HttpSession::stopQR()
{
    m_qrCodeId.clear();
    const QList<QPointer<QNetworkReply>> replies = std::exchange(m_qrReplies, {});
    for (const QPointer<QNetworkReply> &reply : replies) {
        if (reply)
            reply->abort(); // finishes at once; its handler sees no id and does nothing
    }
    if (m_countdownTimer)
        m_countdownTimer->stop();
    if (m_pollTimer)
        m_pollTimer->stop();
}

QNetworkReply *HttpSession::trackQr(QNetworkReply *reply)
{
    m_qrReplies.removeAll(nullptr);
    m_qrReplies.append(reply);
    return reply;
}

void HttpSession::checkQR()
{
    handle(
        trackQr(get(path(kCreateQrCodeId))), "checkQR:",
        [this](const SessionReply &r, bool ok) {
            if (!ok)
                return;
            m_qrCodeId = r.dataString();
            emit loginQRRs(m_qrCodeId);
            qCDebug(lcSession) << "qrIdData = " << QnLog::redacted(m_qrCodeId);
            m_countdown = kQrLifeTicks;
            if (m_countdownTimer)
                m_countdownTimer->start(m_countdownTickMs);
            if (m_pollTimer)
                m_pollTimer->start(m_pollMs);
        },
        true);
}

void HttpSession::onCountdownTick()
{
    if (m_countdown > 0)
        --m_countdown;
    if (m_countdown == 0) {
        m_countdown = kQrLifeTicks;
        m_countdownTimer->stop();
        checkQR();
    }
}

void HttpSession::onPollTick()
{
    if (m_qrCodeId.isEmpty()) {
        qCDebug(lcSession) << "qrid=======";
        return;
    }
    pollQRStatus();
}

void HttpSession::pollQRStatus()
{
    if (m_qrCodeId.isEmpty())
        return;
    handle(trackQr(post(path(kQrCodeLoginStatus), {{QStringLiteral("qrCodeId"), m_qrCodeId}})),
           "qrStatus:", [this](const SessionReply &r, bool ok) {
               if (!ok || m_qrCodeId.isEmpty()) // failed, or the QR login has ended meanwhile
                   return;
               const QJsonObject data = r.dataObject();
               const QString token = data.value(QLatin1String("token")).toString();
               const QJsonValue user = data.value(QLatin1String("user"));
               if (token.isEmpty() || !user.isObject())
                   return; // not confirmed yet
               stopQR();   // signed in: no later poll may sign in again
               setToken(token);
               setUser(user.toObject());
               checkUserInfo();
           });
}

// Phone codes, reset, registration ------------------------------------------------------------

void HttpSession::getVerifyCode(VerifyType type, const QString &phone)
{
    handle(post(path(kPhoneIsUse), {{QStringLiteral("username"), phone}}),
           "verifyCheck:", [this, type, phone](const SessionReply &r, bool ok) {
               if (!ok) {
                   qCDebug(lcSession) << "code request refused:" << r.msg << r.errorMsg;
                   emit getVerifyCodeRs(type, false, tr("Captcha retrieval failed"));
               } else if (type == VerifyType::ForgetPassword && r.dataString() == QLatin1String("0")) {
                   emit getVerifyCodeRs(type, false, tr("Mobile phone number is not registered"));
               } else if (type == VerifyType::Register && r.dataString() != QLatin1String("0")) {
                   emit getVerifyCodeRs(type, false, tr("Phone is use"));
               } else {
                   requestCode(type, phone);
               }
           });
}

void HttpSession::requestCode(VerifyType type, const QString &phone)
{
    const char *base = type == VerifyType::ForgetPassword ? kForgetPassCode : kRegisterPhoneCaptcha;
    // The number is one path segment: anything but digits is percent-encoded.
    const QString target =
        path(base) + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(phone));
    handle(get(target), "verifyCode:", [this, type](const SessionReply &r, bool ok) {
        if (ok) {
            emit getVerifyCodeRs(type, true);
        } else {
            qCDebug(lcSession) << "code not sent:" << r.msg << r.errorMsg;
            emit getVerifyCodeRs(type, false, r.msg);
        }
    });
}

void HttpSession::checkVerifyCode(VerifyType type, const QString &phone, const QString &code)
{
    const char *target = type == VerifyType::ForgetPassword ? kCheckForgetPasswordCode : kCheckRegisterCode;
    handle(post(path(target), {{QStringLiteral("username"), phone}, {QStringLiteral("code"), code}}),
           "checkCode:", [this, type](const SessionReply &, bool ok) {
               if (ok)
                   emit checkVerifyCodeRs(type, true);
               else
                   emit checkVerifyCodeRs(type, false, tr("Captcha error"));
           });
}

void HttpSession::setUserPwd(VerifyType type, const QString &phone, const QString &password,
                             const QString &code)
{
    QNetworkReply *reply = nullptr;
    if (type == VerifyType::ForgetPassword) {
        reply = post(path(kForgetPassUpdate), {{QStringLiteral("code"), code},
                                               {QStringLiteral("username"), phone},
                                               {QStringLiteral("password"), password}});
    } else {
        reply = post(path(kRegisterPhone), {{QStringLiteral("captcha"), code},
                                            {QStringLiteral("pfId"), QLatin1String(kClientPlatformCode)},
                                            {QStringLiteral("username"), phone},
                                            {QStringLiteral("password"), password}});
    }
    handle(reply, "setUserPwd:", [this, type](const SessionReply &r, bool ok) {
        if (ok)
            emit setUserPwdRs(type, true);
        else if (type == VerifyType::Register)
            emit setUserPwdRs(type, false, tr("The phone number has been registered"));
        else
            emit setUserPwdRs(type, false, r.msg);
    });
}
