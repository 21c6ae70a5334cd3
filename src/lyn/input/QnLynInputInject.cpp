// Receipt side of QnLynInput: messages from the connected receiver injected into this PC.
#include "lyn/input/QnLynInput.h"
#include "lyn/input/QnLynInputTypes.h"

#include "common/log/QnLog.h"

#include "common/json/QnPeerJson.h"

#include "lyn/input/internal/QnLynInputLog.h"
#include "platform/xtest/QnInputInjector.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>

namespace {

// Peer numbers are clamped before they become pixels: JSON allows any double.
constexpr double kCoordLimit = 1e7;

int toCoord(double v)
{
    return std::isnan(v) ? 0 : int(std::clamp(v, -kCoordLimit, kCoordLimit));
}

int jsonInt(const QJsonValue &v)
{
    return toCoord(v.toDouble());
}

} // namespace

void QnLynInput::recvData(const QString &senderId, const QByteArray &data)
{
    // Bytes of a room member that may neither drive this PC nor report a watched cursor are not
    // even parsed.
    bool fromReceiver = false;
    {
        QMutexLocker lock(&m_stateMutex);
        fromReceiver = !senderId.isEmpty() && senderId == m_connectedReceiver;
        if (!fromReceiver && !m_cursorCallbacks.contains(senderId)) {
            if (m_peerLog.allow(lcLynInput(), "input from a non-receiver", QtDebugMsg))
                qCDebug(lcLynInput) << "input from" << QnLog::peer(senderId)
                                    << "ignored: not the connected receiver";
            return;
        }
    }
    const std::optional<QJsonObject> parsed = parsePeerObject(data);
    if (!parsed) {
        if (m_peerLog.allow(lcLynInput(), "malformed input message", QtDebugMsg))
            qCDebug(lcLynInput) << "input message refused: not one well-formed JSON object";
        return;
    }
    const QJsonObject &msg = *parsed;
    const int type = msg.value(QStringLiteral("type")).toInt();
    if (type == QnLynInputType::Cursor) {
        remoteCursor(senderId, msg.value(QStringLiteral("data")).toObject());
        return;
    }
    if (!fromReceiver) {
        if (m_peerLog.allow(lcLynInput(), "input from a non-receiver", QtDebugMsg))
            qCDebug(lcLynInput) << "input of type" << type << "from" << QnLog::peer(senderId)
                                << "ignored: not the connected receiver";
        return;
    }

    QByteArray reply;
    {
        QMutexLocker lock(&m_injectMutex);
        // Checked again under the injection lock: the receiver may have changed since.
        if (!m_injector || connectedReceiver() != senderId)
            return;
        const QJsonObject fields = msg.value(QStringLiteral("data")).toObject();
        switch (type) {
        case QnLynInputType::MouseDown:
        case QnLynInputType::MouseMove:
        case QnLynInputType::MouseUp:
        case QnLynInputType::Wheel:
        case QnLynInputType::MouseRelative:
            reply = injectMouse(type, fields, senderId);
            break;
        case QnLynInputType::KeyUp:
        case QnLynInputType::KeyDown:
            m_injector->key(fields.value(QStringLiteral("key")).toInt(), type == QnLynInputType::KeyDown);
            break;
        case QnLynInputType::TouchDown:
        case QnLynInputType::TouchMove:
        case QnLynInputType::TouchUp:
            injectTouch(type, msg.value(QStringLiteral("data")).toArray());
            break;
        case QnLynInputType::ReleaseHeld:
            m_injector->releaseHeld();
            break;
        case QnLynInputType::Text: {
            QString text = fields.value(QStringLiteral("text")).toString();
            if (text.size() > kMaxTextLength) {
                if (m_peerLog.allow(lcLynInput(), "text cut"))
                    qCWarning(lcLynInput)
                        << "text of" << text.size() << "characters cut to" << kMaxTextLength;
                text.truncate(kMaxTextLength);
                if (text.at(text.size() - 1).isHighSurrogate())
                    text.chop(1);
            }
            m_injector->typeText(text);
            break;
        }
        default:
            break;
        }
    }
    if (!reply.isEmpty())
        emit sendDataToNetwork(senderId, reply);
}

