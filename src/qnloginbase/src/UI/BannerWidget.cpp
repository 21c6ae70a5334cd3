#include "qnloginbase/src/UI/BannerWidget.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QIcon>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QTimer>
#include <QUrl>

namespace {
const char kOpacity[] = "ImageOpacity";
}

BannerWidget::BannerWidget(QWidget *parent)
    : QWidget(parent), m_timer(new QTimer(this)), m_animation(new QPropertyAnimation)
{
    setProperty(kOpacity, 1.0);
    m_animation->setTargetObject(this);
    m_animation->setPropertyName(kOpacity);
    m_animation->setDuration(m_fadeMs);
    m_animation->setStartValue(1.0);
    m_animation->setEndValue(0.0);
    m_timer->setInterval(m_switchMs);
    connect(m_animation, &QPropertyAnimation::valueChanged, this, [this] { update(); });
    connect(m_timer, &QTimer::timeout, this, &BannerWidget::onImageChangeTimeout);
    setWindowFlags(Qt::FramelessWindowHint);
}

BannerWidget::~BannerWidget()
{
    delete m_animation;
}

void BannerWidget::addImage(const QString &path)
{
    const QSize size(qRound(width() * 2.0), qRound(height() * 2.0));
    m_images.append(QIcon(path).pixmap(size, QIcon::Normal, QIcon::Off));
}

void BannerWidget::onImageChangeTimeout()
{
    if (m_images.isEmpty())
        return;
    m_outgoing = m_images.value(m_currentIndex);
    ++m_currentIndex;
    if (m_currentIndex >= m_images.size())
        m_currentIndex = 0;
    m_incoming = m_images.value(m_currentIndex);
    if (QAbstractButton *indicator = m_indicators.value(m_currentIndex))
        indicator->setChecked(true);
    m_animation->start(QAbstractAnimation::KeepWhenStopped);
}

void BannerWidget::mousePressEvent(QMouseEvent *event)
{
    if (m_currentIndex >= 0 && m_currentIndex < m_links.size() && !m_links.at(m_currentIndex).isEmpty())
        QDesktopServices::openUrl(QUrl(m_links.at(m_currentIndex), QUrl::TolerantMode));
    QWidget::mousePressEvent(event);
}

void BannerWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(Qt::NoPen);
    painter.setRenderHint(QPainter::Antialiasing);
    const int w = rect().width();
    const int h = rect().height();
    QPainterPath clip;
    clip.moveTo(10, 0);
    clip.arcTo(QRectF(0, 0, 20, 20), 90, 90);
    clip.lineTo(0, h - 10);
    clip.arcTo(QRectF(0, h - 20, 20, 20), 180, 90);
    clip.lineTo(w, h);
    clip.lineTo(w, 0);
    clip.lineTo(10, 0);
    painter.drawPath(clip);
    painter.setClipPath(clip, Qt::ReplaceClip);
    if (m_images.isEmpty()) {
        painter.fillRect(rect(), QColor(QStringLiteral("#D8D8D8")));
    } else if (m_images.size() == 1) {
        if (!m_images.first().isNull())
            painter.drawPixmap(rect(), m_images.first());
    } else {
        const double opacity = property(kOpacity).toDouble();
        if (!m_incoming.isNull()) {
            painter.setOpacity(1.0);
            painter.drawPixmap(rect(), m_incoming);
        }
        if (!m_outgoing.isNull()) {
            painter.setOpacity(opacity);
            painter.drawPixmap(rect(), m_outgoing);
        }
    }
}
