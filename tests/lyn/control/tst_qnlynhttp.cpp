// QnLynHttp without a gateway: identity, answer parsing, the registry, the peer's requests and the
// leave notices.
#include "lyn/control/QnLynControlEnvelope.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/control/QnLynRequestRegistry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {
QByteArray json(const char *text)
{
    return QByteArray(text);
}
QJsonObject obj(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}
} // namespace

class TstQnLynHttp : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void deviceIdentity();
    void answerParsing_data();
    void answerParsing();
    void registrySweepRemovesBeforeCalling();
    void timeoutExactlyOnce();
    void peerRequests_data();
    void peerRequests();
    void exactAnswers();
    void connectLimit();
    void graceTimer();
    void voluntaryLeaveForgetsPeer();
    void receivedFileLists();

private:
    QnLynHttp *make();
    QTemporaryDir *m_dir = nullptr;
    QnLynHttp *m_http = nullptr;
};

void TstQnLynHttp::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_http = make();
}

void TstQnLynHttp::cleanup()
{
    delete m_http;
    delete m_dir;
}

QnLynHttp *TstQnLynHttp::make()
{
    return new QnLynHttp(m_dir->filePath("setting.ini"));
}

void TstQnLynHttp::deviceIdentity()
{
    const QString id = m_http->getDeviceId();
    QVERIFY2(QRegularExpression("^[0-9a-f]{32}$").match(id).hasMatch(), qPrintable(id));
    std::unique_ptr<QnLynHttp> again(make());
    QCOMPARE(again->getDeviceId(), id);
    QSettings stored(m_dir->filePath("setting.ini"), QSettings::IniFormat);
    QCOMPARE(stored.value("system/uuid").toString(), id);
    QCOMPARE(stored.value("system/name").toString(), m_http->getDeviceName());
    QVERIFY(!m_http->getDeviceName().isEmpty());
}

void TstQnLynHttp::answerParsing_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("dataKey");
    const QString failed = QStringLiteral("Connect to the server failed");
    QTest::newRow("not json") << json("{\"code\":0,") << false << failed << QString();
    QTest::newRow("array") << json("[0]") << false << failed << QString();
    QTest::newRow("empty") << QByteArray() << false << failed << QString();
    QTest::newRow("code without msg") << json(R"({"code":3})") << false << failed << QString();
    QTest::newRow("code with empty msg") << json(R"({"code":3,"msg":""})") << false << failed << QString();
    QTest::newRow("code with msg") << json(R"({"code":3,"msg":"x"})") << false << "x" << QString();
    QTest::newRow("no code") << json(R"({"data":{"k":1}})") << false << failed << "k";
    QTest::newRow("duplicate key") << json(R"({"code":0,"code":0})") << false << failed << QString();
    QTest::newRow("code as text") << json(R"({"code":"0","data":{}})") << false << failed << QString();
    QTest::newRow("time-out") << json(R"({"code":-1})") << false << failed << QString();
    QTest::newRow("success") << json(R"({"code":0,"data":{"k":1}})") << true << QString() << "k";
    QTest::newRow("success data not object")
        << json(R"({"code":0,"data":5})") << true << QString() << QString();
}

void TstQnLynHttp::answerParsing()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, success);
    QFETCH(QString, error);
    QFETCH(QString, dataKey);
    const QnLynControl::Answer a = QnLynControl::parseAnswer(answer);
    QCOMPARE(a.success, success);
    QCOMPARE(a.errorText, error);
    QCOMPARE(a.data.contains(dataKey), !dataKey.isEmpty());
}

void TstQnLynHttp::registrySweepRemovesBeforeCalling()
{
    // An expiring handler files a new request: it must survive the sweep that called the handler.
    QnLynRequestRegistry registry;
    int calls = 0;
    registry.file("a", "t", 0, [&](const QByteArray &, const QString &) {
        ++calls;
        registry.file("b", "t", 20000, {});
    });
    registry.file("c", "t", 5000, {});
    auto expired = registry.expire(10001, 10000);
    QCOMPARE(int(expired.size()), 1);
    QCOMPARE(expired.front().id, QStringLiteral("a"));
    QVERIFY(!registry.contains("a"));
    expired.front().handler("{}", "t");
    QCOMPARE(calls, 1);
    QVERIFY(registry.contains("b"));
    QVERIFY(registry.contains("c"));
    QCOMPARE(int(registry.expire(15000, 10000).size()), 0); // exactly 10000 ms stays
    QCOMPARE(int(registry.expire(15001, 10000).size()), 1);
}

