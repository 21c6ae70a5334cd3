#include "update/src/UpdateInstaller.h"

#include "update/src/UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcInstaller, "qn.update.installer")

UpdateInstaller::UpdateInstaller(QnElevation &elevation) : m_elevation(elevation) {}

QnProgramStart UpdateInstaller::packageStart(const QString &packagePath)
{
    const QFileInfo file(packagePath);
    QnProgramStart start;
    start.workingFolder = file.absolutePath();
    if (file.suffix().compare(QLatin1String("deb"), Qt::CaseInsensitive) == 0) {
        start.program = QStringLiteral("apt-get");
        start.arguments = QStringList{QStringLiteral("install"), QStringLiteral("-y"),
                                      QStringLiteral("./") + file.fileName()};
    } else {
        start.program = file.absoluteFilePath();
    }
    return start;
}

QnProgramStart UpdateInstaller::updateProgramStart(const QString &appDir)
{
    QnProgramStart start;
    start.program = QDir(appDir).absoluteFilePath(UpdateFiles::updateProgramName());
    start.workingFolder = QDir(appDir).absolutePath();
    return start;
}

UpdateInstaller::Result UpdateInstaller::startPackage(const QString &packagePath)
{
    Result result;
    if (!QFileInfo(packagePath).isFile()) {
        qCWarning(lcInstaller) << "run app failed: no package at" << packagePath;
        return result;
    }
    const QnProgramStart start = packageStart(packagePath);
    if (!m_elevation.isAdministrator()) {
        qCInfo(lcInstaller) << "runApplicationAsAdmin" << start.program << start.arguments;
        result.start = m_elevation.startElevated(start);
        qCInfo(lcInstaller) << "package start:" << elevatedStartName(result.start);
        return result;
    }
    qCInfo(lcInstaller) << "startDetached" << start.program << start.arguments;
    const bool started = m_elevation.startDetached(start);
    result.start = started ? QnElevatedStart::Started : QnElevatedStart::Refused;
    result.endProgram = started;
    return result;
}

UpdateInstaller::Result UpdateInstaller::startUpdateProgram(const QString &appDir)
{
    Result result;
    const QnProgramStart start = updateProgramStart(appDir);
    if (!QFileInfo(start.program).isFile()) {
        qCWarning(lcInstaller) << "run app failed: no update program at" << start.program;
        return result;
    }
    result.start = m_elevation.startElevated(start);
    result.endProgram = result.start == QnElevatedStart::Started;
    qCInfo(lcInstaller) << "update program start:" << elevatedStartName(result.start);
    return result;
}

UpdateInstaller::Handover UpdateInstaller::takeStagedUpdateProgram(const QString &appDir,
                                                                   const QString &appFilePath)
{
    const QString staged = UpdateFiles::stagedUpdateProgram(appDir);
    if (!QFileInfo(staged).isFile())
        return Handover::NothingStaged;
    if (m_elevation.isAdministrator()) {
        const QString target = QDir(appDir).absoluteFilePath(UpdateFiles::updateProgramName());
        QFile::remove(target);
        if (!QFile::rename(staged, target)) {
            qCWarning(lcInstaller) << "cannot move" << staged << "to" << target;
            return Handover::MoveFailed;
        }
        return Handover::Moved;
    }
    QnProgramStart start;
    start.program = appFilePath;
    const QnElevatedStart result = m_elevation.startElevated(start);
    qCInfo(lcInstaller) << "elevated restart:" << elevatedStartName(result);
    return result == QnElevatedStart::Started ? Handover::RelaunchStarted : Handover::RelaunchFailed;
}
