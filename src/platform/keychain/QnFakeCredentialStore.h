#pragma once

#include "platform/keychain/QnCredentialStore.h"

#include <QHash>

/// An in-memory credential store for tests: answers from the event loop like the real one, and
/// fails every operation with failure() while it is set (a locked or missing store).
class QnFakeCredentialStore final : public QnCredentialStore
{
    Q_OBJECT
public:
    explicit QnFakeCredentialStore(QObject *parent = nullptr);

    void readSecret(const QString &key, const QObject *context, const ReadCallback &callback) override;
    void writeSecret(const QString &key, const QString &secret, const QObject *context,
                     const DoneCallback &callback) override;
    void removeSecret(const QString &key, const QObject *context, const DoneCallback &callback) override;

    /// Every later operation fails with error (None: operations work again).
    void setFailure(Error error) { m_failure = error; }
    Error failure() const { return m_failure; }

    QHash<QString, QString> entries() const { return m_entries; }
    /// Operations started so far.
    int operationCount() const { return m_operations; }

private:
    void post(const QObject *context, std::function<void()> work);

    QHash<QString, QString> m_entries;
    Error m_failure = Error::None;
    int m_operations = 0;
};
