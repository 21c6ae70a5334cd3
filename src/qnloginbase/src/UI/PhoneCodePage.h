#pragma once

#include "qnloginbase/src/Interface/HttpSession.h"

#include <QWidget>

class CTimerButton;
class PasswordLineEidt;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class Toast;

/// The two-step phone-code page shared by registration and password reset: step one has a code sent
/// to the number and verified, step two sends the new password. Requests go through the session
/// with the page's VerifyType; results of the other type are ignored. Messages go into the field
/// labels as plain text; final results into the page's toast. GUI thread only.
class PhoneCodePage : public QWidget
{
    Q_OBJECT
public:
    ~PhoneCodePage() override;

    /// Back to step one with empty fields, no messages and no countdown.
    virtual void resetPage();
    VerifyType verifyType() const { return m_type; }
    Toast *toast() const { return m_toast; }
    CTimerButton *codeButton() const { return m_verCodeBtn; }

Q_SIGNALS:
    void jumpPage(int page);

protected:
    /// session: not owned; null: HttpSession::instance().
    PhoneCodePage(VerifyType type, QWidget *parent, HttpSession *session);

    /// Builds the common form; withAgreement adds the agreement tick and the "direct login" row,
    /// otherwise the "登录" link row is added.
    void buildForm(const QString &title, bool withAgreement);
    void connectAll();
    virtual bool finishAllowed() const;
    virtual void onCodeAccepted();
    virtual void onPasswordSet(bool result, const QString &err) = 0;
    virtual QString formatMessage() const = 0;
    virtual QString codeSentMessage() const = 0;
    virtual QString passwordFormatMessage() const = 0;
    virtual QString mismatchMessage() const = 0;
    void commitPassword();

    HttpSession *m_session;
    VerifyType m_type;
    Toast *m_toast = nullptr; // child

    QLabel *m_title = nullptr;
    QStackedWidget *m_stack = nullptr;
    QWidget *m_codeStep = nullptr;
    QWidget *m_passwordStep = nullptr;
    QLineEdit *m_phone = nullptr;
    QLabel *m_phoneMsg = nullptr;
    QLineEdit *m_code = nullptr;
    CTimerButton *m_verCodeBtn = nullptr;
    QLabel *m_codeMsg = nullptr;
    QPushButton *m_nextBtn = nullptr;
    PasswordLineEidt *m_password = nullptr;
    QLabel *m_passwordMsg = nullptr;
    PasswordLineEidt *m_repeat = nullptr;
    QLabel *m_repeatMsg = nullptr;
    QCheckBox *m_agree = nullptr; // registration only
    QPushButton *m_resBtn = nullptr;
    QList<QPushButton *> m_backButtons; // buttons that return to the login page

private:
    void onPhoneEdited(const QString &text);
    void onCodeButtonClicked();
    void updateFinishButton();
};

/// The registration page (VerifyType::Register).
class RegisterWidget : public PhoneCodePage
{
    Q_OBJECT
public:
    explicit RegisterWidget(QWidget *parent = nullptr, HttpSession *session = nullptr);
    void resetPage() override;

protected:
    bool finishAllowed() const override;
    void onPasswordSet(bool result, const QString &err) override;
    QString formatMessage() const override
    {
        return tr("The format of the mobile phone number is not correct.");
    }
    QString codeSentMessage() const override { return tr("Captcha code sent successfully"); }
    QString passwordFormatMessage() const override
    {
        return tr("6-16,Support letters, numbers, and underscores.");
    }
    QString mismatchMessage() const override { return tr("The two passwords don't match."); }
};

/// The password reset page (VerifyType::ForgetPassword); its title follows the step.
class ForgetPwdWidget : public PhoneCodePage
{
    Q_OBJECT
public:
    explicit ForgetPwdWidget(QWidget *parent = nullptr, HttpSession *session = nullptr);
    void resetPage() override;

protected:
    void onCodeAccepted() override;
    void onPasswordSet(bool result, const QString &err) override;
    QString formatMessage() const override
    {
        return tr("The format of the mobile phone number is not correct.");
    }
    QString codeSentMessage() const override { return tr("Captcha code sent successfully"); }
    QString passwordFormatMessage() const override
    {
        return tr("6-16,Support letters, numbers, and underscores.");
    }
    QString mismatchMessage() const override { return tr("The two passwords don't match."); }
};
