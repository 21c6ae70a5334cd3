#pragma once

#include <QByteArray>
#include <QMutex>
#include <QRect>
#include <QString>
#include <QThread>
#include <QVector>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

/// Grabs one screen at a fixed frame rate, scales it to the requested size (bicubic, aspect kept,
/// black bars) and hands each frame as tightly packed I420 to the frame callback. Only what the X
/// server reports as drawn since the last frame (XDamage) is grabbed and converted again; without
/// damage reports every frame is grabbed whole. The frames are the same either way.
///
/// Backends: the MIT-SHM grab is preferred; the plain GetImage grab (with the pointer drawn in from
/// XFixes, as on the fast path) is used when the capture settings ask for it ("gdi" in group
/// "grubtype" of the capture settings file), when the server lacks MIT-SHM, or when the fast path
/// cannot be set up. A screen resize or a failed grab sets capture up again; frames keep coming at
/// the requested size.
///
/// Threads: start(), stop(), setFrameCallback() and the set-up calls belong to the owner's thread
/// (the GUI thread) and are called while capture is stopped, except stop(). The frame callback runs
/// on the capture thread ("qn-capture"); the frame it receives is valid for the call only unless
/// copied (QByteArray sharing makes keeping it cheap).
class ScreenCapture : public QThread
{
    Q_OBJECT
public:
    using FrameCallback = std::function<void(const QByteArray &i420, int width, int height)>;

    /// Reads the capture settings from settingsFilePath().
    explicit ScreenCapture(QObject *parent = nullptr);
    /// Reads the capture settings from settingsPath (INI); creates "grubtype"/"gdi" = false there
    /// when the group is missing.
    ScreenCapture(const QString &settingsPath, QObject *parent);
    ~ScreenCapture() override;

    /// "QnConfig.ini" in the program's folder.
    static QString settingsFilePath();

    void setFrameCallback(FrameCallback callback);

    /// Starts capturing screen `screenIndex` (out of range: the primary screen) at `frameRate`
    /// frames per second (clamped to 1..120), scaled to width x height (rounded down to even sizes,
    /// at least 2 x 2). A running capture is stopped first.
    void start(int screenIndex, int frameRate, int width, int height);
    /// Stops and waits for the capture thread. Safe to call when not running.
    void stop();
    /// True from start() until stop().
    bool isRunning() const { return running.load(); }

    bool isGdiGrub() const { return m_isGdiGrub; }

    /// Screens to choose from, as logical geometries with the primary's index and the device pixel
    /// ratio. By default start() reads them from the application's screens; a list set here (for
    /// tests) replaces that.
    void setScreens(const QVector<QRect> &logicalScreens, int primaryIndex, qreal devicePixelRatio);
    /// X display to capture; empty (default) means $DISPLAY.
    void setDisplayName(const QByteArray &display);

    /// Name of the grab backend in use ("MIT-SHM", "GetImage"), or "" while none is open.
    QString activeBackend() const;
    /// The desktop area being grabbed, in device pixels (null while none is open).
    QRect activeRegion() const;
    /// Frames handed to the callback since start().
    int framesDelivered() const { return m_framesDelivered.load(); }
    /// Frame intervals skipped since start() because a grab and conversion overran by more than one
    /// interval (the cadence then restarts from the current time rather than bursting).
    int intervalsMissed() const { return m_intervalsMissed.load(); }
    /// Screen rows fetched from the X server since start(): the whole height for a whole grab, the
    /// changed rows otherwise.
    quint64 rowsGrabbed() const { return m_rowsGrabbed.load(); }
    /// Frames since start() that were the previous frame again (nothing drawn, pointer still).
    quint64 framesReused() const { return m_framesReused.load(); }
    /// True (default): only what the X server reports as drawn is grabbed and converted again;
    /// false: every frame is grabbed and converted whole. The frames are the same either way. Set
    /// while stopped.
    void setDamageTracking(bool on);

    /// Steady-clock time at which the screen was looked at for the frame being delivered: just
    /// before its changes were asked for and its rows grabbed (a frame showing an unchanged screen
    /// is stamped with the time it was found unchanged). Meaningful only inside the frame callback
    /// (capture thread).
    std::chrono::steady_clock::time_point grabTime() const { return m_grabTime; }

Q_SIGNALS:
    /// Declared for the sender's wiring; frames go through the frame callback instead.
    void yuvDataChanged(QByteArray data, int width, int height);

protected:
    void run() override;

private:
    void readSettings(const QString &path);
    /// Sleeps until deadline or until stop() wakes it. False when stopping.
    bool waitUntil(std::chrono::steady_clock::time_point deadline);
    void setActive(const QString &backend, const QRect &region);

    std::atomic<bool> running{false};
    std::atomic<int> m_framesDelivered{0};
    std::atomic<int> m_intervalsMissed{0};
    std::atomic<quint64> m_rowsGrabbed{0};
    std::atomic<quint64> m_framesReused{0};
    bool m_damageTracking = true;
    std::chrono::steady_clock::time_point m_grabTime; // capture thread only
    int screenIndex = 0;
    int width = 0;
    int height = 0;
    FrameCallback frameCallback;
    int fps = 5;
    bool m_isGdiGrub = false;

    QRect m_region; // chosen at start(), device pixels; null = whole root
    bool m_screensInjected = false;
    QVector<QRect> m_screens;
    int m_primaryIndex = 0;
    qreal m_devicePixelRatio = 1.0;
    QByteArray m_display;

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;

    mutable QMutex m_activeMutex;
    QString m_activeBackend;
    QRect m_activeRegion;
};
