// The user record: parsing, the head-image address, and the head-image cache.

#include "qnloginbase/src/Interface/QnBoardUser.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using QnBoard::User;

class TestQnBoardUser : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_home;
    QnCloudFixture m_cloud;

    // Downloads user's head image; returns the failure reason ("" on success).
    static QString download(User &user)
    {
        QSignalSpy finish(&user, &User::finish);
        QSignalSpy failed(&user, &User::downloadFailed);
        user.downloadAvatar();
        if (finish.isEmpty() && !finish.wait(5000))
            return "no finish";
        if (finish.size() != 1 || finish.first().first().toString() != user.uuid)
            return "wrong finish";
        return failed.isEmpty() ? QString() : failed.first().at(1).toString();
    }

private Q_SLOTS:
    void initTestCase();
    void fromJson();
    void copies();
    void avatarUrl_data();
    void avatarUrl();
    void cachesHeadImage_data();
    void cachesHeadImage();
    void refusesUnsafeNames_data();
    void refusesUnsafeNames();
    void failedDownloadKeepsOldFile();
    void destroyedDuringDownload();
};

void TestQnBoardUser::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
    QVERIFY(m_cloud.listen());
}

void TestQnBoardUser::fromJson()
{
    const User u = User::fromJson(R"({"uuid":"ab-12","role":3,"name":"N","username":"138","nickname":"nn",)"
                                  R"("headPath":"/h.png","extra":1})");
    QCOMPARE(u.uuid, QString("ab-12"));
    QCOMPARE(u.role, 3);
    QCOMPARE(u.name, QString("N"));
    QCOMPARE(u.username, QString("138"));
    QCOMPARE(u.nickname, QString("nn"));
    QCOMPARE(u.headPath, QString("/h.png"));
    QVERIFY(u.localHeadPath.isEmpty());

    const User bad = User::fromJson("{not json");
    QVERIFY(bad.uuid.isEmpty() && bad.name.isEmpty() && bad.username.isEmpty() && bad.nickname.isEmpty() &&
            bad.headPath.isEmpty());
    QCOMPARE(bad.role, 0);
}

void TestQnBoardUser::copies()
{
    User a = User::fromJson(R"({"uuid":"x1","name":"A"})");
    a.localHeadPath = "/tmp/x1.png";
    QObject parent;
    a.setParent(&parent);
    const User b(a);
    QCOMPARE(b.uuid, QString("x1"));
    QCOMPARE(b.localHeadPath, QString("/tmp/x1.png"));
    QCOMPARE(b.parent(), nullptr);
    User c;
    c = a;
    QCOMPARE(c.name, QString("A"));
    a.setParent(nullptr);
}

void TestQnBoardUser::avatarUrl_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("headPath");
    QTest::addColumn<QString>("url");
    const QString base = "http://127.0.0.1:8080/gateway";
    QTest::newRow("absolute path") << base << "/files/head/a.png" << base + "/files/head/a.png";
    QTest::newRow("relative path") << base << "files/head/a.jpg" << base + "/files/head/a.jpg";
    QTest::newRow("base with slash") << base + "/"
                                     << "/a.png" << base + "/a.png";
    QTest::newRow("query kept") << base << "/a.png?v=2" << base + "/a.png?v=2";
    QTest::newRow("user-info trick stays a path")
        << base << "@evil.example/x.png" << base + "/@evil.example/x.png";
    QTest::newRow("other host") << base << "http://evil.example/x.png"
                                << "";
    QTest::newRow("scheme-relative host") << base << "//evil.example/x.png"
                                          << "";
    QTest::newRow("other scheme") << base << "file:///etc/passwd"
                                  << "";
    QTest::newRow("empty") << base << ""
                           << "";
    QTest::newRow("no base") << ""
                             << "/a.png"
                             << "";
}

void TestQnBoardUser::avatarUrl()
{
    QFETCH(QString, base);
    QFETCH(QString, headPath);
    QFETCH(QString, url);
    const QUrl made = User::avatarUrl(base, headPath);
    QCOMPARE(made.toString(QUrl::FullyEncoded), url);
    if (!url.isEmpty())
        QCOMPARE(made.host(), QString("127.0.0.1"));
}

void TestQnBoardUser::cachesHeadImage_data()
{
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("png") << "png" << QByteArray("\x89PNG");
    QTest::newRow("jpg") << "jpg" << QByteArray("\xFF\xD8\xFF");
    QTest::newRow("JPEG upper case") << "JPEG" << QByteArray("\xFF\xD8\xFF");
    QTest::newRow("bmp") << "bmp" << QByteArray("BM");
}

