#pragma once

#include <QHostInfo>
#include <QPointer>
#include <QWidget>

class HttpSession;
class LoginLoadingWidget;
class QAbstractButton;
class PasswordLineEidt;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QrLabel;
class Toast;

/// The sign-in page of the login dialog: phone number and password, or a QR code scanned by the
/// companion app. Hands the sign-in to the session and reports the result; keeps no account data of
/// its own (the typed values live in the fields). GUI thread only.
class LoginWidget : public QWidget
{
    Q_OBJECT
public:
    /// session: the account session (not owned; null: HttpSession::instance()).
    explicit LoginWidget(QWidget *parent = nullptr, HttpSession *session = nullptr);
    ~LoginWidget() override;

    /// Fills the form; the field handlers then set the login button and clear the error labels.
    void setAccountInfo(const QString &account, const QString &password, bool remember);
    /// Back to the password tab; QR polling is left as it is.
    void showAccountPage();
    /// Stores the flag; on the QR tab starts (online) or stops (offline) the QR login.
    void setNetworkState(bool online);
    /// Starts a password sign-in with stored values at once: no checks, no animation.
    void slientLogin(const QString &account, const QString &password);

    /// The account web site address under which the registration page lives (default: configured).
    void setWebBaseUrl(const QString &url) { m_webBaseUrl = url; }
    bool isOnline() const { return m_online; }
    Toast *toast() const { return m_toast; }
    LoginLoadingWidget *loadingWidget() const { return m_loading; }

Q_SIGNALS:
    void jumpPage(int page);
    void loginFinished(const QString &account, const QString &pwd, const QString &remeber,
                       const QString &strImagePath);
    void updateHeadIcon(const QString &id, const QString &strImagePath);
    void handLogin();

public Q_SLOTS:
    void on_btnRegisterH5_clicked();
    void on_btnRegisterH51_clicked();
    void lookupHostSlot(const QHostInfo &host);

private:
    void buildForm();
    void initUI();
    void initConnect();
    void onLoginClicked();
    void onLoginResult(bool result, const QString &err);
    void onTabPressed(QAbstractButton *button);
    void onQrId(const QString &id);
    void openRegisterPage();

    HttpSession *m_session;
    LoginLoadingWidget *m_loading = nullptr;
    Toast *m_toast = nullptr; // owned, no parent
    bool m_online = true;
    QString m_webBaseUrl;

    // The form (children of the page).
    QPushButton *m_btnAccount = nullptr;
    QPushButton *m_btnQR = nullptr;
    QButtonGroup *m_buttonGroup = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_pageAccount = nullptr;
    QWidget *m_pageQR = nullptr;
    QLineEdit *m_phone = nullptr;
    QLabel *m_phoneErr = nullptr;
    PasswordLineEidt *m_pwd = nullptr;
    QLabel *m_pwdErr = nullptr;
    QCheckBox *m_remember = nullptr;
    QPushButton *m_btnForget = nullptr;
    QPushButton *m_btnLogin = nullptr;
    QrLabel *m_labelQR = nullptr;
    QLabel *m_hint = nullptr;       // "label_3"
    QLabel *m_netFailure = nullptr; // "label"
    QLabel *m_noAccount = nullptr;  // "label_2"
    QPushButton *m_btnRegister = nullptr;
};
