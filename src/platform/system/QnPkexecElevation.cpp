#include "platform/system/QnPkexecElevation.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcElevation, "qn.elevation")

const char QnPkexecElevation::kLauncherName[] = "qn-elevated-start";

namespace {

// pkexec's exit codes when the program never ran.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorised = 127;

// The program as an absolute path: a name without a folder part is looked up in PATH. Empty when
// it does not exist or cannot be run.
QString resolveProgram(const QString &program)
{
    if (program.isEmpty())
        return QString();
    if (!program.contains(QLatin1Char('/')))
        return QStandardPaths::findExecutable(program);
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
}

} // namespace

std::unique_ptr<QnElevation> QnElevation::createDefault()
{
    return std::make_unique<QnPkexecElevation>();
}

QnPkexecElevation::QnPkexecElevation(const QStringList &command, const QString &launcherPath)
    : m_command(command.isEmpty() ? QStringList{QStringLiteral("pkexec")} : command), m_launcher(launcherPath)
{
    if (m_launcher.isEmpty()) {
        const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
        m_launcher = dir + QLatin1Char('/') + QLatin1String(kLauncherName);
    }
}

bool QnPkexecElevation::isAdministrator() const
{
    return processIsAdministrator();
}

QnElevatedStart QnPkexecElevation::startElevated(const QnProgramStart &start)
{
    const QString program = resolveProgram(start.program);
    if (program.isEmpty()) {
        qCWarning(lcElevation) << "elevated start: no such program" << start.program;
        return QnElevatedStart::NotFound;
    }
    const QString tool = resolveProgram(m_command.first());
    if (tool.isEmpty()) {
        qCWarning(lcElevation) << "elevated start: the elevation tool is missing:" << m_command.first();
        return QnElevatedStart::NotFound;
    }
    if (resolveProgram(m_launcher).isEmpty()) {
        qCWarning(lcElevation) << "elevated start: the launcher is missing:" << m_launcher;
        return QnElevatedStart::NotFound;
    }

    QStringList arguments = m_command.mid(1);
    arguments << m_launcher << start.workingFolder << program << start.arguments;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    qCInfo(lcElevation) << "elevated start of" << program << "through" << tool;
    process.start(tool, arguments);
    if (!process.waitForStarted(-1)) {
        qCWarning(lcElevation) << "elevated start: cannot run" << tool << process.errorString();
        return QnElevatedStart::NotFound;
    }
    // Returns when the prompt has been answered and the launcher has started the program.
    process.waitForFinished(-1);
    const QByteArray report = process.readAllStandardOutput().trimmed();
    const int code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    if (code == 0 && report == "started") {
        qCInfo(lcElevation) << "run app successed";
        return QnElevatedStart::Started;
    }
    if (report == "not-found") {
        qCWarning(lcElevation) << "run app failed: not found" << program;
        return QnElevatedStart::NotFound;
    }
    if (code == kPkexecDismissed || code == kPkexecNotAuthorised)
        qCWarning(lcElevation) << "run app failed: refused, code" << code;
    else
        qCWarning(lcElevation) << "run app failed: code" << code << report.left(80);
    return QnElevatedStart::Refused;
}

bool QnPkexecElevation::startDetached(const QnProgramStart &start)
{
    const QString program = resolveProgram(start.program);
    if (program.isEmpty()) {
        qCWarning(lcElevation) << "start: no such program" << start.program;
        return false;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(start.arguments);
    if (!start.workingFolder.isEmpty())
        process.setWorkingDirectory(start.workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    const bool ok = process.startDetached(&pid);
    qCInfo(lcElevation) << "startDetached" << program << (ok ? "pid" : "failed") << pid;
    return ok;
}
