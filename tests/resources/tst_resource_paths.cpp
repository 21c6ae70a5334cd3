// Every picture path: the fixed list of paths the windows, the login library and the updater name
// (with the size each is shown at), every ":/..." or "qrc:/..." path written in our code, forms,
// QML and style sheets, and every file in the resource tree must load.
#include "resources/QnResources.h"

#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QTest>
#include <QTranslator>

namespace {

struct NamedPicture
{
    const char *path;
    int width; ///< 0: the windows give no single size
    int height;
};

// clang-format off
const NamedPicture kNamedPictures[] = {
    {":/RiDovud/res/banner/banner_1.svg", 342, 600},
    {":/RiDovud/res/banner/banner_2.svg", 342, 600},
    {":/RiDovud/res/banner/banner_3.svg", 342, 600},
    {":/RiDovud/res/icon/arrow_right.svg", 0, 0},
    {":/RiDovud/res/icon/default_head.png", 120, 120},
    {":/RiDovud/res/icon/icon_close.svg", 16, 16},
    {":/RiDovud/res/icon/logo.svg", 44, 40},
    {":/RiDovud/res/icon/phone.svg", 50, 50},
    {":/RiDovud/res/icon/pwd.svg", 50, 50},
    {":/RiDovud/res/icon/pwd_1.svg", 50, 50},
    {":/RiDovud/res/icon/pwd_close.svg", 14, 10},
    {":/RiDovud/res/icon/pwd_open.svg", 14, 10},
    {":/RiDovud/res/icon/verify.svg", 50, 50},
    {":/RiDovud/res/image/btn_close.svg", 0, 0},
    {":/RiDovud/res/image/btn_close_hover.svg", 0, 0},
    {":/RiDovud/res/image/btn_min.svg", 0, 0},
    {":/RiDovud/res/image/btn_min_hover.svg", 0, 0},
    {":/RiDovud/res/image/checked.svg", 14, 14},
    {":/RiDovud/res/image/loginback.png", 925, 600},
    {":/RiDovud/res/image/networkdisable.svg", 0, 0},
    {":/RiDovud/res/image/unchecked.svg", 14, 14},
    {":/images/a/1.png", 8, 9},
    {":/images/a/2.png", 8, 9},
    {":/images/a/3.png", 8, 9},
    {":/images/a/4.png", 8, 9},
    {":/img/DOC.svg", 32, 39},
    {":/img/PDF.svg", 32, 39},
    {":/img/PPT.svg", 32, 39},
    {":/img/TXT.svg", 32, 39},
    {":/img/XSL.svg", 32, 39},
    {":/img/aboutarrow.svg", 7, 7},
    {":/img/back1.png", 820, 620},
    {":/img/back_up.png", 820, 620},
    {":/img/checked.svg", 0, 0},
    {":/img/clearBtn.svg", 0, 0},
    {":/img/close.svg", 12, 12},
    {":/img/close_press.svg", 12, 12},
    {":/img/con_close.svg", 0, 0},
    {":/img/con_min.svg", 0, 0},
    {":/img/custom1.svg", 34, 24},
    {":/img/delfile.svg", 17, 17},
    {":/img/desktop/btn_clear.svg", 20, 26},
    {":/img/desktop/btn_close.svg", 16, 16},
    {":/img/desktop/btn_full.svg", 16, 16},
    {":/img/desktop/btn_hide.svg", 25, 50},
    {":/img/desktop/btn_max.svg", 16, 16},
    {":/img/desktop/btn_min.svg", 16, 16},
    {":/img/desktop/btn_normal.svg", 38, 38},
    {":/img/desktop/btn_pen.svg", 20, 26},
    {":/img/desktop/btn_redo.svg", 20, 26},
    {":/img/desktop/btn_select.svg", 20, 26},
    {":/img/desktop/btn_show.svg", 25, 50},
    {":/img/desktop/btn_undo.svg", 20, 26},
    {":/img/desktop/redbtn_clear_pressed.svg", 20, 26},
    {":/img/desktop/redbtn_close_pressed.svg", 16, 16},
    {":/img/desktop/redbtn_full_pressed.svg", 16, 16},
    {":/img/desktop/redbtn_max_pressed.svg", 16, 16},
    {":/img/desktop/redbtn_min_pressed.svg", 16, 16},
    {":/img/desktop/redbtn_pen_pressed.svg", 20, 26},
    {":/img/desktop/redbtn_redo_pressed.svg", 20, 26},
    {":/img/desktop/redbtn_select_pressed.svg", 20, 26},
    {":/img/desktop/redbtn_undo_pressed.svg", 20, 26},
    {":/img/empty.svg", 104, 81},
    {":/img/grayclose_press.svg", 0, 0},
    {":/img/graymin_press.svg", 0, 0},
    {":/img/guide1.png", 97, 73},
    {":/img/guide2.svg", 97, 73},
    {":/img/guide3.png", 97, 73},
    {":/img/guide4.png", 97, 73},
    {":/img/help.svg", 20, 20},
    {":/img/hidepass.svg", 0, 0},
    {":/img/icon_autoCon.svg", 25, 22},
    {":/img/icon_desktopShadow2.png", 210, 274},
    {":/img/icon_expandShadow2.png", 210, 274},
    {":/img/icon_fileShadow2.png", 210, 274},
    {":/img/icon_mirrorShadow2.png", 210, 274},
    {":/img/icon_person1.svg", 35, 35},
    {":/img/icon_personCenter.svg", 60, 60},
    {":/img/icon_picShadow2.png", 210, 274},
    {":/img/leftArrow.svg", 0, 0},
    {":/img/loading2x.png", 58, 57},
    {":/img/localNet.svg", 0, 0},
    {":/img/loginback.svg", 820, 620},
    {":/img/main/redbtn_desktop.svg", 19, 19},
    {":/img/mima.svg", 0, 0},
    {":/img/mima_again.svg", 0, 0},
    {":/img/mirrors.svg", 58, 39},
    {":/img/networkdis.svg", 118, 91},
    {":/img/redArrowright.svg", 7, 7},
    {":/img/redbtn_normal_pressed.svg", 38, 38},
    {":/img/redcustom1_check.svg", 34, 24},
    {":/img/reddownarrow.svg", 0, 0},
    {":/img/redrightarrow.svg", 0, 0},
    {":/img/reduparrow.svg", 0, 0},
    {":/img/refresh1.svg", 20, 20},
    {":/img/shouji.svg", 0, 0},
    {":/img/showpass.svg", 0, 0},
    {":/img/startBak1.png", 410, 460},
    {":/img/startIcon.png", 64, 64},
    {":/img/startIcon2x.png", 96, 96},
    {":/img/uncheck.svg", 0, 0},
    {":/img/vercode.svg", 0, 0},
    {":/img/wifi.svg", 0, 0},
    {":/res/imgs/btn_ok.svg", 0, 0},
    {":/resource/close.svg", 17, 17},
    {":/resource/lynServerlogo.png", 148, 148},
    {":/resource/lynjieshou.png", 148, 148},
};
// clang-format on

/// Loads one resource path the way its users do; returns an empty string or the reason it failed.
/// A non-empty @p expected is compared with the PNG's pixel size or the SVG's default size.
QString loadFailure(const QString &path, const QSize &expected = QSize())
{
    if (!QFile::exists(path))
        return QStringLiteral("missing");
    const QString lower = path.toLower();
    QSize size;
    if (lower.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(path);
        if (!renderer.isValid())
            return QStringLiteral("not a valid SVG");
        size = renderer.defaultSize();
    } else if (lower.endsWith(QLatin1String(".png")) || lower.endsWith(QLatin1String(".jpg"))) {
        const QImage image(path);
        if (image.isNull())
            return QStringLiteral("image does not load");
        size = image.size();
    } else if (lower.endsWith(QLatin1String(".qm")) || path.startsWith(QLatin1String(":/trans/"))) {
        QTranslator translator;
        if (!translator.load(path) || translator.isEmpty())
            return QStringLiteral("catalogue does not load");
    }
    if (expected.isValid() && size != expected)
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(size.width())
            .arg(size.height())
            .arg(expected.width())
            .arg(expected.height());
    return QString();
}

/// Resource paths written in one file: ":/x", "qrc:/x" and the slash-less ":x" form inside url().
/// Patterns with a placeholder ("banner_%1.svg") or a bare folder are left out.
QStringList pathsIn(const QString &text)
{
    static const QRegularExpression absolute(
        QStringLiteral("(?<![A-Za-z0-9_:])(?:qrc)?(:/[A-Za-z0-9_][A-Za-z0-9_./@%-]*)"));
    static const QRegularExpression relative(
        QStringLiteral("url\\(\\s*[\"']?(:[A-Za-z0-9_][A-Za-z0-9_./@-]*)"));
    QStringList paths;
    for (const QRegularExpression *re : {&absolute, &relative}) {
        auto it = re->globalMatch(text);
        while (it.hasNext()) {
            QString path = it.next().captured(1);
            while (path.endsWith(QLatin1Char('.')))
                path.chop(1);
            if (path.contains(QLatin1Char('%')) || path.endsWith(QLatin1Char('/')) ||
                path.endsWith(QLatin1Char('_')))
                continue;
            paths << path;
        }
    }
    return paths;
}

} // namespace

