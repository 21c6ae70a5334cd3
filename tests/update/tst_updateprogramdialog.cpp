#include "tests/update/UpdateTestEnv.h"
#include "update/src/UpdateProgramDialog.h"
#include "update/src/UpdateProgress.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTranslator>

// The update dialog offscreen: its form, its texts from 64-bit sizes, its pages through a whole
// download from the loopback fixture, and the updater's translation.
class TestUpdateProgramDialog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void form_data();
    void form();
    void appTypeLogo_data();
    void appTypeLogo();
    void forcedHidesIgnoreAndClose();
    void sizeAndNotes_data();
    void sizeAndNotes();
    void progress_data();
    void progress();
    void acceptDownloadInstall();
    void failedDownloadRejects();
    void ignoreAndClose();
    void translation_data();
    void translation();

private:
    template<typename T> T *child(UpdateProgramDialog &dialog, const char *name)
    {
        return dialog.findChild<T *>(QLatin1String(name));
    }

    UpdateTestEnv m_env;
};

void TestUpdateProgramDialog::initTestCase()
{
    QVERIFY(m_env.start());
}

void TestUpdateProgramDialog::init()
{
    m_env.elevation->clear();
    m_env.exits.clear();
    m_env.cloud.clearRoutes();
}

void TestUpdateProgramDialog::form_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("label") << "label"
                           << "QLabel" << QRect(210, 50, 67, 67);
    QTest::newRow("label_2") << "label_2"
                             << "QLabel" << QRect(174, 120, 91, 30);
    QTest::newRow("versionlabel") << "versionlabel"
                                  << "QLabel" << QRect(264, 123, 141, 21);
    QTest::newRow("label_3") << "label_3"
                             << "QLabel" << QRect(20, 10, 91, 21);
    QTest::newRow("closeButton") << "closeButton"
                                 << "QPushButton" << QRect(460, 10, 17, 17);
    QTest::newRow("sizelabel") << "sizelabel"
                               << "QLabel" << QRect(230, 160, 35, 23);
    QTest::newRow("label_4") << "label_4"
                             << "QLabel" << QRect(220, 190, 71, 16);
    QTest::newRow("textEdit") << "textEdit"
                              << "QTextEdit" << QRect(60, 210, 400, 81);
    QTest::newRow("stackedWidget") << "stackedWidget"
                                   << "QStackedWidget" << QRect(7, 285, 485, 81);
    QTest::newRow("horizontalLayoutWidget") << "horizontalLayoutWidget"
                                            << "QWidget" << QRect(10, 20, 471, 61);
    QTest::newRow("progressBar") << "progressBar"
                                 << "QProgressBar" << QRect(20, 20, 400, 17);
    QTest::newRow("updatelabel") << "updatelabel"
                                 << "QLabel" << QRect(200, 40, 91, 21);
    QTest::newRow("valuelabel") << "valuelabel"
                                << "QLabel" << QRect(430, 17, 40, 21);
    QTest::newRow("installBtn") << "installBtn"
                                << "QPushButton" << QRect(170, 20, 121, 40);
}

void TestUpdateProgramDialog::form()
{
    QFETCH(QString, name);
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    UpdateProgramDialog dialog;
    QCOMPARE(dialog.size(), QSize(518, 388));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(dialog.windowFlags() & Qt::Tool);
    QWidget *frame = child<QWidget>(dialog, "updatebackframe");
    QVERIFY(frame);
    QCOMPARE(frame->minimumSize(), QSize(500, 370));
    QCOMPARE(frame->maximumSize(), QSize(500, 370));
    QWidget *widget = dialog.findChild<QWidget *>(name);
    QVERIFY(widget);
    QVERIFY(widget->inherits(className.toLatin1().constData()));
    QCOMPARE(widget->geometry(), geometry);
    QVERIFY(child<QPushButton>(dialog, "ignoreBtn"));
    QCOMPARE(child<QPushButton>(dialog, "acceptBtn")->text(), QString::fromUtf8("更新"));
    QCOMPARE(child<QStackedWidget>(dialog, "stackedWidget")->currentWidget()->objectName(),
             QStringLiteral("page"));
    QVERIFY(child<QTextEdit>(dialog, "textEdit")->isReadOnly());
    QVERIFY(dialog.updateMain());
    QVERIFY(dialog.isDownloadFinished());
}

void TestUpdateProgramDialog::appTypeLogo_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("style");
    QTest::newRow("1") << 1 << "border-image: url(:/resource/lynServerlogo.png);";
    QTest::newRow("2") << 2 << "border-image: url(:/resource/lynjieshou.png);";
    QTest::newRow("3 keeps the logo") << 3 << "border-image: url(:/resource/lynjieshou.png);";
}

