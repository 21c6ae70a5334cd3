#include "platform/keychain/QnFakeCredentialStore.h"

#include <QPointer>
#include <QTimer>

QnFakeCredentialStore::QnFakeCredentialStore(QObject *parent) : QnCredentialStore(parent) {}

void QnFakeCredentialStore::post(const QObject *context, std::function<void()> work)
{
    ++m_operations;
    QPointer<const QObject> guard(context);
    const bool tied = context != nullptr;
    QTimer::singleShot(0, this, [guard, tied, work = std::move(work)] {
        if (tied && !guard)
            return;
        work();
    });
}

void QnFakeCredentialStore::readSecret(const QString &key, const QObject *context,
                                       const ReadCallback &callback)
{
    const Error failure = m_failure;
    post(context, [this, key, failure, callback] {
        if (!callback)
            return;
        if (failure != Error::None)
            callback(failure, QString());
        else if (!m_entries.contains(key))
            callback(Error::NotFound, QString());
        else
            callback(Error::None, m_entries.value(key));
    });
}

void QnFakeCredentialStore::writeSecret(const QString &key, const QString &secret, const QObject *context,
                                        const DoneCallback &callback)
{
    const Error failure = m_failure;
    if (failure == Error::None)
        m_entries.insert(key, secret);
    post(context, [failure, callback] {
        if (callback)
            callback(failure);
    });
}

void QnFakeCredentialStore::removeSecret(const QString &key, const QObject *context,
                                         const DoneCallback &callback)
{
    Error result = m_failure;
    if (result == Error::None)
        result = m_entries.remove(key) > 0 ? Error::None : Error::NotFound;
    post(context, [result, callback] {
        if (callback)
            callback(result);
    });
}
