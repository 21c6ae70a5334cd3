#include "platform/system/QnProcessControl.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// Ending real processes: copies of sleep under names of the test's own, one of them ignoring
// SIGTERM.
class TestQnProcessControl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void terminate_data();
    void terminate();
    void endedProcessIsGone();
    void ownProcessRefused();
    void findAndTerminateByName();

private:
    QProcess *startSleeper(const QString &name, bool ignoreTerm);

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QProcess *> m_processes;
};

void TestQnProcessControl::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestQnProcessControl::cleanup()
{
    for (QProcess *process : qAsConst(m_processes)) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(5000);
        }
        delete process;
    }
    m_processes.clear();
    m_dir.reset();
}

QProcess *TestQnProcessControl::startSleeper(const QString &name, bool ignoreTerm)
{
    const QString program = m_dir->filePath(name);
    if (!QFile::exists(program) && !QFile::copy(QStringLiteral("/bin/sleep"), program))
        return nullptr;
    auto *process = new QProcess;
    m_processes.append(process);
    if (ignoreTerm) {
        // An ignored signal stays ignored across exec.
        process->start(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"), QStringLiteral("trap '' TERM; exec \"$0\" 60"), program});
    } else {
        process->start(program, {QStringLiteral("60")});
    }
    if (!process->waitForStarted(5000))
        return nullptr;
    // Wait until the copy itself runs (the shell has exec'd it).
    QDeadlineTimer deadline(5000);
    while (!QnProcessControl::findByName(name).contains(process->processId())) {
        if (deadline.hasExpired())
            return nullptr;
        QTest::qWait(10);
    }
    return process;
}

void TestQnProcessControl::terminate_data()
{
    QTest::addColumn<bool>("ignoreTerm");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ends on SIGTERM") << false << QStringLiteral("terminated");
    QTest::newRow("ignores SIGTERM") << true << QStringLiteral("killed");
}

void TestQnProcessControl::terminate()
{
    QFETCH(bool, ignoreTerm);
    QFETCH(QString, expected);
    const QString name = QStringLiteral("QnT%1").arg(::getpid());
    QProcess *sleeper = startSleeper(name, ignoreTerm);
    QVERIFY(sleeper);
    const QnTerminateResult result = QnProcessControl::terminate(sleeper->processId(), 300);
    QCOMPARE(QString::fromLatin1(terminateResultName(result)), expected);
    QVERIFY(sleeper->waitForFinished(5000));
    QCOMPARE(sleeper->exitStatus(), QProcess::CrashExit);
    QVERIFY(QnProcessControl::findByName(name).isEmpty());
}

void TestQnProcessControl::endedProcessIsGone()
{
    QProcess process;
    process.start(QStringLiteral("/bin/sleep"), {QStringLiteral("60")});
    QVERIFY(process.waitForStarted(5000));
    const qint64 pid = process.processId();
    process.kill();
    QVERIFY(process.waitForFinished(5000)); // ended and reaped
    QCOMPARE(QnProcessControl::terminate(pid, 100), QnTerminateResult::Gone);
    QCOMPARE(QnProcessControl::terminate(0, 100), QnTerminateResult::Failed);
}

void TestQnProcessControl::ownProcessRefused()
{
    QCOMPARE(QnProcessControl::terminate(::getpid(), 100), QnTerminateResult::Failed);
    QVERIFY(QnProcessControl::findByName(QStringLiteral("tst_qnprocesscontrol")).isEmpty());
}

void TestQnProcessControl::findAndTerminateByName()
{
    const QString name = QStringLiteral("QnN%1").arg(::getpid());
    QProcess *a = startSleeper(name, false);
    QProcess *b = startSleeper(name, true);
    QProcess *other = startSleeper(name + QStringLiteral("x"), false);
    QVERIFY(a && b && other);
    const QList<qint64> found = QnProcessControl::findByName(name);
    QCOMPARE(found.size(), 2);
    QVERIFY(found.contains(a->processId()));
    QVERIFY(found.contains(b->processId()));
    QVERIFY(QnProcessControl::findByName(name.left(name.size() - 1)).isEmpty()); // exact, not a prefix

    QCOMPARE(QnProcessControl::terminateByName(name, 300), 2);
    QVERIFY(a->waitForFinished(5000));
    QVERIFY(b->waitForFinished(5000));
    QCOMPARE(other->state(), QProcess::Running);
    QCOMPARE(QnProcessControl::terminateByName(name, 300), 0);
}

QTEST_GUILESS_MAIN(TestQnProcessControl)
#include "tst_qnprocesscontrol.moc"
