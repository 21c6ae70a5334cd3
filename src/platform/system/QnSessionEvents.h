#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QDBusConnection;
class QnSessionEventsPrivate;

/// Lock and unlock of the user's desktop session. Display-power changes have no source here and
/// are never reported.
///
/// The backend watches logind (org.freedesktop.login1) on the system bus: the session's Lock and
/// Unlock signals and its LockedHint property. Without a bus or without logind it reports nothing
/// and isAvailable() is false. Lives on the thread that creates it; signals are emitted there.
class QnSessionEvents : public QObject
{
    Q_OBJECT
public:
    /// Watches this process's session on the system bus.
    explicit QnSessionEvents(QObject *parent = nullptr);
    /// Watches sessionPath (empty: this process's session) on bus; for tests with a private bus.
    QnSessionEvents(const QDBusConnection &bus, const QString &sessionPath, QObject *parent = nullptr);
    ~QnSessionEvents() override;

    /// True when the session's signals are being watched.
    bool isAvailable() const;

signals:
    /// The session was locked (once per change).
    void locked();
    /// The session was unlocked (once per change).
    void unlocked();

private:
    std::unique_ptr<QnSessionEventsPrivate> d;
};
