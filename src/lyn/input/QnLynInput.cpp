#include "lyn/input/QnLynInput.h"
#include "lyn/input/QnLynInputTypes.h"

#include "lyn/input/internal/QnLynInputLog.h"
#include "platform/xtest/QnInputInjector.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHoverEvent>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QScreen>
#include <QThread>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcLynInput, "qn.lyn.input")

namespace {

int toDevice(int logical, qreal ratio)
{
    const double v = double(logical) * ratio;
    return std::isfinite(v) ? int(std::clamp(v, -1e8, 1e8)) : 0;
}

} // namespace

QnLynInput::QnLynInput(std::unique_ptr<QnInputInjector> injector, QObject *parent)
    : QObject(parent), m_injector(std::move(injector))
{}

QnLynInput::~QnLynInput() = default;

QnLynInput *QnLynInput::instance()
{
    // Lives until the process ends; its X connection is its own, so it outlives every
    // application object of the restart loop.
    static QnLynInput s_instance(QnInputInjector::createDefault());
    return &s_instance;
}

void QnLynInput::addWatch(QObject *view, const QString &peerId, const QRect &rect,
                          CursorCallback cursorCallback)
{
    if (!view)
        return;
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_views.contains(view))
            return;
        m_views.insert(view, peerId);
        m_viewRects.insert(peerId, rect);
        m_cursorCallbacks.insert(peerId, std::move(cursorCallback));
    }
    view->installEventFilter(this);
    connect(view, &QObject::destroyed, this, &QnLynInput::forgetView, Qt::UniqueConnection);
}

void QnLynInput::setRemoteSize(const QString &peerId, const QRect &rect)
{
    QMutexLocker lock(&m_stateMutex);
    m_viewRects.insert(peerId, rect);
}

void QnLynInput::removeWatch(const QString &peerId)
{
    QObject *view = nullptr;
    {
        QMutexLocker lock(&m_stateMutex);
        if (!m_viewRects.contains(peerId))
            return;
        for (auto it = m_views.begin(); it != m_views.end(); ++it) {
            if (it.value() == peerId) {
                view = it.key();
                m_views.erase(it);
                break;
            }
        }
        m_viewRects.remove(peerId);
        m_cursorCallbacks.remove(peerId);
    }
    if (view) {
        view->removeEventFilter(this);
        disconnect(view, &QObject::destroyed, this, &QnLynInput::forgetView);
    }
}

void QnLynInput::forgetView(QObject *view)
{
    QMutexLocker lock(&m_stateMutex);
    m_views.remove(view);
}

void QnLynInput::setScreen(int index)
{
    Q_ASSERT(!qGuiApp || QThread::currentThread() == qGuiApp->thread());
    QList<ScreenInfo> screens;
    for (QScreen *s : QGuiApplication::screens())
        screens.append(ScreenInfo{s->geometry(), s->devicePixelRatio()});
    setScreen(index, screens);
}

void QnLynInput::setScreen(int index, const QList<ScreenInfo> &screens)
{
    QMutexLocker lock(&m_stateMutex);
    if (index >= 0 && index < screens.size()) {
        const ScreenInfo &s = screens.at(index);
        // Qt 5 keeps a screen's top-left in device pixels and scales only its size.
        m_screen.origin = s.geometry.topLeft();
        m_screen.width = toDevice(s.geometry.width(), s.devicePixelRatio);
        m_screen.height = toDevice(s.geometry.height(), s.devicePixelRatio);
    } else {
        m_screen.origin = QPoint();
    }
    qCInfo(lcLynInput) << "remote input goes to screen" << index << "of" << screens.size() << "at"
                       << QRect(m_screen.origin, QSize(m_screen.width, m_screen.height));
}

void QnLynInput::setScreenWidth(int width)
{
    QMutexLocker lock(&m_stateMutex);
    m_screen.width = width;
}

void QnLynInput::setScreenHeight(int height)
{
    QMutexLocker lock(&m_stateMutex);
    m_screen.height = height;
}

