// Shots of the cover-flow browser and the media tile. Sample pictures drawn here; no network.
#include "tests/screenshots/QnShooter.h"

#include "client/ui/coverflow/PictureFlow.h"
#include "client/ui/media/QnVideoItem.h"
#include "client/ui/media/QnVideoProgressBar.h"

#include <QLinearGradient>
#include <QPainter>

#include <vector>

namespace {

QImage cover(int index)
{
    static const QColor colours[] = {QColor(0xDE, 0x6F, 0x6F), QColor(0x4A, 0x90, 0xE2),
                                     QColor(0x50, 0xB8, 0x7A), QColor(0xF2, 0xB1, 0x3C),
                                     QColor(0x8E, 0x6F, 0xDE)};
    QImage image(240, 320, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 320);
    g.setColorAt(0, colours[index % 5].lighter(130));
    g.setColorAt(1, colours[index % 5].darker(130));
    p.fillRect(image.rect(), g);
    p.setPen(QPen(Qt::white, 6));
    p.drawEllipse(QPoint(120, 140), 60, 60);
    QFont font(QStringLiteral("PingFang SC"), 28, QFont::Bold);
    p.setFont(font);
    p.drawText(QRect(0, 220, 240, 60), Qt::AlignCenter, QString::number(index + 1));
    return image;
}

// A test picture as I420: colour bars with a moving box, like the decoder would hand over.
QByteArray sampleFrame(int w, int h)
{
    QImage rgb(w, h, QImage::Format_RGB32);
    QPainter p(&rgb);
    const QColor bars[] = {Qt::white, Qt::yellow, Qt::cyan, Qt::green, Qt::magenta, Qt::red, Qt::blue};
    for (int i = 0; i < 7; ++i)
        p.fillRect(QRect(i * w / 7, 0, w / 7 + 1, h), bars[i]);
    p.fillRect(QRect(w / 3, h / 3, w / 3, h / 3), QColor(0x33, 0x33, 0x33));
    p.end();
    std::vector<uchar> out(size_t(w * h * 3 / 2), 0);
    uchar *y = out.data();
    uchar *u = y + w * h;
    uchar *v = u + (w / 2) * (h / 2);
    for (int row = 0; row < h; ++row)
        for (int col = 0; col < w; ++col) {
            const QRgb c = rgb.pixel(col, row);
            const int r = qRed(c), g = qGreen(c), b = qBlue(c);
            y[row * w + col] = uchar(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
            if (row % 2 == 0 && col % 2 == 0) {
                u[(row / 2) * (w / 2) + col / 2] = uchar(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
                v[(row / 2) * (w / 2) + col / 2] = uchar(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
            }
        }
    return QByteArray(reinterpret_cast<const char *>(out.data()), int(out.size()));
}

} // namespace

void mediaShots(QnShooter &shooter)
{
    if (shooter.wants(QStringLiteral("PictureFlow-five")) ||
        shooter.wants(QStringLiteral("PictureFlow-next"))) {
        PictureFlow flow;
        flow.resize(900, 480);
        flow.setSlideSize(QSize(240, 320));
        flow.setSlideCount(5);
        const QStringList captions = {QStringLiteral("语文"), QStringLiteral("数学"), QStringLiteral("英语"),
                                      QStringLiteral("物理"), QStringLiteral("化学")};
        for (int i = 0; i < 5; ++i) {
            flow.setSlide(i, cover(i));
            flow.setSlideCaption(i, captions.at(i));
        }
        flow.setCurrentSlide(2);
        flow.render();
        shooter.shoot(QStringLiteral("PictureFlow-five"), &flow);
        flow.showNext();
        flow.animateStep();
        flow.animateStep();
        flow.render();
        shooter.shoot(QStringLiteral("PictureFlow-next"), &flow);
    }
    for (const bool playing : {true, false}) {
        const QString name =
            playing ? QStringLiteral("QnVideoItem-playing") : QStringLiteral("QnVideoItem-paused");
        if (!shooter.wants(name))
            continue;
        QnVideoItem item(QStringLiteral("peer-1"));
        item.resize(640, 360);
        item.setYuvData(sampleFrame(640, 360), 640, 360);
        QnVideoProgressBar *bar = item.progressBar();
        bar->setDuration(185000);
        bar->setPosition(playing ? 72000 : 41000);
        bar->setPlaying(playing);
        if (!playing)
            bar->volumeBar()->show();
        shooter.shoot(name, &item);
    }
}
