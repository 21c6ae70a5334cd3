#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnAshWidget.h"
#include "client/ui/QnFonts.h"
#include "client/ui/QnLoadingWidget.h"
#include "client/ui/QnLynClientStartWidget.h"
#include "client/ui/QnLynConnectWaittingWidget.h"
#include "client/ui/QnLynPromptDialog.h"
#include "client/ui/QnMessageDialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

// Runs action on the active modal dialog once the dialog's nested loop runs.
void whenModal(std::function<void(QWidget *)> action)
{
    QTimer::singleShot(0, [action] {
        QWidget *modal = QApplication::activeModalWidget();
        QVERIFY(modal);
        QVERIFY(QTest::qWaitForWindowExposed(modal));
        action(modal);
    });
}

QRect whiteBox(const QImage &image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TstQnWindowKit : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QnFonts::install(); }

    void promptTexts_data();
    void promptTexts();
    void promptRunsModally_data();
    void promptRunsModally();
    void promptIsFramelessAndFixed();

    void messageDialogButtons_data();
    void messageDialogButtons();
    void messageDialogCloseButton();
    void messageDialogCentresOnAnchor();

    void splashForm();
    void splashTextsFit();
    void ashOpacity();
    void loadingSteps();
    void loadingScalesAndCentres();
    void waitingCancelHidesFirst();
    void waitingWithoutCancel();
};

void TstQnWindowKit::promptTexts_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("shownTitle");
    QTest::newRow("cap prompt: empty title line")
        << QStringLiteral("单次上传图片数量不超过9张") << QString() << QString();
    QTest::newRow("titled") << QStringLiteral("远程控制功能已被占用") << QStringLiteral("桌面同步")
                            << QStringLiteral("桌面同步");
    QTest::newRow("empty message keeps 提示")
        << QString() << QStringLiteral("桌面同步") << QStringLiteral("提示");
}

void TstQnWindowKit::promptTexts()
{
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(QString, shownTitle);
    QnLynPromptDialog dialog;
    dialog.prepare(message, title);
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("titlelabel"))->text(), shownTitle);
    auto *msg = dialog.findChild<QLabel *>(QStringLiteral("msglabe"));
    QCOMPARE(msg->text(), message);
    QCOMPARE(msg->textFormat(), Qt::PlainText);
}

void TstQnWindowKit::promptRunsModally_data()
{
    QTest::addColumn<bool>("pressButton");
    QTest::addColumn<int>("result");
    QTest::newRow("知道了") << true << 1;
    QTest::newRow("Escape") << false << 0;
}

void TstQnWindowKit::promptRunsModally()
{
    QFETCH(bool, pressButton);
    QFETCH(int, result);
    whenModal([pressButton](QWidget *modal) {
        auto *button = modal->findChild<QPushButton *>(QStringLiteral("closeBtn"));
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("知道了"));
        if (pressButton)
            QTest::mouseClick(button, Qt::LeftButton);
        else
            QTest::keyClick(modal, Qt::Key_Escape);
    });
    QCOMPARE(QnLynPromptDialog::showPrompt(QStringLiteral("单次上传文档数量不超过9个"), QString()), result);
}

