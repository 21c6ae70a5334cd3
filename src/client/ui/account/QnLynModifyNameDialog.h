#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

/// The modal dialog in which the user edits the account's name (at most 11 characters). It sends
/// nothing: the caller reads getName() after exec() returned 1. "完成" is enabled exactly while the
/// field has text. Frameless, neither movable nor resizable. GUI thread only.
class QnLynModifyNameDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QnLynModifyNameDialog(QWidget *parent = nullptr);

    void setName(const QString &name);
    QString getName() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private Q_SLOTS:
    void on_closeBtn_clicked();
    void on_cancelBtn_clicked();
    void on_lineEdit_textChanged(const QString &arg1);

private:
    QFrame *m_frame = nullptr;
    QPushButton *m_cancel = nullptr;
    QLineEdit *m_edit = nullptr;
    QLabel *m_clear = nullptr;
    QPushButton *m_done = nullptr;
    bool m_hasText = false;
};
