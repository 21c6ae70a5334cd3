// Wire format of the gateway: fixed frames, and the parser's refusals.
#include "platform/gateway/QnGatewayProtocol.h"
#include "platform/json/QnJsonScan.h"

#include <QtTest>

Q_DECLARE_METATYPE(QnGatewayFrame)

class TstGatewayWire : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void serializeExact_data();
    void serializeExact();
    void roundTripAllBytes();
    void refused_data();
    void refused();
    void jsonScan_data();
    void jsonScan();
};

void TstGatewayWire::serializeExact_data()
{
    QTest::addColumn<QnGatewayFrame>("frame");
    QTest::addColumn<QByteArray>("expected");
    QnGatewayFrame login;
    login.op = QnGatewayOp::Login;
    login.seq = 7;
    login.user = QStringLiteral("u1");
    login.name = QStringLiteral("PC");
    // keys sorted by QJsonObject: name, op, seq, user
    QTest::newRow("login") << login << QByteArray(R"({"name":"PC","op":"login","seq":7,"user":"u1"})");
    QnGatewayFrame msg;
    msg.op = QnGatewayOp::Message;
    msg.to = QStringLiteral("rx");
    msg.msgId = QStringLiteral("m");
    msg.type = 1005;
    msg.payload = QByteArray("\x00\xff", 2);
    QTest::newRow("msg") << msg
                         << QByteArray(R"({"msgId":"m","op":"msg","payload":"AP8=","to":"rx","type":1005})");
    QnGatewayFrame leave;
    leave.op = QnGatewayOp::MemberLeave;
    leave.room = QStringLiteral("r");
    leave.user = QStringLiteral("u");
    leave.reason = 3;
    QTest::newRow("memberLeave dropped")
        << leave << QByteArray(R"({"op":"memberLeave","reason":3,"room":"r","user":"u"})");
    QnGatewayFrame answer;
    answer.op = QnGatewayOp::Answer;
    answer.seq = 2;
    answer.code = -6;
    answer.text = QStringLiteral("no");
    QTest::newRow("answer without room")
        << answer << QByteArray(R"({"code":-6,"op":"answer","seq":2,"text":"no"})");
}

void TstGatewayWire::serializeExact()
{
    QFETCH(QnGatewayFrame, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(QnGatewayWire::serializeFrame(frame), expected);
    QnGatewayFrame back;
    QCOMPARE(QnGatewayWire::parseFrame(expected, &back), QnGatewayWire::ParseResult::Used);
    QCOMPARE(QnGatewayWire::serializeFrame(back), expected);
}

void TstGatewayWire::roundTripAllBytes()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    QnGatewayFrame f;
    f.op = QnGatewayOp::Deliver;
    f.from = QStringLiteral("a");
    f.to = QStringLiteral("b");
    f.name = QStringLiteral("名字");
    f.msgId = QStringLiteral("x");
    f.type = 65535;
    f.payload = all + all;
    QnGatewayFrame back;
    QCOMPARE(QnGatewayWire::parseFrame(QnGatewayWire::serializeFrame(f), &back),
             QnGatewayWire::ParseResult::Used);
    QCOMPARE(back.payload, f.payload);
    QCOMPARE(back.name, f.name);
    QCOMPARE(back.type, 65535);
}

