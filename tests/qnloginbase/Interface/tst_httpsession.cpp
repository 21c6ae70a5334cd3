// HttpSession against the account-service fixture: exact requests, the reply and fault table, the
// four-step password login, the QR login, the phone-code flows, redaction and late replies.

#include "common/log/QnLog.h"
#include "qnloginbase/src/Interface/HttpSession.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const QString kPhone = "13800000001";
const QString kPassword = "Pw-unique-7e3f9a";
} // namespace

class TestHttpSession : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QnCloudFixture> m_cloud;
    std::unique_ptr<HttpSession> m_session;
    QTemporaryDir m_home;

    // Waits for the one result of a login and checks that no second one follows.
    static QList<QVariant> oneResult(QSignalSpy &spy, int timeoutMs = 8000)
    {
        if (spy.isEmpty() && !spy.wait(timeoutMs))
            return {};
        QTest::qWait(30);
        if (spy.size() != 1)
            return {QVariant("more than one result")};
        return spy.takeFirst();
    }
    static QByteArray compact(const QJsonObject &o)
    {
        return QJsonDocument(o).toJson(QJsonDocument::Compact);
    }
    void checkRequest(const QnHttpRecordedRequest &r, const QByteArray &method, const QString &path,
                      const QByteArray &body, const QByteArray &token);

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void passwordLoginRequests();
    void loginReplies_data();
    void loginReplies();
    void notRegisteredFlagClearedPerCheck();
    void headIconRelayedOncePerLogin();
    void qrLoginStopsAfterToken();
    void qrIdRenewedAfterCountdown();
    void qrFailedRenewalKeepsOldId();
    void verifyCode_data();
    void verifyCode();
    void resetFlow();
    void registerFlow();
    void secretsNotLogged();
    void replyAfterSessionGoneDropped();
};

void TestHttpSession::initTestCase()
{
    QVERIFY(m_home.isValid());
    qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
}

void TestHttpSession::init()
{
    m_cloud = std::make_unique<QnCloudFixture>();
    QVERIFY(m_cloud->listen());
    m_cloud->addAccount(kPhone, kPassword);
    m_session = std::make_unique<HttpSession>();
    m_session->setGatewayBaseUrl(m_cloud->gatewayUrl());
    m_session->setTransferTimeout(600);
}

void TestHttpSession::cleanup()
{
    m_session.reset();
    m_cloud.reset();
    QCoreApplication::instance()->setProperty("token", QVariant());
}

void TestHttpSession::checkRequest(const QnHttpRecordedRequest &r, const QByteArray &method,
                                   const QString &path, const QByteArray &body, const QByteArray &token)
{
    QCOMPARE(r.method, method);
    QCOMPARE(r.path, "/gateway" + path);
    QCOMPARE(r.header("content-type"), QByteArray("application/json"));
    QCOMPARE(r.header("device_type"), QByteArray("client"));
    if (token.isNull()) {
        QVERIFY(!r.hasHeader("access_token"));
    } else {
        QVERIFY(r.hasHeader("access_token"));
        QCOMPARE(r.header("access_token"), token);
    }
    QCOMPARE(r.body, body);
}

void TestHttpSession::passwordLoginRequests()
{
    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    m_session->checkAccount(kPhone, kPassword);
    const QList<QVariant> r = oneResult(result);
    QCOMPARE(r.value(0).toBool(), true);
    QCOMPARE(r.value(1).toString(), QString());

    const auto account = m_cloud->account(kPhone);
    const QString token = m_cloud->tokenOf(kPhone);
    QVERIFY(!token.isEmpty());
    // The service's requests; the head image download runs beside step 4.
    QList<QnHttpRecordedRequest> all;
    for (const QnHttpRecordedRequest &request : m_cloud->requests()) {
        if (!request.path.startsWith("/gateway/files/"))
            all.append(request);
    }
    QCOMPARE(all.size(), 4);
    // Step 1: is the number registered?
    checkRequest(all[0], "POST", QnCloudRoute::kIsUse, R"({"username":"13800000001"})", QByteArray());
    // Step 2: device authority.
    checkRequest(all[1], "POST", QnCloudRoute::kDeviceTypeLogin,
                 R"({"loginType":"1","username":"13800000001"})", QByteArray());
    // Step 3: the password login with the library's platform code.
    checkRequest(all[2], "POST", QnCloudRoute::kLogin,
                 compact({{"password", kPassword}, {"platformCode", "203"}, {"username", kPhone}}),
                 QByteArray());
    // Step 4: personal information with the new token.
    checkRequest(all[3], "POST", QnCloudRoute::kPersonalInfo, compact({{"userId", account.uuid}}),
                 token.toLatin1());

    QCOMPARE(m_session->token(), token);
    QCOMPARE(QCoreApplication::instance()->property("token").toString(), token);
    QCOMPARE(m_session->user().uuid, account.uuid);
    QCOMPARE(m_session->user().name, account.name);
    QCOMPARE(m_session->user().nickname, account.nickname);
    QCOMPARE(m_session->user().username, kPhone);
    QCOMPARE(m_session->user().role, 1);
    QCOMPARE(m_session->user().headPath, m_cloud->gatewayUrl() + account.headPath);
    QCOMPARE(m_session->accountNotRegistered(), 0);
}

