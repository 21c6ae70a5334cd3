// Writes one PNG per main state of the update dialog into the folder given as the only argument:
// new version, forced, downloading, finished, failed. Sample data only; nothing goes to a network
// (the download states are set directly). For scripts/screenshots.

#include "platform/system/QnFakeElevation.h"
#include "update/src/UpdateMain.h"
#include "update/src/UpdateProgramDialog.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>

namespace {

const char kNotes[] = "1. 新增桌面同步时的画笔工具，支持撤销与重做\n"
                      "2. 优化投屏画面的清晰度与流畅度\n"
                      "3. 修复部分网络环境下无法发现接收端的问题\n"
                      "4. 修复若干已知问题，提升稳定性";

bool shoot(UpdateProgramDialog &dialog, const QString &dir, const QString &state)
{
    dialog.show();
    QApplication::processEvents();
    const QString path = dir + QStringLiteral("/UpdateProgramDialog-") + state + QStringLiteral(".png");
    return dialog.grab().save(path);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(dir);
    QTemporaryDir home;
    UpdateEnvironment env;
    env.appDir = home.path();
    env.packageDir = home.filePath(QStringLiteral("package"));
    env.elevation = std::make_shared<QnFakeElevation>();
    env.exitProgram = [](int) {};
    env.showUpgradeFailed = [] {};
    env.showAdministratorNeeded = [] {};

    const QVariantMap info{{QStringLiteral("ver"), QStringLiteral("1.0.7")},
                           {QStringLiteral("content"), QString::fromUtf8(kNotes)},
                           {QStringLiteral("state"), 1},
                           {QStringLiteral("totalsize"), qlonglong(87031808)}};
    bool ok = true;
    const auto make = [&](bool forced) {
        auto *dialog = new UpdateProgramDialog;
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->updateMain()->setEnvironment(env);
        dialog->setAppType(1);
        dialog->setForceUpdate(forced);
        dialog->setUpdateInfo(info);
        return dialog;
    };
    const auto page = [](UpdateProgramDialog *dialog, const char *name) {
        auto *pages = dialog->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
        pages->setCurrentWidget(pages->findChild<QWidget *>(QLatin1String(name)));
    };

    UpdateProgramDialog *d = make(false);
    ok &= shoot(*d, dir, QStringLiteral("new-version"));
    d->close();

    d = make(true);
    ok &= shoot(*d, dir, QStringLiteral("forced"));
    d->close();

    d = make(false);
    page(d, "page_2");
    d->setDownloadPercent(54394880, 87031808);
    ok &= shoot(*d, dir, QStringLiteral("downloading"));
    d->close();

    d = make(false);
    page(d, "page_2");
    d->setDownloadPercent(87031808, 87031808);
    d->onDownloadFinished(true);
    ok &= shoot(*d, dir, QStringLiteral("finished"));
    d->close();

    // A failed download rejects the dialog; shown here as the progress page it closes from.
    d = make(false);
    page(d, "page_2");
    d->setDownloadPercent(20971520, 87031808);
    ok &= shoot(*d, dir, QStringLiteral("failed"));
    d->onDownloadFinished(false);
    ok &= d->result() == QDialog::Rejected;

    return ok ? 0 : 1;
}
