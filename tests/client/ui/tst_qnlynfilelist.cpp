#include "client/ui/QnFonts.h"
#include "client/ui/QnLynFileKind.h"
#include "client/ui/QnLynFileListDelegate.h"
#include "client/ui/QnLynFileListModel.h"
#include "client/ui/QnLynUploadAgainWidget.h"

#include <QImage>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(QnLynFileType)
Q_DECLARE_METATYPE(QnLynUploadKind)

namespace {

QnLynFileItem *makeItem(const QString &path)
{
    auto *item = new QnLynFileItem;
    item->fileInfo = QFileInfo(path);
    item->name = item->fileInfo.fileName();
    return item;
}

} // namespace

class TstQnLynFileList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    void typeOf_data();
    void typeOf();
    void shownName_data();
    void shownName();
    void kindOf_data();
    void kindOf();

    void modelRows();
    void modelCheckedList();
    void modelOutOfRange();

    void zones_data();
    void zones();
    void paintsGreySquareForPictures_data();
    void paintsGreySquareForPictures();

    void pageListsAndSkips();
    void pageKindTravelsWithTheList();
    void pageUploadSendsEveryRow();
    void pageDeletingLastRowHides();
    void pageCloseSendsNothing();

private:
    QTemporaryDir m_dir;
    QString m_png;
};

void TstQnLynFileList::initTestCase()
{
    QnFonts::install();
    QVERIFY(m_dir.isValid());
    QImage image(60, 40, QImage::Format_RGB32);
    image.fill(QColor(0, 120, 200));
    m_png = m_dir.filePath(QStringLiteral("photo.PNG"));
    QVERIFY(image.save(m_png, "PNG"));
}

void TstQnLynFileList::typeOf_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QnLynFileType>("type");
    QTest::addColumn<QString>("icon");
    QTest::newRow("Report.DOCX") << "Report.DOCX" << QnLynFileType::Document << ":/img/DOC.svg";
    QTest::newRow("notes.doc") << "notes.doc" << QnLynFileType::Document << ":/img/DOC.svg";
    QTest::newRow("readme.TXT") << "readme.TXT" << QnLynFileType::Text << ":/img/TXT.svg";
    QTest::newRow("grades.xlsx") << "grades.xlsx" << QnLynFileType::Spreadsheet << ":/img/XSL.svg";
    QTest::newRow("minutes.final.pdf") << "minutes.final.pdf" << QnLynFileType::Pdf << ":/img/PDF.svg";
    QTest::newRow("lesson.Pptx") << "lesson.Pptx" << QnLynFileType::Presentation << ":/img/PPT.svg";
    QTest::newRow("archive.tar.gz") << "archive.tar.gz" << QnLynFileType::None << "";
    QTest::newRow("notes (no suffix)") << "notes" << QnLynFileType::None << "";
    QTest::newRow("photo.PNG") << "photo.PNG" << QnLynFileType::Image << "";
    QTest::newRow("photo.tar.png") << "photo.tar.png" << QnLynFileType::Image << "";
    QTest::newRow("IMG_0001.HEIC") << "IMG_0001.HEIC" << QnLynFileType::Image << "";
    QTest::newRow("scan.bmp") << "scan.bmp" << QnLynFileType::Image << "";
}

void TstQnLynFileList::typeOf()
{
    QFETCH(QString, name);
    QFETCH(QnLynFileType, type);
    QFETCH(QString, icon);
    QCOMPARE(QnLynFileKind::typeOf(QFileInfo(QStringLiteral("/tmp/x/") + name)), type);
    QCOMPARE(QnLynFileKind::iconPath(type), icon);
}

void TstQnLynFileList::shownName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("shown");
    QTest::newRow("12 characters whole") << "abcdefgh.pdf"
                                         << "abcdefgh.pdf";
    QTest::newRow("13 characters cut") << "abcdefghi.pdf"
                                       << "abcdefghi.pd...";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("Chinese") << QStringLiteral("第三单元课堂练习题目答案汇总.docx")
                             << QStringLiteral("第三单元课堂练习题目答案...");
    QTest::newRow("no split surrogate") << QStringLiteral("abcdefghijk\U0001F600z.txt") << "abcdefghijk...";
}

void TstQnLynFileList::shownName()
{
    QFETCH(QString, name);
    QFETCH(QString, shown);
    QCOMPARE(QnLynFileKind::shownName(name), shown);
}

void TstQnLynFileList::kindOf_data()
{
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QnLynUploadKind>("kind");
    QTest::newRow("pictures, any case")
        << QStringList{"a/photo.PNG", "b.jpeg", "c.heic", "d.HEIF"} << QnLynUploadKind::Picture;
    QTest::newRow("documents") << QStringList{"a.docx", "b.pdf"} << QnLynUploadKind::Document;
    QTest::newRow("mixed is not pictures") << QStringList{"a.png", "b.pdf"} << QnLynUploadKind::Document;
    QTest::newRow("empty") << QStringList{} << QnLynUploadKind::Document;
}

