#pragma once

#include <QByteArray>
#include <QMutex>
#include <QSize>

/// The latest I420 picture handed from a decode thread to the GUI thread. put() replaces whatever
/// was waiting (older pictures are dropped, never queued); take() gives the picture and its serial.
/// Any thread; one mutex, held only to swap the implicitly shared buffer.
class QnYuvFrameSlot
{
public:
    struct Frame
    {
        QByteArray data; ///< planes one after another: Y, U, V
        QSize size;
        quint64 serial = 0; ///< 0: nothing presented yet
    };

    /// Stores the picture when QnLynDesktopMath::acceptPicture holds; returns false (and keeps the
    /// previous picture) otherwise. Returns true when the picture replaced one not yet taken in
    /// *dropped.
    bool put(const QByteArray &data, int width, int height, bool *dropped = nullptr);
    /// The latest picture (the buffer is shared, not copied), marked as seen: the drawing side.
    Frame take();
    /// Size of the latest picture (empty before the first).
    QSize size() const;
    /// Pictures put but replaced before anyone looked at them.
    quint64 droppedCount() const;

private:
    mutable QMutex m_mutex;
    Frame m_frame;
    quint64 m_seen = 0;
    quint64 m_dropped = 0;
};
