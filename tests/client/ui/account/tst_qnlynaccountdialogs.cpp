// The personal centre's edit dialogs driven with key and mouse events against the cloud fixture:
// the name dialog's field rules, the password dialog's and the phone dialog's request and reply
// tables with their countdown, and replies that arrive after a dialog is gone (dropped; this test
// runs under ASan in the asan configuration).
#include "tests/client/ui/account/AccountTestEnv.h"

#include "client/ui/account/QnLynModifyNameDialog.h"
#include "client/ui/account/QnLynModifyPasswordDialog.h"
#include "client/ui/account/QnLynModifyPhoneNum.h"

#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>

namespace {
const QString kPhone = QStringLiteral("13800000001");
const QString kPassword = QStringLiteral("secret-pw");
} // namespace

class TestAccountDialogs : public QObject
{
    Q_OBJECT

private:
    QnCloudFixture m_cloud;
    QString m_token;
    QString m_uuid;

    template<typename T> static T *child(QWidget *page, const char *name)
    {
        T *w = page->findChild<T *>(QLatin1String(name));
        if (!w)
            qFatal("no child %s", name);
        return w;
    }
    static void click(QWidget *page, const char *name)
    {
        QTest::mouseClick(child<QWidget>(page, name), Qt::LeftButton);
    }
    static void typeInto(QWidget *page, const char *name, const QString &text)
    {
        child<QLineEdit>(page, name)->clear();
        QTest::keyClicks(child<QLineEdit>(page, name), text);
    }
    void signIn()
    {
        // A token the fixture knows: sign in through the service's own route.
        QnLynInterNetWorkManager::instance()->httpPost(
            QLatin1String(QnCloudRoute::kLogin),
            QJsonObject{{QStringLiteral("username"), kPhone},
                        {QStringLiteral("password"), kPassword},
                        {QStringLiteral("platformCode"), QStringLiteral("11")}},
            [this](HttpResultInfo &r) {
                m_token = r.replyObject.value(QStringLiteral("data"))
                              .toObject()
                              .value(QStringLiteral("token"))
                              .toString();
            });
        QTRY_VERIFY_WITH_TIMEOUT(!m_token.isEmpty(), 5000);
    }

private slots:
    void initTestCase()
    {
        AccountTestEnv::initProgram();
        QVERIFY(m_cloud.listen());
        AccountTestEnv::useFixture(m_cloud);
        m_cloud.setCodeLength(4);
        m_uuid = m_cloud.addAccount(kPhone, kPassword).uuid;
        signIn();
    }
    void init()
    {
        AccountTestEnv::closeToasts();
        m_cloud.clearScripts();
        m_cloud.clearRequests();
    }

    // Name dialog ---------------------------------------------------------------------------------

    void nameDialogField()
    {
        QnLynModifyNameDialog dialog;
        dialog.show();
        auto *done = child<QPushButton>(&dialog, "closeBtn");
        auto *clear = child<QLabel>(&dialog, "clearlabel");
        dialog.setName(QString());
        QVERIFY(!done->isEnabled());
        QVERIFY(!clear->styleSheet().contains(QStringLiteral("clearBtn")));
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(dialog.getName().isEmpty());
        dialog.setName(QString::fromUtf8("一二三四五六七八九十十一十二"));
        QCOMPARE(dialog.getName().size(), 11);
        QVERIFY(done->isEnabled());
        QVERIFY(clear->styleSheet().contains(QStringLiteral("clearBtn")));
        QTest::keyClick(child<QLineEdit>(&dialog, "lineEdit"), Qt::Key_X);
        QCOMPARE(dialog.getName().size(), 11);
        QTest::mouseClick(clear, Qt::LeftButton);
        QVERIFY(dialog.getName().isEmpty());
        QVERIFY(!done->isEnabled());
        QTest::keyClicks(child<QLineEdit>(&dialog, "lineEdit"), QStringLiteral("  "));
        QVERIFY(done->isEnabled());
        QCOMPARE(dialog.getName(), QStringLiteral("  "));
    }

