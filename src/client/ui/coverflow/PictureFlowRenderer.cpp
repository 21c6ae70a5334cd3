#include "client/ui/coverflow/PictureFlowRenderer.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <array>
#include <cmath>

namespace PictureFlowMath {

namespace {
const std::array<int, 1024> &sineTable()
{
    static const std::array<int, 1024> table = [] {
        std::array<int, 1024> t{};
        for (int i = 0; i < 1024; ++i)
            t[size_t(i)] = int(std::floor(1024.0 * std::sin(2.0 * M_PI * (i + 0.5) / 1024.0)));
        return t;
    }();
    return table;
}
} // namespace

int fsin(int angle)
{
    return sineTable()[size_t(angle & 1023)];
}

int fcos(int angle)
{
    return fsin(angle + 256);
}

} // namespace PictureFlowMath

namespace {

using namespace PictureFlowMath;

constexpr int kFrameOne = 65536; // the animation frame: 16.16 fixed point

qint64 fmul(qint64 a, qint64 b)
{
    return (a * b) >> kShift;
}

qint64 fdiv(qint64 a, qint64 b)
{
    return b == 0 ? 0 : (a * kOne) / b;
}

} // namespace

PictureFlowRenderer::PictureFlowRenderer() : m_left(kSideSlides), m_right(kSideSlides)
{
    recalcLayout();
    reposition();
}

void PictureFlowRenderer::setSlideCount(int n)
{
    n = std::max(0, n);
    m_images.resize(n);
    m_captions.resize(n);
    m_cache.clear();
    if (m_centerIndex >= n || m_target >= n) {
        m_centerIndex = m_target = std::max(0, n - 1);
        m_step = 0;
        m_frame = m_centerIndex * kFrameOne;
        m_fade = 256;
    }
    reposition();
}

void PictureFlowRenderer::setSlide(int index, const QImage &image)
{
    if (index < 0 || index >= slideCount())
        return;
    m_images[index] = image;
    m_cache.remove(index);
}

void PictureFlowRenderer::setCaption(int index, const QString &caption)
{
    if (index >= 0 && index < m_captions.size())
        m_captions[index] = caption;
}

QImage PictureFlowRenderer::slide(int index) const
{
    return index >= 0 && index < m_images.size() ? m_images.at(index) : QImage();
}

QString PictureFlowRenderer::caption(int index) const
{
    return index >= 0 && index < m_captions.size() ? m_captions.at(index) : QString();
}

void PictureFlowRenderer::setSlideSize(const QSize &size)
{
    m_slideSize = size;
    rebuild(m_buffer.size());
}

bool PictureFlowRenderer::setZoomFactor(int z)
{
    if (z <= 0)
        return false;
    m_zoom = z;
    rebuild(m_buffer.size());
    return true;
}

void PictureFlowRenderer::setCurrentSlide(int index)
{
    m_step = 0;
    m_centerIndex = m_target = std::max(0, std::min(index, slideCount() - 1));
    m_frame = m_centerIndex * kFrameOne;
    m_fade = 256;
    reposition();
}

bool PictureFlowRenderer::showNext(bool animationRunning)
{
    const int last = slideCount() - 1;
    if (m_step > 0) {
        m_target = std::min(m_centerIndex + 2, last);
        return false;
    }
    if (m_centerIndex >= last)
        return false;
    m_target = std::min(m_target + 1, last);
    if (animationRunning)
        return false;
    m_step = m_target < m_centerIndex ? -1 : 1;
    return true;
}

bool PictureFlowRenderer::showPrevious(bool animationRunning)
{
    if (m_step < 0) {
        m_target = std::max(m_centerIndex - 2, 0);
        return false;
    }
    if (m_centerIndex <= 0)
        return false;
    m_target = std::max(m_target - 1, 0);
    if (animationRunning)
        return false;
    m_step = m_target < m_centerIndex ? -1 : 1;
    return true;
}

bool PictureFlowRenderer::showSlide(int index, bool animationRunning)
{
    index = std::max(0, std::min(index, slideCount() - 1));
    if (index == m_centerIndex)
        return false;
    m_target = index;
    if (animationRunning)
        return false;
    m_step = m_target >= m_centerIndex ? 1 : -1;
    return true;
}

