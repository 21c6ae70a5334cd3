#include "client/ui/desktop/QnVideoFrameSlot.h"

#include "client/ui/desktop/QnLynDesktopMath.h"

bool QnVideoFrameSlot::put(const QByteArray &data, int width, int height, bool *dropped)
{
    if (!QnLynDesktopMath::acceptPicture(data.size(), width, height))
        return false;
    QByteArray old; // released outside the lock
    QMutexLocker lock(&m_mutex);
    const bool replaced = m_frame.serial != 0 && m_seen != m_frame.serial;
    if (replaced)
        ++m_dropped;
    if (dropped)
        *dropped = replaced;
    old.swap(m_frame.data);
    m_frame.data = data;
    m_frame.size = QSize(width, height);
    ++m_frame.serial;
    return true;
}

QnVideoFrameSlot::Frame QnVideoFrameSlot::take()
{
    QMutexLocker lock(&m_mutex);
    m_seen = m_frame.serial;
    return m_frame;
}

QSize QnVideoFrameSlot::size() const
{
    QMutexLocker lock(&m_mutex);
    return m_frame.size;
}

quint64 QnVideoFrameSlot::droppedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_dropped;
}
