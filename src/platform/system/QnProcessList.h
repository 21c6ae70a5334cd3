#pragma once

#include <QList>
#include <QString>

/// The processes of this machine, read from /proc.
///
/// A process's name is the file name of the program it was started as (argv[0] without its
/// folder), or the kernel's short name (at most 15 characters) when its command line is empty.
/// Processes that end while the list is read are skipped. Any thread.
class QnProcessList
{
public:
    struct Entry
    {
        qint64 pid = 0;
        QString name;      ///< the file name of argv[0]
        QString shortName; ///< the kernel's name ("comm")
    };

    /// Every process visible in procRoot ("/proc" unless a test passes another folder).
    static QList<Entry> snapshot(const QString &procRoot = QStringLiteral("/proc"));

    /// True when some process's name begins with namePrefix (case-sensitive), or, for a prefix of
    /// at most the kernel's 15 characters, its short name does (a script's short name is its own).
    static bool isRunning(const QString &namePrefix, const QString &procRoot = QStringLiteral("/proc"));
};
