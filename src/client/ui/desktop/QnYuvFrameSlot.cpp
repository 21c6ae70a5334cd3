#include "client/ui/desktop/QnYuvFrameSlot.h"

#include "client/ui/desktop/QnLynDesktopMath.h"

bool QnYuvFrameSlot::put(const QByteArray &data, int width, int height, bool *dropped)
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

QnYuvFrameSlot::Frame QnYuvFrameSlot::take()
{
    QMutexLocker lock(&m_mutex);
    m_seen = m_frame.serial;
    return m_frame;
}

QSize QnYuvFrameSlot::size() const
{
    QMutexLocker lock(&m_mutex);
    return m_frame.size;
}

quint64 QnYuvFrameSlot::droppedCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_dropped;
}
