#include "tests/update/UpdateTestEnv.h"
#include "update/src/Md5Check.h"
#include "update/src/UpdateFiles.h"

#include <QDir>
#include <QFile>
#include <QSettings>

// The package download, the file-list route, update.ini, and the folder and MD5 helpers, against
// the loopback HTTP fixture.
class TestUpdateDownload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void packageDownloaded_data();
    void packageDownloaded();
    void failedDownloadLeavesNothing_data();
    void failedDownloadLeavesNothing();
    void acceptBeforeAnyOfferFails();
    void progressIs64Bit();
    void fileListRoute();
    void fileListMd5Mismatch();
    void fileListPathOutsideRefused();
    void removeFolderTree();
    void removeFolderTreeOnLinkedFolder();
    void fileMd5_data();
    void fileMd5();
    void md5CheckThread_data();
    void md5CheckThread();

private:
    QByteArray read(const QString &path) const;
    void writeFile(const QString &path, const QByteArray &bytes) const;

    UpdateTestEnv m_env;
};

void TestUpdateDownload::initTestCase()
{
    QVERIFY(m_env.start());
}

void TestUpdateDownload::init()
{
    QDir(m_env.packageDir()).removeRecursively();
    QFile::remove(m_env.iniPath());
    m_env.elevation->clear();
    m_env.exits.clear();
    m_env.upgradeFailedShown = 0;
    m_env.administratorNeededShown = 0;
    m_env.cloud.clearRequests();
    m_env.cloud.clearRoutes();
}

QByteArray TestUpdateDownload::read(const QString &path) const
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void TestUpdateDownload::writeFile(const QString &path, const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void TestUpdateDownload::packageDownloaded_data()
{
    QTest::addColumn<QString>("urlPath");
    QTest::addColumn<QString>("servedPath");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("upperCaseMd5");
    QTest::newRow("plain") << "/dl/setup.bin"
                           << "/dl/setup.bin"
                           << "setup.bin" << false;
    QTest::newRow("query not in the name") << "/dl/setup.deb?token=a%2Fb"
                                           << "/dl/setup.deb"
                                           << "setup.deb" << false;
    QTest::newRow("redirect followed") << "/dl/old.bin"
                                       << "/dl/new.bin"
                                       << "old.bin" << false;
    QTest::newRow("encoded separators") << "/dl/..%2F..%2Fevil.deb"
                                        << "/dl/../../evil.deb"
                                        << "evil.deb" << false;
    QTest::newRow("upper-case MD5 offered") << "/dl/setup.bin"
                                            << "/dl/setup.bin"
                                            << "setup.bin" << true;
}

void TestUpdateDownload::packageDownloaded()
{
    QFETCH(QString, urlPath);
    QFETCH(QString, servedPath);
    QFETCH(QString, fileName);
    QFETCH(bool, upperCaseMd5);

    const QByteArray bytes = packageBytes(300000);
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    m_env.offerPackage(urlPath, bytes, bytes.size(), upperCaseMd5 ? md5.toUpper() : md5);
    if (servedPath != urlPath.section('?', 0, 0) && !urlPath.contains("%2F")) {
        m_env.cloud.setRoute("GET", urlPath,
                             QnHttpResponse::redirect((m_env.cloud.baseUrl() + servedPath).toUtf8()));
        m_env.cloud.setRoute("GET", servedPath, QnHttpResponse::raw(200, bytes));
    } else {
        m_env.cloud.setRoute("GET", servedPath, QnHttpResponse::raw(200, bytes));
    }
    // An older package of the same name is replaced.
    writeFile(m_env.packageDir() + "/" + fileName, "old");

    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setConfigDir(m_env.appDir());
    QVERIFY(UpdateTestEnv::check(main));
    QSignalSpy percent(&main, &UpdateMain::downloadPercent);
    QSignalSpy finished(&main, &UpdateMain::downloadFinished);
    main.onStartDown();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(!percent.isEmpty());
    QCOMPARE(percent.last().at(0).toLongLong(), qlonglong(bytes.size()));
    QCOMPARE(percent.last().at(1).toLongLong(), qlonglong(bytes.size()));
    QCOMPARE(main.packagePath(), m_env.packageDir() + "/" + fileName);
    QCOMPARE(read(main.packagePath()), bytes);
    QCOMPARE(QDir(m_env.packageDir()).entryList(QDir::Files), QStringList{fileName}); // no temporary left
    QCOMPARE(QFile::permissions(m_env.packageDir()) &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup),
             QFile::Permissions());
    QSettings ini(m_env.iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value("update/need").toString(), QStringLiteral("0"));
    QCOMPARE(ini.value("update/move").toString(), QStringLiteral("false"));
    QCOMPARE(ini.value("update/back").toString(), QStringLiteral("false"));
}

