#include "client/ui/account/QnLoginCredentials.h"

#include "common/settings/COption.h"
#include "platform/keychain/QnCredentialStore.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QSettings>

Q_LOGGING_CATEGORY(lcCredentials, "qn.account.credentials")

namespace {
const QString kUser = QStringLiteral("user");
} // namespace

QnLoginCredentials::QnLoginCredentials(const QString &settingsPath, QnCredentialStore *store, QObject *parent)
    : QObject(parent), m_settingsPath(settingsPath), m_store(store)
{}

void QnLoginCredentials::saveSignIn(const QString &userName, bool remember, const QString &password)
{
    COption option(m_settingsPath);
    option.setValue(kUser, QStringLiteral("username"), userName);
    option.setValue(kUser, QStringLiteral("remember"), remember);
    removeLegacyPassword();
    if (!m_store)
        return;
    ++m_pending;
    if (remember) {
        m_store->writeSecret(QLatin1String(kKey), password, this, [this](QnCredentialStore::Error error) {
            if (error != QnCredentialStore::Error::None)
                qCWarning(lcCredentials)
                    << "remembered password not stored:" << QnCredentialStore::errorName(error);
            done();
        });
    } else {
        m_store->removeSecret(QLatin1String(kKey), this, [this](QnCredentialStore::Error error) {
            if (error != QnCredentialStore::Error::None && error != QnCredentialStore::Error::NotFound)
                qCWarning(lcCredentials)
                    << "remembered password not deleted:" << QnCredentialStore::errorName(error);
            done();
        });
    }
}

void QnLoginCredentials::loadRemembered(bool remember, const QObject *context,
                                        const PasswordCallback &callback)
{
    QPointer<const QObject> guard(context);
    const bool tied = context != nullptr;
    auto answer = [guard, tied, callback](const QString &password) {
        if ((!tied || guard) && callback)
            callback(password);
    };

    const QString legacy = COption(m_settingsPath).value(kUser, QStringLiteral("password")).toString();
    const bool hadLegacy = COption(m_settingsPath).contains(kUser, QStringLiteral("password"));
    if (hadLegacy) {
        // Moved once: the key leaves the file whatever the store says (no plaintext fallback).
        removeLegacyPassword();
        qCInfo(lcCredentials) << "legacy settings password removed from the settings file";
        if (remember && !legacy.isEmpty() && m_store) {
            ++m_pending;
            m_store->writeSecret(QLatin1String(kKey), legacy, this,
                                 [this, answer, legacy](QnCredentialStore::Error error) {
                                     if (error != QnCredentialStore::Error::None)
                                         qCWarning(lcCredentials) << "legacy password not moved to the store:"
                                                                  << QnCredentialStore::errorName(error);
                                     answer(legacy);
                                     done();
                                 });
            return;
        }
    }
    if (!remember || !m_store) {
        QMetaObject::invokeMethod(
            this, [answer] { answer(QString()); }, Qt::QueuedConnection);
        return;
    }
    ++m_pending;
    m_store->readSecret(
        QLatin1String(kKey), this, [this, answer](QnCredentialStore::Error error, const QString &secret) {
            if (error != QnCredentialStore::Error::None && error != QnCredentialStore::Error::NotFound)
                qCWarning(lcCredentials)
                    << "remembered password not read:" << QnCredentialStore::errorName(error);
            answer(secret);
            done();
        });
}

void QnLoginCredentials::removeLegacyPassword()
{
    QSettings settings(m_settingsPath, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.beginGroup(kUser);
    if (!settings.contains(QStringLiteral("password")))
        return;
    settings.remove(QStringLiteral("password"));
    settings.endGroup();
    settings.sync();
}

void QnLoginCredentials::done()
{
    if (--m_pending == 0)
        emit settled();
}
