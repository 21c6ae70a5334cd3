#include "qnloginbase/src/Interface/AccountConfig.h"

#include <QDateTime>
#include <QDir>
#include <QLoggingCategory>
#include <QPointer>
#include <QSettings>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcAccounts, "qn.login.accounts")

namespace {

const QString kGroup = QStringLiteral("config");
const QString kAccount = QStringLiteral("account");
const QString kPassword = QStringLiteral("password");
const QString kRemembered = QStringLiteral("isrembered");
const QString kTimestamp = QStringLiteral("timestamp");
const QString kImagePath = QStringLiteral("imagepath");
const QString kTrue = QStringLiteral("true");

template<typename List> void removeAtIfPresent(List &list, int index)
{
    if (index >= 0 && index < list.size())
        list.removeAt(index);
}

QString at(const QStringList &list, int index, const QString &fallback = QString())
{
    return index >= 0 && index < list.size() ? list.at(index) : fallback;
}

} // namespace

AccountConfig *AccountConfig::instance()
{
    // One per process, never destroyed (its credential jobs may outlive any page).
    static AccountConfig *const config = new AccountConfig(
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/config/"));
    return config;
}

AccountConfig::AccountConfig(const QString &dir, QnCredentialStore *store, QObject *parent)
    : QObject(parent), configDir(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'))
{
    if (store) {
        m_store = store;
    } else {
        m_ownStore = QnCredentialStore::create(QString::fromLatin1(kService));
        m_store = m_ownStore.get();
    }
    if (!QDir().mkpath(configDir))
        qCWarning(lcAccounts) << "cannot create" << configDir;
}

AccountConfig::~AccountConfig() = default;

QString AccountConfig::keyOf(const QString &account)
{
    return QString::fromLatin1(kKeyPrefix) + account;
}

QString AccountConfig::encodePassword(const QString &password)
{
    return QString::fromLatin1(password.toUtf8().toBase64());
}

QString AccountConfig::decodePassword(const QString &encoded)
{
    return QString::fromUtf8(QByteArray::fromBase64(encoded.toLatin1()));
}

bool AccountConfig::isPasswordUsable(const QString &flag, const QString &timestamp, qint64 nowMs)
{
    if (flag != kTrue)
        return false;
    bool ok = false;
    const qint64 then = timestamp.toLongLong(&ok);
    return ok && nowMs - then < kRememberMs;
}

void AccountConfig::readKey(const QString &key, QStringList &list) const
{
    const QSettings settings(filePath(), QSettings::IniFormat);
    const QVariant value = settings.value(kGroup + QLatin1Char('/') + key);
    list = value.canConvert<QStringList>() ? value.toStringList() : QStringList();
}

void AccountConfig::writeKey(const QString &key, const QStringList &list)
{
    QSettings settings(filePath(), QSettings::IniFormat);
    settings.beginGroup(kGroup);
    settings.setValue(key, list);
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        qCWarning(lcAccounts) << "cannot write" << filePath();
}

void AccountConfig::writeAll()
{
    if (!QDir().mkpath(configDir))
        qCWarning(lcAccounts) << "cannot create" << configDir;
    // The file never holds a password: one empty entry per account keeps its shape.
    passwords = QStringList();
    for (int i = 0; i < accounts.size(); ++i)
        passwords.append(QString());
    writeKey(kAccount, accounts);
    writeKey(kPassword, passwords);
    writeKey(kRemembered, remembered);
    writeKey(kTimestamp, timestamps);
    writeKey(kImagePath, imagePaths);
}

void AccountConfig::jobDone()
{
    if (--m_pending == 0)
        emit credentialsSettled();
}

void AccountConfig::storeSecret(const QString &account, const QString &password)
{
    ++m_pending;
    m_store->writeSecret(keyOf(account), password, this, [this](QnCredentialStore::Error error) {
        if (error != QnCredentialStore::Error::None)
            qCWarning(lcAccounts) << "remembered password not stored:" << QnCredentialStore::errorName(error);
        jobDone();
    });
}

void AccountConfig::eraseSecret(const QString &account)
{
    ++m_pending;
    m_store->removeSecret(keyOf(account), this, [this](QnCredentialStore::Error) { jobDone(); });
}

void AccountConfig::readConfig()
{
    qCDebug(lcAccounts) << "loadConfig" << configDir;
    readKey(kAccount, accounts);
    readKey(kPassword, passwords);
    readKey(kRemembered, remembered);
    readKey(kTimestamp, timestamps);
    readKey(kImagePath, imagePaths);

    bool legacy = false;
    for (const QString &p : qAsConst(passwords))
        legacy = legacy || !p.isEmpty();
    if (!legacy)
        return;

    // Legacy file: move remembered passwords into the credential store, drop the rest, and
    // rewrite the file without any password before anything else can read it.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QList<QPair<QString, QString>> moving;
    for (int i = 0; i < accounts.size(); ++i) {
        const QString password = decodePassword(at(passwords, i));
        if (!accounts.at(i).isEmpty() && !password.isEmpty() &&
            isPasswordUsable(at(remembered, i), at(timestamps, i), now))
            moving.append({accounts.at(i), password});
    }
    writeAll();
    qCInfo(lcAccounts) << "account file migrated:" << moving.size()
                       << "remembered passwords to the credential store";
    if (moving.isEmpty()) {
        emit passwordsMigrated(0, 0);
        return;
    }
    m_migrationPending += moving.size();
    for (const auto &entry : qAsConst(moving)) {
        ++m_pending;
        m_store->writeSecret(keyOf(entry.first), entry.second, this, [this](QnCredentialStore::Error error) {
            if (error == QnCredentialStore::Error::None) {
                ++m_migrationMoved;
            } else {
                ++m_migrationRefused;
                qCWarning(lcAccounts) << "legacy password dropped, the store refused it:"
                                      << QnCredentialStore::errorName(error);
            }
            if (--m_migrationPending == 0) {
                emit passwordsMigrated(m_migrationMoved, m_migrationRefused);
                m_migrationMoved = m_migrationRefused = 0;
            }
            jobDone();
        });
    }
}

void AccountConfig::saveAccount(const QString &account, const QString &password, const QString &remember,
                                const QString &imagePath)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString nowText = QString::number(now);
    const int i = accounts.indexOf(account);
    if (i >= 0) {
        const QString oldFlag = at(remembered, i);
        const QString oldTime = at(timestamps, i);
        accounts.removeAt(i);
        removeAtIfPresent(passwords, i);
        removeAtIfPresent(remembered, i);
        removeAtIfPresent(timestamps, i);
        removeAtIfPresent(imagePaths, i);
        accounts.prepend(account);
        remembered.prepend(remember);
        imagePaths.prepend(imagePath);
        bool ok = false;
        const qint64 then = oldTime.toLongLong(&ok);
        const bool keep = oldFlag == kTrue && remember == kTrue && ok && now - then < kRememberMs;
        timestamps.prepend(keep ? oldTime : nowText);
    } else if (!account.isEmpty()) {
        accounts.prepend(account);
        remembered.prepend(remember);
        timestamps.prepend(nowText);
        imagePaths.prepend(imagePath);
    }
    writeAll();
    if (account.isEmpty())
        return;
    if (remember == kTrue && !password.isEmpty())
        storeSecret(account, password);
    else
        eraseSecret(account);
}

void AccountConfig::removeAccount(int index)
{
    if (index < 0 || index >= accounts.size())
        return;
    const QString account = accounts.at(index);
    accounts.removeAt(index);
    removeAtIfPresent(passwords, index);
    removeAtIfPresent(remembered, index);
    removeAtIfPresent(timestamps, index);
    removeAtIfPresent(imagePaths, index);
    writeAll();
    if (!account.isEmpty())
        eraseSecret(account);
}

void AccountConfig::loadPassword(int index, const QObject *context, const PasswordCallback &callback,
                                 qint64 nowMs)
{
    if (nowMs < 0)
        nowMs = QDateTime::currentMSecsSinceEpoch();
    const QString account = at(accounts, index);
    const QString flag = at(remembered, index, QStringLiteral("false"));
    auto answerEmpty = [this, context, callback] {
        QPointer<const QObject> guard(context);
        const bool tied = context != nullptr;
        QMetaObject::invokeMethod(
            this,
            [guard, tied, callback] {
                if ((!tied || guard) && callback)
                    callback(QString(), QnCredentialStore::Error::None);
            },
            Qt::QueuedConnection);
    };
    if (account.isEmpty() || flag != kTrue) {
        answerEmpty();
        return;
    }
    if (!isPasswordUsable(flag, at(timestamps, index), nowMs)) {
        qCDebug(lcAccounts) << "remembered password expired" << at(timestamps, index) << nowMs << kRememberMs;
        eraseSecret(account);
        answerEmpty();
        return;
    }
    ++m_pending;
    QPointer<const QObject> guard(context);
    const bool tied = context != nullptr;
    m_store->readSecret(keyOf(account), this,
                        [this, guard, tied, callback](QnCredentialStore::Error error, const QString &secret) {
                            if ((!tied || guard) && callback)
                                callback(secret, error);
                            jobDone();
                        });
}
