#pragma once

#include "common/http/HttpResult.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QnCaptchaCountdown;
class QnPasswordEye;

/// The modal dialog that changes the account's phone number in two steps: the current password
/// (checked by the service), then the new number with an SMS code. exec() returns Accepted after
/// the number was changed (newPhoneNumber() then holds it). Failures show the service's message
/// or a fixed text; requests are bound to the dialog, so a reply after it closed is dropped.
/// GUI thread only.
class QnLynModifyPhoneNum : public QDialog
{
    Q_OBJECT
public:
    explicit QnLynModifyPhoneNum(QWidget *parent = nullptr);

    void setAccountInfo(const QString &token, const QString &uuid);
    QString newPhoneNumber() const;
    /// Countdown tick period (1000 ms; tests shorten it).
    void setCountdownInterval(int ms);

private Q_SLOTS:
    void on_passwordLineEdit_textChanged(const QString &arg1);
    void on_nextBtn_clicked();
    void on_closeBtn_clicked();
    void on_verCodeBtn_clicked();
    void on_regislineEdit_textChanged(const QString &arg1);
    void on_regisCodelineEdit_textChanged(const QString &arg1);
    void on_cancelBtn_clicked();
    void on_okBtn_clicked();

private:
    void httpCallBack(const HttpResultInfo &result);
    void toast(const QString &text);

    QStackedWidget *m_stack = nullptr;
    QWidget *m_passwordPage = nullptr;
    QWidget *m_numberPage = nullptr;
    QLineEdit *m_password = nullptr;
    QLabel *m_msg = nullptr;
    QPushButton *m_next = nullptr;
    QLineEdit *m_number = nullptr;
    QLabel *m_msg1 = nullptr;
    QLineEdit *m_code = nullptr;
    QPushButton *m_verCode = nullptr;
    QLabel *m_msg2 = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_close = nullptr;
    QnCaptchaCountdown *m_countdown = nullptr;
    QString m_token;
    QString m_uuid;
};
