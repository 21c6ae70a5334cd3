#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

/// Runs blocking jobs off the GUI thread, in submission order per worker.
///
/// The program uses one process-wide pool with a single worker (instance()): the media owner
/// relies on its jobs never overlapping and running in the order they were committed.
/// Any thread may commit. The destructor refuses new jobs, lets the workers finish the jobs already
/// queued (a pipeline's stop job must still run at exit), then joins them.
class ThreadPool
{
public:
    /// Starts workerCount workers; 0 means one per hardware thread (none when that is unknown).
    explicit ThreadPool(unsigned workerCount = 1);
    ~ThreadPool();

    ThreadPool(const ThreadPool &) = delete;
    ThreadPool &operator=(const ThreadPool &) = delete;

    /// The process-wide pool with one worker, made on first use (thread-safe).
    static ThreadPool &instance();

    /// Queues job. The future becomes ready when the job has run and carries the job's exception,
    /// if any; the worker goes on with the next job. After close() the job is not queued and the
    /// future at once carries a std::runtime_error("task pool have closed commit.").
    std::future<void> commit(std::function<void()> job);

    /// Refuses further commits; queued jobs still run.
    void close();

    /// The number of worker threads.
    std::size_t workerCount() const { return m_workers.size(); }

private:
    void workerLoop();

    std::vector<std::thread> m_workers;
    std::deque<std::function<void()>> m_jobs; // guarded by m_mutex
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_closed = false;  // guarded by m_mutex
    bool m_stopped = false; // guarded by m_mutex
};
