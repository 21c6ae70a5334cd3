#include "qnloginbase/src/UI/ImageClipHelper.h"

#include <QFontMetrics>
#include <QImageReader>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

#include <cstdlib>

namespace {

QList<QPoint> handlePoints(const QRect &f)
{
    const QPoint c = f.center();
    return {f.topLeft(),
            QPoint(c.x(), f.top()),
            f.topRight(),
            QPoint(f.left(), c.y()),
            QPoint(f.right(), c.y()),
            f.bottomLeft(),
            QPoint(c.x(), f.bottom()),
            f.bottomRight()};
}

} // namespace

ImageClipHelper::ImageClipHelper(QWidget *parent) : QWidget(parent)
{
    setMouseTracking(true);
}

bool ImageClipHelper::setImage(const QString &path)
{
    QImageReader reader(path);
    m_source = reader.read();
    m_shown = m_source;
    m_imageRect = m_shown.rect();
    m_imageRect.moveCenter(rect().center());
    m_liveImageRect = m_imageRect;
    m_cropFrame = QRect(0, 0, 130, 130);
    m_cropFrame.moveCenter(rect().center());
    m_liveCropFrame = m_cropFrame;
    update();
    return !m_source.isNull();
}

int ImageClipHelper::zoneAt(const QRect &frame, const QPoint &point)
{
    const QList<QPoint> handles = handlePoints(frame);
    for (int i = 0; i < handles.size(); ++i) {
        const QPoint d = point - handles.at(i);
        if (d.x() * d.x() + d.y() * d.y() <= 9)
            return i + 1;
    }
    return frame.contains(point) ? Inside : Outside;
}

int ImageClipHelper::hitTest(const QPoint &point)
{
    static const Qt::CursorShape cursors[] = {
        Qt::ArrowCursor,     Qt::SizeFDiagCursor,    Qt::SizeVerCursor,   Qt::SizeBDiagCursor,
        Qt::SizeHorCursor,   Qt::SizeHorCursor,      Qt::SizeBDiagCursor, Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::PointingHandCursor, Qt::ArrowCursor};
    const int zone = zoneAt(m_cropFrame, point);
    setCursor(cursors[zone]);
    return zone;
}

QRect ImageClipHelper::dragged(const QRect &frame, int zone, const QPoint &offset)
{
    QRect f = frame;
    const int dx = offset.x();
    const int dy = offset.y();
    switch (zone) {
    case Inside:
        f.translate(dx, dy);
        break;
    case TopLeft:
        f.setTopLeft(QPoint(f.left() + dx, f.top() + dx));
        break;
    case Top:
        f.setTopRight(QPoint(f.right() - dy, f.top() + dy));
        break;
    case TopRight:
        f.setTopRight(QPoint(f.right() + dx, f.top() - dx));
        break;
    case Left:
    case BottomLeft:
        f.setBottomLeft(QPoint(f.left() + dx, f.bottom() - dx));
        break;
    case Right:
    case BottomRight:
        f.setBottomRight(QPoint(f.right() + dx, f.bottom() + dx));
        break;
    case Bottom:
        f.setBottomRight(QPoint(f.right() + dy, f.bottom() + dy));
        break;
    default:
        break;
    }
    return f;
}

QRect ImageClipHelper::limited(const QRect &b, QRect f, int zone)
{
    if (b.contains(f))
        return f;
    enum Edge { L, T, R, B };
    // Puts an edge that lies outside the bounds onto the bound; true when it moved.
    auto clampEdge = [&](Edge edge) {
        switch (edge) {
        case L:
            if (f.left() < b.left() || f.left() > b.right()) {
                f.setLeft(f.left() < b.left() ? b.left() : b.right());
                return true;
            }
            return false;
        case T:
            if (f.top() < b.top() || f.top() > b.bottom()) {
                f.setTop(f.top() < b.top() ? b.top() : b.bottom());
                return true;
            }
            return false;
        case R:
            if (f.right() < b.left() || f.right() > b.right()) {
                f.setRight(f.right() < b.left() ? b.left() : b.right());
                return true;
            }
            return false;
        case B:
            if (f.bottom() < b.top() || f.bottom() > b.bottom()) {
                f.setBottom(f.bottom() < b.top() ? b.top() : b.bottom());
                return true;
            }
            return false;
        }
        return false;
    };
    // Moves the compensating edge so that the frame is square again.
    auto square = [&](Edge by) {
        switch (by) {
        case L:
            f.setLeft(f.right() - f.height() + 1);
            break;
        case T:
            f.setTop(f.bottom() - f.width() + 1);
            break;
        case R:
            f.setRight(f.left() + f.height() - 1);
            break;
        case B:
            f.setBottom(f.top() + f.width() - 1);
            break;
        }
    };
    auto check = [&](Edge edge, Edge by) {
        if (clampEdge(edge))
            square(by);
    };
    switch (zone) {
    case TopLeft:
        check(L, T);
        check(T, L);
        break;
    case Top:
        check(T, R);
        check(R, T);
        break;
    case TopRight:
        check(R, T);
        check(T, R);
        break;
    case Left:
    case BottomLeft:
        check(L, B);
        check(B, L);
        break;
    case Right:
    case BottomRight:
        check(R, B);
        check(B, R);
        break;
    case Bottom:
        check(B, R);
        check(R, B);
        break;
    case Inside:
        if (f.left() < b.left())
            f.moveLeft(b.left());
        else if (f.left() > b.right())
            f.moveLeft(b.right());
        if (f.top() < b.top())
            f.moveTop(b.top());
        else if (f.top() > b.bottom())
            f.moveTop(b.bottom());
        if (f.right() > b.right())
            f.moveRight(b.right());
        else if (f.right() < b.left())
            f.moveRight(b.left());
        if (f.bottom() > b.bottom())
            f.moveBottom(b.bottom());
        else if (f.bottom() < b.top())
            f.moveBottom(b.top());
        break;
    default:
        break;
    }
    return f;
}

