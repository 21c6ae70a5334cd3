#include "QnScreenShare/taskpool/ThreadPool.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <stdexcept>

using namespace std::chrono_literals;

class TestThreadPool : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void singleWorkerRunsInOrder();
    void throwingJobReachesFutureAndWorkerGoesOn();
    void closedPoolRefusesWithoutThrowing();
    void destructorJoinsWithJobsQueued();
    void instanceIsOneWorker();
};

void TestThreadPool::singleWorkerRunsInOrder()
{
    ThreadPool pool(1);
    std::mutex m;
    std::vector<int> order;
    std::atomic<bool> startRunning{false};
    // A slow "start" followed at once by a "stop": the stop must see the start finished.
    auto start = pool.commit([&] {
        startRunning = true;
        std::this_thread::sleep_for(50ms);
        std::lock_guard<std::mutex> lock(m);
        order.push_back(1);
    });
    std::vector<std::future<void>> rest;
    for (int i = 2; i <= 50; ++i)
        rest.push_back(pool.commit([&, i] {
            std::lock_guard<std::mutex> lock(m);
            order.push_back(i);
        }));
    for (auto &f : rest)
        f.get();
    start.get();
    QCOMPARE(int(order.size()), 50);
    for (int i = 0; i < 50; ++i)
        QCOMPARE(order[size_t(i)], i + 1);
}

void TestThreadPool::throwingJobReachesFutureAndWorkerGoesOn()
{
    ThreadPool pool(1);
    auto bad = pool.commit([] { throw std::runtime_error("boom"); });
    std::atomic<bool> ran{false};
    auto good = pool.commit([&] { ran = true; });
    QVERIFY_EXCEPTION_THROWN(bad.get(), std::runtime_error);
    good.get();
    QVERIFY(ran);
}

void TestThreadPool::closedPoolRefusesWithoutThrowing()
{
    ThreadPool pool(1);
    pool.close();
    std::atomic<bool> ran{false};
    std::future<void> f = pool.commit([&] { ran = true; });
    QVERIFY(f.valid());
    try {
        f.get();
        QFAIL("a closed pool accepted a job");
    } catch (const std::runtime_error &e) {
        QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("task pool have closed commit."));
    }
    QVERIFY(!ran);
}

void TestThreadPool::destructorJoinsWithJobsQueued()
{
    std::future<void> queued;
    std::atomic<int> ran{0};
    {
        ThreadPool pool(1);
        pool.commit([&] {
            std::this_thread::sleep_for(30ms);
            ++ran;
        });
        queued = pool.commit([&] { ++ran; });
    }                        // must not hang or abort
    QCOMPARE(ran.load(), 2); // queued work still ran
    queued.get();
}

void TestThreadPool::instanceIsOneWorker()
{
    QCOMPARE(ThreadPool::instance().workerCount(), std::size_t(1));
    QCOMPARE(&ThreadPool::instance(), &ThreadPool::instance());
}

QTEST_GUILESS_MAIN(TestThreadPool)
#include "tst_threadpool.moc"
