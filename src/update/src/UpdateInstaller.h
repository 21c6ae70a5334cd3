#pragma once

#include "platform/system/QnElevation.h"

#include <QString>

/// Starts what an update brought, with administrator rights where it needs them.
///
/// Routes: a downloaded ".deb" package is installed with "apt-get install -y ./<file>" in its
/// folder; any other package file runs as a program; the file-list route runs the update program
/// "update" in the application folder. A file that is missing is reported as NotFound without
/// asking for rights. The elevation is borrowed (not owned) and used on the calling thread.
class UpdateInstaller
{
public:
    /// What a start came to, and whether the program must end now.
    struct Result
    {
        QnElevatedStart start = QnElevatedStart::NotFound;
        bool endProgram = false; ///< true only after a start that succeeded, on the routes that end
    };

    /// What the application controller's hand-over of a staged update program came to.
    enum class Handover {
        NothingStaged,   ///< no staged update program: open the update dialog as usual
        Moved,           ///< administrator: the staged program replaced "update" in the program folder
        MoveFailed,      ///< administrator: it could not be moved (logged)
        RelaunchStarted, ///< not administrator: the program runs again elevated; end this one with 0
        RelaunchFailed,  ///< not administrator: the elevated restart did not happen; keep running
    };

    explicit UpdateInstaller(QnElevation &elevation);

    /// The start of a downloaded package (see the class comment).
    static QnProgramStart packageStart(const QString &packagePath);
    /// The start of the update program in appDir.
    static QnProgramStart updateProgramStart(const QString &appDir);

    /// Package route. Not administrator: an elevated start; the program keeps running whatever it
    /// gives. Administrator: a plain start, after which the program ends only when it succeeded.
    Result startPackage(const QString &packagePath);
    /// File-list route: an elevated start of the update program; the program ends when it started.
    Result startUpdateProgram(const QString &appDir);

    /// Before the update dialog opens: when a staged update program exists for appDir, an
    /// administrator moves it over "update" in appDir, and anyone else restarts appFilePath
    /// elevated.
    Handover takeStagedUpdateProgram(const QString &appDir, const QString &appFilePath);

private:
    QnElevation &m_elevation;
};
