#include "QnBrush/qnboard.pb.h"
#include "QnBrush/src/QnBoardActions.h"

#include <google/protobuf/util/json_util.h>

#include <QJsonDocument>
#include <QtTest>

// Board events -> OneAction, checked by parsing the serialised bytes back with the generated classes.
class TestQnBoardWire : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void payloadByType_data();
    void payloadByType();
    void exactBytes_data();
    void exactBytes();
    void batchLayout();
    void parseRefusesGarbage_data();
    void parseRefusesGarbage();
};

namespace {
const char *kId = "0f8fad5b-d9cb-469f-a165-70867728950e";
const char *kOther = "7c9e6679-7425-40de-944b-e07fc1f90ae7";

QJsonObject obj(const char *json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

qnboard::OneAction roundTrip(const qnboard::OneAction &action)
{
    std::string bytes;
    if (!action.SerializeToString(&bytes))
        return {};
    qnboard::OneAction back;
    back.ParseFromString(bytes);
    return back;
}

std::string toJson(const google::protobuf::Message &message)
{
    std::string out;
    (void)google::protobuf::util::MessageToJsonString(message, &out);
    return out;
}

// The payload of the parsed action as protobuf JSON, or the data text for the string member.
QByteArray payloadText(const qnboard::OneAction &a)
{
    switch (a.test_oneof_case()) {
    case qnboard::OneAction::kPendata:
        return QByteArray::fromStdString(toJson(a.pendata()));
    case qnboard::OneAction::kMovedata:
        return QByteArray::fromStdString(toJson(a.movedata()));
    case qnboard::OneAction::kHanddata:
        return QByteArray::fromStdString(toJson(a.handdata()));
    case qnboard::OneAction::kDeletedata:
        return QByteArray::fromStdString(toJson(a.deletedata()));
    case qnboard::OneAction::kCopydata:
        return QByteArray::fromStdString(toJson(a.copydata()));
    case qnboard::OneAction::kEraserdata:
        return QByteArray::fromStdString(toJson(a.eraserdata()));
    case qnboard::OneAction::kData:
        return QByteArray::fromStdString(a.data());
    case qnboard::OneAction::kFlowdata:
        return QByteArray::fromStdString(toJson(a.flowdata()));
    case qnboard::OneAction::kFlowchangedata:
        return QByteArray::fromStdString(toJson(a.flowchangedata()));
    case qnboard::OneAction::kTablechangedata:
        return QByteArray::fromStdString(toJson(a.tablechangedata()));
    case qnboard::OneAction::kPixmapdata:
        return QByteArray::fromStdString(toJson(a.pixmapdata()));
    default:
        return "<other>";
    }
}
} // namespace

void TestQnBoardWire::payloadByType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("oneofCase");
    QTest::addColumn<QByteArray>("payload");

    const QString id = kId;
    const QByteArray idJson = QByteArray("\"") + kId + "\"";
    using A = qnboard::OneAction;

