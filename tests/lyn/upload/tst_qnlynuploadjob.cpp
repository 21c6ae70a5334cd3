#include "lyn/upload/QnLynUploadAnswer.h"
#include "lyn/upload/QnLynUploadJob.h"
#include "tests/fixtures/receiver_sim/http/QnSimHttp.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QPointer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUuid>
#include <QtTest>

namespace {

const QString kDeviceId = QStringLiteral("0123456789abcdef0123456789abcdef");
const QByteArray kContentType = "multipart/form-data; boundary=--------GI3Ef1ei4KM7KM7ae0ei4ei4ei4ae0";

QByteArray md5Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

} // namespace

// The upload job against the receiver simulator's "/file" endpoint on a free loopback port.
class TestUploadJob : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void answerParsing_data();
    void answerParsing();
    void bytesNamesAndTypesArriveIntact();
    void notAccepted_data();
    void notAccepted();
    void answerWithoutCodeListsStoredFiles();
    void partialListReportsOnlyNamedFiles();
    void answerNamingUnknownOrRepeatedFilesIsFiltered();
    void unreadableFileIsLeftOut();
    void concurrentJobsKeepTheirOwnFiles();
    void unusableAddressFailsAfterStartReturns();
    void silentReceiverFailsOnce();
    void destroyedJobStaysQuiet();

private:
    QString writeFile(const QString &name, const QByteArray &bytes);
    // Starts a job for files and waits for its one report; the job must be gone afterwards.
    QList<QVariant> runJob(const QStringList &files, const QString &url = QString(), int timeoutMs = 20000);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QnSimHttp> m_sim;
    std::unique_ptr<QNetworkAccessManager> m_nam;
};

void TestUploadJob::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_sim = std::make_unique<QnSimHttp>();
    QVERIFY(m_sim->listen(0));
    m_nam = std::make_unique<QNetworkAccessManager>();
}

void TestUploadJob::cleanup()
{
    m_nam.reset();
    m_sim.reset();
    m_dir.reset();
}

QString TestUploadJob::writeFile(const QString &name, const QByteArray &bytes)
{
    const QString path = m_dir->filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return QString();
    return path;
}

QList<QVariant> TestUploadJob::runJob(const QStringList &files, const QString &url, int timeoutMs)
{
    QPointer<QnLynUploadJob> job =
        new QnLynUploadJob(m_nam.get(), kDeviceId, url.isEmpty() ? m_sim->uploadUrl() : url, files);
    QSignalSpy spy(job.data(), &QnLynUploadJob::finished);
    job->start();
    if (!spy.wait(timeoutMs))
        return {};
    // The job reports once and then deletes itself: once it is gone, no second report can come.
    if (!QTest::qWaitFor([&] { return job.isNull(); }, 5000) || spy.count() != 1)
        return {};
    return spy.takeFirst();
}

void TestUploadJob::answerParsing_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("paths"); // the source paths reported stored, in order
    QTest::newRow("empty") << QByteArray() << false << QStringList();
    QTest::newRow("not JSON") << QByteArray("{\"code\":0,") << false << QStringList();
    QTest::newRow("array") << QByteArray("[{\"code\":0}]") << false << QStringList();
    QTest::newRow("no code, data array")
        << QByteArray(R"({"data":[{"filename":"a.png"}]})") << true << QStringList{"/src/a.png"};
    QTest::newRow("no code, empty data array") << QByteArray(R"({"data":[]})") << true << QStringList();
    QTest::newRow("no code, data object")
        << QByteArray(R"({"data":{"filename":"a.png"}})") << false << QStringList();
    QTest::newRow("no code, no data") << QByteArray(R"({"msg":"ok"})") << false << QStringList();
    QTest::newRow("code null, data array")
        << QByteArray(R"({"code":null,"data":[{"filename":"a.png"}]})") << false << QStringList();
    QTest::newRow("code as text") << QByteArray(R"({"code":"0"})") << false << QStringList();
    QTest::newRow("code null") << QByteArray(R"({"code":null})") << false << QStringList();
    QTest::newRow("code 5") << QByteArray(R"({"code":5,"data":[{"filename":"a.png"}]})") << false
                            << QStringList();
    QTest::newRow("code 0.5") << QByteArray(R"({"code":0.5})") << false << QStringList();
    QTest::newRow("code 0, no data") << QByteArray(R"({"code":0})") << true << QStringList();
    QTest::newRow("code 0, data not array")
        << QByteArray(R"({"code":0,"data":{"filename":"a.png"}})") << true << QStringList();
    QTest::newRow("answer order, unknown and repeated skipped")
        << QByteArray(R"({"code":0,"data":[{"filename":"b."},"x",{"filename":"zz"},{"filename":"a.png"},)"
                      R"({"filename":"b."},{"url":"u"}]})")
        << true << QStringList{"/src/b", "/src/a.png"};
}

