#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

/// Requests waiting for their answer, keyed by request id. Plain data; GUI thread only.
///
/// Ownership: the registry owns the handlers. take() and expire() remove the entries they return
/// before the caller runs any handler, so a handler may file new requests (or find its own id gone).
class QnLynRequestRegistry
{
public:
    /// Called with the answer's bytes and the answering (or, on time-out, the target) user id.
    using Handler = std::function<void(const QByteArray &answer, const QString &userId)>;

    struct Entry
    {
        QString id;
        QString target;
        qint64 sentMs = 0;
        Handler handler;
    };

    /// Files id (replacing an earlier entry with the same id).
    void file(const QString &id, const QString &target, qint64 nowMs, Handler handler);
    /// Removes and returns the entry for id; false when unknown.
    bool take(const QString &id, Entry *out);
    /// Removes and returns, oldest first, every entry sent more than timeoutMs before nowMs.
    std::vector<Entry> expire(qint64 nowMs, qint64 timeoutMs);
    void clear() { m_entries.clear(); }
    int size() const { return m_entries.size(); }
    bool contains(const QString &id) const { return m_entries.contains(id); }
    /// The user id the request id was sent to; empty when unknown.
    QString targetOf(const QString &id) const { return m_entries.value(id).target; }

private:
    QHash<QString, Entry> m_entries;
};