    QTest::newRow("Move") << 0 << id << "{\"x\":15,\"y\":15,\"uuid\":" + idJson + "}" << int(A::kMovedata)
                          << "{\"x\":15,\"y\":15,\"uuid\":" + idJson + "}";
    QTest::newRow("Move, unknown key: empty MoveData")
        << 0 << id << QByteArray("{\"x\":15,\"bogus\":1}") << int(A::kMovedata) << QByteArray("{}");
    QTest::newRow("Hand") << 1 << QString()
                          << QByteArray("{\"x\":1,\"y\":2,\"scale\":1.5,\"centerx\":3,\"centery\":4}")
                          << int(A::kHanddata)
                          << QByteArray("{\"x\":1,\"y\":2,\"scale\":1.5,\"centerx\":3,\"centery\":4}");
    QTest::newRow("Pen")
        << 2 << id
        << "{\"mousetype\":1,\"width\":5,\"x\":10.5,\"y\":20,\"id\":3,\"color\":\"#ffff0000\","
           "\"uuid\":" +
               idJson + ",\"pen\":true}"
        << int(A::kPendata)
        << "{\"mousetype\":1,\"width\":5,\"x\":10.5,\"y\":20,\"id\":3,\"color\":\"#ffff0000\","
           "\"uuid\":" +
               idJson + ",\"pen\":true}";
    QTest::newRow("Pen, extra key: only pen") << 2 << id << QByteArray("{\"pen\":true,\"x\":3,\"zz\":1}")
                                              << int(A::kPendata) << QByteArray("{\"pen\":true}");
    QTest::newRow("Pen, fraction for int32: only pen")
        << 2 << id << QByteArray("{\"pen\":true,\"mousetype\":1.5}") << int(A::kPendata)
        << QByteArray("{\"pen\":true}");
    QTest::newRow("Pen, pen not a bool: nothing")
        << 2 << id << QByteArray("{\"pen\":1,\"x\":3}") << int(A::kPendata) << QByteArray("{}");
    QTest::newRow("Eraser") << 3 << QString()
                            << QByteArray("{\"mousetype\":1,\"x\":2,\"y\":3,\"width\":4,\"id\":7}")
                            << int(A::kEraserdata)
                            << QByteArray("{\"mousetype\":1,\"x\":2,\"y\":3,\"width\":4,\"id\":7}");
    QTest::newRow("Eraser, unknown key: keys kept, id lost")
        << 3 << QString() << QByteArray("{\"x\":2,\"y\":3,\"id\":7,\"bad\":1}") << int(A::kEraserdata)
        << QByteArray("{\"x\":2,\"y\":3}");
    QTest::newRow("Eraser, x as text: converted, then overwritten with 0")
        << 3 << QString() << QByteArray("{\"x\":\"2\",\"id\":7}") << int(A::kEraserdata)
        << QByteArray("{\"id\":7}");
    QTest::newRow("Delete: id from the argument") << 4 << id << "{\"uuid\":\"" + QByteArray(kOther) + "\"}"
                                                  << int(A::kDeletedata) << "{\"uuid\":" + idJson + "}";
    QTest::newRow("Flow")
        << 5 << id
        << "{\"flowtype\":1,\"x\":1,\"y\":2,\"width\":3,\"height\":4,\"color\":\"c\",\"file\":true,"
           "\"uuid\":" +
               idJson + "}"
        << int(A::kFlowdata)
        << "{\"flowtype\":1,\"x\":1,\"y\":2,\"width\":3,\"height\":4,\"color\":\"c\",\"file\":true,"
           "\"uuid\":" +
               idJson + "}";
    QTest::newRow("Pixmap") << 6 << id << QByteArray("{\"url\":\"http://h/a.png\",\"x\":1,\"y\":2}")
                            << int(A::kPixmapdata)
                            << QByteArray("{\"url\":\"http://h/a.png\",\"x\":1,\"y\":2}");
    QTest::newRow("Color: JSON text") << 7 << id << "{\"uuid\":" + idJson + ",\"color\":\"#ff00ff00\"}"
                                      << int(A::kData) << "{\"color\":\"#ff00ff00\",\"uuid\":" + idJson + "}";
    QTest::newRow("Copy") << 8 << id << "{\"x\":1,\"y\":2,\"copyid\":\"" + QByteArray(kOther) + "\"}"
                          << int(A::kCopydata)
                          << "{\"uuid\":" + idJson + ",\"copyid\":\"" + QByteArray(kOther) +
                                 "\",\"x\":1,\"y\":2}";
    QTest::newRow("Copy, copyid not text")
        << 8 << id << QByteArray("{\"copyid\":5}") << int(A::kCopydata) << "{\"uuid\":" + idJson + "}";
    QTest::newRow("ClearItems") << 9 << QString() << QByteArray("{}") << int(A::kData) << QByteArray("{}");
    QTest::newRow("FlowChange") << 10 << id
                                << QByteArray("{\"text\":\"t\",\"fontcolor\":\"f\",\"fontsize\":12}")
                                << int(A::kFlowchangedata)
                                << QByteArray("{\"text\":\"t\",\"fontcolor\":\"f\",\"fontsize\":12}");
    QTest::newRow("TableChange with colume")
        << 11 << id << QByteArray("{\"operate\":1,\"row\":2,\"colume\":3}") << int(A::kTablechangedata)
        << QByteArray("{\"operate\":1,\"row\":2,\"colume\":3}");
    QTest::newRow("TableChange, negative uint32")
        << 11 << id << QByteArray("{\"row\":-2}") << int(A::kTablechangedata) << QByteArray("{}");
    QTest::newRow("Icon: JSON text") << 12 << id << QByteArray("{\"icontype\":2}") << int(A::kData)
                                     << QByteArray("{\"icontype\":2}");
    QTest::newRow("Background: JSON text")
        << 13 << QString() << QByteArray("{\"stripe\":1}") << int(A::kData) << QByteArray("{\"stripe\":1}");
    QTest::newRow("Undo") << 14 << QString() << QByteArray("{}") << int(A::kData) << QByteArray("{}");
    QTest::newRow("Redo") << 15 << QString() << QByteArray("{}") << int(A::kData) << QByteArray("{}");
    QTest::newRow("Select") << 16 << QString() << QByteArray("{}") << int(A::kData) << QByteArray("{}");
    QTest::newRow("unknown 42") << 42 << QString() << QByteArray("{\"a\":1}") << int(A::kData)
                                << QByteArray("{\"a\":1}");
    QTest::newRow("negative -3") << -3 << QString() << QByteArray("{}") << int(A::kData) << QByteArray("{}");
}

void TestQnBoardWire::payloadByType()
{
    QFETCH(int, type);
    QFETCH(QString, uuid);
    QFETCH(QByteArray, json);
    QFETCH(int, oneofCase);
    QFETCH(QByteArray, payload);
    const QJsonObject object = obj(json.constData());
    QVERIFY(json == "{}" || !object.isEmpty());

    auto made = QnBoardActions::makeAction(QUuid(uuid), type, object, 1280, 720, 1700000000000);
    const qnboard::OneAction back = roundTrip(*made);
    QCOMPARE(int(back.actiontype()), type);
    QCOMPARE(back.vwidth(), 1280);
    QCOMPARE(back.vheight(), 720);
    QCOMPARE(back.time(), qint64(1700000000000));
    QCOMPARE(int(back.test_oneof_case()), oneofCase);
    QCOMPARE(payloadText(back), payload);
}

