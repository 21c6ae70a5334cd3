// The credential store: the Secret Service backend (a private gnome-keyring) and the fake.

#include "platform/keychain/QnCredentialStore.h"
#include "platform/keychain/QnFakeCredentialStore.h"

#include <QPointer>
#include <QtTest>

#include <optional>

using Error = QnCredentialStore::Error;

class TestCredentialStore : public QObject
{
    Q_OBJECT
private:
    struct Read
    {
        Error error = Error::Other;
        QString secret;
    };
    static Read read(QnCredentialStore &store, const QString &key)
    {
        std::optional<Read> result;
        store.readSecret(key, nullptr, [&](Error e, const QString &s) { result = Read{e, s}; });
        if (!QTest::qWaitFor([&] { return result.has_value(); }, 10000))
            return Read{};
        return *result;
    }
    static Error write(QnCredentialStore &store, const QString &key, const QString &secret)
    {
        std::optional<Error> result;
        store.writeSecret(key, secret, nullptr, [&](Error e) { result = e; });
        return QTest::qWaitFor([&] { return result.has_value(); }, 10000) ? *result : Error::Other;
    }
    static Error remove(QnCredentialStore &store, const QString &key)
    {
        std::optional<Error> result;
        store.removeSecret(key, nullptr, [&](Error e) { result = e; });
        return QTest::qWaitFor([&] { return result.has_value(); }, 10000) ? *result : Error::Other;
    }

private Q_SLOTS:
    void roundTrip_data();
    void roundTrip();
    void callbackDroppedWithContext();
    void fakeFailures();
};

void TestCredentialStore::roundTrip_data()
{
    QTest::addColumn<bool>("real");
    QTest::newRow("secret service") << true;
    QTest::newRow("fake") << false;
}

void TestCredentialStore::roundTrip()
{
    QFETCH(bool, real);
    std::unique_ptr<QnCredentialStore> store;
    if (real)
        store = QnCredentialStore::create("qnlynclient-test");
    else
        store = std::make_unique<QnFakeCredentialStore>();

    const QString key = "loginbase/13800000001";
    QCOMPARE(read(*store, key).error, Error::NotFound);
    QCOMPARE(write(*store, key, "s3cr3t-密码"), Error::None);
    Read r = read(*store, key);
    QCOMPARE(r.error, Error::None);
    QCOMPARE(r.secret, QString("s3cr3t-密码"));
    QCOMPARE(write(*store, key, "second"), Error::None);
    QCOMPARE(read(*store, key).secret, QString("second"));
    QCOMPARE(remove(*store, key), Error::None);
    r = read(*store, key);
    QCOMPARE(r.error, Error::NotFound);
    QVERIFY(r.secret.isEmpty());
    const Error again = remove(*store, key); // the Secret Service reports no error here
    QVERIFY(again == Error::None || again == Error::NotFound);
}

void TestCredentialStore::callbackDroppedWithContext()
{
    std::unique_ptr<QnCredentialStore> store = QnCredentialStore::create("qnlynclient-test");
    QCOMPARE(write(*store, "k", "v"), Error::None);
    int called = 0;
    auto *context = new QObject;
    store->readSecret("k", context, [&](Error, const QString &) { ++called; });
    delete context;
    // A later job on the same store finishing shows the first one has finished too.
    QCOMPARE(read(*store, "k").secret, QString("v"));
    QTest::qWait(50);
    QCOMPARE(called, 0);
    QCOMPARE(remove(*store, "k"), Error::None);
}

void TestCredentialStore::fakeFailures()
{
    QnFakeCredentialStore fake;
    QCOMPARE(write(fake, "k", "v"), Error::None);
    fake.setFailure(Error::AccessDenied);
    const Read r = read(fake, "k");
    QCOMPARE(r.error, Error::AccessDenied);
    QVERIFY(r.secret.isEmpty());
    QCOMPARE(write(fake, "k", "w"), Error::AccessDenied);
    fake.setFailure(Error::None);
    QCOMPARE(read(fake, "k").secret, QString("v"));
}

QTEST_GUILESS_MAIN(TestCredentialStore)
#include "tst_credentialstore.moc"