void TestHttpSession::loginReplies_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QnCloudFixture::Fault>("fault");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("err");
    QTest::addColumn<int>("requests"); // requests the login sent

    using F = QnCloudFixture::Fault;
    const QString abnormal = "Login abnormal, please try again";
    const QString pwError = "Account password error";
    const QString isUse = QnCloudRoute::kIsUse;
    const QString device = QnCloudRoute::kDeviceTypeLogin;
    const QString login = QnCloudRoute::kLogin;
    const QString info = QnCloudRoute::kPersonalInfo;
    QTest::newRow("unregistered number") << isUse << F::None << "13900000009" << kPassword << false
                                         << "Mobile phone number is not registered" << 1;
    QTest::newRow("step 1 not json") << isUse << F::NotJson << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 1 code 500") << isUse << F::Code500 << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 1 code 2008")
        << isUse << F::Code2008 << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 1 code as string")
        << isUse << F::CodeAsString << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 1 no data goes on") << isUse << F::NoData << kPhone << kPassword << true << "" << 4;
    QTest::newRow("step 1 wrong-typed data goes on")
        << isUse << F::WrongTypedData << kPhone << kPassword << true << "" << 4;
    QTest::newRow("step 1 http 500") << isUse << F::HttpError << kPhone << kPassword << false << abnormal
                                     << 1;
    QTest::newRow("step 1 no answer")
        << isUse << F::NoAnswer << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 1 redirect") << isUse << F::Redirect << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 1 404") << isUse << F::NotFound << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 1 dropped") << isUse << F::Drop << kPhone << kPassword << false << abnormal << 1;
    QTest::newRow("step 2 refused") << device << F::Code500 << kPhone << kPassword << false << pwError << 2;
    QTest::newRow("step 2 not json") << device << F::NotJson << kPhone << kPassword << false << pwError << 2;
    QTest::newRow("step 3 code 2008") << login << F::Code2008 << kPhone << kPassword << false
                                      << "The account does not exist or has been deleted" << 3;
    QTest::newRow("step 3 code 500") << login << F::Code500 << kPhone << kPassword << false << pwError << 3;
    QTest::newRow("step 3 wrong password") << login << F::None << kPhone << "wrong" << false << pwError << 3;
    QTest::newRow("step 3 code as string")
        << login << F::CodeAsString << kPhone << kPassword << false << pwError << 3;
    QTest::newRow("step 3 dropped") << login << F::Drop << kPhone << kPassword << false << pwError << 3;
    QTest::newRow("step 3 no data") << login << F::NoData << kPhone << kPassword << false << abnormal << 3;
    QTest::newRow("step 3 wrong-typed data")
        << login << F::WrongTypedData << kPhone << kPassword << false << abnormal << 3;
    QTest::newRow("step 4 refused") << info << F::Code500 << kPhone << kPassword << false << pwError << 4;
    QTest::newRow("step 4 no answer") << info << F::NoAnswer << kPhone << kPassword << false << pwError << 4;
}