void TestUpdateDownload::failedDownloadLeavesNothing_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("fetched"); // the package address was asked for
    QTest::newRow("404") << "404" << true;
    QTest::newRow("size mismatch") << "size" << true;
    QTest::newRow("MD5 mismatch") << "md5" << true;
    QTest::newRow("connection dropped") << "drop" << true;
    QTest::newRow("ftp address") << "ftp" << false;
    QTest::newRow("file address") << "file" << false;
    QTest::newRow("no MD5 offered") << "nomd5" << false;
    QTest::newRow("no size offered") << "nosize" << false;
}

void TestUpdateDownload::failedDownloadLeavesNothing()
{
    QFETCH(QString, fault);
    QFETCH(bool, fetched);

    const QByteArray bytes = packageBytes(200000);
    const QString md5 = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
    m_env.offerPackage("/dl/setup.bin", bytes,
                       fault == "size"     ? bytes.size() + 1
                       : fault == "nosize" ? 0
                                           : bytes.size(),
                       fault == "md5"     ? QString(32, 'a')
                       : fault == "nomd5" ? QString("")
                                          : md5);
    if (fault == "404")
        m_env.cloud.setRoute("GET", "/dl/setup.bin", QnHttpResponse::raw(404, "no such file"));
    if (fault == "drop")
        m_env.cloud.setRoute("GET", "/dl/setup.bin", QnHttpResponse::dropped());
    if (fault == "ftp" || fault == "file") {
        m_env.offer(
            QJsonObject{{"app_url", fault == "ftp" ? "ftp://127.0.0.1/dl/setup.bin" : "file:///etc/passwd"},
                        {"app_version", "1.0.7"},
                        {"app_size", bytes.size()},
                        {"md5", md5}});
    }
    writeFile(m_env.packageDir() + "/setup.bin", "older download");

    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setConfigDir(m_env.appDir());
    QVERIFY(UpdateTestEnv::check(main));
    m_env.cloud.clearRequests();
    QSignalSpy finished(&main, &UpdateMain::downloadFinished);
    main.onStartDown();
    QVERIFY(!finished.isEmpty() || finished.wait(10000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    // A dropped connection is asked again once by Qt's network access.
    QCOMPARE(m_env.cloud.requests().isEmpty(), !fetched);
    QVERIFY(!QFile::exists(m_env.packageDir() + "/setup.bin") || !fetched);
    if (QDir(m_env.packageDir()).exists())
        QVERIFY(QDir(m_env.packageDir()).entryList(QDir::Files).size() <= (fetched ? 0 : 1));
    QSettings ini(m_env.iniPath(), QSettings::IniFormat);
    QVERIFY(!ini.childGroups().contains("update"));
    QCOMPARE(m_env.upgradeFailedShown, 0); // the package route only logs

    // Nothing can be started afterwards.
    main.runUpdate();
    QVERIFY(m_env.elevation->calls().isEmpty());
    QVERIFY(m_env.exits.isEmpty());
}

void TestUpdateDownload::acceptBeforeAnyOfferFails()
{
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setConfigDir(m_env.appDir());
    writeFile(main.updateDir() + "/kept.txt", "kept");
    QSignalSpy finished(&main, &UpdateMain::downloadFinished);
    main.onStartDown();
    QCOMPARE(finished.size(), 1); // at once
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(read(main.updateDir() + "/kept.txt"), QByteArray("kept"));
    QSettings ini(m_env.iniPath(), QSettings::IniFormat);
    QVERIFY(!ini.childGroups().contains("update"));
    main.runUpdate();
    QVERIFY(m_env.elevation->calls().isEmpty());
    QVERIFY(m_env.exits.isEmpty());
    QCOMPARE(m_env.cloud.requests().size(), 0);
}

void TestUpdateDownload::progressIs64Bit()
{
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    QSignalSpy percent(&main, &UpdateMain::downloadPercent);
    main.onDownloadProgress(Q_INT64_C(5368709119), Q_INT64_C(5368709120));
    main.onCheckProgress(Q_INT64_C(2684354560), Q_INT64_C(5368709120));
    QCOMPARE(percent.size(), 2);
    QCOMPARE(percent.at(0).at(0).toLongLong(), Q_INT64_C(5368709119));
    QCOMPARE(percent.at(0).at(1).toLongLong(), Q_INT64_C(5368709120));
    // The check runs the bar from 90 % to 100 %: total x 0.9 + checked x 0.1.
    QCOMPARE(percent.at(1).at(0).toLongLong(), Q_INT64_C(5100273664));
    QCOMPARE(percent.at(1).at(1).toLongLong(), Q_INT64_C(5368709120));
}

void TestUpdateDownload::fileListRoute()
{
    const QByteArray a = packageBytes(5000);
    const QByteArray b = packageBytes(70000).mid(7);
    m_env.cloud.setRoute("GET", "/files/a.bin", QnHttpResponse::raw(200, a));
    m_env.cloud.setRoute("GET", "/files/b.so", QnHttpResponse::raw(200, b));
    const auto md5 = [](const QByteArray &x) {
        return QString::fromLatin1(QCryptographicHash::hash(x, QCryptographicHash::Md5).toHex());
    };
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setConfigDir(m_env.appDir());
    writeFile(main.updateDir() + "/stale.txt", "stale");
    main.setFileList({QVariantMap{{"url", m_env.cloud.baseUrl() + "/files/a.bin"},
                                  {"path", "a.bin"},
                                  {"md5", md5(a)},
                                  {"size", a.size()}},
                      QVariantMap{{"url", m_env.cloud.baseUrl() + "/files/b.so"},
                                  {"path", "lib/b.so"},
                                  {"md5", md5(b)},
                                  {"size", b.size()}}});
    QSignalSpy finished(&main, &UpdateMain::downloadFinished);
    QSignalSpy percent(&main, &UpdateMain::downloadPercent);
    main.onStartDown();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(!percent.isEmpty());
    QCOMPARE(read(main.updateDir() + "/a.bin"), a);
    QCOMPARE(read(main.updateDir() + "/lib/b.so"), b);
    QVERIFY(!QFile::exists(main.updateDir() + "/stale.txt")); // the folder is emptied first
    QVERIFY(main.checkUpdateFiles());
    QSettings ini(m_env.iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value("update/need").toString(), QStringLiteral("1"));
    QCOMPARE(ini.value("update/move").toString(), QStringLiteral("true"));
    QCOMPARE(ini.value("update/back").toString(), QStringLiteral("false"));
    QCOMPARE(m_env.upgradeFailedShown, 0);
}

void TestUpdateDownload::fileListMd5Mismatch()
{
    const QByteArray a = packageBytes(5000);
    m_env.cloud.setRoute("GET", "/files/a.bin", QnHttpResponse::raw(200, a));
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setConfigDir(m_env.appDir());
    main.setFileList({QVariantMap{{"url", m_env.cloud.baseUrl() + "/files/a.bin"},
                                  {"path", "a.bin"},
                                  {"md5", QString(32, 'b')},
                                  {"size", a.size()}}});
    QSignalSpy finished(&main, &UpdateMain::downloadFinished);
    main.onStartDown();
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QCOMPARE(m_env.upgradeFailedShown, 1);
    QVERIFY(!QFile::exists(main.updateDir() + "/a.bin"));
    QVERIFY(!main.checkUpdateFiles());
    QSettings ini(m_env.iniPath(), QSettings::IniFormat);
    QVERIFY(!ini.childGroups().contains("update"));
    main.runUpdate();
    QVERIFY(m_env.elevation->calls().isEmpty());
}

void TestUpdateDownload::fileListPathOutsideRefused()
{
    m_env.cloud.setRoute("GET", "/files/a.bin", QnHttpResponse::raw(200, "x"));
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setFileList({QVariantMap{{"url", m_env.cloud.baseUrl() + "/files/a.bin"},
                                  {"path", "../escaped.bin"},
                                  {"md5", "9dd4e461268c8034f5c8564e155c67a6"},
                                  {"size", 1}}});
    QSignalSpy finished(&main, &UpdateMain::downloadFinished);
    main.onStartDown();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    QVERIFY(!QFile::exists(QFileInfo(main.updateDir()).absolutePath() + "/escaped.bin"));
    QCOMPARE(m_env.cloud.requests().size(), 0);
}

void TestUpdateDownload::removeFolderTree()
{
    QTemporaryDir dir;
    const QString top = dir.filePath("update");
    QVERIFY(UpdateMain::removeFolderTree(dir.filePath("missing")));

    const QString outside = dir.filePath("outside");
    writeFile(outside + "/keep.txt", "keep");
    writeFile(top + "/a.txt", "a");
    writeFile(top + "/sub/.hidden", "h");
    writeFile(top + "/sub/deeper/readonly.txt", "r");
    QVERIFY(QFile::setPermissions(top + "/sub/deeper/readonly.txt", QFile::ReadOwner | QFile::ReadGroup));
    QVERIFY(QFile::link(outside, top + "/sub/linked-folder"));
    QVERIFY(QFile::link(outside + "/keep.txt", top + "/linked-file"));
    QVERIFY(QFile::link(dir.filePath("nowhere"), top + "/dangling"));

    QVERIFY(UpdateMain::removeFolderTree(top));
    QVERIFY(!QFileInfo::exists(top));
    QCOMPARE(read(outside + "/keep.txt"), QByteArray("keep"));
    QCOMPARE(QDir(outside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"keep.txt"});
}

void TestUpdateDownload::removeFolderTreeOnLinkedFolder()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("outside/keep.txt"), "keep");
    QVERIFY(QFile::link(dir.filePath("outside"), dir.filePath("update")));
    QVERIFY(UpdateMain::removeFolderTree(dir.filePath("update")));
    QVERIFY(!QFileInfo(dir.filePath("update")).isSymLink());
    QCOMPARE(read(dir.filePath("outside/keep.txt")), QByteArray("keep"));
}

