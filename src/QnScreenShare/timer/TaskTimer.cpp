#include "QnScreenShare/timer/TaskTimer.h"

#include <QLoggingCategory>

#include <pthread.h>

Q_LOGGING_CATEGORY(lcTaskTimer, "qn.timer")

TaskTimer &TaskTimer::instance()
{
    static TaskTimer timer;
    return timer;
}

TaskTimer::TaskTimer(std::chrono::milliseconds pulse) : m_pulse(pulse), m_epoch(Clock::now()) {}

TaskTimer::Clock::time_point TaskTimer::onGrid(Clock::time_point t, Clock::duration step) const
{
    const auto steps = (t - m_epoch + step - Clock::duration(1)) / step;
    return m_epoch + steps * step;
}

TaskTimer::~TaskTimer()
{
    stop();
}

int TaskTimer::start()
{
    std::lock_guard<std::mutex> g(m_lock);
    if (m_running)
        return 0;
    m_running = true;
    m_worker = std::thread([this] { run(); });
    return 0;
}

void TaskTimer::stop()
{
    {
        std::lock_guard<std::mutex> g(m_lock);
        if (!m_running)
            return;
        if (std::this_thread::get_id() == m_workerId.load()) {
            qCCritical(lcTaskTimer) << "stop() from a tick refused";
            return;
        }
        m_running = false;
        m_wakeRequested = true;
    }
    m_wake.notify_all();
    m_worker.join();
    m_workerId = std::thread::id();
}

bool TaskTimer::isRunning() const
{
    std::lock_guard<std::mutex> g(m_lock);
    return m_running;
}

int TaskTimer::addTask(CPPTimeTask *task, unsigned periodMs)
{
    if (!task)
        return -1;
    if (std::this_thread::get_id() == m_workerId.load()) {
        qCCritical(lcTaskTimer) << "addTask() from a tick refused";
        return -1;
    }
    const Clock::duration period = std::chrono::milliseconds(periodMs ? periodMs : 1);
    int id;
    {
        std::lock_guard<std::mutex> g(m_lock);
        id = m_nextId++;
        m_tasks.emplace(
            id, TaskEntry{task, id, onGrid(Clock::now() + period, std::chrono::milliseconds(1)), period});
        m_wakeRequested = true;
    }
    m_wake.notify_all();
    return id;
}

int TaskTimer::removeTask(int id)
{
    if (std::this_thread::get_id() == m_workerId.load()) {
        qCCritical(lcTaskTimer) << "removeTask() from a tick refused";
        return -1;
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_tasks.erase(id);
    return 0;
}

void TaskTimer::run()
{
    pthread_setname_np(pthread_self(), "qn-tasktimer");
    m_workerId = std::this_thread::get_id();
    std::unique_lock<std::mutex> g(m_lock);
    Clock::time_point nextPulse = onGrid(Clock::now() + m_pulse, m_pulse);
    while (m_running) {
        const Clock::time_point now = Clock::now();
        Clock::time_point wakeAt = nextPulse;
        for (auto &kv : m_tasks) {
            TaskEntry &e = kv.second;
            if (e.due <= now) {
                e.task->tick(e.id);
                e.due += e.period;
            }
            // A task still overdue after its tick does not shorten the wait: it runs next pass.
            if (e.due > now && e.due < wakeAt)
                wakeAt = e.due;
        }
        if (!m_running)
            break;
        // Without tasks there is nothing to pace: sleep until a task is added or the timer stops.
        if (m_tasks.empty())
            m_wake.wait(g, [this] { return m_wakeRequested || !m_running; });
        else
            m_wake.wait_until(g, wakeAt, [this] { return m_wakeRequested || !m_running; });
        m_wakeRequested = false;
        // The pulse keeps its own cadence; a late wake-up skips the pulses it missed.
        const Clock::time_point after = Clock::now();
        if (nextPulse <= after)
            nextPulse = onGrid(after + Clock::duration(1), m_pulse);
    }
}
