#include "common/log/QnLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    void peerValues_data();
    void peerValues();
    void longLinesCut();
    void fileRotatesBySize();
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

void TestQnLog::peerValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("shown");
    QTest::newRow("short") << "10.0.0.5" << 256 << "10.0.0.5";
    QTest::newRow("exactly the cap") << QString(8, 'a') << 8 << QString(8, 'a');
    QTest::newRow("one over") << QString(9, 'a') << 8 << "aaaaaaaa...<+1 chars>";
    QTest::newRow("900 KB") << QString(900 * 1024, 'x') << 256 << QString(256, 'x') + "...<+921344 chars>";
    QTest::newRow("control characters") << "a\nb\rc\x1b[2J" << 256 << "a?b?c?[2J";
}

void TestQnLog::peerValues()
{
    QFETCH(QString, value);
    QFETCH(int, max);
    QFETCH(QString, shown);
    QCOMPARE(QnLog::peer(value, max), shown);
    // Bytes read as UTF-8 give the same text while short; long ones name their whole size.
    const QByteArray bytes = value.toUtf8();
    if (bytes.size() <= max * 4 + 4)
        QCOMPARE(QnLog::peer(bytes, max), shown);
    else
        QCOMPARE(QnLog::peer(bytes, max),
                 value.left(max) + QStringLiteral("...<%1 bytes in all>").arg(bytes.size()));
}

void TestQnLog::longLinesCut()
{
    QTemporaryDir dir;
    const QnLog::Limits saved = QnLog::limits();
    QnLog::Limits limits = saved;
    limits.maxLineChars = 1000;
    QnLog::setLimits(limits);
    QnLog::install(dir.filePath("c.log"));
    qCWarning(lcLogTest).noquote() << QString(900 * 1024, 'y');
    QnLog::uninstall();
    QnLog::setLimits(saved);
    QFile f(dir.filePath("c.log"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    QVERIFY2(text.size() < 2000, QByteArray::number(text.size()));
    QVERIFY(text.contains(QByteArray(1000, 'y') + "...<cut " + QByteArray::number(900 * 1024 - 1000) +
                          " chars>"));
}

void TestQnLog::fileRotatesBySize()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("d.log");
    const QnLog::Limits saved = QnLog::limits();
    QnLog::Limits limits = saved;
    limits.maxFileBytes = 10 * 1024;
    limits.keepFiles = 2;
    QnLog::setLimits(limits);
    QnLog::install(path);
    for (int i = 0; i < 2000; ++i)
        qCInfo(lcLogTest, "line %d %s", i, QByteArray(100, 'z').constData());
    QnLog::uninstall();
    QnLog::setLimits(saved);
    QVERIFY(QFile::exists(path));
    QVERIFY(QFile::exists(path + ".1"));
    QVERIFY(QFile::exists(path + ".2"));
    QVERIFY(!QFile::exists(path + ".3"));
    qint64 total = 0;
    for (const QString &name : QDir(dir.path()).entryList(QDir::Files)) {
        const qint64 size = QFileInfo(dir.filePath(name)).size();
        QVERIFY2(size < limits.maxFileBytes + 1024, qPrintable(name));
        total += size;
    }
    QVERIFY(total < 3 * (limits.maxFileBytes + 1024));
    // The newest lines are in the current file, the ones before them in ".1".
    QFile current(path);
    QVERIFY(current.open(QIODevice::ReadOnly));
    QVERIFY(current.readAll().contains("line 1999 "));
}

QTEST_GUILESS_MAIN(TestQnLog)
#include "tst_qnlog.moc"
