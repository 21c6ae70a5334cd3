// The account pages' rules without pixels: field formats, eye looks, reply reading, the head
// picture size limit, openable web addresses, the code countdown and the head picture files.
#include "client/ui/account/QnAccountRules.h"
#include "client/ui/account/QnCaptchaCountdown.h"
#include "client/ui/account/QnHeadImageFile.h"

#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTest>

namespace R = QnAccountRules;

class TestAccountRules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void phoneNumber_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        for (const char *ok : {"14512345678", "16612345678", "17812345678", "19912345678", "13000000000",
                               "15912345678", "18812345678", "14712345678", "17012345678"})
            QTest::addRow("%s", ok) << QString::fromLatin1(ok) << true;
        for (const char *bad : {"14612345678", "16512345678", "17212345678", "19712345678", "12012345678",
                                "1381234567", "138123456789", "", "1381234567a", " 13812345678"})
            QTest::addRow("bad %s", bad) << QString::fromLatin1(bad) << false;
    }
    void phoneNumber()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(R::isPhoneNumber(text), accepted);
    }

    void passwordRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("6 chars") << "abc_12" << true;
        QTest::newRow("16 chars") << "abcdefgh_1234567" << true;
        QTest::newRow("5 chars") << "abc12" << false;
        QTest::newRow("17 chars") << "abcdefgh_12345678" << false;
        QTest::newRow("hyphen") << "abc-123" << false;
        QTest::newRow("blank") << "abc 123" << false;
        QTest::newRow("non-ASCII letter") << QString::fromUtf8("abcé123") << false;
    }
    void passwordRule()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        QCOMPARE(R::isValidPassword(text), accepted);
    }

    void eyeState()
    {
        QCOMPARE(R::eyeStateFor(QString(), QLineEdit::Normal), R::EyeState::NoIcon);
        QCOMPARE(R::eyeStateFor(QStringLiteral("x"), QLineEdit::Normal), R::EyeState::Shown);
        QCOMPARE(R::eyeStateFor(QStringLiteral("x"), QLineEdit::Password), R::EyeState::Hidden);
        QCOMPARE(R::eyeStyle(R::EyeState::NoIcon),
                 QStringLiteral("QLabel{border:0px;background:#F0F0F0;padding:10px;}"));
        QVERIFY(R::eyeStyle(R::EyeState::Hidden).contains(QStringLiteral(":/img/hidepass.svg")));
        QVERIFY(R::eyeStyle(R::EyeState::Shown).contains(QStringLiteral(":/img/showpass.svg")));
    }

    void replyReading_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("data");
        QTest::newRow("ok string") << QByteArray(R"({"code":200,"data":"0"})") << 200 << "0";
        QTest::newRow("code as string") << QByteArray(R"({"code":"200","data":"1"})") << 0 << "1";
        QTest::newRow("no data") << QByteArray(R"({"code":200})") << 200 << "";
        QTest::newRow("number data") << QByteArray(R"({"code":500,"data":0})") << 500 << "";
        QTest::newRow("empty") << QByteArray("{}") << 0 << "";
    }
    void replyReading()
    {
        QFETCH(QByteArray, json);
        QFETCH(int, code);
        QFETCH(QString, data);
        const QJsonObject reply = QJsonDocument::fromJson(json).object();
        QCOMPARE(R::replyCode(reply), code);
        QCOMPARE(R::dataString(reply), data);
    }

    void refusalText()
    {
        HttpResultInfo info;
        QCOMPARE(R::refusalText(info, QStringLiteral("fixed")), QStringLiteral("fixed"));
        info.replyObject.insert(QStringLiteral("msg"), QStringLiteral("  "));
        QCOMPARE(R::refusalText(info, QStringLiteral("fixed")), QStringLiteral("fixed"));
        info.replyObject.insert(QStringLiteral("msg"), QString(100, QLatin1Char('m')));
        QCOMPARE(R::refusalText(info, QStringLiteral("fixed")), QString(60, QLatin1Char('m')));
    }

    void headImageLimit()
    {
        QVERIFY(!R::isHeadImageTooLarge(11534335));
        QVERIFY(R::isHeadImageTooLarge(11534336));
        QVERIFY(!R::isHeadImageTooLarge(0));
    }

    void openableUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("openable");
        QTest::newRow("http") << "http://127.0.0.1:8080/agreement.html" << true;
        QTest::newRow("https") << "https://example.invalid/a" << true;
        QTest::newRow("HTTPS upper") << "HTTPS://example.invalid/a" << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("relative") << "/files/agreement.html" << false;
        QTest::newRow("no host") << "http:///x" << false;
        QTest::newRow("smb") << "smb://host/share" << false;
        QTest::newRow("empty") << "" << false;
    }
    void openableUrl()
    {
        QFETCH(QString, url);
        QFETCH(bool, openable);
        QCOMPARE(R::isOpenableWebUrl(QUrl(url, QUrl::StrictMode)), openable);
    }

    void countdownSequence()
    {
        int left = 60;
        QnCaptchaCountdown::Step first = QnCaptchaCountdown::advance(left);
        QVERIFY(!first.finished);
        QVERIFY(first.disableButton);
        QCOMPARE(first.shownSeconds, 60);
        for (int shown = 59; shown >= 1; --shown) {
            const QnCaptchaCountdown::Step step = QnCaptchaCountdown::advance(left);
            QVERIFY(!step.finished);
            QVERIFY(!step.disableButton);
            QCOMPARE(step.shownSeconds, shown);
        }
        QVERIFY(QnCaptchaCountdown::advance(left).finished);
        QCOMPARE(left, 60);
    }

    void headImagePaths()
    {
        QVERIFY(QnHeadImageFile::pathFor(QStringLiteral("../../etc/x")).isEmpty());
        QVERIFY(QnHeadImageFile::pathFor(QString()).isEmpty());
        const QString path = QnHeadImageFile::pathFor(QStringLiteral("abc-123"));
        QVERIFY(path.endsWith(QStringLiteral("/head/abc-123.png")));
        QVERIFY(QnHeadImageFile::tempPathFor(path) != QnHeadImageFile::tempPathFor(path));
    }

    void commitKeepsOldPictureOnGarbage()
    {
        const QString final = QnHeadImageFile::pathFor(QStringLiteral("commit-test"));
        QImage old(4, 4, QImage::Format_ARGB32);
        old.fill(Qt::green);
        QVERIFY(QnHeadImageFile::savePng(old, final));
        const QString temp = QnHeadImageFile::tempPathFor(final);
        QFile garbage(temp);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write("<html>not a picture</html>");
        garbage.close();
        QVERIFY(!QnHeadImageFile::commit(temp, final));
        QVERIFY(!QFile::exists(temp));
        QCOMPARE(QImage(final).pixelColor(0, 0), QColor(Qt::green));

        QImage fresh(4, 4, QImage::Format_ARGB32);
        fresh.fill(Qt::blue);
        const QString temp2 = QnHeadImageFile::tempPathFor(final);
        QVERIFY(QnHeadImageFile::savePng(fresh, temp2));
        QVERIFY(QnHeadImageFile::commit(temp2, final));
        QCOMPARE(QImage(final).pixelColor(0, 0), QColor(Qt::blue));
        QVERIFY(!QnHeadImageFile::savePng(QImage(), final));
        QCOMPARE(QImage(final).pixelColor(0, 0), QColor(Qt::blue));
    }
};

QTEST_GUILESS_MAIN(TestAccountRules)
#include "tst_qnaccountrules.moc"