void TestUpdateDownload::fileMd5_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("md5");
    // RFC 1321, appendix A.5.
    QTest::newRow("empty") << QByteArray("") << QByteArray("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("a") << QByteArray("a") << QByteArray("0cc175b9c0f1b6a831c399e269772661");
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("900150983cd24fb0d6963f7d28e17f72");
    QTest::newRow("message digest") << QByteArray("message digest")
                                    << QByteArray("f96b697d7cb7938d525a2f31aaf161d0");
    QTest::newRow("numbers")
        << QByteArray("12345678901234567890123456789012345678901234567890123456789012345678901234567890")
        << QByteArray("57edf4a22be3c955ac49da2e2107b67a");
    const QByteArray big = packageBytes(3 * 4096 + 17); // several 4096-byte pieces and a rest
    QTest::newRow("several pieces") << big << QCryptographicHash::hash(big, QCryptographicHash::Md5).toHex();
}

void TestUpdateDownload::fileMd5()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, md5);
    QTemporaryDir dir;
    writeFile(dir.filePath("f"), content);
    QCOMPARE(UpdateMain::getFileMd5(dir.filePath("f")), md5);
    QCOMPARE(UpdateMain::getFileMd5(dir.filePath("missing")), QByteArray());
}

void TestUpdateDownload::md5CheckThread_data()
{
    QTest::addColumn<bool>("rightMd5");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("result");
    QTest::newRow("match") << true << true << true;
    QTest::newRow("mismatch") << false << true << false;
    QTest::newRow("missing file") << true << false << false;
}

