// The remembered accounts: list order, the 15-day rule, passwords in the credential store (the real
// Secret Service of tests/with-keyring.sh, and the fake for a locked store), the legacy migration,
// and no password anywhere under HOME after a remembered sign-in.

#include "common/log/QnLog.h"
#include "platform/keychain/QnFakeCredentialStore.h"
#include "qnloginbase/src/Interface/AccountConfig.h"
#include "qnloginbase/src/Interface/HttpSession.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QDateTime>
#include <QDirIterator>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

using Error = QnCredentialStore::Error;

namespace {
constexpr qint64 kDay = 24 * 3600 * 1000LL;
constexpr qint64 kHour = 3600 * 1000LL;
} // namespace

class TestAccountConfig : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;

    static void settle(AccountConfig &config)
    {
        QTRY_COMPARE_WITH_TIMEOUT(config.pendingCredentialJobs(), 0, 10000);
    }
    struct Loaded
    {
        QString password;
        Error error = Error::Other;
        bool called = false;
    };
    static Loaded load(AccountConfig &config, int index, qint64 now = -1)
    {
        Loaded out;
        config.loadPassword(
            index, nullptr,
            [&](const QString &p, Error e) {
                out = {p, e, true};
            },
            now);
        if (!QTest::qWaitFor([&] { return out.called; }, 10000))
            out.error = Error::Other;
        return out;
    }
    QString configDir() const { return m_dir->filePath("deep/er/config/"); }
    static void writeLegacy(const QString &file, const QStringList &accounts, const QStringList &passwords,
                            const QStringList &flags, const QStringList &times, const QStringList &images)
    {
        QSettings s(file, QSettings::IniFormat);
        s.beginGroup("config");
        s.setValue("account", accounts);
        s.setValue("password", passwords);
        s.setValue("isrembered", flags);
        s.setValue("timestamp", times);
        s.setValue("imagepath", images);
        s.endGroup();
        s.sync();
    }
    static QByteArray fileBytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private Q_SLOTS:
    void init();
    void cleanup();
    void fifteenDayRule_data();
    void fifteenDayRule();
    void savesNewestFirst();
    void timestampKeptWhileRemembered_data();
    void timestampKeptWhileRemembered();
    void emptyAccountRewritesOnly();
    void removeOutOfRange();
    void wholePathCreated();
    void rememberedPasswordInKeychain();
    void expiredPasswordErased();
    void lockedStoreAsksForPassword();
    void unequalHandMadeLists();
    void legacyFileMigrated();
    void legacyMigrationWithLockedStore();
    void noPasswordUnderHome();
};

void TestAccountConfig::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestAccountConfig::cleanup()
{
    m_dir.reset();
}

void TestAccountConfig::fifteenDayRule_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<qint64>("age");
    QTest::addColumn<bool>("usable");
    QTest::newRow("10 days") << "true" << 10 * kDay << true;
    QTest::newRow("exactly 15 days") << "true" << 15 * kDay << false;
    QTest::newRow("14 days 23 hours") << "true" << 14 * kDay + 23 * kHour << true;
    QTest::newRow("16 days") << "true" << 16 * kDay << false;
    QTest::newRow("negative age") << "true" << -3 * kDay << true;
    QTest::newRow("false flag") << "false" << 1 * kDay << false;
    QTest::newRow("empty flag") << "" << 1 * kDay << false;
}

void TestAccountConfig::fifteenDayRule()
{
    QFETCH(QString, flag);
    QFETCH(qint64, age);
    QFETCH(bool, usable);
    const qint64 now = 1'700'000'000'000LL;
    QCOMPARE(AccountConfig::isPasswordUsable(flag, QString::number(now - age), now), usable);
    QVERIFY(!AccountConfig::isPasswordUsable(flag, "not a time", now));

    // The same rule when the login form asks for the password.
    QnFakeCredentialStore store;
    AccountConfig config(configDir(), &store);
    config.saveAccount("13800000001", "pw-15", "true", "");
    settle(config);
    config.timestamps[0] = QString::number(now - age);
    config.remembered[0] = flag;
    const Loaded loaded = load(config, 0, now);
    QCOMPARE(loaded.error, Error::None);
    QCOMPARE(loaded.password, usable ? QString("pw-15") : QString());
    settle(config);
    // An expired or unremembered password is gone from the store.
    QCOMPARE(store.entries().contains("loginbase/13800000001"), usable || flag != "true");
}

