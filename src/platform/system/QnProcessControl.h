#pragma once

#include <QList>
#include <QString>

/// How an attempt to end a process went.
enum class QnTerminateResult {
    Gone,       ///< no such process (it had ended already)
    Terminated, ///< it ended on SIGTERM within the grace period
    Killed,     ///< it outlived the grace period and ended on SIGKILL
    Failed,     ///< not allowed to signal it, or it still runs after SIGKILL
};

/// Ending other programs of this machine by process id, and finding them by name through the
/// /proc scan of QnProcessList.
///
/// Blocking: terminate() and terminateByName() wait for the processes to end (at most the grace
/// period plus a short wait after SIGKILL) and run no event loop. Any thread. The own process is
/// never signalled.
class QnProcessControl
{
public:
    /// Time a process is given after SIGKILL before it counts as not ending.
    static constexpr int kKillWaitMs = 2000;

    /// Ids of the processes whose program file name (argv[0] without its folder) is exactly name,
    /// or, when name has at most the kernel's 15 characters, whose short name is exactly name.
    /// Case-sensitive. The own process is left out.
    static QList<qint64> findByName(const QString &name, const QString &procRoot = QStringLiteral("/proc"));

    /// Sends SIGTERM to pid, waits up to graceMs for it to end, then sends SIGKILL and waits again.
    /// A process that has ended but is not yet reaped by its parent counts as ended.
    static QnTerminateResult terminate(qint64 pid, int graceMs);

    /// terminate() for every process findByName(name) lists, one after the other. Returns how
    /// many of them are gone afterwards (whatever the way).
    static int terminateByName(const QString &name, int graceMs);
};

/// A short name of a result for logs and tests: "gone", "terminated", "killed", "failed".
const char *terminateResultName(QnTerminateResult result);
