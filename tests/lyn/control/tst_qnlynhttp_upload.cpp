// The control half of uploads: what QnLynHttp raises and announces once the upload job reports.
// (End-to-end uploads against the receiver simulator's HTTP side are tested with the upload job.)
#include "lyn/control/QnLynHttp.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

namespace {

/// Answers one multipart POST with {"code":0,"data":[{"filename","url"}]} for the first file part,
/// or with the fixed body given.
class OneShotHttp : public QTcpServer
{
public:
    QByteArray fixedBody; // empty: echo the first file part
    OneShotHttp()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket *s = nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, s, [this, s] {
                m_request += s->readAll();
                const int headerEnd = m_request.indexOf("\r\n\r\n");
                if (headerEnd < 0)
                    return;
                const QRegularExpression len("Content-Length: *(\\d+)",
                                             QRegularExpression::CaseInsensitiveOption);
                const auto m = len.match(QString::fromLatin1(m_request.left(headerEnd)));
                if (m.hasMatch() && m_request.size() < headerEnd + 4 + m.captured(1).toInt())
                    return;
                QByteArray body = fixedBody;
                if (body.isEmpty()) {
                    const QRegularExpression name("filename=\"([^\"]*)\"");
                    const QString file = name.match(QString::fromLatin1(m_request)).captured(1);
                    body = QStringLiteral(R"({"code":0,"data":[{"filename":"%1","url":"http://rx/%1"}]})")
                               .arg(file)
                               .toUtf8();
                }
                s->write("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nConnection: close\r\n"
                         "Content-Length: " +
                         QByteArray::number(body.size()) + "\r\n\r\n" + body);
                s->disconnectFromHost();
            });
        });
    }

private:
    QByteArray m_request;
};

} // namespace

class TstQnLynHttpUpload : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void refusedUploadAnnouncesNothing_data();
    void refusedUploadAnnouncesNothing();
    void acceptedUploadResultWaitsForAnswer();

private:
    QTemporaryDir *m_dir = nullptr;
    QnLynHttp *m_http = nullptr;
    QStringList m_files;
    qint64 m_now = 1700000000000;
};

void TstQnLynHttpUpload::init()
{
    m_dir = new QTemporaryDir;
    m_http = new QnLynHttp(m_dir->filePath("setting.ini"));
    m_http->setClock([this] { return m_now; });
    m_files.clear();
    for (const char *name : {"a.png", "b"}) {
        QFile f(m_dir->filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(1000, 'x'));
        m_files << f.fileName();
    }
}

void TstQnLynHttpUpload::cleanup()
{
    delete m_http;
    delete m_dir;
}

void TstQnLynHttpUpload::refusedUploadAnnouncesNothing_data()
{
    QTest::addColumn<bool>("pictures");
    QTest::addColumn<QByteArray>("body"); // empty: no server at all
    QTest::newRow("pictures, connection refused") << true << QByteArray();
    QTest::newRow("documents, code 5") << false << QByteArray(R"({"code":5,"msg":"no"})");
    QTest::newRow("pictures, not json") << true << QByteArray("<html>");
    QTest::newRow("documents, no code, data not an array") << false << QByteArray(R"({"data":{}})");
}

void TstQnLynHttpUpload::refusedUploadAnnouncesNothing()
{
    QFETCH(bool, pictures);
    QFETCH(QByteArray, body);
    OneShotHttp server;
    QString url = QStringLiteral("http://127.0.0.1:1/file");
    if (!body.isEmpty()) {
        server.fixedBody = body;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        url = QStringLiteral("http://127.0.0.1:%1/file").arg(server.serverPort());
    }
    QList<QString> order;
    QVariantList failedArgs;
    auto onFailed = [&](bool r, const QString &u, const QStringList &f) {
        order << "failed";
        failedArgs = {r, u, f};
    };
    auto onResult = [&](bool r, const QString &) { order << (r ? "result true" : "result false"); };
    connect(m_http, &QnLynHttp::uploadPixmapFailed, this, onFailed);
    connect(m_http, &QnLynHttp::uploadDocumentsFailed, this, onFailed);
    connect(m_http, &QnLynHttp::uploadPixmapResult, this, onResult);
    connect(m_http, &QnLynHttp::uploadDocumentsResult, this, onResult);
    if (pictures)
        m_http->uploadPixmaps("url", "rx", url, m_files, "n");
    else
        m_http->uploadDocuments("url", "rx", url, m_files);
    QTRY_COMPARE_WITH_TIMEOUT(order.size(), 2, 20000);
    QCOMPARE(order, (QList<QString>{"failed", "result false"}));
    QCOMPARE(failedArgs, (QVariantList{false, "rx", m_files}));
    QCOMPARE(m_http->pendingRequestCount(), 0); // no announcement
    QTest::qWait(100);
    QCOMPARE(order.size(), 2);
}

void TstQnLynHttpUpload::acceptedUploadResultWaitsForAnswer()
{
    OneShotHttp server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    QSignalSpy failed(m_http, &QnLynHttp::uploadPixmapFailed);
    QSignalSpy result(m_http, &QnLynHttp::uploadPixmapResult);
    m_http->uploadPixmaps("url", "rx", QStringLiteral("http://127.0.0.1:%1/file").arg(server.serverPort()),
                          m_files, "n");
    QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 1, 20000);
    QCOMPARE(failed.first(), (QVariantList{true, "rx", QStringList{m_files.first()}}));
    // The announcement is filed; no result before its answer (here: the time-out).
    QCOMPARE(m_http->pendingRequestCount(), 1);
    QCOMPARE(result.size(), 0);
    m_now += 10001;
    m_http->sweepRequests();
    QCOMPARE(result.size(), 1);
    QCOMPARE(result.first(), (QVariantList{false, "rx"}));
}

QTEST_GUILESS_MAIN(TstQnLynHttpUpload)
#include "tst_qnlynhttp_upload.moc"
