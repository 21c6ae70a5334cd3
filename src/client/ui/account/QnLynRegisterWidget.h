#pragma once

#include "common/http/HttpResult.h"

#include <QHostInfo>
#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QnCaptchaCountdown;
class QnPasswordEye;

/// The client's own registration page, which in page type 0 is the forgotten-password page. Step
/// one takes the phone number and the SMS code, step two the new password twice; on success the
/// page hands the phone number and the new password to the root window (loginIn). Refusals of the
/// service and failed requests show the reply's "msg" or a fixed text as a toast. The agreement
/// link opens only an http or https address from the service. Requests are bound to the page.
/// GUI thread only.
class QnLynRegisterWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynRegisterWidget(QWidget *parent = nullptr);

    /// 0: forgot-password mode; any other value: register mode (the default, type 1).
    void setPageType(int type);
    int pageType() const { return m_pageType; }
    /// Clears the inputs and shows step one (a running countdown goes on).
    void resetPage();

    // Configuration: the public host of the internet check ("www.baidu.com"), the countdown period
    // (1000 ms), and what opens a web address (QDesktopServices::openUrl).
    void setProbeHost(const QString &host) { m_probeHost = host; }
    void setCountdownInterval(int ms);
    void setUrlOpener(std::function<bool(const QUrl &)> opener) { m_openUrl = std::move(opener); }

Q_SIGNALS:
    void clickedLoginBtn();
    void loginIn(QString username, QString password);
    void showUserAgreement();

private Q_SLOTS:
    void on_verCodeBtn_clicked();
    void on_resnextBtn_clicked();
    void on_resBtn_clicked();
    void on_agreeBtn_clicked();
    void on_regislineEdit_textChanged(const QString &arg1);
    void on_regisCodelineEdit_textChanged(const QString &arg1);
    void on_settinglineEdit_textChanged(const QString &arg1);
    void on_settingAgainlineEdit_textChanged(const QString &arg1);
    void on_loginBtn1_clicked();
    void on_loginBtn2_clicked();
    void on_loginBtn3_clicked();
    void on_loginBtn4_clicked();
    void on_agreecheckBox_stateChanged(int arg1);
    void lookupHostSlot(const QHostInfo &host);

private:
    void initUI();
    void buildStepOne();
    void buildStepTwo();
    void clearInput();
    void backToLogin();
    void post(const char *path, const QJsonObject &body);
    void httpCallBack(const HttpResultInfo &result);
    void toast(const QString &text);
    QString failedText(const HttpResultInfo &result);

    int m_pageType = 1;
    QString m_probeHost;
    std::function<bool(const QUrl &)> m_openUrl;

    QStackedWidget *m_stack = nullptr;
    QWidget *m_step1 = nullptr;
    QWidget *m_step2 = nullptr;
    QLabel *m_title = nullptr;
    QLineEdit *m_phone = nullptr;
    QLabel *m_msg1 = nullptr;
    QLineEdit *m_code = nullptr;
    QPushButton *m_verCode = nullptr;
    QLabel *m_msg2 = nullptr;
    QPushButton *m_next = nullptr;
    QLineEdit *m_pass = nullptr;
    QLabel *m_passEye = nullptr;
    QLabel *m_passMsg1 = nullptr;
    QLineEdit *m_again = nullptr;
    QLabel *m_againEye = nullptr;
    QLabel *m_passMsg2 = nullptr;
    QCheckBox *m_agree = nullptr;
    QPushButton *m_agreeBtn = nullptr;
    QPushButton *m_resBtn = nullptr;
    QPushButton *m_login[4] = {};
    QnPasswordEye *m_eye1 = nullptr;
    QnPasswordEye *m_eye2 = nullptr;
    QnCaptchaCountdown *m_countdown = nullptr;
};
