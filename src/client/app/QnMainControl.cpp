#include "client/app/QnMainControl.h"

#include "client/object/QnLynClientObject.h"
#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnLynClientStartWidget.h"
#include "client/ui/account/QnLoginCredentials.h"
#include "client/ui/account/QnLynLoginWidget.h"
#include "client/ui/root/QnMainWidget.h"
#include "client/ui/sender/QnSenderRules.h"
#include "common/log/QnLog.h"
#include "common/settings/COption.h"
#include "platform/system/QnAutostart.h"
#include "platform/system/QnElevation.h"
#include "update/src/UpdateInstaller.h"
#include "update/src/UpdateMain.h"
#include "update/src/UpdateProgramDialog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/resource.h>

const QString QnMainControl::kAppId = QStringLiteral("6f1c2a8e-4b7d-4e39-9a51-2d8c0b7e5f13");
const QString QnMainControl::kVersion = QStringLiteral("1.0.6");

namespace {
const QString kAutostartName = QStringLiteral("QnLynClient");
const QString kAutoRunArgument = QStringLiteral("AutoRun");
/// Niceness asked for: above normal, still below what audio servers use.
constexpr int kRaisedNice = -5;
} // namespace

QnMainControl::QnMainControl(QObject *parent) : QObject(parent)
{
    // A raised priority needs CAP_SYS_NICE (or an rlimit allowing it): a refusal is only logged.
    if (::setpriority(PRIO_PROCESS, 0, kRaisedNice) != 0)
        qCDebug(lcApp) << "process priority not raised:" << std::strerror(errno);

    m_splash = new QnLynClientStartWidget(nullptr);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_splash->move(screen->availableGeometry().center() - m_splash->rect().center());
    m_splash->show();

    COption option(COption::configPath());
    const bool selfStart = option.value(QStringLiteral("main"), QStringLiteral("selfStart"), false).toBool();
    if (selfStart != isAutoRun())
        setAutoRun(selfStart);
    if (!selfStart)
        setAutoRun(false); // a stale entry is always removed

    m_startTimer = new QTimer(this);
    m_startTimer->setSingleShot(true);
    connect(m_startTimer, &QTimer::timeout, this, &QnMainControl::start);
    m_startTimer->start(2000);
}

QnMainControl::~QnMainControl()
{
    delete m_splash.data();
    // The root window goes before the client object (a child of this object) it watches.
    delete m_mainWidget;
    m_mainWidget = nullptr;
}

void QnMainControl::setStartDelay(int ms)
{
    if (m_startTimer->isActive())
        m_startTimer->start(ms);
}

void QnMainControl::start()
{
    qCInfo(lcApp) << "making the client object and the windows";
    m_clientObject = new QnLynClientObject(this);
    m_mainWidget = new QnMainWidget(nullptr);
    m_mainWidget->setLynObject(m_clientObject);
    m_mainWidget->setSelfStart(isAutoRun());
    m_updateAvailable = false;
    m_mainWidget->setUpdateInfo(false, kVersion);

    connect(m_mainWidget, &QnMainWidget::selfStartChanged, this, &QnMainControl::setAutoRun);
    connect(m_mainWidget, &QnMainWidget::updateProgram, this, &QnMainControl::updateProgram);
    connect(m_mainWidget, &QnMainWidget::loginStatusChanged, this, [](bool status) {
        COption option(COption::configPath());
        option.setValue(QStringLiteral("user"), QStringLiteral("loginstatus"), status);
    });

    COption option(COption::configPath());
    const bool loginStatus =
        option.value(QStringLiteral("user"), QStringLiteral("loginstatus"), false).toBool();
    m_mainWidget->showWithLoginStatus(loginStatus);
    if (m_splash)
        m_splash->close();
    delete m_splash.data();
    restoreSignIn();
    m_mainReady = true;
    qCInfo(lcApp) << "main window shown";
    checkUpdate(false);
}

void QnMainControl::restoreSignIn()
{
    COption option(COption::configPath());
    const bool remember = option.value(QStringLiteral("user"), QStringLiteral("remember"), false).toBool();
    const QString name = readSavedUser();
    // The password comes from the keyring, asynchronously; the root window is filled when it arrives.
    QnLoginCredentials *credentials = m_mainWidget->loginPage()->credentials();
    QPointer<QnMainWidget> window = m_mainWidget;
    credentials->loadRemembered(remember, m_mainWidget, [window, remember, name](const QString &password) {
        if (!window)
            return;
        window->readSavedPassword(remember, name, password);
        window->setLoginUserInfo(name, password);
    });
}

