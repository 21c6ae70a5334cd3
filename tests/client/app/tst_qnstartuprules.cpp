#include "client/app/QnStartupRules.h"

#include "common/settings/COption.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

// The start-up decisions as tables, and over a real settings file.
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
const QString kSystem = QStringLiteral("system");

} // namespace

class TestQnStartupRules : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void autoRunRule_data();
    void autoRunRule();
    void saneScale_data();
    void saneScale();
    void startScale_data();
    void startScale();
    void startScaleTextFromSettings_data();
    void startScaleTextFromSettings();
    void checkDisplay_data();
    void checkDisplay();
    void checkDisplayStores();
    void restartLoop();
    void firstStartTakesTwoPasses();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
};

void TestQnStartupRules::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_ini = m_dir->filePath(QStringLiteral("setting.ini"));
}

void TestQnStartupRules::autoRunRule_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("receiverSet");
    QTest::addColumn<bool>("yields");
    QTest::addColumn<bool>("asked");
    const QString prog = QStringLiteral("/opt/qn/QnLynClient");
    QTest::newRow("AutoRun, receiver set")
        << QStringList{prog, QStringLiteral("AutoRun")} << true << true << true;
    QTest::newRow("AutoRun, receiver not set")
        << QStringList{prog, QStringLiteral("AutoRun")} << false << false << true;
    QTest::newRow("no AutoRun, receiver set") << QStringList{prog} << true << false << false;
    QTest::newRow("AutoRun among others")
        << QStringList{prog, QStringLiteral("-x"), QStringLiteral("AutoRun")} << true << true << true;
    QTest::newRow("case matters") << QStringList{prog, QStringLiteral("autorun")} << true << false << false;
    QTest::newRow("no prefix match") << QStringList{prog, QStringLiteral("AutoRunX")} << true << false
                                     << false;
}

void TestQnStartupRules::autoRunRule()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, receiverSet);
    QFETCH(bool, yields);
    QFETCH(bool, asked);
    bool wasAsked = false;
    QCOMPARE(QnStartupRules::yieldsToReceiver(arguments,
                                              [&] {
                                                  wasAsked = true;
                                                  return receiverSet;
                                              }),
             yields);
    QCOMPARE(wasAsked, asked);
}

void TestQnStartupRules::saneScale_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<double>("expected");
    QTest::newRow("1") << 1.0 << 1.0;
    QTest::newRow("1.25") << 1.25 << 1.25;
    QTest::newRow("lowest 0.5") << 0.5 << 0.5;
    QTest::newRow("highest 4") << 4.0 << 4.0;
    QTest::newRow("below") << 0.49 << 1.0;
    QTest::newRow("above") << 4.01 << 1.0;
    QTest::newRow("zero") << 0.0 << 1.0;
    QTest::newRow("negative") << -1.5 << 1.0;
    QTest::newRow("NaN") << kNaN << 1.0;
    QTest::newRow("infinity") << kInf << 1.0;
    QTest::newRow("minus infinity") << -kInf << 1.0;
}

void TestQnStartupRules::saneScale()
{
    QFETCH(double, value);
    QFETCH(double, expected);
    QCOMPARE(QnStartupRules::saneScale(value), expected);
}

void TestQnStartupRules::startScale_data()
{
    QTest::addColumn<double>("stored");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("text");
    QTest::newRow("2160 high: 2 whatever is stored") << 1.25 << 2160 << QStringLiteral("2");
    QTest::newRow("1049 high: the stored 1.25") << 1.25 << 1049 << QStringLiteral("1.25");
    QTest::newRow("3150") << 1.5 << 3150 << QStringLiteral("3");
    QTest::newRow("3149") << 1.5 << 3149 << QStringLiteral("2");
    QTest::newRow("2100") << 1.5 << 2100 << QStringLiteral("2");
    QTest::newRow("2099") << 1.5 << 2099 << QStringLiteral("1");
    QTest::newRow("1050") << 1.5 << 1050 << QStringLiteral("1");
    QTest::newRow("no height, 0.75") << 0.75 << 0 << QStringLiteral("0.75");
    QTest::newRow("six digits") << 1.2345678 << 0 << QStringLiteral("1.23457");
    QTest::newRow("NaN stored") << kNaN << 800 << QStringLiteral("1");
    QTest::newRow("100 stored") << 100.0 << 800 << QStringLiteral("1");
    QTest::newRow("0 stored") << 0.0 << 800 << QStringLiteral("1");
}