    void nameDialogResult_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::newRow("done") << "closeBtn" << 1;
        QTest::newRow("close icon") << "cancelBtn" << 0;
    }
    void nameDialogResult()
    {
        QFETCH(QString, button);
        QFETCH(int, result);
        QnLynModifyNameDialog dialog;
        dialog.setName(QStringLiteral("Li"));
        QTimer::singleShot(0, &dialog, [&] {
            QTest::mouseClick(child<QWidget>(&dialog, qPrintable(button)), Qt::LeftButton);
        });
        QCOMPARE(dialog.exec(), result);
    }

    // Password dialog -----------------------------------------------------------------------------

    void passwordDialogOkEnabling()
    {
        QnLynModifyPasswordDialog dialog;
        dialog.show();
        auto *ok = child<QPushButton>(&dialog, "okBtn");
        QVERIFY(!ok->isEnabled());
        typeInto(&dialog, "opasswordLineEdit", QStringLiteral("a"));
        typeInto(&dialog, "npasswordLineEdit", QStringLiteral("b"));
        QVERIFY(!ok->isEnabled());
        typeInto(&dialog, "cpasswordLineEdit", QStringLiteral("c"));
        QVERIFY(ok->isEnabled());
        QTest::keyClick(child<QLineEdit>(&dialog, "npasswordLineEdit"), Qt::Key_Backspace);
        QVERIFY(!ok->isEnabled());
        auto *eye = child<QLabel>(&dialog, "npassStatuslabel");
        QTest::mouseClick(eye, Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(&dialog, "npasswordLineEdit")->echoMode(), QLineEdit::Password);
        auto *oEye = child<QLabel>(&dialog, "opassStatuslabel");
        QTest::mouseClick(oEye, Qt::LeftButton);
        QCOMPARE(child<QLineEdit>(&dialog, "opasswordLineEdit")->echoMode(), QLineEdit::Normal);
    }

    void passwordDialogTable_data()
    {
        QTest::addColumn<QString>("oldPassword");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("confirm");
        QTest::addColumn<QString>("msg1");
        QTest::addColumn<QString>("msg2");
        QTest::addColumn<QString>("msg3");
        QTest::addColumn<int>("updates");
        QTest::newRow("old wrong") << "wrong"
                                   << "new_pw9"
                                   << "new_pw9" << QString::fromUtf8("密码错误") << ""
                                   << "" << 0;
        QTest::newRow("rule broken") << kPassword << "a-b"
                                     << "a-b"
                                     << "" << QString::fromUtf8("6-16位支持字母、数字、下划线") << "" << 0;
        QTest::newRow("mismatch") << kPassword << "new_pw9"
                                  << "New_pw9"
                                  << ""
                                  << "" << QString::fromUtf8("两次密码输入不一致") << 0;
    }
    void passwordDialogTable()
    {
        QFETCH(QString, oldPassword);
        QFETCH(QString, newPassword);
        QFETCH(QString, confirm);
        QFETCH(QString, msg1);
        QFETCH(QString, msg2);
        QFETCH(QString, msg3);
        QFETCH(int, updates);
        QnLynModifyPasswordDialog dialog;
        dialog.setAccountInfo(m_token, m_uuid);
        dialog.show();
        typeInto(&dialog, "opasswordLineEdit", oldPassword);
        typeInto(&dialog, "npasswordLineEdit", newPassword);
        typeInto(&dialog, "cpasswordLineEdit", confirm);
        click(&dialog, "okBtn");
        QTRY_COMPARE_WITH_TIMEOUT(m_cloud.requestCount(QnCloudRoute::kCheckPassword), 1, 5000);
        QCOMPARE(m_cloud.requests(QnCloudRoute::kCheckPassword).first().header("access_token"),
                 m_token.toLatin1());
        QTRY_VERIFY_WITH_TIMEOUT(!(child<QLabel>(&dialog, "msglabel1")->text() +
                                   child<QLabel>(&dialog, "msglabel2")->text() +
                                   child<QLabel>(&dialog, "msglabel3")->text())
                                      .isEmpty(),
                                 5000);
        QCOMPARE(child<QLabel>(&dialog, "msglabel1")->text(), msg1);
        QCOMPARE(child<QLabel>(&dialog, "msglabel2")->text(), msg2);
        QCOMPARE(child<QLabel>(&dialog, "msglabel3")->text(), msg3);
        QTest::qWait(100);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kUpdatePassword), updates);
        QVERIFY(dialog.isVisible());
    }

    void passwordDialogSuccessAndRefusal()
    {
        QnLynModifyPasswordDialog dialog;
        dialog.setAccountInfo(m_token, m_uuid);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        typeInto(&dialog, "opasswordLineEdit", kPassword);
        typeInto(&dialog, "npasswordLineEdit", QStringLiteral("new_pw9"));
        typeInto(&dialog, "cpasswordLineEdit", QStringLiteral("new_pw9"));
        // Refused first: a toast with the service's message, the dialog stays.
        m_cloud.setReply(
            QnCloudRoute::kUpdatePassword,
            QnHttpResponse::json(QnCloudFixture::envelope(500, {}, QString::fromUtf8("密码修改过于频繁"))),
            1);
        click(&dialog, "okBtn");
        QTRY_VERIFY_WITH_TIMEOUT(AccountTestEnv::toasts().contains(QString::fromUtf8("密码修改过于频繁")),
                                 5000);
        QVERIFY(dialog.isVisible());
        QCOMPARE(finished.count(), 0);
        AccountTestEnv::closeToasts();
        click(&dialog, "okBtn");
        QVERIFY(finished.wait(5000));
        QVERIFY(AccountTestEnv::toasts().contains(QString::fromUtf8("修改成功")));
        QCOMPARE(m_cloud.account(kPhone).password, QStringLiteral("new_pw9"));
        const QJsonObject body =
            QJsonDocument::fromJson(m_cloud.requests(QnCloudRoute::kUpdatePassword).last().body).object();
        QCOMPARE(body.value(QStringLiteral("uuid")).toString(), m_uuid);
        QCOMPARE(body.value(QStringLiteral("oldPassword")).toString(), kPassword);
        QnCloudFixture::Account a = m_cloud.account(kPhone);
        a.password = kPassword;
        m_cloud.setAccount(a);
    }

    void passwordReplyAfterTheDialogIsGone()
    {
        m_cloud.setDelay(QnCloudRoute::kCheckPassword, 300);
        auto *dialog = new QnLynModifyPasswordDialog;
        dialog->setAccountInfo(m_token, m_uuid);
        dialog->show();
        typeInto(dialog, "opasswordLineEdit", kPassword);
        typeInto(dialog, "npasswordLineEdit", QStringLiteral("new_pw9"));
        typeInto(dialog, "cpasswordLineEdit", QStringLiteral("new_pw9"));
        click(dialog, "okBtn");
        QTRY_COMPARE(m_cloud.requestCount(QnCloudRoute::kCheckPassword), 1);
        click(dialog, "closeBtn");
        delete dialog;
        QTest::qWait(700);
        QCOMPARE(m_cloud.requestCount(QnCloudRoute::kUpdatePassword), 0);
        m_cloud.setDelay(QnCloudRoute::kCheckPassword, 0);
    }

    // Phone dialog --------------------------------------------------------------------------------

    void phoneDialogEndToEnd()
    {
        const QString newPhone = QStringLiteral("13600000003");
        QnLynModifyPhoneNum dialog;
        dialog.setAccountInfo(m_token, m_uuid);
        dialog.setCountdownInterval(20);
        QSignalSpy finished(&dialog, &QDialog::finished);
        dialog.show();
        QCOMPARE(child<QStackedWidget>(&dialog, "stackedWidget")->currentWidget()->objectName(),
                 QStringLiteral("inputPasswordpage"));
        QVERIFY(!child<QPushButton>(&dialog, "nextBtn")->isEnabled());
        typeInto(&dialog, "passwordLineEdit", QStringLiteral("wrong"));
        click(&dialog, "nextBtn");
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(&dialog, "msglabel")->text(), QString::fromUtf8("密码错误"),
                                  5000);
        typeInto(&dialog, "passwordLineEdit", kPassword);
        click(&dialog, "nextBtn");
        QTRY_COMPARE_WITH_TIMEOUT(
            child<QStackedWidget>(&dialog, "stackedWidget")->currentWidget()->objectName(),
            QStringLiteral("inputNumPage"), 5000);

        typeInto(&dialog, "regislineEdit", QStringLiteral("12000000000"));
        click(&dialog, "verCodeBtn");
        QCOMPARE(child<QLabel>(&dialog, "msgLabel1")->text(), QString::fromUtf8("手机号码格式不正确"));
        typeInto(&dialog, "regislineEdit", kPhone);
        click(&dialog, "verCodeBtn");
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(&dialog, "msgLabel1")->text(),
                                  QString::fromUtf8("手机号码已注册"), 5000);
        typeInto(&dialog, "regislineEdit", newPhone);
        click(&dialog, "verCodeBtn");
        QTRY_VERIFY_WITH_TIMEOUT(!m_cloud.codeOf(newPhone).isEmpty(), 5000);
        auto *button = child<QPushButton>(&dialog, "verCodeBtn");
        QTRY_VERIFY_WITH_TIMEOUT(button->text().endsWith(QString::fromUtf8("s重新获取")), 5000);
        QVERIFY(!button->isEnabled());

        typeInto(&dialog, "regisCodelineEdit", QStringLiteral("zzzz"));
        click(&dialog, "okBtn");
        QTRY_VERIFY_WITH_TIMEOUT(AccountTestEnv::toasts().contains(QString::fromUtf8("验证码错误")), 5000);
        QCOMPARE(finished.count(), 0);
        typeInto(&dialog, "regisCodelineEdit", m_cloud.codeOf(newPhone));
        click(&dialog, "okBtn");
        QVERIFY(finished.wait(5000));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.newPhoneNumber(), newPhone);
        QVERIFY(m_cloud.hasAccount(newPhone));
        // Back to the original number for the other tests.
        QnCloudFixture::Account moved = m_cloud.account(newPhone);
        QVERIFY(!m_cloud.hasAccount(kPhone));
        QTRY_VERIFY_WITH_TIMEOUT(button->text() == QString::fromUtf8("获取验证码"), 10000);
        m_cloud.clearRequests();
        moved.phone = kPhone;
        m_cloud.setAccount(moved);
        m_token.clear();
        signIn();
    }

    void phoneReplyAfterTheDialogIsGone()
    {
        m_cloud.setDelay(QnCloudRoute::kCheckPassword, 300);
        auto *dialog = new QnLynModifyPhoneNum;
        dialog->setAccountInfo(m_token, m_uuid);
        dialog->show();
        typeInto(dialog, "passwordLineEdit", kPassword);
        click(dialog, "nextBtn");
        QTRY_COMPARE(m_cloud.requestCount(QnCloudRoute::kCheckPassword), 1);
        click(dialog, "closeBtn");
        delete dialog;
        QTest::qWait(700);
        m_cloud.setDelay(QnCloudRoute::kCheckPassword, 0);
    }
};

QTEST_MAIN(TestAccountDialogs)
#include "tst_qnlynaccountdialogs.moc"
