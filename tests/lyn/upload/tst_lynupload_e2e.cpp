#include "QnSignal/client/QnSignalClient.h"
#include "lyn/control/QnLynHttp.h"
#include "tests/fixtures/gateway/QnGatewayServer.h"
#include "tests/fixtures/receiver_sim/control/QnSimControl.h"
#include "tests/fixtures/receiver_sim/http/QnSimHttp.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

// Pictures and documents sent through QnLynHttp to the receiver simulator: the multipart POST to
// its HTTP side, then the announcing control request through our gateway server.
class TestLynUploadE2e : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void announcesEachStoredFile_data();
    void announcesEachStoredFile();
    void refusedOrFailedUploadSendsNothing_data();
    void refusedOrFailedUploadSendsNothing();
    void refusedAnnouncementFails();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    void upload(bool pictures, const QStringList &files);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QnSimControl> m_sim;
    std::unique_ptr<QnSimHttp> m_simHttp;
    std::unique_ptr<QnSignalClient> m_client;
    std::unique_ptr<QnLynHttp> m_http;
};

void TestLynUploadE2e::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_simHttp = std::make_unique<QnSimHttp>();
    QVERIFY(m_simHttp->listen(0));

    m_sim = std::make_unique<QnSimControl>();
    m_sim->setReply(10, QnSimReply());
    m_sim->setReply(16, QnSimReply());
    QVERIFY(m_sim->hostGateway());
    QSignalSpy ready(m_sim.get(), &QnSimControl::ready);
    QVERIFY(m_sim->start());
    QVERIFY(ready.wait(20000));

    m_http = std::make_unique<QnLynHttp>(m_dir->filePath("setting.ini"));
    m_client = std::make_unique<QnSignalClient>();
    QVERIFY(m_client->initSdk() >= 0);
    m_http->setSignalClient(m_client.get());
    m_http->setRoomId(m_sim->identity().roomId);
    QSignalSpy login(m_client.get(), &QnSignalClient::loginResult);
    QCOMPARE(
        m_client->login(m_http->getDeviceId(), m_http->getDeviceName(), "127.0.0.1", m_sim->server()->port()),
        0);
    QVERIFY(login.wait(20000));
    QVERIFY(login.first().at(0).toBool());
    QSignalSpy joined(m_client.get(), qOverload<bool, QString, bool>(&QnSignalClient::joinRoomResult));
    QCOMPARE(m_client->joinRoom(m_sim->identity().roomId), 0);
    QVERIFY(joined.wait(20000));
    QVERIFY(joined.first().at(0).toBool());
}

void TestLynUploadE2e::cleanup()
{
    if (m_http)
        m_http->setSignalClient(nullptr);
    m_http.reset();
    m_client.reset();
    m_sim.reset();
    m_simHttp.reset();
    m_dir.reset();
}

QString TestLynUploadE2e::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

void TestLynUploadE2e::upload(bool pictures, const QStringList &files)
{
    const QString receiver = m_sim->identity().userId;
    if (pictures)
        m_http->uploadPixmaps("url", receiver, m_simHttp->uploadUrl(), files, "Teacher PC");
    else
        m_http->uploadDocuments("url", receiver, m_simHttp->uploadUrl(), files);
}

void TestLynUploadE2e::announcesEachStoredFile_data()
{
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<int>("mode");
    QTest::newRow("pictures, type 10") << true << int(QnSimHttp::FileMode::Accept);
    QTest::newRow("documents, type 16") << false << int(QnSimHttp::FileMode::Accept);
    // A receiver may leave "code" out of a successful answer that lists the stored files.
    QTest::newRow("pictures, answer without code") << true << int(QnSimHttp::FileMode::MissingCode);
    QTest::newRow("documents, answer without code") << false << int(QnSimHttp::FileMode::MissingCode);
}

