#pragma once

#include "qnloginbase/src/Interface/QnBoardUser.h"
#include "qnloginbase/src/Interface/SessionReply.h"

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

/// The two phone-code flows.
enum class VerifyType {
    ForgetPassword = 0, ///< password reset
    Register = 1,       ///< registration
};
Q_DECLARE_METATYPE(VerifyType)

/// The login library's client of the account service and the holder of the signed-in state: the
/// user record and the access token (also published as the application's property "token").
///
/// Runs the four-step password login (checkAccount -> checkAuthority -> checkLogin ->
/// checkUserInfo), the QR-code login (a code id that lives 60 countdown ticks, polled until a token
/// arrives), and the phone-code, password-reset and registration requests. Every operation returns
/// at once; results come as signals. Each request has a transfer time-out (5000 ms); a network
/// error, time-out, redirect or non-JSON body takes the failure path of its request. Every failure
/// ends in exactly one result signal with result false and a translated text.
///
/// GUI thread only. Replies are children of the session's network access manager: a session that
/// is destroyed takes its requests with it and nothing is reported afterwards. Request and reply
/// bodies go to the log with passwords, codes and tokens redacted.
class HttpSession : public QObject
{
    Q_OBJECT
public:
    /// The process-wide session, created on first use over the configured gateway base URL.
    static HttpSession *instance();

    /// A session over the configured gateway base URL (tests make their own and point it at a
    /// fixture with setGatewayBaseUrl).
    explicit HttpSession(QObject *parent = nullptr);
    ~HttpSession() override;

    void setGatewayBaseUrl(const QString &url) { m_gatewayBaseUrl = url; }
    QString gatewayBaseUrl() const { return m_gatewayBaseUrl; }
    /// Transfer time-out of every request (5000 ms).
    void setTransferTimeout(int ms) { m_transferTimeoutMs = ms; }
    /// Periods of the QR countdown tick (1000 ms) and of the status poll (2000 ms).
    void setQrIntervals(int countdownTickMs, int pollMs);

    /// Password login, step 1: is the number registered? Clears accountNotRegistered().
    void checkAccount(const QString &username, const QString &password);
    /// Step 2: may this account sign in on this kind of device?
    void checkAuthority(const QString &username, const QString &password);
    /// Step 3: the password login proper; a success sets the token and the user.
    void checkLogin(const QString &username, const QString &password);
    /// Step 4: personal information with the token; ends the login with loginResult.
    void checkUserInfo();

    /// Starts the QR login: requests a code id, then counts it down and polls its status.
    void startQR();
    /// Ends the QR login: no id, both timers stopped, QR requests in flight aborted.
    void stopQR();
    /// Requests a new QR code id (loginQRRs on success).
    void checkQR();

    /// Asks for a verification code: checks the number's registration, then has a code sent.
    void getVerifyCode(VerifyType type, const QString &phone);
    void checkVerifyCode(VerifyType type, const QString &phone, const QString &code);
    /// Sets a new password (reset) or registers the account (register).
    void setUserPwd(VerifyType type, const QString &phone, const QString &password, const QString &code);

    const QnBoard::User &user() const { return m_user; }
    QString token() const { return m_token; }
    /// 1 when the latest password login found the number unregistered, else 0.
    int accountNotRegistered() const { return m_accountNotRegistered; }
    QString qrCodeId() const { return m_qrCodeId; }
    int countdown() const { return m_countdown; }
    bool isQrPolling() const;

Q_SIGNALS:
    void loginResult(bool result, const QString &err = QString());
    void loginQRRs(const QString &id);
    void getVerifyCodeRs(VerifyType type, bool result, const QString &err = QString());
    void checkVerifyCodeRs(VerifyType type, bool result, const QString &err = QString());
    void setUserPwdRs(VerifyType type, bool result, const QString &err = QString());
    /// The user's head image is ready (or failed and the default stays): id is the user's uuid.
    void updateHeadIcon(const QString &id);

private:
    using Handler = std::function<void(const SessionReply &reply, bool ok)>;

    QNetworkReply *get(const QString &path);
    QNetworkReply *post(const QString &path, const QJsonObject &body,
                        const QHash<QByteArray, QByteArray> &headers = {});
    /// Reads, logs (redacted; secretData: without the payload) and parses the reply, then calls
    /// handler; the reply is deleted afterwards.
    void handle(QNetworkReply *reply, const char *tag, Handler handler, bool secretData = false);
    void setToken(const QString &token);
    void setUser(const QJsonObject &user);
    void pollQRStatus();
    QNetworkReply *trackQr(QNetworkReply *reply);
    void onCountdownTick();
    void onPollTick();
    void requestCode(VerifyType type, const QString &phone);

    QNetworkAccessManager *m_nam; // child
    QnBoard::User m_user;
    QString m_token;
    QTimer *m_countdownTimer = nullptr; // child, made by startQR
    QTimer *m_pollTimer = nullptr;      // child, made by startQR
    int m_countdown = 60;
    QString m_qrCodeId;
    QList<QPointer<QNetworkReply>> m_qrReplies; // QR requests in flight, aborted by stopQR
    int m_accountNotRegistered = 0;

    QString m_gatewayBaseUrl;
    int m_transferTimeoutMs = 5000;
    int m_countdownTickMs = 1000;
    int m_pollMs = 2000;
};
