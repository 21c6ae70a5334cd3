#include "common/log/QnLogLimiter.h"

#include <algorithm>

QnLogLimiter::QnLogLimiter(int burst, qint64 intervalMs, Clock clock)
    : m_burst(std::max(burst, 0)), m_interval(std::max<qint64>(intervalMs, 1)), m_clock(std::move(clock))
{
    m_elapsed.start();
    if (!m_clock)
        m_clock = [this] { return m_elapsed.elapsed(); };
}

QnLogLimiter::Hit QnLogLimiter::hit(const char *site)
{
    const qint64 now = m_clock();
    std::lock_guard<std::mutex> lock(m_mutex);
    const QByteArray key(site);
    auto it = m_windows.find(key);
    Hit h;
    if (it == m_windows.end()) {
        it = m_windows.insert(key, Window{now, 0});
    } else if (now - it->start >= m_interval) {
        h.suppressed = std::max<qint64>(it->count - m_burst, 0);
        h.intervalMs = now - it->start;
        *it = Window{now, 0};
    }
    ++it->count;
    h.log = it->count <= m_burst;
    return h;
}

bool QnLogLimiter::allow(const QLoggingCategory &category, const char *site, QtMsgType type)
{
    const Hit h = hit(site);
    if (h.suppressed > 0 && category.isEnabled(type)) {
        const QString text = summaryText(site, h.suppressed, h.intervalMs);
        QMessageLogger logger(__FILE__, __LINE__, Q_FUNC_INFO, category.categoryName());
        switch (type) {
        case QtDebugMsg:
            logger.debug("%s", qUtf8Printable(text));
            break;
        case QtInfoMsg:
            logger.info("%s", qUtf8Printable(text));
            break;
        default:
            logger.warning("%s", qUtf8Printable(text));
            break;
        }
    }
    return h.log;
}

QString QnLogLimiter::summaryText(const char *site, qint64 suppressed, qint64 intervalMs)
{
    return QStringLiteral("%1: %2 similar lines suppressed in %3 s")
        .arg(QString::fromUtf8(site))
        .arg(suppressed)
        .arg(double(intervalMs) / 1000.0, 0, 'f', 1);
}
