#include "common/log/QnLog.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

Q_LOGGING_CATEGORY(lcApp, "qn.app")

namespace {

// Guards the file and the installed state. Never held while calling into Qt's logging.
QMutex g_mutex;
QFile *g_file = nullptr; // owned; null when logging to stderr only
QtMessageHandler g_previous = nullptr;
bool g_installed = false;
QnLog::Limits g_limits;

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

// Keeps the last path component: full build paths add nothing but length.
const char *baseName(const char *path)
{
    if (!path)
        return "?";
    const char *slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

QFile *openLogFile(const QString &path)
{
    auto *file = new QFile(path);
    if (file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return file;
    delete file;
    return nullptr;
}

// g_mutex held. Moves <path>.k to <path>.k+1 (dropping the oldest), the file to <path>.1, and
// starts an empty file. When the file cannot be reopened, logging goes on to stderr only.
void rotateLocked()
{
    const QString path = g_file->fileName();
    delete g_file;
    g_file = nullptr;
    const int keep = std::max(0, g_limits.keepFiles);
    if (keep == 0) {
        QFile::remove(path);
    } else {
        QFile::remove(path + QLatin1Char('.') + QString::number(keep));
        for (int k = keep - 1; k >= 1; --k)
            QFile::rename(path + QLatin1Char('.') + QString::number(k),
                          path + QLatin1Char('.') + QString::number(k + 1));
        QFile::rename(path, path + QStringLiteral(".1"));
    }
    g_file = openLogFile(path);
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    int maxLine = 0;
    {
        QMutexLocker lock(&g_mutex);
        maxLine = g_limits.maxLineChars;
    }
    const QByteArray line =
        QnLog::formatLine(type, context, QnLog::capLine(message, maxLine)).toUtf8() + '\n';
    {
        QMutexLocker lock(&g_mutex);
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        if (g_file) {
            g_file->write(line);
            g_file->flush();
            if (g_file->size() >= g_limits.maxFileBytes)
                rotateLocked();
        }
    }
    if (type == QtFatalMsg)
        std::abort();
}

} // namespace

namespace QnLog {

QString formatLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    return QStringLiteral("%1 %2 %3 [%4] %5:%6 %7: %8")
        .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
        .arg(QLatin1String(levelName(type)), -8)
        .arg(QLatin1String(context.category ? context.category : "default"))
        .arg(QString::number(reinterpret_cast<quintptr>(QThread::currentThreadId()), 16))
        .arg(QLatin1String(baseName(context.file)))
        .arg(context.line)
        .arg(QLatin1String(context.function ? context.function : "?"))
        .arg(message);
}

void install(const QString &path)
{
    QMutexLocker lock(&g_mutex);
    delete g_file;
    g_file = nullptr;
    if (!path.isEmpty()) {
        g_file = openLogFile(path); // null: stderr still works; the caller sees filePath() empty
        if (g_file && g_file->size() >= g_limits.maxFileBytes)
            rotateLocked();
    }
    if (!g_installed) {
        g_previous = qInstallMessageHandler(handler);
        g_installed = true;
    }
}

void uninstall()
{
    QMutexLocker lock(&g_mutex);
    if (g_installed) {
        qInstallMessageHandler(g_previous);
        g_installed = false;
    }
    delete g_file;
    g_file = nullptr;
}

QString filePath()
{
    QMutexLocker lock(&g_mutex);
    return g_file ? g_file->fileName() : QString();
}

void setLimits(const Limits &limits)
{
    QMutexLocker lock(&g_mutex);
    g_limits = limits;
    g_limits.maxLineChars = std::max(64, g_limits.maxLineChars);
    g_limits.maxFileBytes = std::max<qint64>(1024, g_limits.maxFileBytes);
}

Limits limits()
{
    QMutexLocker lock(&g_mutex);
    return g_limits;
}

QString capLine(const QString &message, int maxChars)
{
    if (maxChars <= 0 || message.size() <= maxChars)
        return message;
    return message.left(maxChars) + QStringLiteral("...<cut %1 chars>").arg(message.size() - maxChars);
}

QString peer(const QString &value, int maxChars)
{
    const int keep = std::max(0, std::min(maxChars, value.size()));
    QString out = value.left(keep);
    for (QChar &c : out)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('?');
    if (value.size() > keep)
        out += QStringLiteral("...<+%1 chars>").arg(value.size() - keep);
    return out;
}

QString peer(const QByteArray &value, int maxChars)
{
    // Only the bytes that can make maxChars characters are decoded (at most 4 per character).
    const qint64 look = std::min<qint64>(value.size(), qint64(std::max(0, maxChars)) * 4 + 4);
    if (look == value.size())
        return peer(QString::fromUtf8(value), maxChars);
    const QString head = QString::fromUtf8(value.constData(), int(look)).left(std::max(0, maxChars));
    return peer(head, maxChars) + QStringLiteral("...<%1 bytes in all>").arg(value.size());
}

QString redacted(const QString &secret)
{
    if (secret.isEmpty())
        return QStringLiteral("<empty>");
    return QStringLiteral("<redacted %1 chars>").arg(secret.size());
}

} // namespace QnLog
