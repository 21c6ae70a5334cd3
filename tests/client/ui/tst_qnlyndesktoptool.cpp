#include "client/ui/QnLynDesktopTool.h"
#include "client/ui/QnLynPenTool.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TstQnLynDesktopTool : public QObject
{
    Q_OBJECT
private slots:
    void startsCollapsed();
    void buttonsEmit_data();
    void buttonsEmit();
    void openingPaletteEmitsCurrentColour();
    void pickingAColour();
    void resetRestoresDefaults();
    void anchorClickRule_data();
    void anchorClickRule();
    void swatchPainting();

private:
    struct Host
    {
        QWidget window;
        QWidget *video = nullptr;
        QnLynDesktopTool *tool = nullptr;
        Host()
        {
            window.setGeometry(100, 100, 900, 600);
            video = new QWidget(&window);
            video->setGeometry(0, 0, 900, 600);
            tool = new QnLynDesktopTool(video);
            tool->move(900 - 75, 95);
        }
    };
    static QPushButton *button(QWidget *tool, const char *name)
    {
        return tool->findChild<QPushButton *>(QLatin1String(name));
    }
};

void TstQnLynDesktopTool::startsCollapsed()
{
    Host host;
    host.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    QVERIFY(button(host.tool, "hideButton")->isChecked());
    QVERIFY(!host.tool->findChild<QWidget *>(QStringLiteral("toolWidget"))->isVisible());
    QCOMPARE(host.tool->penTool()->parentWidget(), &host.window); // the grandparent
    QVERIFY(!host.tool->penTool()->isVisible());
    QTest::mouseClick(button(host.tool, "hideButton"), Qt::LeftButton);
    QVERIFY(host.tool->findChild<QWidget *>(QStringLiteral("toolWidget"))->isVisible());
}

void TstQnLynDesktopTool::buttonsEmit_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("signal");
    QTest::newRow("select") << "selectButton" << QByteArray(SIGNAL(sigSelect()));
    QTest::newRow("clear") << "clearButton" << QByteArray(SIGNAL(sigClear()));
    QTest::newRow("undo") << "undoButton" << QByteArray(SIGNAL(sigUndo()));
    QTest::newRow("redo") << "redoButton" << QByteArray(SIGNAL(sigRedo()));
}

void TstQnLynDesktopTool::buttonsEmit()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, signal);
    Host host;
    host.window.show();
    QTest::mouseClick(button(host.tool, "hideButton"), Qt::LeftButton);
    QSignalSpy spy(host.tool, signal.constData());
    QTest::mouseClick(host.tool->findChild<QPushButton *>(name), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QVERIFY(host.tool->findChild<QPushButton *>(name)->isChecked());
    const QString image = name.chopped(6).toLower(); // "selectButton" -> "select"
    const QString style = host.tool->findChild<QPushButton *>(name)->styleSheet();
    QVERIFY(style.contains(QStringLiteral("url(:/img/desktop/btn_%1.svg)").arg(image)));
    QVERIFY(style.contains(QStringLiteral("url(:/img/desktop/redbtn_%1_pressed.svg)").arg(image)));
}

void TstQnLynDesktopTool::openingPaletteEmitsCurrentColour()
{
    Host host;
    host.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    QTest::mouseClick(button(host.tool, "hideButton"), Qt::LeftButton);
    QSignalSpy pen(host.tool, &QnLynDesktopTool::sigPen);
    QTest::mouseClick(button(host.tool, "penButton"), Qt::LeftButton);
    QCOMPARE(pen.count(), 1);
    QCOMPARE(pen.first().first().value<QColor>(), QColor(QStringLiteral("#D35555")));
    QnLynPenTool *palette = host.tool->penTool();
    QVERIFY(palette->isVisible());
    const QPoint anchor = button(host.tool, "penButton")->mapToGlobal(QPoint(0, 0));
    QCOMPARE(palette->pos(), QPoint(anchor.x() - palette->width() - 20, anchor.y()));
}

