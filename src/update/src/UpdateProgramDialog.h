#pragma once

#include <QDialog>
#include <QVariantMap>

#include <memory>

namespace Ui {
class UpdateProgramDialog;
}
class UpdateMain;

/// The modal dialog that announces a new version: its logo, version, size and notes, the ignore and
/// update choice, the download progress and the install button.
///
/// Owns one UpdateMain (a child, never null). Pages: choice -> (update) progress -> (download
/// succeeded) install -> (install) accepted and the installer started; a failed download rejects
/// the dialog. The page is not reset between openings. GUI thread only; server texts are shown as
/// plain text.
class UpdateProgramDialog : public QDialog
{
    Q_OBJECT
public:
    explicit UpdateProgramDialog(QWidget *parent = nullptr);
    ~UpdateProgramDialog() override;

    UpdateMain *updateMain() const { return m_updateMain; }
    /// 1: this program's logo, 2: the receiver's; other values keep the logo.
    void setAppType(int type);
    /// Hides the ignore and close buttons when forced, shows them otherwise.
    void setForceUpdate(bool force);
    /// Opens update.ini in the application folder and fills size, notes and version from a map of
    /// UpdateMain::getUpdateInfo.
    void setUpdateInfo(const QVariantMap &info);
    /// True once a download has succeeded in this dialog (true before any download).
    bool isDownloadFinished() const { return m_downloadFinished; }

public Q_SLOTS:
    void onUpdateInfo(qlonglong totalSize, QString versioncontent);
    void setDownloadPercent(qlonglong bytesReceived, qlonglong bytesTotal);
    void onDownloadFinished(bool finished);

Q_SIGNALS:
    void startInstall();

private Q_SLOTS:
    // Bound by object name.
    void on_ignoreBtn_clicked();
    void on_closeButton_clicked();
    void on_acceptBtn_clicked();
    void on_installBtn_clicked();

private:
    std::unique_ptr<Ui::UpdateProgramDialog> ui;
    UpdateMain *m_updateMain; // child
    bool m_downloadFinished = true;
};
