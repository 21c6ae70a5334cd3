// The pages of the main sender window driven by key and mouse events: code entry, receiver list,
// mirroring panel, settings popup, about page (feedback posted to the loopback HTTP fixture) and
// the what's-new dialog.
#include "client/ui/QnFonts.h"
#include "client/ui/account/QnLoginUserInfo.h"
#include "client/ui/account/QnLynHeadButton.h"
#include "client/ui/account/QnLynPersonalCenterWidget.h"
#include "client/ui/sender/QnHomeWidget.h"
#include "client/ui/sender/QnLynAboutWidget.h"
#include "client/ui/sender/QnLynAutoConnectWidget.h"
#include "client/ui/sender/QnLynCodeLineEdit.h"
#include "client/ui/sender/QnLynGuidanceWidget.h"
#include "client/ui/sender/QnLynMirrorSwitchingResolutionWidget.h"
#include "client/ui/sender/QnLynSettingWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"
#include "common/http/QnLynInterNetWorkManager.h"
#include "resources/QnResources.h"
#include "tests/fixtures/http/QnHttpFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRadioButton>
#include <QSet>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTranslator>

namespace {

QStringList boxTexts(const QnHomeWidget &home)
{
    QStringList texts;
    for (const QnLynCodeLineEdit *e : home.codeEdits())
        texts << e->text();
    return texts;
}

// Types into whichever box has the focus, as a user does.
void typeKeys(const QString &keys)
{
    for (const QChar c : keys) {
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QTest::keyClicks(focus, QString(c));
    }
}

void showActive(QWidget *w)
{
    w->show();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}

} // namespace