void TstQnWindowKit::promptIsFramelessAndFixed()
{
    QnLynPromptDialog dialog;
    dialog.prepare(QStringLiteral("m"), QStringLiteral("t"));
    QVERIFY(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
    auto *helper = dialog.findChild<NcFramelessHelper *>();
    QVERIFY(helper);
    QVERIFY(!helper->isMovable());
    QVERIFY(!helper->isResizable());
    dialog.move(300, 300);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint before = dialog.pos();
    QTest::mousePress(&dialog, Qt::LeftButton, {}, QPoint(30, 30));
    QTest::mouseMove(&dialog, QPoint(90, 80));
    QTest::mouseRelease(&dialog, Qt::LeftButton, {}, QPoint(90, 80));
    QCOMPARE(dialog.pos(), before);
}

void TstQnWindowKit::messageDialogButtons_data()
{
    QTest::addColumn<bool>("showCancel");
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("result");
    QTest::newRow("with Cancel, Esc") << true << QString() << 0;
    QTest::newRow("with Cancel, Cancel") << true << QStringLiteral("cancelButton") << 0;
    QTest::newRow("with Cancel, OK") << true << QStringLiteral("okButton") << 1;
    QTest::newRow("OK only, Esc") << false << QString() << 0;
    QTest::newRow("OK only, OK") << false << QStringLiteral("okButton") << 1;
}

void TstQnWindowKit::messageDialogButtons()
{
    QFETCH(bool, showCancel);
    QFETCH(QString, press);
    QFETCH(int, result);
    whenModal([showCancel, press](QWidget *modal) {
        QCOMPARE(modal->findChild<QPushButton *>(QStringLiteral("cancelButton"))->isVisible(), showCancel);
        QVERIFY(modal->findChild<QPushButton *>(QStringLiteral("okButton"))->isVisible());
        QVERIFY(!modal->findChild<QPushButton *>(QStringLiteral("closeBtn"))->isVisible());
        QCOMPARE(modal->findChild<QLabel *>(QStringLiteral("titleLabel"))->textFormat(), Qt::PlainText);
        QCOMPARE(modal->findChild<QLabel *>(QStringLiteral("label"))->textFormat(), Qt::PlainText);
        if (press.isEmpty())
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            QTest::mouseClick(modal->findChild<QPushButton *>(press), Qt::LeftButton);
    });
    QCOMPARE(QnMessageDialog::showMessage(QStringLiteral("接收端正在使用中，是否继续？"),
                                          QStringLiteral("提示"), showCancel, false),
             result);
}

void TstQnWindowKit::messageDialogCloseButton()
{
    whenModal([](QWidget *modal) {
        auto *close = modal->findChild<QPushButton *>(QStringLiteral("closeBtn"));
        QVERIFY(close->isVisible());
        QTest::mouseClick(close, Qt::LeftButton);
    });
    QCOMPARE(QnMessageDialog::showMessage(QStringLiteral("text"), QStringLiteral("title"), true, true), 0);
}

void TstQnWindowKit::messageDialogCentresOnAnchor()
{
    QWidget anchor;
    anchor.setGeometry(400, 300, 200, 100);
    anchor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&anchor));
    QnMessageDialog dialog;
    QCOMPARE(dialog.size(), QSize(370, 231));
    dialog.centreOn(&anchor);
    const QPoint p = anchor.mapToGlobal(QPoint(0, 0));
    // Smaller anchor: negative offsets, truncated toward zero.
    QCOMPARE(dialog.pos(), p + QPoint((200 - 370) / 2, (100 - 231) / 2));
    QCOMPARE(dialog.pos(), p + QPoint(-85, -65));
}

void TstQnWindowKit::splashForm()
{
    QnLynClientStartWidget splash;
    QCOMPARE(splash.size(), QSize(410, 460));
    QCOMPARE(splash.windowFlags(), Qt::Dialog | Qt::FramelessWindowHint);
    QCOMPARE(splash.windowModality(), Qt::WindowModal);
    QVERIFY(splash.testAttribute(Qt::WA_TranslucentBackground));
    auto *helper = splash.findChild<NcFramelessHelper *>();
    QVERIFY(helper && helper->isMovable() && !helper->isResizable());
    QCOMPARE(splash.findChild<QLabel *>(QStringLiteral("label"))->geometry(), QRect(185, 73, 48, 48));
    QCOMPARE(splash.findChild<QLabel *>(QStringLiteral("label_2"))->text(), QStringLiteral("昆洛传屏"));
    QCOMPARE(splash.findChild<QLabel *>(QStringLiteral("label_3"))->geometry(), QRect(140, 200, 131, 22));
    QCOMPARE(splash.findChild<QLabel *>(QStringLiteral("label_4"))->text(), QStringLiteral("正在启动..."));
}

void TstQnWindowKit::splashTextsFit()
{
    QnLynClientStartWidget splash;
    splash.show();
    QVERIFY(QTest::qWaitForWindowExposed(&splash));
    for (const char *name : {"label_2", "label_3", "label_4"}) {
        auto *label = splash.findChild<QLabel *>(QLatin1String(name));
        label->ensurePolished();
        const QFontMetrics fm(label->font());
        QVERIFY2(fm.horizontalAdvance(label->text()) <= label->width(), name);
        QVERIFY2(fm.tightBoundingRect(label->text()).height() <= label->height(), name);
        QVERIFY2(fm.inFont(label->text().at(0)), name);
    }
}

