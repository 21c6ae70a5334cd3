// The screenshot program: qn_screenshots <dir> [name filter ...]
// Run through scripts/screenshots, which starts a private X display with the CJK font set-up.
#include "tests/screenshots/QnShooter.h"

#include "client/ui/QnFonts.h"
#include "resources/QnResources.h"

#include <QApplication>
#include <QDir>
#include <QTranslator>

#include <cstdio>

int main(int argc, char *argv[])
{
    // The function page's carousel renders without OpenGL (the display has no GL integration).
    if (!qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    QnResources::init();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QnLynClient"));
    QnFonts::install();
    // The windows' texts as the program shows them.
    QTranslator translator;
    if (translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN")))
        QApplication::installTranslator(&translator);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: qn_screenshots <dir> [name filter ...]\n");
        return 2;
    }
    const QString dir = args.takeFirst();
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "screenshots: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    QnShooter shooter(dir, args);
    // Each window issue adds its own function here.
    kitShots(shooter);
    updateShots(shooter);
    senderShots(shooter);
    desktopShots(shooter);
    mediaShots(shooter);
    accountShots(shooter);
    loginShots(shooter);
    std::fprintf(stderr, "screenshots: %d written\n", int(shooter.written().size()));
    return shooter.failed() ? 1 : 0;
}
