// What the client sign-in remembers: account name and remember flag in the settings file, the
// password only in the credential store while remember is on, and the one-time move of a password
// that an older version left in the settings file.
#include "client/ui/account/QnLoginCredentials.h"
#include "common/settings/COption.h"
#include "platform/keychain/QnFakeCredentialStore.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestLoginCredentials : public QObject
{
    Q_OBJECT

private:
    QString fileText(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

private slots:
    void rememberOnStoresOnlyInTheStore()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("setting.ini"));
        QnFakeCredentialStore store;
        QnLoginCredentials credentials(ini, &store);
        QSignalSpy settled(&credentials, &QnLoginCredentials::settled);
        credentials.saveSignIn(QStringLiteral("13800000001"), true, QStringLiteral("secret-pw"));
        QVERIFY(settled.wait());
        QCOMPARE(store.entries().value(QStringLiteral("quenlo")), QStringLiteral("secret-pw"));
        const COption option(ini);
        QCOMPARE(option.value(QStringLiteral("user"), QStringLiteral("username")).toString(),
                 QStringLiteral("13800000001"));
        QCOMPARE(option.value(QStringLiteral("user"), QStringLiteral("remember")).toBool(), true);
        QVERIFY(!option.contains(QStringLiteral("user"), QStringLiteral("password")));
        QVERIFY(!fileText(ini).contains(QStringLiteral("secret-pw")));
        QVERIFY(!fileText(ini).contains(QStringLiteral("c2VjcmV0LXB3"))); // Base64 of the password
    }

    void rememberOffDeletesTheEntry()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("setting.ini"));
        QnFakeCredentialStore store;
        QnLoginCredentials credentials(ini, &store);
        QSignalSpy settled(&credentials, &QnLoginCredentials::settled);
        credentials.saveSignIn(QStringLiteral("13800000001"), true, QStringLiteral("secret-pw"));
        QVERIFY(settled.wait());
        credentials.saveSignIn(QStringLiteral("13800000001"), false, QStringLiteral("secret-pw"));
        QVERIFY(settled.wait());
        QVERIFY(!store.entries().contains(QStringLiteral("quenlo")));
        QCOMPARE(COption(ini).value(QStringLiteral("user"), QStringLiteral("remember")).toBool(), false);
        QVERIFY(!fileText(ini).contains(QStringLiteral("secret-pw")));
    }

    void loadReadsTheStore_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::addColumn<bool>("storeFails");
        QTest::addColumn<QString>("expected");
        QTest::newRow("remember on") << true << false << "secret-pw";
        QTest::newRow("remember off") << false << false << "";
        QTest::newRow("store locked") << true << true << "";
    }
    void loadReadsTheStore()
    {
        QFETCH(bool, remember);
        QFETCH(bool, storeFails);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QnFakeCredentialStore store;
        QnLoginCredentials credentials(dir.filePath(QStringLiteral("setting.ini")), &store);
        QSignalSpy settled(&credentials, &QnLoginCredentials::settled);
        credentials.saveSignIn(QStringLiteral("13800000001"), true, QStringLiteral("secret-pw"));
        QVERIFY(settled.wait());
        if (storeFails)
            store.setFailure(QnCredentialStore::Error::AccessDenied);
        QString read = QStringLiteral("unset");
        credentials.loadRemembered(remember, this, [&read](const QString &password) { read = password; });
        QTRY_VERIFY(read != QLatin1String("unset"));
        QCOMPARE(read, expected);
    }

    void legacyPasswordMovedOnce_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::newRow("remember on") << true;
        QTest::newRow("remember off") << false;
    }
    void legacyPasswordMovedOnce()
    {
        QFETCH(bool, remember);
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("setting.ini"));
        {
            COption option(ini);
            option.setValue(QStringLiteral("user"), QStringLiteral("username"),
                            QStringLiteral("13800000001"));
            option.setValue(QStringLiteral("user"), QStringLiteral("remember"), remember);
            option.setValue(QStringLiteral("user"), QStringLiteral("password"), QStringLiteral("legacy-pw"));
            option.setValue(QStringLiteral("system"), QStringLiteral("name"), QStringLiteral("PC"));
        }
        QnFakeCredentialStore store;
        QnLoginCredentials credentials(ini, &store);
        QString read = QStringLiteral("unset");
        credentials.loadRemembered(remember, this, [&read](const QString &password) { read = password; });
        QTRY_VERIFY(read != QLatin1String("unset"));
        QCOMPARE(read, remember ? QStringLiteral("legacy-pw") : QString());
        QCOMPARE(store.entries().contains(QStringLiteral("quenlo")), remember);
        QVERIFY(!fileText(ini).contains(QStringLiteral("legacy-pw")));
        QVERIFY(!COption(ini).contains(QStringLiteral("user"), QStringLiteral("password")));
        QCOMPARE(COption(ini).value(QStringLiteral("system"), QStringLiteral("name")).toString(),
                 QStringLiteral("PC"));
        QCOMPARE(COption(ini).value(QStringLiteral("user"), QStringLiteral("username")).toString(),
                 QStringLiteral("13800000001"));

        // Once: the second start reads the store and writes nothing.
        const int operations = store.operationCount();
        read = QStringLiteral("unset");
        credentials.loadRemembered(remember, this, [&read](const QString &password) { read = password; });
        QTRY_VERIFY(read != QLatin1String("unset"));
        QCOMPARE(read, remember ? QStringLiteral("legacy-pw") : QString());
        QCOMPARE(store.operationCount(), operations + (remember ? 1 : 0));
    }

    void legacyPasswordLeavesTheFileWhenTheStoreRefuses()
    {
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("setting.ini"));
        COption(ini).setValue(QStringLiteral("user"), QStringLiteral("password"),
                              QStringLiteral("legacy-pw"));
        QnFakeCredentialStore store;
        store.setFailure(QnCredentialStore::Error::NoBackend);
        QnLoginCredentials credentials(ini, &store);
        QSignalSpy settled(&credentials, &QnLoginCredentials::settled);
        credentials.loadRemembered(true, this, {});
        QVERIFY(settled.wait());
        QVERIFY(!fileText(ini).contains(QStringLiteral("legacy-pw")));
    }

    void callbackDroppedWithItsContext()
    {
        QTemporaryDir dir;
        QnFakeCredentialStore store;
        QnLoginCredentials credentials(dir.filePath(QStringLiteral("setting.ini")), &store);
        QSignalSpy settled(&credentials, &QnLoginCredentials::settled);
        bool called = false;
        auto *context = new QObject;
        credentials.loadRemembered(true, context, [&called](const QString &) { called = true; });
        delete context;
        QVERIFY(settled.wait());
        QVERIFY(!called);
    }
};

QTEST_GUILESS_MAIN(TestLoginCredentials)
#include "tst_qnlogincredentials.moc"
