#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

/// The program's modal question box: a white rounded frameless panel with a title, a message,
/// an optional close button, Cancel and OK. Use showMessage or showMessageAt. GUI thread only.
class QnMessageDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QnMessageDialog(QWidget *parent = nullptr);

    /// Runs a dialog without parent modally; returns 1 for OK, 0 for Cancel, the close button or
    /// Escape. Title and text are shown as plain text.
    static int showMessage(const QString &text, const QString &title, bool showCancel, bool showClose);
    /// The same, first centred over anchor when it is not null.
    static int showMessageAt(const QString &text, const QString &title, QWidget *anchor, bool showCancel,
                             bool showClose);

    /// Sets title, text and which of Cancel and the close button are shown.
    void setup(const QString &text, const QString &title, bool showCancel, bool showClose);
    /// Moves the dialog so that it is centred over anchor (offsets may be negative).
    void centreOn(const QWidget *anchor);

    /// True after the close button was pressed.
    bool closedByUser() const { return m_closedByUser; }

private slots:
    void on_cancelButton_clicked();
    void on_okButton_clicked();
    void on_closeBtn_clicked();

private:
    QLabel *m_title = nullptr;
    QLabel *m_text = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_cancel = nullptr;
    bool m_closedByUser = false;
};