void TestAccountConfig::savesNewestFirst()
{
    QnFakeCredentialStore store;
    AccountConfig config(configDir(), &store);
    config.saveAccount("a1", "p1", "true", "/img/a1.png");
    config.saveAccount("a2", "p2", "false", "");
    config.saveAccount("a3", "p3", "true", "/img/a3.png");
    QCOMPARE(config.accounts, QStringList({"a3", "a2", "a1"}));
    config.saveAccount("a1", "p1", "true", "/img/a1b.png");
    QCOMPARE(config.accounts, QStringList({"a1", "a3", "a2"}));
    QCOMPARE(config.remembered, QStringList({"true", "true", "false"}));
    QCOMPARE(config.imagePaths, QStringList({"/img/a1b.png", "/img/a3.png", ""}));
    QCOMPARE(config.timestamps.size(), 3);

    AccountConfig reread(configDir(), &store);
    reread.readConfig();
    QCOMPARE(reread.accounts, config.accounts);
    QCOMPARE(reread.remembered, config.remembered);
    QCOMPARE(reread.timestamps, config.timestamps);
    QCOMPARE(reread.imagePaths, config.imagePaths);
    QCOMPARE(reread.passwords, QStringList({"", "", ""})); // the file's shape, never a password
    settle(config);
    QCOMPARE(store.entries().keys().size(), 2);
    QCOMPARE(store.entries().value("loginbase/a1"), QString("p1"));
    QVERIFY(!store.entries().contains("loginbase/a2"));
}

void TestAccountConfig::timestampKeptWhileRemembered_data()
{
    QTest::addColumn<QString>("oldFlag");
    QTest::addColumn<qint64>("age");
    QTest::addColumn<QString>("newFlag");
    QTest::addColumn<bool>("kept");
    QTest::newRow("10 days, remembered again") << "true" << 10 * kDay << "true" << true;
    QTest::newRow("16 days") << "true" << 16 * kDay << "true" << false;
    QTest::newRow("negative age") << "true" << -kDay << "true" << true;
    QTest::newRow("old flag false") << "false" << 10 * kDay << "true" << false;
    QTest::newRow("new flag false") << "true" << 10 * kDay << "false" << false;
}

void TestAccountConfig::timestampKeptWhileRemembered()
{
    QFETCH(QString, oldFlag);
    QFETCH(qint64, age);
    QFETCH(QString, newFlag);
    QFETCH(bool, kept);
    QnFakeCredentialStore store;
    AccountConfig config(configDir(), &store);
    config.saveAccount("a1", "p1", oldFlag, "");
    const QString old = QString::number(QDateTime::currentMSecsSinceEpoch() - age);
    config.timestamps[0] = old;
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    config.saveAccount("a1", "p1", newFlag, "");
    if (kept)
        QCOMPARE(config.timestamps[0], old);
    else
        QVERIFY(config.timestamps[0].toLongLong() >= before);
    settle(config);
    QCOMPARE(store.entries().contains("loginbase/a1"), newFlag == "true");
}

void TestAccountConfig::emptyAccountRewritesOnly()
{
    QnFakeCredentialStore store;
    AccountConfig config(configDir(), &store);
    config.saveAccount("a1", "p1", "true", "");
    settle(config);
    QFile::remove(config.filePath());
    config.saveAccount("", "p2", "true", "");
    QCOMPARE(config.accounts, QStringList({"a1"}));
    QVERIFY(QFile::exists(config.filePath()));
    settle(config);
    QCOMPARE(store.entries().size(), 1);
    QCOMPARE(load(config, 5).password, QString()); // out of range: nothing

    // A hand-made entry with an empty name is never looked up in the store.
    config.accounts.prepend(QString());
    config.remembered.prepend("true");
    config.timestamps.prepend(QString::number(QDateTime::currentMSecsSinceEpoch()));
    const int operations = store.operationCount();
    const Loaded empty = load(config, 0);
    QCOMPARE(empty.error, Error::None);
    QVERIFY(empty.password.isEmpty());
    QCOMPARE(store.operationCount(), operations);
}

void TestAccountConfig::removeOutOfRange()
{
    QnFakeCredentialStore store;
    AccountConfig config(configDir(), &store);
    config.saveAccount("a1", "p1", "true", "");
    config.saveAccount("a2", "p2", "true", "");
    config.removeAccount(-1);
    config.removeAccount(2);
    QCOMPARE(config.accounts.size(), 2);
    config.removeAccount(1);
    QCOMPARE(config.accounts, QStringList({"a2"}));
    settle(config);
    QVERIFY(!store.entries().contains("loginbase/a1"));
    QVERIFY(store.entries().contains("loginbase/a2"));
}

