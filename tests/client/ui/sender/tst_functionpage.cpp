// The function page: the QML carousel in a QQuickWidget (software Quick backend, offscreen),
// upload progress on the covers found by objectName, clicks reaching the page's signals.
#include "client/ui/QnFonts.h"
#include "client/ui/sender/QnLynFunctionHomeWidget.h"
#include "resources/QnResources.h"
#include "tests/fixtures/ui/QnQuickItems.h"

#include <QLabel>
#include <QQuickItem>
#include <QQuickWidget>
#include <QSignalSpy>
#include <QTest>

namespace {

QQuickItem *item(QnLynFunctionHomeWidget &page, const QString &name)
{
    return findQuickItem(page.quickWidget()->rootObject(), name);
}

QString countText(QnLynFunctionHomeWidget &page, const QString &cover)
{
    QQuickItem *text = item(page, QStringLiteral("count_") + cover);
    return text ? text->property("text").toString() : QStringLiteral("<missing>");
}

bool loadingShown(QnLynFunctionHomeWidget &page, const QString &cover)
{
    QQuickItem *box = item(page, QStringLiteral("loadRec_") + cover);
    return box && box->isVisible();
}

} // namespace

class TstFunctionPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QnResources::init();
        QnFonts::install();
    }

    void loadsWithMirroringInFront()
    {
        QnLynFunctionHomeWidget page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.quickWidget()->status(), QQuickWidget::Ready);
        QVERIFY2(page.quickWidget()->errors().isEmpty(), "QML errors");
        QQuickItem *flow = item(page, QStringLiteral("coverFlow"));
        QVERIFY(flow);
        QCOMPARE(flow->property("currentIndex").toInt(), 2);
        QQuickItem *mirror = item(page, QStringLiteral("cover_mirror"));
        QQuickItem *pic = item(page, QStringLiteral("cover_pic"));
        QVERIFY(mirror && pic);
        QTRY_COMPARE(mirror->scale(), 1.0);
        QVERIFY(mirror->z() > pic->z());
        QVERIFY(pic->scale() < 1.0);
        for (const char *name : {"pic", "file", "mirror", "expand", "desktop"}) {
            auto *image = item(page, QStringLiteral("image_") + QLatin1String(name));
            QVERIFY2(image && image->property("status").toInt() == 1, name); // Image.Ready
        }
    }

    void deviceName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("12") << QStringLiteral("abcdefghijkl") << QStringLiteral("abcdefghijkl");
        QTest::newRow("13") << QStringLiteral("abcdefghijklm") << QStringLiteral("abcdefghijkl...");
        QTest::newRow("markup stays text") << QStringLiteral("<b>R</b>") << QStringLiteral("<b>R</b>");
    }
    void deviceName()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QnLynFunctionHomeWidget page;
        page.setDeviceName(name);
        QCOMPARE(page.deviceNameText(), shown);
        QCOMPARE(page.findChild<QLabel *>(QStringLiteral("devicenameLabel"))->textFormat(), Qt::PlainText);
    }

    void uploadProgress()
    {
        QnLynFunctionHomeWidget page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QCOMPARE(page.quickWidget()->status(), QQuickWidget::Ready);
        page.updateUploadDataChanged(QStringLiteral("file"), 3, 5);
        QCOMPARE(countText(page, QStringLiteral("file")), QStringLiteral("3/5"));
        QVERIFY(loadingShown(page, QStringLiteral("file")));
        QVERIFY(!loadingShown(page, QStringLiteral("pic")));
        QCOMPARE(countText(page, QStringLiteral("pic")), QStringLiteral("0/0"));
        page.updateUploadDataChanged(QStringLiteral("mirror"), 1, 2); // no cover of that kind
        for (const char *name : {"pic", "mirror", "expand", "desktop"})
            QVERIFY2(!loadingShown(page, QLatin1String(name)), name);
        page.updateUploadDataChanged(QStringLiteral("file"), 5, 5);
        QVERIFY(!loadingShown(page, QStringLiteral("file")));
        QCOMPARE(countText(page, QStringLiteral("file")), QStringLiteral("0/0"));
        page.updateUploadDataChanged(QStringLiteral("pic"), 1, 4);
        QVERIFY(loadingShown(page, QStringLiteral("pic")));
        page.updateUploadDataChanged(QStringLiteral("pic"), 0, 0);
        QVERIFY(!loadingShown(page, QStringLiteral("pic")));
    }

    void coverClicks_data()
    {
        QTest::addColumn<int>("index");
        QTest::newRow("pictures") << 0;
        QTest::newRow("documents") << 1;
        QTest::newRow("mirror") << 2;
        QTest::newRow("expand") << 3;
        QTest::newRow("desktop") << 4;
    }
    void coverClicks()
    {
        QFETCH(int, index);
        QnLynFunctionHomeWidget page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QList<QSignalSpy *> spies{new QSignalSpy(&page, &QnLynFunctionHomeWidget::clickedPicture),
                                  new QSignalSpy(&page, &QnLynFunctionHomeWidget::clickedFiles),
                                  new QSignalSpy(&page, &QnLynFunctionHomeWidget::clickedMirror),
                                  new QSignalSpy(&page, &QnLynFunctionHomeWidget::clickedExpand),
                                  new QSignalSpy(&page, &QnLynFunctionHomeWidget::clickedDesktop)};
        const QStringList names{"pic", "file", "mirror", "expand", "desktop"};
        QQuickItem *cover = item(page, QStringLiteral("image_") + names.at(index));
        QVERIFY(cover);
        QTRY_VERIFY(cover->isVisible());
        // A click in the visible middle of the cover (side covers are partly behind their neighbours).
        QPointF local(cover->width() / 2, cover->height() / 2);
        if (index < 2)
            local.setX(cover->width() * 0.3);
        else if (index > 2)
            local.setX(cover->width() * 0.7);
        const QPoint at = cover->mapToScene(local).toPoint();
        QTest::mouseClick(page.quickWidget(), Qt::LeftButton, {}, at);
        for (int i = 0; i < spies.size(); ++i)
            QVERIFY2(spies.at(i)->count() == (i == index ? 1 : 0), qPrintable(names.at(i)));
        qDeleteAll(spies);
    }

    void disconnectResetsCarousel()
    {
        QnLynFunctionHomeWidget page;
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QQuickItem *flow = item(page, QStringLiteral("coverFlow"));
        QMetaObject::invokeMethod(flow, "nextItem");
        QTRY_COMPARE(flow->property("currentIndex").toInt(), 3);
        QSignalSpy spy(&page, &QnLynFunctionHomeWidget::clickedDisconnectBtn);
        QTest::mouseClick(page.findChild<QWidget *>(QStringLiteral("disconnecrtBtn")), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(flow->property("currentIndex").toInt(), 2);
    }
};

QTEST_MAIN(TstFunctionPage)
#include "tst_functionpage.moc"