void TestUpdateProgramDialog::appTypeLogo()
{
    QFETCH(int, type);
    QFETCH(QString, style);
    UpdateProgramDialog dialog;
    dialog.setAppType(2);
    dialog.setAppType(type);
    QCOMPARE(child<QLabel>(dialog, "label")->styleSheet(), style);
}

void TestUpdateProgramDialog::forcedHidesIgnoreAndClose()
{
    UpdateProgramDialog dialog;
    dialog.setForceUpdate(true);
    QVERIFY(child<QPushButton>(dialog, "ignoreBtn")->isHidden());
    QVERIFY(child<QPushButton>(dialog, "closeButton")->isHidden());
    QVERIFY(!child<QPushButton>(dialog, "acceptBtn")->isHidden());
    dialog.setForceUpdate(false);
    QVERIFY(!child<QPushButton>(dialog, "ignoreBtn")->isHidden());
    QVERIFY(!child<QPushButton>(dialog, "closeButton")->isHidden());
}

void TestUpdateProgramDialog::sizeAndNotes_data()
{
    QTest::addColumn<qlonglong>("totalSize");
    QTest::addColumn<QString>("sizeText");
    QTest::newRow("3 MiB") << qlonglong(3145728) << "3M";
    QTest::newRow("just under 1 MiB") << qlonglong(1048575) << "0M";
    QTest::newRow("5 GiB") << qlonglong(5368709120) << "5120M";
}

void TestUpdateProgramDialog::sizeAndNotes()
{
    QFETCH(qlonglong, totalSize);
    QFETCH(QString, sizeText);
    UpdateProgramDialog dialog;
    dialog.updateMain()->setEnvironment(m_env.environment());
    const QString notes = QStringLiteral("<b>bold?</b>\nline 2");
    dialog.setUpdateInfo({{"totalsize", totalSize}, {"content", notes}, {"ver", "1.0.7"}, {"state", 1}});
    QCOMPARE(child<QLabel>(dialog, "sizelabel")->text(), sizeText);
    QCOMPARE(child<QLabel>(dialog, "versionlabel")->text(), QStringLiteral("V1.0.7"));
    QCOMPARE(child<QLabel>(dialog, "versionlabel")->textFormat(), Qt::PlainText);
    QCOMPARE(child<QTextEdit>(dialog, "textEdit")->toPlainText(), notes); // shown as it stands
    QVERIFY(QFileInfo::exists(m_env.appDir() + "/config")); // update.ini opened in the program folder
    dialog.onUpdateInfo(2 * totalSize, "later");
    QCOMPARE(child<QLabel>(dialog, "sizelabel")->text(), UpdateProgress::sizeText(2 * totalSize));
    QCOMPARE(child<QTextEdit>(dialog, "textEdit")->toPlainText(), QStringLiteral("later"));
}

void TestUpdateProgramDialog::progress_data()
{
    QTest::addColumn<qlonglong>("received");
    QTest::addColumn<qlonglong>("total");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::newRow("512 of 2048") << qlonglong(512) << qlonglong(2048) << "25%" << 2048 << 512;
    QTest::newRow("total 0: unchanged") << qlonglong(10) << qlonglong(0) << "0%" << 100 << 0;
    QTest::newRow("total negative: unchanged") << qlonglong(10) << qlonglong(-1) << "0%" << 100 << 0;
    QTest::newRow("5 GiB, one byte short")
        << qlonglong(5368709119) << qlonglong(5368709120) << "99%" << 1342177280 << 1342177279;
    QTest::newRow("5 GiB, whole") << qlonglong(5368709120) << qlonglong(5368709120) << "100%" << 1342177280
                                  << 1342177280;
}

void TestUpdateProgramDialog::progress()
{
    QFETCH(qlonglong, received);
    QFETCH(qlonglong, total);
    QFETCH(QString, label);
    QFETCH(int, maximum);
    QFETCH(int, value);
    UpdateProgramDialog dialog;
    QProgressBar *bar = child<QProgressBar>(dialog, "progressBar");
    dialog.setDownloadPercent(received, total);
    QCOMPARE(child<QLabel>(dialog, "valuelabel")->text(), label);
    QCOMPARE(bar->maximum(), maximum);
    QCOMPARE(bar->value(), value);
}

