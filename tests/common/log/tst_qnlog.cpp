#include "log/QnLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

Q_LOGGING_CATEGORY(lcLogTest, "qn.logtest")

class TestQnLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void lineCarriesContext();
    void fileSinkFromManyThreads();
    void redaction_data();
    void redaction();
};

void TestQnLog::lineCarriesContext()
{
    QTemporaryDir dir;
    QnLog::install(dir.filePath("a.log"));
    const int line = __LINE__ + 1;
    qCWarning(lcLogTest) << "hello";
    QnLog::uninstall();
    QFile f(dir.filePath("a.log"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    QVERIFY2(text.contains("warning"), qPrintable(text));
    QVERIFY2(text.contains("qn.logtest"), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("tst_qnlog.cpp:%1").arg(line)), qPrintable(text));
    QVERIFY2(text.contains("lineCarriesContext"), qPrintable(text));
    QVERIFY2(text.trimmed().endsWith("hello"), qPrintable(text));
}

void TestQnLog::fileSinkFromManyThreads()
{
    QTemporaryDir dir;
    QnLog::install(dir.filePath("b.log"));
    QVector<QThread *> threads;
    for (int t = 0; t < 4; ++t) {
        threads << QThread::create([t] {
            for (int i = 0; i < 200; ++i)
                qCInfo(lcLogTest, "thread %d line %d", t, i);
        });
        threads.last()->start();
    }
    for (QThread *t : threads) {
        QVERIFY(t->wait(10000));
        delete t;
    }
    QnLog::uninstall();
    QFile f(dir.filePath("b.log"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    int count = 0;
    for (const QByteArray &l : lines)
        count += l.contains("qn.logtest") && l.contains(" line ") ? 1 : 0; // whole lines only
    QCOMPARE(count, 800);
}

void TestQnLog::redaction_data()
{
    QTest::addColumn<QString>("secret");
    QTest::addColumn<QString>("shown");
    QTest::newRow("empty") << QString() << "<empty>";
    QTest::newRow("password") << "hunter2"
                              << "<redacted 7 chars>";
}

void TestQnLog::redaction()
{
    QFETCH(QString, secret);
    QFETCH(QString, shown);
    QCOMPARE(QnLog::redacted(secret), shown);
}

QTEST_GUILESS_MAIN(TestQnLog)
#include "tst_qnlog.moc"