void TestHttpSession::loginReplies()
{
    QFETCH(QString, route);
    QFETCH(QnCloudFixture::Fault, fault);
    QFETCH(QString, phone);
    QFETCH(QString, password);
    QFETCH(bool, ok);
    QFETCH(QString, err);
    QFETCH(int, requests);

    if (fault != QnCloudFixture::Fault::None)
        m_cloud->setFault(route, fault);
    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    m_session->checkAccount(phone, password);
    const QList<QVariant> r = oneResult(result);
    QCOMPARE(r.size(), 2);
    QCOMPARE(r.value(0).toBool(), ok);
    QCOMPARE(r.value(1).toString(), err);
    const int sent = m_cloud->requests().size() - m_cloud->requestCount(QnCloudRoute::kFiles);
    if (fault == QnCloudFixture::Fault::Drop) // the network layer resends a request whose connection dropped
        QVERIFY2(sent > requests && sent <= requests + 2, qPrintable(QString::number(sent)));
    else
        QCOMPARE(sent, requests);
    if (!ok) {
        QVERIFY(m_session->token().isEmpty());
        QVERIFY(QCoreApplication::instance()->property("token").toString().isEmpty());
    }
    if (route == QLatin1String(QnCloudRoute::kPersonalInfo)) // a failed step 4 keeps the user
        QCOMPARE(m_session->user().uuid, m_cloud->account(kPhone).uuid);
}

void TestHttpSession::notRegisteredFlagClearedPerCheck()
{
    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    m_session->checkAccount("13900000009", kPassword);
    QCOMPARE(oneResult(result).value(0).toBool(), false);
    QCOMPARE(m_session->accountNotRegistered(), 1);

    m_cloud->setFault(QnCloudRoute::kLogin, QnCloudFixture::Fault::Code500, 1);
    m_session->checkAccount(kPhone, kPassword);
    QCOMPARE(oneResult(result).value(1).toString(), QString("Account password error"));
    QCOMPARE(m_session->accountNotRegistered(), 0);
}

void TestHttpSession::headIconRelayedOncePerLogin()
{
    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    QSignalSpy icon(m_session.get(), &HttpSession::updateHeadIcon);
    for (int i = 0; i < 3; ++i) {
        icon.clear();
        m_session->checkAccount(kPhone, kPassword);
        QCOMPARE(oneResult(result).value(0).toBool(), true);
        QVERIFY(icon.size() == 1 || icon.wait(5000));
        QTest::qWait(50);
        QCOMPARE(icon.size(), 1);
        QCOMPARE(icon.first().first().toString(), m_cloud->account(kPhone).uuid);
    }
    QVERIFY(m_session->user().localHeadPath.endsWith("/imageCache/via/" + m_cloud->account(kPhone).uuid +
                                                     ".png"));
}

void TestHttpSession::qrLoginStopsAfterToken()
{
    m_session->setQrIntervals(1000, 20);
    QSignalSpy ids(m_session.get(), &HttpSession::loginQRRs);
    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    m_session->startQR();
    QVERIFY(ids.wait(5000));
    const QString id = ids.first().first().toString();
    QCOMPARE(id, m_cloud->lastQrId());
    QCOMPARE(m_session->qrCodeId(), id);
    QCOMPARE(m_session->countdown(), 60);

    // Unconfirmed: polling goes on, nothing signs in.
    QTRY_VERIFY_WITH_TIMEOUT(m_cloud->requestCount(QnCloudRoute::kQrLoginStatus) >= 3, 5000);
    QCOMPARE(result.size(), 0);
    const QList<QnHttpRecordedRequest> create = m_cloud->requests(QnCloudRoute::kCreateQrCodeId);
    QCOMPARE(create.size(), 1);
    checkRequest(create.first(), "GET", QnCloudRoute::kCreateQrCodeId, QByteArray(), QByteArray(""));
    checkRequest(m_cloud->requests(QnCloudRoute::kQrLoginStatus).first(), "POST",
                 QnCloudRoute::kQrLoginStatus, compact({{"qrCodeId", id}}), QByteArray());

    m_cloud->confirmQr(id, kPhone);
    const QList<QVariant> r = oneResult(result);
    QCOMPARE(r.value(0).toBool(), true);
    QCOMPARE(m_session->token(), m_cloud->tokenOf(kPhone));
    QCOMPARE(m_session->user().uuid, m_cloud->account(kPhone).uuid);
    QVERIFY(!m_session->isQrPolling());
    QVERIFY(m_session->qrCodeId().isEmpty());

    // No poll after the success signs in again.
    const int polls = m_cloud->requestCount(QnCloudRoute::kQrLoginStatus);
    QTest::qWait(200);
    QVERIFY(m_cloud->requestCount(QnCloudRoute::kQrLoginStatus) <= polls + 1);
    QCOMPARE(result.size(), 0);
    QCOMPARE(m_cloud->requestCount(QnCloudRoute::kPersonalInfo), 1);
}