class TstSenderPages : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QnResources::init();
        QnFonts::install();
        QVERIFY(m_translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN")));
        QCoreApplication::installTranslator(&m_translator);
    }

    // Six digits typed in turn fill the boxes and ask for one connection; five ask for none.
    void codeEntryTyping()
    {
        QnHomeWidget home;
        showActive(&home);
        QSignalSpy spy(&home, &QnHomeWidget::connectServer);
        typeKeys(QStringLiteral("12345"));
        QCOMPARE(spy.count(), 0);
        QCOMPARE(boxTexts(home), (QStringList{"1", "2", "3", "4", "5", ""}));
        QVERIFY(home.codeEdits().at(5)->hasFocus());
        typeKeys(QStringLiteral("6"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("123456"));
        QVERIFY(home.codeEdits().at(5)->hasFocus());
        QCOMPARE(home.code(), QStringLiteral("123456"));
        // A further digit is refused by the full box: no second request.
        typeKeys(QStringLiteral("7"));
        QCOMPARE(spy.count(), 1);
    }

    void codeEntryRefusesNonDigits_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("letter") << QStringLiteral("a");
        QTest::newRow("sign") << QStringLiteral("-");
        QTest::newRow("blank") << QStringLiteral(" ");
    }
    void codeEntryRefusesNonDigits()
    {
        QFETCH(QString, keys);
        QnHomeWidget home;
        showActive(&home);
        typeKeys(keys);
        QCOMPARE(home.code(), QString());
        QVERIFY(home.codeEdits().at(0)->hasFocus());
    }

    void codeEntryPasteKeepsOneDigit()
    {
        QnHomeWidget home;
        showActive(&home);
        QSignalSpy spy(&home, &QnHomeWidget::connectServer);
        QApplication::clipboard()->setText(QStringLiteral("123456"));
        QTest::keyClick(home.codeEdits().at(0), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(boxTexts(home), (QStringList{"1", "", "", "", "", ""}));
        QCOMPARE(spy.count(), 0);
    }

    // One Backspace clears one digit: the focused box when it has one, else the previous box.
    void codeEntryBackspaceClearsOneDigit()
    {
        QnHomeWidget home;
        showActive(&home);
        typeKeys(QStringLiteral("123"));
        QVERIFY(home.codeEdits().at(3)->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(boxTexts(home), (QStringList{"1", "2", "", "", "", ""}));
        QVERIFY(home.codeEdits().at(2)->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(boxTexts(home), (QStringList{"1", "", "", "", "", ""}));
        QVERIFY(home.codeEdits().at(1)->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(home.code(), QString());
        QVERIFY(home.codeEdits().at(0)->hasFocus());
    }

    // After six digits, Backspace clears only the sixth; a new sixth digit asks again.
    void codeEntryRetypeLastDigit()
    {
        QnHomeWidget home;
        showActive(&home);
        QSignalSpy spy(&home, &QnHomeWidget::connectServer);
        typeKeys(QStringLiteral("123456"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        QCOMPARE(home.code(), QStringLiteral("12345"));
        typeKeys(QStringLiteral("9"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("123459"));
        home.clearCode();
        QCOMPARE(home.code(), QString());
        QVERIFY(home.codeEdits().at(0)->hasFocus());
        QCOMPARE(spy.count(), 2);
    }

    void networkBadge_data()
    {
        QTest::addColumn<bool>("wireless");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("help");
        QTest::newRow("wifi") << true << QStringLiteral("School-WiFi") << QStringLiteral("School-WiFi")
                              << false;
        QTest::newRow("ethernet 19 chars") << false << QStringLiteral("abcdefghijklmnopqrs")
                                           << QStringLiteral("abcdefghijklmnopqr...") << true;
        QTest::newRow("rich text stays text")
            << true << QStringLiteral("<b>x</b>") << QStringLiteral("<b>x</b>") << false;
    }
    void networkBadge()
    {
        QFETCH(bool, wireless);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QFETCH(bool, help);
        QnHomeWidget home;
        QnLynAutoConnectWidget list;
        home.show();
        list.show();
        home.setNetworkInfo(wireless, name);
        list.setNetworkInfo(wireless, name);
        auto *homeName = home.findChild<QLabel *>(QStringLiteral("netNameLabel"));
        auto *listName = list.findChild<QLabel *>(QStringLiteral("autonetNameLabel"));
        QCOMPARE(homeName->text(), shown);
        QCOMPARE(listName->text(), shown);
        QCOMPARE(homeName->textFormat(), Qt::PlainText);
        QCOMPARE(listName->textFormat(), Qt::PlainText);
        QCOMPARE(home.findChild<QWidget *>(QStringLiteral("helpBtn"))->isVisible(), help);
        QCOMPARE(list.findChild<QWidget *>(QStringLiteral("autohelpBtn"))->isVisible(), help);
        home.setNetworkInfo(wireless, QString()); // an empty name keeps the shown one
        QCOMPARE(homeName->text(), shown);
    }

    void receiverList()
    {
        QnLynAutoConnectWidget page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto *stack = page.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
        page.setDevices({});
        QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("emptypage"));
        const QString longKey = QStringLiteral("0123456789abcdef");
        page.setDevices(
            {{longKey, QStringLiteral("Room")}, {QStringLiteral("222222"), QStringLiteral("Lab")}});
        QCOMPARE(stack->currentWidget()->objectName(), QStringLiteral("listpage"));
        QListWidget *list = page.listWidget();
        QCOMPARE(list->count(), 2);
        QCOMPARE(list->item(0)->text(), QStringLiteral("0123456789abcde..."));
        QCOMPARE(list->item(0)->data(QnLynAutoConnectWidget::kKeyRole).toString(), longKey);
        QCOMPARE(QnLynAutoConnectWidget::kKeyRole, 257);
        QSignalSpy spy(&page, &QnLynAutoConnectWidget::connectServer);
        const QRect r = list->visualItemRect(list->item(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toString(), longKey);
    }

    // Two clicks on refresh while it spins give one request, a second after the last click.
    void refreshTwiceAsksOnce()
    {
        QnLynAutoConnectWidget page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.setDevices({{QStringLiteral("111111"), QStringLiteral("Room")}});
        QSignalSpy spy(&page, &QnLynAutoConnectWidget::refreshConnectItems);
        QTest::mouseClick(page.refreshButton(), Qt::LeftButton);
        QCOMPARE(page.listWidget()->count(), 0);
        QTest::qWait(500);
        QTest::mouseClick(page.refreshButton(), Qt::LeftButton);
        QVERIFY(page.refreshButton()->isSpinning());
        QTest::qWait(700);
        QCOMPARE(spy.count(), 0);
        QTRY_COMPARE(spy.count(), 1);
        QCOMPARE(page.refreshButton()->angle(), 0);
        QTest::qWait(300);
        QCOMPARE(spy.count(), 1);
    }

    void noLanPanel_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::newRow("no LAN") << false;
        QTest::newRow("LAN") << true;
    }
    void noLanPanel()
    {
        QFETCH(bool, connected);
        QnLynAutoConnectWidget page;
        page.show();
        page.setNetworkInfo(false, QStringLiteral("eth0"));
        page.setNetworkState(connected);
        page.setNoNetworkVisible(!connected);
        for (const char *name : {"connectCodeWidget", "widget", "handBtn1", "handBtn2", "autohelpBtn"})
            QVERIFY2(page.findChild<QWidget *>(QLatin1String(name))->isVisible() == connected, name);
        QCOMPARE(page.noNetworkWidget()->isVisible(), !connected);
        // On Wi-Fi the Ethernet help stays hidden when the LAN comes back.
        page.setNetworkInfo(true, QStringLiteral("wlan"));
        page.setNetworkState(true);
        QVERIFY(!page.findChild<QWidget *>(QStringLiteral("autohelpBtn"))->isVisible());
    }

    void guideOpensAndCloses()
    {
        QnHomeWidget home;
        home.show();
        QSignalSpy spy(&home, &QnHomeWidget::guideWidgetShow);
        QTest::mouseClick(home.findChild<QWidget *>(QStringLiteral("upBtnText")), Qt::LeftButton);
        QVERIFY(home.guidanceWidget()->isVisible());
        QCOMPARE(home.guidanceWidget()->pos(),
                 QPoint(10, home.height() - home.guidanceWidget()->height() - 10));
        QTest::mouseClick(home.findChild<QWidget *>(QStringLiteral("downBtn")), Qt::LeftButton);
        QVERIFY(!home.guidanceWidget()->isVisible());
        QCOMPARE(spy.count(), 2);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(spy.at(1).at(0).toBool(), false);
    }

    void mirrorQuality()
    {
        QnLynMirrorSwitchingResolutionWidget panel;
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QSignalSpy high(&panel, &QnLynMirrorSwitchingResolutionWidget::changedHigh);
        QSignalSpy stop(&panel, &QnLynMirrorSwitchingResolutionWidget::stopScreen);
        QTest::mouseClick(panel.highButton(), Qt::LeftButton); // already checked: nothing
        QCOMPARE(high.count(), 0);
        QTest::mouseClick(panel.smoothButton(), Qt::LeftButton);
        QCOMPARE(high.count(), 1);
        QCOMPARE(high.at(0).at(0).toBool(), false);
        panel.selectHigh();
        QCOMPARE(high.count(), 2);
        QCOMPARE(high.at(1).at(0).toBool(), true);
        panel.selectHigh();
        QCOMPARE(high.count(), 2);
        auto *stopBtn = panel.findChild<QWidget *>(QStringLiteral("stopBtn"));
        QTest::mouseClick(stopBtn, Qt::LeftButton);
        QTest::mouseClick(stopBtn, Qt::LeftButton);
        QCOMPARE(stop.count(), 2);
    }

    void settingsPopup()
    {
        QnLynSettingWidget popup;
        popup.show();
        QVERIFY(QTest::qWaitForWindowExposed(&popup));
        QCOMPARE(popup.width(), 270);
        QCOMPARE(popup.height(), 142);
        QVERIFY(!popup.loginOutButton()->isVisible());
        QCOMPARE(popup.name(), QStringLiteral("登录"));
        popup.setLoginStatus(true);
        QCOMPARE(popup.height(), 190);
        QVERIFY(popup.loginOutButton()->isVisible());
        QSignalSpy start(&popup, &QnLynSettingWidget::selfStart);
        popup.setSelfStart(true);
        QCOMPARE(start.count(), 1);
        QCOMPARE(start.at(0).at(0).toBool(), true);
        popup.setSelfStart(true);
        QCOMPARE(start.count(), 1);
        QTest::mouseClick(popup.selfStartBox(), Qt::LeftButton);
        QCOMPARE(start.count(), 2);
        QCOMPARE(start.at(1).at(0).toBool(), false);
        QSignalSpy person(&popup, &QnLynSettingWidget::clickedPersonalCenter);
        QSignalSpy out(&popup, &QnLynSettingWidget::loginOut);
        QTest::mouseClick(popup.findChild<QWidget *>(QStringLiteral("personBtn2")), Qt::LeftButton);
        QTest::mouseClick(popup.loginOutButton(), Qt::LeftButton);
        QCOMPARE(person.count(), 1);
        QCOMPARE(out.count(), 1);
        QVERIFY(popup.isVisible());
        QSignalSpy about(&popup, &QnLynSettingWidget::aboutClicked);
        QTest::mouseClick(popup.findChild<QWidget *>(QStringLiteral("aboutBtn")), Qt::LeftButton);
        QCOMPARE(about.count(), 1);
        QVERIFY(!popup.isVisible());
        popup.setLoginStatus(false);
        QCOMPARE(popup.height(), 142);
        QVERIFY(popup.headButton()->hasHeadImage()); // back to ":/img/icon_person1.svg"
    }

    void aboutTextLimit()
    {
        QnLynAboutWidget page;
        showActive(&page);
        auto *edit = page.findChild<QTextEdit *>(QStringLiteral("textEdit"));
        auto *size = page.findChild<QLabel *>(QStringLiteral("sizelabel"));
        auto *submit = page.findChild<QWidget *>(QStringLiteral("submitBtn"));
        QVERIFY(!submit->isEnabled());
        edit->setFocus();
        QTest::keyClicks(edit, QStringLiteral("abcd"));
        QVERIFY(!submit->isEnabled());
        QCOMPARE(size->text(), QStringLiteral("4/120"));
        QTest::keyClicks(edit, QStringLiteral("e"));
        QVERIFY(submit->isEnabled());
        QTest::keyClick(edit, Qt::Key_Backspace);
        QVERIFY(!submit->isEnabled());
        // A paste of 130 characters keeps the first 120.
        QString text;
        for (int i = 0; i < 130; ++i)
            text += QChar('a' + i % 26);
        edit->clear();
        QApplication::clipboard()->setText(text);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->toPlainText(), text.left(120));
        QCOMPARE(size->text(), QStringLiteral("120/120"));
        // Typing in the middle of a full box removes the last character of the text.
        QTextCursor c = edit->textCursor();
        c.setPosition(10);
        edit->setTextCursor(c);
        QTest::keyClicks(edit, QStringLiteral("Z"));
        QCOMPARE(edit->toPlainText(), text.left(10) + "Z" + text.mid(10, 109));
        QCOMPARE(size->text(), QStringLiteral("120/120"));
    }

    void aboutVersionAndUpdate()
    {
        QCOMPARE(QnLynAboutWidget::buildDateFrom(QStringLiteral("Feb  3 2023")),
                 QStringLiteral("2023/02/03"));
        QCOMPARE(QnLynAboutWidget::buildDateFrom(QStringLiteral("Dec 10 2026")),
                 QStringLiteral("2026/12/10"));
        QCOMPARE(QnLynAboutWidget::buildTimeFrom(QStringLiteral("10:04:33")), QStringLiteral("10:04:33"));
        QnLynAboutWidget page;
        page.show();
        page.setUpdateInfo(false, QStringLiteral("1.0.6"));
        auto *version = page.findChild<QLabel *>(QStringLiteral("versionLabel"));
        QCOMPARE(version->text(),
                 QStringLiteral("昆洛传屏 当前版本：1.0.6  ") + page.buildDate() + "  " + page.buildTime());
        QSignalSpy update(&page, &QnLynAboutWidget::updateProgram);
        QTest::mouseClick(page.findChild<QWidget *>(QStringLiteral("updateBtn")), Qt::LeftButton);
        QCOMPARE(update.count(), 0);
        page.setUpdateInfo(true, QStringLiteral("1.0.6"));
        QVERIFY(page.findChild<QnSettingUpdateLabel *>(QStringLiteral("updatelabel"))->showDot());
        QTest::mouseClick(page.findChild<QWidget *>(QStringLiteral("updateBtn")), Qt::LeftButton);
        QCOMPARE(update.count(), 1);
    }

    // The feedback POST on the loopback fixture: reply table, body, token header.
    void feedbackPost_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("feature");
        QTest::addColumn<int>("outcome");
        QTest::newRow("500") << 500 << QByteArray("{}") << QString() << false << 2;
        QTest::newRow("200 code 200")
            << 200 << QByteArray("{\"code\":200}") << QStringLiteral("tok") << true << 1;
        QTest::newRow("200 code missing") << 200 << QByteArray("{\"msg\":\"x\"}") << QString() << false << 2;
        QTest::newRow("401") << 401 << QByteArray("{\"code\":401}") << QStringLiteral("tok") << false << 2;
    }
    void feedbackPost()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, token);
        QFETCH(bool, feature);
        QFETCH(int, outcome);
        QnHttpFixture fixture;
        QVERIFY(fixture.listen());
        const QString path = QStringLiteral("/gateway/basic/feedbackManage/hero/addFeedback");
        fixture.setRoute("POST", path, QnHttpResponse::raw(status, body, "application/json"));
        QnLynInterNetWorkManager manager(fixture.baseUrl());
        QnLynAboutWidget page;
        page.setNetworkManager(&manager);
        page.setToken(token);
        showActive(&page);
        if (feature)
            QTest::mouseClick(page.findChild<QRadioButton *>(QStringLiteral("fradioButton")), Qt::LeftButton);
        auto *edit = page.findChild<QTextEdit *>(QStringLiteral("textEdit"));
        edit->setFocus();
        QApplication::clipboard()->setText(QStringLiteral("画面卡顿严重"));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        auto *contact = page.findChild<QLineEdit *>(QStringLiteral("numLineEdit"));
        contact->setFocus();
        QTest::keyClicks(contact, QStringLiteral("13800000000"));
        QSignalSpy answered(&page, &QnLynAboutWidget::feedbackAnswered);
        QTest::mouseClick(page.findChild<QWidget *>(QStringLiteral("submitBtn")), Qt::LeftButton);
        QVERIFY(answered.wait(5000));
        QCOMPARE(answered.at(0).at(0).toInt(), outcome);
        QCOMPARE(fixture.requests().size(), 1);
        const QnHttpRecordedRequest request = fixture.requests().first();
        QCOMPARE(request.path, path);
        QCOMPARE(request.hasHeader("access_token"), !token.isEmpty());
        if (!token.isEmpty())
            QCOMPARE(request.header("access_token"), token.toUtf8());
        const QJsonObject sent = QJsonDocument::fromJson(request.body).object();
        QCOMPARE(sent.value("feedbackInfo").toString(), QStringLiteral("画面卡顿严重"));
        QCOMPARE(sent.value("feedbackType").toInt(), feature ? 2 : 1);
        QCOMPARE(sent.value("feedbackMobile").toString(), QStringLiteral("13800000000"));
        QVERIFY(page.findChild<QWidget *>(QStringLiteral("submitBtn"))->isEnabled());
    }

    // A reply after the page is gone is dropped.
    void feedbackReplyAfterPageGone()
    {
        QnHttpFixture fixture;
        QVERIFY(fixture.listen());
        QnHttpResponse slow = QnHttpResponse::raw(200, "{\"code\":200}", "application/json");
        slow.delayMs = 300;
        fixture.setRoute("POST", QStringLiteral("/gateway/basic/feedbackManage/hero/addFeedback"), slow);
        QnLynInterNetWorkManager manager(fixture.baseUrl());
        auto *page = new QnLynAboutWidget;
        page->setNetworkManager(&manager);
        page->show();
        page->findChild<QTextEdit *>(QStringLiteral("textEdit"))->setPlainText(QStringLiteral("12345"));
        QTest::mouseClick(page->findChild<QWidget *>(QStringLiteral("submitBtn")), Qt::LeftButton);
        QTRY_COMPARE(fixture.requests().size(), 1);
        auto tips = [] {
            QSet<QWidget *> shown;
            for (QWidget *w : QApplication::topLevelWidgets())
                if (w->isVisible() && w->objectName() == QStringLiteral("QnFloatTip"))
                    shown << w;
            return shown;
        };
        const QSet<QWidget *> before = tips();
        delete page;
        QTest::qWait(600);
        QVERIFY((tips() - before).isEmpty());
    }

    void whatsNewDialog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("UpdateContext.ini"));
        {
            QSettings ini(path, QSettings::IniFormat);
            ini.setIniCodec("UTF-8");
            ini.setValue(QStringLiteral("Default/1.0.6.1"), QStringLiteral("第一行\n第二行"));
            ini.setValue(QStringLiteral("Default/1.0.5.9"), QStringLiteral("old"));
        }
        QPointer<UpdateContextDlg> dialog = new UpdateContextDlg;
        dialog->initUI(path);
        QVERIFY(dialog->hasContext());
        QCOMPARE(dialog->versionText(), QStringLiteral("更新至1.0.6.1"));
        QCOMPARE(dialog->notesText(), QStringLiteral("第一行\n第二行"));
        QVERIFY(!QFile::exists(path));
        dialog->showContext();
        QVERIFY(dialog->isVisible());
        QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("btnOk")), Qt::LeftButton);
        QTRY_VERIFY(dialog.isNull()); // deleted on close
        auto *again = new UpdateContextDlg;
        again->initUI(path);
        again->showContext();
        QVERIFY(!again->hasContext());
        QVERIFY(!again->isVisible());
        delete again;
    }

    void personalCenterStandIn()
    {
        QnLynPersonalCenterWidget page;
        LoginUserInfo info;
        info.userName = QStringLiteral("13800000000");
        page.setUserInfo(info);
        QCOMPARE(page.userInfo().displayName(), QStringLiteral("13800000000"));
        info.name = QStringLiteral("<i>王老师</i>");
        page.setUserInfo(info);
        QCOMPARE(page.userInfo().displayName(), QStringLiteral("<i>王老师</i>"));
    }

private:
    QTranslator m_translator;
};

QTEST_MAIN(TstSenderPages)
#include "tst_senderpages.moc"
