#include "QnScreenShare/timer/TaskTimer.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <ctime>
#include <mutex>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

// The wall clock of this process can be moved by the test: clock_gettime is interposed here (the
// executable's definition wins over the C library's), so CLOCK_REALTIME jumps while the steady
// clock stays untouched, as when the user or NTP sets the system time.
static std::atomic<long long> g_wallOffsetSec{0};

extern "C" int clock_gettime(clockid_t clk, struct timespec *ts)
{
    const int rc = int(syscall(SYS_clock_gettime, clk, ts));
    if (rc == 0 && (clk == CLOCK_REALTIME || clk == CLOCK_REALTIME_COARSE))
        ts->tv_sec += time_t(g_wallOffsetSec.load());
    return rc;
}

namespace {

using Clock = std::chrono::steady_clock;

struct Recorder : CPPTimeTask
{
    std::mutex lock;
    std::vector<std::pair<int, Clock::time_point>> ticks;
    std::vector<int> *order = nullptr; // shared order log (ticks are serial on the worker)
    std::function<void()> body;
    void tick(int id) override
    {
        if (body)
            body();
        std::lock_guard<std::mutex> g(lock);
        ticks.emplace_back(id, Clock::now());
        if (order)
            order->push_back(id);
    }
    int count()
    {
        std::lock_guard<std::mutex> g(lock);
        return int(ticks.size());
    }
};

int namedThreads(const QString &name)
{
    int n = 0;
    for (const QString &t : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f("/proc/self/task/" + t + "/comm");
        if (f.open(QIODevice::ReadOnly) && f.readAll().trimmed() == name.toUtf8())
            ++n;
    }
    return n;
}

} // namespace

class TestTaskTimer : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void firstTickOnePeriodLater();
    void dueTasksRunInIdOrder_data();
    void dueTasksRunInIdOrder();
    void removal();
    void tickCannotDeadlockOnTheTimer();
    void secondStartIsANoOp();
    void wallClockChangesDoNotMatter_data();
    void wallClockChangesDoNotMatter();
};

void TestTaskTimer::firstTickOnePeriodLater()
{
    TaskTimer timer;
    timer.start();
    Recorder r;
    const auto added = Clock::now();
    const int id = timer.addTask(&r, 10);
    QTRY_VERIFY_WITH_TIMEOUT(r.count() >= 20, 5000);
    timer.removeTask(id);
    const auto removed = Clock::now();
    std::lock_guard<std::mutex> g(r.lock);
    QCOMPARE(r.ticks.front().first, id);
    QVERIFY(r.ticks.front().second - added >= std::chrono::milliseconds(10));
    // The due time advances by exactly one period: never more ticks than whole periods elapsed.
    const auto periods = (removed - added) / std::chrono::milliseconds(10);
    QVERIFY2(r.ticks.size() <= size_t(periods),
             qPrintable(QString("%1 ticks in %2 periods").arg(r.ticks.size()).arg(periods)));
    for (size_t i = 1; i < r.ticks.size(); ++i)
        QVERIFY(r.ticks[i].second - added >= std::chrono::milliseconds(10) * int(i + 1));
}

void TestTaskTimer::dueTasksRunInIdOrder_data()
{
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("period");
    QTest::newRow("two at 10 ms") << 2 << 10;
    QTest::newRow("three at 10 ms") << 3 << 10;
    QTest::newRow("two at 5 ms") << 2 << 5;
    QTest::newRow("four at 20 ms") << 4 << 20;
}

void TestTaskTimer::dueTasksRunInIdOrder()
{
    QFETCH(int, tasks);
    QFETCH(int, period);
    TaskTimer timer;
    timer.start();
    std::vector<int> order;
    std::vector<std::unique_ptr<Recorder>> rs;
    std::vector<int> ids;
    for (int i = 0; i < tasks; ++i) {
        rs.push_back(std::make_unique<Recorder>());
        rs.back()->order = &order;
        ids.push_back(timer.addTask(rs.back().get(), unsigned(period)));
    }
    QTRY_VERIFY_WITH_TIMEOUT(rs.back()->count() >= 10, 5000);
    for (int id : ids)
        timer.removeTask(id);
    // Added one after the other with one period: each round runs them in the order they were added.
    QVERIFY(order.size() >= size_t(tasks) * 10);
    for (size_t i = 0; i < order.size(); ++i)
        QCOMPARE(order[i], ids[i % size_t(tasks)]);
    for (size_t i = 1; i < ids.size(); ++i)
        QVERIFY(ids[i] > ids[i - 1]);
}

