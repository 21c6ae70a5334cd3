// Shots of the login library: the login dialog (password page, remembered accounts, QR code online
// and offline, field and toast messages), the registration and password reset pages at each step,
// the banner and the avatar crop. The account service is the loopback cloud fixture; remembered
// passwords live in an in-memory credential store.
#include "tests/screenshots/QnShooter.h"

#include "platform/keychain/QnFakeCredentialStore.h"
#include "qnloginbase/src/Interface/AccountConfig.h"
#include "qnloginbase/src/Interface/HttpSession.h"
#include "qnloginbase/src/UI/BannerWidget.h"
#include "qnloginbase/src/UI/LoginLibraryWidgets.h"
#include "qnloginbase/src/UI/LoginMain.h"
#include "qnloginbase/src/UI/LoginWidget.h"
#include "qnloginbase/src/UI/PhoneCodePage.h"
#include "qnloginbase/src/UI/QnImageClip.h"
#include "resources/QnResources.h"
#include "tests/fixtures/cloud/QnCloudFixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <QTranslator>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

const QColor kBackdrop(0xD9, 0xDD, 0xE3);

bool waitFor(const std::function<bool()> &done, int msec = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < msec)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

template<typename T> T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QLatin1String(name));
}

void type(QWidget *parent, const char *name, const QString &text)
{
    if (auto *edit = child<QLineEdit>(parent, name))
        edit->setText(text);
}

void click(QWidget *parent, const char *name)
{
    if (auto *button = child<QAbstractButton>(parent, name))
        button->click();
}

/// A press of the left button on button (tab buttons act on press).
void press(QAbstractButton *button)
{
    const QPoint centre = button->rect().center();
    QMouseEvent down(QEvent::MouseButtonPress, centre, button->mapToGlobal(centre), Qt::LeftButton,
                     Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &down);
    QMouseEvent up(QEvent::MouseButtonRelease, centre, button->mapToGlobal(centre), Qt::LeftButton,
                   Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &up);
}

/// The dialog with its toast drawn over it where it shows on the screen.
void shootWithToast(QnShooter &s, const QString &name, QWidget *window, Toast *toast)
{
    window->show();
    QnShooter::settle();
    QImage image = QnShooter::grab(window);
    if (toast && toast->isVisible()) {
        QPainter p(&image);
        p.setOpacity(toast->windowOpacity());
        p.drawImage(toast->pos() - window->pos(), QnShooter::grab(toast));
    }
    s.write(name, QnShooter::onBackdrop(image, kBackdrop));
    if (toast)
        toast->hide();
}

/// A sample photograph-like picture for the avatar crop.
QString samplePicture(const QString &dir)
{
    QImage image(640, 420, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, 420);
    sky.setColorAt(0, QColor(0x8E, 0xC5, 0xFC));
    sky.setColorAt(1, QColor(0xE0, 0xF0, 0xFF));
    p.fillRect(image.rect(), sky);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4C, 0x9A, 0x5B));
    p.drawEllipse(QRect(-120, 300, 900, 300));
    QRadialGradient face(QPointF(320, 200), 90);
    face.setColorAt(0, QColor(0xFF, 0xD9, 0xB3));
    face.setColorAt(1, QColor(0xF0, 0xB4, 0x8A));
    p.setBrush(face);
    p.drawEllipse(QPointF(320, 200), 85, 95);
    p.setBrush(QColor(0x3A, 0x2A, 0x20));
    p.drawChord(QRectF(230, 95, 180, 120), 0, 180 * 16);
    p.drawEllipse(QPointF(290, 200), 8, 8);
    p.drawEllipse(QPointF(350, 200), 8, 8);
    p.end();
    const QString path = dir + QStringLiteral("/sample-photo.png");
    image.save(path);
    return path;
}

} // namespace