void TestQnBoardUser::cachesHeadImage()
{
    QFETCH(QString, extension);
    QFETCH(QByteArray, magic);
    m_cloud.setFile("head/u-1." + extension, QnCloudFixture::pngImage(QSize(12, 10)));
    User user = User::fromJson(R"({"uuid":"0a1B-2c3d"})");
    user.localHeadPath = ":/default.png";
    user.headPath = User::avatarUrl(m_cloud.gatewayUrl(), "/files/head/u-1." + extension).toString();
    QCOMPARE(download(user), QString());
    const QString file = User::cacheDir() + "/0a1B-2c3d." + extension.toLower();
    QCOMPARE(user.localHeadPath, file);
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().startsWith(magic));
    QCOMPARE(QImage(file).size(), QSize(12, 10));
    // Nothing but the picture is left in the cache folder.
    QVERIFY(QDir(User::cacheDir()).entryList(QDir::Files).contains("0a1B-2c3d." + extension.toLower()));
    for (const QString &name : QDir(User::cacheDir()).entryList(QDir::Files))
        QVERIFY2(!name.contains(".tmp") && !name.startsWith("."), qPrintable(name));
}

void TestQnBoardUser::refusesUnsafeNames_data()
{
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<QString>("headPath");
    QTest::addColumn<bool>("requested");
    QTest::newRow("uuid climbs out") << "../../escape"
                                     << "/files/head/a.png" << false;
    QTest::newRow("uuid with slash") << "a/b"
                                     << "/files/head/a.png" << false;
    QTest::newRow("empty uuid") << ""
                                << "/files/head/a.png" << false;
    QTest::newRow("executable extension") << "abc"
                                          << "/files/head/a.exe" << false;
    QTest::newRow("extension with path") << "abc"
                                         << "/files/head/a.png/../x" << false;
    QTest::newRow("no extension") << "abc"
                                  << "/files/head/a" << false;
    QTest::newRow("no picture in body") << "abc"
                                        << "/files/head/text.png" << true;
    QTest::newRow("missing file") << "abc"
                                  << "/files/head/none.png" << true;
}

void TestQnBoardUser::refusesUnsafeNames()
{
    QFETCH(QString, uuid);
    QFETCH(QString, headPath);
    QFETCH(bool, requested);
    m_cloud.setFile("head/text.png", "this is not a picture", "image/png");
    m_cloud.clearRequests();
    User user;
    user.uuid = uuid;
    user.localHeadPath = ":/default.png";
    user.headPath = m_cloud.gatewayUrl() + headPath;
    QVERIFY(!download(user).isEmpty());
    QCOMPARE(user.localHeadPath, QString(":/default.png"));
    QCOMPARE(m_cloud.requestCount(QnCloudRoute::kFiles) > 0, requested);
    QVERIFY(!QFile::exists(m_home.filePath("data/escape.png")));
}

void TestQnBoardUser::failedDownloadKeepsOldFile()
{
    m_cloud.setFile("head/good.png", QnCloudFixture::pngImage(QSize(20, 20), Qt::green));
    m_cloud.setFile("head/broken.png", QByteArray("\x89PNG\r\n\x1a\n truncated"));
    User user;
    user.uuid = "keep-1";
    user.headPath = m_cloud.gatewayUrl() + "/files/head/good.png";
    QCOMPARE(download(user), QString());
    const QString file = user.localHeadPath;
    QCOMPARE(QImage(file).size(), QSize(20, 20));

    user.headPath = m_cloud.gatewayUrl() + "/files/head/broken.png";
    QCOMPARE(download(user), QString("not a picture"));
    QCOMPARE(user.localHeadPath, file);
    QCOMPARE(QImage(file).size(), QSize(20, 20)); // the old picture is intact

    m_cloud.setFault(QnCloudRoute::kFiles, QnCloudFixture::Fault::Drop);
    user.headPath = m_cloud.gatewayUrl() + "/files/head/good.png";
    QVERIFY(download(user).startsWith("network error"));
    m_cloud.clearScripts();
    QCOMPARE(QImage(file).size(), QSize(20, 20));

    m_cloud.setFault(QnCloudRoute::kFiles, QnCloudFixture::Fault::Redirect);
    QCOMPARE(download(user), QString("HTTP status 302")); // not followed: it could change the host
    m_cloud.clearScripts();

    m_cloud.setFile("head/good.png", QnCloudFixture::pngImage(QSize(30, 30), Qt::green));
    QCOMPARE(download(user), QString());
    QCOMPARE(QImage(file).size(), QSize(30, 30)); // replaced once complete
}

void TestQnBoardUser::destroyedDuringDownload()
{
    m_cloud.setDelay(QnCloudRoute::kFiles, 200);
    m_cloud.clearRequests();
    int finished = 0;
    QObject observer;
    {
        auto user = std::make_unique<User>();
        user->uuid = "gone-1";
        user->headPath = m_cloud.gatewayUrl() + "/files/head/good.png";
        connect(user.get(), &User::finish, &observer, [&] { ++finished; });
        user->downloadAvatar();
        QTRY_COMPARE_WITH_TIMEOUT(m_cloud.requestCount(QnCloudRoute::kFiles), 1, 3000);
    }
    QTest::qWait(400);
    QCOMPARE(finished, 0);
    QVERIFY(!QFile::exists(User::cacheDir() + "/gone-1.png"));
    m_cloud.clearScripts();
}

QTEST_GUILESS_MAIN(TestQnBoardUser)
#include "tst_qnboarduser.moc"