void TestHttpSession::qrIdRenewedAfterCountdown()
{
    m_session->setQrIntervals(3, 1000);
    QSignalSpy ids(m_session.get(), &HttpSession::loginQRRs);
    m_session->startQR();
    QVERIFY(ids.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(ids.size(), 2, 5000);
    QVERIFY(ids.at(0).first().toString() != ids.at(1).first().toString());
    QCOMPARE(m_session->qrCodeId(), ids.at(1).first().toString());
    m_session->stopQR();
    QVERIFY(!m_session->isQrPolling());
    QVERIFY(m_session->qrCodeId().isEmpty());
}

void TestHttpSession::qrFailedRenewalKeepsOldId()
{
    m_session->setQrIntervals(2, 15);
    QSignalSpy ids(m_session.get(), &HttpSession::loginQRRs);
    m_session->startQR();
    QVERIFY(ids.wait(5000));
    const QString id = ids.first().first().toString();
    m_cloud->setFault(QnCloudRoute::kCreateQrCodeId, QnCloudFixture::Fault::Code500);
    QTRY_VERIFY_WITH_TIMEOUT(m_cloud->requestCount(QnCloudRoute::kCreateQrCodeId) == 2, 5000);
    m_cloud->clearRequests();
    QTest::qWait(300);
    // The countdown stopped: no new id is asked for, and the old one is still polled.
    QCOMPARE(m_cloud->requestCount(QnCloudRoute::kCreateQrCodeId), 0);
    const auto polls = m_cloud->requests(QnCloudRoute::kQrLoginStatus);
    QVERIFY(polls.size() >= 3);
    QCOMPARE(QJsonDocument::fromJson(polls.last().body).object().value("qrCodeId").toString(), id);
    QCOMPARE(ids.size(), 1);

    // Without an id nothing is polled.
    m_session->stopQR();
    QTest::qWait(50);
    m_cloud->clearRequests();
    m_session->startQR(); // the id request fails: still no id
    QTest::qWait(200);
    QCOMPARE(m_cloud->requestCount(QnCloudRoute::kQrLoginStatus), 0);
}

void TestHttpSession::verifyCode_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("route");
    QTest::addColumn<QnCloudFixture::Fault>("fault");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("err");
    QTest::addColumn<QString>("codePath"); // the code request sent, "" for none

    using F = QnCloudFixture::Fault;
    const int reset = int(VerifyType::ForgetPassword);
    const int reg = int(VerifyType::Register);
    const QString isUse = QnCloudRoute::kIsUse;
    const QString resetPath = QString(QnCloudRoute::kForgetPassCode) + "/" + kPhone;
    const QString regPath = QString(QnCloudRoute::kRegisterPhoneCaptcha) + "/13900000009";
    QTest::newRow("reset, registered") << reset << kPhone << isUse << F::None << true << "" << resetPath;
    QTest::newRow("reset, not registered")
        << reset << "13900000009" << isUse << F::None << false << "Mobile phone number is not registered"
        << "";
    QTest::newRow("register, new number")
        << reg << "13900000009" << isUse << F::None << true << "" << regPath;
    QTest::newRow("register, number in use") << reg << kPhone << isUse << F::None << false << "Phone is use"
                                             << "";
    QTest::newRow("check fails") << reset << kPhone << isUse << F::Code500 << false
                                 << "Captcha retrieval failed"
                                 << "";
    QTest::newRow("check not json") << reg << "13900000009" << isUse << F::NotJson << false
                                    << "Captcha retrieval failed"
                                    << "";
    QTest::newRow("code request refused") << reset << kPhone << QString(QnCloudRoute::kForgetPassCode)
                                          << F::Code500 << false << "service error" << resetPath;
    QTest::newRow("code request not json")
        << reg << "13900000009" << QString(QnCloudRoute::kRegisterPhoneCaptcha) << F::NotJson << false
        << "json format error" << regPath;
}

