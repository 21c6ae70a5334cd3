// The login library's small widgets: countdown button, toast sizing, password eye, border shadow,
// head button, QR label, and the banner carousel.

#include "qnloginbase/src/UI/BannerWidget.h"
#include "qnloginbase/src/UI/LoginLibraryWidgets.h"
#include "resources/QnResources.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

class UrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public Q_SLOTS:
    void open(const QUrl &url) { urls << url; }
};

class TestLoginLibraryWidgets : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QnResources::init(); }

    void timerButtonCountsDown()
    {
        CTimerButton button;
        button.setTickInterval(5);
        button.show();
        QCOMPARE(button.text(), QStringLiteral("Send Code"));
        QSignalSpy timeouts(&button, &CTimerButton::sig_timeout);
        QStringList texts;
        connect(&button, &QPushButton::clicked, [&] { texts << button.text(); });
        QTest::mouseClick(&button, Qt::LeftButton);
        QVERIFY(button.isChecked());
        QVERIFY(button.isCounting());
        QCOMPARE(button.text(), QStringLiteral("60s after"));
        QVERIFY(timeouts.wait(5000));
        QCOMPARE(timeouts.size(), 1);
        QCOMPARE(button.text(), QStringLiteral("Send Code"));
        QVERIFY(!button.isChecked());
        QVERIFY(!button.isCounting());
        QCOMPARE(button.count(), 60);
    }

    void timerButtonTicks()
    {
        // 61 ticks after the click: 60 decrements, then the reset.
        CTimerButton button;
        button.setTickInterval(1000000);
        int ticks = 0;
        QSignalSpy timeouts(&button, &CTimerButton::sig_timeout);
        button.click();
        auto *timer = button.findChild<QTimer *>();
        QVERIFY(timer);
        while (timeouts.isEmpty() && ticks < 100) {
            QMetaObject::invokeMethod(timer, "timeout");
            ++ticks;
        }
        QCOMPARE(ticks, 61);
    }

    void toastWidth_data()
    {
        QTest::addColumn<int>("textWidth");
        QTest::addColumn<int>("labelWidth");
        QTest::newRow("narrow") << 100 << 300;
        QTest::newRow("320 px clipped to 300") << 320 << 300;
        QTest::newRow("400 px widens") << 400 << 400;
    }
    void toastWidth()
    {
        QFETCH(int, textWidth);
        QFETCH(int, labelWidth);
        QFont font(QStringLiteral("PingFang SC"));
        font.setPixelSize(16);
        const QFontMetrics metrics(font);
        QString text;
        while (metrics.horizontalAdvance(text + QLatin1Char('m')) <= textWidth)
            text += QLatin1Char('m');
        const int measured = metrics.horizontalAdvance(text);
        QWidget anchor;
        anchor.setGeometry(100, 100, 600, 400);
        anchor.show();
        Toast toast;
        toast.showText(text, 0, &anchor);
        const int expectedLabel = measured < 330 ? 300 : measured;
        if (labelWidth == 300)
            QCOMPARE(expectedLabel, 300);
        QCOMPARE(toast.label()->width(), expectedLabel);
        QCOMPARE(toast.width(), expectedLabel + 30);
        QVERIFY(toast.isVisible());
        QVERIFY(qAbs(toast.geometry().center().x() - anchor.geometry().center().x()) <= 1);
        QTRY_VERIFY_WITH_TIMEOUT(!toast.isVisible(), 4000);
    }

    void toastPlainText()
    {
        Toast toast;
        toast.showText(QStringLiteral("<b>bold</b>"), 0, nullptr);
        QCOMPARE(toast.label()->textFormat(), Qt::PlainText);
        QCOMPARE(toast.pos(), QPoint(0, 0));
    }

    void passwordEye()
    {
        PasswordLineEidt edit;
        edit.resize(300, 50);
        edit.show();
        QPushButton *eye = edit.findChild<QPushButton *>(QStringLiteral("PwdLineEditEye"));
        QVERIFY(eye);
        QVERIFY(!eye->isVisible());
        QCOMPARE(edit.echoMode(), QLineEdit::Password);
        QTest::keyClicks(&edit, QStringLiteral("abc"));
        QVERIFY(eye->isVisible());
        QCOMPARE(eye->geometry().topLeft(), QPoint(300 - 12 - eye->width(), (50 - eye->height()) / 2));
        QTest::mouseClick(eye, Qt::LeftButton);
        QCOMPARE(edit.echoMode(), QLineEdit::Normal);
        QTest::mouseClick(eye, Qt::LeftButton);
        QCOMPARE(edit.echoMode(), QLineEdit::Password);
        edit.selectAll();
        QTest::keyClick(&edit, Qt::Key_Backspace);
        QVERIFY(!eye->isVisible());
    }

    void borderShadowReplaced()
    {
        QWidget widget;
        auto *first = new QnBorderShadow;
        first->install(&widget);
        QPointer<QnBorderShadow> guard(first);
        auto *second = new QnBorderShadow(&widget);
        second->install(&widget);
        QCOMPARE(widget.property("CustomBorderShadow").value<QObject *>(), second);
        QTRY_VERIFY(guard.isNull());
        const QList<int> alphas{150, 100, 79, 63, 50, 38, 27, 17, 8, 0};
        for (int i = 0; i < alphas.size(); ++i)
            QCOMPARE(QnBorderShadow::ringAlpha(i), alphas.at(i));
        widget.resize(100, 100);
        QImage image(widget.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(qAlpha(image.pixel(50, 0)), 0); // outside the outermost ring
        QVERIFY(qMax(qAlpha(image.pixel(50, 9)), qAlpha(image.pixel(50, 10))) > 50); // innermost ring
        QVERIFY(qAlpha(image.pixel(50, 1)) < 10);                                    // faded out
    }

    void headButtonGreyDisc()
    {
        CZvHeadButton button;
        button.setHeadWidth(50);
        button.setRingVisible(false);
        button.resize(50, 50);
        button.setStyleSheet(QStringLiteral("border:none;background:transparent;"));
        QImage image(50, 50, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        button.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(QColor(image.pixel(25, 25)), QColor(QStringLiteral("#D8D8D8")));
        QCOMPARE(qAlpha(image.pixel(1, 1)), 0);
        button.loadHeadImage(QStringLiteral(":/RiDovud/res/icon/default_head.png"));
        QVERIFY(button.hasPicture());
        button.loadHeadImage(QStringLiteral("/nonexistent.png"));
        QVERIFY(!button.hasPicture());
    }

    void qrLabelSignalsRelease()
    {
        QrLabel label;
        label.resize(50, 50);
        label.show();
        QSignalSpy presses(&label, &QrLabel::labelPress);
        QTest::mouseClick(&label, Qt::LeftButton);
        QCOMPARE(presses.size(), 1);
    }

    void bannerSteps()
    {
        BannerWidget banner;
        banner.resize(342, 600);
        QImage empty(banner.size(), QImage::Format_ARGB32);
        empty.fill(Qt::transparent);
        banner.render(&empty, QPoint(), QRegion(), QWidget::DrawChildren);
        QCOMPARE(QColor(empty.pixel(100, 300)), QColor(QStringLiteral("#D8D8D8")));
        QCOMPARE(qAlpha(empty.pixel(0, 0)), 0); // rounded corner
        banner.onImageChangeTimeout();          // no pictures: the step changes nothing
        QCOMPARE(banner.currentIndex(), 0);
        for (int i = 1; i <= 3; ++i)
            banner.addImage(QStringLiteral(":/RiDovud/res/banner/banner_%1.svg").arg(i));
        QCOMPARE(banner.imageCount(), 3);
        QVERIFY(!banner.switchTimer()->isActive());
        QCOMPARE(banner.switchTimer()->interval(), 3000);
        QList<int> seen;
        for (int i = 0; i < 4; ++i) {
            banner.onImageChangeTimeout();
            seen << banner.currentIndex();
        }
        QCOMPARE(seen, (QList<int>{1, 2, 0, 1}));
        QVERIFY(!banner.incomingPicture().isNull());
        QCOMPARE(banner.fadeAnimation()->duration(), 1000);
    }

    void bannerLinks()
    {
        UrlSink sink;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &sink, "open");
        BannerWidget banner;
        banner.resize(100, 100);
        banner.show();
        QTest::mouseClick(&banner, Qt::LeftButton);
        banner.setLinks({QString()});
        QTest::mouseClick(&banner, Qt::LeftButton);
        QVERIFY(sink.urls.isEmpty());
        banner.setLinks({QStringLiteral("https://example.invalid/a")});
        QTest::mouseClick(&banner, Qt::LeftButton);
        QCOMPARE(sink.urls.size(), 1);
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    }
};

QTEST_MAIN(TestLoginLibraryWidgets)
#include "tst_loginlibrarywidgets.moc"