void TstQnLynDesktopTool::pickingAColour()
{
    QnLynPenTool palette;
    palette.show();
    QSignalSpy changed(&palette, &QnLynPenTool::colorChanged);
    const auto swatches = palette.findChildren<QnColorButton *>();
    QCOMPARE(swatches.size(), 6);
    QCOMPARE(swatches.at(0)->size(), QSize(24, 24));
    QTest::mouseClick(swatches.at(2), Qt::LeftButton);
    QCOMPARE(palette.color(), QColor(QStringLiteral("#4A90E2")));
    QCOMPARE(changed.count(), 1);
    QVERIFY(swatches.at(2)->isChecked());
    QVERIFY(!swatches.at(0)->isChecked());
}

void TstQnLynDesktopTool::resetRestoresDefaults()
{
    Host host;
    host.window.show();
    QTest::mouseClick(button(host.tool, "hideButton"), Qt::LeftButton);
    QTest::mouseClick(button(host.tool, "penButton"), Qt::LeftButton);
    QnLynPenTool *palette = host.tool->penTool();
    QTest::mouseClick(palette->findChildren<QnColorButton *>().at(5), Qt::LeftButton);
    QCOMPARE(palette->color(), QColor(QStringLiteral("#F8E71C")));

    QSignalSpy pen(host.tool, &QnLynDesktopTool::sigPen);
    host.tool->reset();
    QCOMPARE(palette->color(), QColor(QStringLiteral("#D35555")));
    QCOMPARE(pen.count(), 1); // the palette's colorChanged, relayed
    QCOMPARE(pen.first().first().value<QColor>(), QColor(QStringLiteral("#D35555")));
    QVERIFY(button(host.tool, "selectButton")->isChecked());
    QVERIFY(button(host.tool, "hideButton")->isChecked());
    QVERIFY(!host.tool->findChild<QWidget *>(QStringLiteral("toolWidget"))->isVisible());
    // Reset again with the default already chosen: still the default, still checked.
    host.tool->reset();
    QCOMPARE(palette->color(), QColor(QStringLiteral("#D35555")));
    QVERIFY(palette->findChildren<QnColorButton *>().at(0)->isChecked());
}

void TstQnLynDesktopTool::anchorClickRule_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("hides");
    QTest::newRow("on the pen button") << "anchor" << 0;
    QTest::newRow("inside the palette") << "palette" << 0;
    QTest::newRow("elsewhere") << "elsewhere" << 1;
}

void TstQnLynDesktopTool::anchorClickRule()
{
    QFETCH(QString, where);
    QFETCH(int, hides);
    Host host;
    host.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&host.window));
    QTest::mouseClick(button(host.tool, "hideButton"), Qt::LeftButton);
    QTest::mouseClick(button(host.tool, "penButton"), Qt::LeftButton);
    QnLynPenTool *palette = host.tool->penTool();
    QVERIFY(palette->isVisible());
    QSignalSpy other(palette, &QnLynPenTool::hideByClickedOtherArea);
    QPushButton *pen = button(host.tool, "penButton");
    QPoint global;
    if (where == QLatin1String("anchor"))
        global = pen->mapToGlobal(QPoint(5, 5));
    else if (where == QLatin1String("palette"))
        global = palette->mapToGlobal(QPoint(2, 2));
    else
        global = host.window.mapToGlobal(QPoint(50, 50));
    QCOMPARE(palette->isOtherArea(global), hides == 1);
    // The palette is a popup: presses anywhere reach it.
    QTest::mousePress(palette, Qt::LeftButton, {}, palette->mapFromGlobal(global));
    QCOMPARE(other.count(), hides);
    if (hides)
        QVERIFY(!palette->isVisible());
}

void TstQnLynDesktopTool::swatchPainting()
{
    QnColorButton swatch;
    swatch.setColor(QColor(QStringLiteral("#4A90E2")));
    QImage image(24, 24, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    swatch.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(image.pixelColor(12, 12), QColor(QStringLiteral("#4A90E2")));
    QCOMPARE(image.pixelColor(12, 1), QColor(Qt::white));
    swatch.setChecked(true);
    image.fill(Qt::transparent);
    swatch.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    QCOMPARE(image.pixelColor(12, 1), QColor(QStringLiteral("#00B0AE")));
}

QTEST_MAIN(TstQnLynDesktopTool)
#include "tst_qnlyndesktoptool.moc"
