// The rules of the main sender window without pixels: text cuts, code entry, receiver choice,
// connection attempts, feedback requests and replies, the what's-new notes file.
#include "client/ui/sender/QnFeedback.h"
#include "client/ui/sender/QnSenderRules.h"
#include "client/ui/sender/QnUpdateNotes.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace QnSenderRules;
using QStringMap = QMap<QString, QString>;

class TstSenderRules : public QObject
{
    Q_OBJECT
private slots:
    void cutText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("max");
        QTest::addColumn<QString>("shown");
        QTest::newRow("network 18") << QString(18, 'n') << kNetworkNameLength << QString(18, 'n');
        QTest::newRow("network 19") << QStringLiteral("abcdefghijklmnopqr") + "s" << kNetworkNameLength
                                    << QStringLiteral("abcdefghijklmnopqr...");
        QTest::newRow("key 15") << QString(15, 'k') << kReceiverKeyLength << QString(15, 'k');
        QTest::newRow("key 16") << QStringLiteral("0123456789abcdef") << kReceiverKeyLength
                                << QStringLiteral("0123456789abcde...");
        QTest::newRow("device 13") << QStringLiteral("三年级二班大屏幕投影仪左侧") << kDeviceNameLength
                                   << QStringLiteral("三年级二班大屏幕投影仪左...");
        QTest::newRow("empty") << QString() << kDeviceNameLength << QString();
    }
    void cutText()
    {
        QFETCH(QString, text);
        QFETCH(int, max);
        QFETCH(QString, shown);
        QCOMPARE(cut(text, max), shown);
    }

    void focusAfterChange_data()
    {
        QTest::addColumn<int>("changed");
        QTest::addColumn<int>("focus");
        QTest::newRow("first") << 0 << 1;
        QTest::newRow("fifth") << 4 << 5;
        QTest::newRow("sixth stays") << 5 << 5;
    }
    void focusAfterChange()
    {
        QFETCH(int, changed);
        QFETCH(int, focus);
        QCOMPARE(QnSenderRules::focusAfterChange(changed), focus);
    }

    void backspace_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("focused");
        QTest::addColumn<int>("clear");
        QTest::addColumn<int>("focus");
        const QStringList three{"1", "2", "3", "", "", ""};
        const QStringList six{"1", "2", "3", "4", "5", "6"};
        QTest::newRow("focused box with a digit clears only it") << six << 5 << 5 << 5;
        QTest::newRow("empty focused box clears the previous") << three << 3 << 2 << 2;
        QTest::newRow("third box with a digit") << three << 2 << 2 << 2;
        QTest::newRow("first box with a digit") << three << 0 << 0 << 0;
        QTest::newRow("first box empty: nothing") << QStringList{"", "", "", "", "", ""} << 0 << -1 << 0;
    }
    void backspace()
    {
        QFETCH(QStringList, texts);
        QFETCH(int, focused);
        QFETCH(int, clear);
        QFETCH(int, focus);
        const BackspaceStep step = QnSenderRules::backspace(texts, focused);
        QCOMPARE(step.clear, clear);
        QCOMPARE(step.focus, focus);
    }

    void completeCode_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("code");
        QTest::newRow("six digits") << QStringList{"1", "2", "3", "4", "5", "6"} << QStringLiteral("123456");
        QTest::newRow("five digits") << QStringList{"1", "2", "3", "4", "5", ""} << QString();
        QTest::newRow("a gap") << QStringList{"1", "", "3", "4", "5", "6"} << QString();
        QTest::newRow("a letter") << QStringList{"1", "a", "3", "4", "5", "6"} << QString();
    }
    void completeCode()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, code);
        QCOMPARE(QnSenderRules::completeCode(texts), code);
    }

    void keepReceiver_data()
    {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("deviceName");
        QTest::addColumn<QStringMap>("devices");
        QTest::addColumn<QString>("kept");
        const QStringMap twins{{"111111", "Room"}, {"222222", "Room"}};
        QTest::newRow("two receivers with one name: the chosen one stays")
            << QStringLiteral("222222") << QStringLiteral("Room") << twins << QStringLiteral("222222");
        QTest::newRow("chosen one gone: first with the name")
            << QStringLiteral("333333") << QStringLiteral("Room") << twins << QStringLiteral("111111");
        QTest::newRow("gone and no name matches: unchanged")
            << QStringLiteral("333333") << QStringLiteral("Lab") << twins << QStringLiteral("333333");
        QTest::newRow("nothing chosen") << QString() << QStringLiteral("Room") << twins << QString();
    }
    void keepReceiver()
    {
        QFETCH(QString, current);
        QFETCH(QString, deviceName);
        QFETCH(QStringMap, devices);
        QFETCH(QString, kept);
        QCOMPARE(QnSenderRules::keepReceiver(current, deviceName, devices), kept);
    }

    void connectAttempt()
    {
        QnConnectAttempt attempt;
        QVERIFY(attempt.succeed()); // a success with no attempt (reconnect) is taken
        attempt.start(QStringLiteral("123456"));
        QCOMPARE(attempt.abandon(), QStringLiteral("123456"));
        QVERIFY(!attempt.succeed()); // late success after cancel
        QCOMPARE(attempt.abandon(), QString());
        attempt.start(QStringLiteral("654321"));
        QVERIFY(attempt.succeed());
        QCOMPARE(attempt.state(), QnConnectAttempt::State::Connected);
        attempt.reset();
        QCOMPARE(attempt.state(), QnConnectAttempt::State::Idle);
    }

    void updateNetworkTip_data()
    {
        QTest::addColumn<bool>("started");
        QTest::addColumn<bool>("finished");
        QTest::addColumn<bool>("tip");
        QTest::newRow("dialog merely closed") << false << false << false;
        QTest::newRow("download failed") << true << false << true;
        QTest::newRow("download finished") << true << true << false;
    }
    void updateNetworkTip()
    {
        QFETCH(bool, started);
        QFETCH(bool, finished);
        QFETCH(bool, tip);
        QCOMPARE(QnSenderRules::updateNetworkTipWanted(started, finished), tip);
    }

    void feedbackBody()
    {
        const QJsonObject problem =
            QnFeedback::requestBody(QStringLiteral("屏幕卡顿了"), true, QStringLiteral("13800000000"));
        QCOMPARE(problem.value("feedbackSource").toString(), QStringLiteral("QnLynClient"));
        QCOMPARE(problem.value("feedbackInfo").toString(), QStringLiteral("屏幕卡顿了"));
        QCOMPARE(problem.value("feedbackType").toInt(), 1);
        QCOMPARE(problem.value("feedbackMobile").toString(), QStringLiteral("13800000000"));
        QCOMPARE(problem.value("feedbackId").toInt(-1), 0);
        QCOMPARE(problem.value("feedbackStatus").toInt(-1), 0);
        QCOMPARE(problem.size(), 6);
        QCOMPARE(QnFeedback::requestBody(QStringLiteral("x"), false, QString()).value("feedbackType").toInt(),
                 2);
    }

    void feedbackSubmitRule_data()
    {
        QTest::addColumn<int>("length");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("4") << 4 << false;
        QTest::newRow("5") << 5 << true;
        QTest::newRow("120") << 120 << true;
    }
    void feedbackSubmitRule()
    {
        QFETCH(int, length);
        QFETCH(bool, allowed);
        QCOMPARE(QnFeedback::canSubmit(length), allowed);
        QCOMPARE(QnFeedback::counterText(length), QStringLiteral("%1/120").arg(length));
    }

    void feedbackOutcome_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonObject>("reply");
        QTest::addColumn<int>("outcome");
        const QString p = QnFeedback::path();
        const int ok = int(QnFeedback::Outcome::Success), bad = int(QnFeedback::Outcome::Failure),
                  none = int(QnFeedback::Outcome::Ignore);
        QTest::newRow("500") << 500 << p << QJsonObject{{"code", 200}} << bad;
        QTest::newRow("200 code 200") << 200 << p << QJsonObject{{"code", 200}} << ok;
        QTest::newRow("200 code missing") << 200 << p << QJsonObject{} << bad;
        QTest::newRow("200 code 401") << 200 << p << QJsonObject{{"code", 401}} << bad;
        QTest::newRow("401") << 401 << p << QJsonObject{} << bad;
        QTest::newRow("no connection") << 0 << p << QJsonObject{} << bad;
        QTest::newRow("200 other path")
            << 200 << QStringLiteral("/other") << QJsonObject{{"code", 200}} << none;
    }
    void feedbackOutcome()
    {
        QFETCH(int, status);
        QFETCH(QString, path);
        QFETCH(QJsonObject, reply);
        QFETCH(int, outcome);
        HttpResultInfo info;
        info.statusCode = status;
        info.requestPath = path;
        info.replyObject = reply;
        QCOMPARE(int(QnFeedback::outcome(info)), outcome);
    }

    void updateNotes_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("version");
        QTest::newRow("1.0.6.1 and 1.0.5.9")
            << QStringList{"1.0.6.1", "1.0.5.9"} << true << QStringLiteral("1.0.6.1");
        QTest::newRow("text order: 1.0.6.2 after 1.0.10.0")
            << QStringList{"1.0.10.0", "1.0.6.2"} << true << QStringLiteral("1.0.6.2");
        QTest::newRow("a later version") << QStringList{"1.0.7.0"} << false << QString();
        QTest::newRow("two parts") << QStringList{"1.0"} << false << QString();
        QTest::newRow("empty group") << QStringList{} << false << QString();
    }
    void updateNotes()
    {
        QFETCH(QStringList, keys);
        QFETCH(bool, found);
        QFETCH(QString, version);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("UpdateContext.ini"));
        {
            QSettings ini(path, QSettings::IniFormat);
            ini.setIniCodec("UTF-8");
            ini.beginGroup(QStringLiteral("Default"));
            for (const QString &k : keys)
                ini.setValue(k, QStringLiteral("修复了连接问题\n新增扩展屏"));
            ini.endGroup();
            ini.setValue(QStringLiteral("Other/x"), 1);
        }
        const QnUpdateNotes notes = QnUpdateNotes::load(path, QStringLiteral("1.0.6.0"));
        QCOMPARE(notes.found, found);
        QCOMPARE(notes.version, version);
        QCOMPARE(QFile::exists(path), !found);
        if (found)
            QCOMPARE(notes.text, QStringLiteral("修复了连接问题\n新增扩展屏"));
    }

    void updateNotesMissingFile()
    {
        QTemporaryDir dir;
        QVERIFY(
            !QnUpdateNotes::load(dir.filePath(QStringLiteral("none.ini")), QStringLiteral("1.0.6.0")).found);
        QVERIFY(QnUpdateNotes::defaultPath().endsWith(QStringLiteral("/UpdateContext.ini")));
    }
};

QTEST_GUILESS_MAIN(TstSenderRules)
#include "tst_senderrules.moc"
