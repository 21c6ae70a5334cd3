#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;
class QnLynHeadButton;

/// The popup under the person button: the way to the personal centre (head picture and name, or
/// "登录"), the start-with-system switch, the about entry and, when signed in, log-out. It only
/// emits signals. GUI thread only.
class QnLynSettingWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynSettingWidget(QWidget *parent = nullptr);

    /// The name shown beside the head picture (plain text).
    void setName(const QString &name);
    void setHeadIcon(const QString &path);
    /// Signed in: the log-out row is shown and the popup is 190 high; else 142, the default head
    /// picture and "登录".
    void setLoginStatus(bool loggedIn);
    /// Checks or unchecks the switch (selfStart follows when that changes it).
    void setSelfStart(bool on);

    QString name() const;
    QCheckBox *selfStartBox() const { return m_check; }
    QPushButton *loginOutButton() const { return m_loginOut; }
    QnLynHeadButton *headButton() const { return m_head; }

signals:
    void aboutClicked();
    void updateConnectCode(int minute);
    void selfStart(bool isStart);
    void codeWidgetSizeChanged(bool isMax, QString flag, bool isClose);
    void codeWidgetSizeChanged(bool isMax, QString flag);
    void loginOut();
    void clickedPersonalCenter();

public slots:
    void on_aboutBtn_clicked();
    void on_checkBox_stateChanged(int arg1);
    void on_loginOutButton_clicked();
    void on_personBtn1_clicked();
    void on_personBtn2_clicked();
    void on_personBtn3_clicked();

private:
    QnLynHeadButton *m_head = nullptr;
    QPushButton *m_name = nullptr;
    QCheckBox *m_check = nullptr;
    QLabel *m_rule = nullptr;
    QPushButton *m_loginOut = nullptr;
};
