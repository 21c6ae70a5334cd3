#pragma once

#include <QString>

#include <memory>

class QDBusConnection;

/// Keeps the system and the display from going to sleep while held.
///
/// The backend takes a logind inhibitor lock ("sleep:idle", mode "block") on the system bus and
/// keeps its file descriptor; releasing closes it. Without a bus or logind, hold() returns false
/// and nothing else changes. Not thread-safe: one owner thread.
class QnKeepAwake
{
public:
    /// Uses the system bus.
    QnKeepAwake();
    /// Uses bus (a private bus in tests).
    explicit QnKeepAwake(const QDBusConnection &bus);
    ~QnKeepAwake();
    QnKeepAwake(const QnKeepAwake &) = delete;
    QnKeepAwake &operator=(const QnKeepAwake &) = delete;

    /// Takes the lock unless held; true when it is held afterwards. why is shown to the user by
    /// the session's tools.
    bool hold(const QString &why);
    /// Gives the lock back (nothing when not held).
    void release();
    bool isHeld() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};
