// Shots of the update dialog. Sample data only; nothing here touches the network: the download
// states are set on the dialog directly, and the updater gets a recording elevation.
#include "tests/screenshots/QnShooter.h"

#include "client/ui/NcFramelessHelper.h"
#include "platform/system/QnFakeElevation.h"
#include "update/src/UpdateMain.h"
#include "update/src/UpdateProgramDialog.h"

#include <QStackedWidget>
#include <QTemporaryDir>

#include <memory>

namespace {

const char kNotes[] = "1. 新增桌面同步时的画笔工具，支持撤销与重做\n"
                      "2. 优化投屏画面的清晰度与流畅度\n"
                      "3. 修复部分网络环境下无法发现接收端的问题\n"
                      "4. 修复若干已知问题，提升稳定性";
constexpr qlonglong kPackageSize = 87031808; // 83 MiB

// The dialog as the application controller opens it: frameless helper without moving, app type 1.
std::unique_ptr<UpdateProgramDialog> openDialog(const QString &appDir, bool forced)
{
    auto dialog = std::make_unique<UpdateProgramDialog>();
    UpdateEnvironment env;
    env.appDir = appDir;
    env.packageDir = appDir + QStringLiteral("/package");
    env.elevation = std::make_shared<QnFakeElevation>();
    env.exitProgram = [](int) {};
    env.showUpgradeFailed = [] {};
    env.showAdministratorNeeded = [] {};
    dialog->updateMain()->setEnvironment(env);
    auto *frameless = new NcFramelessHelper(dialog.get());
    frameless->setMovable(false);
    frameless->attachWidget(dialog.get());
    dialog->setAppType(1);
    dialog->setForceUpdate(forced);
    dialog->setUpdateInfo({{QStringLiteral("ver"), QStringLiteral("1.0.7")},
                           {QStringLiteral("content"), QString::fromUtf8(kNotes)},
                           {QStringLiteral("state"), forced ? 2 : 1},
                           {QStringLiteral("totalsize"), kPackageSize}});
    return dialog;
}

void showPage(UpdateProgramDialog *dialog, const char *name)
{
    auto *pages = dialog->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    pages->setCurrentWidget(pages->findChild<QWidget *>(QLatin1String(name)));
}

} // namespace

void updateShots(QnShooter &shooter)
{
    QTemporaryDir appDir;
    if (shooter.wants(QStringLiteral("UpdateProgramDialog-new-version")))
        shooter.shoot(QStringLiteral("UpdateProgramDialog-new-version"),
                      openDialog(appDir.path(), false).get());
    if (shooter.wants(QStringLiteral("UpdateProgramDialog-forced")))
        shooter.shoot(QStringLiteral("UpdateProgramDialog-forced"), openDialog(appDir.path(), true).get());
    if (shooter.wants(QStringLiteral("UpdateProgramDialog-downloading"))) {
        auto dialog = openDialog(appDir.path(), false);
        showPage(dialog.get(), "page_2");
        dialog->setDownloadPercent(54394880, kPackageSize);
        shooter.shoot(QStringLiteral("UpdateProgramDialog-downloading"), dialog.get());
    }
    if (shooter.wants(QStringLiteral("UpdateProgramDialog-finished"))) {
        auto dialog = openDialog(appDir.path(), false);
        showPage(dialog.get(), "page_2");
        dialog->setDownloadPercent(kPackageSize, kPackageSize);
        dialog->onDownloadFinished(true);
        shooter.shoot(QStringLiteral("UpdateProgramDialog-finished"), dialog.get());
    }
    if (shooter.wants(QStringLiteral("UpdateProgramDialog-failed"))) {
        // A failed download closes the dialog (rejected); the shot is its last view.
        auto dialog = openDialog(appDir.path(), false);
        showPage(dialog.get(), "page_2");
        dialog->setDownloadPercent(20971520, kPackageSize);
        shooter.shoot(QStringLiteral("UpdateProgramDialog-failed"), dialog.get());
        dialog->onDownloadFinished(false);
    }
}
