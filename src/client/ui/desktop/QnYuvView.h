#pragma once

#include "client/ui/desktop/QnYuvFrameSlot.h"

#include <QImage>
#include <QWidget>

#include <atomic>

class QnYuvSurface;

/// Shows I420 pictures handed from any thread, aspect-fitted and centred, black around them.
///
/// Draws with OpenGL (planes as textures, converted in a shader) when a context can be made, and
/// otherwise with libswscale and QPainter. present() may be called from any thread: the picture
/// goes into a mutex-guarded latest-frame slot (an older picture not yet drawn is dropped) and one
/// queued call asks the GUI thread to draw. The caller stops presenting before destroying the view.
///
/// The view takes mouse, wheel and key events itself (the drawing surface is transparent for the
/// mouse), so reverse input watches this widget. Everything but present() runs on the GUI thread.
class QnYuvView : public QWidget
{
    Q_OBJECT
public:
    enum class Backend {
        Auto,     ///< OpenGL when a context can be made, else software
        OpenGL,   ///< OpenGL (falls back to software if the context or shader fails)
        Software, ///< libswscale and QPainter
    };

    explicit QnYuvView(QWidget *parent = nullptr, Backend backend = Backend::Auto);
    ~QnYuvView() override;

    /// Any thread. Pictures failing QnLynDesktopMath::acceptPicture are dropped (returns false).
    bool present(const QByteArray &data, int width, int height);
    /// Shows a 1920x1080 picture of #333333 (the idle picture).
    void presentIdle();

    /// Where the latest picture lies in this widget (the centred aspect fit); empty before the
    /// first picture.
    QRect videoRect() const;
    /// Size of the latest picture.
    QSize frameSize() const;
    /// True when drawing with OpenGL.
    bool isOpenGL() const;
    /// Draws the latest picture now and waits until it is drawn.
    void drawNow();
    /// The view's pixels as drawn.
    QImage grabImage();
    /// Pictures replaced in the slot before they were drawn.
    quint64 droppedFrames() const { return m_slot.droppedCount(); }

    /// True when an OpenGL context can be made on this platform.
    static bool openGLAvailable();

Q_SIGNALS:
    /// A picture of a new size was drawn for the first time (GUI thread).
    void frameSizeChanged(QSize size);
    /// A picture reached the GUI thread (GUI thread).
    void framePresented();

private:
    void useSoftware();
    void onFrame();

    QnYuvFrameSlot m_slot;
    QnYuvSurface *m_surface = nullptr; // child widget
    QSize m_shownSize;                 // GUI thread
    std::atomic<bool> m_updateQueued{false};
};