void TestHttpSession::verifyCode()
{
    QFETCH(int, type);
    QFETCH(QString, phone);
    QFETCH(QString, route);
    QFETCH(QnCloudFixture::Fault, fault);
    QFETCH(bool, ok);
    QFETCH(QString, err);
    QFETCH(QString, codePath);

    if (fault != QnCloudFixture::Fault::None)
        m_cloud->setFault(route, fault);
    QSignalSpy rs(m_session.get(), &HttpSession::getVerifyCodeRs);
    m_session->getVerifyCode(VerifyType(type), phone);
    const QList<QVariant> r = oneResult(rs);
    QCOMPARE(r.size(), 3);
    QCOMPARE(r.value(0).value<VerifyType>(), VerifyType(type));
    QCOMPARE(r.value(1).toBool(), ok);
    QCOMPARE(r.value(2).toString(), err);

    const QList<QnHttpRecordedRequest> all = m_cloud->requests();
    checkRequest(all.first(), "POST", QnCloudRoute::kIsUse, compact({{"username", phone}}), QByteArray());
    if (codePath.isEmpty()) {
        QCOMPARE(all.size(), 1);
    } else {
        QCOMPARE(all.size(), 2);
        checkRequest(all.at(1), "GET", codePath, QByteArray(), QByteArray(""));
    }
}

void TestHttpSession::resetFlow()
{
    const VerifyType reset = VerifyType::ForgetPassword;
    QSignalSpy got(m_session.get(), &HttpSession::getVerifyCodeRs);
    QSignalSpy checked(m_session.get(), &HttpSession::checkVerifyCodeRs);
    QSignalSpy set(m_session.get(), &HttpSession::setUserPwdRs);
    m_session->getVerifyCode(reset, kPhone);
    QCOMPARE(oneResult(got).value(1).toBool(), true);
    const QString code = m_cloud->codeOf(kPhone);
    QVERIFY(!code.isEmpty());

    m_session->checkVerifyCode(reset, kPhone, "000000");
    QCOMPARE(oneResult(checked).value(2).toString(), QString("Captcha error"));
    m_cloud->clearRequests();
    m_session->checkVerifyCode(reset, kPhone, code);
    QCOMPARE(oneResult(checked).value(1).toBool(), true);
    checkRequest(m_cloud->requests().first(), "POST", QnCloudRoute::kCheckForgetPasswordCode,
                 compact({{"code", code}, {"username", kPhone}}), QByteArray());

    m_session->setUserPwd(reset, kPhone, "New-pw-1", "999999");
    QList<QVariant> r = oneResult(set);
    QCOMPARE(r.value(1).toBool(), false);
    QCOMPARE(r.value(2).toString(), QString("wrong code")); // the service's own message
    m_cloud->clearRequests();
    m_session->setUserPwd(reset, kPhone, "New-pw-1", code);
    QCOMPARE(oneResult(set).value(1).toBool(), true);
    checkRequest(m_cloud->requests().first(), "POST", QnCloudRoute::kForgetPassUpdate,
                 compact({{"code", code}, {"password", "New-pw-1"}, {"username", kPhone}}), QByteArray());

    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    m_session->checkAccount(kPhone, "New-pw-1");
    QCOMPARE(oneResult(result).value(0).toBool(), true);
}

