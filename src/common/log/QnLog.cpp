#include "log/QnLog.h"

#include <QDateTime>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

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

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QByteArray line = QnLog::formatLine(type, context, message).toUtf8() + '\n';
    {
        QMutexLocker lock(&g_mutex);
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        if (g_file) {
            g_file->write(line);
            g_file->flush();
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
        auto *file = new QFile(path);
        if (file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            g_file = file;
        else
            delete file; // stderr still works; the caller sees filePath() empty
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

QString redacted(const QString &secret)
{
    if (secret.isEmpty())
        return QStringLiteral("<empty>");
    return QStringLiteral("<redacted %1 chars>").arg(secret.size());
}

} // namespace QnLog
