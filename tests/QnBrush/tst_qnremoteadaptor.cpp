#include "QnBrush/qnboard.pb.h"
#include "QnBrush/src/QnRemoteAdaptor.h"

#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>

using namespace std::chrono_literals;

class TestQnRemoteAdaptor : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void threeActionsOnePeriodOneBatch();
    void emptyPeriodsSendNothing();
    void viewSizeCarried();
    void emittedOnWorkerThread();
    void teardownWithPendingActions_data();
    void teardownWithPendingActions();
};

namespace {
qnboard::Actions parse(const QByteArray &data)
{
    qnboard::Actions actions;
    actions.ParseFromArray(data.constData(), data.size());
    return actions;
}

// Collects batches on the GUI thread (queued from the worker), as the overlay receives them.
class BatchSink : public QObject
{
public:
    explicit BatchSink(QnRemoteAdaptor *adaptor)
    {
        connect(adaptor, &QnRemoteAdaptor::sendData, this,
                [this](QByteArray bytes) { batches.append(bytes); });
    }
    int count() const { return batches.size(); }
    QList<QByteArray> batches;
};
} // namespace

void TestQnRemoteAdaptor::threeActionsOnePeriodOneBatch()
{
    // A long period: the three actions are made well within the first one.
    QnRemoteAdaptor adaptor(nullptr, 1000ms);
    BatchSink spy(&adaptor);
    const QUuid stroke = QUuid::createUuid();
    adaptor.sendRemoteAction(stroke, 2, QJsonObject{{"mousetype", 0}, {"pen", true}});
    adaptor.sendRemoteAction(stroke, 0, QJsonObject{{"x", 1.0}, {"y", 2.0}});
    adaptor.sendRemoteAction(QUuid(), 14, QJsonObject());
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 1, 10000);

    const qnboard::Actions first = parse(spy.batches.at(0));
    QCOMPARE(first.data_size(), 3);
    QCOMPARE(int(first.data(0).actiontype()), 2);
    QCOMPARE(int(first.data(1).actiontype()), 0);
    QCOMPARE(int(first.data(2).actiontype()), 14);
    QCOMPARE(first.data(2).data(), std::string("{}"));
    const QString sender = QString::fromStdString(first.senderid());
    QCOMPARE(sender.size(), 36);
    QCOMPARE(sender, adaptor.senderId());
    QVERIFY(!QUuid::fromString(sender).isNull());
    QCOMPARE(QUuid::fromString(sender).toString(QUuid::WithoutBraces), sender);

    // the next batch carries the same sender id
    adaptor.sendRemoteAction(QUuid(), 15, QJsonObject());
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), 2, 10000);
    const qnboard::Actions second = parse(spy.batches.at(1));
    QCOMPARE(second.data_size(), 1);
    QCOMPARE(QString::fromStdString(second.senderid()), sender);
}

void TestQnRemoteAdaptor::emptyPeriodsSendNothing()
{
    QnRemoteAdaptor adaptor(nullptr, 5ms);
    BatchSink spy(&adaptor);
    QTest::qWait(200); // some forty empty periods
    QCOMPARE(spy.count(), 0);
    QVERIFY(adaptor.isRunning());
    // two adaptors never share a sender id
    QnRemoteAdaptor other(nullptr, 5ms);
    QVERIFY(other.senderId() != adaptor.senderId());
}

void TestQnRemoteAdaptor::viewSizeCarried()
{
    QnRemoteAdaptor adaptor(nullptr, 20ms);
    BatchSink spy(&adaptor);
    adaptor.sendRemoteAction(QUuid(), 16, QJsonObject());
    adaptor.setViewSize(1280, 720);
    adaptor.sendRemoteAction(QUuid(), 16, QJsonObject());
    QList<qnboard::OneAction> all;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            all.clear();
            for (const QByteArray &bytes : spy.batches) {
                const qnboard::Actions batch = parse(bytes);
                for (const auto &a : batch.data())
                    all.append(a);
            }
            return all.size() == 2;
        }(),
        10000);
    QCOMPARE(all.at(0).vwidth(), 0);
    QCOMPARE(all.at(0).vheight(), 0);
    QCOMPARE(all.at(1).vwidth(), 1280);
    QCOMPARE(all.at(1).vheight(), 720);
    QVERIFY(all.at(1).time() >= all.at(0).time());
    QVERIFY(qAbs(all.at(1).time() - QDateTime::currentMSecsSinceEpoch()) < 60000);
}

void TestQnRemoteAdaptor::emittedOnWorkerThread()
{
    QnRemoteAdaptor adaptor(nullptr, 10ms);
    std::atomic<QThread *> emitter{nullptr};
    connect(
        &adaptor, &QnRemoteAdaptor::sendData, &adaptor,
        [&](QByteArray) { emitter = QThread::currentThread(); }, Qt::DirectConnection);
    adaptor.sendRemoteAction(QUuid(), 9, QJsonObject());
    QTRY_VERIFY_WITH_TIMEOUT(emitter.load() != nullptr, 10000);
    QVERIFY(emitter.load() != QThread::currentThread());
}

void TestQnRemoteAdaptor::teardownWithPendingActions_data()
{
    QTest::addColumn<int>("periodMs");
    QTest::addColumn<int>("actions");
    QTest::newRow("long period, batch pending") << 60000 << 50;
    QTest::newRow("short period, stream in flight") << 1 << 2000;
    QTest::newRow("nothing pending") << 16 << 0;
}

void TestQnRemoteAdaptor::teardownWithPendingActions()
{
    QFETCH(int, periodMs);
    QFETCH(int, actions);
    // The adaptor goes while actions wait: the worker is woken and joined, the pending actions freed
    // (ASan checks both), and nothing arrives after the destructor returned.
    std::atomic<int> received{0};
    std::atomic<bool> destroyed{false};
    std::atomic<bool> lateEmission{false};
    auto adaptor = std::make_unique<QnRemoteAdaptor>(nullptr, std::chrono::milliseconds(periodMs));
    connect(
        adaptor.get(), &QnRemoteAdaptor::sendData, adaptor.get(),
        [&](QByteArray) {
            if (destroyed)
                lateEmission = true;
            ++received;
        },
        Qt::DirectConnection);
    for (int i = 0; i < actions; ++i)
        adaptor->sendRemoteAction(QUuid::createUuid(), 2, QJsonObject{{"x", double(i)}, {"pen", true}});
    adaptor.reset();
    destroyed = true;
    QVERIFY(!lateEmission);
    if (periodMs >= 60000)
        QCOMPARE(received.load(), 0); // the period never ended: the batch was dropped, not sent
}

QTEST_MAIN(TestQnRemoteAdaptor)
#include "tst_qnremoteadaptor.moc"
