// QnLynInput end to end on a real X server (Xvfb): receiver messages, scaled to the chosen
// screen, click into a line edit, type text and release what they held.
#include "lyn/input/QnLynInput.h"
#include "platform/xtest/QnInputInjector.h"

#include <QCursor>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QScreen>
#include <QtTest>

namespace {

const QString kReceiver = QStringLiteral("rx-1");

QByteArray message(int type, const QJsonObject &data)
{
    return QJsonDocument(QJsonObject{{"type", type}, {"data", data}, {"id", "pc"}, {"senderId", kReceiver}})
        .toJson(QJsonDocument::Compact);
}

// The receiver's picture is half the size of the screen.
QByteArray mouse(int type, const QPoint &onScreen, int button = 0)
{
    const QSize screen = QGuiApplication::primaryScreen()->size();
    return message(type, QJsonObject{{"x", onScreen.x() / 2},
                                     {"y", onScreen.y() / 2},
                                     {"button", button},
                                     {"width", screen.width() / 2},
                                     {"height", screen.height() / 2}});
}

} // namespace

class TstLynInputX11 : public QObject
{
    Q_OBJECT
private slots:
    void clickTypeAndRelease();
};

void TstLynInputX11::clickTypeAndRelease()
{
    QnLynInput input(QnInputInjector::createDefault());
    input.setScreen(0);
    QCOMPARE(input.screenRect(), QRect(QPoint(0, 0), QGuiApplication::primaryScreen()->size()));
    input.setConnectedReceiver(kReceiver);

    QLineEdit edit;
    edit.setWindowFlag(Qt::FramelessWindowHint);
    edit.setGeometry(300, 200, 400, 120);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&edit));
    const QPoint centre = edit.mapToGlobal(edit.rect().center()) / 2 * 2;

    // Another room member moves nothing.
    input.recvData("intruder", mouse(2, centre));
    input.recvData(kReceiver, mouse(2, QPoint(10, 10)));
    QTRY_COMPARE(QCursor::pos(), QPoint(10, 10));

    input.recvData(kReceiver, mouse(1, centre, Qt::LeftButton));
    input.recvData(kReceiver, mouse(3, centre, Qt::LeftButton));
    QTRY_COMPARE(QCursor::pos(), centre);
    QTRY_VERIFY(edit.hasFocus());

    input.recvData(kReceiver, message(12, QJsonObject{{"text", QStringLiteral("a\u20ac")}}));
    QTRY_COMPARE(edit.text(), QStringLiteral("a\u20ac"));

    // Shift held by the receiver, then the view lost focus on its side: Shift is released.
    input.recvData(kReceiver, message(6, QJsonObject{{"key", int(Qt::Key_Shift)}, {"modifiers", 0}}));
    QTRY_COMPARE(QGuiApplication::queryKeyboardModifiers(), Qt::ShiftModifier);
    input.recvData(kReceiver, message(10, QJsonObject()));
    QTRY_COMPARE(QGuiApplication::queryKeyboardModifiers(), Qt::NoModifier);
    input.recvData(kReceiver, message(6, QJsonObject{{"key", int(Qt::Key_B)}, {"modifiers", 0}}));
    input.recvData(kReceiver, message(5, QJsonObject{{"key", int(Qt::Key_B)}, {"modifiers", 0}}));
    QTRY_COMPARE(edit.text(), QStringLiteral("a\u20acb"));
}

QTEST_MAIN(TstLynInputX11)
#include "tst_lyninput_x11.moc"