void QnMainControl::onShowMessage(const QString &)
{
    qCInfo(lcApp) << "a second start asked to show the window; ready:" << m_mainReady;
    if (m_mainReady && m_mainWidget)
        m_mainWidget->restoreConnectWidget();
}

void QnMainControl::setAutoRun(bool on)
{
    COption option(COption::configPath());
    option.setValue(QStringLiteral("main"), QStringLiteral("selfStart"), on);
    QnAutostart autostart;
    const bool ok =
        on ? autostart.setEntry(kAutostartName, QCoreApplication::applicationFilePath(), {kAutoRunArgument})
           : autostart.removeEntry(kAutostartName);
    if (!ok)
        qCWarning(lcApp) << "autostart entry not" << (on ? "written" : "removed") << "at"
                         << autostart.entryPath(kAutostartName);
}

bool QnMainControl::isAutoRun()
{
    return QnAutostart().isSet(kAutostartName);
}

QString QnMainControl::readSavedUser()
{
    COption option(COption::configPath());
    return option.value(QStringLiteral("user"), QStringLiteral("username")).toString();
}

UpdateProgramDialog *QnMainControl::updateDialog()
{
    if (!m_updateDialog) {
        m_updateDialog = new UpdateProgramDialog(m_mainWidget);
        auto *frameless = new NcFramelessHelper(m_updateDialog);
        frameless->setMovable(true);
        frameless->setResizable(false);
        frameless->attachWidget(m_updateDialog);
        connect(m_updateDialog->updateMain(), &UpdateMain::checkState, this, &QnMainControl::onCheckState,
                Qt::QueuedConnection);
    }
    return m_updateDialog;
}

void QnMainControl::checkUpdate(bool install)
{
    if (install)
        updateProgram();
    if (!m_mainWidget)
        return;
    updateDialog()->updateMain()->checkNewUpdate(QStringLiteral("1"), QStringLiteral("0"),
                                                 QStringLiteral("6"), kAppId);
}

void QnMainControl::onCheckState()
{
    if (!m_updateDialog || !m_mainWidget)
        return;
    const int state = m_updateDialog->updateMain()->getUpdateInfo().value(QStringLiteral("state"), 0).toInt();
    m_updateAvailable = state == 1 || state == 2;
    m_mainWidget->setUpdateInfo(m_updateAvailable, kVersion);
}

void QnMainControl::updateProgram()
{
    if (!m_mainWidget)
        return;
    // A staged update program is taken over first; the program ends only when its elevated
    // restart really started.
    const std::unique_ptr<QnElevation> elevation = QnElevation::createDefault();
    UpdateInstaller installer(*elevation);
    const UpdateInstaller::Handover handover = installer.takeStagedUpdateProgram(
        QCoreApplication::applicationDirPath(), QCoreApplication::applicationFilePath());
    if (handover == UpdateInstaller::Handover::RelaunchStarted) {
        qCInfo(lcApp) << "restarted with administrator rights for the update; ending";
        QCoreApplication::exit(0);
        return;
    }
    UpdateProgramDialog *dialog = updateDialog();
    UpdateMain *main = dialog->updateMain();
    m_mainWidget->showAshWidget();
    dialog->setAppType(1);
    dialog->setForceUpdate(main->isForceUpdate());
    dialog->setUpdateInfo(main->getUpdateInfo());
    bool downloadStarted = false;
    const QMetaObject::Connection info =
        connect(main, &UpdateMain::updateInfo, dialog, &UpdateProgramDialog::onUpdateInfo);
    const QMetaObject::Connection progress =
        connect(main, &UpdateMain::downloadPercent, this, [&downloadStarted] { downloadStarted = true; });
    main->checkNewUpdate(QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("6"), kAppId);
    dialog->exec();
    disconnect(info);
    disconnect(progress);
    if (!m_mainWidget)
        return;
    m_mainWidget->hideAshWidget();
    m_mainWidget->showNetworkTip(
        !QnSenderRules::updateNetworkTipWanted(downloadStarted, dialog->isDownloadFinished()));
}
