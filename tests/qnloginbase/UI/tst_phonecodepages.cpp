// The registration and password reset pages driven with keys and clicks against the account-service
// fixture: field rules, the code countdown, wrong codes, the service's "msg" texts, the password
// checks, the enabling rules and the pages' independence.

#include "qnloginbase/src/Interface/HttpSession.h"
#include "qnloginbase/src/UI/LoginLibraryWidgets.h"
#include "qnloginbase/src/UI/PhoneCodePage.h"
#include "resources/QnResources.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString kKnown = QStringLiteral("13800000001");
const QString kNew = QStringLiteral("13900000002");
} // namespace

class TestPhoneCodePages : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_home;
    std::unique_ptr<QnCloudFixture> m_cloud;
    std::unique_ptr<HttpSession> m_session;

    template<typename T> static T *child(QWidget *page, const char *name)
    {
        T *widget = page->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    static void type(QWidget *page, const char *name, const QString &text)
    {
        auto *edit = child<QLineEdit>(page, name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    static void click(QWidget *page, const char *name)
    {
        QTest::mouseClick(child<QPushButton>(page, name), Qt::LeftButton);
    }
    static QString text(QWidget *page, const char *name) { return child<QLabel>(page, name)->text(); }
    static QString step(QWidget *page)
    {
        return child<QStackedWidget>(page, "stackedWidget")->currentWidget()->objectName();
    }
    static bool enabled(QWidget *page, const char *name)
    {
        return child<QPushButton>(page, name)->isEnabled();
    }

    /// Requests and checks a code for phone; leaves the page on step two.
    void toStepTwo(PhoneCodePage *page, const QString &phone)
    {
        QSignalSpy sent(m_session.get(), &HttpSession::getVerifyCodeRs);
        type(page, "regislineEdit", phone);
        click(page, "verCodeBtn");
        QVERIFY(sent.wait(5000));
        QVERIFY(sent.first().at(1).toBool());
        QCOMPARE(page->toast()->text(), QStringLiteral("Captcha code sent successfully"));
        type(page, "regisCodelineEdit", m_cloud->codeOf(phone));
        QSignalSpy checked(m_session.get(), &HttpSession::checkVerifyCodeRs);
        click(page, "resnextBtn");
        QVERIFY(!enabled(page, "resnextBtn"));
        QVERIFY(checked.wait(5000));
        QCOMPARE(step(page), QStringLiteral("passwordWidget"));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QnResources::init();
        QVERIFY(m_home.isValid());
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
    }
    void init()
    {
        m_cloud = std::make_unique<QnCloudFixture>();
        QVERIFY(m_cloud->listen());
        m_cloud->addAccount(kKnown, QStringLiteral("old_pw1"));
        m_cloud->setCodeLength(4);
        m_session = std::make_unique<HttpSession>();
        m_session->setGatewayBaseUrl(m_cloud->gatewayUrl());
        m_session->setTransferTimeout(2000);
    }
    void cleanup()
    {
        m_session.reset();
        m_cloud.reset();
    }

    void fieldRules_data()
    {
        QTest::addColumn<bool>("registration");
        QTest::newRow("register") << true;
        QTest::newRow("reset") << false;
    }
    void fieldRules()
    {
        QFETCH(bool, registration);
        std::unique_ptr<PhoneCodePage> page;
        if (registration)
            page = std::make_unique<RegisterWidget>(nullptr, m_session.get());
        else
            page = std::make_unique<ForgetPwdWidget>(nullptr, m_session.get());
        page->resetPage();
        page->show();
        QCOMPARE(step(page.get()), QStringLiteral("VerificationCodeWidget"));
        QVERIFY(!enabled(page.get(), "verCodeBtn"));
        QVERIFY(!enabled(page.get(), "resnextBtn"));
        type(page.get(), "regislineEdit", QStringLiteral("1a3-8 0000000000999"));
        QCOMPARE(child<QLineEdit>(page.get(), "regislineEdit")->text(), QStringLiteral("13800000000"));
        QVERIFY(enabled(page.get(), "verCodeBtn"));
        QVERIFY(!enabled(page.get(), "resnextBtn"));
        type(page.get(), "regisCodelineEdit", QStringLiteral("12x345"));
        QCOMPARE(child<QLineEdit>(page.get(), "regisCodelineEdit")->text(), QStringLiteral("1234"));
        QVERIFY(enabled(page.get(), "resnextBtn"));
        type(page.get(), "regisCodelineEdit", QStringLiteral("7"));
        QVERIFY(enabled(page.get(), "resnextBtn")); // one digit is enough for the page
        type(page.get(), "regislineEdit", QString());
        QVERIFY(!enabled(page.get(), "verCodeBtn"));
        QVERIFY(!enabled(page.get(), "resnextBtn"));
        QCOMPARE(child<QLineEdit>(page.get(), "settinglineEdit")->maxLength(), 16);
        QCOMPARE(child<QLineEdit>(page.get(), "settingAgainlineEdit")->maxLength(), 16);
        QCOMPARE(child<QLineEdit>(page.get(), "regislineEdit")->contextMenuPolicy(), Qt::NoContextMenu);
        QCOMPARE(child<QLabel>(page.get(), "regisMsglabel1")->textFormat(), Qt::PlainText);
        QCOMPARE(child<QLabel>(page.get(), "regisMsglabel2")->textFormat(), Qt::PlainText);
    }

    void tenDigitsRefused()
    {
        RegisterWidget page(nullptr, m_session.get());
        page.resetPage();
        page.show();
        type(&page, "regislineEdit", QStringLiteral("1380000000"));
        click(&page, "verCodeBtn");
        QCOMPARE(text(&page, "regisMsglabel1"),
                 QStringLiteral("The format of the mobile phone number is not correct."));
        QVERIFY(enabled(&page, "verCodeBtn"));
        QVERIFY(!page.codeButton()->isCounting());
        QCOMPARE(page.codeButton()->text(), QStringLiteral("Send Code"));
        QTest::qWait(50);
        QCOMPARE(m_cloud->requests().size(), 0);
        type(&page, "regislineEdit", QStringLiteral("13800000000"));
        QVERIFY(text(&page, "regisMsglabel1").isEmpty());
    }

    void registeredNumberKeepsCountdown()
    {
        RegisterWidget page(nullptr, m_session.get());
        page.resetPage();
        page.show();
        page.codeButton()->setTickInterval(30);
        QSignalSpy results(m_session.get(), &HttpSession::getVerifyCodeRs);
        type(&page, "regislineEdit", kKnown);
        click(&page, "verCodeBtn");
        QVERIFY(page.codeButton()->isCounting());
        QVERIFY(!enabled(&page, "verCodeBtn"));
        QVERIFY(results.wait(5000));
        QCOMPARE(text(&page, "regisMsglabel1"), QStringLiteral("Phone is use"));
        QVERIFY(page.codeButton()->isCounting());
        // While counting, editing the number leaves the button alone.
        type(&page, "regislineEdit", QString());
        QVERIFY(!enabled(&page, "verCodeBtn"));
        type(&page, "regislineEdit", QStringLiteral("1"));
        QVERIFY(!enabled(&page, "verCodeBtn"));
        type(&page, "regislineEdit", QString());
        page.codeButton()->setTickInterval(1);
        QTRY_VERIFY_WITH_TIMEOUT(!page.codeButton()->isCounting(), 5000);
        QVERIFY(enabled(&page, "verCodeBtn")); // even with an empty number
        QCOMPARE(page.codeButton()->text(), QStringLiteral("Send Code"));
    }

    void serviceMsgShownPlain()
    {
        ForgetPwdWidget page(nullptr, m_session.get());
        page.resetPage();
        page.show();
        const QString msg = QStringLiteral("<b>SMS gateway busy</b>");
        m_cloud->setReply(QnCloudRoute::kForgetPassCode,
                          QnHttpResponse::json(QnCloudFixture::envelope(500, QJsonValue(), msg)), 1);
        QSignalSpy results(m_session.get(), &HttpSession::getVerifyCodeRs);
        type(&page, "regislineEdit", kKnown);
        click(&page, "verCodeBtn");
        QVERIFY(results.wait(5000));
        QCOMPARE(text(&page, "regisMsglabel1"), msg);
        QCOMPARE(child<QLabel>(&page, "regisMsglabel1")->textFormat(), Qt::PlainText);
        QVERIFY(page.codeButton()->isCounting());
    }

    void registration()
    {
        RegisterWidget page(nullptr, m_session.get());
        page.resetPage();
        page.show();
        QSignalSpy jumps(&page, &PhoneCodePage::jumpPage);
        type(&page, "regislineEdit", kNew);
        QSignalSpy sent(m_session.get(), &HttpSession::getVerifyCodeRs);
        click(&page, "verCodeBtn");
        QVERIFY(sent.wait(5000));
        // A wrong code: the message under the code, step one stays, "下一步" enabled again.
        const QString code = m_cloud->codeOf(kNew);
        QVERIFY(!code.isEmpty());
        type(&page, "regisCodelineEdit",
             code == QLatin1String("0000") ? QStringLiteral("1111") : QStringLiteral("0000"));
        QSignalSpy checked(m_session.get(), &HttpSession::checkVerifyCodeRs);
        click(&page, "resnextBtn");
        QVERIFY(checked.wait(5000));
        QCOMPARE(text(&page, "regisMsglabel2"), QStringLiteral("Captcha error"));
        QCOMPARE(step(&page), QStringLiteral("VerificationCodeWidget"));
        QVERIFY(enabled(&page, "resnextBtn"));
        type(&page, "regisCodelineEdit", code);
        QVERIFY(text(&page, "regisMsglabel2").isEmpty());
        click(&page, "resnextBtn");
        QVERIFY(checked.wait(5000));
        QCOMPARE(step(&page), QStringLiteral("passwordWidget"));

        // The tick gates "完成".
        type(&page, "settinglineEdit", QStringLiteral("new_pw_1"));
        type(&page, "settingAgainlineEdit", QStringLiteral("new_pw_1"));
        QVERIFY(!enabled(&page, "resBtn"));
        auto *tick = child<QCheckBox>(&page, "checkBox");
        QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(7, tick->height() / 2));
        QVERIFY(tick->isChecked());
        QVERIFY(enabled(&page, "resBtn"));
        QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(7, tick->height() / 2));
        QVERIFY(!enabled(&page, "resBtn"));
        QTest::mouseClick(tick, Qt::LeftButton, {}, QPoint(7, tick->height() / 2));
        type(&page, "settingAgainlineEdit", QString());
        QVERIFY(!enabled(&page, "resBtn"));
        type(&page, "settingAgainlineEdit", QStringLiteral("new_pw_1"));

        QSignalSpy done(m_session.get(), &HttpSession::setUserPwdRs);
        click(&page, "resBtn");
        QVERIFY(done.wait(5000));
        QVERIFY(done.first().at(1).toBool());
        QCOMPARE(page.toast()->text(), QStringLiteral("Register successfully"));
        QCOMPARE(jumps.size(), 1);
        QCOMPARE(jumps.first().first().toInt(), 0);
        QVERIFY(m_cloud->hasAccount(kNew));
        QCOMPARE(m_cloud->account(kNew).password, QStringLiteral("new_pw_1"));
    }

    void passwordChecks_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("firstMessage");
        QTest::addColumn<QString>("secondMessage");
        const QString format = QStringLiteral("6-16,Support letters, numbers, and underscores.");
        const QString mismatch = QStringLiteral("The two passwords don't match.");
        QTest::newRow("five characters") << "abcde"
                                         << "abcde" << format << "";
        QTest::newRow("hyphen") << "abc-def"
                                << "abc-def" << format << "";
        QTest::newRow("space") << "abc def"
                               << "abc def" << format << "";
        QTest::newRow("case differs") << "Abc_12"
                                      << "abc_12"
                                      << "" << mismatch;
    }
    void passwordChecks()
    {
        QFETCH(QString, password);
        QFETCH(QString, repeat);
        QFETCH(QString, firstMessage);
        QFETCH(QString, secondMessage);
        ForgetPwdWidget page(nullptr, m_session.get());
        page.resetPage();
        page.show();
        toStepTwo(&page, kKnown);
        m_cloud->clearRequests();
        type(&page, "settinglineEdit", password);
        type(&page, "settingAgainlineEdit", repeat);
        QVERIFY(enabled(&page, "resBtn")); // no tick on this page
        click(&page, "resBtn");
        QCOMPARE(text(&page, "passMsgLabel1"), firstMessage);
        QCOMPARE(text(&page, "passMsgLabel2"), secondMessage);
        QTest::qWait(50);
        QCOMPARE(m_cloud->requests().size(), 0);
    }

    void reset()
    {
        ForgetPwdWidget page(nullptr, m_session.get());
        page.resetPage();
        page.show();
        QCOMPARE(text(&page, "titlelabel"), QStringLiteral("Forget Password"));
        // A number without an account.
        QSignalSpy sent(m_session.get(), &HttpSession::getVerifyCodeRs);
        type(&page, "regislineEdit", kNew);
        click(&page, "verCodeBtn");
        QVERIFY(sent.wait(5000));
        QCOMPARE(text(&page, "regisMsglabel1"), QStringLiteral("Mobile phone number is not registered"));
        QVERIFY(page.codeButton()->isCounting());
        QVERIFY(!enabled(&page, "verCodeBtn"));
        page.codeButton()->reset();
        page.codeButton()->setEnabled(true);

        toStepTwo(&page, kKnown);
        QCOMPARE(text(&page, "titlelabel"), QStringLiteral("Set Password"));
        QSignalSpy jumps(&page, &PhoneCodePage::jumpPage);
        // A refused change: the reply's msg in the toast, step two stays.
        m_cloud->setReply(
            QnCloudRoute::kForgetPassUpdate,
            QnHttpResponse::json(QnCloudFixture::envelope(500, QJsonValue(), QStringLiteral("try later"))),
            1);
        type(&page, "settinglineEdit", QStringLiteral("fresh_pw9"));
        type(&page, "settingAgainlineEdit", QStringLiteral("fresh_pw9"));
        QSignalSpy done(m_session.get(), &HttpSession::setUserPwdRs);
        click(&page, "resBtn");
        QVERIFY(done.wait(5000));
        QCOMPARE(page.toast()->text(), QStringLiteral("try later"));
        QCOMPARE(step(&page), QStringLiteral("passwordWidget"));
        QVERIFY(enabled(&page, "resBtn"));
        QCOMPARE(jumps.size(), 0);
        click(&page, "resBtn");
        QVERIFY(done.wait(5000));
        QCOMPARE(page.toast()->text(), QStringLiteral("Password changed successfully"));
        QCOMPARE(jumps.size(), 1);
        QCOMPARE(m_cloud->account(kKnown).password, QStringLiteral("fresh_pw9"));

        page.resetPage();
        QCOMPARE(text(&page, "titlelabel"), QStringLiteral("Forget Password"));
        QCOMPARE(step(&page), QStringLiteral("VerificationCodeWidget"));
        QVERIFY(child<QLineEdit>(&page, "regislineEdit")->text().isEmpty());
        QVERIFY(child<QLineEdit>(&page, "settinglineEdit")->text().isEmpty());
        QVERIFY(!enabled(&page, "resBtn"));
    }

    void backLinks()
    {
        RegisterWidget reg(nullptr, m_session.get());
        ForgetPwdWidget forget(nullptr, m_session.get());
        reg.show();
        forget.show();
        QSignalSpy regJumps(&reg, &PhoneCodePage::jumpPage);
        QSignalSpy forgetJumps(&forget, &PhoneCodePage::jumpPage);
        click(&reg, "btnLogin");
        click(&forget, "loginBtn");
        click(&forget, "loginBtn2");
        QCOMPARE(regJumps.size(), 1);
        QCOMPARE(forgetJumps.size(), 2);
        QVERIFY(!reg.findChild<QPushButton *>(QStringLiteral("loginBtn")));
        QVERIFY(!forget.findChild<QCheckBox *>(QStringLiteral("checkBox")));
    }

    void pagesIgnoreEachOther()
    {
        RegisterWidget reg(nullptr, m_session.get());
        ForgetPwdWidget forget(nullptr, m_session.get());
        reg.resetPage();
        forget.resetPage();
        reg.show();
        forget.show();
        QSignalSpy results(m_session.get(), &HttpSession::getVerifyCodeRs);
        type(&reg, "regislineEdit", kKnown); // registered: refused for registration
        click(&reg, "verCodeBtn");
        QVERIFY(results.wait(5000));
        QCOMPARE(text(&reg, "regisMsglabel1"), QStringLiteral("Phone is use"));
        QVERIFY(text(&forget, "regisMsglabel1").isEmpty());
        QVERIFY(!forget.toast()->isVisible());
        emit m_session->checkVerifyCodeRs(VerifyType::ForgetPassword, true);
        QCOMPARE(step(&reg), QStringLiteral("VerificationCodeWidget"));
        QCOMPARE(step(&forget), QStringLiteral("passwordWidget"));
    }
};

QTEST_MAIN(TestPhoneCodePages)
#include "tst_phonecodepages.moc"