void TestQnStartupRules::startScale()
{
    QFETCH(double, stored);
    QFETCH(int, height);
    QFETCH(QString, text);
    QCOMPARE(QnStartupRules::scaleText(QnStartupRules::startScale(stored, height)), text);
}

void TestQnStartupRules::startScaleTextFromSettings_data()
{
    QTest::addColumn<QVariant>("dpiScale"); // invalid: absent
    QTest::addColumn<QVariant>("rheight");
    QTest::addColumn<QString>("text"); // "-": none
    QTest::newRow("empty settings") << QVariant() << QVariant() << QStringLiteral("-");
    QTest::newRow("only rheight") << QVariant() << QVariant(2160) << QStringLiteral("-");
    QTest::newRow("1.5, no height") << QVariant(1.5) << QVariant() << QStringLiteral("1.5");
    QTest::newRow("1.5, 2160") << QVariant(1.5) << QVariant(2160) << QStringLiteral("2");
    QTest::newRow("text nan") << QVariant(QStringLiteral("nan")) << QVariant(900) << QStringLiteral("1");
    QTest::newRow("text inf") << QVariant(QStringLiteral("inf")) << QVariant(900) << QStringLiteral("1");
    QTest::newRow("not a number") << QVariant(QStringLiteral("big")) << QVariant(900) << QStringLiteral("1");
    QTest::newRow("too large") << QVariant(12.0) << QVariant(900) << QStringLiteral("1");
}

void TestQnStartupRules::startScaleTextFromSettings()
{
    QFETCH(QVariant, dpiScale);
    QFETCH(QVariant, rheight);
    QFETCH(QString, text);
    COption settings(m_ini);
    if (dpiScale.isValid())
        settings.setValue(kSystem, QStringLiteral("dpiScale"), dpiScale);
    if (rheight.isValid())
        settings.setValue(kSystem, QStringLiteral("rheight"), rheight);
    const COption reread(m_ini);
    const std::optional<QString> result = QnStartupRules::startScaleText(reread);
    QCOMPARE(result.value_or(QStringLiteral("-")), text);
}

void TestQnStartupRules::checkDisplay_data()
{
    QTest::addColumn<double>("stored"); // NaN row uses storedPresent
    QTest::addColumn<bool>("storedPresent");
    QTest::addColumn<int>("storedWidth");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QSize>("logical");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("storeSize");
    QTest::addColumn<QSize>("physical");
    const QSize fullHd(1920, 1080);
    QTest::newRow("same display") << 1.0 << true << 1920 << 1.0 << fullHd << false << false << fullHd;
    QTest::newRow("ratio 1.5, same physical width")
        << 1.0 << true << 1920 << 1.5 << QSize(1280, 720) << true << false << fullHd;
    QTest::newRow("first start") << 1.0 << false << 0 << 1.0 << fullHd << true << true << fullHd;
    QTest::newRow("absent scale reads as 1")
        << 1.0 << false << 1920 << 1.0 << fullHd << false << false << fullHd;
    QTest::newRow("other width") << 1.0 << true << 1366 << 1.0 << fullHd << true << true << fullHd;
    QTest::newRow("stored NaN is not a change")
        << kNaN << true << 1920 << 1.0 << fullHd << false << false << fullHd;
    QTest::newRow("stored 100 reads as 1")
        << 100.0 << true << 1920 << 1.0 << fullHd << false << false << fullHd;
    QTest::newRow("stored NaN, ratio 2")
        << kNaN << true << 3840 << 2.0 << fullHd << true << false << QSize(3840, 2160);
    QTest::newRow("ratio 1.25") << 1.25 << true << 1920 << 1.25 << QSize(1536, 864) << false << false
                                << fullHd;
    QTest::newRow("halves away from zero")
        << 1.5 << true << 0 << 1.5 << QSize(1281, 721) << true << true << QSize(1922, 1082);
    QTest::newRow("ratio NaN tells nothing")
        << 1.0 << true << 0 << kNaN << fullHd << false << false << QSize();
    QTest::newRow("ratio 0 tells nothing") << 1.0 << true << 0 << 0.0 << fullHd << false << false << QSize();
}

