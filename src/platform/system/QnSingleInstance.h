#pragma once

#include <QObject>
#include <QString>

#include <memory>

/// One running instance of a program per user, and a message channel from later starts to it.
///
/// The first object made for a key (in any process of this user) becomes the primary: it holds the
/// lock file "<folder>/<key>.lock" and listens on the local socket "<folder>/<key>.sock". Any other
/// object for the same key sees isRunning() true and can hand the primary a short text with
/// sendMessage(). A lock left by a process that ended without releasing it (killed, or an exit that
/// skipped destructors) names a process that no longer runs: it is taken over. Destroying the
/// primary releases the lock and the socket, so a new object in the same process (a new pass of the
/// program's restart loop) becomes primary again.
///
/// The primary acknowledges every message before messageReceived() is emitted, so a receiver that
/// quits, or opens a modal dialog, in its handler does not hold the sender up or lose its reply.
///
/// GUI thread (the thread that made the object); needs a running event loop to receive messages.
/// sendMessage() blocks its caller for at most its time-out and runs no event loop.
class QnSingleInstance : public QObject
{
    Q_OBJECT
public:
    /// Longest message accepted, in UTF-8 bytes; a longer one is refused by the sender and dropped
    /// by the receiver.
    static constexpr int kMaxMessageBytes = 64 * 1024;

    /// key names the program (file-name characters only); folder is where the lock and socket live:
    /// "" means defaultFolder(). Tries to become the primary at once.
    explicit QnSingleInstance(const QString &key, const QString &folder = QString(),
                              QObject *parent = nullptr);
    ~QnSingleInstance() override;

    /// True when another object (in this or another process) is the primary. When this object is
    /// not the primary yet it tries again to become it first (the former primary may have ended).
    bool isRunning();
    /// True when this object holds the lock and listens.
    bool isPrimary() const;

    /// Hands message to the primary and waits at most timeoutMs for its acknowledgement. False when
    /// this object is itself the primary, no primary answered in time, or the message is too long.
    bool sendMessage(const QString &message, int timeoutMs = 5000);

    /// "$XDG_RUNTIME_DIR" when set and present, else a folder of this user's own (mode 700) in the
    /// system's temporary folder.
    static QString defaultFolder();

Q_SIGNALS:
    /// A message from another start; emitted after its acknowledgement has been written.
    void messageReceived(const QString &message);

private:
    class Private;
    std::unique_ptr<Private> d;
};