QRect QnLynInput::screenRect() const
{
    const Screen s = screen();
    return QRect(s.origin, QSize(s.width, s.height));
}

QnLynInput::Screen QnLynInput::screen() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_screen;
}

void QnLynInput::setConnectedReceiver(const QString &receiverId)
{
    QMutexLocker injectLock(&m_injectMutex);
    QString previous;
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_connectedReceiver == receiverId)
            return;
        previous = m_connectedReceiver;
        m_connectedReceiver = receiverId;
    }
    qCInfo(lcLynInput) << "receiver allowed to drive this PC:"
                       << (receiverId.isEmpty() ? "none" : receiverId);
    // A receiver that leaves mid-drag must not leave a button or modifier held.
    if (!previous.isEmpty() && m_injector)
        m_injector->releaseHeld();
    resetPeerState();
}

QString QnLynInput::connectedReceiver() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_connectedReceiver;
}

QMap<int, int> QnLynInput::touchIds() const
{
    QMutexLocker lock(&m_injectMutex);
    return m_touchIds;
}

bool QnLynInput::eventFilter(QObject *watched, QEvent *event)
{
    QString peer;
    QRect rect;
    {
        QMutexLocker lock(&m_stateMutex);
        const auto it = m_views.constFind(watched);
        if (it == m_views.constEnd())
            return QObject::eventFilter(watched, event);
        peer = it.value();
        rect = m_viewRects.value(peer);
    }
    const auto placed = [&rect](const QPoint &pos) {
        return QJsonObject{{QStringLiteral("x"), pos.x() - rect.x()},
                           {QStringLiteral("y"), pos.y() - rect.y()},
                           {QStringLiteral("width"), rect.width()},
                           {QStringLiteral("height"), rect.height()}};
    };
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease: {
        const auto *me = static_cast<QMouseEvent *>(event);
        QJsonObject data = placed(me->pos());
        data.insert(QStringLiteral("button"), int(me->button()));
        const int type = event->type() == QEvent::MouseMove            ? QnLynInputType::MouseMove
                         : event->type() == QEvent::MouseButtonRelease ? QnLynInputType::MouseUp
                                                                       : QnLynInputType::MouseDown;
        sendInput(type, data, peer);
        return true;
    }
    case QEvent::Wheel: {
        const auto *we = static_cast<QWheelEvent *>(event);
        sendInput(QnLynInputType::Wheel,
                  QJsonObject{{QStringLiteral("x"), we->angleDelta().x()},
                              {QStringLiteral("y"), we->angleDelta().y()},
                              {QStringLiteral("width"), rect.width()},
                              {QStringLiteral("height"), rect.height()}},
                  peer);
        break;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const auto *ke = static_cast<QKeyEvent *>(event);
        sendInput(event->type() == QEvent::KeyPress ? QnLynInputType::KeyDown : QnLynInputType::KeyUp,
                  QJsonObject{{QStringLiteral("key"), ke->key()},
                              {QStringLiteral("modifiers"), int(ke->modifiers())}},
                  peer);
        break;
    }
    case QEvent::HoverMove: {
        const auto *he = static_cast<QHoverEvent *>(event);
        qCDebug(lcLynInput) << "hover" << he->pos() << "in" << rect;
        sendInput(QnLynInputType::Hover, placed(he->pos()), peer);
        break;
    }
    case QEvent::FocusOut:
    case QEvent::Enter:
    case QEvent::Leave:
        sendInput(QnLynInputType::ReleaseHeld, QJsonObject(), peer);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

QByteArray QnLynInput::envelope(int type, const QJsonObject &data, const QString &peerId) const
{
    const QJsonObject msg{{QStringLiteral("type"), type},
                          {QStringLiteral("data"), data},
                          {QStringLiteral("id"), peerId},
                          {QStringLiteral("senderId"), m_senderId}};
    return QJsonDocument(msg).toJson(QJsonDocument::Compact);
}

void QnLynInput::sendInput(int type, const QJsonObject &data, const QString &peerId)
{
    emit sendDataToNetwork(peerId, envelope(type, data, peerId));
}
