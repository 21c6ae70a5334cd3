#include "QnScreenShare/taskpool/ThreadPool.h"

#include <pthread.h>
#include <stdexcept>

ThreadPool::ThreadPool(unsigned workerCount)
{
    if (workerCount == 0)
        workerCount = std::thread::hardware_concurrency();
    m_workers.reserve(workerCount);
    for (unsigned i = 0; i < workerCount; ++i) {
        m_workers.emplace_back([this] { workerLoop(); });
        pthread_setname_np(m_workers.back().native_handle(), "qn-taskpool");
    }
}

ThreadPool::~ThreadPool()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closed = true;
        m_stopped = true;
    }
    m_wake.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

ThreadPool &ThreadPool::instance()
{
    static ThreadPool pool(1);
    return pool;
}

std::future<void> ThreadPool::commit(std::function<void()> job)
{
    auto task = std::make_shared<std::packaged_task<void()>>(std::move(job));
    std::future<void> result = task->get_future();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_closed) {
            std::promise<void> refused;
            refused.set_exception(
                std::make_exception_ptr(std::runtime_error("task pool have closed commit.")));
            return refused.get_future();
        }
        m_jobs.emplace_back([task] { (*task)(); });
    }
    m_wake.notify_all();
    return result;
}

void ThreadPool::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
}

void ThreadPool::workerLoop()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopped || !m_jobs.empty(); });
            if (m_jobs.empty())
                return; // stopped and drained
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job(); // a packaged_task: exceptions land in its future, never here
    }
}
