// A hostile room member floods the PC with malformed control messages while it is connected to the
// receiver simulator. The PC survives, starts no media for anyone, still answers the receiver, and
// its log stays within the sink's bounds however large the peer's values are.
#include "tests/fixtures/client/ClientTestUtil.h"

#include "client/videomodel/QnLynVideoModel.h"
#include "common/log/QnLog.h"
#include "lyn/manager/QnLynManager.h"
#include "tests/fixtures/media/MediaTestUtil.h"
#include "tests/fixtures/receiver_sim/control/QnSimGatewayMember.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <random>

using namespace ClientTestUtil;

namespace {

constexpr int kMessages = 3000;
constexpr quint32 kSeed = 20261210;

QByteArray compact(const QJsonObject &o)
{
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

/// The malformed traffic of one flood: (channel, payload) pairs, the same for every run.
class FloodMaker
{
public:
    explicit FloodMaker(const QString &pcId) : m_rng(kSeed), m_pcId(pcId) {}

    QPair<int, QByteArray> next(int index)
    {
        switch (pick(9)) {
        case 0: // random bytes on any channel
            return {1 + pick(8), bytes(pick(300))};
        case 1: // a request of any type with hostile fields
        case 2:
            return {5, compact(request(1 + pick(21), index))};
        case 3: // a mirroring offer from a member that never connected
            return {5, compact(request(4, index))};
        case 4: // answers to requests nobody sent
            return {pick(2) ? 6 : 8, compact(QJsonObject{{"id", id()}, {"code", pick(2) ? -1006 : 0}})};
        case 5: // presence and stop naming random ids
            return {3 + pick(2), compact(QJsonObject{{"id", id()}})};
        case 6: // deep nesting and duplicate keys
            return {5, pick(2) ? QByteArray(4000, '[') + QByteArray(4000, ']')
                               : QByteArray(R"({"type":1,"type":4,"userId":"a","userId":"b","data":{}})")};
        case 7: // a keep-alive
            return {7, compact(QJsonObject{{"type", 7}, {"id", id()}})};
        default: { // a valid envelope cut short
            const QByteArray whole = compact(request(1 + pick(20), index));
            return {5, whole.left(pick(whole.size()))};
        }
        }
    }

private:
    int pick(int n) { return n <= 0 ? 0 : int(m_rng() % quint32(n)); }
    QByteArray bytes(int n)
    {
        QByteArray b(n, Qt::Uninitialized);
        for (char &c : b)
            c = char(m_rng());
        return b;
    }
    QString id() { return QStringLiteral("m%1").arg(m_rng(), 8, 16, QLatin1Char('0')); }
    QString address(int index)
    {
        // Every 1000th message carries a 900 KB address; the rest mix forms that are and are not
        // IPv4 addresses.
        if (index % 1000 == 7)
            return QString(900 * 1024, QLatin1Char('x'));
        static const QStringList forms{"10.0.0.%1", "999.1.1.%1",  "1.2.%1",     "1.2.3.4.%1",
                                       "::%1",      "0x7f.0.0.%1", " 10.0.0.%1", "%1"};
        return forms.at(pick(forms.size())).arg(pick(300));
    }
    QJsonObject request(int type, int index)
    {
        QJsonObject data{{"ip", address(index)}, {"lynPort", pick(70000) - 1000},
                         {"port", pick(70000)},  {"path", QString(pick(600), QLatin1Char('p'))},
                         {"angle", pick(720)},   {"url", "http://x/" + id()},
                         {"device", 1},          {"width", pick(5000)},
                         {"height", pick(5000)}};
        return QJsonObject{{"type", type},
                           {"userId", pick(10) ? id() : m_pcId},
                           {"nickName", QString(pick(2000), QLatin1Char('n'))},
                           {"ip", address(index)},
                           {"id", id()},
                           {"data", data}};
    }

    std::mt19937 m_rng;
    QString m_pcId;
};

/// The gateway server runs on the test thread, which is busy while it sends the flood: members
/// must not take that for a dead server.
QnGatewayConfig patientGateway()
{
    QnGatewayConfig c = fastGateway();
    c.silenceTimeoutMs = 60000;
    return c;
}

} // namespace

class TstQnLynClientFlood : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();
    void floodFromARoomMember();

private:
    QnSimControl *m_rx = nullptr;
    QTemporaryDir m_logDir;
    QnLog::Limits m_savedLimits;
};

void TstQnLynClientFlood::init()
{
    QVERIFY(m_logDir.isValid());
    m_savedLimits = QnLog::limits();
    QnLog::Limits limits;
    limits.maxLineChars = 2048;
    limits.maxFileBytes = 512 * 1024;
    limits.keepFiles = 2;
    QnLog::setLimits(limits);
    QnLog::install(m_logDir.filePath("flood.log"));
    m_rx = new QnSimControl;
    m_rx->setGatewayConfig(patientGateway());
    QVERIFY(m_rx->hostGateway());
    m_rx->server()->setPingTiming(300, 60000);
    QSignalSpy ready(m_rx, &QnSimControl::ready);
    QVERIFY(m_rx->start());
    QVERIFY(ready.wait(5000));
}