void TstQnLynFileList::kindOf()
{
    QFETCH(QStringList, paths);
    QFETCH(QnLynUploadKind, kind);
    QCOMPARE(QnLynFileKind::kindOf(paths), kind);
}

void TstQnLynFileList::modelRows()
{
    QnLynFileListModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    model.addItem(makeItem("/d/a.pdf"));
    model.addItem(makeItem("/d/b.docx"));
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.rowCount(model.index(0)), 0);
    QCOMPARE(inserted.count(), 2);
    const QVariant v = model.data(model.index(1), Qt::DisplayRole);
    QCOMPARE(v.userType(), int(QMetaType::LongLong));
    QCOMPARE(QnLynFileListModel::itemFromValue(v)->name, QStringLiteral("b.docx"));
    QVERIFY(!model.data(model.index(1), Qt::DecorationRole).isValid());
    QCOMPARE(model.itemAt(0).fileInfo.filePath(), QStringLiteral("/d/a.pdf"));
    model.removeItem(0);
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.itemAt(0).name, QStringLiteral("b.docx"));
}

void TstQnLynFileList::modelCheckedList()
{
    QnLynFileListModel model;
    model.addItem(makeItem("/d/a.pdf"));
    model.addItem(makeItem("/d/b.docx"));
    model.checkAll();
    QCOMPARE(model.checkedFilePaths(), (QStringList{"/d/a.pdf", "/d/b.docx"}));
    QVERIFY(model.itemAt(1).checked);
    // clearItems keeps the checked list: items added again come back checked.
    model.clearItems();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(model.checkedFilePaths().size(), 2);
    model.addItem(makeItem("/d/b.docx"));
    model.addItem(makeItem("/d/B.docx")); // exact comparison
    QVERIFY(model.itemAt(0).checked);
    QVERIFY(!model.itemAt(1).checked);
    model.removeItem(0);
    QCOMPARE(model.checkedFilePaths(), QStringList{"/d/a.pdf"});
}

void TstQnLynFileList::modelOutOfRange()
{
    QnLynFileListModel model;
    model.clearItems(); // nothing to do
    model.addItem(makeItem("/d/a.pdf"));
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    model.removeItem(1);
    model.removeItem(-1);
    QCOMPARE(removed.count(), 0);
    QCOMPARE(model.rowCount(), 1);
    const QnLynFileItem def = model.itemAt(5);
    QVERIFY(!def.checked && !def.openPressed && !def.deletePressed);
    QCOMPARE(def.state, 0);
    QVERIFY(def.name.isEmpty());
}

void TstQnLynFileList::zones_data()
{
    QTest::addColumn<QPoint>("at"); // in the second row (y 60..119) of the view
    QTest::addColumn<int>("checks");
    QTest::addColumn<int>("opens");
    QTest::addColumn<int>("deletes");
    QTest::newRow("check zone") << QPoint(15, 60 + 24) << 1 << 0 << 0;
    QTest::newRow("name zone start") << QPoint(72, 60 + 30) << 0 << 1 << 0;
    QTest::newRow("name zone last pixel x+246") << QPoint(246, 60 + 30) << 0 << 1 << 0;
    QTest::newRow("delete from x+247") << QPoint(247, 60 + 25) << 0 << 0 << 1;
    QTest::newRow("delete last pixel x+263") << QPoint(263, 60 + 33) << 0 << 0 << 1;
    QTest::newRow("right of delete") << QPoint(264, 60 + 25) << 0 << 0 << 0;
    QTest::newRow("icon is no zone") << QPoint(30, 60 + 45) << 0 << 0 << 0;
    QTest::newRow("above the name") << QPoint(100, 60 + 19) << 0 << 0 << 0;
}

void TstQnLynFileList::zones()
{
    QFETCH(QPoint, at);
    QFETCH(int, checks);
    QFETCH(int, opens);
    QFETCH(int, deletes);
    QListView view;
    view.setFixedSize(319, 245);
    view.setFrameShape(QFrame::NoFrame);
    QnLynFileListDelegate delegate;
    QnLynFileListModel model;
    view.setItemDelegate(&delegate);
    view.setModel(&model);
    model.addItem(makeItem("/d/a.pdf"));
    model.addItem(makeItem("/d/b.docx"));
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(view.visualRect(model.index(1)).topLeft(), QPoint(0, 60));
    QCOMPARE(delegate.sizeHint(QStyleOptionViewItem(), model.index(0)), QSize(319, 60));
    QSignalSpy check(&delegate, &QnLynFileListDelegate::clickedCheck);
    QSignalSpy open(&delegate, &QnLynFileListDelegate::openItem);
    QSignalSpy del(&delegate, &QnLynFileListDelegate::delItem);
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, at);
    const bool pressedDelete = model.itemAt(1).deletePressed;
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(check.count(), checks);
    QCOMPARE(open.count(), opens);
    QCOMPARE(del.count(), deletes);
    QCOMPARE(pressedDelete, deletes == 1);
    QVERIFY(!model.itemAt(1).deletePressed);
    for (QSignalSpy *s : {&check, &open, &del}) {
        if (!s->isEmpty())
            QCOMPARE(s->first().first().toInt(), 1);
    }
}

