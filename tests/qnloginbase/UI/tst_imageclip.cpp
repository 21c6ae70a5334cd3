// The avatar crop: handle drags and pans, wheel zoom around the frame's centre and its limits, the
// clipped image, the size label, a wheel with no picture, an unloadable picture, and the buttons.

#include "qnloginbase/src/UI/ImageClipHelper.h"
#include "qnloginbase/src/UI/QnImageClip.h"
#include "resources/QnResources.h"

#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

namespace {

QImage gradient(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, 0));
    return image;
}

void wheel(QWidget *widget, int delta)
{
    const QPointF pos(widget->width() / 2.0, widget->height() / 2.0);
    QWheelEvent event(pos, widget->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *widget, const QPoint &from, const QPoint &offset)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    // QTest::mouseMove sends no buttons: send the move with the left button held.
    QMouseEvent move(QEvent::MouseMove, from + offset, widget->mapToGlobal(from + offset), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, from + offset);
}

} // namespace

class TestImageClip : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;
    QString m_picture;

private Q_SLOTS:
    void initTestCase()
    {
        QnResources::init();
        QVERIFY(m_dir.isValid());
        m_picture = m_dir.filePath(QStringLiteral("picture.png"));
        QVERIFY(gradient(400, 300).save(m_picture));
    }

    void initialPlacement()
    {
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        QVERIFY(clip.setImage(m_picture));
        QCOMPARE(clip.cropFrame(), QRect(198, 88, 130, 130));
        QCOMPARE(clip.imageRect(), QRect(63, 3, 400, 300));
        QCOMPARE(clip.zoom(), 10);
        QCOMPARE(clip.sizeLabelText(), QStringLiteral("130*130"));
        QCOMPARE(clip.sizeLabelRect().bottomLeft(), QPoint(198, 83));
        const QImage cut = clip.clippedImage();
        QCOMPARE(cut.size(), QSize(130, 130));
        QCOMPARE(cut.pixel(0, 0), qRgb(135, 85, 0));
        QCOMPARE(cut.pixel(129, 129), qRgb(264 % 256, 214, 0));
    }

    void drags_data()
    {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("offset");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<int>("zone");
        // Frame at start: (198, 88) to (327, 217), centre (262, 152).
        QTest::newRow("top-left +20,+5")
            << QPoint(198, 88) << QPoint(20, 5) << QRect(218, 108, 110, 110) << 1;
        QTest::newRow("top-middle uses dy")
            << QPoint(262, 88) << QPoint(7, 10) << QRect(198, 98, 120, 120) << 2;
        QTest::newRow("top-right +10,-4")
            << QPoint(327, 88) << QPoint(10, -4) << QRect(198, 78, 140, 140) << 3;
        QTest::newRow("left-middle uses dx")
            << QPoint(198, 152) << QPoint(10, 30) << QRect(208, 88, 120, 120) << 4;
        QTest::newRow("right-middle") << QPoint(327, 152) << QPoint(-30, 9) << QRect(198, 88, 100, 100) << 5;
        QTest::newRow("bottom-left") << QPoint(198, 217) << QPoint(-10, 0) << QRect(188, 88, 140, 140) << 6;
        QTest::newRow("bottom-middle uses dy")
            << QPoint(262, 217) << QPoint(50, 20) << QRect(198, 88, 150, 150) << 7;
        QTest::newRow("bottom-right past both edges")
            << QPoint(327, 217) << QPoint(300, 300) << QRect(198, 88, 217, 217) << 8;
        QTest::newRow("top-left past the top")
            << QPoint(198, 88) << QPoint(-150, 0) << QRect(110, 0, 218, 218) << 1;
        QTest::newRow("move") << QPoint(250, 150) << QPoint(-20, 30) << QRect(178, 118, 130, 130) << 9;
        QTest::newRow("move past the right")
            << QPoint(250, 150) << QPoint(400, 0) << QRect(395, 88, 130, 130) << 9;
        QTest::newRow("move past the top-left")
            << QPoint(250, 150) << QPoint(-400, -400) << QRect(0, 0, 130, 130) << 9;
        QTest::newRow("pan outside") << QPoint(20, 20) << QPoint(30, 20) << QRect(198, 88, 130, 130) << 10;
    }
    void drags()
    {
        QFETCH(QPoint, from);
        QFETCH(QPoint, offset);
        QFETCH(QRect, frame);
        QFETCH(int, zone);
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        QVERIFY(clip.setImage(m_picture));
        clip.show();
        drag(&clip, from, offset);
        QCOMPARE(clip.zone(), zone);
        QCOMPARE(clip.cropFrame(), frame);
        QCOMPARE(clip.liveCropFrame(), frame);
        QVERIFY(clip.rect().contains(clip.cropFrame()));
        if (zone == 10) {
            QCOMPARE(clip.imageRect(), QRect(63, 3, 400, 300).translated(offset));
            QCOMPARE(clip.clippedImage().pixel(0, 0), qRgb(135 - 30, 85 - 20, 0));
        } else {
            QCOMPARE(clip.imageRect(), QRect(63, 3, 400, 300));
        }
    }

    void squareKeptWhenResizedPastEdge()
    {
        // A frame resized past an edge stays square (its width and height agree).
        const QRect bounds(0, 0, 525, 305);
        for (int zone = 1; zone <= 8; ++zone) {
            for (const QPoint &offset :
                 {QPoint(-500, -500), QPoint(500, 500), QPoint(500, -500), QPoint(-500, 500)}) {
                const QRect f = ImageClipHelper::limited(
                    bounds, ImageClipHelper::dragged(QRect(198, 88, 130, 130), zone, offset), zone);
                if (f.width() > 0 && f.height() > 0) {
                    QCOMPARE(f.width(), f.height());
                }
            }
        }
    }

    void cursorsFollowZones_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("shape");
        QTest::newRow("top-left") << QPoint(199, 89) << int(Qt::SizeFDiagCursor);
        QTest::newRow("top") << QPoint(262, 86) << int(Qt::SizeVerCursor);
        QTest::newRow("right") << QPoint(329, 152) << int(Qt::SizeHorCursor);
        QTest::newRow("bottom-left") << QPoint(198, 219) << int(Qt::SizeBDiagCursor);
        QTest::newRow("inside") << QPoint(250, 150) << int(Qt::PointingHandCursor);
        QTest::newRow("outside") << QPoint(10, 10) << int(Qt::ArrowCursor);
    }
    void cursorsFollowZones()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, shape);
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        clip.setImage(m_picture);
        clip.show();
        QTest::mouseMove(&clip, pos);
        QMouseEvent move(QEvent::MouseMove, pos, clip.mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(&clip, &move);
        QCOMPARE(int(clip.cursor().shape()), shape);
    }

    void zoomSteps_data()
    {
        QTest::addColumn<int>("delta");
        QTest::addColumn<int>("steps");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("one up") << 120 << 1 << 11 << QSize(440, 330);
        QTest::newRow("30 up") << 120 << 30 << 40 << QSize(1600, 1200);
        QTest::newRow("35 up clamps") << 120 << 35 << 40 << QSize(1600, 1200);
        QTest::newRow("small delta is one step") << 1 << 1 << 11 << QSize(440, 330);
        QTest::newRow("5 down") << -120 << 5 << 5 << QSize(200, 150);
        QTest::newRow("9 down clamps") << -120 << 9 << 5 << QSize(200, 150);
        QTest::newRow("zero delta is down") << 0 << 1 << 9 << QSize(360, 270);
    }
    void zoomSteps()
    {
        QFETCH(int, delta);
        QFETCH(int, steps);
        QFETCH(int, zoom);
        QFETCH(QSize, shown);
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        QVERIFY(clip.setImage(m_picture));
        // Move the frame off-centre first so that the fixed point is not the picture's centre.
        clip.show();
        drag(&clip, QPoint(250, 150), QPoint(-90, -40));
        const QPoint c = clip.cropFrame().center();
        for (int i = 0; i < steps; ++i) {
            // Each step keeps the picture point under the frame's centre within a pixel.
            const QRect before = clip.imageRect();
            const double px = double(c.x() - before.left()) / before.width();
            const double py = double(c.y() - before.top()) / before.height();
            wheel(&clip, delta);
            const QRect r = clip.imageRect();
            QVERIFY2(qAbs(r.left() + px * r.width() - c.x()) <= 1.0, qPrintable(QString::number(i)));
            QVERIFY(qAbs(r.top() + py * r.height() - c.y()) <= 1.0);
        }
        QCOMPARE(clip.zoom(), zoom);
        QCOMPARE(clip.shownSize(), shown);
        QCOMPARE(clip.imageRect().size(), shown);
        QCOMPARE(clip.cropFrame().size(), QSize(130, 130));
        QCOMPARE(clip.clippedImage().size(), QSize(130, 130));
    }

    void wheelWithoutPicture()
    {
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        clip.show();
        wheel(&clip, 120);
        wheel(&clip, -120);
        QCOMPARE(clip.zoom(), 10);
        QVERIFY(clip.imageRect().isEmpty());
        QVERIFY(!clip.setImage(m_dir.filePath(QStringLiteral("missing.png"))));
        wheel(&clip, 120);
        QCOMPARE(clip.zoom(), 10);
        QCOMPARE(clip.cropFrame(), QRect(198, 88, 130, 130));
        const QImage cut = clip.clippedImage();
        QCOMPARE(cut.size(), QSize(130, 130));
        QCOMPARE(qAlpha(cut.pixel(60, 60)), 0);
        clip.repaint();
    }

    void frameOffPictureTransparent()
    {
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        QVERIFY(clip.setImage(m_picture));
        clip.show();
        drag(&clip, QPoint(250, 150), QPoint(-400, 0)); // frame to the left edge, picture starts at 63
        QCOMPARE(clip.cropFrame().left(), 0);
        const QImage cut = clip.clippedImage();
        QCOMPARE(qAlpha(cut.pixel(10, 50)), 0);
        QCOMPARE(cut.pixel(63, 50), qRgb(0, 135, 0));
    }

    void labelInsideNearTop()
    {
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        QVERIFY(clip.setImage(m_picture));
        clip.show();
        drag(&clip, QPoint(250, 150), QPoint(0, -400));
        QCOMPARE(clip.cropFrame().top(), 0);
        QCOMPARE(clip.sizeLabelRect().topLeft(), clip.cropFrame().topLeft() + QPoint(0, 5));
    }

    void collapsedFrame()
    {
        ImageClipHelper clip;
        clip.setFixedSize(525, 305);
        QVERIFY(clip.setImage(m_picture));
        clip.show();
        drag(&clip, QPoint(198, 88), QPoint(140, 0)); // past the opposite corner
        QVERIFY(clip.cropFrame().width() <= 0);
        QVERIFY(clip.clippedImage().isNull());
        QCOMPARE(clip.sizeLabelText(), QStringLiteral("%1*%1").arg(qAbs(clip.cropFrame().width())));
        clip.repaint();
    }

    void dialogButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("result");
        QTest::newRow("OK") << "okButton" << int(QDialog::Accepted);
        QTest::newRow("Cancel") << "cancelButton" << int(QDialog::Rejected);
        QTest::newRow("close") << "closeButton" << int(QDialog::Rejected);
    }
    void dialogButtons()
    {
        QFETCH(QString, button);
        QFETCH(int, result);
        QnImageClip dialog;
        QVERIFY(dialog.clippedImage().isNull());
        QVERIFY(!dialog.setImage(m_picture));
        dialog.initUI();
        QVERIFY(dialog.setImage(m_picture));
        dialog.setFixedSize(610, 480);
        QTimer::singleShot(
            0, &dialog, [&] { QTest::mouseClick(dialog.findChild<QToolButton *>(button), Qt::LeftButton); });
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(dialog.clippedImage().size(), QSize(130, 130));
    }

    void unloadablePictureRefused()
    {
        const QString bad = m_dir.filePath(QStringLiteral("bad.png"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        QnImageClip dialog;
        dialog.initUI();
        dialog.show();
        QVERIFY(!dialog.setImage(bad));
        auto *refused = dialog.findChild<QLabel *>(QStringLiteral("refusedLabel"));
        QVERIFY(refused->isVisible());
        QCOMPARE(refused->text(), QStringLiteral("The picture cannot be opened."));
        QVERIFY(!dialog.findChild<QToolButton *>(QStringLiteral("okButton"))->isEnabled());
        QVERIFY(dialog.setImage(m_picture));
        QVERIFY(!refused->isVisible());
        QVERIFY(dialog.findChild<QToolButton *>(QStringLiteral("okButton"))->isEnabled());
    }
};

QTEST_MAIN(TestImageClip)
#include "tst_imageclip.moc"
