#include "tests/screenshots/QnShooter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

#include <cstdio>

QnShooter::QnShooter(const QString &dir, const QStringList &filters) : m_dir(dir), m_filters(filters) {}

bool QnShooter::wants(const QString &name) const
{
    if (m_filters.isEmpty())
        return true;
    for (const QString &f : m_filters) {
        if (name.contains(f, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void QnShooter::settle(int msec)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < msec)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QImage QnShooter::grab(QWidget *widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage QnShooter::onBackdrop(const QImage &image, const QColor &backdrop, int margin)
{
    QImage out(image.width() + 2 * margin, image.height() + 2 * margin, QImage::Format_RGB32);
    out.fill(backdrop);
    QPainter p(&out);
    p.drawImage(margin, margin, image);
    return out;
}

void QnShooter::shoot(const QString &name, QWidget *widget, const QColor &backdrop)
{
    if (!widget->isVisible())
        widget->show();
    settle();
    write(name, onBackdrop(grab(widget), backdrop));
}

void QnShooter::write(const QString &name, const QImage &image)
{
    const QString path = m_dir.filePath(name + QStringLiteral(".png"));
    if (image.isNull() || !image.save(path, "PNG")) {
        std::fprintf(stderr, "screenshots: could not write %s\n", qPrintable(path));
        m_failed = true;
        return;
    }
    m_written << path;
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
}
