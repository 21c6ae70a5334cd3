// Secret Service backend of QnCredentialStore through qtkeychain (libsecret underneath).

#include "platform/keychain/QnCredentialStore.h"

#include <qt5keychain/keychain.h>

#include <QLoggingCategory>
#include <QPointer>

Q_LOGGING_CATEGORY(lcKeychain, "qn.keychain")

namespace {

QnCredentialStore::Error mapError(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return QnCredentialStore::Error::None;
    case QKeychain::EntryNotFound:
        return QnCredentialStore::Error::NotFound;
    case QKeychain::AccessDenied:
    case QKeychain::AccessDeniedByUser:
        return QnCredentialStore::Error::AccessDenied;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return QnCredentialStore::Error::NoBackend;
    case QKeychain::CouldNotDeleteEntry:
    case QKeychain::OtherError:
        break;
    }
    return QnCredentialStore::Error::Other;
}

/// Jobs delete themselves once finished (qtkeychain's auto-delete), after the handler ran.
class KeychainCredentialStore final : public QnCredentialStore
{
public:
    KeychainCredentialStore(const QString &service, QObject *parent)
        : QnCredentialStore(parent), m_service(service)
    {}

    void readSecret(const QString &key, const QObject *context, const ReadCallback &callback) override
    {
        auto *job = new QKeychain::ReadPasswordJob(m_service, this);
        job->setKey(key);
        QPointer<const QObject> guard(context);
        const bool tied = context != nullptr;
        connect(job, &QKeychain::Job::finished, this, [job, guard, tied, callback, key] {
            const Error error = mapError(job->error());
            if (error != Error::None && error != Error::NotFound)
                qCWarning(lcKeychain)
                    << "read of" << key << "failed:" << errorName(error) << job->errorString();
            if ((tied && !guard) || !callback)
                return;
            callback(error, error == Error::None ? job->textData() : QString());
        });
        job->start();
    }

    void writeSecret(const QString &key, const QString &secret, const QObject *context,
                     const DoneCallback &callback) override
    {
        auto *job = new QKeychain::WritePasswordJob(m_service, this);
        job->setKey(key);
        job->setTextData(secret);
        finishWith(job, key, "write", context, callback);
        job->start();
    }

    void removeSecret(const QString &key, const QObject *context, const DoneCallback &callback) override
    {
        auto *job = new QKeychain::DeletePasswordJob(m_service, this);
        job->setKey(key);
        finishWith(job, key, "removal", context, callback);
        job->start();
    }

private:
    void finishWith(QKeychain::Job *job, const QString &key, const char *what, const QObject *context,
                    const DoneCallback &callback)
    {
        QPointer<const QObject> guard(context);
        const bool tied = context != nullptr;
        connect(job, &QKeychain::Job::finished, this, [job, guard, tied, callback, key, what] {
            const Error error = mapError(job->error());
            if (error != Error::None && error != Error::NotFound)
                qCWarning(lcKeychain)
                    << what << "of" << key << "failed:" << errorName(error) << job->errorString();
            if ((tied && !guard) || !callback)
                return;
            callback(error);
        });
    }

    QString m_service;
};

} // namespace

std::unique_ptr<QnCredentialStore> QnCredentialStore::create(const QString &service, QObject *parent)
{
    return std::make_unique<KeychainCredentialStore>(service, parent);
}
