#include "client/ui/desktop/QnYuvSurfaces.h"

#include "client/ui/desktop/QnLynDesktopMath.h"

#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPainter>

extern "C" {
#include <libswscale/swscale.h>
}

Q_LOGGING_CATEGORY(lcVideoView, "qn.ui.yuvview")

namespace {

const char *const kVertex = R"(
attribute highp vec2 position;
attribute highp vec2 texCoord;
varying highp vec2 coord;
void main()
{
    coord = texCoord;
    gl_Position = vec4(position, 0.0, 1.0);
}
)";

// BT.601, limited range, as libswscale converts by default.
const char *const kFragment = R"(
varying highp vec2 coord;
uniform sampler2D planeY;
uniform sampler2D planeU;
uniform sampler2D planeV;
void main()
{
    highp float y = 1.16438 * (texture2D(planeY, coord).r - 0.0627451);
    highp float u = texture2D(planeU, coord).r - 0.501961;
    highp float v = texture2D(planeV, coord).r - 0.501961;
    gl_FragColor = vec4(y + 1.59603 * v, y - 0.391762 * u - 0.812968 * v, y + 2.01723 * u, 1.0);
}
)";

// Triangle strip over the viewport; row 0 of the picture at the top.
const GLfloat kQuad[] = {-1.f, 1.f, 0.f, 0.f, -1.f, -1.f, 0.f, 1.f, 1.f, 1.f, 1.f, 0.f, 1.f, -1.f, 1.f, 1.f};

} // namespace

QnYuvGlSurface::QnYuvGlSurface(QnYuvFrameSlot *slot, QWidget *parent) : QOpenGLWidget(parent), m_slot(slot) {}

QnYuvGlSurface::~QnYuvGlSurface()
{
    QObject::disconnect(m_contextGone);
    if (context()) {
        makeCurrent();
        releaseGl();
        doneCurrent();
    }
}

void QnYuvGlSurface::releaseGl()
{
    if (m_textures[0])
        glDeleteTextures(3, m_textures);
    m_textures[0] = m_textures[1] = m_textures[2] = 0;
    m_textureSize = QSize();
    m_uploaded = 0;
    m_program.reset();
}

void QnYuvGlSurface::initializeGL()
{
    if (!context() || !context()->isValid()) {
        qCWarning(lcVideoView) << "no OpenGL context for the video view";
        m_broken = true;
        emit failed();
        return;
    }
    initializeOpenGLFunctions();
    m_contextGone = connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, [this] {
        makeCurrent();
        releaseGl();
        doneCurrent();
    });
    m_program = std::make_unique<QOpenGLShaderProgram>();
    if (!m_program->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertex) ||
        !m_program->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragment) || !m_program->link()) {
        qCWarning(lcVideoView) << "video shader failed:" << m_program->log().left(400);
        m_program.reset();
        m_broken = true;
        emit failed();
        return;
    }
    glGenTextures(3, m_textures);
    for (GLuint t : m_textures) {
        glBindTexture(GL_TEXTURE_2D, t);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    }
    qCInfo(lcVideoView) << "video view draws with OpenGL:"
                        << reinterpret_cast<const char *>(glGetString(GL_RENDERER));
}

void QnYuvGlSurface::upload(const QnYuvFrameSlot::Frame &frame)
{
    const int w = frame.size.width(), h = frame.size.height();
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    const uchar *y = reinterpret_cast<const uchar *>(frame.data.constData());
    const uchar *planes[3] = {y, y + qint64(w) * h, y + qint64(w) * h + qint64(cw) * ch};
    const QSize sizes[3] = {QSize(w, h), QSize(cw, ch), QSize(cw, ch)};
    const bool realloc = m_textureSize != frame.size;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < 3; ++i) {
        glBindTexture(GL_TEXTURE_2D, m_textures[i]);
        if (realloc)
            glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, sizes[i].width(), sizes[i].height(), 0, GL_LUMINANCE,
                         GL_UNSIGNED_BYTE, planes[i]);
        else
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, sizes[i].width(), sizes[i].height(), GL_LUMINANCE,
                            GL_UNSIGNED_BYTE, planes[i]);
    }
    m_textureSize = frame.size;
    m_uploaded = frame.serial;
}

