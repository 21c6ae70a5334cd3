#pragma once

#include "client/ui/desktop/QnYuvFrameSlot.h"

#include <QImage>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QWidget>

#include <memory>

class QOpenGLShaderProgram;
struct SwsContext;

/// What the video view draws on: the latest picture of the slot, aspect-fitted and centred, black
/// around it. GUI thread only; the slot outlives the surface.
class QnYuvSurface
{
public:
    virtual ~QnYuvSurface() = default;
    virtual QWidget *widget() = 0;
    /// Draws the latest picture now and waits until it is drawn (measurements, read-back).
    virtual void drawNow() = 0;
    /// The surface's pixels as drawn.
    virtual QImage grabImage() = 0;
    virtual bool isOpenGL() const = 0;
};

/// The three I420 planes as single-channel textures, converted (BT.601, limited range) in a
/// fragment shader. Emits failed() when its context or shader cannot be made; it then draws
/// nothing and its owner switches to the software surface.
class QnYuvGlSurface : public QOpenGLWidget, public QnYuvSurface, protected QOpenGLFunctions
{
    Q_OBJECT
public:
    QnYuvGlSurface(QnYuvFrameSlot *slot, QWidget *parent);
    ~QnYuvGlSurface() override;

    QWidget *widget() override { return this; }
    void drawNow() override;
    QImage grabImage() override { return grabFramebuffer(); }
    bool isOpenGL() const override { return true; }

Q_SIGNALS:
    void failed();

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    void upload(const QnYuvFrameSlot::Frame &frame);
    void releaseGl();

    QnYuvFrameSlot *m_slot;
    std::unique_ptr<QOpenGLShaderProgram> m_program;
    GLuint m_textures[3] = {0, 0, 0};
    QSize m_textureSize;
    quint64 m_uploaded = 0;
    bool m_broken = false;
    QMetaObject::Connection m_contextGone; // cut in the destructor, before the base goes
};

/// libswscale converts and scales the picture to the fitted rectangle as RGB32; QPainter paints
/// it. Used when no OpenGL context can be made.
class QnYuvSoftSurface : public QWidget, public QnYuvSurface
{
public:
    QnYuvSoftSurface(QnYuvFrameSlot *slot, QWidget *parent);
    ~QnYuvSoftSurface() override;

    QWidget *widget() override { return this; }
    void drawNow() override;
    QImage grabImage() override { return grab().toImage(); }
    bool isOpenGL() const override { return false; }

    /// I420 (planes one after another) converted and scaled to target as RGB32 through ctx (made or
    /// replaced as needed); a null image on failure.
    static QImage convert(SwsContext **ctx, const QByteArray &data, const QSize &size, const QSize &target);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QnYuvFrameSlot *m_slot;
    SwsContext *m_sws = nullptr; // owned; freed in the destructor
    QImage m_image;
    quint64 m_converted = 0;
};
