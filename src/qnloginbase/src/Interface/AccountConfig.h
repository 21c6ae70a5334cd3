#pragma once

#include "platform/keychain/QnCredentialStore.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

/// The accounts that signed in through the login dialog, newest first, in "account.ini" (group
/// "config", keys "account", "password", "isrembered", "timestamp", "imagepath": five parallel
/// string lists) under configDir.
///
/// Passwords never reach the file: its "password" entries are written empty. A remembered password
/// lives in the credential store, one entry per account, written when a login is saved with
/// remember "true" and erased when the account is saved without it, removed, or found past the
/// 15-day limit. A file written by an older version with Base64 passwords is migrated once by
/// readConfig(): remembered passwords within the limit move to the credential store, and the file
/// is rewritten without any password at once (a password that the store then refuses is lost, and
/// the user types it again; there is no plaintext fallback).
///
/// The lists may be of unequal length (a hand-edited file); every operation tolerates that.
/// GUI thread only; the file is opened and closed for every key read or written.
class AccountConfig : public QObject
{
    Q_OBJECT
public:
    /// A remembered password is filled in for 15 days after it was first remembered.
    static constexpr qint64 kRememberMs = 1296000000;
    /// Credential store service of the remembered passwords; each entry's key is kKeyPrefix + account.
    static constexpr const char kService[] = "qnlynclient";
    static constexpr const char kKeyPrefix[] = "loginbase/";

    /// The process-wide store over the writable AppDataLocation + "/config/" and the platform's
    /// credential store, created on first use.
    static AccountConfig *instance();

    /// A store over configDir (created with all its parents). store: the credential store to use,
    /// not owned, outliving this object; null: the platform's own, owned by this object.
    explicit AccountConfig(const QString &configDir, QnCredentialStore *store = nullptr,
                           QObject *parent = nullptr);
    ~AccountConfig() override;

    /// Reads the five lists from the file (missing or unreadable: empty lists), then migrates
    /// legacy passwords.
    void readConfig();
    /// Records a successful login (moves or adds the account to index 0) and writes the file;
    /// stores or erases the remembered password. An empty account changes no list but rewrites.
    void saveAccount(const QString &account, const QString &password, const QString &remember,
                     const QString &imagePath);
    /// Removes the entry at index (out of range: nothing) with its remembered password.
    void removeAccount(int index);

    /// The 15-day rule: a password is filled in when flag is "true" and nowMs - timestamp is below
    /// kRememberMs (a negative age, a clock set back, counts as within). A timestamp that is not a
    /// number is expired.
    static bool isPasswordUsable(const QString &flag, const QString &timestamp, qint64 nowMs);

    using PasswordCallback = std::function<void(const QString &password, QnCredentialStore::Error error)>;
    /// Finds the remembered password of accounts[index] for the login form. Calls back (from the
    /// event loop, dropped once context is gone) with "" and Error::None when there is none to fill
    /// in (index out of range, not remembered, or past the 15-day rule, whose entry is then erased),
    /// with the password, or with "" and the store's error (locked or missing store: the user types
    /// the password). nowMs < 0: the current time.
    void loadPassword(int index, const QObject *context, const PasswordCallback &callback, qint64 nowMs = -1);

    /// Base64 of the UTF-8 bytes, and back: the legacy password encoding (read only to migrate).
    static QString encodePassword(const QString &password);
    static QString decodePassword(const QString &encoded);

    QString filePath() const { return configDir + QStringLiteral("account.ini"); }
    /// Credential store operations not yet finished.
    int pendingCredentialJobs() const { return m_pending; }

    QStringList accounts;
    QStringList passwords; ///< always empty entries: passwords live in the credential store
    QStringList remembered;
    QStringList timestamps;
    QStringList imagePaths;
    QString configDir; ///< ends with "/"

Q_SIGNALS:
    /// Every credential store operation started so far has finished.
    void credentialsSettled();
    /// readConfig() moved legacy passwords: moved went to the store, refused were refused by it.
    void passwordsMigrated(int moved, int refused);

private:
    void readKey(const QString &key, QStringList &list) const;
    void writeKey(const QString &key, const QStringList &list);
    void writeAll();
    void storeSecret(const QString &account, const QString &password);
    void eraseSecret(const QString &account);
    void jobDone();
    static QString keyOf(const QString &account);

    std::unique_ptr<QnCredentialStore> m_ownStore;
    QnCredentialStore *m_store = nullptr;
    int m_pending = 0;
    int m_migrationPending = 0;
    int m_migrationMoved = 0;
    int m_migrationRefused = 0;
};
