#include "platform/system/QnProcessControl.h"

#include "platform/system/QnProcessList.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcProcessControl, "qn.process")

namespace {

constexpr int kShortNameLength = 15;
constexpr int kPollMs = 10;

// True while pid exists and has not ended: a zombie (ended, not yet reaped) counts as ended.
bool isAlive(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
        return false;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (comm) S ...": the state follows the last ')' (comm may hold any character).
    const QByteArray line = stat.read(1024);
    const int close = line.lastIndexOf(')');
    if (close < 0 || close + 2 >= line.size())
        return true;
    const char state = line.at(close + 2);
    return state != 'Z' && state != 'X';
}

bool waitForEnd(qint64 pid, int ms)
{
    const QDeadlineTimer deadline(qMax(0, ms));
    for (;;) {
        if (!isAlive(pid))
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(kPollMs);
    }
}

} // namespace

QList<qint64> QnProcessControl::findByName(const QString &name, const QString &procRoot)
{
    QList<qint64> pids;
    if (name.isEmpty())
        return pids;
    const bool shortNameCounts = name.size() <= kShortNameLength;
    const QList<QnProcessList::Entry> entries = QnProcessList::snapshot(procRoot);
    for (const QnProcessList::Entry &entry : entries) {
        if (entry.pid == qint64(::getpid()))
            continue;
        if (entry.name == name || (shortNameCounts && entry.shortName == name))
            pids.append(entry.pid);
    }
    return pids;
}

QnTerminateResult QnProcessControl::terminate(qint64 pid, int graceMs)
{
    if (pid <= 0 || pid == qint64(::getpid()))
        return QnTerminateResult::Failed;
    if (!isAlive(pid))
        return QnTerminateResult::Gone;
    if (::kill(pid_t(pid), SIGTERM) != 0) {
        if (errno == ESRCH)
            return QnTerminateResult::Gone;
        qCWarning(lcProcessControl) << "cannot signal" << pid << ::strerror(errno);
        return QnTerminateResult::Failed;
    }
    if (waitForEnd(pid, graceMs))
        return QnTerminateResult::Terminated;
    qCInfo(lcProcessControl) << "process" << pid << "outlived" << graceMs << "ms after SIGTERM; killing it";
    if (::kill(pid_t(pid), SIGKILL) != 0 && errno != ESRCH) {
        qCWarning(lcProcessControl) << "cannot kill" << pid << ::strerror(errno);
        return QnTerminateResult::Failed;
    }
    return waitForEnd(pid, kKillWaitMs) ? QnTerminateResult::Killed : QnTerminateResult::Failed;
}

int QnProcessControl::terminateByName(const QString &name, int graceMs)
{
    int gone = 0;
    const QList<qint64> pids = findByName(name);
    for (qint64 pid : pids) {
        const QnTerminateResult result = terminate(pid, graceMs);
        qCInfo(lcProcessControl) << "ending" << name << pid << terminateResultName(result);
        if (result != QnTerminateResult::Failed)
            ++gone;
    }
    return gone;
}

const char *terminateResultName(QnTerminateResult result)
{
    switch (result) {
    case QnTerminateResult::Gone:
        return "gone";
    case QnTerminateResult::Terminated:
        return "terminated";
    case QnTerminateResult::Killed:
        return "killed";
    case QnTerminateResult::Failed:
        return "failed";
    }
    return "failed";
}