bool PictureFlowRenderer::animate()
{
    if (m_step == 0)
        return false;
    const qint64 targetFrame = qint64(m_target) * kFrameOne;
    const qint64 distance = std::llabs(targetFrame - m_frame);
    // Glide: faster while far away, never slower than a quarter slide per tick.
    const qint64 speed = 16384 + std::min<qint64>(distance, 2 * kFrameOne) / 8;
    qint64 frame = m_frame + speed * m_step;
    if ((m_step > 0 && frame >= targetFrame) || (m_step < 0 && frame <= targetFrame)) {
        m_centerIndex = m_target;
        m_frame = m_target * kFrameOne;
        m_step = 0;
        m_fade = 256;
        reposition();
        return false;
    }
    m_frame = int(frame);
    const int pos = m_frame & 0xffff;
    const int index = m_step > 0 ? (m_frame >> 16) : ((m_frame + kFrameOne - 1) >> 16);
    const qint64 tick = m_step > 0 ? pos : (pos == 0 ? 0 : kFrameOne - pos);
    const qint64 ftick = (tick * kOne) >> 16;
    if (index != m_centerIndex)
        m_centerIndex = index;
    reposition();
    m_center.cx = int(-m_step * ((qint64(m_offsetX) * tick) >> 16));
    m_center.cy = int((qint64(m_offsetY) * tick) >> 16);
    for (int i = 0; i < kSideSlides; ++i) {
        m_left[i].cx = int(-(m_offsetX + qint64(m_spacing) * i * kOne + m_step * m_spacing * ftick));
        m_right[i].cx = int(m_offsetX + qint64(m_spacing) * i * kOne - m_step * m_spacing * ftick);
    }
    const qint64 rest = kFrameOne - tick; // how far the incoming slide still is from the centre
    PictureFlowSlide &incoming = m_step > 0 ? m_right[0] : m_left[0];
    incoming.cx = int((m_step > 0 ? 1 : -1) * ((qint64(m_offsetX) * rest) >> 16));
    incoming.cy = int((qint64(m_offsetY) * rest) >> 16);
    if (m_target < index && m_step > 0)
        m_step = -1;
    else if (m_target > index && m_step < 0)
        m_step = 1;
    m_fade = int(tick / 256);
    return true;
}

void PictureFlowRenderer::reposition()
{
    m_center = PictureFlowSlide{m_centerIndex, 0, 0, 0};
    for (int i = 0; i < kSideSlides; ++i) {
        m_left[i] =
            PictureFlowSlide{m_centerIndex - 1 - i, 0, -(m_spacing * i * kOne) - m_offsetX, m_offsetY};
        m_right[i] = PictureFlowSlide{m_centerIndex + 1 + i, 0, m_spacing * i * kOne + m_offsetX, m_offsetY};
    }
}

void PictureFlowRenderer::recalcLayout()
{
    const int w = m_slideSize.width();
    m_spacing = w / 5;
    m_offsetX = w * kOne;
    m_offsetY = w / 2 * fsin(kTiltAngle) + w * kOne / 4;
}

void PictureFlowRenderer::rebuild(const QSize &bufferSize)
{
    m_rays.clear();
    if (bufferSize.width() > 0 && bufferSize.height() > 0) {
        m_buffer = QImage(bufferSize, QImage::Format_RGB16);
        m_buffer.fill(Qt::black);
        const int w = (bufferSize.width() + 1) / 2;
        const int h = (bufferSize.height() + 1) / 2;
        m_rays.resize(2 * w);
        for (int i = 0; i < w; ++i) {
            const int g = (kOne / 2 + i * kOne) / (2 * h);
            m_rays[w - i - 1] = -g;
            m_rays[w + i] = g;
        }
    } else {
        // A zero-sized widget has nothing to draw into: no buffer, no rays.
        m_buffer = QImage();
    }
    recalcLayout();
    reposition();
    m_cache.clear();
    m_blank = QImage();
}

