#include "lyn/control/QnLynRequestRegistry.h"

#include <algorithm>

void QnLynRequestRegistry::file(const QString &id, const QString &target, qint64 nowMs, Handler handler)
{
    m_entries.insert(id, Entry{id, target, nowMs, std::move(handler)});
}

bool QnLynRequestRegistry::take(const QString &id, Entry *out)
{
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return false;
    *out = std::move(it.value());
    m_entries.erase(it);
    return true;
}

std::vector<QnLynRequestRegistry::Entry> QnLynRequestRegistry::expire(qint64 nowMs, qint64 timeoutMs)
{
    std::vector<Entry> expired;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (nowMs - it->sentMs > timeoutMs) {
            expired.push_back(std::move(it.value()));
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    std::sort(expired.begin(), expired.end(),
              [](const Entry &a, const Entry &b) { return a.sentMs < b.sentMs; });
    return expired;
}
