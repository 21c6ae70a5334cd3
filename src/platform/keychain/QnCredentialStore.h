#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

/// Keeps secrets (remembered passwords) in the platform's credential store, one entry per key
/// under a service name.
///
/// Every operation is asynchronous: it returns at once and the callback runs later from the event
/// loop of the calling thread, exactly once, unless context is given and has been destroyed by
/// then (the callback is dropped). Nothing blocks and nothing spins a nested event loop. A store
/// that is missing, locked or refuses access reports an error; there is no fallback to any other
/// storage. GUI thread only. Secrets never reach the log.
class QnCredentialStore : public QObject
{
    Q_OBJECT
public:
    enum class Error {
        None,         ///< done
        NotFound,     ///< no entry for the key (reading or removing)
        AccessDenied, ///< the store is locked or the user refused
        NoBackend,    ///< no credential store is running
        Other,        ///< any other failure
    };
    Q_ENUM(Error)

    using ReadCallback = std::function<void(Error error, const QString &secret)>;
    using DoneCallback = std::function<void(Error error)>;

    explicit QnCredentialStore(QObject *parent = nullptr) : QObject(parent) {}
    ~QnCredentialStore() override = default;

    /// The backend that CMake built in, storing under service.
    static std::unique_ptr<QnCredentialStore> create(const QString &service, QObject *parent = nullptr);

    /// Reads the secret of key; on any error the secret is empty.
    virtual void readSecret(const QString &key, const QObject *context, const ReadCallback &callback) = 0;
    /// Writes (or replaces) the secret of key.
    virtual void writeSecret(const QString &key, const QString &secret, const QObject *context,
                             const DoneCallback &callback) = 0;
    /// Removes the entry of key; a missing entry reports None or NotFound, as the backend tells.
    virtual void removeSecret(const QString &key, const QObject *context, const DoneCallback &callback) = 0;

    /// A short English name of an error for logs.
    static const char *errorName(Error error);
};
