// Shots of the main sender window and its pages. Sample data only; nothing touches the network.
#include "tests/screenshots/QnShooter.h"

#include "client/ui/sender/QnHomeWidget.h"
#include "client/ui/sender/QnLynAboutWidget.h"
#include "client/ui/sender/QnLynAutoConnectWidget.h"
#include "client/ui/sender/QnLynConnectWidget.h"
#include "client/ui/sender/QnLynFunctionHomeWidget.h"
#include "client/ui/sender/QnLynMirrorSwitchingResolutionWidget.h"
#include "client/ui/sender/QnLynSettingWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"

#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTextEdit>

#include <memory>

namespace {

const QMap<QString, QString> kReceivers{{QStringLiteral("318264"), QStringLiteral("三年级二班 大屏")},
                                        {QStringLiteral("520917"), QStringLiteral("物理实验室 投影")},
                                        {QStringLiteral("733108"), QStringLiteral("多功能教室 左屏")},
                                        {QStringLiteral("901245613378ABCD"), QStringLiteral("报告厅 主屏")}};

// A sender window with sample network data; no what's-new notes.
struct SampleWindow
{
    QTemporaryDir dir;
    QnLynConnectWidget w;
    SampleWindow()
    {
        w.setUpdateNotesPath(dir.filePath(QStringLiteral("UpdateContext.ini")));
        w.setNetworkInfo(true, QStringLiteral("QuenloSchool-5G"));
        w.setNetworkState(true);
        w.setUpdateInfo(true, QStringLiteral("1.0.6"));
        w.move(60, 60);
        w.show();
    }
};

void clickChild(QWidget *parent, const char *name)
{
    if (auto *b = parent->findChild<QPushButton *>(QLatin1String(name)))
        b->click();
}

} // namespace

void senderShots(QnShooter &s)
{
    const QString win = QStringLiteral("QnLynConnectWidget-");
    if (s.wants(win + "home")) {
        SampleWindow sw;
        s.shoot(win + "home", &sw.w);
    }
    if (s.wants(win + "homeEthernetHelp")) {
        SampleWindow sw;
        sw.w.setNetworkInfo(false, QStringLiteral("有线网络 Ethernet-Classroom-3F"));
        sw.w.showDisconnected(true);
        clickChild(sw.w.homeWidget(), "helpBtn");
        s.shoot(win + "homeEthernetHelp", &sw.w);
    }
    if (s.wants(win + "homeGuide")) {
        SampleWindow sw;
        clickChild(sw.w.homeWidget(), "upBtn");
        s.shoot(win + "homeGuide", &sw.w);
    }
    if (s.wants(win + "receiverList")) {
        SampleWindow sw;
        sw.w.showReceiverList();
        sw.w.updateDeviceList(kReceivers);
        s.shoot(win + "receiverList", &sw.w);
    }
    if (s.wants(win + "receiverListEmpty")) {
        SampleWindow sw;
        sw.w.showReceiverList();
        s.shoot(win + "receiverListEmpty", &sw.w);
    }
    if (s.wants(win + "receiverListNoLan")) {
        SampleWindow sw;
        sw.w.showReceiverList();
        sw.w.setNetworkState(false);
        s.shoot(win + "receiverListNoLan", &sw.w);
    }
    if (s.wants(win + "function")) {
        SampleWindow sw;
        sw.w.setConnectDevice(QStringLiteral("三年级二班 大屏"));
        sw.w.connectSuccess();
        QnShooter::settle(400);
        s.shoot(win + "function", &sw.w);
    }
    if (s.wants(win + "functionUpload")) {
        SampleWindow sw;
        sw.w.setConnectDevice(QStringLiteral("物理实验室 投影仪（前排左侧）"));
        sw.w.connectSuccess();
        QnShooter::settle(300);
        sw.w.updateUploadProgress(QStringLiteral("pic"), 3, 8);
        sw.w.updateUploadProgress(QStringLiteral("file"), 1, 2);
        QnShooter::settle(300);
        s.shoot(win + "functionUpload", &sw.w);
    }
    if (s.wants(win + "mirror")) {
        SampleWindow sw;
        sw.w.connectSuccess();
        sw.w.showMirrorPanel();
        sw.w.setCasting(false);
        s.shoot(win + "mirror", &sw.w);
    }
    if (s.wants(win + "about")) {
        SampleWindow sw;
        sw.w.stack()->setCurrentWidget(sw.w.aboutWidget());
        sw.w.aboutWidget()
            ->findChild<QTextEdit *>(QStringLiteral("textEdit"))
            ->setPlainText(QStringLiteral("扩展屏模式下鼠标偶尔会卡顿一下。"));
        s.shoot(win + "about", &sw.w);
    }
    if (s.wants(win + "personalCenter")) {
        SampleWindow sw;
        sw.w.setLoginStatus(true);
        sw.w.setUserInfo(LoginUserInfo{QStringLiteral("13800000000"), QStringLiteral("王老师"), QString(),
                                       QStringLiteral("token"), QString(), QStringLiteral("u1")});
        sw.w.stack()->setCurrentWidget(sw.w.personalCenterWidget());
        s.shoot(win + "personalCenter", &sw.w);
    }
    if (s.wants(QStringLiteral("QnLynSettingWidget-signedIn"))) {
        QnLynSettingWidget popup;
        popup.setLoginStatus(true);
        popup.setName(QStringLiteral("王老师"));
        popup.setSelfStart(true);
        s.shoot(QStringLiteral("QnLynSettingWidget-signedIn"), &popup);
    }
    if (s.wants(QStringLiteral("QnLynSettingWidget-signedOut"))) {
        QnLynSettingWidget popup;
        popup.setLoginStatus(false);
        s.shoot(QStringLiteral("QnLynSettingWidget-signedOut"), &popup);
    }
    if (s.wants(QStringLiteral("UpdateContextDlg-notes"))) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("UpdateContext.ini"));
        {
            QSettings ini(path, QSettings::IniFormat);
            ini.setIniCodec("UTF-8");
            ini.setValue(QStringLiteral("Default/1.0.6.1"),
                         QStringLiteral("1. 新增扩展屏投屏\n2. 优化镜像投屏画质\n3. 修复若干已知问题"));
        }
        auto *dialog = new UpdateContextDlg;
        dialog->initUI(path);
        dialog->showContext();
        s.shoot(QStringLiteral("UpdateContextDlg-notes"), dialog);
        dialog->close();
    }
}