void TstQnWindowKit::ashOpacity()
{
    QnAshWidget ash;
    ash.resize(100, 60);
    QCOMPARE(ash.opacity(), 0.6);
    QImage image(ash.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    ash.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QVERIFY(qAbs(qAlpha(image.pixel(50, 30)) - qRound(0.6 * 255)) <= 1);
    QCOMPARE(qAlpha(image.pixel(0, 0)) < qAlpha(image.pixel(50, 30)), true); // rounded corner

    ash.setOpacity(0);
    image.fill(Qt::transparent);
    ash.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(whiteBox(image), QRect());
}

void TstQnWindowKit::loadingSteps()
{
    QCOMPARE(QnLoadingDots::nextAngle(0), 40);
    QCOMPARE(QnLoadingDots::nextAngle(320), 0);
    QnFileLoadingFileWidget file;
    QnLoadingWidget login;
    for (QnLoadingDots *w : {static_cast<QnLoadingDots *>(&file), static_cast<QnLoadingDots *>(&login)}) {
        QVERIFY(!w->isRunning());
        w->start();
        w->start();
        QVERIFY(w->isRunning());
        QCOMPARE(w->timer()->interval(), 100);
        QCOMPARE(w->findChildren<QTimer *>().size(), 1);
        QTRY_VERIFY(w->angle() >= 80);
        w->stop();
        const int kept = w->angle();
        QTest::qWait(250);
        QCOMPARE(w->angle(), kept);
        QCOMPARE(kept % 40, 0);
    }
}

void TstQnWindowKit::loadingScalesAndCentres()
{
    QnLoadingWidget w;
    w.resize(40, 200);
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    w.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    const QRect box = whiteBox(image);
    QVERIFY(!box.isEmpty());
    // Dots on a circle of 30 units scaled by 0.4: within 12 + 6 * 0.4 pixels of the centre (20, 100).
    const QRect limit(20 - 15, 100 - 15, 30, 30);
    QVERIFY2(limit.contains(box), qPrintable(QStringLiteral("dots at %1,%2 %3x%4")
                                                 .arg(box.x())
                                                 .arg(box.y())
                                                 .arg(box.width())
                                                 .arg(box.height())));
    QVERIFY(box.width() > 18 && box.height() > 18);
}

void TstQnWindowKit::waitingCancelHidesFirst()
{
    QnLynConnectWaittingWidget overlay;
    QCOMPARE(overlay.size(), QSize(221, 221));
    QVERIFY(overlay.testAttribute(Qt::WA_ShowModal));
    QVERIFY(overlay.loading()->isRunning());
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(
        overlay.findChild<QWidget *>(QStringLiteral("waittingframe"))->graphicsEffect());
    QVERIFY(effect);
    QCOMPARE(effect->opacity(), 0.7);
    overlay.show();
    QVERIFY(QTest::qWaitForWindowExposed(&overlay));
    bool hiddenWhenSignalled = false;
    connect(&overlay, &QnLynConnectWaittingWidget::closeConnect, this,
            [&] { hiddenWhenSignalled = !overlay.isVisible(); });
    QSignalSpy spy(&overlay, &QnLynConnectWaittingWidget::closeConnect);
    auto *cancel = overlay.findChild<QPushButton *>(QStringLiteral("closeConnectBtn"));
    QCOMPARE(cancel->text(), QStringLiteral("取消连接"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QVERIFY(hiddenWhenSignalled);
}

void TstQnWindowKit::waitingWithoutCancel()
{
    QnLynConnectWaittingWidget overlay;
    auto *label = overlay.findChild<QLabel *>(QStringLiteral("label"));
    auto *loading = overlay.findChild<QWidget *>(QStringLiteral("widget"));
    const QRect labelBefore = label->geometry();
    QCOMPARE(loading->geometry(), QRect(10, 20, 201, 101));
    overlay.hideCancelButton();
    overlay.show();
    QVERIFY(QTest::qWaitForWindowExposed(&overlay));
    QCOMPARE(label->geometry(), labelBefore.translated(0, 20));
    QCOMPARE(loading->geometry(), QRect(10, 40, 201, 101));
    QVERIFY(!overlay.findChild<QPushButton *>(QStringLiteral("closeConnectBtn"))->isVisible());
    QSignalSpy spy(&overlay, &QnLynConnectWaittingWidget::closeConnect);
    QTest::mouseClick(&overlay, Qt::LeftButton, {}, QPoint(110, 175));
    QCOMPARE(spy.count(), 0);
    // The label still fits its text in the CJK font.
    QVERIFY(QFontMetrics(label->font()).horizontalAdvance(label->text()) <= label->width());
}

QTEST_MAIN(TstQnWindowKit)
#include "tst_qnwindowkit.moc"
