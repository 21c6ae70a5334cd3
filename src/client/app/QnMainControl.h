#pragma once

#include "client/ui/QnLynClientStartWidget.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QTimer;
class QnLynClientObject;
class QnMainWidget;
class UpdateProgramDialog;

/// The application controller of one pass of the event loop: raises the process priority, shows
/// the start splash, brings the autostart entry into line with the settings and, two seconds
/// later, makes the client object and the root window, hands the one to the other, restores the
/// remembered sign-in (the password from the keyring) and starts the update check. Serves the
/// single-instance "show" and the root window's requests to change autostart, to store the sign-in
/// state and to run the updater. GUI thread only.
class QnMainControl : public QObject
{
public:
    /// The product's identifier at the cloud update service.
    static const QString kAppId;
    /// The version shown and given to the update checks.
    static const QString kVersion;

    explicit QnMainControl(QObject *parent = nullptr);
    ~QnMainControl() override;

    /// The single-instance message: brings the main sender window back once the root window exists.
    void onShowMessage(const QString &message);
    /// Records the wish in the settings and writes or removes the autostart entry.
    void setAutoRun(bool on);
    /// True when the program's autostart entry is set.
    static bool isAutoRun();
    /// The remembered account name of the settings (the password lives in the keyring).
    static QString readSavedUser();
    void checkUpdate(bool install);
    void updateProgram();
    void onCheckState();

    /// For tests: the start delay (2000 ms) and the objects made by the start handler.
    void setStartDelay(int ms);
    QnMainWidget *mainWidget() const { return m_mainWidget; }
    QnLynClientObject *clientObject() const { return m_clientObject; }
    QnLynClientStartWidget *splash() const { return m_splash; }
    bool isMainReady() const { return m_mainReady; }

private:
    void start();
    void restoreSignIn();
    UpdateProgramDialog *updateDialog();

    QnLynClientObject *m_clientObject = nullptr; // child
    QnMainWidget *m_mainWidget = nullptr;        // owned; no parent (a top-level window)
    QPointer<QnLynClientStartWidget> m_splash;   // owned until the main window appears
    bool m_updateAvailable = false;
    QTimer *m_startTimer = nullptr;
    UpdateProgramDialog *m_updateDialog = nullptr; // child of the root window
    bool m_mainReady = false;
};
