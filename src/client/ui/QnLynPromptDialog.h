#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

/// A modal notice with a title, a message and one "知道了" button, for messages the user must
/// confirm. Use showPrompt; the dialog lives only for that call. GUI thread only.
class QnLynPromptDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QnLynPromptDialog(QWidget *parent = nullptr);

    /// Runs the prompt modally (a nested event loop) and returns 1 when "closeBtn" was pressed,
    /// 0 when the dialog was rejected (Escape).
    static int showPrompt(const QString &message, const QString &title);

    /// Makes the dialog what showPrompt runs: translucent background, frameless, neither movable
    /// nor resizable, with the texts set (see setTexts).
    void prepare(const QString &message, const QString &title);

    /// Fills the labels: the message always; the title only when the message is not empty (an
    /// empty message keeps the form's title "提示"). Both are shown as plain text.
    void setTexts(const QString &message, const QString &title);

private slots:
    void on_closeBtn_clicked();

private:
    QLabel *m_title = nullptr;
    QLabel *m_message = nullptr;
};
