#include "client/ui/desktop/QnLynDesktopMath.h"
#include "client/ui/desktop/QnYuvFrameSlot.h"

#include <QtTest>

#include <climits>

using namespace QnLynDesktopMath;

class TstQnLynDesktopMath : public QObject
{
    Q_OBJECT
private slots:
    void pictures_data();
    void pictures();
    void slotKeepsLatestOnly();
    void viewSizes_data();
    void viewSizes();
    void fit_data();
    void fit();
    void cursors_data();
    void cursors();
};

void TstQnLynDesktopMath::pictures_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("1080p exact") << 1920 << 1080 << qint64(1920 * 1080 * 3 / 2) << true;
    QTest::newRow("1080p one byte short") << 1920 << 1080 << qint64(1920 * 1080 * 3 / 2 - 1) << false;
    QTest::newRow("odd sides exact") << 3 << 3 << qint64(9 + 2 * 4) << true;
    QTest::newRow("odd sides, even-rounded chroma short") << 3 << 3 << qint64(9 + 2 * 2) << false;
    QTest::newRow("1x1") << 1 << 1 << qint64(3) << true;
    QTest::newRow("longer buffer") << 2 << 2 << qint64(100) << true;
    QTest::newRow("zero width") << 0 << 10 << qint64(1000) << false;
    QTest::newRow("zero height") << 10 << 0 << qint64(1000) << false;
    QTest::newRow("negative width") << -2 << 2 << qint64(1000) << false;
    QTest::newRow("negative both (product positive)") << -4 << -4 << qint64(1000) << false;
    QTest::newRow("largest side") << 16384 << 2 << qint64(16384 * 2 + 2 * 8192) << true;
    QTest::newRow("beyond largest side") << 16385 << 2 << qint64(1) << false;
    QTest::newRow("int overflow of w*h") << 65536 << 65536 << qint64(0) << false;
    QTest::newRow("empty buffer") << 2 << 2 << qint64(0) << false;
}

void TstQnLynDesktopMath::pictures()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(qint64, size);
    QFETCH(bool, accepted);
    QCOMPARE(acceptPicture(size, w, h), accepted);
    if (size < 1 << 20) {
        QnYuvFrameSlot slot;
        QCOMPARE(slot.put(QByteArray(int(size), '\0'), w, h), accepted);
        QCOMPARE(slot.size().isEmpty(), !accepted);
    }
}

void TstQnLynDesktopMath::slotKeepsLatestOnly()
{
    QnYuvFrameSlot slot;
    bool dropped = true;
    QVERIFY(slot.put(QByteArray(6, 'a'), 2, 2, &dropped));
    QVERIFY(!dropped);
    QVERIFY(slot.put(QByteArray(6, 'b'), 2, 2, &dropped));
    QVERIFY(dropped);                             // the first was never taken
    QVERIFY(!slot.put(QByteArray(5, 'c'), 2, 2)); // short: refused, the latest stays
    QnYuvFrameSlot::Frame f = slot.take();
    QCOMPARE(f.data, QByteArray(6, 'b'));
    QCOMPARE(f.serial, quint64(2));
    QVERIFY(slot.put(QByteArray(6, 'd'), 2, 2, &dropped));
    QVERIFY(!dropped);
    QCOMPARE(slot.droppedCount(), quint64(1));
}

void TstQnLynDesktopMath::viewSizes_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<QSize>("view");
    QTest::newRow("1920x1200") << 1920 << 1200 << QSize(1152, 720);
    QTest::newRow("1920x1080") << 1920 << 1080 << QSize(1280, 720);
    QTest::newRow("2560x1080 wide") << 2560 << 1080 << QSize(1280, 540);
    QTest::newRow("1024x768") << 1024 << 768 << QSize(960, 720);
    QTest::newRow("zero") << 0 << 1080 << QSize();
    QTest::newRow("negative") << 1920 << -1 << QSize();
    QTest::newRow("0 high fit") << 16384 << 1 << QSize();
    QTest::newRow("0 wide fit") << 1 << 16384 << QSize();
    QTest::newRow("overflowing") << INT_MAX << INT_MAX << QSize();
    QTest::newRow("beyond largest side") << 20000 << 10000 << QSize();
}

void TstQnLynDesktopMath::viewSizes()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(QSize, view);
    QCOMPARE(viewSize(w, h), view);
}

void TstQnLynDesktopMath::fit_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QRect>("fit");
    QTest::newRow("pillarbox") << QSize(320, 240) << QRect(0, 0, 640, 360) << QRect(80, 0, 480, 360);
    QTest::newRow("letterbox") << QSize(1920, 1080) << QRect(0, 0, 800, 600) << QRect(0, 75, 800, 450);
    QTest::newRow("offset area") << QSize(100, 100) << QRect(10, 20, 200, 100) << QRect(60, 20, 100, 100);
    QTest::newRow("empty source") << QSize() << QRect(0, 0, 10, 10) << QRect();
    QTest::newRow("empty area") << QSize(10, 10) << QRect() << QRect();
}

void TstQnLynDesktopMath::fit()
{
    QFETCH(QSize, source);
    QFETCH(QRect, area);
    QFETCH(QRect, fit);
    QCOMPARE(fitCentred(source, area), fit);
}

void TstQnLynDesktopMath::cursors_data()
{
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("arrow") << int(Qt::ArrowCursor) << int(Qt::ArrowCursor);
    QTest::newRow("ibeam") << int(Qt::IBeamCursor) << int(Qt::IBeamCursor);
    QTest::newRow("last") << int(Qt::LastCursor) << int(Qt::LastCursor);
    QTest::newRow("bitmap") << int(Qt::BitmapCursor) << int(Qt::ArrowCursor);
    QTest::newRow("custom") << int(Qt::CustomCursor) << int(Qt::ArrowCursor);
    QTest::newRow("negative") << -1 << int(Qt::ArrowCursor);
    QTest::newRow("huge") << INT_MAX << int(Qt::ArrowCursor);
}

void TstQnLynDesktopMath::cursors()
{
    QFETCH(int, in);
    QFETCH(int, out);
    QCOMPARE(clampCursor(in), out);
}

QTEST_GUILESS_MAIN(TstQnLynDesktopMath)
#include "tst_qnlyndesktopmath.moc"
