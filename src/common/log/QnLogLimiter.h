#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>

#include <functional>
#include <mutex>

/// Rate limit for log lines that a peer can cause (refused input, malformed datagrams, dropped
/// packets): per site, the first `burst` occurrences of each interval are logged, the rest are
/// only counted, and the first occurrence of a later interval writes one summary line with the
/// count of the lines left out before it.
///
/// Usage, one limiter per owning object, one site name (a string literal) per log call:
///     if (m_peerLog.allow(lcX(), "bad datagram"))
///         qCWarning(lcX) << "bad datagram from" << sender;
///
/// Thread-safe: any thread may call allow()/hit(). No singleton: each owner keeps its own.
class QnLogLimiter
{
public:
    /// Milliseconds of a monotonic clock (injectable for tests).
    using Clock = std::function<qint64()>;

    struct Hit
    {
        bool log = false;      ///< this occurrence is to be logged
        qint64 suppressed = 0; ///< lines left out in the site's previous interval (0: no summary)
        qint64 intervalMs = 0; ///< length of that interval, for the summary
    };

    static constexpr int kDefaultBurst = 5;
    static constexpr qint64 kDefaultIntervalMs = 10000;

    explicit QnLogLimiter(int burst = kDefaultBurst, qint64 intervalMs = kDefaultIntervalMs,
                          Clock clock = Clock());
    QnLogLimiter(const QnLogLimiter &) = delete;
    QnLogLimiter &operator=(const QnLogLimiter &) = delete;

    /// Counts one occurrence at `site` and says whether to log it and whether a summary is due.
    Hit hit(const char *site);

    /// hit(), writing the summary line itself (to `category`, at `type`, when that level is
    /// enabled). Returns whether the caller logs this occurrence.
    bool allow(const QLoggingCategory &category, const char *site, QtMsgType type = QtWarningMsg);

    /// The summary text written by allow(): "<site>: N similar lines suppressed in T s".
    static QString summaryText(const char *site, qint64 suppressed, qint64 intervalMs);

private:
    struct Window
    {
        qint64 start = 0;
        qint64 count = 0;
    };

    const int m_burst;
    const qint64 m_interval;
    QElapsedTimer m_elapsed;
    Clock m_clock; // set once in the constructor
    std::mutex m_mutex;
    QHash<QByteArray, Window> m_windows; // one per site; sites are string literals, so bounded
};
