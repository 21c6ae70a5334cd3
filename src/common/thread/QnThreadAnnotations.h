#pragma once

#include <mutex>

/// Clang's thread-safety analysis (-Wthread-safety) on the members whose comments name their
/// guarding mutex. Empty for other compilers. Only mutexes declared as QnMutex take part: Qt's
/// and the standard library's mutex types carry no capability attributes.
#if defined(__clang__)
#define QN_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define QN_THREAD_ANNOTATION(x)
#endif

#define QN_CAPABILITY(x) QN_THREAD_ANNOTATION(capability(x))
#define QN_SCOPED_CAPABILITY QN_THREAD_ANNOTATION(scoped_lockable)
#define QN_GUARDED_BY(x) QN_THREAD_ANNOTATION(guarded_by(x))
#define QN_PT_GUARDED_BY(x) QN_THREAD_ANNOTATION(pt_guarded_by(x))
#define QN_REQUIRES(...) QN_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define QN_EXCLUDES(...) QN_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define QN_ACQUIRE(...) QN_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define QN_RELEASE(...) QN_THREAD_ANNOTATION(release_capability(__VA_ARGS__))

/// A std::mutex that the analysis knows as a capability.
class QN_CAPABILITY("mutex") QnMutex
{
public:
    void lock() QN_ACQUIRE() { m_mutex.lock(); }
    void unlock() QN_RELEASE() { m_mutex.unlock(); }

private:
    std::mutex m_mutex;
};

/// Holds a QnMutex for its scope.
class QN_SCOPED_CAPABILITY QnMutexLocker
{
public:
    explicit QnMutexLocker(QnMutex *mutex) QN_ACQUIRE(mutex) : m_mutex(mutex) { m_mutex->lock(); }
    ~QnMutexLocker() QN_RELEASE() { m_mutex->unlock(); }
    QnMutexLocker(const QnMutexLocker &) = delete;
    QnMutexLocker &operator=(const QnMutexLocker &) = delete;

private:
    QnMutex *m_mutex;
};