void TestUploadJob::answerParsing()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, accepted);
    QFETCH(QStringList, paths);
    const QHash<QString, QString> names{{"a.png", "/src/a.png"}, {"b.", "/src/b"}};
    const QnLynUploadAnswer answer = parseUploadAnswer(body, names);
    QCOMPARE(answer.accepted, accepted);
    QStringList got;
    for (const QnLynUploadAnswer::Stored &s : answer.stored)
        got << s.path;
    QCOMPARE(got, paths);
}

void TestUploadJob::bytesNamesAndTypesArriveIntact()
{
    QByteArray big(3 * 1024 * 1024 + 17, Qt::Uninitialized);
    QRandomGenerator gen(42);
    for (char &c : big)
        c = char(gen.generate() & 0xff);
    struct Case
    {
        QString name;
        QByteArray bytes;
        QString suffix;
        QByteArray mime;
    };
    const QList<Case> cases{
        {"photo.png", QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(300, '\0'), "png", "image/png"},
        {"notes", "plain words in a file without a dot\n", "", "text/plain"},
        {"report.final.pdf", "%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n", "pdf",
         "application/pdf"},
        {"big.bin", big, "bin", "application/octet-stream"},
    };
    QStringList files;
    for (const Case &c : cases) {
        files << writeFile(c.name, c.bytes);
        QVERIFY(!files.last().isEmpty());
    }

    const QList<QVariant> result = runJob(files);
    QCOMPARE(result.size(), 3);

    QCOMPARE(m_sim->uploads().size(), 1);
    const QnSimUpload upload = m_sim->uploads().first();
    QCOMPARE(upload.contentTypeHeader, kContentType);
    QVERIFY(upload.parsed);
    QCOMPARE(upload.userId, kDeviceId);
    QCOMPARE(upload.files.size(), cases.size());
    QSet<QString> partNames;
    for (int i = 0; i < cases.size(); ++i) {
        const QnSimStoredFile &stored = upload.files.at(i);
        QCOMPARE(stored.partName.size(), 36);
        QVERIFY(!QUuid::fromString(stored.partName).isNull());
        QVERIFY(!partNames.contains(stored.partName));
        partNames.insert(stored.partName);
        QCOMPARE(stored.fileName, stored.partName + "." + cases.at(i).suffix);
        QCOMPARE(stored.contentType, cases.at(i).mime);
        QCOMPARE(stored.bytes.size(), cases.at(i).bytes.size());
        QCOMPARE(stored.md5Hex(), md5Hex(cases.at(i).bytes));
    }

    QCOMPARE(result.at(0).toBool(), true);
    const QJsonArray entries = result.at(1).toJsonArray();
    QCOMPARE(result.at(2).toStringList(), files);
    QCOMPARE(entries.size(), cases.size());
    for (int i = 0; i < cases.size(); ++i) {
        const QJsonObject e = entries.at(i).toObject();
        QCOMPARE(e.keys().size(), 4);
        QCOMPARE(e.value("name").toString(), cases.at(i).name);
        QCOMPARE(e.value("size").toDouble(), double(cases.at(i).bytes.size()));
        QCOMPARE(e.value("url").toString(),
                 m_sim->server()->baseUrl() + "/files/" + upload.files.at(i).fileName);
        QCOMPARE(e.value("md5").toString().toLatin1(), md5Hex(cases.at(i).bytes));
    }
}

