#pragma once

#include <QString>
#include <QStringList>

/// Starting programs with the user's desktop session: the XDG autostart entries
/// "<config home>/autostart/<name>.desktop" (config home: "$XDG_CONFIG_HOME", else "~/.config"),
/// with the system folders "$XDG_CONFIG_DIRS" (else "/etc/xdg") read as well, the user's entry of
/// a name taking precedence over theirs.
///
/// An entry is "set" when its file exists, is not marked Hidden, and has a non-empty Exec line.
/// Entries are written whole (a new file replaces the old one atomically) and quote their command
/// by the Desktop Entry rules, so program paths with spaces, quotes or backslashes start as given.
///
/// Any thread; calls for one name must not overlap. Errors are return values.
class QnAutostart
{
public:
    /// configHome "" means the user's ("$XDG_CONFIG_HOME" or "~/.config"); configDirs empty means
    /// the system's ("$XDG_CONFIG_DIRS" or "/etc/xdg"). Tests pass folders of their own.
    explicit QnAutostart(const QString &configHome = QString(),
                         const QStringList &configDirs = QStringList());

    /// The user's entry file of name: "<config home>/autostart/<name>.desktop".
    QString entryPath(const QString &name) const;

    /// Writes the user's entry of name to start program with arguments. False when name is not a
    /// plain file name, program is empty, or the file cannot be written.
    bool setEntry(const QString &name, const QString &program, const QStringList &arguments);
    /// Removes the user's entry of name. True when no such file remains.
    bool removeEntry(const QString &name);
    /// True when the entry of name (the user's, else a system one) is set (see above).
    bool isSet(const QString &name) const;
    /// The command of the entry of name split into its arguments (program first); empty when the
    /// entry is not set or its Exec line is malformed.
    QStringList command(const QString &name) const;

    /// An Exec line for program and arguments: each argument quoted and escaped where needed and
    /// "%" doubled, as the Desktop Entry rules require, before the file's own string escapes.
    static QString execLine(const QString &program, const QStringList &arguments);
    /// Splits an Exec line (as read from the file, string escapes already removed) into arguments;
    /// field codes other than "%%" are dropped. Empty with ok false when the quoting is malformed.
    static QStringList splitExecLine(const QString &exec, bool *ok = nullptr);
    /// The file's escapes of a string value: "\\" "\n" "\t" "\r" and a leading space as "\s".
    static QString escapeValue(const QString &value);
    /// The inverse of escapeValue(); unknown escapes are kept as they are.
    static QString unescapeValue(const QString &value);

private:
    QString entryFile(const QString &name) const;

    QString m_configHome;
    QStringList m_configDirs;
};
