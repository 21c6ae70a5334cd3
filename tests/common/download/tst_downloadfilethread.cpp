#include "common/download/DownloadFileThread.h"
#include "tests/fixtures/http/QnHttpFixture.h"

#include <QFile>
#include <QMutex>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

// The download thread against the loopback HTTP fixture. Reports are taken on the test's thread
// through a context object, except where the download thread's own reports are the point.
class TestDownloadFileThread : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void existingFileAnsweredAtOnce();
    void oneFetchPerUrlAndCopies();
    void sameTaskQueuedTwiceIsReportedOnce();
    void failuresReportedAndQueueGoesOn_data();
    void failuresReportedAndQueueGoesOn();
    void redirectFollowed();
    void failedWriteIsAFailure();
    void taskQueuedDuringItsFetchIsReported();
    void threadEndsAndRestarts();
    void reportsWithoutContextRunOnDownloadThread();
    void goneContextIsNotCalled();
    void destroyWhileFetching();

private:
    struct Report
    {
        QString tag;
        HttpFileResult result;
    };
    DownloadTask task(const QString &path, const QString &savePath, const QString &tag);
    // The last report of tag (a success or a failure), or null when none came.
    const Report *finalReport(const QString &tag) const;
    int finalCount(const QString &tag) const;

    std::unique_ptr<QnHttpFixture> m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<DownloadFileThread> m_thread;
    QList<Report> m_reports;
};

void TestDownloadFileThread::init()
{
    m_server = std::make_unique<QnHttpFixture>();
    QVERIFY(m_server->listen());
    m_dir = std::make_unique<QTemporaryDir>();
    m_thread = std::make_unique<DownloadFileThread>();
    m_reports.clear();
}

void TestDownloadFileThread::cleanup()
{
    m_thread.reset();
    m_server.reset();
    m_dir.reset();
}

DownloadTask TestDownloadFileThread::task(const QString &path, const QString &savePath, const QString &tag)
{
    DownloadTask t;
    t.url = m_server->baseUrl() + path;
    t.savePath = m_dir->filePath(savePath);
    t.userData = QJsonObject{{"tag", tag}};
    t.callback = [this](const HttpFileResult &r) {
        m_reports.append({r.userData.value("tag").toString(), r});
    };
    t.context = this;
    return t;
}

static bool isFinal(const HttpFileResult &r)
{
    return r.finished || r.statusCode != 200;
}

const TestDownloadFileThread::Report *TestDownloadFileThread::finalReport(const QString &tag) const
{
    for (auto it = m_reports.crbegin(); it != m_reports.crend(); ++it)
        if (it->tag == tag && isFinal(it->result))
            return &*it;
    return nullptr;
}

int TestDownloadFileThread::finalCount(const QString &tag) const
{
    return int(std::count_if(m_reports.begin(), m_reports.end(),
                             [&](const Report &r) { return r.tag == tag && isFinal(r.result); }));
}