void TestUpdateProgramDialog::acceptDownloadInstall()
{
    const QByteArray bytes = packageBytes(250000);
    m_env.offerPackage("/dl/QnLynClient_1.0.7_amd64.deb", bytes);
    UpdateProgramDialog dialog;
    dialog.updateMain()->setEnvironment(m_env.environment());
    QVERIFY(UpdateTestEnv::check(*dialog.updateMain()));
    dialog.setAppType(1);
    dialog.setForceUpdate(dialog.updateMain()->isForceUpdate());
    dialog.setUpdateInfo(dialog.updateMain()->getUpdateInfo());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QSignalSpy finished(dialog.updateMain(), &UpdateMain::downloadFinished);
    QStackedWidget *pages = child<QStackedWidget>(dialog, "stackedWidget");
    QTest::mouseClick(child<QPushButton>(dialog, "acceptBtn"), Qt::LeftButton);
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("page_2"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(pages->currentWidget()->objectName(), QStringLiteral("page_3"));
    QCOMPARE(child<QLabel>(dialog, "valuelabel")->text(), QStringLiteral("100%"));
    QVERIFY(dialog.isDownloadFinished());

    QSignalSpy startInstall(&dialog, &UpdateProgramDialog::startInstall);
    QTest::mouseClick(child<QPushButton>(dialog, "installBtn"), Qt::LeftButton);
    QCOMPARE(startInstall.size(), 1);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const QList<QnFakeElevation::Call> calls = m_env.elevation->calls();
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls.at(0).elevated);
    QCOMPARE(calls.at(0).start.program, QStringLiteral("apt-get"));
    QCOMPARE(calls.at(0).start.arguments, (QStringList{"install", "-y", "./QnLynClient_1.0.7_amd64.deb"}));
    QVERIFY(m_env.exits.isEmpty()); // not administrator: the program stays
}

void TestUpdateProgramDialog::failedDownloadRejects()
{
    const QByteArray bytes = packageBytes(1000);
    m_env.offerPackage("/dl/setup.bin", bytes, bytes.size(), QString(32, 'e'));
    UpdateProgramDialog dialog;
    dialog.updateMain()->setEnvironment(m_env.environment());
    QVERIFY(UpdateTestEnv::check(*dialog.updateMain()));
    dialog.setUpdateInfo(dialog.updateMain()->getUpdateInfo());
    dialog.show();
    QSignalSpy rejected(&dialog, &QDialog::rejected);
    QTest::mouseClick(child<QPushButton>(dialog, "acceptBtn"), Qt::LeftButton);
    QVERIFY(rejected.wait(10000));
    QVERIFY(!dialog.isDownloadFinished());
    QVERIFY(m_env.elevation->calls().isEmpty());
    // The page is not reset: a reopened dialog shows the progress page.
    QCOMPARE(child<QStackedWidget>(dialog, "stackedWidget")->currentWidget()->objectName(),
             QStringLiteral("page_2"));
}

void TestUpdateProgramDialog::ignoreAndClose()
{
    UpdateProgramDialog dialog;
    dialog.show();
    QTest::mouseClick(child<QPushButton>(dialog, "ignoreBtn"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    dialog.show();
    QTest::mouseClick(child<QPushButton>(dialog, "closeButton"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
}

void TestUpdateProgramDialog::translation_data()
{
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("translation");
    QTest::newRow("error") << "UpdateMain"
                           << "error" << QString::fromUtf8("错误");
    QTest::newRow("upgrade failed")
        << "UpdateMain"
        << "The upgrade failed, please go to the official website to download again"
        << QString::fromUtf8("升级失败，请去官网进行下载");
    QTest::newRow("UpdateMain OK") << "UpdateMain"
                                   << "OK" << QString::fromUtf8("确认");
    QTest::newRow("Warm Remind") << "QObject"
                                 << "Warm Remind" << QString::fromUtf8("警告");
    QTest::newRow("administrator needed")
        << "QObject"
        << "The respect customer, need administrator privileges to run the upgrade process"
        << QString::fromUtf8("尊敬的客户，需要管理员权限才能运行升级程序");
    QTest::newRow("QObject OK") << "QObject"
                                << "OK" << QString::fromUtf8("确定");
    QTest::newRow("write failed") << "UpdateDownloader"
                                  << "write %1 file failed" << QString::fromUtf8("写入%1文件失败");
}

void TestUpdateProgramDialog::translation()
{
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, translation);
    UpdateMain main; // registers the updater's resources
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/resource/update.qm")));
    QCOMPARE(translator.translate(context.toLatin1().constData(), source.toLatin1().constData()),
             translation);
}

QTEST_MAIN(TestUpdateProgramDialog)
#include "tst_updateprogramdialog.moc"
