#include "tests/update/UpdateTestEnv.h"
#include "update/src/UpdateFiles.h"
#include "update/src/UpdateInstaller.h"

#include <QDir>
#include <QFile>

Q_DECLARE_METATYPE(QnElevatedStart)
Q_DECLARE_METATYPE(UpdateInstaller::Handover)

// The installer start after a download, on both routes, with the recording elevation: what would
// run, with or without administrator rights, and whether the program ends.
class TestUpdateInstaller : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void runUpdate_data();
    void runUpdate();
    void nothingDownloadedStartsNothing();
    void stagedUpdateProgram_data();
    void stagedUpdateProgram();

private:
    void writeFile(const QString &path, const QByteArray &bytes) const;

    UpdateTestEnv m_env;
};

void TestUpdateInstaller::initTestCase()
{
    QVERIFY(m_env.start());
}

void TestUpdateInstaller::init()
{
    QDir(m_env.packageDir()).removeRecursively();
    QFile::remove(m_env.appDir() + "/update");
    m_env.elevation->clear();
    m_env.elevation->setAdministrator(false);
    m_env.elevation->setElevatedResult(QnElevatedStart::Started);
    m_env.elevation->setDetachedResult(true);
    m_env.exits.clear();
    m_env.upgradeFailedShown = 0;
    m_env.administratorNeededShown = 0;
    m_env.cloud.clearRoutes();
}

void TestUpdateInstaller::writeFile(const QString &path, const QByteArray &bytes) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

void TestUpdateInstaller::runUpdate_data()
{
    QTest::addColumn<QString>("route"); // "bin" or "deb" package, or "list"
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QnElevatedStart>("elevatedResult");
    QTest::addColumn<bool>("detachedOk");
    QTest::addColumn<bool>("fileMissing");
    QTest::addColumn<QString>("expectedCall"); // "elevated", "detached" or ""
    QTest::addColumn<bool>("ends");
    QTest::addColumn<int>("upgradeFailed");
    QTest::addColumn<int>("administratorNeeded");

    const auto S = QnElevatedStart::Started;
    const auto R = QnElevatedStart::Refused;
    const auto N = QnElevatedStart::NotFound;
    // Package route: elevated when not administrator (the program stays), plain start otherwise
    // (the program ends only when it started).
    QTest::newRow("package, user, started")
        << "bin" << false << S << true << false << "elevated" << false << 0 << 0;
    QTest::newRow("package, user, refused")
        << "bin" << false << R << true << false << "elevated" << false << 0 << 0;
    QTest::newRow("package, user, not found")
        << "bin" << false << N << true << false << "elevated" << false << 0 << 0;
    QTest::newRow("package, admin, started")
        << "bin" << true << S << true << false << "detached" << true << 0 << 0;
    QTest::newRow("package, admin, start failed")
        << "bin" << true << S << false << false << "detached" << false << 1 << 0;
    QTest::newRow("package, user, file missing")
        << "bin" << false << S << true << true << "" << false << 0 << 0;
    QTest::newRow("package, admin, file missing")
        << "bin" << true << S << true << true << "" << false << 1 << 0;
    QTest::newRow(".deb, user, started")
        << "deb" << false << S << true << false << "elevated" << false << 0 << 0;
    QTest::newRow(".deb, user, refused")
        << "deb" << false << R << true << false << "elevated" << false << 0 << 0;
    QTest::newRow(".deb, admin, started")
        << "deb" << true << S << true << false << "detached" << true << 0 << 0;
    // File-list route: always an elevated start of "update"; the program ends when it started.
    QTest::newRow("file list, user, started")
        << "list" << false << S << true << false << "elevated" << true << 0 << 0;
    QTest::newRow("file list, user, refused")
        << "list" << false << R << true << false << "elevated" << false << 0 << 1;
    QTest::newRow("file list, admin, started")
        << "list" << true << S << true << false << "elevated" << true << 0 << 0;
    QTest::newRow("file list, admin, refused")
        << "list" << true << R << true << false << "elevated" << false << 0 << 1;
    QTest::newRow("file list, update missing")
        << "list" << false << S << true << true << "" << false << 0 << 1;
}

