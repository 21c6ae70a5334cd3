#include "platform/system/QnElevation.h"
#include "platform/system/QnFakeElevation.h"
#include "platform/system/QnPkexecElevation.h"
#include "platform/system/QnProcessList.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

Q_DECLARE_METATYPE(QnElevatedStart)

namespace {

const QString kLauncher = QStringLiteral(TEST_BIN_DIR "/qn-elevated-start");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A stand-in for pkexec that writes its arguments (one a line) to argsFile and then behaves as
// mode says: "run" runs them (as an authorised pkexec does), a number exits with it.
QStringList fakePkexec(const QString &argsFile, const QString &mode)
{
    const QString tail =
        mode == QLatin1String("run") ? QStringLiteral("exec \"$@\"") : QStringLiteral("exit ") + mode;
    return {QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("printf '%s\\n' \"$@\" > \"%1\"; %2").arg(argsFile, tail),
            QStringLiteral("fake-pkexec")};
}

} // namespace

// The pkexec backend with a stand-in for pkexec in front of the real launcher, the launcher on its
// own, and the recording fake.
class TestQnElevation : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void administratorIsEffectiveUidZero();
    void elevatedStart_data();
    void elevatedStart();
    void commandLineHandedToPkexec();
    void returnsWhileTheProgramRuns();
    void missingToolOrLauncherIsNotFound();
    void launcherReports_data();
    void launcherReports();
    void startDetachedRunsInItsFolder();
    void fakeRecords();
};

void TestQnElevation::administratorIsEffectiveUidZero()
{
    QCOMPARE(QnElevation::processIsAdministrator(), ::geteuid() == 0);
    QCOMPARE(QnPkexecElevation().isAdministrator(), ::geteuid() == 0);
    QCOMPARE(QnPkexecElevation().command(), QStringList{QStringLiteral("pkexec")});
}

void TestQnElevation::elevatedStart_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QnElevatedStart>("expected");
    QTest::addColumn<bool>("toolRuns");
    QTest::addColumn<bool>("programRuns");
    QTest::newRow("authorised") << "run"
                                << "sh" << QnElevatedStart::Started << true << true;
    QTest::newRow("prompt dismissed (126)") << "126"
                                            << "sh" << QnElevatedStart::Refused << true << false;
    QTest::newRow("not authorised (127)") << "127"
                                          << "sh" << QnElevatedStart::Refused << true << false;
    QTest::newRow("other failure") << "1"
                                   << "sh" << QnElevatedStart::Refused << true << false;
    QTest::newRow("program missing") << "run"
                                     << "/nonexistent/setup" << QnElevatedStart::NotFound << false << false;
    QTest::newRow("name not in PATH") << "run"
                                      << "qn-no-such-program" << QnElevatedStart::NotFound << false << false;
}

void TestQnElevation::elevatedStart()
{
    QFETCH(QString, mode);
    QFETCH(QString, program);
    QFETCH(QnElevatedStart, expected);
    QFETCH(bool, toolRuns);
    QFETCH(bool, programRuns);

    QTemporaryDir dir;
    const QString argsFile = dir.filePath(QStringLiteral("args"));
    QnPkexecElevation elevation(fakePkexec(argsFile, mode), kLauncher);
    QnProgramStart start;
    start.program = program;
    start.arguments = QStringList{QStringLiteral("-c"), QStringLiteral("pwd > ran")};
    start.workingFolder = dir.path();
    QCOMPARE(elevation.startElevated(start), expected);
    QCOMPARE(QFile::exists(argsFile), toolRuns);
    if (programRuns)
        QTRY_COMPARE(readAll(dir.filePath(QStringLiteral("ran"))).trimmed(),
                     QDir(dir.path()).canonicalPath().toUtf8());
    else
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("ran"))));
}

void TestQnElevation::commandLineHandedToPkexec()
{
    QTemporaryDir dir;
    const QString argsFile = dir.filePath(QStringLiteral("args"));
    QnPkexecElevation elevation(fakePkexec(argsFile, QStringLiteral("126")), kLauncher);
    QnProgramStart start{QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("a b")}, dir.path()};
    QCOMPARE(elevation.startElevated(start), QnElevatedStart::Refused);
    // pkexec gets: the launcher, the working folder, the program resolved in PATH, its arguments.
    const QList<QByteArray> lines = readAll(argsFile).split('\n');
    QCOMPARE(lines.size(), 6);
    QCOMPARE(lines.at(0), kLauncher.toUtf8());
    QCOMPARE(lines.at(1), dir.path().toUtf8());
    QVERIFY(lines.at(2).endsWith("/sh"));
    QVERIFY(lines.at(2).startsWith('/'));
    QCOMPARE(lines.at(3), QByteArray("-c"));
    QCOMPARE(lines.at(4), QByteArray("a b"));
    QCOMPARE(lines.at(5), QByteArray());
}

