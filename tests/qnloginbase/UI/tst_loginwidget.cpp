// The sign-in page driven with keys and clicks against the account-service fixture: field rules,
// checks before sending, password and QR sign-in, failures, the offline state and the links.

#include "qnloginbase/src/Interface/HttpSession.h"
#include "qnloginbase/src/UI/LoginLibraryWidgets.h"
#include "qnloginbase/src/UI/LoginWidget.h"
#include "qnloginbase/src/UI/LoginWindowKit.h"
#include "resources/QnResources.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString kPhone = QStringLiteral("13800000001");
const QString kPassword = QStringLiteral("secret_pw1");
} // namespace

class UrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

class TestLoginWidget : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_home;
    std::unique_ptr<QnCloudFixture> m_cloud;
    std::unique_ptr<HttpSession> m_session;
    std::unique_ptr<LoginWidget> m_page;

    template<typename T> T *child(const char *name)
    {
        T *widget = m_page->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    QLineEdit *phone() { return child<QLineEdit>("lineEditPhone"); }
    QLineEdit *pwd() { return child<QLineEdit>("lineEditPwd"); }
    QPushButton *loginButton() { return child<QPushButton>("btnLogin"); }
    QLabel *phoneErr() { return child<QLabel>("labelPhoneErr"); }
    void type(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
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
        m_cloud->addAccount(kPhone, kPassword);
        m_session = std::make_unique<HttpSession>();
        m_session->setGatewayBaseUrl(m_cloud->gatewayUrl());
        m_session->setTransferTimeout(2000);
        m_page = std::make_unique<LoginWidget>(nullptr, m_session.get());
        m_page->show();
    }
    void cleanup()
    {
        m_page.reset();
        m_session.reset();
        m_cloud.reset();
    }

    void initialState()
    {
        QVERIFY(child<QPushButton>("btnAccount")->isChecked());
        QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(),
                 QStringLiteral("pageAccount"));
        QVERIFY(!loginButton()->isEnabled());
        QVERIFY(!child<QLabel>("label_2")->isVisible());
        QVERIFY(!child<QPushButton>("btnRegister")->isVisible());
        QVERIFY(child<QPushButton>("btnRegisterH5")->isVisible());
        QVERIFY(!m_page->loadingWidget()->isVisible());
        QVERIFY(m_page->isOnline());
        QCOMPARE(pwd()->echoMode(), QLineEdit::Password);
        QCOMPARE(pwd()->maxLength(), 16);
    }

    void fieldRules()
    {
        type(phone(), QStringLiteral("13a8-0 0"));
        QCOMPARE(phone()->text(), QStringLiteral("13800"));
        type(phone(), QStringLiteral("1380000000123"));
        QCOMPARE(phone()->text(), QStringLiteral("13800000001"));
        QVERIFY(!loginButton()->isEnabled());
        type(pwd(), QStringLiteral("x"));
        QVERIFY(loginButton()->isEnabled());
        phoneErr()->setText(QStringLiteral("old"));
        type(phone(), QString());
        QVERIFY(!loginButton()->isEnabled());
        QVERIFY(phoneErr()->text().isEmpty());
        type(phone(), QStringLiteral("1"));
        QVERIFY(loginButton()->isEnabled());
        type(pwd(), QString());
        QVERIFY(!loginButton()->isEnabled());
    }

    void tenDigitsRefused()
    {
        type(phone(), QStringLiteral("1380000000"));
        type(pwd(), QStringLiteral("whatever1"));
        QSignalSpy hand(m_page.get(), &LoginWidget::handLogin);
        QTest::mouseClick(loginButton(), Qt::LeftButton);
        QCOMPARE(hand.size(), 1);
        QCOMPARE(phoneErr()->text(), QStringLiteral("The format of the mobile phone number is not correct"));
        QTest::qWait(50);
        QCOMPARE(m_cloud->requests().size(), 0);
        type(phone(), QStringLiteral("13800000001"));
        QVERIFY(phoneErr()->text().isEmpty());
    }

    void passwordLength_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("sent");
        QTest::newRow("5 characters") << QStringLiteral("abcde") << false;
        QTest::newRow("6 characters") << QStringLiteral("abcdef") << true;
        QTest::newRow("16 characters") << QStringLiteral("abcdefghijklmnop") << true;
    }
    void passwordLength()
    {
        QFETCH(QString, password);
        QFETCH(bool, sent);
        type(phone(), kPhone);
        type(pwd(), password);
        QTest::mouseClick(loginButton(), Qt::LeftButton);
        if (!sent) {
            QVERIFY(m_page->toast()->isVisible());
            QCOMPARE(m_page->toast()->text(), QStringLiteral("Account password error"));
            QVERIFY(loginButton()->isEnabled());
            QTest::qWait(50);
            QCOMPARE(m_cloud->requests().size(), 0);
            return;
        }
        QVERIFY(!loginButton()->isEnabled());
        QVERIFY(m_page->loadingWidget()->isVisible());
        QVERIFY(m_page->loadingWidget()->isRunning());
        QTRY_COMPARE_WITH_TIMEOUT(m_cloud->requestCount(QnCloudRoute::kIsUse), 1, 5000);
        // A wrong password: the session's text in the toast, the button enabled again.
        QTRY_VERIFY_WITH_TIMEOUT(loginButton()->isEnabled(), 5000);
        QVERIFY(!m_page->loadingWidget()->isVisible());
        QCOMPARE(m_page->toast()->text(), QStringLiteral("Account password error"));
    }

    void signIn_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::newRow("remembered") << true;
        QTest::newRow("not remembered") << false;
    }
    void signIn()
    {
        QFETCH(bool, remember);
        type(phone(), kPhone);
        type(pwd(), kPassword);
        if (remember)
            QTest::mouseClick(child<QCheckBox>("checkBox"), Qt::LeftButton, {}, QPoint(7, 10));
        QCOMPARE(child<QCheckBox>("checkBox")->isChecked(), remember);
        QSignalSpy finished(m_page.get(), &LoginWidget::loginFinished);
        QTest::mouseClick(loginButton(), Qt::LeftButton);
        QVERIFY(finished.wait(8000));
        const QList<QVariant> args = finished.takeFirst();
        QCOMPARE(args.at(0).toString(), kPhone);
        QCOMPARE(args.at(1).toString(), kPassword);
        QCOMPARE(args.at(2).toString(), remember ? QStringLiteral("true") : QStringLiteral("false"));
        QCOMPARE(args.at(3).toString(), m_session->user().localHeadPath);
        QVERIFY(!m_page->loadingWidget()->isVisible());
        QVERIFY(!loginButton()->isEnabled()); // stays disabled until a field changes
    }

    void unregisteredUnderPhone()
    {
        type(phone(), QStringLiteral("13900000009"));
        type(pwd(), QStringLiteral("abcdef"));
        QSignalSpy results(m_session.get(), &HttpSession::loginResult);
        QTest::mouseClick(loginButton(), Qt::LeftButton);
        QVERIFY(results.wait(5000));
        const QString err = results.takeFirst().at(1).toString();
        QVERIFY(!err.isEmpty());
        QCOMPARE(phoneErr()->text(), err);
        QVERIFY(!m_page->toast()->isVisible());
        // The session judges each check by itself: a later failure for a registered number goes
        // to the toast.
        m_cloud->setFault(QnCloudRoute::kLogin, QnCloudFixture::Fault::Code500, 1);
        type(phone(), kPhone);
        type(pwd(), QStringLiteral("abcdefg"));
        QVERIFY(phoneErr()->text().isEmpty());
        QTest::mouseClick(loginButton(), Qt::LeftButton);
        QVERIFY(results.wait(5000));
        const QString second = results.takeFirst().at(1).toString();
        QCOMPARE(m_session->accountNotRegistered(), 0);
        QVERIFY(phoneErr()->text().isEmpty());
        QCOMPARE(m_page->toast()->text(), second);
    }

    void serviceTextsArePlain()
    {
        QCOMPARE(phoneErr()->textFormat(), Qt::PlainText);
        QCOMPARE(child<QLabel>("labelPwdErr")->textFormat(), Qt::PlainText);
        QCOMPARE(m_page->toast()->label()->textFormat(), Qt::PlainText);
    }

    void silentFailureEnablesButton()
    {
        QVERIFY(!loginButton()->isEnabled());
        QSignalSpy results(m_session.get(), &HttpSession::loginResult);
        m_page->slientLogin(kPhone, QStringLiteral("wrong-password"));
        QVERIFY(!m_page->loadingWidget()->isVisible());
        QVERIFY(results.wait(5000));
        QVERIFY(loginButton()->isEnabled());
        QVERIFY(phone()->text().isEmpty());
    }

    void qrSignIn()
    {
        m_session->setQrIntervals(1000, 20);
        type(phone(), QStringLiteral("139"));
        type(pwd(), QStringLiteral("typed-pw"));
        QSignalSpy hand(m_page.get(), &LoginWidget::handLogin);
        QSignalSpy finished(m_page.get(), &LoginWidget::loginFinished);
        QSignalSpy ids(m_session.get(), &HttpSession::loginQRRs);
        QTest::mousePress(child<QPushButton>("btnQR"), Qt::LeftButton);
        QCOMPARE(hand.size(), 1);
        QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(),
                 QStringLiteral("pageQR"));
        QTest::mouseRelease(child<QPushButton>("btnQR"), Qt::LeftButton);
        QVERIFY(ids.wait(5000));
        auto *qr = child<QLabel>("labelQR");
        QVERIFY(!qr->pixmap(Qt::ReturnByValue).isNull());
        QCOMPARE(qr->pixmap(Qt::ReturnByValue).size(), QSize(176, 176));
        QVERIFY(child<QLabel>("label_3")->isVisible());
        m_cloud->confirmQr(ids.first().first().toString(), kPhone);
        QVERIFY(finished.wait(8000));
        const QList<QVariant> args = finished.takeFirst();
        QCOMPARE(args.at(0).toString(), kPhone);
        QCOMPARE(args.at(1).toString(), QString());
        // Account tab: polling stops.
        QTest::mousePress(child<QPushButton>("btnAccount"), Qt::LeftButton);
        QVERIFY(!m_session->isQrPolling());
        QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget()->objectName(),
                 QStringLiteral("pageAccount"));
    }

    void qrExpiryRenewsPicture()
    {
        m_session->setQrIntervals(2, 1000);
        QSignalSpy ids(m_session.get(), &HttpSession::loginQRRs);
        QTest::mousePress(child<QPushButton>("btnQR"), Qt::LeftButton);
        QVERIFY(ids.wait(5000));
        const QImage first = child<QLabel>("labelQR")->pixmap(Qt::ReturnByValue).toImage();
        QTRY_VERIFY_WITH_TIMEOUT(ids.size() >= 2, 5000);
        QVERIFY(ids.at(0).first() != ids.at(1).first());
        QTRY_VERIFY(child<QLabel>("labelQR")->pixmap(Qt::ReturnByValue).toImage() != first);
        QTRY_VERIFY_WITH_TIMEOUT(m_session->isQrPolling(), 5000);
        m_page->showAccountPage();
        QVERIFY(m_session->isQrPolling()); // showAccountPage leaves polling alone
        m_session->stopQR();
    }

    void offlineOnQrPage()
    {
        m_session->setQrIntervals(1000, 20);
        QSignalSpy ids(m_session.get(), &HttpSession::loginQRRs);
        QTest::mousePress(child<QPushButton>("btnQR"), Qt::LeftButton);
        QVERIFY(ids.wait(5000));
        m_page->setNetworkState(false);
        QVERIFY(!m_session->isQrPolling());
        auto *qr = child<QLabel>("labelQR");
        QVERIFY(qr->pixmap(Qt::ReturnByValue).isNull());
        QVERIFY(qr->styleSheet().contains(QStringLiteral(":/RiDovud/res/image/networkdisable.svg")));
        QVERIFY(child<QLabel>("label")->isVisible());
        QVERIFY(!child<QLabel>("label_3")->isVisible());
        const int polls = m_cloud->requestCount(QnCloudRoute::kQrLoginStatus);
        QTest::qWait(150);
        QVERIFY(m_cloud->requestCount(QnCloudRoute::kQrLoginStatus) <= polls + 1);
        QTest::mouseClick(qr, Qt::LeftButton);
        QVERIFY(m_page->toast()->isVisible());
        QCOMPARE(m_page->toast()->text(), QStringLiteral("Network abnormal, please check network Settings"));
        const int before = ids.size();
        m_page->setNetworkState(true);
        QTRY_VERIFY_WITH_TIMEOUT(m_session->isQrPolling(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(ids.size() > before, 5000);
        QVERIFY(child<QLabel>("label_3")->isVisible());
        QVERIFY(!child<QLabel>("label")->isVisible());
        QVERIFY(!qr->pixmap(Qt::ReturnByValue).isNull());
        m_session->stopQR();
    }

    void offlineOnAccountPage()
    {
        m_session->setQrIntervals(1000, 50);
        m_page->setNetworkState(false);
        QVERIFY(!m_page->isOnline());
        QVERIFY(!m_session->isQrPolling());
        QTest::mousePress(child<QPushButton>("btnQR"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(m_session->isQrPolling(), 5000);
        QVERIFY(child<QLabel>("label_3")->isVisible());
        QTest::mouseClick(child<QLabel>("labelQR"), Qt::LeftButton);
        QCOMPARE(m_page->toast()->text(), QStringLiteral("Network abnormal, please check network Settings"));
        m_session->stopQR();
    }

    void qrClickOnlineDoesNothing()
    {
        QTest::mouseClick(child<QLabel>("labelQR"), Qt::LeftButton);
        QVERIFY(!m_page->toast()->isVisible());
    }

    void links()
    {
        UrlSink sink;
        QDesktopServices::setUrlHandler(QStringLiteral("http"), &sink, "open");
        m_page->setWebBaseUrl(QStringLiteral("http://web.example.invalid"));
        QTest::mouseClick(child<QPushButton>("btnRegisterH5"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>("btnRegisterH51"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
        QCOMPARE(sink.urls.size(), 2);
        QCOMPARE(
            sink.urls.first(),
            QUrl(QStringLiteral("http://web.example.invalid/skorra/#/register?source=1&platformCode=203"),
                 QUrl::TolerantMode));
        QSignalSpy jumps(m_page.get(), &LoginWidget::jumpPage);
        QTest::mouseClick(child<QPushButton>("btnForgetPwd"), Qt::LeftButton);
        QCOMPARE(jumps.size(), 1);
        QCOMPARE(jumps.first().first().toInt(), 2);
    }

    void accountInfoFillsForm()
    {
        m_page->setAccountInfo(kPhone, QStringLiteral("stored"), true);
        QCOMPARE(phone()->text(), kPhone);
        QCOMPARE(pwd()->text(), QStringLiteral("stored"));
        QVERIFY(child<QCheckBox>("checkBox")->isChecked());
        QVERIFY(loginButton()->isEnabled());
    }
};

QTEST_MAIN(TestLoginWidget)
#include "tst_loginwidget.moc"
