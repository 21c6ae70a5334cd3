#pragma once

#include <QThread>

#include <atomic>

/// Checks a written thread contract ("GUI thread only", "the gateway thread") where it is stated:
/// records the thread that owns an object and, in debug builds, asserts that the operations that
/// carry QN_CHECK_THREAD run there. It binds to the thread that constructs it; detach() lets the
/// next checking thread take over (an object handed to another thread, moveToThread). Release
/// builds compile the checks away. Any thread may call isCurrent and detach.
class QnThreadChecker
{
public:
    QnThreadChecker() : m_owner(QThread::currentThread()) {}

    /// True on the owning thread; an unbound checker binds to the calling thread.
    bool isCurrent() const
    {
        QThread *const current = QThread::currentThread();
        QThread *expected = nullptr;
        if (m_owner.compare_exchange_strong(expected, current))
            return true;
        return expected == current;
    }

    /// Forgets the owner: the next thread that checks becomes it.
    void detach() { m_owner.store(nullptr); }

private:
    mutable std::atomic<QThread *> m_owner;
};

/// Asserts (debug builds) that the calling thread owns the object of checker.
#define QN_CHECK_THREAD(checker)                                                                             \
    Q_ASSERT_X((checker).isCurrent(), Q_FUNC_INFO, "called on a thread that does not own the object")
