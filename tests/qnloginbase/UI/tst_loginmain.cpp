// The login dialog against the account-service fixture and an in-memory credential store: sign-in
// with and without remember, the 15-day rule, choosing and deleting remembered accounts, a
// hand-edited account.ini, silent sign-in, the page switches, Escape and the close button.

#include "platform/keychain/QnFakeCredentialStore.h"
#include "qnloginbase/src/Interface/AccountConfig.h"
#include "qnloginbase/src/Interface/HttpSession.h"
#include "qnloginbase/src/UI/BannerWidget.h"
#include "qnloginbase/src/UI/LoginMain.h"
#include "qnloginbase/src/UI/LoginWidget.h"
#include "qnloginbase/src/UI/PhoneCodePage.h"
#include "resources/QnResources.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString kPhone = QStringLiteral("13800000001");
const QString kPassword = QStringLiteral("Pw_unique_7e3f");
const qint64 kDay = 24LL * 3600 * 1000;
} // namespace

class TestLoginMain : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_configDir;
    std::unique_ptr<QnCloudFixture> m_cloud;
    std::unique_ptr<HttpSession> m_session;
    std::unique_ptr<QnFakeCredentialStore> m_store;
    std::unique_ptr<AccountConfig> m_config;
    std::unique_ptr<LoginMain> m_dialog;

    template<typename T> T *child(const char *name)
    {
        T *widget = m_dialog->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no child %s", name);
        return widget;
    }
    QLineEdit *phone() { return child<QLineEdit>("lineEditPhone"); }
    QLineEdit *pwd() { return child<QLineEdit>("lineEditPwd"); }
    QCheckBox *remember() { return child<QCheckBox>("checkBox"); }
    void type(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }
    void makeDialog()
    {
        m_dialog = std::make_unique<LoginMain>(nullptr, m_session.get(), m_config.get());
        m_dialog->show();
    }
    /// Waits until every remembered-password load of the dialog has answered.
    bool settle()
    {
        return QTest::qWaitFor([this] { return m_dialog->pendingPasswordLoads() == 0; }, 3000);
    }
    /// Signs in through the form; returns loginFinished's arguments.
    QList<QVariant> signIn(const QString &account, const QString &password, bool keep)
    {
        type(phone(), account);
        type(pwd(), password);
        if (remember()->isChecked() != keep)
            QTest::mouseClick(remember(), Qt::LeftButton, {}, QPoint(7, remember()->height() / 2));
        QSignalSpy finished(m_dialog.get(), &LoginMain::loginFinished);
        QTest::mouseClick(child<QPushButton>("btnLogin"), Qt::LeftButton);
        if (!finished.wait(8000))
            return {};
        return finished.takeFirst();
    }
    /// Saves accounts (oldest first) as remembered logins with their passwords.
    void remembered(const QStringList &accounts)
    {
        for (const QString &account : accounts)
            m_config->saveAccount(account, QStringLiteral("pw_") + account, QStringLiteral("true"),
                                  QString());
        QTRY_COMPARE(m_config->pendingCredentialJobs(), 0);
    }
    QStringList rowTexts()
    {
        QStringList texts;
        for (int i = 0; i < m_dialog->listWidget()->count(); ++i) {
            QWidget *row = m_dialog->listWidget()->itemWidget(m_dialog->listWidget()->item(i));
            texts << row->findChild<QLabel *>(QStringLiteral("tlAccount"))->text();
        }
        return texts;
    }
    QPushButton *deleteButton(int row)
    {
        QWidget *widget = m_dialog->listWidget()->itemWidget(m_dialog->listWidget()->item(row));
        return widget->findChildren<QPushButton *>().last();
    }
    void clickRow(int row)
    {
        QListWidget *list = m_dialog->listWidget();
        const QRect rect = list->visualItemRect(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(20, rect.center().y()));
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
        m_configDir = std::make_unique<QTemporaryDir>();
        m_cloud = std::make_unique<QnCloudFixture>();
        QVERIFY(m_cloud->listen());
        m_cloud->addAccount(kPhone, kPassword);
        m_session = std::make_unique<HttpSession>();
        m_session->setGatewayBaseUrl(m_cloud->gatewayUrl());
        m_session->setTransferTimeout(2000);
        m_store = std::make_unique<QnFakeCredentialStore>();
        m_config = std::make_unique<AccountConfig>(m_configDir->path(), m_store.get());
    }
    void cleanup()
    {
        m_dialog.reset();
        m_config.reset();
        m_store.reset();
        m_session.reset();
        m_cloud.reset();
        m_configDir.reset();
    }

    void emptyStore()
    {
        makeDialog();
        QCOMPARE(m_dialog->listWidget()->count(), 0);
        QVERIFY(phone()->text().isEmpty());
        QVERIFY(pwd()->text().isEmpty());
        QVERIFY(!remember()->isChecked());
        QCOMPARE(m_dialog->size(), QSize(937, 612));
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("quenlo classroom"));
        QVERIFY(!m_dialog->banner()->isVisible());
        QCOMPARE(m_dialog->banner()->imageCount(), 3);
        auto *close = child<QPushButton>("loginCloseBtn");
        QCOMPARE(close->pos(), QPoint(937 - 28 - 14, 24));
    }

    void signIn_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("remembered") << true;
        QTest::newRow("not remembered") << false;
    }
    void signIn()
    {
        QFETCH(bool, keep);
        makeDialog();
        const QList<QVariant> args = signIn(kPhone, kPassword, keep);
        QCOMPARE(args.size(), 3);
        QCOMPARE(args.at(0).toString(), kPhone);
        QCOMPARE(args.at(1).toString(), kPassword);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Accepted));
        QTRY_COMPARE(m_config->pendingCredentialJobs(), 0);
        QCOMPARE(m_config->accounts, QStringList{kPhone});
        // Nothing in plaintext (nor Base64) in the file; the password only in the credential store.
        QFile file(m_config->filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(!bytes.contains(kPassword.toUtf8()));
        QVERIFY(!bytes.contains(kPassword.toUtf8().toBase64()));
        QCOMPARE(m_store->entries().values().contains(kPassword), keep);

        m_dialog->refreshHistoryList();
        m_dialog->show();
        QVERIFY(settle());
        QCOMPARE(rowTexts(), QStringList{QStringLiteral("138*****0001")});
        QCOMPARE(phone()->text(), kPhone);
        QCOMPARE(pwd()->text(), keep ? kPassword : QString());
        QCOMPARE(remember()->isChecked(), keep);
    }

    void fifteenDayRule_data()
    {
        QTest::addColumn<qint64>("age");
        QTest::addColumn<bool>("filled");
        QTest::newRow("14 days 23 hours") << (15 * kDay - 3600 * 1000) << true;
        QTest::newRow("15 days") << 15 * kDay << false;
        QTest::newRow("clock set back") << -kDay << true;
    }
    void fifteenDayRule()
    {
        QFETCH(qint64, age);
        QFETCH(bool, filled);
        remembered({kPhone});
        {
            QSettings ini(m_config->filePath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("config/timestamp"),
                         QStringList{QString::number(QDateTime::currentMSecsSinceEpoch() - age)});
        }
        makeDialog();
        QVERIFY(settle());
        QCOMPARE(phone()->text(), kPhone);
        QCOMPARE(pwd()->text(), filled ? QStringLiteral("pw_") + kPhone : QString());
        QVERIFY(remember()->isChecked());
    }

    void chooseAndDelete()
    {
        const QStringList accounts{"13800000003", "13800000002", "13800000001"};
        remembered(accounts);
        {
            // The middle account is not remembered.
            QSettings ini(m_config->filePath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("config/isrembered"), QStringList{"true", "false", "true"});
        }
        makeDialog();
        QVERIFY(settle());
        QCOMPARE(rowTexts(), (QStringList{"138*****0001", "138*****0002", "138*****0003"}));
        QCOMPARE(phone()->text(), QStringLiteral("13800000001"));
        QVERIFY(deleteButton(0)->isVisible());
        QVERIFY(!deleteButton(1)->isVisible());

        clickRow(2);
        QVERIFY(settle());
        QCOMPARE(phone()->text(), QStringLiteral("13800000003"));
        QCOMPARE(pwd()->text(), QStringLiteral("pw_13800000003"));
        QVERIFY(deleteButton(2)->isVisible());
        QVERIFY(!deleteButton(0)->isVisible());

        clickRow(1);
        QVERIFY(settle());
        QCOMPARE(phone()->text(), QStringLiteral("13800000002"));
        QVERIFY(pwd()->text().isEmpty());
        QVERIFY(!remember()->isChecked());

        // Delete the last row while it is current: the form shows the row above it.
        clickRow(2);
        QVERIFY(settle());
        QTest::mouseClick(deleteButton(2), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(m_config->accounts, (QStringList{"13800000001", "13800000002"}));
        QCOMPARE(m_dialog->listWidget()->count(), 2);
        QCOMPARE(phone()->text(), QStringLiteral("13800000002"));
        QTRY_COMPARE(m_config->pendingCredentialJobs(), 0);
        QVERIFY(!m_store->entries().values().contains(QStringLiteral("pw_13800000003")));

        // A delete button whose name is not in the store does nothing.
        deleteButton(0)->setObjectName(QStringLiteral("19999999999"));
        QTest::mouseClick(deleteButton(0), Qt::LeftButton);
        QCOMPARE(m_config->accounts.size(), 2);

        // Deleting the only account empties the form.
        m_dialog->refreshHistoryList();
        QVERIFY(settle());
        QTest::mouseClick(deleteButton(0), Qt::LeftButton);
        QVERIFY(settle());
        m_dialog->refreshHistoryList();
        QVERIFY(settle());
        QCOMPARE(m_dialog->listWidget()->count(), 1);
        QTest::mouseClick(deleteButton(0), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(m_dialog->listWidget()->count(), 0);
        QVERIFY(m_config->accounts.isEmpty());
        QVERIFY(phone()->text().isEmpty());
        QVERIFY(pwd()->text().isEmpty());
    }

    void handEditedFile_data()
    {
        QTest::addColumn<QStringList>("accounts");
        QTest::addColumn<QStringList>("flags");
        QTest::addColumn<QStringList>("times");
        QTest::addColumn<QStringList>("images");
        QTest::newRow("short lists") << QStringList{"13800000001", "13800000002", "1"} << QStringList{"true"}
                                     << QStringList{} << QStringList{"/nonexistent.png"};
        QTest::newRow("garbage") << QStringList{"", "x<b>y</b>", "13800000002"}
                                 << QStringList{"true", "maybe", "true", "true"}
                                 << QStringList{"soon", "", "-5"} << QStringList{"", "", "", ""};
    }
    void handEditedFile()
    {
        QFETCH(QStringList, accounts);
        QFETCH(QStringList, flags);
        QFETCH(QStringList, times);
        QFETCH(QStringList, images);
        {
            QSettings ini(m_config->filePath(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("config/account"), accounts);
            ini.setValue(QStringLiteral("config/isrembered"), flags);
            ini.setValue(QStringLiteral("config/timestamp"), times);
            ini.setValue(QStringLiteral("config/imagepath"), images);
        }
        makeDialog();
        QVERIFY(settle());
        QCOMPARE(m_dialog->listWidget()->count(), accounts.size());
        for (int i = 0; i < accounts.size(); ++i) {
            clickRow(i);
            QVERIFY(settle());
        }
        QCOMPARE(m_dialog->listWidget()
                     ->itemWidget(m_dialog->listWidget()->item(1))
                     ->findChild<QLabel *>(QStringLiteral("tlAccount"))
                     ->textFormat(),
                 Qt::PlainText);
        QTest::mouseClick(deleteButton(accounts.size() - 1), Qt::LeftButton);
        QVERIFY(settle());
        QCOMPARE(m_dialog->listWidget()->count(), accounts.size() - 1);
    }

    void silentLoginCarriesStoredStrings()
    {
        makeDialog();
        type(phone(), QStringLiteral("13900000005"));
        QSignalSpy finished(m_dialog.get(), &LoginMain::loginFinished);
        m_dialog->slientLogin(kPhone, kPassword);
        QVERIFY(finished.wait(8000));
        const QList<QVariant> args = finished.takeFirst();
        QCOMPARE(args.at(0).toString(), kPhone);
        QCOMPARE(args.at(1).toString(), kPassword);
        // A sign-in by hand afterwards reports the form's values.
        m_dialog->show();
        const QList<QVariant> manual = signIn(kPhone, kPassword, false);
        QCOMPARE(manual.value(0).toString(), kPhone);
        QCOMPARE(manual.value(1).toString(), kPassword);
    }

    void escapeAndClose()
    {
        makeDialog();
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        QVERIFY(m_dialog->isVisible());
        QSignalSpy closed(m_dialog.get(), &LoginMain::closeLoginWidget);
        QTest::mouseClick(child<QPushButton>("loginCloseBtn"), Qt::LeftButton);
        QCOMPARE(closed.size(), 1);
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(m_dialog->result(), int(QDialog::Rejected));
    }

    void pageSwitches()
    {
        remembered({kPhone});
        makeDialog();
        QTest::mouseClick(child<QPushButton>("btnForgetPwd"), Qt::LeftButton);
        QVERIFY(m_dialog->forgetPage());
        QCOMPARE(m_dialog->pageStack()->currentWidget(), m_dialog->forgetPage());
        QCOMPARE(m_dialog->forgetPage()->findChild<QLabel *>(QStringLiteral("titlelabel"))->text(),
                 QStringLiteral("Forget Password"));
        QTest::mouseClick(m_dialog->forgetPage()->findChild<QPushButton *>(QStringLiteral("loginBtn")),
                          Qt::LeftButton);
        QCOMPARE(m_dialog->pageStack()->currentWidget(), m_dialog->loginPage());
        QVERIFY(!m_dialog->registerPage());
        // The registration page: built on the first request, reset on each.
        emit m_dialog->loginPage()->jumpPage(1);
        QVERIFY(m_dialog->registerPage());
        QCOMPARE(m_dialog->pageStack()->currentWidget(), m_dialog->registerPage());
        RegisterWidget *reg = m_dialog->registerPage();
        reg->findChild<QLineEdit *>(QStringLiteral("regislineEdit"))->setText(QStringLiteral("123"));
        QTest::mouseClick(reg->findChild<QPushButton *>(QStringLiteral("btnLogin")), Qt::LeftButton);
        emit m_dialog->loginPage()->jumpPage(1);
        QCOMPARE(m_dialog->registerPage(), reg);
        QVERIFY(reg->findChild<QLineEdit *>(QStringLiteral("regislineEdit"))->text().isEmpty());
        emit m_dialog->loginPage()->jumpPage(7);
        QCOMPARE(m_dialog->pageStack()->currentWidget(), reg);
    }

    void maskedAccount_data()
    {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("masked");
        QTest::newRow("11 digits") << "13812345678"
                                   << "138*****5678";
        QTest::newRow("short") << "1381"
                               << "138*****";
        QTest::newRow("9") << "138123456"
                           << "138*****56";
        QTest::newRow("empty") << ""
                               << "*****";
    }
    void maskedAccount()
    {
        QFETCH(QString, account);
        QFETCH(QString, masked);
        QCOMPARE(LoginMain::maskedAccount(account), masked);
    }
};

QTEST_MAIN(TestLoginMain)
#include "tst_loginmain.moc"
