// Wire format of the gateway: fixed frames, and the parser's refusals.
#include "gateway/QnGatewayProtocol.h"

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
}

void TstGatewayWire::refused()
{
    QFETCH(QByteArray, frame);
    QnGatewayFrame out;
    QString error;
    QCOMPARE(QnGatewayWire::parseFrame(frame, &out, &error), QnGatewayWire::ParseResult::Error);
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TstGatewayWire)
#include "tst_gatewaywire.moc"