void TestTaskTimer::removal()
{
    TaskTimer timer;
    timer.start();
    QCOMPARE(timer.removeTask(12345), 0); // unknown id: ignored

    Recorder slow;
    std::atomic<bool> inTick{false};
    slow.body = [&] {
        inTick = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        inTick = false;
    };
    Recorder other;
    const int slowId = timer.addTask(&slow, 10);
    const int otherId = timer.addTask(&other, 10);
    QTRY_VERIFY_WITH_TIMEOUT(inTick, 5000);
    QCOMPARE(timer.removeTask(slowId), 0); // waits for the running tick
    QVERIFY(!inTick);
    const int frozen = slow.count();
    const int otherBefore = other.count();
    QTRY_VERIFY_WITH_TIMEOUT(other.count() > otherBefore + 5, 5000); // the timer still runs
    QCOMPARE(slow.count(), frozen);
    timer.removeTask(otherId);
    // Ids are never reused.
    Recorder again;
    const int newId = timer.addTask(&again, 10);
    QVERIFY(newId > otherId);
    timer.removeTask(newId);
}

void TestTaskTimer::tickCannotDeadlockOnTheTimer()
{
    TaskTimer timer;
    timer.start();
    Recorder r;
    std::atomic<int> addResult{0}, removeResult{0};
    std::atomic<int> id{-1};
    r.body = [&] {
        addResult = timer.addTask(&r, 10);
        removeResult = timer.removeTask(id);
    };
    id = timer.addTask(&r, 10);
    QTRY_VERIFY_WITH_TIMEOUT(r.count() >= 2, 5000);
    QCOMPARE(addResult.load(), -1);
    QCOMPARE(removeResult.load(), -1);
    timer.removeTask(id);
}

void TestTaskTimer::secondStartIsANoOp()
{
    const int before = namedThreads("qn-tasktimer");
    TaskTimer timer;
    QVERIFY(!timer.isRunning());
    QCOMPARE(timer.start(), 0);
    QCOMPARE(timer.start(), 0);
    QVERIFY(timer.isRunning());
    QTRY_COMPARE(namedThreads("qn-tasktimer"), before + 1);
    Recorder r;
    const int id = timer.addTask(&r, 10);
    QTRY_VERIFY(r.count() > 3);
    timer.stop();
    QVERIFY(!timer.isRunning());
    QCOMPARE(namedThreads("qn-tasktimer"), before);
    const int stopped = r.count();
    QTest::qWait(50);
    QCOMPARE(r.count(), stopped);
    timer.start(); // tasks stay registered across stop and start
    QTRY_VERIFY(r.count() > stopped);
    timer.removeTask(id);
}

void TestTaskTimer::wallClockChangesDoNotMatter_data()
{
    QTest::addColumn<long long>("jumpSeconds");
    QTest::newRow("an hour back") << -3600LL;
    QTest::newRow("an hour ahead") << 3600LL;
}

void TestTaskTimer::wallClockChangesDoNotMatter()
{
    QFETCH(long long, jumpSeconds);
    TaskTimer timer;
    timer.start();
    Recorder r;
    const int id = timer.addTask(&r, 10);
    QTRY_VERIFY_WITH_TIMEOUT(r.count() >= 5, 5000);

    const auto wallBefore = std::chrono::system_clock::now();
    g_wallOffsetSec += jumpSeconds;
    const auto wallAfter = std::chrono::system_clock::now();
    // The jump is real for this process's wall clock...
    QVERIFY(std::abs(std::chrono::duration_cast<std::chrono::seconds>(wallAfter - wallBefore).count() -
                     jumpSeconds) < 5);

    const auto t0 = Clock::now();
    const int c0 = r.count();
    // ...yet the task neither stalls nor bursts to catch up an hour of periods.
    QTRY_VERIFY_WITH_TIMEOUT(r.count() >= c0 + 10, 5000);
    QTest::qWait(100);
    const auto periods = (Clock::now() - t0) / std::chrono::milliseconds(10);
    // A catch-up burst would be thousands of ticks; a loaded machine may add one or two.
    QVERIFY2(r.count() - c0 <= periods + 3,
             qPrintable(QString("%1 ticks in %2 periods").arg(r.count() - c0).arg(periods)));
    g_wallOffsetSec -= jumpSeconds;
    timer.removeTask(id);
}

QTEST_GUILESS_MAIN(TestTaskTimer)
#include "tst_tasktimer.moc"