void TstQnLynHttp::timeoutExactlyOnce()
{
    qint64 now = 1000000;
    m_http->setClock([&] { return now; });
    QSignalSpy result(m_http, &QnLynHttp::startDesktopRequestResult);
    m_http->startDesktopRequestSender("url", "r1", 10900); // no gateway: filed, nothing sent
    QCOMPARE(m_http->pendingRequestCount(), 1);
    now += 10000;
    m_http->sweepRequests();
    QCOMPARE(result.size(), 0);
    now += 1;
    m_http->sweepRequests();
    m_http->sweepRequests();
    QCOMPARE(result.size(), 1);
    QCOMPARE(result.first(), (QVariantList{false, "r1", QString(), 0, 0, -1, -1}));
    QCOMPARE(m_http->pendingRequestCount(), 0);
}

void TstQnLynHttp::peerRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("msg");
    QTest::addColumn<QString>("signal"); // the one signal expected, or empty
    const QString missing = QStringLiteral("type not exist");
    const QString limit = QStringLiteral("The number of screen projectors has reached the limit, please wait "
                                         "for other devices to disconnect and initiate the screen project");
    auto row = [](const char *name, const char *req, const char *setup, int code, const QString &msg,
                  const char *signal) {
        QTest::newRow(name) << QByteArray(req) << QString(setup) << code << msg << QString(signal);
    };
    row("no userId", R"({"type":5,"id":"i"})", "", -1, "not contains type or userId", "");
    row("no type", R"({"userId":"u","id":"i"})", "", -1, "not contains type or userId", "");
    row("not json", R"({"type":5,)", "", -1, "not contains type or userId", "");
    row("1 connect", R"({"type":1,"userId":"u","nickName":"n","ip":"10.0.0.9","id":"i"})", "", 0, "ok",
        "userConnect");
    row("2 disconnect", R"({"type":2,"userId":"u","id":"i"})", "", 0, "ok", "userConnectedChanged");
    row("3 presence", R"({"type":3,"userId":"u","id":"i"})", "", 0, "ok", "");
    row("4 mirror", R"({"type":4,"userId":"u","id":"i","data":{"ip":"a","lynPort":5,"width":9}})", "", 0,
        "ok", "startLyn");
    row("4 missing lynPort", R"({"type":4,"userId":"u","id":"i","data":{"ip":"a"}})", "", -1, missing, "");
    row("4 data not object", R"({"type":4,"userId":"u","id":"i","data":[1]})", "", -1, missing, "");
    row("4 screen limit", R"({"type":4,"userId":"u","id":"i","data":{"ip":"a","lynPort":5}})", "screens",
        -1006, limit, "");
    row("5 stop mirror", R"({"type":5,"userId":"u","id":"i"})", "", 0, "ok", "stopLyn");
    row("6 desktop", R"({"type":6,"userId":"u","id":"i","data":{"ip":"a","lynPort":5,"port":6}})", "", 0,
        "ok", "startDesktop");
    row("6 missing port", R"({"type":6,"userId":"u","id":"i","data":{"ip":"a","lynPort":5}})", "", -1,
        missing, "");
    row("7 stop desktop", R"({"type":7,"userId":"u","id":"i"})", "", 0, "ok", "stopDesktop");
    row("8 mouse", R"({"type":8,"userId":"u","id":"i"})", "", 0, "ok", "requestMouse");
    row("8 mouse refused", R"({"type":8,"userId":"u","id":"i"})", "nodesktop", -1003, "can not desktop",
        "requestMouse");
    row("9 stop mouse", R"({"type":9,"userId":"u","id":"i"})", "", 0, "ok", "stopMouse");
    row("10 pictures", R"({"type":10,"userId":"u","id":"i","data":{"pixs":[{"url":"http://h/a.png"}]}})",
        "folder", 0, "ok", "lynPixmap");
    row("10 no save folder", R"({"type":10,"userId":"u","id":"i","data":{"pixs":[]}})", "", -1,
        "no save folder", "");
    row("10 unsafe peer id", R"({"type":10,"userId":"../x","id":"i","data":{"pixs":[]}})", "folder", -1,
        "invalid userId", "");
    row("10 pixs missing", R"({"type":10,"userId":"u","id":"i","data":{}})", "folder", -1, missing, "");
    row("11", R"({"type":11,"userId":"u","id":"i"})", "", -1, missing, "");
    row("12 media", R"({"type":12,"userId":"u","id":"i","data":{"path":"p"}})", "", 0, "ok", "lynVideo");
    row("12 screen limit", R"({"type":12,"userId":"u","id":"i","data":{"path":"p"}})", "screens", -1006,
        limit, "");
    row("13 video", R"({"type":13,"userId":"u","id":"i","data":{"path":"p"}})", "", 0, "ok", "lynVideo");
    row("13 missing path", R"({"type":13,"userId":"u","id":"i","data":{}})", "", -1, missing, "");
    row("14 angle", R"({"type":14,"userId":"u","id":"i","data":{"angle":90}})", "", 0, "ok",
        "lynRotationAngle");
    row("15 desktop request", R"({"type":15,"userId":"u","id":"i","data":{"ip":"a","lynPort":5}})", "port", 0,
        "ok", "requestDesktop");
    row("15 no desktop port", R"({"type":15,"userId":"u","id":"i","data":{"ip":"a","lynPort":5}})", "", -1002,
        "desktop not available", "requestDesktop");
    row("15 refused", R"({"type":15,"userId":"u","id":"i","data":{"ip":"a","lynPort":5}})", "nodesktop",
        -1002, "can not desktop", "requestDesktop");
    row("15 missing ip", R"({"type":15,"userId":"u","id":"i","data":{"lynPort":5}})", "port", -1, missing,
        "");
    row("16 documents", R"({"type":16,"userId":"u","id":"i","data":{"docs":[{"url":"d.pdf"}]}})", "folder", 0,
        "ok", "lynDocuments");
    row("17 open", R"({"type":17,"userId":"u","id":"i","data":{"url":"http://h/f/d.pdf"}})", "folder", 0,
        "ok", "lynOpenDocument");
    row("17 dot-dot name", R"({"type":17,"userId":"u","id":"i","data":{"url":"http://h/.."}})", "folder", -1,
        "invalid file", "");
    row("17 backslash name", R"({"type":17,"userId":"u","id":"i","data":{"url":"a\\b.txt"}})", "folder", -1,
        "invalid file", "");
    row("17 empty name", R"({"type":17,"userId":"u","id":"i","data":{"url":"http://h/f/"}})", "folder", -1,
        "invalid file", "");
    row("18 media status", R"({"type":18,"userId":"u","id":"i","data":{"path":"p"}})", "", 0, "ok",
        "mediaStatus");
    row("19 not dropped", R"({"type":19,"userId":"u","id":"i"})", "", -1, "is disconnected", "");
    row("20 full screen", R"({"type":20,"userId":"u","id":"i"})", "", 0, "ok", "");
    row("20 full screen busy", R"({"type":20,"userId":"u","id":"i"})", "fullscreen", -1005,
        "Other users are playing full screen, please try again later", "");
    row("21", R"({"type":21,"userId":"u","id":"i"})", "", -1, missing, "");
    row("type huge", R"({"type":1e300,"userId":"u","id":"i"})", "", -1, missing, "");
}

