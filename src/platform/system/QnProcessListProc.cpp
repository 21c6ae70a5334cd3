#include "platform/system/QnProcessList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Kernel limit of a process's short name (TASK_COMM_LEN - 1).
constexpr int kShortNameLength = 15;

QByteArray readSmallFile(const QString &path, qint64 limit)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(limit);
}

} // namespace

QList<QnProcessList::Entry> QnProcessList::snapshot(const QString &procRoot)
{
    QList<Entry> entries;
    const QDir root(procRoot);
    const QStringList names = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &dirName : names) {
        bool ok = false;
        const qint64 pid = dirName.toLongLong(&ok);
        if (!ok || pid <= 0)
            continue;
        const QString base = root.filePath(dirName);
        Entry entry;
        entry.pid = pid;
        entry.shortName = QString::fromUtf8(readSmallFile(base + QStringLiteral("/comm"), 64)).trimmed();
        // argv[0] ends at the first NUL of the command line.
        const QByteArray cmdline = readSmallFile(base + QStringLiteral("/cmdline"), 4096);
        const QByteArray argv0 =
            cmdline.left(cmdline.indexOf('\0') < 0 ? cmdline.size() : cmdline.indexOf('\0'));
        if (!argv0.isEmpty())
            entry.name = QFileInfo(QString::fromUtf8(argv0)).fileName();
        if (entry.name.isEmpty() && entry.shortName.isEmpty())
            continue; // ended meanwhile
        entries.append(entry);
    }
    return entries;
}

bool QnProcessList::isRunning(const QString &namePrefix, const QString &procRoot)
{
    if (namePrefix.isEmpty())
        return false;
    const bool shortNameCounts = namePrefix.size() <= kShortNameLength;
    const QList<Entry> entries = snapshot(procRoot);
    for (const Entry &entry : entries) {
        if (!entry.name.isEmpty() && entry.name.startsWith(namePrefix))
            return true;
        if (shortNameCounts && entry.shortName.startsWith(namePrefix))
            return true;
    }
    return false;
}
