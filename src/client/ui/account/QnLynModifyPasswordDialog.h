#pragma once

#include "common/http/HttpResult.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QnPasswordEye;

/// The modal dialog that changes the signed-in user's password: the service confirms the old
/// password ("/user/user/check/password"), the page checks the new one against the password rule
/// and the confirmation, then asks the service to set it ("/user/user/updatePassword"). A refused
/// update shows the service's message (or a fixed text) as a toast. Requests are bound to the
/// dialog: a reply after it closed is dropped. Frameless, neither movable nor resizable.
/// GUI thread only.
class QnLynModifyPasswordDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QnLynModifyPasswordDialog(QWidget *parent = nullptr);

    void setAccountInfo(const QString &token, const QString &uuid);

private Q_SLOTS:
    void on_okBtn_clicked();
    void on_cancelBtn_clicked();
    void on_closeBtn_clicked();
    void on_opasswordLineEdit_textChanged(const QString &arg1);
    void on_npasswordLineEdit_textChanged(const QString &arg1);
    void on_cpasswordLineEdit_textChanged(const QString &arg1);

private:
    void httpCallBack(const HttpResultInfo &result);
    void updateOk();

    QLineEdit *m_old = nullptr;
    QLineEdit *m_new = nullptr;
    QLineEdit *m_confirm = nullptr;
    QLabel *m_msg1 = nullptr;
    QLabel *m_msg2 = nullptr;
    QLabel *m_msg3 = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QPushButton *m_close = nullptr;
    QString m_token;
    QString m_uuid;
};