void loginShots(QnShooter &s)
{
    QnResources::init();
    QTranslator translator;
    const bool translated = translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN"));
    if (translated)
        QCoreApplication::installTranslator(&translator);

    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("data")).toUtf8());
    QnCloudFixture cloud;
    if (!cloud.listen()) {
        std::fprintf(stderr, "screenshots: cloud fixture did not listen\n");
        return;
    }
    cloud.setCodeLength(4);
    cloud.addAccount(QStringLiteral("13800000001"), QStringLiteral("secret_pw1"));
    HttpSession session;
    session.setGatewayBaseUrl(cloud.gatewayUrl());
    session.setQrIntervals(1000, 600000);
    QnFakeCredentialStore store;

    {
        // No remembered account: the empty list and an empty form.
        AccountConfig config(dir.filePath(QStringLiteral("empty")), &store);
        LoginMain dialog(nullptr, &session, &config);
        if (s.wants(QStringLiteral("LoginMain-password-empty")))
            s.shoot(QStringLiteral("LoginMain-password-empty"), &dialog);
    }

    AccountConfig config(dir.filePath(QStringLiteral("accounts")), &store);
    for (const char *account : {"13912345678", "13700001111", "13800000001"})
        config.saveAccount(QString::fromLatin1(account), QStringLiteral("secret_pw1"), QStringLiteral("true"),
                           QString());
    waitFor([&] { return config.pendingCredentialJobs() == 0; });
    LoginMain dialog(nullptr, &session, &config);
    dialog.refreshHistoryList();
    dialog.show();
    waitFor([&] { return dialog.pendingPasswordLoads() == 0; });
    LoginWidget *page = dialog.loginPage();

    if (s.wants(QStringLiteral("LoginMain-password-remembered")))
        s.shoot(QStringLiteral("LoginMain-password-remembered"), &dialog);
    if (s.wants(QStringLiteral("LoginMain-remembered-second"))) {
        dialog.listWidget()->setCurrentRow(1);
        waitFor([&] { return dialog.pendingPasswordLoads() == 0; });
        auto *eye = child<QPushButton>(page, "PwdLineEditEye");
        if (eye)
            eye->click();
        s.shoot(QStringLiteral("LoginMain-remembered-second"), &dialog);
        if (eye)
            eye->click();
        dialog.listWidget()->setCurrentRow(0);
        waitFor([&] { return dialog.pendingPasswordLoads() == 0; });
    }
    if (s.wants(QStringLiteral("LoginMain-password-phoneError"))) {
        type(page, "lineEditPhone", QStringLiteral("1380000"));
        click(page, "btnLogin");
        s.shoot(QStringLiteral("LoginMain-password-phoneError"), &dialog);
    }
    if (s.wants(QStringLiteral("LoginMain-password-toast"))) {
        type(page, "lineEditPhone", QStringLiteral("13800000001"));
        type(page, "lineEditPwd", QStringLiteral("abc"));
        click(page, "btnLogin");
        shootWithToast(s, QStringLiteral("LoginMain-password-toast"), &dialog, page->toast());
    }
    if (s.wants(QStringLiteral("LoginMain-password-loading"))) {
        cloud.setDelay(QnCloudRoute::kIsUse, 3000);
        type(page, "lineEditPwd", QStringLiteral("secret_pw1"));
        click(page, "btnLogin");
        s.shoot(QStringLiteral("LoginMain-password-loading"), &dialog);
        waitFor([&] { return child<QPushButton>(page, "btnLogin")->isEnabled() || !dialog.isVisible(); },
                8000);
        cloud.setDelay(QnCloudRoute::kIsUse, 0);
        dialog.refreshHistoryList();
        dialog.show();
        waitFor([&] { return dialog.pendingPasswordLoads() == 0; });
    }

    // QR sign-in: a real code from the fixture, then the offline state.
    auto *qrTab = child<QPushButton>(page, "btnQR");
    if (qrTab &&
        (s.wants(QStringLiteral("LoginMain-qr-online")) || s.wants(QStringLiteral("LoginMain-qr-offline")))) {
        const QString before = cloud.lastQrId();
        press(qrTab);
        waitFor([&] { return cloud.lastQrId() != before && !session.qrCodeId().isEmpty(); });
        QnShooter::settle(200);
        if (s.wants(QStringLiteral("LoginMain-qr-online")))
            s.shoot(QStringLiteral("LoginMain-qr-online"), &dialog);
        dialog.setNetworkState(false);
        if (s.wants(QStringLiteral("LoginMain-qr-offline")))
            s.shoot(QStringLiteral("LoginMain-qr-offline"), &dialog);
        if (s.wants(QStringLiteral("LoginMain-qr-offline-toast"))) {
            if (auto *qr = child<QrLabel>(page, "labelQR"))
                emit qr->labelPress();
            shootWithToast(s, QStringLiteral("LoginMain-qr-offline-toast"), &dialog, page->toast());
        }
        dialog.setNetworkState(true);
        session.stopQR();
        press(child<QPushButton>(page, "btnAccount"));
        page->showAccountPage();
    }

    // Registration: step one idle, counting with a message, wrong code; step two with messages.
    emit page->jumpPage(1);
    if (RegisterWidget *reg = dialog.registerPage()) {
        if (s.wants(QStringLiteral("RegisterWidget-step1")))
            s.shoot(QStringLiteral("RegisterWidget-step1"), &dialog);
        type(reg, "regislineEdit", QStringLiteral("13800000001"));
        click(reg, "verCodeBtn");
        waitFor([&] { return !child<QLabel>(reg, "regisMsglabel1")->text().isEmpty(); });
        if (s.wants(QStringLiteral("RegisterWidget-step1-phoneInUse")))
            s.shoot(QStringLiteral("RegisterWidget-step1-phoneInUse"), &dialog);
        reg->resetPage();
        type(reg, "regislineEdit", QStringLiteral("13600002222"));
        click(reg, "verCodeBtn");
        waitFor([&] { return reg->toast()->isVisible(); });
        if (s.wants(QStringLiteral("RegisterWidget-step1-codeSent")))
            shootWithToast(s, QStringLiteral("RegisterWidget-step1-codeSent"), &dialog, reg->toast());
        const QString code = cloud.codeOf(QStringLiteral("13600002222"));
        type(reg, "regisCodelineEdit",
             code == QLatin1String("1111") ? QStringLiteral("2222") : QStringLiteral("1111"));
        click(reg, "resnextBtn");
        waitFor([&] { return !child<QLabel>(reg, "regisMsglabel2")->text().isEmpty(); });
        if (s.wants(QStringLiteral("RegisterWidget-step1-wrongCode")))
            s.shoot(QStringLiteral("RegisterWidget-step1-wrongCode"), &dialog);
        type(reg, "regisCodelineEdit", code);
        click(reg, "resnextBtn");
        waitFor([&] { return child<QWidget>(reg, "passwordWidget")->isVisible(); });
        if (s.wants(QStringLiteral("RegisterWidget-step2")))
            s.shoot(QStringLiteral("RegisterWidget-step2"), &dialog);
        type(reg, "settinglineEdit", QStringLiteral("abc-1"));
        type(reg, "settingAgainlineEdit", QStringLiteral("abc-1"));
        click(reg, "checkBox");
        click(reg, "resBtn");
        if (s.wants(QStringLiteral("RegisterWidget-step2-format")))
            s.shoot(QStringLiteral("RegisterWidget-step2-format"), &dialog);
        type(reg, "settinglineEdit", QStringLiteral("new_pw_12"));
        type(reg, "settingAgainlineEdit", QStringLiteral("New_pw_12"));
        click(reg, "resBtn");
        if (s.wants(QStringLiteral("RegisterWidget-step2-mismatch")))
            s.shoot(QStringLiteral("RegisterWidget-step2-mismatch"), &dialog);
        reg->codeButton()->reset();
        click(reg, "btnLogin");
    }

    // Password reset: step one, unknown number, step two with its own title.
    emit page->jumpPage(2);
    if (ForgetPwdWidget *forget = dialog.forgetPage()) {
        if (s.wants(QStringLiteral("ForgetPwdWidget-step1")))
            s.shoot(QStringLiteral("ForgetPwdWidget-step1"), &dialog);
        type(forget, "regislineEdit", QStringLiteral("13600003333"));
        click(forget, "verCodeBtn");
        waitFor([&] { return !child<QLabel>(forget, "regisMsglabel1")->text().isEmpty(); });
        if (s.wants(QStringLiteral("ForgetPwdWidget-step1-notRegistered")))
            s.shoot(QStringLiteral("ForgetPwdWidget-step1-notRegistered"), &dialog);
        forget->resetPage();
        type(forget, "regislineEdit", QStringLiteral("13800000001"));
        click(forget, "verCodeBtn");
        waitFor([&] { return !cloud.codeOf(QStringLiteral("13800000001")).isEmpty(); });
        type(forget, "regisCodelineEdit", cloud.codeOf(QStringLiteral("13800000001")));
        click(forget, "resnextBtn");
        waitFor([&] { return child<QWidget>(forget, "passwordWidget")->isVisible(); });
        type(forget, "settinglineEdit", QStringLiteral("fresh_pw9"));
        type(forget, "settingAgainlineEdit", QStringLiteral("fresh_pw9"));
        if (s.wants(QStringLiteral("ForgetPwdWidget-step2")))
            s.shoot(QStringLiteral("ForgetPwdWidget-step2"), &dialog);
        click(forget, "resBtn");
        waitFor([&] { return forget->toast()->isVisible(); });
        if (s.wants(QStringLiteral("ForgetPwdWidget-done")))
            shootWithToast(s, QStringLiteral("ForgetPwdWidget-done"), &dialog, forget->toast());
        forget->codeButton()->reset();
    }
    dialog.hide();

    if (s.wants(QStringLiteral("BannerWidget"))) {
        BannerWidget banner;
        banner.resize(342, 600);
        for (int i = 1; i <= 3; ++i)
            banner.addImage(QStringLiteral(":/RiDovud/res/banner/banner_%1.svg").arg(i));
        banner.onImageChangeTimeout();
        banner.fadeAnimation()->setCurrentTime(500);
        s.shoot(QStringLiteral("BannerWidget-fading"), &banner);
        banner.fadeAnimation()->setCurrentTime(1000);
        s.shoot(QStringLiteral("BannerWidget-second"), &banner);
    }

    if (s.wants(QStringLiteral("QnImageClip"))) {
        QnImageClip clip;
        clip.initUI();
        clip.setImage(samplePicture(dir.path()));
        clip.setFixedSize(610, 480);
        s.shoot(QStringLiteral("QnImageClip-picture"), &clip);
        clip.hide();
        QnImageClip refused;
        refused.initUI();
        refused.setImage(dir.filePath(QStringLiteral("missing.png")));
        refused.setFixedSize(610, 480);
        s.shoot(QStringLiteral("QnImageClip-refused"), &refused);
        refused.hide();
    }

    if (translated)
        QCoreApplication::removeTranslator(&translator);
}