void TstQnLynHttp::peerRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, setup);
    QFETCH(int, code);
    QFETCH(QString, msg);
    QFETCH(QString, signal);
    if (setup == "screens")
        m_http->setScreenCount(6);
    if (setup == "nodesktop")
        m_http->setDesktopPermission(false);
    if (setup == "fullscreen")
        m_http->setFullScreen(true);
    if (setup == "port")
        m_http->setDesktopPort(41010);
    if (setup == "folder")
        m_http->setSaveFolder(m_dir->filePath("save"));

    // Count every signal the object raises, by name.
    QHash<QString, int> raised;
    const QMetaObject *mo = m_http->metaObject();
    QList<QPair<QString, QSignalSpy *>> spies;
    for (int i = mo->methodOffset(); i < mo->methodCount(); ++i) {
        const QMetaMethod m = mo->method(i);
        if (m.methodType() == QMetaMethod::Signal)
            spies.append({QString::fromLatin1(m.name()),
                          new QSignalSpy(m_http, ("2" + m.methodSignature()).constData())});
    }
    const QJsonObject answer = m_http->handleData(request);
    for (const auto &spy : spies) {
        if (!spy.second->isEmpty())
            raised[spy.first] += spy.second->size();
        delete spy.second;
    }

    QCOMPARE(answer.value("code").toInt(), code);
    QCOMPARE(answer.value("msg").toString(), msg);
    QCOMPARE(answer.contains("data"), code == 0);
    if (!signal.isEmpty())
        QVERIFY2(raised.value(signal) == 1, qPrintable(signal));
    if (signal.isEmpty() || code != 0) {
        // Refusals raise nothing beyond the request notices they name.
        for (auto it = raised.constBegin(); it != raised.constEnd(); ++it)
            QVERIFY2(it.key() == signal, qPrintable(it.key()));
    }
}

