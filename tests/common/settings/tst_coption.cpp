#include "common/settings/COption.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The per-user data location is pointed at a temporary folder through XDG_DATA_HOME; the default
// copy "config/setting.ini" beside the test binary is written by each test that needs one.
class TestCOption : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void defaultCopiedOnceNeverOverwritten();
    void missingDefaultLeavesNoFileUntilFirstWrite();
    void valueAndContains_data();
    void valueAndContains();
    void writeSeenByFreshOption();
    void utf8RoundTrip();
    void samePathBeforeAndAfterApplication();
    void fileMd5_data();
    void fileMd5();
    void appDirPathFallback();

private:
    QString defaultFile() const { return QCoreApplication::applicationDirPath() + "/config/setting.ini"; }
    void writeDefault(const QByteArray &text);
    std::unique_ptr<QTemporaryDir> m_home;
    QByteArray m_savedDefault;
    bool m_hadDefault = false;
};

void TestCOption::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid());
    qputenv("XDG_DATA_HOME", m_home->path().toUtf8());
    QFile existing(defaultFile());
    m_hadDefault = existing.open(QIODevice::ReadOnly);
    m_savedDefault = m_hadDefault ? existing.readAll() : QByteArray();
}

void TestCOption::cleanup()
{
    // Leave the default beside the binary as the build put it.
    QFile::remove(defaultFile());
    if (m_hadDefault) {
        QFile f(defaultFile());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_savedDefault);
    }
    m_home.reset();
}

void TestCOption::writeDefault(const QByteArray &text)
{
    QDir().mkpath(QFileInfo(defaultFile()).absolutePath());
    QFile::remove(defaultFile());
    QFile f(defaultFile());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

void TestCOption::defaultCopiedOnceNeverOverwritten()
{
    writeDefault("[system]\ndpiScale=1.5\n");
    const QString path = COption::configPath();
    QCOMPARE(path, m_home->path() + "/" + QCoreApplication::applicationName() + "/config/setting.ini");
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(COption(path).value("system", "dpiScale").toDouble(), 1.5);

    COption(path).setValue("system", "dpiScale", 2.0);
    writeDefault("[system]\ndpiScale=3\n"); // a newer default must not replace the user's file
    QCOMPARE(COption::configPath(), path);
    QCOMPARE(COption(path).value("system", "dpiScale").toDouble(), 2.0);
}

void TestCOption::missingDefaultLeavesNoFileUntilFirstWrite()
{
    QFile::remove(defaultFile());
    const QString path = COption::configPath();
    QVERIFY(QFileInfo(QFileInfo(path).absolutePath()).isDir());
    QVERIFY(!QFileInfo::exists(path));
    COption option(path);
    QCOMPARE(option.value("main", "selfStart", false).toBool(), false);
    option.setValue("main", "selfStart", true);
    QVERIFY(QFileInfo::exists(path));
}

void TestCOption::valueAndContains_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("contained");
    QTest::addColumn<QVariant>("expected"); // value() with default "dflt"

    QTest::newRow("present") << "system"
                             << "uuid" << true << QVariant("0123abcd");
    QTest::newRow("key of another group only") << "main"
                                               << "uuid" << false << QVariant("dflt");
    QTest::newRow("case differs") << "system"
                                  << "UUID" << false << QVariant("dflt");
    QTest::newRow("missing group") << "nosuch"
                                   << "uuid" << false << QVariant("dflt");
    QTest::newRow("empty value") << "user"
                                 << "username" << true << QVariant("");
}

void TestCOption::valueAndContains()
{
    QFETCH(QString, group);
    QFETCH(QString, key);
    QFETCH(bool, contained);
    QFETCH(QVariant, expected);
    writeDefault("[system]\nuuid=0123abcd\n[main]\nselfStart=true\n[user]\nusername=\n");
    COption option;
    option.openSettings(COption::configPath());
    QCOMPARE(option.contains(group, key), contained);
    QCOMPARE(option.value(group, key, "dflt").toString(), expected.toString());
}

void TestCOption::writeSeenByFreshOption()
{
    const QString path = COption::configPath();
    COption(path).setValue("system", "rwidth", 2560);
    // No object survives between the write and the read: the file itself must hold the value.
    QSettings raw(path, QSettings::IniFormat);
    QCOMPARE(raw.value("system/rwidth").toInt(), 2560);
    QCOMPARE(COption(path).value("system", "rwidth", 0).toInt(), 2560);
}

void TestCOption::utf8RoundTrip()
{
    const QString path = COption::configPath();
    const QString name = QStringLiteral("教室电脑-三年二班");
    COption(path).setValue("system", "name", name);
    QCOMPARE(COption(path).value("system", "name").toString(), name);
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().contains(name.toUtf8()));
}

void TestCOption::samePathBeforeAndAfterApplication()
{
    QProcess probe;
    probe.start(QStringLiteral(TEST_BIN_DIR "/coption_probe"), QStringList());
    QVERIFY(probe.waitForFinished(10000));
    QCOMPARE(probe.exitCode(), 0);
    const QStringList lines =
        QString::fromLocal8Bit(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), lines.at(1));
    QCOMPARE(lines.at(0), m_home->path() + "/coption_probe/config/setting.ini");
}

void TestCOption::fileMd5_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("short") << QByteArray("abc");
    QTest::newRow("over one chunk") << QByteArray(1048576 + 17, 'x');
}

void TestCOption::fileMd5()
{
    QFETCH(QByteArray, content);
    const QString path = m_home->filePath("f.bin");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    QCOMPARE(::fileMd5(path),
             QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Md5).toHex()));
    QCOMPARE(::fileMd5(m_home->filePath("missing.bin")), QString());
}

void TestCOption::appDirPathFallback()
{
    QCOMPARE(appDirPath(), QCoreApplication::applicationDirPath());
    QCOMPARE(appDirPath("/elsewhere"), QCoreApplication::applicationDirPath());
}

QTEST_GUILESS_MAIN(TestCOption)
#include "tst_coption.moc"