void TestHttpSession::registerFlow()
{
    const VerifyType reg = VerifyType::Register;
    const QString phone = "13900000009";
    QSignalSpy got(m_session.get(), &HttpSession::getVerifyCodeRs);
    QSignalSpy checked(m_session.get(), &HttpSession::checkVerifyCodeRs);
    QSignalSpy set(m_session.get(), &HttpSession::setUserPwdRs);
    m_session->getVerifyCode(reg, phone);
    QCOMPARE(oneResult(got).value(1).toBool(), true);
    const QString code = m_cloud->codeOf(phone);

    m_cloud->clearRequests();
    m_session->checkVerifyCode(reg, phone, code);
    QCOMPARE(oneResult(checked).value(1).toBool(), true);
    checkRequest(m_cloud->requests().first(), "POST", QnCloudRoute::kCheckRegisterCode,
                 compact({{"code", code}, {"username", phone}}), QByteArray());

    m_cloud->clearRequests();
    m_session->setUserPwd(reg, phone, "Reg-pw-2", code);
    QCOMPARE(oneResult(set).value(1).toBool(), true);
    checkRequest(m_cloud->requests().first(), "POST", QnCloudRoute::kRegisterPhone,
                 compact({{"captcha", code}, {"password", "Reg-pw-2"}, {"pfId", "11"}, {"username", phone}}),
                 QByteArray());
    QVERIFY(m_cloud->hasAccount(phone));

    m_session->setUserPwd(reg, phone, "Reg-pw-2", code);
    const QList<QVariant> r = oneResult(set);
    QCOMPARE(r.value(1).toBool(), false);
    QCOMPARE(r.value(2).toString(), QString("The phone number has been registered"));
}

void TestHttpSession::secretsNotLogged()
{
    const QString logFile = m_home.filePath("session.log");
    QnLog::install(logFile);
    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    QSignalSpy got(m_session.get(), &HttpSession::getVerifyCodeRs);
    QSignalSpy set(m_session.get(), &HttpSession::setUserPwdRs);
    m_session->checkAccount(kPhone, kPassword);
    QCOMPARE(oneResult(result).value(0).toBool(), true);
    const QString passwordToken = m_session->token();

    m_session->setQrIntervals(1000, 20);
    QSignalSpy ids(m_session.get(), &HttpSession::loginQRRs);
    m_session->startQR();
    QVERIFY(ids.wait(5000));
    const QString qrId = ids.first().first().toString();
    m_cloud->confirmQr(qrId, kPhone);
    QCOMPARE(oneResult(result).value(0).toBool(), true);
    const QString qrToken = m_session->token();

    m_session->getVerifyCode(VerifyType::ForgetPassword, kPhone);
    QCOMPARE(oneResult(got).value(1).toBool(), true);
    const QString code = m_cloud->codeOf(kPhone);
    m_session->setUserPwd(VerifyType::ForgetPassword, kPhone, "Reset-pw-5a5a", code);
    QCOMPARE(oneResult(set).value(1).toBool(), true);
    QnLog::uninstall();

    QFile file(logFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray log = file.readAll();
    QVERIFY2(log.contains("step3:") && log.contains("para:"), "the session's trace is in the log");
    for (const QString &secret : {kPassword, passwordToken, qrToken, qrId, code, QString("Reset-pw-5a5a")}) {
        QVERIFY(!secret.isEmpty());
        QVERIFY2(!log.contains(secret.toUtf8()), qPrintable("secret in the log: " + secret.left(3)));
        QVERIFY(!log.contains(secret.toUtf8().toBase64()));
    }
}

void TestHttpSession::replyAfterSessionGoneDropped()
{
    QObject observer;
    int results = 0;
    m_cloud->setDelay(QnCloudRoute::kIsUse, 150);
    connect(m_session.get(), &HttpSession::loginResult, &observer, [&] { ++results; });
    m_session->checkAccount(kPhone, kPassword);
    QTRY_COMPARE_WITH_TIMEOUT(m_cloud->requestCount(QnCloudRoute::kIsUse), 1, 3000);
    m_session.reset(); // the answer comes 150 ms after the request
    QTest::qWait(300);
    QCOMPARE(results, 0);

    // The same with a head image download in flight.
    m_session = std::make_unique<HttpSession>();
    m_session->setGatewayBaseUrl(m_cloud->gatewayUrl());
    m_cloud->setDelay(QnCloudRoute::kFiles, 200);
    QSignalSpy result(m_session.get(), &HttpSession::loginResult);
    m_session->checkAccount(kPhone, kPassword);
    QVERIFY(result.wait(5000));
    QTRY_COMPARE_WITH_TIMEOUT(m_cloud->requestCount(QnCloudRoute::kFiles), 1, 3000);
    m_session.reset();
    QTest::qWait(400);
}

QTEST_GUILESS_MAIN(TestHttpSession)
#include "tst_httpsession.moc"