void TstGatewayWire::refused_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("not json") << QByteArray("{\"op\":");
    QTest::newRow("array") << QByteArray("[1]");
    QTest::newRow("no op") << QByteArray(R"({"seq":1})");
    QTest::newRow("unknown op") << QByteArray(R"({"op":"fly"})");
    QTest::newRow("op not text") << QByteArray(R"({"op":1})");
    QTest::newRow("missing key") << QByteArray(R"({"op":"login","seq":1,"user":"u"})");
    QTest::newRow("extra key") << QByteArray(R"({"op":"logout","seq":1,"user":"u"})");
    QTest::newRow("seq negative") << QByteArray(R"({"op":"logout","seq":-1})");
    QTest::newRow("seq fraction") << QByteArray(R"({"op":"logout","seq":1.5})");
    QTest::newRow("seq too big") << QByteArray(R"({"op":"logout","seq":4294967296})");
    QTest::newRow("seq text") << QByteArray(R"({"op":"logout","seq":"1"})");
    QTest::newRow("type too big") << QByteArray(
        R"({"op":"msg","to":"a","msgId":"m","type":65536,"payload":""})");
    QTest::newRow("empty target") << QByteArray(R"({"op":"msg","to":"","msgId":"m","type":1,"payload":""})");
    QTest::newRow("bad base64") << QByteArray(
        R"({"op":"msg","to":"a","msgId":"m","type":1,"payload":"A!=="})");
    QTest::newRow("unpadded base64") << QByteArray(
        R"({"op":"msg","to":"a","msgId":"m","type":1,"payload":"AP8"})");
    QTest::newRow("non-canonical base64")
        << QByteArray(R"({"op":"msg","to":"a","msgId":"m","type":1,"payload":"AP9="})");
    QTest::newRow("reason 2") << QByteArray(R"({"op":"memberLeave","room":"r","user":"u","reason":2})");
    QTest::newRow("id too long") << QByteArray(R"({"op":"join","seq":1,"room":")") + QByteArray(129, 'r') +
                                        QByteArray("\"}");
    QTest::newRow("too large") << QByteArray(QnGatewayWire::kMaxFrameBytes + 1, ' ');
    QTest::newRow("duplicate key") << QByteArray(R"({"op":"logout","seq":1,"seq":2})");
    QTest::newRow("duplicate escaped key") << QByteArray(R"({"op":"logout","seq":1,"s\u0065q":2})");
}

void TstGatewayWire::refused()
{
    QFETCH(QByteArray, frame);
    QnGatewayFrame out;
    QString error;
    QCOMPARE(QnGatewayWire::parseFrame(frame, &out, &error), QnGatewayWire::ParseResult::Error);
    QVERIFY(!error.isEmpty());
}

void TstGatewayWire::jsonScan_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("used");
    QTest::newRow("object") << QByteArray(R"( {"a":[1,-2.5e+3,true,false,null,{"b":"\u00e9\n"}]} )") << true;
    QTest::newRow("empty object") << QByteArray("{}") << true;
    QTest::newRow("same key in two objects") << QByteArray(R"({"a":{"k":1},"b":{"k":2}})") << true;
    QTest::newRow("utf-8 keys") << QByteArray("{\"\xc3\xa9\":1,\"e\":2}") << true;
    QTest::newRow("duplicate") << QByteArray(R"({"a":{"x":1},"a":1})") << false;
    QTest::newRow("nested duplicate") << QByteArray(R"({"a":[{"k":1,"k":2}]})") << false;
    QTest::newRow("escaped duplicate") << QByteArray(R"({"a":1,"\u0061":2})") << false;
    QTest::newRow("array at top") << QByteArray("[]") << false;
    QTest::newRow("trailing bytes") << QByteArray("{} x") << false;
    QTest::newRow("trailing comma") << QByteArray(R"({"a":1,})") << false;
    QTest::newRow("unterminated string") << QByteArray(R"({"a":"x)") << false;
    QTest::newRow("cut escape") << QByteArray(R"({"a":"\u00)") << false;
    QTest::newRow("control char") << QByteArray("{\"a\":\"\x01\"}") << false;
    QTest::newRow("bad number") << QByteArray(R"({"a":01})") << false;
    QTest::newRow("too deep") << QByteArray(200, '[').prepend("{\"a\":") << false;
}

void TstGatewayWire::jsonScan()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, used);
    QCOMPARE(QnJsonScan::scanObject(text) == QnJsonScan::Result::Used, used);
}

QTEST_GUILESS_MAIN(TstGatewayWire)
#include "tst_gatewaywire.moc"
