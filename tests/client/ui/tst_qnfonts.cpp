#include "client/ui/QnFonts.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QTest>

class TstQnFonts : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void formFamiliesMapToCjk_data();
    void formFamiliesMapToCjk();
    void styleSheetFamilyListMapsToCjk();
    void installTwiceIsHarmless();
};

void TstQnFonts::initTestCase()
{
    QVERIFY2(QnFonts::cjkFamilyAvailable(), "fonts-noto-cjk is not installed");
    QnFonts::install();
}

void TstQnFonts::formFamiliesMapToCjk_data()
{
    QTest::addColumn<QString>("family");
    for (const QString &f : QnFonts::formFamilies())
        QTest::newRow(qPrintable(f)) << f;
}

void TstQnFonts::formFamiliesMapToCjk()
{
    QFETCH(QString, family);
    QFont font(family);
    font.setPixelSize(16);
    QCOMPARE(QFontInfo(font).family(), QStringLiteral("Noto Sans CJK SC"));
    const QFontMetrics fm(font);
    for (const QChar c : QStringLiteral("昆洛传屏让知识传递更轻松正在启动连接中取消"))
        QVERIFY2(fm.inFont(c), qPrintable(QString(c)));
    // A CJK ideograph at 16 px is one em wide in this font.
    QCOMPARE(fm.horizontalAdvance(QStringLiteral("昆")), 16);
}

void TstQnFonts::styleSheetFamilyListMapsToCjk()
{
    QLabel label(QStringLiteral("昆洛传屏"));
    label.setStyleSheet(QStringLiteral("font-size: 36px; font-family: \"PingFangSC-Regular, PingFang SC\";"));
    label.ensurePolished();
    QCOMPARE(QFontInfo(label.font()).family(), QStringLiteral("Noto Sans CJK SC"));
    QCOMPARE(QFontMetrics(label.font()).horizontalAdvance(label.text()), 144);
}

void TstQnFonts::installTwiceIsHarmless()
{
    QnFonts::install();
    for (const QString &f : QnFonts::formFamilies())
        QCOMPARE(QFont::substitutes(f).filter(QnFonts::cjkFamily(), Qt::CaseInsensitive).size(), 1);
}

QTEST_MAIN(TstQnFonts)
#include "tst_qnfonts.moc"