void TestUploadJob::notAccepted_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("error code") << int(QnSimHttp::FileMode::ErrorCode);
    QTest::newRow("empty body") << int(QnSimHttp::FileMode::EmptyBody);
    QTest::newRow("not JSON") << int(QnSimHttp::FileMode::NotJson);
    QTest::newRow("status 500 with code 0") << int(QnSimHttp::FileMode::Status500);
    QTest::newRow("connection dropped") << int(QnSimHttp::FileMode::Drop);
}

void TestUploadJob::notAccepted()
{
    QFETCH(int, mode);
    m_sim->setFileMode(QnSimHttp::FileMode(mode));
    const QStringList files{writeFile("a.png", "first"), writeFile("b.txt", "second")};
    const QList<QVariant> result = runJob(files);
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0).toBool(), false);
    QVERIFY(result.at(1).toJsonArray().isEmpty());
    QVERIFY(result.at(2).toStringList().isEmpty());
    QVERIFY(!m_sim->uploads().isEmpty());
}

void TestUploadJob::answerWithoutCodeListsStoredFiles()
{
    m_sim->setFileMode(QnSimHttp::FileMode::MissingCode);
    const QStringList files{writeFile("a.png", "first"), writeFile("b.txt", "second")};
    const QList<QVariant> result = runJob(files);
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0).toBool(), true);
    QCOMPARE(result.at(1).toJsonArray().size(), 2);
    QCOMPARE(result.at(2).toStringList(), files);
}

void TestUploadJob::partialListReportsOnlyNamedFiles()
{
    m_sim->setFileMode(QnSimHttp::FileMode::PartialList);
    const QStringList files{writeFile("a.png", "first"), writeFile("b.txt", "second")};
    const QList<QVariant> result = runJob(files);
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0).toBool(), true);
    QCOMPARE(result.at(1).toJsonArray().size(), 1);
    QCOMPARE(result.at(1).toJsonArray().at(0).toObject().value("name").toString(), QString("a.png"));
    QCOMPARE(result.at(2).toStringList(), QStringList{files.first()});
}

void TestUploadJob::answerNamingUnknownOrRepeatedFilesIsFiltered()
{
    // The answer names the second file twice, a file never sent, and a non-object element.
    m_sim->server()->setHandler("POST", "/file", [](const QnHttpRecordedRequest &r) {
        QList<QnSimFormPart> parts;
        qnSimParseMultipart(r.body, qnSimBoundary(r.header("content-type")), &parts);
        const QString second = parts.value(2).fileName;
        const QJsonArray data{QJsonObject{{"filename", second}, {"url", "u2"}},
                              QJsonObject{{"filename", "not-sent.png"}, {"url", "u9"}}, 7,
                              QJsonObject{{"filename", second}, {"url", "again"}}};
        return QnHttpResponse::json({{"code", 0}, {"data", data}});
    });
    const QStringList files{writeFile("a.png", "first"), writeFile("b.txt", "second")};
    const QList<QVariant> result = runJob(files);
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0).toBool(), true);
    const QJsonArray entries = result.at(1).toJsonArray();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).toObject().value("name").toString(), QString("b.txt"));
    QCOMPARE(entries.at(0).toObject().value("url").toString(), QString("u2"));
    QCOMPARE(result.at(2).toStringList(), QStringList{files.at(1)});
}