void TestLynUploadE2e::announcesEachStoredFile()
{
    QFETCH(bool, pictures);
    QFETCH(int, mode);
    m_simHttp->setFileMode(QnSimHttp::FileMode(mode));
    QByteArray big(1024 * 1024 + 3, Qt::Uninitialized);
    for (int i = 0; i < big.size(); ++i)
        big[i] = char((i * 131) ^ (i >> 7));
    const QStringList files{writeFile("board.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + big),
                            writeFile("lesson plan", "no suffix here")};
    QSignalSpy failed(m_http.get(),
                      pictures ? &QnLynHttp::uploadPixmapFailed : &QnLynHttp::uploadDocumentsFailed);
    QSignalSpy result(m_http.get(),
                      pictures ? &QnLynHttp::uploadPixmapResult : &QnLynHttp::uploadDocumentsResult);
    upload(pictures, files);
    QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 20000);
    QCOMPARE(result.first().at(0).toBool(), true);
    QCOMPARE(result.first().at(1).toString(), m_sim->identity().userId);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().at(0).toBool(), true);
    QCOMPARE(failed.first().at(2).toStringList(), files);

    // The bytes arrived intact.
    QCOMPARE(m_simHttp->uploads().size(), 1);
    const QList<QnSimStoredFile> stored = m_simHttp->uploads().first().files;
    QCOMPARE(stored.size(), 2);

    // The announcement names each file with its size, the receiver's url and its MD5.
    const QList<QnSimControl::Received> requests = m_sim->requestsOfType(pictures ? 10 : 16);
    QCOMPARE(requests.size(), 1);
    const QJsonObject data = requests.first().data;
    QCOMPARE(data.value("size").toInt(), 2);
    const QJsonArray entries = data.value(pictures ? "pixs" : "docs").toArray();
    QCOMPARE(entries.size(), 2);
    for (int i = 0; i < 2; ++i) {
        const QFileInfo source(files.at(i));
        QFile f(files.at(i));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QCOMPARE(stored.at(i).bytes.size(), bytes.size());
        QCOMPARE(stored.at(i).md5Hex(), QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());

        const QJsonObject e = entries.at(i).toObject();
        QCOMPARE(e.value("name").toString(), source.fileName());
        QCOMPARE(qint64(e.value("size").toDouble()), source.size());
        QCOMPARE(e.value("url").toString(),
                 m_simHttp->server()->baseUrl() + "/files/" + stored.at(i).fileName);
        QCOMPARE(e.value("md5").toString().toLatin1(), stored.at(i).md5Hex());
    }
    QCOMPARE(requests.first().nickName, pictures ? QString("Teacher PC") : m_http->getDeviceName());
}

void TestLynUploadE2e::refusedOrFailedUploadSendsNothing_data()
{
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<int>("mode");
    for (bool pictures : {true, false}) {
        const char *kind = pictures ? "pictures" : "documents";
        QTest::addRow("%s, error code", kind) << pictures << int(QnSimHttp::FileMode::ErrorCode);
        QTest::addRow("%s, empty body", kind) << pictures << int(QnSimHttp::FileMode::EmptyBody);
        QTest::addRow("%s, status 500", kind) << pictures << int(QnSimHttp::FileMode::Status500);
        QTest::addRow("%s, dropped", kind) << pictures << int(QnSimHttp::FileMode::Drop);
    }
}

void TestLynUploadE2e::refusedOrFailedUploadSendsNothing()
{
    QFETCH(bool, pictures);
    QFETCH(int, mode);
    m_simHttp->setFileMode(QnSimHttp::FileMode(mode));
    const QStringList files{writeFile("a.png", "aaa"), writeFile("b.doc", "bbb")};
    QSignalSpy failed(m_http.get(),
                      pictures ? &QnLynHttp::uploadPixmapFailed : &QnLynHttp::uploadDocumentsFailed);
    QSignalSpy result(m_http.get(),
                      pictures ? &QnLynHttp::uploadPixmapResult : &QnLynHttp::uploadDocumentsResult);
    upload(pictures, files);
    QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 20000);
    QCOMPARE(result.first().at(0).toBool(), false);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().at(0).toBool(), false);
    QCOMPARE(failed.first().at(2).toStringList(), files);

    // A control request would reach the simulator well within this; none may come.
    QTest::qWait(500);
    QCOMPARE(result.count(), 1);
    QVERIFY(m_sim->requestsOfType(10).isEmpty());
    QVERIFY(m_sim->requestsOfType(16).isEmpty());
}

void TestLynUploadE2e::refusedAnnouncementFails()
{
    QnSimReply refuse;
    refuse.mode = QnSimReply::Mode::Error;
    refuse.code = -1002;
    m_sim->setReply(10, refuse);
    QSignalSpy result(m_http.get(), &QnLynHttp::uploadPixmapResult);
    upload(true, {writeFile("a.png", "aaa")});
    QTRY_COMPARE_WITH_TIMEOUT(result.count(), 1, 20000);
    QCOMPARE(result.first().at(0).toBool(), false);
    QCOMPARE(m_sim->requestsOfType(10).size(), 1);
}

QTEST_GUILESS_MAIN(TestLynUploadE2e)
#include "tst_lynupload_e2e.moc"
