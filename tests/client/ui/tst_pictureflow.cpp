// The cover-flow browser: layout values, ray table, index rules, navigation and the renderer.
#include "client/ui/coverflow/PictureFlow.h"
#include "client/ui/coverflow/PictureFlowRenderer.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

QImage colourImage(const QColor &colour, const QSize &size = QSize(60, 80))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

bool allBlack(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != qRgb(0, 0, 0))
                return false;
    return true;
}

} // namespace

class TestPictureFlow : public QObject
{
    Q_OBJECT
private slots:
    void sineTable()
    {
        QCOMPARE(PictureFlowMath::fsin(227), 1008);
        QCOMPARE(PictureFlowMath::fsin(0), 3);
        QCOMPARE(PictureFlowMath::fsin(256), 1023);
        QCOMPARE(PictureFlowMath::fcos(0), PictureFlowMath::fsin(256));
        QCOMPARE(PictureFlowMath::fsin(-1), PictureFlowMath::fsin(1023));
    }

    void layoutValues()
    {
        PictureFlowRenderer r;
        r.setSlideSize(QSize(150, 200));
        QCOMPARE(r.spacing(), 30);
        QCOMPARE(r.offsetX(), 150 * 1024);
        QCOMPARE(r.offsetY(), 75 * 1008 + 150 * 1024 / 4);
        r.setSlideCount(9);
        r.setCurrentSlide(4);
        QCOMPARE(r.centerSlide().slideIndex, 4);
        QCOMPARE(r.centerSlide().cx, 0);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(r.leftSlides().at(i).slideIndex, 3 - i);
            QCOMPARE(r.leftSlides().at(i).cx, -(30 * i * 1024) - 150 * 1024);
            QCOMPARE(r.leftSlides().at(i).cy, r.offsetY());
            QCOMPARE(r.leftSlides().at(i).angle, 0);
            QCOMPARE(r.rightSlides().at(i).slideIndex, 5 + i);
            QCOMPARE(r.rightSlides().at(i).cx, 30 * i * 1024 + 150 * 1024);
        }
    }

    void rayTable()
    {
        PictureFlowRenderer r;
        r.rebuild(QSize(4, 4));
        QCOMPARE(r.rays(), (QVector<int>{-384, -128, 128, 384}));
        QCOMPARE(r.buffer().format(), QImage::Format_RGB16);
        QCOMPARE(r.buffer().size(), QSize(4, 4));
    }

    void zeroSizeBuffer_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("height 0") << QSize(300, 0);
        QTest::newRow("width 0") << QSize(0, 200);
        QTest::newRow("empty") << QSize(0, 0);
    }
    void zeroSizeBuffer()
    {
        QFETCH(QSize, size);
        PictureFlowRenderer r;
        r.setSlideCount(3);
        r.rebuild(size);
        QVERIFY(r.buffer().isNull());
        QVERIFY(r.rays().isEmpty());
        r.render();
        QVERIFY(r.renderSlide(r.centerSlide(), 256, 0, 100).isEmpty());
        QVERIFY(r.setZoomFactor(50));

        PictureFlow flow;
        flow.setSlideCount(3);
        flow.resize(size);
        flow.render();
        QCOMPARE(flow.slideCount(), 3);
    }

    void surfaceIndexRange_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("valid");
        QTest::newRow("-1") << -1 << false;
        QTest::newRow("0") << 0 << true;
        QTest::newRow("count - 1") << 4 << true;
        QTest::newRow("count") << 5 << false;
        QTest::newRow("count + 1") << 6 << false;
    }
    void surfaceIndexRange()
    {
        QFETCH(int, index);
        QFETCH(bool, valid);
        PictureFlowRenderer r;
        r.setSlideSize(QSize(60, 80));
        r.setSlideCount(5);
        r.setSlide(0, colourImage(Qt::red));
        QCOMPARE(r.surface(index) != nullptr, valid);
        r.setSlide(index, colourImage(Qt::blue)); // ignored outside the range
        QCOMPARE(r.slideCount(), 5);
    }

    void surfaceShape()
    {
        const QImage s = PictureFlowRenderer::prepareSurface(colourImage(Qt::white), QSize(60, 80));
        QCOMPARE(s.size(), QSize(160, 60));                     // 2h wide, w high
        QCOMPARE(s.pixel(80 / 3 + 10, 5), qRgb(255, 255, 255)); // the slide
        QCOMPARE(s.pixel(0, 5), qRgb(0, 0, 0));                 // above the slide
        const QRgb reflection = s.pixel(80 + 80 / 3, 5);        // first reflection row: 255 * 255/256 * 3/5
        QVERIFY(qRed(reflection) > 130 && qRed(reflection) < 160);
        // A null image is drawn as the blank surface.
        PictureFlowRenderer r;
        r.setSlideSize(QSize(60, 80));
        r.setSlideCount(2);
        const QImage *blank = r.surface(1);
        QVERIFY(blank);
        QCOMPARE(blank->size(), QSize(160, 60));
        QCOMPARE(*blank, PictureFlowRenderer::blankSurface(QSize(60, 80)));
    }

    void blend_data()
    {
        QTest::addColumn<int>("pixel");
        QTest::addColumn<int>("alpha");
        QTest::addColumn<int>("expected");
        QTest::newRow("white 256") << 0xffff << 256 << 0xffff;
        QTest::newRow("white 255") << 0xffff << 255 << 0xffff;
        QTest::newRow("white 128") << 0xffff << 128 << 0x7bef;
        QTest::newRow("white 0") << 0xffff << 0 << 0x0000;
        QTest::newRow("red 128") << 0xf800 << 128 << 0x7800;
    }
    void blend()
    {
        QFETCH(int, pixel);
        QFETCH(int, alpha);
        QFETCH(int, expected);
        QCOMPARE(int(PictureFlowRenderer::blend(quint16(pixel), alpha)), expected);
    }

    void setCurrentSlideClamps_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("centre");
        QTest::newRow("inside") << 5 << 2 << 2;
        QTest::newRow("negative") << 5 << -3 << 0;
        QTest::newRow("count") << 5 << 5 << 4;
        QTest::newRow("far") << 5 << 70 << 4;
        QTest::newRow("no slides") << 0 << 3 << 0;
    }
    void setCurrentSlideClamps()
    {
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(int, centre);
        PictureFlow flow;
        flow.setSlideCount(count);
        flow.setProperty("currentSlide", index);
        QCOMPARE(flow.currentSlide(), centre);
        QCOMPARE(flow.renderer().targetIndex(), centre);
        QCOMPARE(flow.renderer().step(), 0);
        QCOMPARE(flow.renderer().frame(), centre * 65536);
    }

    void navigation_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("centre");
        QTest::addColumn<QString>("actions"); // n = next, p = previous, s<k> = show slide k
        QTest::addColumn<int>("target");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("animating");
        QTest::newRow("next") << 5 << 2 << "n" << 3 << 1 << true;
        QTest::newRow("previous") << 5 << 2 << "p" << 1 << -1 << true;
        QTest::newRow("next on last") << 5 << 4 << "n" << 4 << 0 << false;
        QTest::newRow("previous on first") << 5 << 0 << "p" << 0 << 0 << false;
        QTest::newRow("next twice: two past centre") << 5 << 1 << "nn" << 3 << 1 << true;
        QTest::newRow("next thrice: still two past") << 9 << 1 << "nnn" << 3 << 1 << true;
        QTest::newRow("next twice near the end") << 5 << 3 << "nn" << 4 << 1 << true;
        QTest::newRow("previous thrice: two before") << 9 << 6 << "ppp" << 4 << -1 << true;
        QTest::newRow("show slide ahead") << 9 << 1 << "s6" << 6 << 1 << true;
        QTest::newRow("show slide behind") << 9 << 5 << "s2" << 2 << -1 << true;
        QTest::newRow("show centre") << 9 << 5 << "s5" << 5 << 0 << false;
        QTest::newRow("show beyond count") << 9 << 2 << "s9" << 8 << 1 << true;
        QTest::newRow("show negative") << 9 << 2 << "s-4" << 0 << -1 << true;
        QTest::newRow("next with no slides") << 0 << 0 << "n" << 0 << 0 << false;
    }
    void navigation()
    {
        QFETCH(int, count);
        QFETCH(int, centre);
        QFETCH(QString, actions);
        QFETCH(int, target);
        QFETCH(int, step);
        QFETCH(bool, animating);
        PictureFlow flow;
        flow.setSlideCount(count);
        flow.setCurrentSlide(centre);
        if (actions.startsWith(QLatin1Char('s'))) {
            flow.showSlide(actions.mid(1).toInt());
        } else {
            for (QChar c : actions)
                c == QLatin1Char('n') ? flow.showNext() : flow.showPrevious();
        }
        QCOMPARE(flow.renderer().targetIndex(), target);
        QCOMPARE(flow.renderer().step(), step);
        QCOMPARE(flow.isAnimating(), animating);
        QCOMPARE(flow.currentSlide(), centre);
    }

    void animationReachesTarget()
    {
        PictureFlow flow;
        flow.resize(400, 300);
        flow.setSlideCount(6);
        flow.showSlide(4);
        int ticks = 0;
        while (flow.isAnimating() && ticks < 200) {
            flow.animateStep();
            flow.renderer().fade(); // mid-way frames render without trouble
            flow.render();
            ++ticks;
        }
        QVERIFY(!flow.isAnimating());
        QVERIFY(ticks > 1);
        QCOMPARE(flow.currentSlide(), 4);
        QCOMPARE(flow.renderer().step(), 0);
        QCOMPARE(flow.renderer().frame(), 4 * 65536);
        // And back again.
        flow.showPrevious();
        while (flow.isAnimating() && ticks < 400) {
            flow.animateStep();
            ++ticks;
        }
        QCOMPARE(flow.currentSlide(), 3);
    }

    void zoomFactor_data()
    {
        QTest::addColumn<int>("zoom");
        QTest::addColumn<int>("expected");
        QTest::newRow("150") << 150 << 150;
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("0 ignored") << 0 << 100;
        QTest::newRow("negative ignored") << -20 << 100;
    }
    void zoomFactor()
    {
        QFETCH(int, zoom);
        QFETCH(int, expected);
        PictureFlow flow;
        flow.setProperty("zoomFactor", zoom);
        QCOMPARE(flow.zoomFactor(), expected);
    }

    void renderDrawsSlidesAndClearLeavesBlack()
    {
        PictureFlow flow;
        flow.resize(480, 300);
        flow.setSlideSize(QSize(120, 160));
        flow.setSlideCount(5);
        const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
        for (int i = 0; i < 5; ++i)
            flow.setSlide(i, colourImage(colours[i], QSize(120, 160)));
        flow.setCurrentSlide(2);
        flow.render();
        const QImage &buffer = flow.renderer().buffer();
        QCOMPARE(buffer.size(), QSize(480, 300));
        const QColor middle = buffer.pixelColor(240, 150);
        QVERIFY2(middle.blue() > 200 && middle.red() < 50, qPrintable(middle.name()));
        QVERIFY(buffer.pixelColor(240, 0) == QColor(Qt::black) || flow.renderer().caption(2).isEmpty());
        // Something of the side slides shows on both sides.
        bool leftGreen = false;
        bool rightYellow = false;
        for (int x = 0; x < 180; ++x)
            leftGreen |= buffer.pixelColor(x, 150).green() > 100 && buffer.pixelColor(x, 150).red() < 50;
        for (int x = 300; x < 480; ++x)
            rightYellow |= buffer.pixelColor(x, 150).red() > 100 && buffer.pixelColor(x, 150).green() > 100;
        QVERIFY(leftGreen);
        QVERIFY(rightYellow);

        flow.clear();
        QCOMPARE(flow.slideCount(), 0);
        flow.render();
        QVERIFY(allBlack(flow.renderer().buffer()));
    }

    void slideCountProperty()
    {
        PictureFlow flow;
        flow.setProperty("slideCount", 4);
        QCOMPARE(flow.slideCount(), 4);
        QVERIFY(flow.slide(3).isNull());
        flow.setSlide(1, colourImage(Qt::red));
        flow.setProperty("slideCount", 2);
        QCOMPARE(flow.slideCount(), 2);
        QVERIFY(!flow.slide(1).isNull());
        flow.setProperty("slideSize", QSize(90, 120));
        QCOMPARE(flow.slideSize(), QSize(90, 120));
    }

    void keysAndClicks()
    {
        PictureFlow flow;
        flow.resize(300, 200);
        flow.setSlideCount(4);
        flow.setCurrentSlide(1);
        QSignalSpy activated(&flow, &PictureFlow::itemActivated);
        QSignalSpy input(&flow, &PictureFlow::inputReceived);
        QTest::keyClick(&flow, Qt::Key_Right);
        QCOMPARE(flow.renderer().targetIndex(), 2);
        flow.setCurrentSlide(1);
        QTest::mouseClick(&flow, Qt::LeftButton, {}, QPoint(10, 100));
        QCOMPARE(flow.renderer().targetIndex(), 0);
        flow.setCurrentSlide(1);
        QTest::mouseClick(&flow, Qt::LeftButton, {}, QPoint(150, 100));
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), 1);
        QCOMPARE(input.count(), 3);
    }
};

QTEST_MAIN(TestPictureFlow)
#include "tst_pictureflow.moc"