QImage PictureFlowRenderer::blankSurface(const QSize &slideSize)
{
    if (slideSize.isEmpty())
        return QImage();
    QImage image(slideSize, QImage::Format_RGB16);
    const int w = slideSize.width();
    const int h = slideSize.height();
    QPainter painter(&image);
    QLinearGradient gradient(QPointF(w * 4 / 10.0, 0), QPointF(w * 6 / 10.0, h));
    gradient.setColorAt(0, Qt::black);
    gradient.setColorAt(1, Qt::white);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(QPen(QColor(64, 64, 64), 4, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.drawRect(2, 2, w - 4, h - 4);
    painter.end();
    return prepareSurface(image, slideSize);
}

QImage PictureFlowRenderer::prepareSurface(const QImage &image, const QSize &slideSize)
{
    const int w = slideSize.width();
    const int h = slideSize.height();
    if (w <= 0 || h <= 0 || image.isNull())
        return QImage();
    const QImage img = image.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                           .convertToFormat(QImage::Format_ARGB32);
    QImage result(2 * h, w, QImage::Format_RGB16);
    result.fill(Qt::black);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y)
            result.setPixel(h / 3 + y, x, img.pixel(x, y));
    const int ht = 2 * h - h - h / 3;
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < ht; ++y) {
            const QRgb color = img.pixel(x, h - y - 1);
            const int a = qAlpha(color);
            auto channel = [&](int c) { return c * a / 256 * (ht - y) / ht * 3 / 5; };
            result.setPixel(h + h / 3 + y, x,
                            qRgb(channel(qRed(color)), channel(qGreen(color)), channel(qBlue(color))));
        }
    }
    return result;
}

const QImage *PictureFlowRenderer::surface(int k)
{
    if (k < 0 || k >= slideCount())
        return nullptr;
    if (m_images.at(k).isNull()) {
        if (m_blank.isNull())
            m_blank = blankSurface(m_slideSize);
        return m_blank.isNull() ? nullptr : &m_blank;
    }
    auto it = m_cache.find(k);
    if (it == m_cache.end()) {
        QImage prepared = prepareSurface(m_images.at(k), m_slideSize);
        if (prepared.isNull())
            return nullptr;
        it = m_cache.insert(k, prepared);
    }
    return &it.value();
}

quint16 PictureFlowRenderer::blend(quint16 pixel, int alpha)
{
    const quint32 rb = ((quint32(pixel & 0xf81f) * quint32((alpha + 1) / 4)) >> 6) & 0xf81f;
    const quint32 g = ((quint32(pixel & 0x07e0) * quint32(alpha + 1)) >> 8) & 0x07e0;
    return quint16(rb | g);
}

QRect PictureFlowRenderer::renderSlide(const PictureFlowSlide &slide, int alpha, int col1, int col2)
{
    const int W = m_buffer.width();
    const int H = m_buffer.height();
    if (W <= 0 || H <= 0 || m_rays.size() < W)
        return QRect();
    const QImage *src = surface(slide.slideIndex);
    if (!src)
        return QRect();
    const int sw = src->height(); // a surface row is a slide column
    const int sh = src->width();
    if (col1 > col2)
        std::swap(col1, col2);
    col1 = std::min(std::max(col1, 0), W - 1);
    col2 = std::min(std::max(col2, 0), W - 1);

    const qint64 distance = qint64(H) * 100 / m_zoom;
    const qint64 sdx = fcos(slide.angle);
    const qint64 sdy = fsin(slide.angle);
    const qint64 xs = slide.cx - qint64(m_slideSize.width()) * sdx / 2;
    const qint64 ys = slide.cy - qint64(m_slideSize.width()) * sdy / 2;
    const qint64 depth = distance * kOne + ys;
    if (depth <= 0 || sdx == 0)
        return QRect();
    const qint64 xi = std::max<qint64>(0, (qint64(W) * kOne / 2 + fdiv(xs * H, depth)) >> kShift);
    if (xi >= W)
        return QRect();

    int left = -1;
    int right = -1;
    for (int x = std::max(int(xi), col1); x <= col2; ++x) {
        qint64 hity = 0;
        if (sdy != 0) {
            const qint64 fk = m_rays[x] - fdiv(sdx, sdy);
            if (fk == 0)
                continue;
            hity = -fdiv(m_rays[x] * distance - slide.cx + slide.cy * sdx / sdy, fk);
        }
        const qint64 dist = distance * kOne + hity;
        if (dist < 0)
            continue;
        const qint64 hitx = fmul(dist, m_rays[x]);
        const qint64 hitdist = fdiv(hitx - slide.cx, sdx);
        const qint64 column = sw / 2 + (hitdist >> kShift);
        if (column >= sw)
            break;
        if (column < 0)
            continue;
        if (left < 0)
            left = x;
        right = x;

        const auto *row = reinterpret_cast<const quint16 *>(src->constScanLine(int(column)));
        const qint64 dy = dist / H;
        const qint64 limit = qint64(sh) * kOne;
        qint64 p1 = qint64(sh / 2) * kOne - dy / 2;
        qint64 p2 = qint64(sh / 2) * kOne + dy / 2;
        int y1 = H / 2;
        int y2 = y1 + 1;
        // Fill from the middle row upwards and downwards, never reading outside the surface row.
        while (y1 >= 0 || y2 < H) {
            bool drawn = false;
            if (y1 >= 0 && p1 >= 0) {
                const quint16 pixel = row[p1 >> kShift];
                reinterpret_cast<quint16 *>(m_buffer.scanLine(y1))[x] =
                    alpha == 256 ? pixel : blend(pixel, alpha);
                drawn = true;
            }
            if (y2 < H && p2 >= 0 && p2 < limit) {
                const quint16 pixel = row[p2 >> kShift];
                reinterpret_cast<quint16 *>(m_buffer.scanLine(y2))[x] =
                    alpha == 256 ? pixel : blend(pixel, alpha);
                drawn = true;
            }
            if (!drawn)
                break;
            --y1;
            ++y2;
            p1 -= dy;
            p2 += dy;
        }
    }
    if (left < 0)
        return QRect();
    return QRect(left, 0, right - left + 1, H);
}

