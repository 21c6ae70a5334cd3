#pragma once

#include <QString>
#include <QStringList>

#include <memory>

/// One program start: what to run, its arguments and the folder it starts in ("" keeps the
/// caller's). A program without a folder part is looked up in PATH.
struct QnProgramStart
{
    QString program;
    QStringList arguments;
    QString workingFolder;
};

/// The outcome of an elevated start.
enum class QnElevatedStart {
    Started,  ///< the program runs with administrator rights
    Refused,  ///< the user dismissed the prompt, was not authorised, or the start failed otherwise
    NotFound, ///< the program (or the elevation tool itself) does not exist
};

/// Administrator rights for the updater and the application controller.
///
/// Administrator means an effective user id of 0. An elevated start asks the system (pkexec) for
/// administrator rights and returns once that is decided: Started as soon as the program runs (it
/// is not waited for), Refused or NotFound otherwise. It blocks the calling thread while the system
/// shows its prompt, as an elevation prompt does; it runs no event loop.
///
/// Not tied to a thread; calls must not overlap. Errors are return values; nothing throws.
class QnElevation
{
public:
    virtual ~QnElevation();

    /// True when this process has administrator rights.
    virtual bool isAdministrator() const = 0;
    /// Starts a program with administrator rights, detached from this process.
    virtual QnElevatedStart startElevated(const QnProgramStart &start) = 0;
    /// Starts a program with this process's own rights, detached from this process. False when it
    /// could not be started.
    virtual bool startDetached(const QnProgramStart &start) = 0;

    /// True when the effective user id of this process is 0.
    static bool processIsAdministrator();
    /// The backend this build uses.
    static std::unique_ptr<QnElevation> createDefault();
};

/// A short name of a result for logs and tests: "started", "refused", "not-found".
const char *elevatedStartName(QnElevatedStart result);