void TestQnElevation::returnsWhileTheProgramRuns()
{
    // The started program is not waited for: it still runs when the call has returned.
    QTemporaryDir dir;
    const QString name = QStringLiteral("QnElev%1Sleep").arg(::getpid());
    const QString program = dir.filePath(name);
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QnPkexecElevation elevation(fakePkexec(dir.filePath(QStringLiteral("args")), QStringLiteral("run")),
                                kLauncher);
    QCOMPARE(elevation.startElevated({program, {QStringLiteral("60")}, QString()}), QnElevatedStart::Started);
    QVERIFY(QnProcessList::isRunning(name));
    for (const QnProcessList::Entry &e : QnProcessList::snapshot()) {
        if (e.name == name)
            ::kill(static_cast<pid_t>(e.pid), SIGKILL);
    }
    QTRY_VERIFY(!QnProcessList::isRunning(name));
}

void TestQnElevation::missingToolOrLauncherIsNotFound()
{
    QTemporaryDir dir;
    const QnProgramStart start{
        QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("touch ran")}, dir.path()};
    QnPkexecElevation noTool({QStringLiteral("/nonexistent/pkexec")}, kLauncher);
    QCOMPARE(noTool.startElevated(start), QnElevatedStart::NotFound);
    QnPkexecElevation noLauncher(fakePkexec(dir.filePath(QStringLiteral("args")), QStringLiteral("run")),
                                 dir.filePath(QStringLiteral("qn-elevated-start")));
    QCOMPARE(noLauncher.startElevated(start), QnElevatedStart::NotFound);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("ran"))));
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("args"))));
}

void TestQnElevation::launcherReports_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("report");
    QTest::newRow("started") << QStringList{"", "true"} << 0 << QByteArray("started");
    QTest::newRow("no such program") << QStringList{"", "/nonexistent/x"} << 3 << QByteArray("not-found");
    QTest::newRow("not executable") << QStringList{"", "/etc/passwd"} << 3 << QByteArray("not-found");
    QTest::newRow("no such folder") << QStringList{"/nonexistent", "true"} << 4 << QByteArray("failed");
    QTest::newRow("no program") << QStringList{""} << 4 << QByteArray("failed");
}

void TestQnElevation::launcherReports()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, report);
    QProcess launcher;
    launcher.start(kLauncher, arguments);
    QVERIFY(launcher.waitForFinished());
    QCOMPARE(launcher.exitCode(), exitCode);
    QCOMPARE(launcher.readAllStandardOutput().trimmed(), report);
}

void TestQnElevation::startDetachedRunsInItsFolder()
{
    QTemporaryDir dir;
    QnPkexecElevation elevation({QStringLiteral("/nonexistent/pkexec")}, kLauncher);
    QVERIFY(elevation.startDetached(
        {QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("pwd > ran")}, dir.path()}));
    QTRY_COMPARE(readAll(dir.filePath(QStringLiteral("ran"))).trimmed(),
                 QDir(dir.path()).canonicalPath().toUtf8());
    QVERIFY(!elevation.startDetached({QStringLiteral("/nonexistent/x"), {}, QString()}));
}

void TestQnElevation::fakeRecords()
{
    QnFakeElevation fake;
    QVERIFY(!fake.isAdministrator());
    fake.setAdministrator(true);
    QVERIFY(fake.isAdministrator());
    fake.setElevatedResult(QnElevatedStart::Refused);
    fake.setDetachedResult(false);
    QCOMPARE(fake.startElevated({QStringLiteral("a"), {QStringLiteral("1")}, QStringLiteral("/w")}),
             QnElevatedStart::Refused);
    QVERIFY(!fake.startDetached({QStringLiteral("b"), {}, QString()}));
    const QList<QnFakeElevation::Call> calls = fake.calls();
    QCOMPARE(calls.size(), 2);
    QVERIFY(calls.at(0).elevated);
    QCOMPARE(calls.at(0).start.program, QStringLiteral("a"));
    QCOMPARE(calls.at(0).start.arguments, QStringList{QStringLiteral("1")});
    QCOMPARE(calls.at(0).start.workingFolder, QStringLiteral("/w"));
    QVERIFY(!calls.at(1).elevated);
    QCOMPARE(QString::fromLatin1(elevatedStartName(QnElevatedStart::NotFound)), QStringLiteral("not-found"));
}

QTEST_GUILESS_MAIN(TestQnElevation)
#include "tst_qnelevation.moc"