void TestAccountConfig::wholePathCreated()
{
    QnFakeCredentialStore store;
    const QString dir = m_dir->filePath("a/b/c/d/config");
    AccountConfig config(dir, &store);
    QVERIFY(QDir(dir).exists());
    QVERIFY(QDir(dir).removeRecursively());
    QVERIFY(QDir(m_dir->filePath("a")).removeRecursively());
    config.saveAccount("a1", "p1", "false", "");
    AccountConfig reread(dir, &store);
    reread.readConfig();
    QCOMPARE(reread.accounts, QStringList({"a1"}));
}

void TestAccountConfig::rememberedPasswordInKeychain()
{
    AccountConfig config(configDir()); // the platform's credential store
    config.saveAccount("13800000002", "Real-keychain-pw", "true", "");
    settle(config);
    Loaded loaded = load(config, 0);
    QCOMPARE(loaded.error, Error::None);
    QCOMPARE(loaded.password, QString("Real-keychain-pw"));

    config.saveAccount("13800000002", "Real-keychain-pw", "false", ""); // the user unticked it
    settle(config);
    config.remembered[0] = "true"; // even a tampered flag finds nothing
    loaded = load(config, 0);
    QCOMPARE(loaded.password, QString());
    QCOMPARE(loaded.error, Error::NotFound);

    config.saveAccount("13800000002", "Real-keychain-pw", "true", "");
    config.removeAccount(0);
    settle(config);
    AccountConfig other(configDir());
    other.accounts = QStringList{"13800000002"};
    other.remembered = QStringList{"true"};
    other.timestamps = QStringList{QString::number(QDateTime::currentMSecsSinceEpoch())};
    QCOMPARE(load(other, 0).error, Error::NotFound);
}

void TestAccountConfig::expiredPasswordErased()
{
    AccountConfig config(configDir());
    config.saveAccount("13800000003", "Expiring-pw", "true", "");
    settle(config);
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QCOMPARE(load(config, 0, now + 15 * kDay).password, QString());
    settle(config);
    QCOMPARE(load(config, 0, now).error, Error::NotFound);
}

void TestAccountConfig::lockedStoreAsksForPassword()
{
    QnFakeCredentialStore store;
    AccountConfig config(configDir(), &store);
    config.saveAccount("a1", "p1", "true", "");
    settle(config);
    store.setFailure(Error::AccessDenied);
    const Loaded loaded = load(config, 0);
    QCOMPARE(loaded.error, Error::AccessDenied);
    QVERIFY(loaded.password.isEmpty());

    store.setFailure(Error::NoBackend);
    config.saveAccount("a2", "p2", "true", "");
    settle(config);
    QVERIFY(!fileBytes(config.filePath()).contains("p2"));
    QVERIFY(!fileBytes(config.filePath()).contains(QByteArray("p2").toBase64()));

    // A callback whose receiver is gone is not called.
    store.setFailure(Error::None);
    bool called = false;
    auto *page = new QObject;
    config.loadPassword(0, page, [&](const QString &, Error) { called = true; });
    delete page;
    settle(config);
    QTest::qWait(20);
    QVERIFY(!called);
}

void TestAccountConfig::unequalHandMadeLists()
{
    QnFakeCredentialStore store;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QDir().mkpath(configDir());
    writeLegacy(configDir() + "account.ini", {"a1", "a2", "a3"}, {}, {"true", "true"},
                {QString::number(now - kDay)}, {"/i1.png"});
    AccountConfig config(configDir(), &store);
    config.readConfig();
    QCOMPARE(config.accounts.size(), 3);
    store.writeSecret("loginbase/a1", "p1", nullptr, nullptr);
    store.writeSecret("loginbase/a2", "p2", nullptr, nullptr);
    QCOMPARE(load(config, 0).password, QString("p1"));
    QCOMPARE(load(config, 1).password, QString()); // no time stamp: expired
    QCOMPARE(load(config, 2).password, QString()); // no flag: not remembered
    config.saveAccount("a3", "p3", "true", "/i3.png");
    QCOMPARE(config.accounts, QStringList({"a3", "a1", "a2"}));
    config.removeAccount(2);
    config.removeAccount(1);
    QCOMPARE(config.accounts, QStringList({"a3"}));
    QCOMPARE(config.imagePaths.first(), QString("/i3.png"));
    settle(config);
}

