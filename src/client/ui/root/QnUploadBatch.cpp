#include "client/ui/root/QnUploadBatch.h"

void QnUploadBatch::start(const QStringList &files)
{
    m_total = files.size();
    m_done = 0;
    m_pending = files;
}

QnUploadBatch::Step QnUploadBatch::result(bool sent, const QStringList &files)
{
    Step step;
    if (m_total <= 0)
        return step;
    ++m_done;
    if (sent) {
        for (const QString &file : files)
            m_pending.removeAll(file);
    }
    step.done = m_done;
    step.total = m_total;
    if (m_done < m_total)
        return step;
    step.finished = true;
    step.allSent = m_pending.isEmpty();
    step.failed = m_pending;
    m_total = 0;
    m_done = 0;
    m_pending.clear();
    return step;
}