void PictureFlowRenderer::renderCaption(const QString &text, int alpha)
{
    if (text.isEmpty() || alpha <= 0)
        return;
    QPainter painter(&m_buffer);
    QFont font(QStringLiteral("Arial"), 14);
    font.setWeight(75);
    painter.setFont(font);
    painter.setPen(QColor(255, 255, 255, std::min(alpha, 255)));
    const int strip = std::max(0, (m_buffer.height() - m_slideSize.height()) / 4);
    painter.drawText(QRect(0, 0, m_buffer.width(), strip), Qt::AlignCenter, text);
}

void PictureFlowRenderer::render()
{
    if (m_buffer.isNull())
        return;
    m_buffer.fill(Qt::black);
    const int W = m_buffer.width();
    const QRect r = renderSlide(m_center, m_step == 0 ? 255 : 256, 0, W - 1);
    int c1 = r.isEmpty() ? W / 2 : r.left();
    int c2 = r.isEmpty() ? W / 2 - 1 : r.right();

    auto drawLeft = [&](int i, int alpha) {
        const QRect rs = renderSlide(m_left[i], alpha, 0, c1 - 1);
        if (!rs.isEmpty())
            c1 = rs.left();
    };
    auto drawRight = [&](int i, int alpha) {
        const QRect rs = renderSlide(m_right[i], alpha, c2 + 1, W - 1);
        if (!rs.isEmpty())
            c2 = rs.right();
    };

    if (m_step == 0) {
        for (int i = 0; i < kSideSlides - 1; ++i)
            if (c1 > 0)
                drawLeft(i, i < kSideSlides - 2 ? 256 : 128);
        for (int i = 0; i < kSideSlides - 1; ++i)
            if (c2 < W - 1)
                drawRight(i, i < kSideSlides - 2 ? 256 : 128);
        if (!m_captions.isEmpty())
            renderCaption(caption(m_centerIndex), 255);
        return;
    }

    const int f = m_fade;
    const int leftAlpha[2][3] = {{256 - f / 2, 128 - f / 2, 0}, {256, 256 - f / 2, 128 - f / 2}};
    const int rightAlpha[2][3] = {{256, 128 + f / 2, f / 2}, {128 + f / 2, f / 2, 0}};
    const int dir = m_step > 0 ? 0 : 1;
    for (int i = 0; i < kSideSlides; ++i)
        if (c1 > 0 && leftAlpha[dir][i] > 0)
            drawLeft(i, leftAlpha[dir][i]);
    for (int i = 0; i < kSideSlides; ++i)
        if (c2 < W - 1 && rightAlpha[dir][i] > 0)
            drawRight(i, rightAlpha[dir][i]);
    if (!m_captions.isEmpty()) {
        renderCaption(caption(m_centerIndex), 255 - std::min(f, 255));
        renderCaption(caption(m_centerIndex + m_step), std::min(f, 255));
    }
}