void TestAccountConfig::legacyFileMigrated()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QDir().mkpath(configDir());
    const QString file = configDir() + "account.ini";
    writeLegacy(file, {"13800000011", "13800000012", "13800000013"},
                {AccountConfig::encodePassword("Legacy-remembered-1"),
                 AccountConfig::encodePassword("Legacy-forgot-2"),
                 AccountConfig::encodePassword("Legacy-expired-3")},
                {"true", "false", "true"},
                {QString::number(now - kDay), QString::number(now), QString::number(now - 20 * kDay)},
                {"/h1.png", "", ""});
    QVERIFY(fileBytes(file).contains(QByteArray("Legacy-remembered-1").toBase64()));

    AccountConfig config(configDir());
    QSignalSpy migrated(&config, &AccountConfig::passwordsMigrated);
    config.readConfig();
    // The file is rewritten at once, without any password; its shape stays.
    const QByteArray bytes = fileBytes(file);
    for (const char *pw : {"Legacy-remembered-1", "Legacy-forgot-2", "Legacy-expired-3"}) {
        QVERIFY(!bytes.contains(pw));
        QVERIFY(!bytes.contains(QByteArray(pw).toBase64()));
    }
    QSettings s(file, QSettings::IniFormat);
    QCOMPARE(s.value("config/account").toStringList().size(), 3);
    QVERIFY(s.contains("config/password"));
    QCOMPARE(s.value("config/imagepath").toStringList().first(), QString("/h1.png"));

    QVERIFY(migrated.size() == 1 || migrated.wait(10000));
    QCOMPARE(migrated.first().at(0).toInt(), 1);
    QCOMPARE(migrated.first().at(1).toInt(), 0);
    settle(config);
    QCOMPARE(load(config, 0).password, QString("Legacy-remembered-1"));
    QCOMPARE(load(config, 1).password, QString());
    QCOMPARE(load(config, 2).password, QString());

    // Once only: a second read finds nothing to migrate.
    config.readConfig();
    QTest::qWait(50);
    QCOMPARE(migrated.size(), 1);
    config.removeAccount(0);
    settle(config);
}

void TestAccountConfig::legacyMigrationWithLockedStore()
{
    QDir().mkpath(configDir());
    const QString file = configDir() + "account.ini";
    writeLegacy(file, {"a1"}, {AccountConfig::encodePassword("Locked-pw-1")}, {"true"},
                {QString::number(QDateTime::currentMSecsSinceEpoch())}, {""});
    QnFakeCredentialStore store;
    store.setFailure(Error::AccessDenied);
    AccountConfig config(configDir(), &store);
    QSignalSpy migrated(&config, &AccountConfig::passwordsMigrated);
    config.readConfig();
    QVERIFY(migrated.wait(5000));
    QCOMPARE(migrated.first().at(0).toInt(), 0);
    QCOMPARE(migrated.first().at(1).toInt(), 1);
    QVERIFY(!fileBytes(file).contains(QByteArray("Locked-pw-1").toBase64())); // no plaintext fallback
    QCOMPARE(config.accounts, QStringList({"a1"}));
}

void TestAccountConfig::noPasswordUnderHome()
{
    // HOME is the private one of with-keyring.sh: the keyring, the account file, the head-image
    // cache and the log all live under it.
    const QString home = QDir::homePath();
    QVERIFY2(home.contains("qn-keyring"), qPrintable(home));
    const QString password = "Remembered-Secret-8c1d";
    QnCloudFixture cloud;
    QVERIFY(cloud.listen());
    cloud.addAccount("13800000021", password);
    QnLog::install(home + "/signin.log");

    HttpSession session;
    session.setGatewayBaseUrl(cloud.gatewayUrl());
    QSignalSpy result(&session, &HttpSession::loginResult);
    QSignalSpy icon(&session, &HttpSession::updateHeadIcon);
    session.checkAccount("13800000021", password);
    QVERIFY(result.wait(8000));
    QCOMPARE(result.first().first().toBool(), true);
    QVERIFY(icon.size() > 0 || icon.wait(5000));

    AccountConfig config(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/config/");
    config.saveAccount("13800000021", password, "true", session.user().localHeadPath);
    settle(config);
    QCOMPARE(load(config, 0).password, password); // remembered, in the keychain
    QnLog::uninstall();

    const QList<QByteArray> forms = {
        password.toUtf8(), password.toUtf8().toBase64(),
        QByteArray(reinterpret_cast<const char *>(password.utf16()), password.size() * 2),
        session.token().toUtf8()};
    int files = 0;
    QDirIterator it(home, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QByteArray bytes = fileBytes(path);
        ++files;
        for (const QByteArray &form : forms)
            QVERIFY2(!bytes.contains(form), qPrintable("secret found in " + path));
    }
    QVERIFY(files >= 3); // account file, log, head image (and the keyring)
    QVERIFY(QFile::exists(config.filePath()));
}

QTEST_GUILESS_MAIN(TestAccountConfig)
#include "tst_accountconfig.moc"