void TstQnLynClientFlood::cleanup()
{
    delete m_rx;
    m_rx = nullptr;
    QnLog::uninstall();
    QnLog::setLimits(m_savedLimits);
}

void TstQnLynClientFlood::floodFromARoomMember()
{
    ClientRig rig;
    QnLynClientConfig config = rig.config(MediaTestUtil::freePortBlock(8));
    config.gateway = patientGateway();
    rig.make(config);
    QVERIFY(connectTo(rig, *m_rx));
    QnLynClientObject *c = rig.client.get();
    const QString pc = rig.pcId();
    QSignalSpy changed(c, &QnLynClientObject::serverConnectChanged);
    QSignalSpy added(c, &QnLynClientObject::addDesktop);

    // The connected receiver itself offers its screen from addresses that are not IPv4 addresses.
    for (const QString &bad :
         {QStringLiteral("not-an-ip"), QStringLiteral("999.0.0.1"), QString(900 * 1024, 'y')})
        m_rx->sendRequest(pc, 4, QJsonObject{{"ip", bad}, {"lynPort", 41004}});

    QnSimGatewayMember intruder;
    QSignalSpy joined(&intruder, &QnSimGatewayMember::joined);
    QVERIFY(intruder.start("127.0.0.1", m_rx->server()->port(), "intruder", "x", m_rx->identity().roomId,
                           patientGateway()));
    QVERIFY(joined.wait(5000));
    QSignalSpy routed(m_rx->server(), &QnGatewayServer::messageRouted);
    FloodMaker maker(pc);
    for (int i = 0; i < kMessages; ++i) {
        const QPair<int, QByteArray> m = maker.next(i);
        QCOMPARE(intruder.send(pc, m.first, m.second), 0);
        // The gateway server shares this thread: let it drain, and give a 900 KB frame time to
        // leave whole, or the PC's socket gives up on the half-read frame on a loaded machine.
        if (m.second.size() > 64 * 1024)
            QTest::qWait(1000);
        else if (i % 20 == 19)
            QCoreApplication::processEvents();
    }
    // Every message has reached the PC's gateway socket before the receiver's request below.
    auto fromIntruderToPc = [&] {
        int n = 0;
        for (const QList<QVariant> &r : qAsConst(routed))
            n += r.at(0).toString() == "intruder" && r.at(1).toString() == pc ? 1 : 0;
        return n;
    };
    QTRY_COMPARE_WITH_TIMEOUT(fromIntruderToPc(), kMessages, 120000);

    // Still alive and answering the receiver.
    QSignalSpy answered(m_rx, &QnSimControl::answerReceived);
    const QString id = m_rx->sendRequest(pc, 3, QJsonObject());
    QTRY_VERIFY_WITH_TIMEOUT(m_rx->hasAnswer(id), 60000);
    QCOMPARE(m_rx->answer(id).value("code").toInt(), 0);

    // Nobody started a media run here, and the connection is untouched.
    QVERIFY(c->getLynManager()->serverIds().isEmpty());
    QCOMPARE(c->getVideoModel()->rowCount(), 0);
    QCOMPARE(added.count(), 0);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(rig.input->connectedReceiver(), m_rx->identity().userId);

    // The log stayed within its bounds: at most the current file and two rotated ones, each about
    // the size limit, and no peer value reached it whole.
    QnLog::uninstall();
    const QnLog::Limits limits = QnLog::limits();
    const QFileInfoList files = QDir(m_logDir.path()).entryInfoList(QDir::Files);
    QVERIFY(!files.isEmpty());
    QVERIFY(files.size() <= 1 + limits.keepFiles);
    qint64 total = 0;
    for (const QFileInfo &f : files) {
        QVERIFY2(f.size() <= limits.maxFileBytes + 4 * limits.maxLineChars + 1024, qPrintable(f.fileName()));
        total += f.size();
        QFile file(f.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY2(!text.contains(QByteArray(1024, 'x')), qPrintable(f.fileName()));
        QVERIFY2(!text.contains(QByteArray(1024, 'y')), qPrintable(f.fileName()));
        for (const QByteArray &line : text.split('\n'))
            QVERIFY(line.size() <= 4 * limits.maxLineChars + 512);
    }
    QVERIFY(total <= (1 + limits.keepFiles) * (limits.maxFileBytes + 4 * limits.maxLineChars + 1024));
}

QTEST_MAIN(TstQnLynClientFlood)
#include "tst_qnlynclient_flood.moc"
