#include "platform/system/QnAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcAutostart, "qn.autostart")

namespace {

// An entry file larger than this is not an autostart entry of ours or anybody's.
constexpr qint64 kMaxEntryBytes = 64 * 1024;

// Characters that make an Exec argument need quotes.
bool isReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// Characters that take a backslash inside a quoted Exec argument.
bool needsBackslashInQuotes(QChar c)
{
    return c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\');
}

QString quoteArgument(const QString &argument)
{
    QString out;
    bool quote = argument.isEmpty();
    for (const QChar c : argument)
        quote = quote || isReserved(c);
    if (quote)
        out += QLatin1Char('"');
    for (const QChar c : argument) {
        if (quote && needsBackslashInQuotes(c))
            out += QLatin1Char('\\');
        out += c;
        if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
    }
    if (quote)
        out += QLatin1Char('"');
    return out;
}

struct EntryKeys
{
    bool found = false;
    QString exec;
    bool hidden = false;
};

// Reads the keys of the group "Desktop Entry" that matter here; found is false for a file that is
// missing, too large or has no such group.
EntryKeys readEntry(const QString &path)
{
    EntryKeys keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxEntryBytes)
        return keys;
    bool inGroup = false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            keys.found = keys.found || inGroup;
            continue;
        }
        if (!inGroup)
            continue;
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = QnAutostart::unescapeValue(line.mid(eq + 1).trimmed());
        if (key == QLatin1String("Exec"))
            keys.exec = value;
        else if (key == QLatin1String("Hidden"))
            keys.hidden = value == QLatin1String("true");
    }
    return keys;
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
           name != QLatin1String("..") && !name.contains(QChar(0));
}

} // namespace

QnAutostart::QnAutostart(const QString &configHome, const QStringList &configDirs)
    : m_configHome(configHome), m_configDirs(configDirs)
{
    if (m_configHome.isEmpty()) {
        m_configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (m_configHome.isEmpty() || !QDir::isAbsolutePath(m_configHome))
            m_configHome = QDir::homePath() + QStringLiteral("/.config");
    }
    if (m_configDirs.isEmpty()) {
        const QStringList dirs =
            qEnvironmentVariable("XDG_CONFIG_DIRS").split(QLatin1Char(':'), Qt::SkipEmptyParts);
        for (const QString &dir : dirs) {
            if (QDir::isAbsolutePath(dir))
                m_configDirs.append(dir);
        }
        if (m_configDirs.isEmpty())
            m_configDirs.append(QStringLiteral("/etc/xdg"));
    }
}

QString QnAutostart::entryPath(const QString &name) const
{
    return m_configHome + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

QString QnAutostart::entryFile(const QString &name) const
{
    // The user's entry, even a hidden one, hides the system entries of the same name.
    const QString user = entryPath(name);
    if (QFileInfo::exists(user))
        return user;
    for (const QString &dir : m_configDirs) {
        const QString path = dir + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
}

bool QnAutostart::setEntry(const QString &name, const QString &program, const QStringList &arguments)
{
    if (!isPlainName(name) || program.isEmpty())
        return false;
    const QString path = entryPath(name);
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qCWarning(lcAutostart) << "cannot create the folder of" << path;
        return false;
    }
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\n");
    text += QStringLiteral("Name=") + escapeValue(name) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + escapeValue(execLine(program, arguments)) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\nX-GNOME-Autostart-enabled=true\n");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        qCWarning(lcAutostart) << "cannot write" << path << file.errorString();
        return false;
    }
    return true;
}

bool QnAutostart::removeEntry(const QString &name)
{
    if (!isPlainName(name))
        return false;
    const QString path = entryPath(name);
    if (QFile::exists(path) && !QFile::remove(path))
        qCWarning(lcAutostart) << "cannot remove" << path;
    return !QFileInfo::exists(path);
}

bool QnAutostart::isSet(const QString &name) const
{
    if (!isPlainName(name))
        return false;
    const QString path = entryFile(name);
    if (path.isEmpty())
        return false;
    const EntryKeys keys = readEntry(path);
    return keys.found && !keys.hidden && !keys.exec.trimmed().isEmpty();
}

QStringList QnAutostart::command(const QString &name) const
{
    if (!isSet(name))
        return QStringList();
    bool ok = false;
    const QStringList args = splitExecLine(readEntry(entryFile(name)).exec, &ok);
    return ok ? args : QStringList();
}

QString QnAutostart::execLine(const QString &program, const QStringList &arguments)
{
    QString line = quoteArgument(program);
    for (const QString &argument : arguments)
        line += QLatin1Char(' ') + quoteArgument(argument);
    return line;
}

QStringList QnAutostart::splitExecLine(const QString &exec, bool *ok)
{
    QStringList args;
    QString current;
    bool inArgument = false;
    bool inQuotes = false;
    bool good = true;
    for (int i = 0; i < exec.size() && good; ++i) {
        const QChar c = exec.at(i);
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else if (c == QLatin1Char('\\')) {
                if (i + 1 < exec.size() && needsBackslashInQuotes(exec.at(i + 1)))
                    current += exec.at(++i);
                else
                    good = false;
            } else if (c == QLatin1Char('%')) {
                if (i + 1 < exec.size() && exec.at(i + 1) == QLatin1Char('%'))
                    current += exec.at(++i);
                else
                    good = false; // no field codes inside quotes
            } else {
                current += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t')) {
            if (inArgument)
                args.append(current);
            current.clear();
            inArgument = false;
        } else if (c == QLatin1Char('"')) {
            inQuotes = true;
            inArgument = true;
        } else if (c == QLatin1Char('%')) {
            if (i + 1 >= exec.size()) {
                good = false;
            } else if (exec.at(i + 1) == QLatin1Char('%')) {
                current += exec.at(++i);
                inArgument = true;
            } else {
                ++i; // a field code: the files and URLs of a launch, none at session start
            }
        } else if (isReserved(c)) {
            good = false; // reserved characters must be quoted
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inQuotes)
        good = false;
    if (good && inArgument)
        args.append(current);
    if (ok)
        *ok = good;
    return good ? args : QStringList();
}

QString QnAutostart::escapeValue(const QString &value)
{
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\'))
            out += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            out += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            out += QStringLiteral("\\r");
        else if (c == QLatin1Char(' ') && i == 0)
            out += QStringLiteral("\\s");
        else
            out += c;
    }
    return out;
}

QString QnAutostart::unescapeValue(const QString &value)
{
    QString out;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 >= value.size()) {
            out += c;
            continue;
        }
        const QChar next = value.at(i + 1);
        if (next == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else if (next == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else {
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}
