#include "platform/system/QnAutostart.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// XDG autostart entries in folders of the test's own, and the quoting of their Exec lines.
class TestQnAutostart : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void execLineQuoting_data();
    void execLineQuoting();
    void execLineRoundTrip_data();
    void execLineRoundTrip();
    void splitRejectsMalformed_data();
    void splitRejectsMalformed();
    void entryWrittenAndRemoved();
    void entryFileEscapesBackslashes();
    void entryStartsTheProgramAsGiven();
    void isSetRules_data();
    void isSetRules();
    void userEntryHidesSystemEntry();
    void badNamesRefused();

private:
    void writeFile(const QString &path, const QByteArray &bytes);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_home;
    QString m_system;
};

void TestQnAutostart::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_home = m_dir->filePath(QStringLiteral("config"));
    m_system = m_dir->filePath(QStringLiteral("xdg"));
}

void TestQnAutostart::writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void TestQnAutostart::execLineQuoting_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("/opt/qn/QnLynClient")
                           << QStringLiteral("/opt/qn/QnLynClient AutoRun");
    QTest::newRow("space") << QStringLiteral("/opt/Qn Lyn/QnLynClient")
                           << QStringLiteral("\"/opt/Qn Lyn/QnLynClient\" AutoRun");
    QTest::newRow("double quote") << QStringLiteral("/opt/a\"b/c")
                                  << QStringLiteral("\"/opt/a\\\"b/c\" AutoRun");
    QTest::newRow("single quote") << QStringLiteral("/home/o'neil/c")
                                  << QStringLiteral("\"/home/o'neil/c\" AutoRun");
    QTest::newRow("backslash") << QStringLiteral("/opt/a\\b/c")
                               << QStringLiteral("\"/opt/a\\\\b/c\" AutoRun");
    QTest::newRow("dollar and backtick")
        << QStringLiteral("/opt/$x`y`/c") << QStringLiteral("\"/opt/\\$x\\`y\\`/c\" AutoRun");
    QTest::newRow("percent") << QStringLiteral("/opt/100%/c") << QStringLiteral("/opt/100%%/c AutoRun");
    QTest::newRow("percent inside quotes")
        << QStringLiteral("/opt/100 %/c") << QStringLiteral("\"/opt/100 %%/c\" AutoRun");
    QTest::newRow("non-ASCII") << QStringLiteral("/opt/\u6295\u5c4f/c")
                               << QStringLiteral("/opt/\u6295\u5c4f/c AutoRun");
}

void TestQnAutostart::execLineQuoting()
{
    QFETCH(QString, program);
    QFETCH(QString, expected);
    QCOMPARE(QnAutostart::execLine(program, {QStringLiteral("AutoRun")}), expected);
}

void TestQnAutostart::execLineRoundTrip_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << QStringList{QStringLiteral("/bin/prog"), QStringLiteral("AutoRun")};
    QTest::newRow("every reserved character")
        << QStringList{QStringLiteral("/a b/\t\"'\\><~|&;$*?#()`/p"), QStringLiteral("x y")};
    QTest::newRow("empty argument") << QStringList{QStringLiteral("/bin/prog"), QString()};
    QTest::newRow("percent") << QStringList{QStringLiteral("/opt/%u/p%"), QStringLiteral("%%")};
    QTest::newRow("newline") << QStringList{QStringLiteral("/opt/a\nb/p")};
}

void TestQnAutostart::execLineRoundTrip()
{
    QFETCH(QStringList, arguments);
    const QString line = QnAutostart::execLine(arguments.first(), arguments.mid(1));
    bool ok = false;
    QCOMPARE(QnAutostart::splitExecLine(line, &ok), arguments);
    QVERIFY(ok);
    // Through the file's escapes as well.
    QCOMPARE(QnAutostart::unescapeValue(QnAutostart::escapeValue(line)), line);
}

void TestQnAutostart::splitRejectsMalformed_data()
{
    QTest::addColumn<QString>("exec");
    QTest::newRow("unterminated quote") << QStringLiteral("\"/opt/a b");
    QTest::newRow("reserved unquoted") << QStringLiteral("/opt/a;b");
    QTest::newRow("bad escape in quotes") << QStringLiteral("\"/opt/\\a\"");
    QTest::newRow("field code in quotes") << QStringLiteral("\"/opt/a %u\"");
    QTest::newRow("lone percent at end") << QStringLiteral("/opt/a %");
}

void TestQnAutostart::splitRejectsMalformed()
{
    QFETCH(QString, exec);
    bool ok = true;
    QVERIFY(QnAutostart::splitExecLine(exec, &ok).isEmpty());
    QVERIFY(!ok);
}