void TestUploadJob::unreadableFileIsLeftOut()
{
    const QStringList files{m_dir->filePath("missing.png"), writeFile("there.txt", "present")};
    const QList<QVariant> result = runJob(files);
    QCOMPARE(result.size(), 3);
    QCOMPARE(m_sim->uploads().size(), 1);
    QCOMPARE(m_sim->uploads().first().files.size(), 1);
    QCOMPARE(m_sim->uploads().first().files.first().bytes, QByteArray("present"));
    QCOMPARE(result.at(0).toBool(), true);
    QCOMPARE(result.at(2).toStringList(), QStringList{files.at(1)});
}

void TestUploadJob::concurrentJobsKeepTheirOwnFiles()
{
    const QStringList first{writeFile("one.png", "1"), writeFile("two.png", "22")};
    const QStringList second{writeFile("three.txt", "333")};
    auto *a = new QnLynUploadJob(m_nam.get(), kDeviceId, m_sim->uploadUrl(), first);
    auto *b = new QnLynUploadJob(m_nam.get(), kDeviceId, m_sim->uploadUrl(), second);
    QSignalSpy spyA(a, &QnLynUploadJob::finished);
    QSignalSpy spyB(b, &QnLynUploadJob::finished);
    QCOMPARE(a->files(), first);
    QCOMPARE(b->files(), second);
    a->start();
    b->start();
    QTRY_COMPARE_WITH_TIMEOUT(spyA.count() + spyB.count(), 2, 20000);
    QCOMPARE(spyA.count(), 1);
    QCOMPARE(spyB.count(), 1);
    QCOMPARE(spyA.first().at(2).toStringList(), first);
    QCOMPARE(spyB.first().at(2).toStringList(), second);
    QCOMPARE(m_sim->uploads().size(), 2);
}

void TestUploadJob::unusableAddressFailsAfterStartReturns()
{
    const QStringList files{writeFile("a.png", "first")};

    // A closed port: the connection is refused.
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 closed = probe.serverPort();
    probe.close();
    QList<QVariant> result = runJob(files, QStringLiteral("http://127.0.0.1:%1/file").arg(closed));
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0).toBool(), false);

    // No network access manager, and an address that is no URL: reported from the event loop.
    for (QNetworkAccessManager *nam : {static_cast<QNetworkAccessManager *>(nullptr), m_nam.get()}) {
        QPointer<QnLynUploadJob> job =
            new QnLynUploadJob(nam, kDeviceId, nam ? QString("::not a url::") : m_sim->uploadUrl(), files);
        QSignalSpy spy(job.data(), &QnLynUploadJob::finished);
        job->start();
        QCOMPARE(spy.count(), 0);
        QVERIFY(spy.wait(5000));
        QTRY_VERIFY(job.isNull());
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(0).toBool(), false);
    }
    QVERIFY(m_sim->uploads().isEmpty());
}

void TestUploadJob::silentReceiverFailsOnce()
{
    // A receiver that takes the body and never answers: the job gives up after its transfer
    // time-out (30 s without progress) instead of waiting for ever.
    m_sim->setFileMode(QnSimHttp::FileMode::Silent);
    const QList<QVariant> result = runJob({writeFile("a.png", "first")}, QString(), 120000);
    QCOMPARE(result.size(), 3);
    QCOMPARE(result.at(0).toBool(), false);
    QCOMPARE(m_sim->uploads().size(), 1);
}

void TestUploadJob::destroyedJobStaysQuiet()
{
    m_sim->setFileMode(QnSimHttp::FileMode::Silent);
    auto *job = new QnLynUploadJob(m_nam.get(), kDeviceId, m_sim->uploadUrl(), {writeFile("a.png", "first")});
    QSignalSpy spy(job, &QnLynUploadJob::finished);
    job->start();
    QTRY_COMPARE_WITH_TIMEOUT(m_sim->uploads().size(), 1, 10000);
    delete job; // the reply is aborted; nothing may call into the deleted job
    QTest::qWait(200);
    QCOMPARE(spy.count(), 0);
}

QTEST_GUILESS_MAIN(TestUploadJob)
#include "tst_qnlynuploadjob.moc"
