// The desktop-sync window over a test pattern: normal, tool bar open, a stroke drawn, full screen.

#include "tests/screenshots/QnShooter.h"

#include "QnBrush/src/QnBrushObject.h"
#include "client/ui/QnLynDesktopTool.h"
#include "client/ui/desktop/QnLynDesktop.h"
#include "lyn/input/QnLynInput.h"
#include "platform/scene/QnGraphicsView.h"
#include "platform/xtest/QnInputInjector.h"
#include "resources/QnResources.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

#include <cmath>

namespace {

/// Colour bars with a caption, as the receiver's 1920x1080 desktop, in I420 (BT.601 limited).
QByteArray testPattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    const QColor bars[] = {Qt::white,   Qt::yellow, Qt::cyan, Qt::green,
                           Qt::magenta, Qt::red,    Qt::blue, Qt::black};
    for (int i = 0; i < 8; ++i)
        p.fillRect(QRect(i * w / 8, 0, w / 8 + 1, h * 2 / 3), bars[i]);
    QLinearGradient ramp(0, 0, w, 0);
    ramp.setColorAt(0, Qt::black);
    ramp.setColorAt(1, Qt::white);
    p.fillRect(QRect(0, h * 2 / 3, w, h / 3), ramp);
    p.setPen(QColor(0x33, 0x33, 0x33));
    QFont f(QStringLiteral("PingFang SC"));
    f.setPixelSize(h / 12);
    p.setFont(f);
    p.drawText(QRect(0, h * 2 / 3, w, h / 3), Qt::AlignCenter, QStringLiteral("接收端桌面 1920×1080"));
    p.end();
    const int cw = w / 2, ch = h / 2;
    QByteArray yp(w * h, '\0'), up(cw * ch, '\0'), vp(cw * ch, '\0');
    for (int y = 0; y < h; ++y) {
        const QRgb *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const double r = qRed(line[x]) / 255.0, g = qGreen(line[x]) / 255.0, b = qBlue(line[x]) / 255.0;
            yp[y * w + x] = char(qRound(16 + 65.481 * r + 128.553 * g + 24.966 * b));
            if (x % 2 == 0 && y % 2 == 0) {
                up[(y / 2) * cw + x / 2] = char(qRound(128 - 37.797 * r - 74.203 * g + 112.0 * b));
                vp[(y / 2) * cw + x / 2] = char(qRound(128 + 112.0 * r - 93.786 * g - 18.214 * b));
            }
        }
    }
    return yp + up + vp;
}

void mouse(QWidget *w, QEvent::Type type, const QPoint &pt, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent e(type, pt, w->mapToGlobal(pt), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void drag(QWidget *vp, const QList<QPoint> &points)
{
    mouse(vp, QEvent::MouseButtonPress, points.first(), Qt::LeftButton, Qt::LeftButton);
    for (const QPoint &pt : points)
        mouse(vp, QEvent::MouseMove, pt, Qt::NoButton, Qt::LeftButton);
    mouse(vp, QEvent::MouseButtonRelease, points.last(), Qt::LeftButton, Qt::NoButton);
}

/// What the X server shows of the window: the video view composes through OpenGL, so the pixels
/// are read from the screen rather than rendered again.
void shootScreen(QnShooter &shooter, const QString &name, QWidget *window)
{
    if (!shooter.wants(name))
        return;
    QnShooter::settle(200);
    QScreen *screen = window->screen();
    const QImage img = screen->grabWindow(window->winId()).toImage();
    shooter.write(name, QnShooter::onBackdrop(img, QColor(0xD9, 0xDD, 0xE3)));
}

} // namespace

void desktopShots(QnShooter &shooter)
{
    QnResources::init();
    QnLynInput input(nullptr);
    QnLynDesktop desk(nullptr, &input);
    desk.setLayoutDelay(0);
    desk.setInfo(QStringLiteral("rx-1"), QStringLiteral("教室一"), QStringLiteral("http://127.0.0.1"), 1920,
                 1080);
    desk.resize(1280, 756);
    desk.show();
    desk.setYuvData(testPattern(1920, 1080), 1920, 1080);
    QnShooter::settle(400);
    shootScreen(shooter, QStringLiteral("QnLynDesktop-normal"), &desk);

    // the tool bar opened with its show/hide button
    QnLynDesktopTool *tool = desk.tool();
    if (auto *hide = tool->findChild<QPushButton *>(QStringLiteral("hideButton")))
        hide->click();
    QnShooter::settle(300);
    shootScreen(shooter, QStringLiteral("QnLynDesktop-toolbar"), &desk);

    emit tool->sigPen(QColor(0xDE, 0x6F, 0x6F));
    QnShooter::settle(100);
    QWidget *vp = desk.brush()->view()->viewport();
    QList<QPoint> points;
    for (int i = 0; i <= 40; ++i)
        points.append(QPoint(200 + i * 12, 300 + int(80 * std::sin(i / 6.0))));
    drag(vp, points);
    QnShooter::settle(200);
    shootScreen(shooter, QStringLiteral("QnLynDesktop-stroke"), &desk);

    desk.on_fullButton_clicked();
    QnShooter::settle(400);
    shootScreen(shooter, QStringLiteral("QnLynDesktop-fullscreen"), &desk);
    desk.resetDesktop();
}
