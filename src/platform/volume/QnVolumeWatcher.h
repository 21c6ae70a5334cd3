#pragma once

#include <QString>

#include <functional>
#include <memory>

/// Watches the mute state of the default audio output (in place of the Windows endpoint-volume
/// notifications). Only changes of the mute state are forwarded; a plain volume change is not.
class QnVolumeWatcher
{
public:
    /// Called on the watcher's own thread ("qn-volume") with the new mute state. It must return
    /// quickly and must not call back into, or destroy, the watcher.
    using MuteChanged = std::function<void(bool muted)>;

    virtual ~QnVolumeWatcher() = default;

    /// True when the sound server answered and a default output exists. A watcher that is not
    /// ready never calls back.
    virtual bool isReady() const = 0;
    /// Starts (on) or stops (off) forwarding. False when not ready or the server refused.
    virtual bool setNotify(bool on) = 0;
    /// The last known mute state (false when not ready).
    virtual bool isMuted() const = 0;
};

struct QnVolumeWatcherOptions
{
    QString server;              ///< sound server address; empty: the environment's default
    int connectTimeoutMs = 3000; ///< how long construction waits for the server
};

/// The backend chosen at build time. Construction blocks (at most connectTimeoutMs) until the
/// server answers or fails; the destructor stops the watcher's thread, after which no call comes.
std::unique_ptr<QnVolumeWatcher> qnCreateVolumeWatcher(QnVolumeWatcher::MuteChanged onMuteChanged,
                                                       const QnVolumeWatcherOptions &options = {});
