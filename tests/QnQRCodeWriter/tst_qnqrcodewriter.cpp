// The login QR code: zbarimg reads the text back; the modules fill the smaller side's square.

#include "QnQRCodeWriter/src/QnQRCodeWriter.h"

#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestQRCodeWriter : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void decodesBack_data();
    void decodesBack();
    void moduleSquare_data();
    void moduleSquare();
    void failures();
};

void TestQRCodeWriter::decodesBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QSize>("size");
    QTest::newRow("square id") << "qr17-5f0c2d8e9a1b" << QSize(300, 300);
    QTest::newRow("wide") << "qr18-0123456789abcdef" << QSize(300, 200);
    QTest::newRow("tall") << "qr19-fedcba9876543210" << QSize(200, 300);
    QTest::newRow("utf-8") << QString::fromUtf8("昆洛-login-二维码") << QSize(256, 256);
}

void TestQRCodeWriter::decodesBack()
{
    QFETCH(QString, text);
    QFETCH(QSize, size);
    const QImage code = QnQRCodeWriter::makeQRcode(text, size, QColor("#000000"));
    QCOMPARE(code.size(), size);
    QCOMPARE(code.format(), QImage::Format_RGB32);

    // The code has no quiet zone of its own: a reader needs a white border around it.
    QImage framed(size + QSize(80, 80), QImage::Format_RGB32);
    framed.fill(Qt::white);
    QPainter(&framed).drawImage(40, 40, code);
    QTemporaryDir dir;
    const QString file = dir.filePath("code.png");
    QVERIFY(framed.save(file));
    QProcess zbar;
    zbar.start("zbarimg", {"--quiet", "--raw", file});
    QVERIFY(zbar.waitForFinished(20000));
    QCOMPARE(zbar.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), text);
}

void TestQRCodeWriter::moduleSquare_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("300x300") << QSize(300, 300);
    QTest::newRow("300x200") << QSize(300, 200);
    QTest::newRow("400x200") << QSize(400, 200);
    QTest::newRow("200x300") << QSize(200, 300);
}

void TestQRCodeWriter::moduleSquare()
{
    QFETCH(QSize, size);
    const QImage code = QnQRCodeWriter::makeQRcode("qr-square", size, Qt::black);
    const int side = qMin(size.width(), size.height());
    // The finder patterns sit in three corners of the side x side square.
    QCOMPARE(code.pixelColor(1, 1), QColor(Qt::black));
    QCOMPARE(code.pixelColor(side - 2, 1), QColor(Qt::black));
    QCOMPARE(code.pixelColor(1, side - 2), QColor(Qt::black));
    // Nothing is drawn outside it.
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            if (x >= side || y >= side)
                QVERIFY2(code.pixelColor(x, y) == QColor(Qt::white),
                         qPrintable(QString("%1,%2").arg(x).arg(y)));
        }
    }
}

void TestQRCodeWriter::failures()
{
    QVERIFY(QnQRCodeWriter::makeQRcode("x", QSize(0, 100), Qt::black).isNull());
    // Beyond the capacity of the largest symbol at level H: a white image of the requested size.
    const QImage white = QnQRCodeWriter::makeQRcode(QString(4000, 'a'), QSize(120, 80), Qt::black);
    QCOMPARE(white.size(), QSize(120, 80));
    QCOMPARE(white.pixelColor(0, 0), QColor(Qt::white));
    QCOMPARE(white.pixelColor(119, 79), QColor(Qt::white));
}

QTEST_MAIN(TestQRCodeWriter)
#include "tst_qnqrcodewriter.moc"
