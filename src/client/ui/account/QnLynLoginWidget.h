#pragma once

#include "client/ui/account/QnLoginUserInfo.h"
#include "common/http/HttpResult.h"

#include <QHostInfo>
#include <QWidget>

#include <memory>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QnCredentialStore;
class QnLoginCredentials;
class QnPasswordEye;

/// The client's own sign-in page: phone number and password, checked in the order format ->
/// internet (a host look-up) -> registration ("isUse") -> sign-in. A successful sign-in keeps the
/// user's record (getUserInfo), stores the account name and the remember flag in the settings and
/// the password in the credential store only while remember is on (never in the settings file),
/// fetches the head picture (to a temporary file, then moved over the old one) and reports.
///
/// Requests go through QnLynInterNetWorkManager::instance() bound to this page: a reply that arrives
/// after the page is gone is dropped. GUI thread only.
class QnLynLoginWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynLoginWidget(QWidget *parent = nullptr);
    ~QnLynLoginWidget() override;

    /// The record of the last successful sign-in (all empty before the first).
    LoginUserInfo getUserInfo() const { return m_userInfo; }
    /// Password field back to hidden echo, eye icon to match.
    void resetPasswordEcho();
    /// Start-up fill: sets the remember box; when remember is on, puts userName into the phone
    /// field and the password remembered in the credential store into the password field. The
    /// password argument (a settings copy of older versions) is not used: a password still in the
    /// settings file is moved to the credential store once and removed from the file.
    void readPassword(bool remember, const QString &userName, const QString &password);
    /// Signs in with these credentials without the page's checks; the result comes as
    /// loginSuccess(bool) and then slientLoginSuccess(bool) (a refusal at the HTTP level as both false).
    void slientLogin(const QString &username, const QString &password);
    /// Silent sign-in with the password remembered in the credential store for userName; without
    /// one (or with remember off) reports slientLoginSuccess(false) and sends nothing.
    void slientLoginRemembered(const QString &userName);

    // Configuration (defaults: the platform's credential store, the program's settings file,
    // the public host "www.baidu.com" for the internet check).
    /// Not owned; must outlive the page. Null: back to the platform store.
    void setCredentialStore(QnCredentialStore *store);
    void setSettingsPath(const QString &path);
    void setProbeHost(const QString &host) { m_probeHost = host; }
    QnLoginCredentials *credentials() const { return m_credentials; }

Q_SIGNALS:
    void registerAccount();
    void forgotPassword();
    void iconHeadDownFinished(QString path);
    void loginSuccess(bool isSuccess);
    void slientLoginSuccess(bool isSuccess);

private Q_SLOTS:
    void on_loginBtn_clicked();
    void on_accountLineEdit_textChanged(const QString &arg1);
    void on_passwordLineEdit_textChanged(const QString &arg1);
    void on_checkBox_stateChanged(int arg1);
    void on_pushButton_clicked();
    void on_regisBtn1_clicked();
    void on_regisBtn2_clicked();
    void lookupHostSlot(const QHostInfo &host);

private:
    void buildForm();
    void postLogin(bool silent);
    void httpCallBack(const HttpResultInfo &result, bool silent);
    void signedIn(const QJsonObject &reply);
    void downloadHead(const QString &headPath, const QString &uuid);
    void httpDownFileCallBack(const HttpFileResult &result, const QString &finalPath);
    void updateLoginButton();
    void toast(const QString &text);

    QLabel *m_title = nullptr;
    QFrame *m_frame1 = nullptr;
    QLabel *m_accountIcon = nullptr;
    QLineEdit *m_account = nullptr;
    QLabel *m_accountMsg = nullptr;
    QFrame *m_frame2 = nullptr;
    QLabel *m_passwordIcon = nullptr;
    QLineEdit *m_password = nullptr;
    QLabel *m_passStatus = nullptr;
    QLabel *m_passwordMsg = nullptr;
    QCheckBox *m_checkBox = nullptr;
    QPushButton *m_forgot = nullptr;
    QPushButton *m_loginBtn = nullptr;
    QPushButton *m_regis1 = nullptr;
    QPushButton *m_regis2 = nullptr;
    QnPasswordEye *m_eye = nullptr;

    LoginUserInfo m_userInfo;
    bool m_remember = false;
    QString m_probeHost;
    std::unique_ptr<QnCredentialStore> m_ownStore;
    QnLoginCredentials *m_credentials = nullptr; // child
};