class TestResourcePaths : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QnResources::init(); }

    void namedPictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("expected");
        for (const NamedPicture &p : kNamedPictures)
            QTest::newRow(p.path) << QString::fromLatin1(p.path)
                                  << (p.width > 0 ? QSize(p.width, p.height) : QSize());
        QTest::newRow("program catalogue") << QStringLiteral(":/trans/QnLynClient_zh_CN") << QSize();
        QTest::newRow("updater catalogue") << QStringLiteral(":/resource/update.qm") << QSize();
    }

    void namedPictures()
    {
        QFETCH(QString, path);
        QFETCH(QSize, expected);
        const QString failure = loadFailure(path, expected);
        QVERIFY2(failure.isEmpty(), qPrintable(path + QLatin1String(": ") + failure));
    }

    // A second init (a test helper and main() may both call it) registers nothing twice.
    void initTwiceKeepsOneCopy()
    {
        QnResources::init();
        int count = 0;
        QDirIterator it(QStringLiteral(":/img"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            ++count;
        }
        QVERIFY(count > 0);
        QnResources::init();
        int again = 0;
        QDirIterator it2(QStringLiteral(":/img"), QDir::Files, QDirIterator::Subdirectories);
        while (it2.hasNext()) {
            it2.next();
            ++again;
        }
        QCOMPARE(again, count);
    }

    // Every file compiled in loads (no stray or broken file in the resource tree).
    void everyCompiledFileLoads()
    {
        QStringList failures;
        int count = 0;
        for (const QString &top :
             {QStringLiteral(":/img"), QStringLiteral(":/RiDovud"), QStringLiteral(":/images"),
              QStringLiteral(":/res"), QStringLiteral(":/resource"), QStringLiteral(":/trans")}) {
            QDirIterator it(top, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                ++count;
                const QString failure = loadFailure(path);
                if (!failure.isEmpty())
                    failures << path + QLatin1String(": ") + failure;
            }
        }
        QVERIFY(count >= int(std::size(kNamedPictures)));
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
    }

    void pathsInText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("style sheet") << QStringLiteral("QLabel{image:url(:/img/wifi.svg);border:0px;}")
                                     << QStringList{QStringLiteral(":/img/wifi.svg")};
        QTest::newRow("qml url") << QStringLiteral("url: \"qrc:/img/icon_picShadow2.png\"")
                                 << QStringList{QStringLiteral(":/img/icon_picShadow2.png")};
        QTest::newRow("slash-less url")
            << QStringLiteral("image: url(:img/close.svg);") << QStringList{QStringLiteral(":img/close.svg")};
        QTest::newRow("web address and drive")
            << QStringLiteral("\"http://a.b/c.png\" C:/a") << QStringList();
        QTest::newRow("placeholder") << QStringLiteral("\":/RiDovud/res/banner/banner_%1.svg\"")
                                     << QStringList();
        QTest::newRow("scope operator") << QStringLiteral("QDir::/* comment */") << QStringList();
    }

    void pathsInText()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, paths);
        QCOMPARE(pathsIn(text), paths);
    }

    // Scans the source tree as it is now, so a path added to a form or a style sheet is checked
    // without touching this test.
    void everyPathInTheSourcesLoads()
    {
        const QString root = QStringLiteral(QN_SOURCE_DIR);
        QStringList failures;
        int files = 0;
        for (const QString &top : {QStringLiteral("/src"), QStringLiteral("/resources")}) {
            QDirIterator it(root + top,
                            {QStringLiteral("*.cpp"), QStringLiteral("*.h"), QStringLiteral("*.ui"),
                             QStringLiteral("*.qml"), QStringLiteral("*.qss"), QStringLiteral("*.css"),
                             QStringLiteral("*.js")},
                            QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                QFile file(it.next());
                QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
                ++files;
                const QString text = QString::fromUtf8(file.readAll());
                for (const QString &path : pathsIn(text)) {
                    const QString failure = loadFailure(path);
                    if (!failure.isEmpty())
                        failures << file.fileName().mid(root.size() + 1) + QLatin1String(": ") + path +
                                        QLatin1String(": ") + failure;
                }
            }
        }
        QVERIFY2(files > 0, "source tree not found");
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1Char('\n'))));
    }
};

QTEST_MAIN(TestResourcePaths)
#include "tst_resource_paths.moc"
