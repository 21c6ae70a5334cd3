#include "client/ui/QnFonts.h"
#include "common/log/QnLog.h"
#include "common/settings/COption.h"

#include <QApplication>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The settings path is settled before the application object exists, so the user's copy of
    // the default settings is in place before anything reads it.
    const QString settingsPath = COption::configPath(QString::fromLocal8Bit(argv[0]));

    QApplication app(argc, argv);
    QnFonts::install();
    const QString logDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QnLog::install(logDir + QStringLiteral("/QnLynClient.log"));
    qCInfo(lcApp) << "starting, settings at" << settingsPath;

    // The casting windows are not part of this build yet: say so instead of pretending to run.
    std::fprintf(stderr, "QnLynClient: the casting windows are not built yet; settings are at %s\n",
                 qPrintable(settingsPath));
    QnLog::uninstall();
    return 1;
}
