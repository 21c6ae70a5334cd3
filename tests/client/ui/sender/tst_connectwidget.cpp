// The main sender window's wiring: connection guard, cancel and time-out with the code asked for,
// late successes, receivers with one name, pages after back, guide background, what's-new dialog,
// session lock, close without a tray, the internet check on a local name.
#include "client/ui/QnAshWidget.h"
#include "client/ui/QnFonts.h"
#include "client/ui/QnLynConnectWaittingWidget.h"
#include "client/ui/sender/QnHomeWidget.h"
#include "client/ui/sender/QnLynAboutWidget.h"
#include "client/ui/sender/QnLynAutoConnectWidget.h"
#include "client/ui/sender/QnLynCodeLineEdit.h"
#include "client/ui/sender/QnLynConnectWidget.h"
#include "client/ui/sender/QnLynFunctionHomeWidget.h"
#include "client/ui/sender/QnLynMirrorSwitchingResolutionWidget.h"
#include "client/ui/sender/QnLynSettingWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"
#include "platform/system/QnSessionEvents.h"
#include "resources/QnResources.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

void typeCode(QnLynConnectWidget &w, const QString &code)
{
    for (const QChar c : code)
        QTest::keyClicks(QApplication::focusWidget() ? QApplication::focusWidget() : w.homeWidget(),
                         QString(c));
}

void clickReceiver(QnLynConnectWidget &w, int row)
{
    QListWidget *list = w.autoConnectWidget()->listWidget();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
}

void cancelOverlay(QnLynConnectWidget &w)
{
    QTest::mouseClick(w.waittingWidget()->findChild<QPushButton *>(QStringLiteral("closeConnectBtn")),
                      Qt::LeftButton);
}

struct Window
{
    QTemporaryDir dir;
    QnLynConnectWidget w;
    Window()
    {
        w.setUpdateNotesPath(dir.filePath(QStringLiteral("UpdateContext.ini")));
        w.show();
        QApplication::setActiveWindow(&w);
    }
};

} // namespace

class TstConnectWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QnResources::init();
        QnFonts::install();
    }

    void formAndPages()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.size(), QSize(820, 620));
        QCOMPARE(w.windowTitle(), QStringLiteral("昆洛传屏"));
        QCOMPARE(w.stack()->count(), 8);
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.homeWidget()));
        QCOMPARE(w.stack()->indexOf(w.homeWidget()), 2);
        QCOMPARE(w.stack()->indexOf(w.mirrorWidget()), 7);
        QVERIFY(w.homeWidget()->codeEdits().at(0)->hasFocus());
    }

    // Typing a code connects with isAuto false and shows the overlay; a cancel stops the code asked.
    void codeConnectAndCancel()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QSignalSpy connectSpy(&w, &QnLynConnectWidget::connectServer);
        QSignalSpy stopSpy(&w, &QnLynConnectWidget::stopConnectServer);
        typeCode(w, QStringLiteral("123456"));
        QCOMPARE(connectSpy.count(), 1);
        QCOMPARE(connectSpy.at(0).at(0).toString(), QStringLiteral("123456"));
        QCOMPARE(connectSpy.at(0).at(1).toBool(), false);
        QVERIFY(w.connectTimer()->isActive());
        QVERIFY(w.waittingWidget()->isVisible());
        QCOMPARE(w.currentCode(), QStringLiteral("123456"));
        cancelOverlay(w);
        QCOMPARE(stopSpy.count(), 1);
        QCOMPARE(stopSpy.at(0).at(0).toString(), QStringLiteral("123456"));
        QCOMPARE(w.homeWidget()->code(), QString());
        QVERIFY(!w.connectTimer()->isActive());
    }

    // A pick from the receiver list leaves the home boxes empty: cancel still names the receiver
    // asked for, and a success that arrives afterwards shows no function page.
    void cancelAfterListPickAndLateSuccess()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.showReceiverList();
        w.updateDeviceList({{QStringLiteral("654321"), QStringLiteral("Room 1")}});
        QSignalSpy connectSpy(&w, &QnLynConnectWidget::connectServer);
        QSignalSpy stopSpy(&w, &QnLynConnectWidget::stopConnectServer);
        clickReceiver(w, 0);
        QCOMPARE(connectSpy.count(), 1);
        QCOMPARE(connectSpy.at(0).at(1).toBool(), true);
        cancelOverlay(w);
        QCOMPARE(stopSpy.count(), 1);
        QCOMPARE(stopSpy.at(0).at(0).toString(), QStringLiteral("654321"));
        QCOMPARE(w.currentCode(), QString());
        w.connectSuccess();
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.autoConnectWidget()));
        // A new attempt succeeds normally.
        clickReceiver(w, 0);
        w.connectSuccess();
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.functionWidget()));
        QVERIFY(!w.connectTimer()->isActive());
    }

    void connectTimeoutNamesCode()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        w.connectTimer()->setInterval(50);
        w.showReceiverList();
        w.updateDeviceList({{QStringLiteral("111111"), QStringLiteral("Room")}});
        QSignalSpy timeout(&w, &QnLynConnectWidget::connectTimeout);
        clickReceiver(w, 0);
        QVERIFY(timeout.wait(2000));
        QCOMPARE(timeout.at(0).at(0).toString(), QStringLiteral("111111"));
        QVERIFY(!w.waittingWidget()->isVisible());
        QCOMPARE(w.currentCode(), QString());
        w.connectSuccess(); // late
        QVERIFY(w.stack()->currentWidget() != static_cast<QWidget *>(w.functionWidget()));
    }

    // Two receivers with one name: a list refresh keeps the chosen code, so casting goes to it.
    void sameNameReceiversKeepChoice()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        w.showReceiverList();
        const QMap<QString, QString> twins{{QStringLiteral("111111"), QStringLiteral("Room")},
                                           {QStringLiteral("222222"), QStringLiteral("Room")}};
        w.updateDeviceList(twins);
        clickReceiver(w, 1);
        w.connectSuccess();
        w.setConnectDevice(QStringLiteral("Room"));
        w.updateDeviceList(twins);
        QCOMPARE(w.currentCode(), QStringLiteral("222222"));
        w.mirrorTimer()->setInterval(60000);
        QSignalSpy mirror(&w, &QnLynConnectWidget::clickedMirror);
        emit w.functionWidget()->clickedMirror();
        QCOMPARE(mirror.at(0).at(0).toString(), QStringLiteral("222222"));
    }

    // Cancelling while both guards run stops the connection first, then the casting start.
    void cancelStopsBothInOrder()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QStringList order;
        connect(&w, &QnLynConnectWidget::stopConnectServer, [&] { order << QStringLiteral("connect"); });
        connect(&w, &QnLynConnectWidget::stopMirrorConnect, [&] { order << QStringLiteral("mirror"); });
        w.showReceiverList();
        w.updateDeviceList({{QStringLiteral("111111"), QStringLiteral("Room")}});
        clickReceiver(w, 0);
        emit w.functionWidget()->clickedMirror();
        QVERIFY(w.mirrorTimer()->isActive());
        cancelOverlay(w);
        QCOMPARE(order, (QStringList{"connect", "mirror"}));
        QVERIFY(!w.mirrorTimer()->isActive());
    }

    void expandNeedsTwoScreens_data()
    {
        QTest::addColumn<int>("screens");
        QTest::newRow("one") << 1;
        QTest::newRow("two") << 2;
    }
    void expandNeedsTwoScreens()
    {
        QFETCH(int, screens);
        Window win;
        QnLynConnectWidget &w = win.w;
        w.setScreenCounter([screens] { return screens; });
        QSignalSpy expand(&w, &QnLynConnectWidget::clickedExpand);
        emit w.functionWidget()->clickedExpand();
        QCOMPARE(expand.count(), screens >= 2 ? 1 : 0);
        QCOMPARE(w.mirrorTimer()->isActive(), screens >= 2);
    }

    void mirrorTimeoutAndPanel()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        w.mirrorTimer()->setInterval(50);
        QSignalSpy stop(&w, &QnLynConnectWidget::stopMirrorConnect);
        emit w.functionWidget()->clickedMirror();
        QVERIFY(stop.wait(2000));
        QVERIFY(!w.waittingWidget()->isVisible());
        QSignalSpy resolution(&w, &QnLynConnectWidget::changedResolution);
        w.showMirrorPanel();
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.mirrorWidget()));
        QTest::mouseClick(w.mirrorWidget()->smoothButton(), Qt::LeftButton);
        QCOMPARE(resolution.count(), 1);
        QCOMPARE(resolution.at(0).at(0).toBool(), false);
        QTest::mouseClick(w.mirrorWidget()->findChild<QWidget *>(QStringLiteral("stopBtn")), Qt::LeftButton);
        QCOMPARE(stop.count(), 2);
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.functionWidget()));
        QVERIFY(!w.isKeepingAwake());
    }

    void backHomeRule()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        emit w.aboutWidget()->backHome();
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.autoConnectWidget()));
        w.updateDeviceList({{QStringLiteral("111111"), QStringLiteral("Room")}});
        clickReceiver(w, 0);
        w.connectSuccess();
        w.stack()->setCurrentWidget(w.aboutWidget());
        emit w.aboutWidget()->backHome();
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.functionWidget()));
        QSignalSpy disconnected(&w, &QnLynConnectWidget::disconnectServer);
        QTest::mouseClick(w.functionWidget()->findChild<QWidget *>(QStringLiteral("disconnecrtBtn")),
                          Qt::LeftButton);
        QCOMPARE(disconnected.at(0).at(0).toString(), QStringLiteral("111111"));
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.autoConnectWidget()));
        QCOMPARE(w.currentCode(), QString());
    }

    void guideChangesBackground()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QTest::mouseClick(w.homeWidget()->findChild<QWidget *>(QStringLiteral("upBtn")), Qt::LeftButton);
        QVERIFY(w.frameStyle().contains(QStringLiteral(":/img/back_up.png")));
        QCOMPARE(w.autoConnectWidget()->findChild<QWidget *>(QStringLiteral("connectCodeWidget"))->height(),
                 165);
        QTest::mouseClick(w.homeWidget()->findChild<QWidget *>(QStringLiteral("downBtn")), Qt::LeftButton);
        QVERIFY(w.frameStyle().contains(QStringLiteral(":/img/back1.png")));
        QCOMPARE(w.autoConnectWidget()->findChild<QWidget *>(QStringLiteral("connectCodeWidget"))->height(),
                 253);
    }

    // Without notes no dialog is left behind; with notes it is shown once.
    void whatsNewOnShow()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::qWait(250);
        QCOMPARE(w.findChildren<UpdateContextDlg *>().size(), 0);
        {
            QSettings ini(win.dir.filePath(QStringLiteral("UpdateContext.ini")), QSettings::IniFormat);
            ini.setValue(QStringLiteral("Default/1.0.6.3"), QStringLiteral("新功能"));
        }
        w.hide();
        w.show();
        QTRY_VERIFY(w.updateDialog() && w.updateDialog()->isVisible());
        QTest::mouseClick(w.updateDialog()->findChild<QWidget *>(QStringLiteral("btnClose")), Qt::LeftButton);
        QTRY_VERIFY(!w.updateDialog());
        w.hide();
        w.show();
        QTest::qWait(250);
        QCOMPARE(w.findChildren<UpdateContextDlg *>().size(), 0);
    }

    void sessionLockEmitsCode()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QSignalSpy lock(&w, &QnLynConnectWidget::lockScreen);
        QSignalSpy unlock(&w, &QnLynConnectWidget::unlockScreen);
        emit w.sessionEvents()->locked();
        QCOMPARE(lock.count(), 1);
        QCOMPARE(lock.at(0).at(0).toString(), QString());
        w.updateDeviceList({{QStringLiteral("111111"), QStringLiteral("Room")}});
        clickReceiver(w, 0);
        w.connectSuccess();
        emit w.sessionEvents()->unlocked();
        QCOMPARE(unlock.at(0).at(0).toString(), QStringLiteral("111111"));
    }

    // Offscreen has no tray: the close button minimises, so the window can be found again.
    void closeWithoutTrayMinimises()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
        QTest::mouseClick(w.findChild<QWidget *>(QStringLiteral("conCloseBtn")), Qt::LeftButton);
        QVERIFY(w.isVisible());
        QVERIFY(w.isMinimized());
        w.activatedSysTrayIcon(QSystemTrayIcon::Trigger);
        QVERIFY(!w.isMinimized());
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.homeWidget()));
        w.close();
        QVERIFY(w.isVisible());
    }

    void personButtonTogglesPopup()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QWidget *person = w.findChild<QWidget *>(QStringLiteral("personBtn"));
        QTest::mouseClick(person, Qt::LeftButton);
        QVERIFY(w.settingWidget()->isVisible());
        QWidget *close = w.findChild<QWidget *>(QStringLiteral("conCloseBtn"));
        QCOMPARE(w.settingWidget()->geometry().right(),
                 close->mapToGlobal(QPoint(close->width(), 0)).x() - 1);
        QCOMPARE(w.settingWidget()->y(), person->mapToGlobal(QPoint(0, person->height())).y() + 25);
        w.settingWidget()->hide();
    }

    void internetCheck_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("login");
        QTest::addColumn<QString>("page");
        QTest::addColumn<int>("loginAsked");
        QTest::newRow("online, signed in")
            << QStringLiteral("localhost") << true << QStringLiteral("personalCenter") << 0;
        QTest::newRow("online, nobody signed in")
            << QStringLiteral("localhost") << false << QStringLiteral("home") << 1;
        QTest::newRow("offline") << QStringLiteral("no-such-host.invalid") << true << QStringLiteral("home")
                                 << 0;
    }
    void internetCheck()
    {
        QFETCH(QString, host);
        QFETCH(bool, login);
        QFETCH(QString, page);
        QFETCH(int, loginAsked);
        Window win;
        QnLynConnectWidget &w = win.w;
        w.setInternetCheckHost(host);
        w.setLoginStatus(login);
        QSignalSpy asked(&w, &QnLynConnectWidget::centerPenterLogin);
        emit w.settingWidget()->clickedPersonalCenter();
        QWidget *expected = page == QStringLiteral("home") ? static_cast<QWidget *>(w.homeWidget())
                                                           : static_cast<QWidget *>(w.personalCenterWidget());
        if (page == QStringLiteral("home"))
            QTest::qWait(host.endsWith(QStringLiteral(".invalid")) ? 1500 : 500);
        QTRY_COMPARE(w.stack()->currentWidget(), expected);
        QTRY_COMPARE(asked.count(), loginAsked);
        if (loginAsked)
            QVERIFY(!w.isVisible());
    }

    void userInfoAndHead()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        w.setLoginStatus(true);
        LoginUserInfo info{QStringLiteral("13800000000"), QString(), QString(),
                           QStringLiteral("tok"),         QString(), QStringLiteral("u1")};
        w.setUserInfo(info);
        QCOMPARE(w.settingWidget()->name(), QStringLiteral("13800000000"));
        QCOMPARE(w.aboutWidget()->token(), QStringLiteral("tok"));
        w.setLoginStatus(false);
        QCOMPARE(w.settingWidget()->height(), 142);
        w.showAshWidget();
        QCOMPARE(w.ashWidget()->geometry(), QRect(10, 10, 800, 600));
        w.hideAshWidget();
        QVERIFY(!w.ashWidget()->isVisible());
    }

    void keepAwakeWithoutBus()
    {
        Window win;
        QnLynConnectWidget &w = win.w;
        w.showMirrorPanel(); // no logind here: nothing is held, nothing breaks
        QCOMPARE(w.stack()->currentWidget(), static_cast<QWidget *>(w.mirrorWidget()));
        w.setCasting(false);
        QVERIFY(!w.isKeepingAwake());
    }
};

QTEST_MAIN(TstConnectWidget)
#include "tst_connectwidget.moc"