QByteArray QnLynInput::injectMouse(int type, const QJsonObject &data, const QString &senderId)
{
    const int x = jsonInt(data.value(QStringLiteral("x")));
    const int y = jsonInt(data.value(QStringLiteral("y")));
    // The receiver mirrors a touch as mouse messages too; those were injected as the touch.
    if (m_touchPositions.contains(QPoint(x, y)))
        return QByteArray();
    const double w = data.value(QStringLiteral("width")).toDouble();
    const double h = data.value(QStringLiteral("height")).toDouble();
    const Screen s = screen();
    if (!(w > 0) || !(h > 0) || s.width <= 0 || s.height <= 0)
        return QByteArray();
    const int sx = toCoord(x * (s.width / w));
    const int sy = toCoord(y * (s.height / h));
    const QPoint target(s.origin.x() + sx, s.origin.y() + sy);

    switch (type) {
    case QnLynInputType::MouseDown:
    case QnLynInputType::MouseUp: {
        const int b = data.value(QStringLiteral("button")).toInt();
        QByteArray reply;
        // A press outside the chosen screen clicks where the pointer is.
        if (sx >= 0 && sy >= 0)
            reply = moveCursorTo(target, senderId);
        const bool down = type == QnLynInputType::MouseDown;
        if (b == Qt::LeftButton)
            m_injector->button(QnInputButton::Left, down);
        else if (b == Qt::RightButton)
            m_injector->button(QnInputButton::Right, down);
        else if (b == Qt::MiddleButton)
            m_injector->button(QnInputButton::Middle, down);
        return reply;
    }
    case QnLynInputType::MouseMove:
        return moveCursorTo(target, senderId);
    case QnLynInputType::MouseRelative:
        // A relative step carries no screen origin.
        return moveCursorTo(m_injector->cursorPosition() + QPoint(sx, sy), senderId);
    case QnLynInputType::Wheel:
        if (x != 0)
            m_injector->wheel(x, 0);
        else if (y != 0)
            m_injector->wheel(0, y);
        return QByteArray();
    default:
        return QByteArray();
    }
}

QByteArray QnLynInput::moveCursorTo(const QPoint &pos, const QString &senderId)
{
    m_injector->moveTo(pos);
    return cursorReply(senderId);
}

QByteArray QnLynInput::cursorReply(const QString &senderId)
{
    const int shape = m_injector->cursorShape();
    if (shape == m_lastCursor)
        return QByteArray();
    m_lastCursor = shape;
    return envelope(QnLynInputType::Cursor, QJsonObject{{QStringLiteral("cursor"), shape}}, senderId);
}

void QnLynInput::injectTouch(int type, const QJsonArray &points)
{
    // XTest has no touch device: the contact with local id 0 drives the pointer (down presses
    // the left button, up releases it); other contacts are tracked but not injected.
    const Screen s = screen();
    const int count = std::min<int>(points.size(), kMaxTouchContacts);
    if (points.size() > kMaxTouchContacts && m_peerLog.allow(lcLynInput(), "too many touch points"))
        qCWarning(lcLynInput) << "touch message with" << points.size() << "points: only" << kMaxTouchContacts
                              << "injected";
    for (int i = 0; i < count; ++i) {
        const QJsonObject p = points.at(i).toObject();
        const int pointId = p.value(QStringLiteral("pointId")).toInt();
        int local = -1;
        const auto found = m_touchIds.constFind(pointId);
        if (found != m_touchIds.constEnd()) {
            local = found.value();
        } else if (m_touchIds.size() < kMaxTouchContacts) {
            local = m_freeTouchIds.isEmpty() ? m_touchIds.size() : m_freeTouchIds.takeFirst();
            m_touchIds.insert(pointId, local);
        } else {
            if (m_peerLog.allow(lcLynInput(), "touch contacts in use"))
                qCWarning(lcLynInput) << "touch point" << pointId << "dropped: all contacts in use";
            continue;
        }

        const double px = p.value(QStringLiteral("x")).toDouble();
        const double py = p.value(QStringLiteral("y")).toDouble();
        if (i == 0) {
            if (m_touchPositions.size() >= kMaxTouchPositions)
                m_touchPositions.removeFirst();
            m_touchPositions.append(QPoint(toCoord(px), toCoord(py)));
        }
        const double w = p.value(QStringLiteral("width")).toDouble();
        const double h = p.value(QStringLiteral("height")).toDouble();
        const bool scalable = w > 0 && h > 0 && s.width > 0 && s.height > 0;
        if (local == 0 && scalable) {
            const QPoint target(s.origin.x() + toCoord(px * (s.width / w)),
                                s.origin.y() + toCoord(py * (s.height / h)));
            m_injector->moveTo(target);
            if (type == QnLynInputType::TouchDown)
                m_injector->button(QnInputButton::Left, true);
            else if (type == QnLynInputType::TouchUp)
                m_injector->button(QnInputButton::Left, false);
        }
        if (type == QnLynInputType::TouchUp) {
            m_touchPositions.clear();
            m_freeTouchIds.append(local);
            m_touchIds.remove(pointId);
        }
    }
    qCDebug(lcLynInput) << "touch type" << type << "points" << points.size() << "ids" << m_touchIds;
}

void QnLynInput::resetPeerState()
{
    m_touchIds.clear();
    m_freeTouchIds.clear();
    m_touchPositions.clear();
    m_lastCursor = 0;
}

void QnLynInput::remoteCursor(const QString &senderId, const QJsonObject &data)
{
    CursorCallback callback;
    {
        QMutexLocker lock(&m_stateMutex);
        callback = m_cursorCallbacks.value(senderId);
    }
    if (callback)
        callback(data.value(QStringLiteral("cursor")).toInt());
}
