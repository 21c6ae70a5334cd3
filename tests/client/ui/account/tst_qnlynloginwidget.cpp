// The client sign-in page driven with key and mouse events against the cloud fixture: field rules,
// the format / registration / sign-in chain, what is remembered where, the head picture download,
// silent sign-in from the credential store, and the signals the root window relies on.
#include "tests/client/ui/account/AccountTestEnv.h"

#include "client/ui/account/QnLoginCredentials.h"
#include "client/ui/account/QnLynLoginWidget.h"
#include "common/settings/COption.h"
#include "platform/keychain/QnFakeCredentialStore.h"

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
const QString kPhone = QStringLiteral("13800000001");
const QString kPassword = QStringLiteral("secret-pw");
} // namespace

class TestLoginWidget : public QObject
{
    Q_OBJECT

private:
    QnCloudFixture m_cloud;
    QTemporaryDir m_dir;
    QnFakeCredentialStore m_store;
    QnCloudFixture::Account m_account;

    QString iniPath() const { return m_dir.filePath(QStringLiteral("setting.ini")); }

    QnLynLoginWidget *makePage()
    {
        auto *page = new QnLynLoginWidget;
        page->setCredentialStore(&m_store);
        page->setSettingsPath(iniPath());
        page->setProbeHost(QStringLiteral("127.0.0.1"));
        page->show();
        return page;
    }
    template<typename T> static T *child(QWidget *page, const char *name)
    {
        T *w = page->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    static void type(QWidget *page, const QString &phone, const QString &password)
    {
        child<QLineEdit>(page, "accountLineEdit")->clear();
        child<QLineEdit>(page, "passwordLineEdit")->clear();
        QTest::keyClicks(child<QLineEdit>(page, "accountLineEdit"), phone);
        QTest::keyClicks(child<QLineEdit>(page, "passwordLineEdit"), password);
    }
    static void click(QWidget *page, const char *name)
    {
        QTest::mouseClick(child<QWidget>(page, name), Qt::LeftButton);
    }
    bool noPasswordInFiles(const QString &password)
    {
        const QByteArray plain = password.toUtf8();
        const QByteArray base64 = plain.toBase64();
        const QString data = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
        for (const QString &dir : {m_dir.path(), data}) {
            if (!AccountTestEnv::noFileHolds(dir, plain) || !AccountTestEnv::noFileHolds(dir, base64))
                return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        AccountTestEnv::initProgram();
        QVERIFY(m_cloud.listen());
        AccountTestEnv::useFixture(m_cloud);
        m_account = m_cloud.addAccount(kPhone, kPassword, QStringLiteral("王老师"));
    }
    void init()
    {
        AccountTestEnv::closeToasts();
        m_cloud.clearScripts();
        m_cloud.clearRequests();
        m_store.setFailure(QnCredentialStore::Error::None);
        QFile::remove(iniPath());
    }

    void fieldRules()
    {
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        auto *phone = child<QLineEdit>(page.get(), "accountLineEdit");
        auto *password = child<QLineEdit>(page.get(), "passwordLineEdit");
        auto *login = child<QPushButton>(page.get(), "loginBtn");
        QVERIFY(!login->isEnabled());
        QTest::keyClicks(phone, QStringLiteral("1a3b8-0000000123"));
        QCOMPARE(phone->text(), QStringLiteral("13800000001"));
        QVERIFY(!login->isEnabled());
        QTest::keyClicks(password, QStringLiteral("abcdefghijklmnopqrs"));
        QCOMPARE(password->text().size(), 16);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(login->isEnabled());
        QTest::keyClick(phone, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(phone, Qt::Key_Delete);
        QVERIFY(!login->isEnabled());
    }

    void eyeToggle()
    {
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        auto *password = child<QLineEdit>(page.get(), "passwordLineEdit");
        auto *eye = child<QLabel>(page.get(), "passStatuslabel");
        QTest::mouseClick(eye, Qt::LeftButton);
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(!eye->styleSheet().contains(QStringLiteral("image")));
        QTest::keyClicks(password, QStringLiteral("pw"));
        QVERIFY(eye->styleSheet().contains(QStringLiteral("hidepass")));
        QTest::mouseClick(eye, Qt::LeftButton);
        QCOMPARE(password->echoMode(), QLineEdit::Normal);
        QVERIFY(eye->styleSheet().contains(QStringLiteral("showpass")));
        page->resetPasswordEcho();
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QVERIFY(eye->styleSheet().contains(QStringLiteral("hidepass")));
    }

    void navigationSignals()
    {
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        QSignalSpy reg(page.get(), &QnLynLoginWidget::registerAccount);
        QSignalSpy forgot(page.get(), &QnLynLoginWidget::forgotPassword);
        click(page.get(), "regisBtn1");
        click(page.get(), "regisBtn2");
        click(page.get(), "pushButton");
        QCOMPARE(reg.count(), 2);
        QCOMPARE(forgot.count(), 1);
    }

    void formatAndRegistrationChecks_data()
    {
        QTest::addColumn<QString>("phone");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("isUseRequests");
        QTest::newRow("bad format") << "12012345678" << QString::fromUtf8("手机号码格式不正确") << 0;
        QTest::newRow("not registered") << "13900000009" << QString::fromUtf8("手机号码未注册") << 1;
    }
    void formatAndRegistrationChecks()
    {
        QFETCH(QString, phone);
        QFETCH(QString, message);
        QFETCH(int, isUseRequests);
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        type(page.get(), phone, kPassword);
        click(page.get(), "loginBtn");
        QTRY_COMPARE(child<QLabel>(page.get(), "accountMsgLabel")->text(), message);
        QTest::qWait(100);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kIsUse), isUseRequests);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kLogin), 0);
    }

    void signIn_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::newRow("remember on") << true;
        QTest::newRow("remember off") << false;
    }
    void signIn()
    {
        QFETCH(bool, remember);
        // A previous remembered password: remember off must delete it.
        m_store.writeSecret(QStringLiteral("quenlo"), QStringLiteral("old-pw"), nullptr, {});
        QTRY_VERIFY(m_store.entries().contains(QStringLiteral("quenlo")));

        std::unique_ptr<QnLynLoginWidget> page(makePage());
        QSignalSpy result(page.get(), &QnLynLoginWidget::loginSuccess);
        QSignalSpy head(page.get(), &QnLynLoginWidget::iconHeadDownFinished);
        QSignalSpy settled(page->credentials(), &QnLoginCredentials::settled);
        type(page.get(), kPhone, kPassword);
        if (remember)
            QTest::mouseClick(child<QCheckBox>(page.get(), "checkBox"), Qt::LeftButton, {}, QPoint(5, 10));
        QCOMPARE(child<QCheckBox>(page.get(), "checkBox")->isChecked(), remember);
        click(page.get(), "loginBtn");
        QVERIFY(result.wait(5000));
        QCOMPARE(result.takeFirst().at(0).toBool(), true);

        // The chain: isUse, then the sign-in with the client's platform code and device type.
        const QList<QnHttpRecordedRequest> isUse = m_cloud.requests(QnCloudRoute::kIsUse);
        QCOMPARE(isUse.size(), 1);
        const QList<QnHttpRecordedRequest> login = m_cloud.requests(QnCloudRoute::kLogin);
        QCOMPARE(login.size(), 1);
        const QJsonObject body = QJsonDocument::fromJson(login.first().body).object();
        QCOMPARE(body.value(QStringLiteral("platformCode")).toString(), QStringLiteral("11"));
        QCOMPARE(body.value(QStringLiteral("username")).toString(), kPhone);
        QCOMPARE(login.first().header("device_type"), QByteArray("client"));
        QVERIFY(login.first().header("access_token").isEmpty());

        const LoginUserInfo info = page->getUserInfo();
        QCOMPARE(info.userName, kPhone);
        QCOMPARE(info.name, QString::fromUtf8("王老师"));
        QCOMPARE(info.uuid, m_account.uuid);
        QCOMPARE(info.token, m_cloud.tokenOf(kPhone));
        QCOMPARE(info.password, kPassword);
        QCOMPARE(info.displayName(), QString::fromUtf8("王老师"));

        if (!settled.count())
            QVERIFY(settled.wait());
        QCOMPARE(COption(iniPath()).value(QStringLiteral("user"), QStringLiteral("username")).toString(),
                 kPhone);
        QCOMPARE(COption(iniPath()).value(QStringLiteral("user"), QStringLiteral("remember")).toBool(),
                 remember);
        QVERIFY(!COption(iniPath()).contains(QStringLiteral("user"), QStringLiteral("password")));
        if (remember)
            QCOMPARE(m_store.entries().value(QStringLiteral("quenlo")), kPassword);
        else
            QVERIFY(!m_store.entries().contains(QStringLiteral("quenlo")));

        QVERIFY(head.count() || head.wait(5000));
        const QString path = head.first().at(0).toString();
        QVERIFY(path.endsWith(QStringLiteral("/head/") + m_account.uuid + QStringLiteral(".png")));
        QVERIFY(!QImage(path).isNull());
        QVERIFY(noPasswordInFiles(kPassword));
    }

    void refusedSignIn_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("code2008");
        QTest::newRow("wrong password") << "wrong-pw" << false;
        QTest::newRow("2008 no account") << kPassword << true;
    }
    void refusedSignIn()
    {
        QFETCH(QString, password);
        QFETCH(bool, code2008);
        if (code2008)
            m_cloud.setFault(QnCloudRoute::kLogin, QnCloudFixture::Fault::Code2008, 1);
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        QSignalSpy result(page.get(), &QnLynLoginWidget::loginSuccess);
        type(page.get(), kPhone, password);
        click(page.get(), "loginBtn");
        QVERIFY(result.wait(5000));
        QCOMPARE(result.takeFirst().at(0).toBool(), false);
        QVERIFY(page->getUserInfo().token.isEmpty());
    }

    void failedRequestShowsAToast_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("msg");
        QTest::addColumn<QString>("toast");
        QTest::newRow("isUse HTTP 500 with msg")
            << QString::fromLatin1(QnCloudRoute::kIsUse) << 500 << QString::fromUtf8("服务维护中")
            << QString::fromUtf8("服务维护中");
        QTest::newRow("login HTTP 502 without msg")
            << QString::fromLatin1(QnCloudRoute::kLogin) << 502 << QString()
            << QString::fromUtf8("网络异常，请检查网络设置");
    }
    void failedRequestShowsAToast()
    {
        QFETCH(QString, route);
        QFETCH(int, status);
        QFETCH(QString, msg);
        QFETCH(QString, toast);
        QJsonObject reply{{QStringLiteral("code"), status}};
        if (!msg.isEmpty())
            reply.insert(QStringLiteral("msg"), msg);
        m_cloud.setReply(route, QnHttpResponse::json(reply, status), 1);
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        QSignalSpy result(page.get(), &QnLynLoginWidget::loginSuccess);
        type(page.get(), kPhone, kPassword);
        click(page.get(), "loginBtn");
        QTRY_VERIFY_WITH_TIMEOUT(AccountTestEnv::toasts().contains(toast), 5000);
        QCOMPARE(result.count(), 0);
    }

    void offlineShowsAToast()
    {
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        page->setProbeHost(QStringLiteral("no-such-host.invalid"));
        type(page.get(), kPhone, kPassword);
        click(page.get(), "loginBtn");
        QTRY_VERIFY_WITH_TIMEOUT(
            AccountTestEnv::toasts().contains(QString::fromUtf8("网络异常，请检查网络设置")), 10000);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kIsUse), 0);
    }

    void headPictureReplacedOnlyWhenComplete_data()
    {
        QTest::addColumn<QnCloudFixture::Fault>("fault");
        QTest::newRow("404") << QnCloudFixture::Fault::NotFound;
        QTest::newRow("not a picture") << QnCloudFixture::Fault::NotJson;
        QTest::newRow("dropped") << QnCloudFixture::Fault::Drop;
    }
    void headPictureReplacedOnlyWhenComplete()
    {
        QFETCH(QnCloudFixture::Fault, fault);
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        QSignalSpy head(page.get(), &QnLynLoginWidget::iconHeadDownFinished);
        page->slientLogin(kPhone, kPassword);
        QVERIFY(head.wait(5000));
        const QString path = head.first().at(0).toString();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();

        m_cloud.setFault(QString::fromLatin1(QnCloudRoute::kFiles), fault);
        QSignalSpy result(page.get(), &QnLynLoginWidget::loginSuccess);
        page->slientLogin(kPhone, kPassword);
        QVERIFY(result.wait(5000));
        QTRY_VERIFY_WITH_TIMEOUT(m_cloud.requestCount(QnCloudRoute::kFiles) >= 2, 5000);
        QTest::qWait(300);
        QCOMPARE(head.count(), 1);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        const QStringList leftovers =
            QDir(QFileInfo(path).path()).entryList({QFileInfo(path).fileName() + QStringLiteral(".part-*")});
        QVERIFY2(leftovers.isEmpty(), qPrintable(leftovers.join(',')));
    }

    void readPasswordFromTheStore_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::newRow("remember on") << true;
        QTest::newRow("remember off") << false;
    }
    void readPasswordFromTheStore()
    {
        QFETCH(bool, remember);
        m_store.writeSecret(QStringLiteral("quenlo"), kPassword, nullptr, {});
        QTRY_VERIFY(m_store.entries().contains(QStringLiteral("quenlo")));
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        QSignalSpy settled(page->credentials(), &QnLoginCredentials::settled);
        page->readPassword(remember, kPhone, QStringLiteral("settings-copy-ignored"));
        if (remember)
            QVERIFY(settled.wait());
        else
            QTest::qWait(100);
        QCOMPARE(child<QCheckBox>(page.get(), "checkBox")->isChecked(), remember);
        QCOMPARE(child<QLineEdit>(page.get(), "accountLineEdit")->text(), remember ? kPhone : QString());
        QCOMPARE(child<QLineEdit>(page.get(), "passwordLineEdit")->text(), remember ? kPassword : QString());
    }

    void legacySettingsPasswordMigratedAtStartUp()
    {
        m_store.removeSecret(QStringLiteral("quenlo"), nullptr, {});
        QTRY_VERIFY(!m_store.entries().contains(QStringLiteral("quenlo")));
        COption(iniPath()).setValue(QStringLiteral("user"), QStringLiteral("password"), kPassword);
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        page->readPassword(true, kPhone, kPassword);
        QTRY_COMPARE(child<QLineEdit>(page.get(), "passwordLineEdit")->text(), kPassword);
        QTRY_COMPARE(m_store.entries().value(QStringLiteral("quenlo")), kPassword);
        QVERIFY(noPasswordInFiles(kPassword));
    }

    void slientLoginReportsBoth_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("ok");
        QTest::newRow("right") << kPassword << true;
        QTest::newRow("wrong") << "wrong-pw" << false;
    }
    void slientLoginReportsBoth()
    {
        QFETCH(QString, password);
        QFETCH(bool, ok);
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        QSignalSpy result(page.get(), &QnLynLoginWidget::loginSuccess);
        QSignalSpy silent(page.get(), &QnLynLoginWidget::slientLoginSuccess);
        page->slientLogin(kPhone, password);
        QVERIFY(silent.wait(5000));
        QCOMPARE(result.count(), 1);
        QCOMPARE(result.first().at(0).toBool(), ok);
        QCOMPARE(silent.first().at(0).toBool(), ok);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kIsUse), 0);
        QCOMPARE(child<QLineEdit>(page.get(), "accountLineEdit")->text(), kPhone);
    }

    void slientLoginWithTheRememberedPassword()
    {
        m_store.writeSecret(QStringLiteral("quenlo"), kPassword, nullptr, {});
        QTRY_VERIFY(m_store.entries().contains(QStringLiteral("quenlo")));
        std::unique_ptr<QnLynLoginWidget> page(makePage());
        child<QCheckBox>(page.get(), "checkBox")->setChecked(true);
        QSignalSpy silent(page.get(), &QnLynLoginWidget::slientLoginSuccess);
        page->slientLoginRemembered(kPhone);
        QVERIFY(silent.wait(5000));
        QCOMPARE(silent.first().at(0).toBool(), true);
        QCOMPARE(page->getUserInfo().userName, kPhone);

        // Nothing remembered: no request, a false result.
        m_store.removeSecret(QStringLiteral("quenlo"), nullptr, {});
        QTRY_VERIFY(!m_store.entries().contains(QStringLiteral("quenlo")));
        m_cloud.clearRequests();
        silent.clear();
        page->slientLoginRemembered(kPhone);
        QVERIFY(silent.wait(5000));
        QCOMPARE(silent.first().at(0).toBool(), false);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kLogin), 0);
    }

    void replyAfterThePageIsGoneIsDropped()
    {
        m_cloud.setDelay(QnCloudRoute::kLogin, 300);
        QPointer<QnLynLoginWidget> page(makePage());
        page->slientLogin(kPhone, kPassword);
        QTRY_VERIFY(m_cloud.requestCount(QnCloudRoute::kLogin) == 1);
        delete page.data();
        QTest::qWait(600);
        m_cloud.setDelay(QnCloudRoute::kLogin, 0);
    }
};

QTEST_MAIN(TestLoginWidget)
#include "tst_qnlynloginwidget.moc"