void ImageClipHelper::mousePressEvent(QMouseEvent *event)
{
    QWidget::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_pressX = event->pos().x();
    m_pressY = event->pos().y();
    m_zone = hitTest(event->pos());
}

void ImageClipHelper::mouseMoveEvent(QMouseEvent *event)
{
    QWidget::mouseMoveEvent(event);
    if (!m_pressed)
        m_zone = hitTest(event->pos());
    if (!(event->buttons() & Qt::LeftButton) || !m_pressed)
        return;
    m_dragX = event->pos().x() - m_pressX;
    m_dragY = event->pos().y() - m_pressY;
    if (m_zone == Outside) {
        m_liveImageRect = m_imageRect.translated(m_dragX, m_dragY);
        update();
        return;
    }
    m_liveCropFrame = limited(rect(), dragged(m_cropFrame, m_zone, QPoint(m_dragX, m_dragY)), m_zone);
    update();
}

void ImageClipHelper::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    m_cropFrame = m_liveCropFrame;
    m_imageRect = m_liveImageRect;
}

void ImageClipHelper::wheelEvent(QWheelEvent *event)
{
    QWidget::wheelEvent(event);
    // Without a picture there is no position to keep: the step is dropped.
    if (m_source.isNull() || m_imageRect.width() <= 0 || m_imageRect.height() <= 0)
        return;
    if (event->angleDelta().y() > 0)
        m_zoom = qMin(m_zoom + 1, 40);
    else
        m_zoom = qMax(m_zoom - 1, 5);
    const QPoint c = m_cropFrame.center();
    const float fx = float(m_imageRect.left() - c.x()) / float(m_imageRect.width());
    const float fy = float(m_imageRect.top() - c.y()) / float(m_imageRect.height());
    const QSize target(qRound(m_source.width() * m_zoom / 10.0), qRound(m_source.height() * m_zoom / 10.0));
    m_shown = m_source.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const int w = m_shown.width();
    const int h = m_shown.height();
    m_imageRect =
        QRect(QPoint(c.x() + static_cast<int>(float(w) * fx), c.y() + static_cast<int>(float(h) * fy)),
              m_shown.size());
    m_liveImageRect = m_imageRect;
    update();
}

QString ImageClipHelper::sizeLabelText() const
{
    return QStringLiteral("%1*%1").arg(std::abs(m_liveCropFrame.width()));
}

QRect ImageClipHelper::sizeLabelRect() const
{
    QFont font = this->font();
    font.setPixelSize(12);
    QRect label = QFontMetrics(font).boundingRect(sizeLabelText()).adjusted(0, 0, 5, 0);
    const bool positive = m_liveCropFrame.width() > 0 && m_liveCropFrame.height() > 0;
    const QPoint corner = positive ? m_liveCropFrame.topLeft() : m_liveCropFrame.bottomRight();
    label.moveBottomLeft(corner - QPoint(0, 5));
    if (!rect().contains(label))
        label.moveTopLeft(corner + QPoint(0, 5));
    return label;
}

void ImageClipHelper::paintEvent(QPaintEvent *event)
{
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!m_shown.isNull())
        painter.drawImage(m_liveImageRect, m_shown);
    QPainterPath mask;
    mask.setFillRule(Qt::OddEvenFill);
    mask.addRect(rect());
    mask.addRect(m_liveCropFrame);
    painter.setPen(Qt::NoPen);
    painter.fillPath(mask, QColor(0, 0, 0, 160));
    painter.setBrush(QColor(QStringLiteral("#00B0AE")));
    for (const QPoint &p : handlePoints(m_liveCropFrame))
        painter.drawEllipse(p, 3, 3);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QRect label = sizeLabelRect();
    painter.fillRect(label, QColor(0, 0, 0, 192));
    painter.setPen(Qt::white);
    painter.drawText(label, Qt::AlignCenter, sizeLabelText());
}

QImage ImageClipHelper::clippedImage() const
{
    if (m_cropFrame.width() <= 0 || m_cropFrame.height() <= 0)
        return QImage();
    QImage result(m_cropFrame.size(), QImage::Format_ARGB32);
    result.fill(Qt::transparent);
    const QRect source = m_cropFrame.translated(-m_imageRect.topLeft());
    if (!m_shown.isNull()) {
        QPainter painter(&result);
        painter.drawImage(QPoint(-source.left(), -source.top()), m_shown);
    }
    return result;
}
