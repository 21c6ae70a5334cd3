#pragma once

#include <memory>

class QnVolumeWatcher;
struct QnVolumeWatcherOptions;

/// Watches the default audio output and calls a plain callback when its mute state changes
/// (1 muted, 0 not). A plain volume change calls nothing. Owned by the client object.
///
/// Threads: the callback runs on the watcher's own thread ("qn-volume"); it must return quickly
/// and must not call into or destroy this object. After the destructor returns no call comes.
class CVolumeCtrl
{
public:
    using Callback = void (*)(int muted, void *context);

    /// Connects to the sound server (blocking briefly). Without a server or an output the object
    /// is not ready and never calls back. callback may be null.
    CVolumeCtrl(Callback callback, void *context);
    CVolumeCtrl(Callback callback, void *context, const QnVolumeWatcherOptions &options);
    ~CVolumeCtrl();

    CVolumeCtrl(const CVolumeCtrl &) = delete;
    CVolumeCtrl &operator=(const CVolumeCtrl &) = delete;

    /// Starts (on) or stops (off) the notifications; false when not ready or refused.
    bool setNotify(bool on);
    bool isReady() const;

private:
    Callback m_callback;
    void *m_context;
    std::unique_ptr<QnVolumeWatcher> m_watcher;
};
