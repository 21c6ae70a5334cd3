#include "platform/xtest/QnFakeInputInjector.h"

#include <QMutexLocker>

namespace {

QString buttonName(QnInputButton b)
{
    switch (b) {
    case QnInputButton::Left:
        return QStringLiteral("left");
    case QnInputButton::Right:
        return QStringLiteral("right");
    case QnInputButton::Middle:
        return QStringLiteral("middle");
    }
    return QString();
}

QString upDown(bool down)
{
    return down ? QStringLiteral("down") : QStringLiteral("up");
}

} // namespace

void QnFakeInputInjector::record(const QString &line)
{
    QMutexLocker lock(&m_mutex);
    m_log.append(line);
}

bool QnFakeInputInjector::moveTo(const QPoint &pos)
{
    {
        QMutexLocker lock(&m_mutex);
        m_pos = pos;
    }
    record(QStringLiteral("move %1,%2").arg(pos.x()).arg(pos.y()));
    return true;
}

bool QnFakeInputInjector::button(QnInputButton which, bool down)
{
    record(QStringLiteral("button %1 %2").arg(buttonName(which), upDown(down)));
    return true;
}

bool QnFakeInputInjector::wheel(int angleDeltaX, int angleDeltaY)
{
    record(QStringLiteral("wheel %1,%2").arg(angleDeltaX).arg(angleDeltaY));
    return true;
}

bool QnFakeInputInjector::key(int qtKey, bool down)
{
    record(QStringLiteral("key %1 %2").arg(qtKey).arg(upDown(down)));
    return true;
}

bool QnFakeInputInjector::typeText(const QString &text)
{
    record(QStringLiteral("text %1").arg(text));
    return true;
}

int QnFakeInputInjector::releaseHeld()
{
    record(QStringLiteral("release-held"));
    return 0;
}

QPoint QnFakeInputInjector::cursorPosition()
{
    QMutexLocker lock(&m_mutex);
    return m_pos;
}

int QnFakeInputInjector::cursorShape()
{
    QMutexLocker lock(&m_mutex);
    return m_shape;
}

void QnFakeInputInjector::setCursorShape(int shape)
{
    QMutexLocker lock(&m_mutex);
    m_shape = shape;
}

QStringList QnFakeInputInjector::log() const
{
    QMutexLocker lock(&m_mutex);
    return m_log;
}

QStringList QnFakeInputInjector::takeLog()
{
    QMutexLocker lock(&m_mutex);
    QStringList out;
    out.swap(m_log);
    return out;
}
