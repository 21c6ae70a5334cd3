#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QnCredentialStore;

/// Where the client login page keeps what it remembers of a sign-in.
///
/// The settings file (group "user") keeps "username" and "remember" only; a password never stays
/// in it. The remembered password lives in the credential store (service "qnlynclient", key
/// "quenlo") while "remember" is on and is deleted from it when a sign-in is made with remember
/// off. A settings file written by an older version with "user"/"password" is migrated once: the
/// password moves to the credential store (when remember is on) and the key is removed from the
/// file, whatever the store answers.
///
/// GUI thread only. The store is not owned and must outlive this object; callbacks are dropped
/// once their context is gone.
class QnLoginCredentials : public QObject
{
    Q_OBJECT
public:
    static constexpr const char kService[] = "qnlynclient";
    static constexpr const char kKey[] = "quenlo";

    QnLoginCredentials(const QString &settingsPath, QnCredentialStore *store, QObject *parent = nullptr);

    void setStore(QnCredentialStore *store) { m_store = store; }
    void setSettingsPath(const QString &path) { m_settingsPath = path; }
    QString settingsPath() const { return m_settingsPath; }

    /// After a successful sign-in: writes "username" and "remember", removes any "password", and
    /// stores (remember on) or deletes (remember off) the credential-store entry.
    void saveSignIn(const QString &userName, bool remember, const QString &password);

    using PasswordCallback = std::function<void(const QString &password)>;
    /// At start-up: migrates a legacy "password" of the settings file, then calls back with the
    /// remembered password ("" when remember is off, nothing is stored or the store fails).
    void loadRemembered(bool remember, const QObject *context, const PasswordCallback &callback);

    /// Credential-store operations not yet answered.
    int pending() const { return m_pending; }

Q_SIGNALS:
    /// Every credential-store operation started so far has been answered.
    void settled();

private:
    void removeLegacyPassword();
    void done();

    QString m_settingsPath;
    QnCredentialStore *m_store;
    int m_pending = 0;
};