void TestUpdateInstaller::runUpdate()
{
    QFETCH(QString, route);
    QFETCH(bool, administrator);
    QFETCH(QnElevatedStart, elevatedResult);
    QFETCH(bool, detachedOk);
    QFETCH(bool, fileMissing);
    QFETCH(QString, expectedCall);
    QFETCH(bool, ends);
    QFETCH(int, upgradeFailed);
    QFETCH(int, administratorNeeded);

    UpdateMain main;
    main.setEnvironment(m_env.environment());
    main.setConfigDir(m_env.appDir());
    QSignalSpy finished(&main, &UpdateMain::downloadFinished);
    const QByteArray bytes = packageBytes(40000);
    if (route == "list") {
        m_env.cloud.setRoute("GET", "/files/a.bin", QnHttpResponse::raw(200, bytes));
        main.setFileList({QVariantMap{
            {"url", m_env.cloud.baseUrl() + "/files/a.bin"},
            {"path", "a.bin"},
            {"md5", QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex())},
            {"size", bytes.size()}}});
        if (!fileMissing)
            writeFile(m_env.appDir() + "/update", "#!/bin/sh\n");
    } else {
        m_env.offerPackage(route == "deb" ? "/dl/setup.deb" : "/dl/setup.bin", bytes);
        QVERIFY(UpdateTestEnv::check(main));
    }
    main.onStartDown();
    QVERIFY(finished.wait(10000));
    QVERIFY(finished.at(0).at(0).toBool());
    if (route != "list" && fileMissing)
        QVERIFY(QFile::remove(main.packagePath()));

    m_env.elevation->setAdministrator(administrator);
    m_env.elevation->setElevatedResult(elevatedResult);
    m_env.elevation->setDetachedResult(detachedOk);
    main.runUpdate();

    const QList<QnFakeElevation::Call> calls = m_env.elevation->calls();
    QCOMPARE(calls.size(), expectedCall.isEmpty() ? 0 : 1);
    if (!expectedCall.isEmpty()) {
        const QnFakeElevation::Call call = calls.at(0);
        QCOMPARE(call.elevated, expectedCall == "elevated");
        if (route == "list") {
            QCOMPARE(call.start.program, m_env.appDir() + "/update");
            QCOMPARE(call.start.arguments, QStringList());
            QCOMPARE(call.start.workingFolder, m_env.appDir());
        } else if (route == "deb") {
            QCOMPARE(call.start.program, QStringLiteral("apt-get"));
            QCOMPARE(call.start.arguments, (QStringList{"install", "-y", "./setup.deb"}));
            QCOMPARE(call.start.workingFolder, m_env.packageDir());
        } else {
            QCOMPARE(call.start.program, m_env.packageDir() + "/setup.bin");
            QCOMPARE(call.start.arguments, QStringList());
            QCOMPARE(call.start.workingFolder, m_env.packageDir());
        }
    }
    QCOMPARE(m_env.exits, ends ? QList<int>{0} : QList<int>());
    QCOMPARE(m_env.upgradeFailedShown, upgradeFailed);
    QCOMPARE(m_env.administratorNeededShown, administratorNeeded);
}

void TestUpdateInstaller::nothingDownloadedStartsNothing()
{
    // A package offered and present on disk, but not downloaded by this object: nothing starts.
    writeFile(m_env.packageDir() + "/setup.bin", "planted");
    m_env.offerPackage("/dl/setup.bin", "planted");
    UpdateMain main;
    main.setEnvironment(m_env.environment());
    QVERIFY(UpdateTestEnv::check(main));
    main.runUpdate();
    QVERIFY(m_env.elevation->calls().isEmpty());
    QVERIFY(m_env.exits.isEmpty());
}

void TestUpdateInstaller::stagedUpdateProgram_data()
{
    QTest::addColumn<bool>("staged");
    QTest::addColumn<bool>("administrator");
    QTest::addColumn<QnElevatedStart>("elevatedResult");
    QTest::addColumn<UpdateInstaller::Handover>("handover");
    QTest::newRow("nothing staged") << false << false << QnElevatedStart::Started
                                    << UpdateInstaller::Handover::NothingStaged;
    QTest::newRow("administrator moves it")
        << true << true << QnElevatedStart::Started << UpdateInstaller::Handover::Moved;
    QTest::newRow("user: elevated restart")
        << true << false << QnElevatedStart::Started << UpdateInstaller::Handover::RelaunchStarted;
    QTest::newRow("user: restart refused")
        << true << false << QnElevatedStart::Refused << UpdateInstaller::Handover::RelaunchFailed;
}

void TestUpdateInstaller::stagedUpdateProgram()
{
    QFETCH(bool, staged);
    QFETCH(bool, administrator);
    QFETCH(QnElevatedStart, elevatedResult);
    QFETCH(UpdateInstaller::Handover, handover);

    const QString stagedPath = UpdateFiles::stagedUpdateProgram(m_env.appDir());
    QFile::remove(stagedPath);
    writeFile(m_env.appDir() + "/update", "old update");
    if (staged)
        writeFile(stagedPath, "new update");
    m_env.elevation->setAdministrator(administrator);
    m_env.elevation->setElevatedResult(elevatedResult);
    UpdateInstaller installer(*m_env.elevation);
    QCOMPARE(installer.takeStagedUpdateProgram(m_env.appDir(), "/opt/qnlyn/QnLynClient"), handover);

    QFile current(m_env.appDir() + "/update");
    QVERIFY(current.open(QIODevice::ReadOnly));
    QCOMPARE(current.readAll(), handover == UpdateInstaller::Handover::Moved ? QByteArray("new update")
                                                                             : QByteArray("old update"));
    const QList<QnFakeElevation::Call> calls = m_env.elevation->calls();
    const bool relaunch = staged && !administrator;
    QCOMPARE(calls.size(), relaunch ? 1 : 0);
    if (relaunch) {
        QVERIFY(calls.at(0).elevated);
        QCOMPARE(calls.at(0).start.program, QStringLiteral("/opt/qnlyn/QnLynClient"));
    }
}

QTEST_MAIN(TestUpdateInstaller)
#include "tst_updateinstaller.moc"