void TstQnLynHttp::exactAnswers()
{
    QCOMPARE(m_http->handleData(R"({"type":5,"userId":"u","id":"i"})"),
             obj(R"({"code":0,"msg":"ok","type":5,"id":"i","data":{}})"));
    QCOMPARE(m_http->handleData(R"({"type":5,"id":"i"})"),
             obj(R"({"code":-1,"msg":"not contains type or userId"})"));
    m_http->setLocalIp("10.0.0.2");
    m_http->setRoomId("room");
    m_http->setUploadUrl("http://10.0.0.2:1989/file");
    const QJsonObject connect = m_http->handleData(R"({"type":1,"userId":"u","nickName":"n","id":"i"})");
    QCOMPARE(connect.value("data").toObject(), QJsonObject({{"nickName", m_http->getDeviceName()},
                                                            {"ip", "10.0.0.2"},
                                                            {"port", 1979},
                                                            {"roomId", "room"},
                                                            {"uploadUrl", "http://10.0.0.2:1989/file"}}));
    m_http->setDesktopPort(41010);
    m_http->setDesktopSize(QSize(1920, 1080));
    QSignalSpy mirror(m_http, &QnLynHttp::startLyn);
    m_http->handleData(R"({"type":4,"userId":"u","nickName":"n","id":"i",
        "data":{"ip":"10.0.0.5","lynPort":41004,"device":1,"width":1280,"height":720}})");
    QCOMPARE(mirror.first(), (QVariantList{"u", "n", "10.0.0.5", 41004, 0, 1, 1280, 720}));
    QCOMPARE(m_http->handleData(R"({"type":15,"userId":"u","id":"i","data":{"ip":"a","lynPort":1}})")
                 .value("data")
                 .toObject(),
             QJsonObject({{"ip", "10.0.0.2"}, {"lynPort", 41010}, {"width", 1920}, {"height", 1080}}));
}

void TstQnLynHttp::connectLimit()
{
    QSignalSpy changed(m_http, &QnLynHttp::userConnectedChanged);
    for (int i = 0; i < 100; ++i) {
        const QByteArray req = QStringLiteral(R"({"type":1,"userId":"p%1","id":"i"})").arg(i).toUtf8();
        QCOMPARE(m_http->handleData(req).value("code").toInt(), 0);
    }
    QCOMPARE(m_http->handleData(R"({"type":1,"userId":"p100","id":"i"})").value("code").toInt(), -1004);
    QCOMPARE(m_http->handleData(R"({"type":1,"userId":"p100","id":"i"})").value("msg").toString(),
             QStringLiteral("The number of connections has reached the upper limit"));
    // A known peer connecting again is not a new connection; it is reported gone once, then back.
    changed.clear();
    QCOMPARE(m_http->handleData(R"({"type":1,"userId":"p5","nickName":"n","id":"i"})").value("code").toInt(),
             0);
    QCOMPARE(changed.size(), 2);
    QCOMPARE(changed.at(0).at(2).toBool(), false);
    QCOMPARE(changed.at(1).at(2).toBool(), true);
}

