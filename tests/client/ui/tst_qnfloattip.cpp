#include "client/ui/QnFloatTip.h"
#include "client/ui/QnFonts.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPointer>
#include <QTest>

class TstQnFloatTip : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sizeRules_data();
    void sizeRules();
    void setTextMeasuresThePinnedFont_data();
    void setTextMeasuresThePinnedFont();
    void form();
    void showTipWithoutAnchorShowsAndCloses();
    void showTipCentresOnAnchor();
    void showTipAtPlacement_data();
    void showTipAtPlacement();
    void textIsPlain();
};

void TstQnFloatTip::initTestCase()
{
    QnFonts::install();
    // The size rules measure in the form font: pinned to the CJK font the program maps it to.
    QCOMPARE(QFontInfo(QnFloatTip::measureFont()).family(), QnFonts::cjkFamily());
}

void TstQnFloatTip::sizeRules_data()
{
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QSize>("expected");
    QTest::newRow("empty text") << 0 << false << QSize(260, 50);
    QTest::newRow("170 wide: short tip") << 170 << false << QSize(260, 50);
    QTest::newRow("179 wide: 199 is below 200") << 179 << false << QSize(260, 50);
    QTest::newRow("180 wide: 200") << 180 << false << QSize(200, 50);
    QTest::newRow("195 wide: 215") << 195 << false << QSize(215, 50);
    QTest::newRow("400 wide unwrapped: 420") << 400 << false << QSize(420, 50);
    QTest::newRow("400 wide wrapped: 220") << 400 << true << QSize(220, 65);
    QTest::newRow("200 wide wrapped: 220 is not above 220") << 200 << true << QSize(220, 65);
    QTest::newRow("201 wide wrapped: capped") << 201 << true << QSize(220, 65);
    QTest::newRow("short text wrapped: 260") << 50 << true << QSize(260, 65);
}

void TstQnFloatTip::sizeRules()
{
    QFETCH(int, textWidth);
    QFETCH(bool, wrap);
    QFETCH(QSize, expected);
    QCOMPARE(QnFloatTip::sizeFor(textWidth, wrap), expected);
}

void TstQnFloatTip::setTextMeasuresThePinnedFont_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wrap");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("short") << QStringLiteral("连接成功") << false;
    QTest::newRow("long unwrapped") << QStringLiteral("网络连接已断开，请检查网络设置后重新连接接收端设备")
                                    << false;
    QTest::newRow("long wrapped") << QStringLiteral("网络连接已断开，请检查网络设置后重新连接接收端设备")
                                  << true;
}

void TstQnFloatTip::setTextMeasuresThePinnedFont()
{
    QFETCH(QString, text);
    QFETCH(bool, wrap);
    QnFloatTip tip;
    tip.setText(text, wrap);
    const int textWidth = QFontMetrics(QnFloatTip::measureFont()).boundingRect(text).width();
    QCOMPARE(tip.size(), QnFloatTip::sizeFor(textWidth, wrap));
    auto *label = tip.findChild<QLabel *>(QStringLiteral("labelMsg"));
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->wordWrap(), wrap);
    if (text.isEmpty())
        QCOMPARE(tip.size(), QSize(260, 50));
    if (wrap) {
        QCOMPARE(tip.size(), QSize(220, 65));
        // Two wrapped lines of the label font fit the 65-pixel tip.
        tip.show();
        QVERIFY(label->heightForWidth(220) <= 65);
    }
}

void TstQnFloatTip::form()
{
    QnFloatTip tip;
    QCOMPARE(tip.objectName(), QStringLiteral("QnFloatTip"));
    QVERIFY(tip.findChild<QWidget *>(QStringLiteral("QnFloatTipBg")));
    QVERIFY(tip.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(tip.testAttribute(Qt::WA_ShowModal));
    QVERIFY(tip.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(tip.windowFlags().testFlag(Qt::NoDropShadowWindowHint));
    QVERIFY(tip.styleSheet().contains(QStringLiteral("#C4000000")));
}

void TstQnFloatTip::showTipWithoutAnchorShowsAndCloses()
{
    QPointer<QnFloatTip> tip = QnFloatTip::showTip(QStringLiteral("已断开"), nullptr, 100);
    QVERIFY(tip);
    QVERIFY(tip->isVisible());
    QTRY_VERIFY(tip.isNull());
}

void TstQnFloatTip::showTipCentresOnAnchor()
{
    QWidget anchor;
    anchor.setGeometry(300, 200, 800, 600);
    anchor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&anchor));
    QPointer<QnFloatTip> tip = QnFloatTip::showTip(QStringLiteral("连接成功"), &anchor, 5000);
    const QPoint p = anchor.mapToGlobal(QPoint(0, 0));
    QCOMPARE(tip->pos(), p + QPoint((800 - 260) / 2, (600 - 50) / 2));
    QVERIFY(!tip->parentWidget());
    delete tip;
}

void TstQnFloatTip::showTipAtPlacement_data()
{
    QTest::addColumn<bool>("wrap");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("wrapped: top-left at the point") << true << QPoint(100, 40);
    QTest::newRow("unwrapped: top edge centred on the point") << false << QPoint(100 - 130, 40);
}

void TstQnFloatTip::showTipAtPlacement()
{
    QFETCH(bool, wrap);
    QFETCH(QPoint, expected);
    QWidget parent;
    parent.resize(600, 400);
    parent.show();
    QPointer<QnFloatTip> tip = QnFloatTip::showTipAt(QStringLiteral("短"), 100, 40, &parent, 5000, wrap);
    QCOMPARE(tip->pos(), expected);
    QCOMPARE(tip->parentWidget(), &parent);
    QVERIFY(tip->isVisible());
}

void TstQnFloatTip::textIsPlain()
{
    QnFloatTip tip;
    tip.setText(QStringLiteral("<b>receiver</b>"), false);
    QCOMPARE(tip.findChild<QLabel *>(QStringLiteral("labelMsg"))->textFormat(), Qt::PlainText);
}

QTEST_MAIN(TstQnFloatTip)
#include "tst_qnfloattip.moc"