void TestDownloadFileThread::existingFileAnsweredAtOnce()
{
    DownloadTask t = task("/f", "sub/dir/have.png", "have");
    QVERIFY(QDir().mkpath(QFileInfo(t.savePath).absolutePath()));
    {
        QFile f(t.savePath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    m_thread->addTask(t);
    QCOMPARE(m_reports.size(), 1); // at once, on the calling thread
    QCOMPARE(m_reports.first().result.statusCode, 200);
    QCOMPARE(m_reports.first().result.finished, true);
    QCOMPARE(m_reports.first().result.filePath, t.savePath);
    QCOMPARE(readAll(t.savePath), QByteArray("old"));
    QVERIFY(m_server->requests().isEmpty());

    // A missing folder is created for a new task.
    m_server->setRoute("GET", "/f", QnHttpResponse::raw(200, "new"));
    m_thread->addTask(task("/f", "a/b/c/new.png", "new"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("new"), 20000);
    QCOMPARE(readAll(m_dir->filePath("a/b/c/new.png")), QByteArray("new"));
}

void TestDownloadFileThread::oneFetchPerUrlAndCopies()
{
    const QByteArray body(100 * 1024, 'x');
    m_server->setRoute("GET", "/avatar.png", QnHttpResponse::raw(200, body, "image/png"));
    m_thread->addTask(task("/avatar.png", "one.png", "one"));
    m_thread->addTask(task("/avatar.png", "two.png", "two"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("one") && finalReport("two"), 20000);
    QCOMPARE(m_server->requests().size(), 1);
    for (const QString tag : {"one", "two"}) {
        const HttpFileResult r = finalReport(tag)->result;
        QCOMPARE(r.statusCode, 200);
        QVERIFY(r.finished);
        QCOMPARE(r.filePath, m_dir->filePath(tag + ".png"));
        QCOMPARE(readAll(r.filePath), body);
        QCOMPARE(finalCount(tag), 1);
    }
    // Progress reports carry the byte counts of the fetch.
    QVERIFY(std::any_of(m_reports.begin(), m_reports.end(), [&](const Report &r) {
        return !r.result.finished && r.result.statusCode == 200 && r.result.current == body.size();
    }));
}

void TestDownloadFileThread::sameTaskQueuedTwiceIsReportedOnce()
{
    QnHttpResponse slow = QnHttpResponse::raw(200, "b");
    slow.delayMs = 300;
    m_server->setRoute("GET", "/b", slow);
    m_server->setRoute("GET", "/a", QnHttpResponse::raw(200, "a"));
    // /a is fetched first, so both copies of the /b task wait in the queue together.
    m_thread->addTask(task("/a", "a.bin", "a"));
    const DownloadTask b = task("/b", "b.bin", "b");
    m_thread->addTask(b);
    m_thread->addTask(b);
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("b"), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_thread->pendingCount(), 0, 5000);
    QTest::qWait(100); // a second report would be posted right behind the first
    QCOMPARE(finalCount("b"), 1);
    QCOMPARE(m_server->requests().size(), 2);
}

void TestDownloadFileThread::failuresReportedAndQueueGoesOn_data()
{
    QTest::addColumn<QnHttpResponse>("response");
    QTest::addColumn<int>("status");
    QTest::newRow("404") << QnHttpResponse::raw(404, "gone") << int(QNetworkReply::ContentNotFoundError);
    QTest::newRow("204 without error") << QnHttpResponse::raw(204, QByteArray(), QByteArray()) << 204;
    QTest::newRow("dropped connection")
        << QnHttpResponse::dropped() << int(QNetworkReply::RemoteHostClosedError);
    QTest::newRow("redirect loop") << QnHttpResponse::redirect("/a-bad")
                                   << int(QNetworkReply::TooManyRedirectsError);
    QTest::newRow("redirect to a file URL")
        << QnHttpResponse::redirect("file:///etc/passwd") << int(QNetworkReply::ProtocolUnknownError);
}

void TestDownloadFileThread::failuresReportedAndQueueGoesOn()
{
    QFETCH(QnHttpResponse, response);
    QFETCH(int, status);
    m_server->setRoute("GET", "/a-bad", response);
    m_server->setRoute("GET", "/b-good", QnHttpResponse::raw(200, "good"));
    m_thread->addTask(task("/a-bad", "bad1.bin", "bad1"));
    m_thread->addTask(task("/a-bad", "bad2.bin", "bad2"));
    m_thread->addTask(task("/b-good", "good.bin", "good"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("good"), 20000);
    QCOMPARE(finalReport("good")->result.statusCode, 200);
    for (const QString tag : {"bad1", "bad2"}) {
        QVERIFY(finalReport(tag));
        QCOMPARE(finalCount(tag), 1);
        QCOMPARE(finalReport(tag)->result.statusCode, status);
        QCOMPARE(finalReport(tag)->result.finished, false);
        QVERIFY(!QFile::exists(m_dir->filePath(tag + ".bin")));
    }
}

void TestDownloadFileThread::redirectFollowed()
{
    m_server->setRoute("GET", "/old", QnHttpResponse::redirect("/new"));
    m_server->setRoute("GET", "/new", QnHttpResponse::raw(200, "moved here"));
    m_thread->addTask(task("/old", "r.bin", "r"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("r"), 20000);
    QCOMPARE(finalReport("r")->result.statusCode, 200);
    QCOMPARE(readAll(m_dir->filePath("r.bin")), QByteArray("moved here"));
}

void TestDownloadFileThread::failedWriteIsAFailure()
{
    // The save folder cannot exist: a plain file stands where it should be (this holds for root too).
    {
        QFile blocker(m_dir->filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    m_server->setRoute("GET", "/w", QnHttpResponse::raw(200, "data"));
    m_thread->addTask(task("/w", "blocker/first.bin", "first"));
    m_thread->addTask(task("/w", "fine.bin", "second"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("first") && finalReport("second"), 20000);
    QCOMPARE(finalReport("first")->result.statusCode, int(DownloadFileThread::WriteFailed));
    QCOMPARE(finalReport("first")->result.finished, false);
    // The next task of the url writes the body itself instead of copying a file that is not there.
    QCOMPARE(finalReport("second")->result.statusCode, 200);
    QCOMPARE(readAll(m_dir->filePath("fine.bin")), QByteArray("data"));
}

void TestDownloadFileThread::taskQueuedDuringItsFetchIsReported()
{
    QnHttpResponse slow = QnHttpResponse::raw(200, "slow body");
    slow.delayMs = 500;
    m_server->setRoute("GET", "/slow", slow);
    m_thread->addTask(task("/slow", "early.bin", "early"));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 1, 20000); // in flight now
    m_thread->addTask(task("/slow", "late.bin", "late"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("early") && finalReport("late"), 20000);
    QCOMPARE(finalReport("late")->result.statusCode, 200);
    QCOMPARE(readAll(m_dir->filePath("late.bin")), QByteArray("slow body"));
    QCOMPARE(m_server->requests().size(), 1);
}

void TestDownloadFileThread::threadEndsAndRestarts()
{
    m_server->setRoute("GET", "/x", QnHttpResponse::raw(200, "x"));
    // Each task is added right as the previous run drains its queue, so adding races with quitting.
    for (int i = 0; i < 40; ++i) {
        const QString tag = QString::number(i);
        m_thread->addTask(task("/x", tag + ".bin", tag));
        QTRY_VERIFY_WITH_TIMEOUT(finalReport(tag), 20000);
        QCOMPARE(finalReport(tag)->result.statusCode, 200);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!m_thread->isRunning(), 5000);
    m_thread->addTask(task("/x", "after.bin", "after"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("after"), 20000);
    QCOMPARE(readAll(m_dir->filePath("after.bin")), QByteArray("x"));
}

void TestDownloadFileThread::reportsWithoutContextRunOnDownloadThread()
{
    m_server->setRoute("GET", "/t", QnHttpResponse::raw(200, "t"));
    QMutex mutex;
    QList<QThread *> threads;
    bool done = false;
    DownloadTask t = task("/t", "t.bin", "t");
    t.context = nullptr;
    t.callback = [&](const HttpFileResult &r) {
        QMutexLocker lock(&mutex);
        threads << QThread::currentThread();
        done = done || r.finished;
    };
    m_thread->addTask(t);
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QMutexLocker lock(&mutex);
            return done;
        }(),
        20000);
    QMutexLocker lock(&mutex);
    for (QThread *th : qAsConst(threads))
        QCOMPARE(th, static_cast<QThread *>(m_thread.get()));
}

void TestDownloadFileThread::goneContextIsNotCalled()
{
    QnHttpResponse slow = QnHttpResponse::raw(200, "s");
    slow.delayMs = 200;
    m_server->setRoute("GET", "/s", slow);
    auto *page = new QObject;
    int calls = 0;
    DownloadTask t = task("/s", "s.bin", "s");
    t.context = page;
    t.callback = [&](const HttpFileResult &) { ++calls; };
    m_thread->addTask(t);
    delete page;
    m_thread->addTask(task("/s", "s2.bin", "s2"));
    QTRY_VERIFY_WITH_TIMEOUT(finalReport("s2"), 20000);
    QTest::qWait(100);
    QCOMPARE(calls, 0);
    QVERIFY(QFile::exists(m_dir->filePath("s.bin"))); // still downloaded, only not reported
}

void TestDownloadFileThread::destroyWhileFetching()
{
    m_server->setRoute("GET", "/never", QnHttpResponse::silent());
    m_thread->addTask(task("/never", "n.bin", "n"));
    m_thread->addTask(task("/other", "o.bin", "o"));
    QTRY_COMPARE_WITH_TIMEOUT(m_server->requests().size(), 1, 20000);
    m_thread.reset(); // aborts the fetch, drops the queue, joins
    QTest::qWait(100);
    QVERIFY(m_reports.isEmpty());
}

QTEST_GUILESS_MAIN(TestDownloadFileThread)
#include "tst_downloadfilethread.moc"