void TstQnLynHttp::graceTimer()
{
    m_http->setPeerGraceMs(1000);
    m_http->handleData(R"({"type":1,"userId":"u","nickName":"n","id":"i"})");
    QSignalSpy changed(m_http, &QnLynHttp::userConnectedChanged);

    // Dropped, back with type 19 within the grace time: never reported.
    QVERIFY(QMetaObject::invokeMethod(m_http, "onUserLeaveRoom", Q_ARG(QString, "u"), Q_ARG(bool, true)));
    QCOMPARE(m_http->handleData(R"({"type":19,"userId":"u","id":"i"})").value("code").toInt(), 0);
    QTest::qWait(1300);
    QCOMPARE(changed.size(), 0);

    // A second drop restarts the timer: one report, a full grace time after the last drop.
    QElapsedTimer t;
    t.start();
    QMetaObject::invokeMethod(m_http, "onUserLeaveRoom", Q_ARG(QString, "u"), Q_ARG(bool, true));
    QTest::qWait(600);
    QMetaObject::invokeMethod(m_http, "onUserLeaveRoom", Q_ARG(QString, "u"), Q_ARG(bool, true));
    QTRY_COMPARE_WITH_TIMEOUT(changed.size(), 1, 5000);
    QVERIFY(t.elapsed() >= 1550);
    QCOMPARE(changed.first(), (QVariantList{"u", "n", false}));
    QTest::qWait(1200);
    QCOMPARE(changed.size(), 1);
    // Gone from every table: a type 19 now is refused, a voluntary leave raises nothing.
    QCOMPARE(m_http->handleData(R"({"type":19,"userId":"u","id":"i"})").value("code").toInt(), -1);
    QMetaObject::invokeMethod(m_http, "onUserLeaveRoom", Q_ARG(QString, "u"), Q_ARG(bool, false));
    QCOMPARE(changed.size(), 1);
}

void TstQnLynHttp::voluntaryLeaveForgetsPeer()
{
    m_http->handleData(R"({"type":1,"userId":"u","nickName":"n","id":"i"})");
    QSignalSpy changed(m_http, &QnLynHttp::userConnectedChanged);
    QMetaObject::invokeMethod(m_http, "onUserLeaveRoom", Q_ARG(QString, "u"), Q_ARG(bool, false));
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed.first(), (QVariantList{"u", "n", false}));
    QMetaObject::invokeMethod(m_http, "onUserLeaveRoom", Q_ARG(QString, "u"), Q_ARG(bool, true));
    QTest::qWait(50);
    QCOMPARE(changed.size(), 1);
    QMetaObject::invokeMethod(m_http, "onUserLeaveRoom", Q_ARG(QString, "stranger"), Q_ARG(bool, false));
    QCOMPARE(changed.size(), 1);
}

void TstQnLynHttp::receivedFileLists()
{
    const QString save = m_dir->filePath("save");
    // Without a save folder nothing is written anywhere.
    QCOMPARE(m_http->handleData(R"({"type":10,"userId":"u","id":"i","data":{"pixs":[{"url":"a.png"}]}})")
                 .value("code")
                 .toInt(),
             -1);
    QVERIFY(!QFile::exists("/u/u.json"));
    m_http->setSaveFolder(save);
    QSignalSpy pixmaps(m_http, &QnLynHttp::lynPixmap);
    m_http->handleData(R"({"type":10,"userId":"u","nickName":"n","id":"i","data":{"pixs":[
        {"url":"http://h/x/a.png","name":"a"},{"url":"http://h/.."},{"url":"http://h/b.png"},7]}})");
    QCOMPARE(pixmaps.size(), 1);
    const QVariantList list = pixmaps.first().at(2).toList();
    QCOMPARE(list.size(), 2); // the unsafe name and the non-object are left out
    QCOMPARE(list.at(0).toMap().value("path").toString(), save + "/u/a.png");
    QCOMPARE(list.at(0).toMap().value("name").toString(), QStringLiteral("a"));
    QVERIFY(list.at(0).toMap().value("time").toLongLong() > 1600000000);
    m_http->handleData(R"({"type":10,"userId":"u","id":"j","data":{"pixs":[{"url":"c.png"}]}})");
    QFile file(save + "/u/u.json");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject stored = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(stored.value("size").toInt(), 3);
    QCOMPARE(stored.value("data").toArray().at(2).toObject().value("path").toString(), save + "/u/c.png");
    QCOMPARE(QDir(save).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList("u"));
}

QTEST_GUILESS_MAIN(TstQnLynHttp)
#include "tst_qnlynhttp.moc"