void TstQnLynFileList::paintsGreySquareForPictures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("square");
    QTest::newRow("photo.PNG") << "photo.PNG" << true;
    QTest::newRow("photo.tar.png") << "photo.tar.png" << true;
    QTest::newRow("notes") << "notes" << false;
    QTest::newRow("archive.tar.gz") << "archive.tar.gz" << false;
}

void TstQnLynFileList::paintsGreySquareForPictures()
{
    QFETCH(QString, name);
    QFETCH(bool, square);
    QnLynFileListModel model;
    model.addItem(makeItem(QStringLiteral("/d/") + name)); // null thumbnail
    QnLynFileListDelegate delegate;
    QImage image(319, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 319, 60);
    delegate.paint(&painter, option, model.index(0));
    painter.end();
    QCOMPARE(image.pixelColor(20, 8) == QColor(QStringLiteral("#BFBFBF")), square);
    QCOMPARE(image.pixelColor(60, 50) == QColor(QStringLiteral("#BFBFBF")), square);
}

void TstQnLynFileList::pageListsAndSkips()
{
    QnLynUploadAgainWidget page;
    QCOMPARE(page.size(), QSize(350, 340));
    QCOMPARE(page.listView()->size(), QSize(319, 245));
    page.setFiles({m_dir.filePath(QStringLiteral(".png")), m_png, "/d/minutes.final.pdf"});
    QCOMPARE(page.model()->rowCount(), 2);
    const QnLynFileItem photo = page.model()->itemAt(0);
    QCOMPARE(photo.name, QStringLiteral("photo.PNG"));
    QVERIFY(!photo.thumbnail.isNull()); // the picture test ignores case
    QCOMPARE(photo.thumbnail.size(), QSize(60, 40));
    QVERIFY(page.model()->itemAt(1).thumbnail.isNull());
}

void TstQnLynFileList::pageKindTravelsWithTheList()
{
    QnLynUploadAgainWidget page;
    QSignalSpy spy(&page, &QnLynUploadAgainWidget::uploadFiles);
    auto press = [&page] {
        QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("uploadBtn")), Qt::LeftButton);
    };
    // A failed picture upload ...
    page.setFiles({m_png, "/d/IMG_1.HEIC"});
    QCOMPARE(page.kind(), QnLynUploadKind::Picture);
    press();
    QCOMPARE(spy.last().at(1).toBool(), true);
    // ... does not make a later failed document upload go out as pictures.
    page.setFiles({"/d/Report.DOCX"});
    QCOMPARE(page.kind(), QnLynUploadKind::Document);
    press();
    QCOMPARE(spy.last().at(0).toStringList(), QStringList{"/d/Report.DOCX"});
    QCOMPARE(spy.last().at(1).toBool(), false);
    // The caller's kind wins when it gives one.
    page.setFiles({"/d/drawing.svg"}, QnLynUploadKind::Document);
    press();
    QCOMPARE(spy.last().at(1).toBool(), false);
}

void TstQnLynFileList::pageUploadSendsEveryRow()
{
    QnLynUploadAgainWidget page;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.setFiles({"/d/a.pdf", "/d/b.pdf", "/d/c.pdf"});
    QSignalSpy spy(&page, &QnLynUploadAgainWidget::uploadFiles);
    QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("uploadBtn")), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().at(0).toStringList(), (QStringList{"/d/a.pdf", "/d/b.pdf", "/d/c.pdf"}));
    QVERIFY(!page.isVisible());

    // Every path skipped: an empty list goes out.
    page.setFiles({"/d/.pdf"});
    QCOMPARE(page.model()->rowCount(), 0);
    QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("uploadBtn")), Qt::LeftButton);
    QCOMPARE(spy.last().at(0).toStringList(), QStringList());
}

void TstQnLynFileList::pageDeletingLastRowHides()
{
    QnLynUploadAgainWidget page;
    page.setFiles({"/d/a.pdf", "/d/b.pdf"});
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QWidget *viewport = page.listView()->viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(255, 25));
    QCOMPARE(page.model()->rowCount(), 1);
    QCOMPARE(page.model()->itemAt(0).name, QStringLiteral("b.pdf"));
    QVERIFY(page.isVisible());
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(255, 25));
    QCOMPARE(page.model()->rowCount(), 0);
    QVERIFY(!page.isVisible());
}

void TstQnLynFileList::pageCloseSendsNothing()
{
    QnLynUploadAgainWidget page;
    page.setFiles({"/d/a.pdf"});
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QSignalSpy spy(&page, &QnLynUploadAgainWidget::uploadFiles);
    QTest::mouseClick(page.findChild<QPushButton *>(QStringLiteral("ucloseBtn")), Qt::LeftButton);
    QVERIFY(!page.isVisible());
    QCOMPARE(spy.count(), 0);
    QCOMPARE(page.model()->rowCount(), 1); // the list stays until the next setFiles
}

QTEST_MAIN(TstQnLynFileList)
#include "tst_qnlynfilelist.moc"
