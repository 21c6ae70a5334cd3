#include "platform/system/QnProcessList.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

// The /proc scan against real processes: a copy of sleep under a name of the test's own.
class TestQnProcessList : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void ownProcessListed();
    void copyOfSleepFoundByPrefix_data();
    void copyOfSleepFoundByPrefix();
    void emptyPrefixNeverRuns();
};

void TestQnProcessList::ownProcessListed()
{
    const QList<QnProcessList::Entry> entries = QnProcessList::snapshot();
    bool found = false;
    for (const QnProcessList::Entry &e : entries) {
        if (e.pid == ::getpid()) {
            found = true;
            QCOMPARE(e.name, QStringLiteral("tst_qnprocesslist"));
            QCOMPARE(e.shortName, QStringLiteral("tst_qnprocessli")); // the kernel keeps 15
        }
    }
    QVERIFY(found);
}

void TestQnProcessList::copyOfSleepFoundByPrefix_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("running");
    const QString name = QStringLiteral("QnS%1").arg(::getpid(), 7, 10, QLatin1Char('0'));
    QTest::newRow("whole name") << name << name << true;
    QTest::newRow("prefix") << name << name.left(6) << true;
    QTest::newRow("longer than the short name")
        << name + QStringLiteral("WithALongTail") << name + QStringLiteral("WithALong") << true;
    QTest::newRow("long prefix: only its first 15 agree")
        << name + QStringLiteral("WithALongTail") << name + QStringLiteral("WithAXXX") << false;
    QTest::newRow("other name") << name << name + QStringLiteral("X") << false;
    QTest::newRow("case matters") << name << name.toLower() << false;
}

void TestQnProcessList::copyOfSleepFoundByPrefix()
{
    QFETCH(QString, name);
    QFETCH(QString, prefix);
    QFETCH(bool, running);

    QTemporaryDir dir;
    const QString program = dir.filePath(name);
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), program));
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(!QnProcessList::isRunning(prefix));

    QProcess sleeper;
    sleeper.start(program, {QStringLiteral("30")});
    QVERIFY(sleeper.waitForStarted());
    QTRY_VERIFY(QnProcessList::isRunning(name));
    QCOMPARE(QnProcessList::isRunning(prefix), running);
    sleeper.kill();
    sleeper.waitForFinished();
    QVERIFY(!QnProcessList::isRunning(prefix));
}

void TestQnProcessList::emptyPrefixNeverRuns()
{
    QVERIFY(!QnProcessList::isRunning(QString()));
    QVERIFY(!QnProcessList::isRunning(QStringLiteral("x"), QStringLiteral("/nonexistent-proc")));
}

QTEST_GUILESS_MAIN(TestQnProcessList)
#include "tst_qnprocesslist.moc"
