#include "client/ui/desktop/QnYuvView.h"

#include "client/ui/desktop/QnLynDesktopMath.h"
#include "client/ui/desktop/QnYuvSurfaces.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QOpenGLContext>
#include <QVBoxLayout>

Q_DECLARE_LOGGING_CATEGORY(lcVideoView)

QnYuvView::QnYuvView(QWidget *parent, Backend backend) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(false);
    const bool gl = backend == Backend::OpenGL || (backend == Backend::Auto && openGLAvailable());
    if (gl) {
        auto *surface = new QnYuvGlSurface(&m_slot, this);
        connect(surface, &QnYuvGlSurface::failed, this, &QnYuvView::useSoftware, Qt::QueuedConnection);
        m_surface = surface;
    } else {
        qCInfo(lcVideoView) << "video view draws in software (no OpenGL context)";
        m_surface = new QnYuvSoftSurface(&m_slot, this);
    }
    m_surface->widget()->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(m_surface->widget());
}

QnYuvView::~QnYuvView() = default;

bool QnYuvView::openGLAvailable()
{
    // A context that cannot be made current later still ends in the software path (failed()).
    QOpenGLContext context;
    return context.create();
}

void QnYuvView::useSoftware()
{
    if (!m_surface || !m_surface->isOpenGL())
        return;
    qCWarning(lcVideoView) << "video view falls back to software drawing";
    QWidget *old = m_surface->widget();
    m_surface = new QnYuvSoftSurface(&m_slot, this);
    m_surface->widget()->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout()->replaceWidget(old, m_surface->widget());
    old->hide();
    old->deleteLater();
    m_surface->widget()->show();
    m_surface->widget()->lower();
}

bool QnYuvView::present(const QByteArray &data, int width, int height)
{
    if (!m_slot.put(data, width, height))
        return false;
    if (!m_updateQueued.exchange(true))
        QMetaObject::invokeMethod(this, &QnYuvView::onFrame, Qt::QueuedConnection);
    return true;
}

void QnYuvView::presentIdle()
{
    constexpr int w = 1920, h = 1080;
    QByteArray idle(w * h, char(60)); // #333333 in BT.601 limited range
    idle.append(QByteArray(2 * (w / 2) * (h / 2), char(128)));
    present(idle, w, h);
}

void QnYuvView::onFrame()
{
    m_updateQueued.store(false);
    const QSize size = m_slot.size();
    m_surface->widget()->update();
    emit framePresented();
    if (size != m_shownSize) {
        m_shownSize = size;
        emit frameSizeChanged(size);
    }
}

QSize QnYuvView::frameSize() const
{
    return m_slot.size();
}

QRect QnYuvView::videoRect() const
{
    return QnLynDesktopMath::fitCentred(frameSize(), rect());
}

bool QnYuvView::isOpenGL() const
{
    return m_surface && m_surface->isOpenGL();
}

void QnYuvView::drawNow()
{
    m_surface->drawNow();
}

QImage QnYuvView::grabImage()
{
    return m_surface->grabImage();
}
