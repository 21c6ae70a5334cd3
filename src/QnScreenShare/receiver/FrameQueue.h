#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

/// A bounded queue between one producer thread and one consumer thread.
///
/// Overflow policy, chosen per queue:
///  - DropOldest: when `limit` items wait, the oldest is dropped before the new one is added
///    (encoded video: the decoder then skips to the next key frame);
///  - DropBacklog: when more than `limit` items wait, all of them are dropped before the new one
///    is added (sound: a backlog is discarded as a whole to keep latency low).
/// push() never blocks. The consumer takes everything waiting at once; stop() wakes it for good.
/// All members are thread-safe; the mutex is never held while the caller's code runs.
template<typename T> class FrameQueue
{
public:
    enum class Overflow { DropOldest, DropBacklog };

    FrameQueue(std::size_t limit, Overflow policy) : m_limit(limit), m_policy(policy) {}

    /// Adds item; returns how many waiting items were dropped to make room.
    std::size_t push(T item)
    {
        std::size_t dropped = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopped)
                return 0;
            if (m_policy == Overflow::DropOldest) {
                while (m_items.size() >= m_limit && !m_items.empty()) {
                    m_items.pop_front();
                    ++dropped;
                }
            } else if (m_items.size() > m_limit) {
                dropped = m_items.size();
                m_items.clear();
            }
            m_items.push_back(std::move(item));
        }
        m_wake.notify_all();
        return dropped;
    }

    /// Waits until something is queued or the queue is stopped, then moves every waiting item
    /// into out. Returns false once stopped (out is left empty then).
    bool takeAll(std::deque<T> &out)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_stopped || !m_items.empty(); });
        if (m_stopped)
            return false;
        out.swap(m_items);
        m_items.clear();
        return true;
    }

    /// Wakes the consumer for good and discards what waits; later pushes are ignored.
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopped = true;
            m_items.clear();
        }
        m_wake.notify_all();
    }

    /// Makes a stopped queue usable again (empty).
    void reset()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopped = false;
        m_items.clear();
    }

    std::size_t size() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_items.size();
    }

private:
    const std::size_t m_limit;
    const Overflow m_policy;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<T> m_items;  // guarded by m_mutex
    bool m_stopped = false; // guarded by m_mutex
};
