// The program: one pass of the event loop per application object, around the application
// controller; a pass that finds the display scale changed asks for a new pass at once.
#include "SilentUpdateController/QnSilentUpdateController.h"
#include "client/app/QnMainControl.h"
#include "client/app/QnSingleApplication.h"
#include "client/app/QnStartupRules.h"
#include "client/ui/QnFonts.h"
#include "client/ui/QnMessageDialog.h"
#include "common/http/QnLynInterNetWorkManager.h"
#include "common/log/QnLog.h"
#include "common/settings/COption.h"
#include "platform/system/QnAutostart.h"
#include "platform/system/QnProcessControl.h"
#include "platform/system/QnProcessList.h"
#include "platform/system/QnQuitSignals.h"
#include "resources/QnResources.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QScreen>
#include <QStandardPaths>
#include <QTranslator>

#include <cstdio>

namespace {

/// Ends processes of name (SIGTERM, then SIGKILL after a grace period), waiting for them.
void endProcesses(const QString &name)
{
    const int gone = QnProcessControl::terminateByName(name, 3000);
    qCInfo(lcApp) << "ended" << gone << "process(es) named" << name;
}

/// Sets up what must exist before the application object: environment, attributes, scale.
void initApp(const QString &settingsPath)
{
    qputenv("QT_BEARER_POLL_TIMEOUT", "10000000");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    const COption settings(settingsPath);
    if (const std::optional<QString> scale = QnStartupRules::startScaleText(settings))
        qputenv("QT_SCALE_FACTOR", scale->toLatin1());
}

/// The receiver program runs on this PC: asks whether to end it. False when the user refuses.
bool settleRunningReceiver()
{
    const QString receiver = QString::fromLatin1(QnStartupRules::kReceiverProgram);
    if (!QnProcessList::isRunning(receiver))
        return true;
    const int answer = QnMessageDialog::showMessage(
        QCoreApplication::translate("main",
                                    "The receiver is running. Opening the sender forces the receiver to "
                                    "be closed,Do you want to continue?"),
        QCoreApplication::translate("main", "title"), true, false);
    if (answer != 1)
        return false;
    endProcesses(receiver);
    endProcesses(QString::fromLatin1(QnStartupRules::kReceiverHelper));
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Started by autostart while the receiver program starts with the session too: give way.
    if (QnStartupRules::yieldsToReceiver(arguments, [] {
            return QnAutostart().isSet(QString::fromLatin1(QnStartupRules::kReceiverProgram));
        }))
        return 0;

    // The settings path is settled before any application object exists, so the user's copy of
    // the default settings is in place before anything reads it.
    const QString settingsPath = COption::configPath(arguments.value(0));
    int code = 0;
    int restarts = 0;
    for (;;) {
        initApp(settingsPath);
        QnSingleApplication app(argc, argv, QStringLiteral("QnLynClient"));
        QnResources::init();
        QnFonts::install();
        QnLog::install(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
                       QStringLiteral("/QnLynClient.log"));
        qCInfo(lcApp) << "starting, settings at" << settingsPath;

        // A short settling time before the single-instance question, as the window system of a
        // freshly started session may still be coming up.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 500)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 500 - int(settle.elapsed()));

        QDir::setCurrent(QCoreApplication::applicationDirPath());
        if (app.isRunning()) {
            qCInfo(lcApp) << "another instance is running: asked it to show itself";
            app.sendMessage(QStringLiteral("show"), 2000);
            QnLog::uninstall();
            return 0;
        }
        QGuiApplication::setQuitOnLastWindowClosed(false);
        auto *translator = new QTranslator(&app);
        if (translator->load(QStringLiteral(":/trans/QnLynClient_zh_CN")))
            QCoreApplication::installTranslator(translator);

        if (QFileInfo::exists(settingsPath) && !settleRunningReceiver()) {
            QnLog::uninstall();
            return -1;
        }

        bool displayChanged = false;
        if (QnStartupRules::checksDisplay(restarts)) {
            COption settings(settingsPath);
            const QScreen *screen = QGuiApplication::primaryScreen();
            displayChanged = screen && QnStartupRules::checkDisplay(settings, app.devicePixelRatio(),
                                                                    screen->geometry().size());
        }
        if (displayChanged) {
            code = QnStartupRules::kRestartCode;
        } else {
            QGuiApplication::setApplicationDisplayName(QCoreApplication::translate("main", "QnLynClient"));
            QnMainControl control;
            QnSilentUpdateController::instance()->checkUpdate(
                1, QStringLiteral("1.0.6.0"), QnMainControl::kAppId,
                QnLynInterNetWorkManager::configuredSiteAddress());
            QObject::connect(&app, &QnSingleApplication::messageReceived, &control,
                             &QnMainControl::onShowMessage);
            // A session logging out ends the program through its event loop, not in the middle.
            QnQuitSignals quitSignals;
            QObject::connect(&quitSignals, &QnQuitSignals::received, &app, [] { QCoreApplication::quit(); });
            code = app.exec();
        }
        qCInfo(lcApp) << "pass ended with" << code;
        QnLog::uninstall();
        if (!QnStartupRules::restartsAfter(code))
            return code;
        ++restarts;
    }
}
