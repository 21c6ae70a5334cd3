#include "common/log/QnLogLimiter.h"

#include <QtTest>

Q_LOGGING_CATEGORY(lcLimiterTest, "qn.limitertest")

class TestQnLogLimiter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void hits_data();
    void hits();
    void summaryLineGoesToTheCategory();
    void manyThreadsCountEveryHit();
};

void TestQnLogLimiter::hits_data()
{
    // Each row: burst, interval, then the occurrences as "site@ms"; expected: per occurrence
    // "L" (logged) or "-" (left out), and the summaries due at each one (0: none).
    QTest::addColumn<int>("burst");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<QList<int>>("summaries");

    QTest::newRow("under the burst: all logged, no summary")
        << 3 << 1000 << QStringList{"a@0", "a@10", "a@20"} << "LLL" << QList<int>{0, 0, 0};
    QTest::newRow("over the burst: rest counted")
        << 2 << 1000 << QStringList{"a@0", "a@1", "a@2", "a@3", "a@4"} << "LL---"
        << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("next interval: summary of the left out, burst again")
        << 2 << 1000 << QStringList{"a@0", "a@1", "a@2", "a@3", "a@1000", "a@1001", "a@1002"} << "LL--LL-"
        << QList<int>{0, 0, 0, 0, 2, 0, 0};
    QTest::newRow("interval without excess: no summary")
        << 2 << 1000 << QStringList{"a@0", "a@1", "a@1500", "a@1600"} << "LLLL" << QList<int>{0, 0, 0, 0};
    QTest::newRow("long quiet: one summary for the flood before it")
        << 1 << 100 << QStringList{"a@0", "a@5", "a@6", "a@7", "a@90000"} << "L---L"
        << QList<int>{0, 0, 0, 0, 3};
    QTest::newRow("sites counted apart")
        << 1 << 1000 << QStringList{"a@0", "a@1", "b@2", "b@3", "a@1000", "b@1002"} << "L-L-LL"
        << QList<int>{0, 0, 0, 0, 1, 1};
    QTest::newRow("burst 0: nothing logged, summaries only")
        << 0 << 1000 << QStringList{"a@0", "a@1", "a@1000"} << "---" << QList<int>{0, 0, 2};
    QTest::newRow("clock going back: same interval")
        << 1 << 1000 << QStringList{"a@500", "a@100", "a@1499", "a@1500"} << "L--L" << QList<int>{0, 0, 0, 2};
}

void TestQnLogLimiter::hits()
{
    QFETCH(int, burst);
    QFETCH(int, interval);
    QFETCH(QStringList, events);
    QFETCH(QString, logged);
    QFETCH(QList<int>, summaries);

    qint64 now = 0;
    QnLogLimiter limiter(burst, interval, [&now] { return now; });
    QString gotLogged;
    QList<int> gotSummaries;
    for (const QString &e : events) {
        const QStringList parts = e.split('@');
        now = parts.at(1).toLongLong();
        const QByteArray site = parts.at(0).toUtf8();
        const QnLogLimiter::Hit h = limiter.hit(site.constData());
        gotLogged += h.log ? 'L' : '-';
        gotSummaries << int(h.suppressed);
    }
    QCOMPARE(gotLogged, logged);
    QCOMPARE(gotSummaries, summaries);
}

namespace {
QStringList g_lines;
void collect(QtMsgType, const QMessageLogContext &ctx, const QString &msg)
{
    g_lines << QString::fromUtf8(ctx.category) + " " + msg;
}
} // namespace

void TestQnLogLimiter::summaryLineGoesToTheCategory()
{
    qint64 now = 0;
    QnLogLimiter limiter(1, 10000, [&now] { return now; });
    g_lines.clear();
    const QtMessageHandler old = qInstallMessageHandler(collect);
    for (int i = 0; i < 1000; ++i) {
        now = i;
        if (limiter.allow(lcLimiterTest(), "refused input"))
            qCWarning(lcLimiterTest) << "refused input" << i;
    }
    now = 20000;
    if (limiter.allow(lcLimiterTest(), "refused input"))
        qCWarning(lcLimiterTest) << "refused input again";
    qInstallMessageHandler(old);
    QCOMPARE(g_lines.size(), 3);
    QCOMPARE(g_lines.at(0), QStringLiteral("qn.limitertest refused input 0"));
    QCOMPARE(g_lines.at(1),
             QStringLiteral("qn.limitertest refused input: 999 similar lines suppressed in 20.0 s"));
    QCOMPARE(g_lines.at(2), QStringLiteral("qn.limitertest refused input again"));
}

void TestQnLogLimiter::manyThreadsCountEveryHit()
{
    std::atomic<qint64> now{0};
    QnLogLimiter limiter(3, 1000, [&now] { return now.load(); });
    std::atomic<int> logged{0};
    QVector<QThread *> threads;
    for (int t = 0; t < 4; ++t)
        threads << QThread::create([&] {
            for (int i = 0; i < 5000; ++i)
                logged += limiter.hit("x").log ? 1 : 0;
        });
    for (QThread *t : threads)
        t->start();
    for (QThread *t : threads) {
        QVERIFY(t->wait(60000));
        delete t;
    }
    QCOMPARE(logged.load(), 3);
    now = 1000;
    const QnLogLimiter::Hit h = limiter.hit("x");
    QCOMPARE(h.suppressed, qint64(4 * 5000 - 3));
    QVERIFY(h.log);
}

QTEST_GUILESS_MAIN(TestQnLogLimiter)
#include "tst_qnloglimiter.moc"