void QnYuvGlSurface::paintGL()
{
    glClearColor(0.f, 0.f, 0.f, 1.f);
    glClear(GL_COLOR_BUFFER_BIT);
    if (m_broken || !m_program)
        return;
    const QnYuvFrameSlot::Frame frame = m_slot->take();
    if (frame.serial == 0)
        return;
    if (frame.serial != m_uploaded)
        upload(frame);
    const QRect r = QnLynDesktopMath::fitCentred(frame.size, rect());
    if (r.isEmpty())
        return;
    const qreal dpr = devicePixelRatioF();
    glViewport(qRound(r.x() * dpr), qRound((height() - r.y() - r.height()) * dpr), qRound(r.width() * dpr),
               qRound(r.height() * dpr));
    m_program->bind();
    for (int i = 0; i < 3; ++i) {
        glActiveTexture(GL_TEXTURE0 + i);
        glBindTexture(GL_TEXTURE_2D, m_textures[i]);
    }
    m_program->setUniformValue("planeY", 0);
    m_program->setUniformValue("planeU", 1);
    m_program->setUniformValue("planeV", 2);
    const int pos = m_program->attributeLocation("position");
    const int tex = m_program->attributeLocation("texCoord");
    m_program->enableAttributeArray(pos);
    m_program->enableAttributeArray(tex);
    m_program->setAttributeArray(pos, GL_FLOAT, kQuad, 2, 4 * sizeof(GLfloat));
    m_program->setAttributeArray(tex, GL_FLOAT, kQuad + 2, 2, 4 * sizeof(GLfloat));
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    m_program->disableAttributeArray(pos);
    m_program->disableAttributeArray(tex);
    glActiveTexture(GL_TEXTURE0);
    m_program->release();
}

void QnYuvGlSurface::drawNow()
{
    if (!isValid())
        return;
    makeCurrent();
    paintGL();
    glFinish();
    doneCurrent();
}

QnYuvSoftSurface::QnYuvSoftSurface(QnYuvFrameSlot *slot, QWidget *parent) : QWidget(parent), m_slot(slot)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QnYuvSoftSurface::~QnYuvSoftSurface()
{
    sws_freeContext(m_sws);
}

QImage QnYuvSoftSurface::convert(SwsContext **ctx, const QByteArray &data, const QSize &size,
                                 const QSize &target)
{
    if (!QnLynDesktopMath::acceptPicture(data.size(), size.width(), size.height()) || target.isEmpty())
        return QImage();
    *ctx = sws_getCachedContext(*ctx, size.width(), size.height(), AV_PIX_FMT_YUV420P, target.width(),
                                target.height(), AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!*ctx)
        return QImage();
    QImage out(target, QImage::Format_RGB32);
    if (out.isNull())
        return QImage();
    const int w = size.width(), h = size.height();
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    const auto *y = reinterpret_cast<const uint8_t *>(data.constData());
    const uint8_t *src[4] = {y, y + qint64(w) * h, y + qint64(w) * h + qint64(cw) * ch, nullptr};
    const int srcStride[4] = {w, cw, cw, 0};
    uint8_t *dst[4] = {out.bits(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {int(out.bytesPerLine()), 0, 0, 0};
    sws_scale(*ctx, src, srcStride, 0, h, dst, dstStride);
    return out;
}

void QnYuvSoftSurface::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    const QnYuvFrameSlot::Frame frame = m_slot->take();
    if (frame.serial == 0)
        return;
    const QRect r = QnLynDesktopMath::fitCentred(frame.size, rect());
    if (r.isEmpty())
        return;
    if (frame.serial != m_converted || m_image.size() != r.size()) {
        m_image = convert(&m_sws, frame.data, frame.size, r.size());
        m_converted = frame.serial;
    }
    if (!m_image.isNull())
        p.drawImage(r.topLeft(), m_image);
}

void QnYuvSoftSurface::drawNow()
{
    repaint();
}
