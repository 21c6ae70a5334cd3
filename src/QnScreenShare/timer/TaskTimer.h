#pragma once

#include "QnScreenShare/timer/CPPTimeTask.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>

/// Periodic task timer of the audio chain: one worker thread ("qn-tasktimer") wakes every pulse
/// (5 ms) on the steady clock, or sooner when a task falls due, and runs every due task in
/// ascending id order. Without tasks it sleeps until one is added.
///
/// - A task first runs one period after addTask, never at once; its due time then advances by
///   exactly one period per run, so a task that fell behind catches up one period per pass.
/// - Ids are never reused. removeTask returns only when no tick is running, so a removed task is
///   never ticked again after it returns.
/// - Times are read from the steady clock: setting the wall clock neither stalls tasks nor makes
///   them burst.
///
/// Threads: any thread may add or remove tasks; ticks run on the worker with `m_lock` held. A
/// tick calling addTask/removeTask is refused (-1) instead of deadlocking.
class TaskTimer
{
public:
    using Clock = std::chrono::steady_clock;

    /// The process's timer (built on first use, stopped at exit).
    static TaskTimer &instance();

    explicit TaskTimer(std::chrono::milliseconds pulse = std::chrono::milliseconds(5));
    ~TaskTimer();
    TaskTimer(const TaskTimer &) = delete;
    TaskTimer &operator=(const TaskTimer &) = delete;

    /// Starts the worker; 0. A second start while running does nothing.
    int start();
    /// Stops and joins the worker (tasks stay registered; a later start runs them again).
    void stop();
    bool isRunning() const;

    /// Registers `task` (not owned) with a period in ms (0 counts as 1); returns its id, or -1
    /// when called from a tick.
    int addTask(CPPTimeTask *task, unsigned periodMs);
    /// Unregisters the id; 0, also for an id that is not registered; -1 when called from a tick.
    int removeTask(int id);

private:
    struct TaskEntry
    {
        CPPTimeTask *task;
        int id;
        Clock::time_point due;
        Clock::duration period;
    };
    void run();
    /// `t` rounded up to the timer's millisecond grid, so that tasks added within the same
    /// millisecond fall due in the same pass (and wake the worker once).
    Clock::time_point onGrid(Clock::time_point t, Clock::duration step) const;

    const Clock::duration m_pulse;
    const Clock::time_point m_epoch;
    mutable std::mutex m_lock; // guards everything below; held during ticks
    std::condition_variable m_wake;
    std::map<int, TaskEntry> m_tasks;
    int m_nextId = 0;
    bool m_running = false;
    bool m_wakeRequested = false;
    std::thread m_worker;
    std::atomic<std::thread::id> m_workerId{}; // set by the worker itself
};