void TestUpdateDownload::md5CheckThread()
{
    QFETCH(bool, rightMd5);
    QFETCH(bool, exists);
    QFETCH(bool, result);
    QTemporaryDir dir;
    const QByteArray bytes = packageBytes(2 * 1048576 + 5); // three pieces
    if (exists)
        writeFile(dir.filePath("f"), bytes);
    Md5Check check;
    check.setFile(dir.filePath("f"),
                  rightMd5
                      ? QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex())
                      : QString(32, 'c'));
    // The check reports from its own thread: taken here queued, as UpdateMain takes them.
    QList<QPair<qlonglong, qlonglong>> progress;
    QList<bool> finished;
    connect(
        &check, &Md5Check::checkProgress, this,
        [&](qlonglong done, qlonglong total) { progress.append(qMakePair(done, total)); },
        Qt::QueuedConnection);
    connect(
        &check, &Md5Check::checkedFinished, this, [&](bool r) { finished.append(r); }, Qt::QueuedConnection);
    check.start();
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QVERIFY(check.wait(5000));
    QCOMPARE(finished.at(0), result);
    QCOMPARE(progress.size(), exists ? 3 : 0);
    if (exists) {
        QCOMPARE(progress.at(0).first, qlonglong(1048576));
        QCOMPARE(progress.last().first, qlonglong(bytes.size()));
        QCOMPARE(progress.last().second, qlonglong(bytes.size()));
    }
}

QTEST_MAIN(TestUpdateDownload)
#include "tst_updatedownload.moc"
