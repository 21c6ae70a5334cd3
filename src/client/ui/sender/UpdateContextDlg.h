#pragma once

#include <QWidget>

class QLabel;
class QTextEdit;

/// The what's-new dialog: shows, once, the notes of the running version (see QnUpdateNotes).
/// Deletes itself on close. GUI thread only.
class UpdateContextDlg : public QWidget
{
    Q_OBJECT
public:
    explicit UpdateContextDlg(QWidget *parent = nullptr);

    /// Window set-up and loading of the notes from notesPath (default: QnUpdateNotes::defaultPath()).
    void initUI(const QString &notesPath = QString());
    /// Shows the dialog when notes were loaded; otherwise does nothing.
    void showContext();

    bool hasContext() const { return m_hasContext; }
    QString versionText() const;
    QString notesText() const;

private slots:
    void on_btnClose_clicked();
    void on_btnOk_clicked();

private:
    bool m_hasContext = false;
    QLabel *m_ver = nullptr;
    QTextEdit *m_text = nullptr;
    QWidget *m_card = nullptr;
};