void TestQnAutostart::entryWrittenAndRemoved()
{
    QnAutostart autostart(m_home, {m_system});
    const QString program = QStringLiteral("/opt/Qn Lyn/\"bin\"/QnLynClient");
    QVERIFY(!autostart.isSet(QStringLiteral("QnLynClient")));
    QVERIFY(autostart.setEntry(QStringLiteral("QnLynClient"), program, {QStringLiteral("AutoRun")}));
    QCOMPARE(autostart.entryPath(QStringLiteral("QnLynClient")),
             m_home + QStringLiteral("/autostart/QnLynClient.desktop"));
    QVERIFY(QFile::exists(autostart.entryPath(QStringLiteral("QnLynClient"))));
    QVERIFY(autostart.isSet(QStringLiteral("QnLynClient")));
    QCOMPARE(autostart.command(QStringLiteral("QnLynClient")),
             (QStringList{program, QStringLiteral("AutoRun")}));

    // Written again: one entry, replaced.
    QVERIFY(autostart.setEntry(QStringLiteral("QnLynClient"), QStringLiteral("/usr/bin/other"), {}));
    QCOMPARE(autostart.command(QStringLiteral("QnLynClient")), QStringList{QStringLiteral("/usr/bin/other")});

    QVERIFY(autostart.removeEntry(QStringLiteral("QnLynClient")));
    QVERIFY(!autostart.isSet(QStringLiteral("QnLynClient")));
    QVERIFY(autostart.removeEntry(QStringLiteral("QnLynClient"))); // twice, harmlessly
}

void TestQnAutostart::entryFileEscapesBackslashes()
{
    QnAutostart autostart(m_home, {m_system});
    QVERIFY(autostart.setEntry(QStringLiteral("Qn"), QStringLiteral("/opt/a\\b c/p"),
                               {QStringLiteral("AutoRun")}));
    QFile file(autostart.entryPath(QStringLiteral("Qn")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    // Quoting doubles the backslash, the file's string escape doubles it again.
    QVERIFY2(text.contains("\nExec=\"/opt/a\\\\\\\\b c/p\" AutoRun\n"), text.constData());
    QVERIFY(text.startsWith("[Desktop Entry]\n"));
    QVERIFY(text.contains("\nType=Application\n"));
}

void TestQnAutostart::entryStartsTheProgramAsGiven()
{
    // A real program under a path a shell would mangle, started from the parsed entry.
    const QString folder = m_dir->filePath(QStringLiteral("a b \"c\" $d\\e"));
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/echo-args");
    QVERIFY(QFile::copy(QStringLiteral("/bin/echo"), program));
    QnAutostart autostart(m_home, {m_system});
    QVERIFY(autostart.setEntry(QStringLiteral("Qn"), program, {QStringLiteral("AutoRun")}));
    const QStringList command = autostart.command(QStringLiteral("Qn"));
    QCOMPARE(command.size(), 2);
    QProcess process;
    process.start(command.first(), command.mid(1));
    QVERIFY(process.waitForFinished(10000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardOutput(), QByteArray("AutoRun\n"));
}

void TestQnAutostart::isSetRules_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("set");
    QTest::newRow("command") << QByteArray("[Desktop Entry]\nType=Application\nExec=/opt/QnLynServer\n")
                             << true;
    QTest::newRow("spaces around =") << QByteArray("[Desktop Entry]\nExec = /opt/QnLynServer\n") << true;
    QTest::newRow("empty Exec") << QByteArray("[Desktop Entry]\nType=Application\nExec=\n") << false;
    QTest::newRow("blank Exec") << QByteArray("[Desktop Entry]\nExec=   \n") << false;
    QTest::newRow("no Exec") << QByteArray("[Desktop Entry]\nType=Application\n") << false;
    QTest::newRow("hidden") << QByteArray("[Desktop Entry]\nExec=/opt/QnLynServer\nHidden=true\n") << false;
    QTest::newRow("Hidden=false") << QByteArray("[Desktop Entry]\nExec=/opt/QnLynServer\nHidden=false\n")
                                  << true;
    QTest::newRow("Exec in another group")
        << QByteArray("[Desktop Entry]\nType=Application\n[Desktop Action x]\nExec=/opt/QnLynServer\n")
        << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("not an entry") << QByteArray("Exec=/opt/QnLynServer\n") << false;
}

void TestQnAutostart::isSetRules()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, set);
    writeFile(m_home + QStringLiteral("/autostart/QnLynServer.desktop"), content);
    QnAutostart autostart(m_home, {m_system});
    QCOMPARE(autostart.isSet(QStringLiteral("QnLynServer")), set);
    QVERIFY(!autostart.isSet(QStringLiteral("QnLynServe")));
}

void TestQnAutostart::userEntryHidesSystemEntry()
{
    QnAutostart autostart(m_home, {m_dir->filePath(QStringLiteral("none")), m_system});
    writeFile(m_system + QStringLiteral("/autostart/QnLynServer.desktop"),
              "[Desktop Entry]\nExec=/opt/QnLynServer\n");
    QVERIFY(autostart.isSet(QStringLiteral("QnLynServer")));
    // The user switched it off.
    writeFile(m_home + QStringLiteral("/autostart/QnLynServer.desktop"), "[Desktop Entry]\nHidden=true\n");
    QVERIFY(!autostart.isSet(QStringLiteral("QnLynServer")));
}

void TestQnAutostart::badNamesRefused()
{
    QnAutostart autostart(m_home, {m_system});
    QVERIFY(!autostart.setEntry(QString(), QStringLiteral("/bin/true"), {}));
    QVERIFY(!autostart.setEntry(QStringLiteral("../evil"), QStringLiteral("/bin/true"), {}));
    QVERIFY(!autostart.setEntry(QStringLiteral("Qn"), QString(), {}));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("config/evil.desktop"))));
}

QTEST_GUILESS_MAIN(TestQnAutostart)
#include "tst_qnautostart.moc"
