#pragma once

#include "common/log/QnLogLimiter.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>

class QnInputInjector;

/// Reverse input over gateway channel 1, in both directions.
///
/// Capture (GUI thread): while the desktop-sync window shows a receiver's desktop, the object
/// filters the events of the view that draws it and emits each mouse, wheel, key, hover and focus
/// event as one compact JSON message {"type", "data", "id", "senderId"} for that receiver.
///
/// Injection (the gateway's receiving thread): recvData() turns the messages of the connected
/// receiver into input on this PC through a QnInputInjector, scaled to the screen chosen for
/// casting. Messages from any other room member inject nothing. After each injected pointer move
/// the cursor shape, when it changed, is sent back to the message's sender (type 14) through
/// sendDataToNetwork, on the receiving thread.
///
/// Locks: m_injectMutex serialises injection and guards the touch and cursor state; m_stateMutex
/// guards the registries, the screen and the connected receiver. Order: m_injectMutex before
/// m_stateMutex. No callback is called and no signal is emitted while either is held.
class QnLynInput : public QObject
{
    Q_OBJECT
public:
    /// Called with a Qt::CursorShape number when the watched receiver's cursor changes; runs on
    /// the receiving thread.
    using CursorCallback = std::function<void(int)>;

    /// One screen as the screen list gives it: geometry (device top-left, logical size) and
    /// device pixel ratio.
    struct ScreenInfo
    {
        QRect geometry;
        qreal devicePixelRatio = 1.0;
    };

    /// Touch contacts tracked at once; further new contacts are dropped until one lifts.
    static constexpr int kMaxTouchContacts = 10;
    /// Touch positions remembered to drop the receiver's mouse echo of a touch; oldest dropped.
    static constexpr int kMaxTouchPositions = 64;
    /// Longest text (type 12) typed from one message; the rest is dropped.
    static constexpr int kMaxTextLength = 4096;

    /// injector: used on the receiving thread only, owned by this object (may be null: nothing
    /// is injected).
    explicit QnLynInput(std::unique_ptr<QnInputInjector> injector, QObject *parent = nullptr);
    ~QnLynInput() override;

    /// The process-wide instance, made on first use (GUI thread) with the desktop's injector.
    static QnLynInput *instance();

    /// Starts filtering view's events for peerId; rect is where the peer's picture lies in the
    /// view. A view already watched keeps its first peer and callback. GUI thread.
    void addWatch(QObject *view, const QString &peerId, const QRect &rect, CursorCallback cursorCallback);
    /// Moves the peer's picture rectangle (view coordinates). GUI thread.
    void setRemoteSize(const QString &peerId, const QRect &rect);
    /// Stops watching the peer's view and forgets its rectangle and callback. GUI thread.
    void removeWatch(const QString &peerId);

    /// Chooses the PC screen that receives injected input, from the application's screen list.
    /// GUI thread only (it reads the screen list).
    void setScreen(int index);
    /// As setScreen(int), from a given screen list (QScreen::geometry() and devicePixelRatio()):
    /// the injection rectangle starts at the screen's top-left, which Qt 5 gives in device pixels
    /// already, and has the screen's size times its device pixel ratio. An index outside the list
    /// keeps the size and moves the origin to (0, 0). Any thread.
    void setScreen(int index, const QList<ScreenInfo> &screens);
    /// Set the injection size directly (device pixels). Any thread.
    void setScreenWidth(int width);
    void setScreenHeight(int height);
    /// The injection rectangle in desktop device pixels.
    QRect screenRect() const;

    /// The receiver that may drive this PC (its gateway user id); empty: nobody. When it changes
    /// away from a receiver, whatever that receiver held is released. Any thread.
    void setConnectedReceiver(const QString &receiverId);
    QString connectedReceiver() const;

    /// One channel-1 message from the room member senderId (the gateway's sender id). Runs on
    /// the gateway's receiving thread; never blocks on the GUI thread.
    void recvData(const QString &senderId, const QByteArray &data);

    /// The current map of the receiver's touch point ids to local contact ids (diagnostics).
    QMap<int, int> touchIds() const;

signals:
    /// One outgoing message (compact JSON envelope) for the peer id. Emitted on the GUI thread
    /// for captured input and on the receiving thread for cursor-shape replies.
    void sendDataToNetwork(const QString &id, const QByteArray &data);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Screen
    {
        QPoint origin;
        int width = 0;
        int height = 0;
    };

    void sendInput(int type, const QJsonObject &data, const QString &peerId);
    QByteArray envelope(int type, const QJsonObject &data, const QString &peerId) const;
    void forgetView(QObject *view);
    Screen screen() const;

    // Injection; each runs with m_injectMutex held and returns a cursor-shape reply or nothing.
    QByteArray injectMouse(int type, const QJsonObject &data, const QString &senderId);
    void injectTouch(int type, const QJsonArray &points);
    QByteArray moveCursorTo(const QPoint &pos, const QString &senderId);
    QByteArray cursorReply(const QString &senderId);
    void resetPeerState();
    void remoteCursor(const QString &senderId, const QJsonObject &data);

    std::unique_ptr<QnInputInjector> m_injector;

    mutable QMutex m_injectMutex;
    QMap<int, int> m_touchIds;
    QList<int> m_freeTouchIds;
    QList<QPoint> m_touchPositions;
    int m_lastCursor = 0;

    mutable QMutex m_stateMutex;
    QMap<QObject *, QString> m_views;
    QMap<QString, CursorCallback> m_cursorCallbacks;
    QMap<QString, QRect> m_viewRects;
    Screen m_screen;
    QString m_connectedReceiver;
    /// Put into every outgoing message; nothing sets it, so it goes out empty.
    const QString m_senderId;
    QnLogLimiter m_peerLog; // refused peer input: first lines of each interval, then a count
};