void TestQnStartupRules::checkDisplay()
{
    QFETCH(double, stored);
    QFETCH(bool, storedPresent);
    QFETCH(int, storedWidth);
    QFETCH(double, ratio);
    QFETCH(QSize, logical);
    QFETCH(bool, changed);
    QFETCH(bool, storeSize);
    QFETCH(QSize, physical);
    const QnStartupRules::DisplayCheck check = QnStartupRules::checkDisplay(
        storedPresent ? std::optional<double>(stored) : std::nullopt, storedWidth, ratio, logical);
    QCOMPARE(check.changed, changed);
    QCOMPARE(check.storeSize, storeSize);
    if (physical.isValid())
        QCOMPARE(check.physical, physical);
}

void TestQnStartupRules::checkDisplayStores()
{
    COption settings(m_ini);
    // First start with empty settings: all three stored.
    QVERIFY(QnStartupRules::checkDisplay(settings, 1.0, QSize(1920, 1080)));
    QCOMPARE(settings.value(kSystem, QStringLiteral("dpiScale")).toDouble(), 1.0);
    QCOMPARE(settings.value(kSystem, QStringLiteral("rwidth")).toInt(), 1920);
    QCOMPARE(settings.value(kSystem, QStringLiteral("rheight")).toInt(), 1080);
    // Same again, through a fresh reader of the file: nothing changed.
    COption again(m_ini);
    QVERIFY(!QnStartupRules::checkDisplay(again, 1.0, QSize(1920, 1080)));
    // Ratio 1.5 over the same physical width: only the scale is stored.
    again.setValue(kSystem, QStringLiteral("rheight"), 1000); // marks that the size is left alone
    QVERIFY(QnStartupRules::checkDisplay(again, 1.5, QSize(1280, 720)));
    COption third(m_ini);
    QCOMPARE(third.value(kSystem, QStringLiteral("dpiScale")).toDouble(), 1.5);
    QCOMPARE(third.value(kSystem, QStringLiteral("rwidth")).toInt(), 1920);
    QCOMPARE(third.value(kSystem, QStringLiteral("rheight")).toInt(), 1000);
    QVERIFY(!QnStartupRules::checkDisplay(third, 1.5, QSize(1280, 720)));
    // A NaN written by hand is no reason to restart at ratio 1.
    third.setValue(kSystem, QStringLiteral("dpiScale"), QStringLiteral("nan"));
    QVERIFY(!QnStartupRules::checkDisplay(third, 1.0, QSize(1920, 1080)));
}

void TestQnStartupRules::restartLoop()
{
    QVERIFY(QnStartupRules::restartsAfter(-10086));
    QVERIFY(!QnStartupRules::restartsAfter(0));
    QVERIFY(!QnStartupRules::restartsAfter(-1));
    QVERIFY(!QnStartupRules::restartsAfter(1));
    QVERIFY(QnStartupRules::checksDisplay(0));
    QVERIFY(QnStartupRules::checksDisplay(QnStartupRules::kMaxRestarts - 1));
    QVERIFY(!QnStartupRules::checksDisplay(QnStartupRules::kMaxRestarts));
}

void TestQnStartupRules::firstStartTakesTwoPasses()
{
    // The loop as main runs it, on a 1920x1080 display whose ratio follows the start scale.
    int restarts = 0;
    int passes = 0;
    for (;;) {
        ++passes;
        QVERIFY(passes < 10);
        COption settings(m_ini);
        const std::optional<QString> scale = QnStartupRules::startScaleText(settings);
        const double ratio = scale ? scale->toDouble() : 1.0;
        const QSize logical(qRound(1920 / ratio), qRound(1080 / ratio));
        const int code =
            QnStartupRules::checksDisplay(restarts) && QnStartupRules::checkDisplay(settings, ratio, logical)
                ? QnStartupRules::kRestartCode
                : 0;
        if (!QnStartupRules::restartsAfter(code))
            break;
        ++restarts;
    }
    QCOMPARE(passes, 2);
}

QTEST_GUILESS_MAIN(TestQnStartupRules)
#include "tst_qnstartuprules.moc"
