#pragma once

#include "platform/system/QnElevation.h"

/// Elevation through pkexec and the launcher "qn-elevated-start".
///
/// An elevated start runs: <command...> <launcher> <working folder> <program> <arguments...>.
/// pkexec asks for administrator rights and then runs the launcher as root; the launcher changes
/// to the working folder, starts the program in a session of its own, reports "started" (or
/// "not-found") on its standard output and exits at once, so the program is never waited for.
/// pkexec's own exit codes 126 (prompt dismissed) and 127 (not authorised) read as Refused.
///
/// The command is injectable: tests put a stand-in for pkexec in front of the launcher.
class QnPkexecElevation : public QnElevation
{
public:
    /// command: the elevation tool and its leading arguments (default {"pkexec"}); launcherPath:
    /// the launcher (default: "qn-elevated-start" beside the program).
    explicit QnPkexecElevation(const QStringList &command = QStringList(),
                               const QString &launcherPath = QString());

    bool isAdministrator() const override;
    QnElevatedStart startElevated(const QnProgramStart &start) override;
    bool startDetached(const QnProgramStart &start) override;

    QStringList command() const { return m_command; }
    QString launcherPath() const { return m_launcher; }

    /// The launcher's file name.
    static const char kLauncherName[];

private:
    QStringList m_command;
    QString m_launcher;
};