void TestQnBoardWire::exactBytes_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("uuid");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<int>("vwidth");
    QTest::addColumn<int>("vheight");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray id(kId);
    // Move, area not reported: actiontype 0, vwidth 0, vheight 0 are defaults and not written.
    QTest::newRow("Move") << 0 << QString(kId) << "{\"x\":15,\"y\":15,\"uuid\":\"" + id + "\"}" << 0 << 0
                          << QByteArray::fromHex("20 80 d0 95 ff bc 31"       // 4 time: varint 1700000000000
                                                 "32 38"                      // 6 movedata: 56 bytes
                                                 "09 00 00 00 00 00 00 2e 40" // 1 x: double 15
                                                 "11 00 00 00 00 00 00 2e 40" // 2 y: double 15
                                                 "1a 24")                     // 3 uuid: 36 bytes
                                 + id;
    // Move whose JSON did not convert: field 6 still present, empty.
    QTest::newRow("Move, not converted") << 0 << QString(kId) << QByteArray("{\"nope\":1}") << 0 << 0
                                         << QByteArray::fromHex("20 80 d0 95 ff bc 31" // 4 time
                                                                "32 00");              // 6 movedata: empty
    QTest::newRow("Undo") << 14 << QString() << QByteArray("{}") << 1280 << 720
                          << QByteArray::fromHex("08 0e"                // 1 actiontype: 14 Undo
                                                 "10 80 0a"             // 2 vwidth: 1280
                                                 "18 d0 05"             // 3 vheight: 720
                                                 "20 80 d0 95 ff bc 31" // 4 time
                                                 "62 02 7b 7d");        // 12 data: "{}"
}

void TestQnBoardWire::exactBytes()
{
    QFETCH(int, type);
    QFETCH(QString, uuid);
    QFETCH(QByteArray, json);
    QFETCH(int, vwidth);
    QFETCH(int, vheight);
    QFETCH(QByteArray, expected);
    auto action =
        QnBoardActions::makeAction(QUuid(uuid), type, obj(json.constData()), vwidth, vheight, 1700000000000);
    std::string bytes;
    QVERIFY(action->SerializeToString(&bytes));
    QCOMPARE(QByteArray::fromStdString(bytes).toHex(' '), expected.toHex(' '));
}

void TestQnBoardWire::batchLayout()
{
    qnboard::Actions batch;
    for (int type : {2, 0, 14})
        batch.add_data()->Swap(QnBoardActions::makeAction(QUuid(kId), type, QJsonObject(), 0, 0, 1).get());
    batch.set_senderid(kOther);
    std::string bytes;
    QVERIFY(batch.SerializeToString(&bytes));
    const QByteArray wire = QByteArray::fromStdString(bytes);
    // three field-1 elements in the order made, then field 2 with the 36-character sender id
    int pos = 0;
    QList<int> types;
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(quint8(wire.at(pos)), quint8(0x0a));
        const int len = wire.at(pos + 1);
        qnboard::OneAction one;
        QVERIFY(one.ParseFromArray(wire.constData() + pos + 2, len));
        types.append(one.actiontype());
        pos += 2 + len;
    }
    QCOMPARE(types, (QList<int>{2, 0, 14}));
    QCOMPARE(wire.mid(pos), QByteArray("\x12\x24") + kOther);

    qnboard::Actions parsed;
    QCOMPARE(QnBoardActions::parseActions(wire, parsed), QnBoardActions::ParseResult::Used);
    QCOMPARE(parsed.data_size(), 3);
    QCOMPARE(QString::fromStdString(parsed.senderid()), QString(kOther));
}

void TestQnBoardWire::parseRefusesGarbage_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("ok");
    QTest::newRow("empty is an empty batch") << QByteArray() << true;
    QTest::newRow("truncated length") << QByteArray::fromHex("0a 05 08") << false;
    QTest::newRow("bad wire type") << QByteArray::fromHex("0f") << false;
    QTest::newRow("endless varint") << QByteArray(12, '\xff') << false;
    QTest::newRow("over the size limit") << QByteArray(QnBoardActions::kMaxActionsBytes + 1, '\0') << false;
}

void TestQnBoardWire::parseRefusesGarbage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, ok);
    qnboard::Actions out;
    out.set_senderid("stale");
    const auto result = QnBoardActions::parseActions(bytes, out);
    QCOMPARE(result == QnBoardActions::ParseResult::Used, ok);
    if (!ok) {
        QCOMPARE(out.data_size(), 0);
        QVERIFY(out.senderid().empty());
    }
}

QTEST_MAIN(TestQnBoardWire)
#include "tst_qnboardwire.moc"
