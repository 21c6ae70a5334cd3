// Shots of the client's account pages and dialogs. Sample data only; nothing here touches the
// network (no button that sends is pressed; states are typed in or set as a reply would set them).
#include "tests/screenshots/QnShooter.h"

#include "client/ui/account/QnHeadImageCrop.h"
#include "client/ui/account/QnLynHeadButton.h"
#include "client/ui/account/QnLynLoginWidget.h"
#include "client/ui/account/QnLynModifyNameDialog.h"
#include "client/ui/account/QnLynModifyPasswordDialog.h"
#include "client/ui/account/QnLynModifyPhoneNum.h"
#include "client/ui/account/QnLynPersonalCenterWidget.h"
#include "client/ui/account/QnLynRegisterWidget.h"
#include "client/ui/account/QnLynUserAgreementWidget.h"
#include "platform/keychain/QnFakeCredentialStore.h"
#include "resources/QnResources.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <memory>

namespace {

const QColor kWhite(Qt::white);

template<typename T> T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QLatin1String(name));
}

void typeInto(QWidget *w, const char *name, const QString &text)
{
    if (auto *edit = child<QLineEdit>(w, name)) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }
}

void setText(QWidget *w, const char *name, const QString &text)
{
    if (auto *label = child<QLabel>(w, name))
        label->setText(text);
    else if (auto *button = child<QPushButton>(w, name))
        button->setText(text);
}

// A drawn head picture: a warm gradient disc with a teacher's initial.
QString sampleHead(const QTemporaryDir &dir)
{
    QImage image(240, 240, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 240, 240);
    g.setColorAt(0, QColor(0xF2, 0xB8, 0x8C));
    g.setColorAt(1, QColor(0xDE, 0x6F, 0x6F));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::white);
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(120);
    p.setFont(font);
    p.drawText(image.rect(), Qt::AlignCenter, QStringLiteral("王"));
    p.end();
    const QString path = dir.filePath(QStringLiteral("head.png"));
    image.save(path);
    return path;
}

// A drawn classroom photo for the crop dialog.
QString samplePhoto(const QTemporaryDir &dir)
{
    QImage image(800, 560, QImage::Format_ARGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, 560);
    sky.setColorAt(0, QColor(0x9C, 0xC9, 0xF0));
    sky.setColorAt(1, QColor(0xF6, 0xE7, 0xC8));
    p.fillRect(image.rect(), sky);
    p.setBrush(QColor(0x5E, 0x8C, 0x5A));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(200, 620), 420, 220);
    p.setBrush(QColor(0xDE, 0x6F, 0x6F));
    p.drawEllipse(QPoint(400, 260), 90, 90);
    p.setBrush(QColor(0xFF, 0xE0, 0x8A));
    p.drawEllipse(QPoint(660, 110), 50, 50);
    p.end();
    const QString path = dir.filePath(QStringLiteral("photo.png"));
    image.save(path);
    return path;
}

void loginShots(QnShooter &shooter, QnCredentialStore *store)
{
    if (shooter.wants(QStringLiteral("QnLynLoginWidget-empty"))) {
        QnLynLoginWidget page;
        page.setCredentialStore(store);
        shooter.shoot(QStringLiteral("QnLynLoginWidget-empty"), &page, kWhite);
    }
    if (shooter.wants(QStringLiteral("QnLynLoginWidget-filled"))) {
        QnLynLoginWidget page;
        page.setCredentialStore(store);
        page.show();
        typeInto(&page, "accountLineEdit", QStringLiteral("13800000001"));
        typeInto(&page, "passwordLineEdit", QStringLiteral("secret-pw"));
        child<QCheckBox>(&page, "checkBox")->setChecked(true);
        shooter.shoot(QStringLiteral("QnLynLoginWidget-filled"), &page, kWhite);
        QTest::mouseClick(child<QLabel>(&page, "passStatuslabel"), Qt::LeftButton);
        shooter.shoot(QStringLiteral("QnLynLoginWidget-password-shown"), &page, kWhite);
    }
    if (shooter.wants(QStringLiteral("QnLynLoginWidget-format-error"))) {
        QnLynLoginWidget page;
        page.setCredentialStore(store);
        page.show();
        typeInto(&page, "accountLineEdit", QStringLiteral("12012345678"));
        typeInto(&page, "passwordLineEdit", QStringLiteral("secret-pw"));
        QTest::mouseClick(child<QPushButton>(&page, "loginBtn"),
                          Qt::LeftButton); // the format check sends nothing
        shooter.shoot(QStringLiteral("QnLynLoginWidget-format-error"), &page, kWhite);
        setText(&page, "accountMsgLabel",
                QCoreApplication::translate("QnLynLoginWidget", "Mobile number not registered"));
        shooter.shoot(QStringLiteral("QnLynLoginWidget-not-registered"), &page, kWhite);
    }
}

void registerShots(QnShooter &shooter)
{
    for (int type : {1, 0}) {
        const QString base = type == 1 ? QStringLiteral("QnLynRegisterWidget-register")
                                       : QStringLiteral("QnLynRegisterWidget-forgot");
        if (!shooter.wants(base))
            continue;
        QnLynRegisterWidget page;
        page.setPageType(type);
        page.show();
        shooter.shoot(base + QStringLiteral("-step1-empty"), &page, kWhite);
        typeInto(&page, "regislineEdit", QStringLiteral("13700000002"));
        typeInto(&page, "regisCodelineEdit", QStringLiteral("4821"));
        auto *code = child<QPushButton>(&page, "verCodeBtn");
        code->setEnabled(false);
        code->setText(QStringLiteral("42") +
                      QCoreApplication::translate("QnLynRegisterWidget", "s again get Captcha"));
        shooter.shoot(base + QStringLiteral("-step1-countdown"), &page, kWhite);
        setText(
            &page, "regisMsglabel1",
            QCoreApplication::translate("QnLynRegisterWidget",
                                        type == 1 ? "phone is use" : "Mobile phone number not registered"));
        setText(&page, "regisMsglabel2", QCoreApplication::translate("QnLynRegisterWidget", "Captcha error"));
        shooter.shoot(base + QStringLiteral("-step1-errors"), &page, kWhite);
        child<QStackedWidget>(&page, "stackedWidget")->setCurrentIndex(1);
        typeInto(&page, "settinglineEdit", QStringLiteral("new_pw1"));
        typeInto(&page, "settingAgainlineEdit", QStringLiteral("new_pw2"));
        setText(&page, "passMsgLabel2",
                QCoreApplication::translate("QnLynRegisterWidget", "The two passwords don't match."));
        if (type == 1)
            child<QCheckBox>(&page, "agreecheckBox")->setChecked(true);
        shooter.shoot(base + QStringLiteral("-step2"), &page, kWhite);
    }
}

void dialogShots(QnShooter &shooter)
{
    if (shooter.wants(QStringLiteral("QnLynModifyNameDialog"))) {
        QnLynModifyNameDialog dialog;
        dialog.setName(QStringLiteral("王老师"));
        shooter.shoot(QStringLiteral("QnLynModifyNameDialog-filled"), &dialog);
        dialog.setName(QString());
        shooter.shoot(QStringLiteral("QnLynModifyNameDialog-empty"), &dialog);
    }
    if (shooter.wants(QStringLiteral("QnLynModifyPasswordDialog"))) {
        QnLynModifyPasswordDialog dialog;
        shooter.shoot(QStringLiteral("QnLynModifyPasswordDialog-empty"), &dialog);
        typeInto(&dialog, "opasswordLineEdit", QStringLiteral("secret-pw"));
        typeInto(&dialog, "npasswordLineEdit", QStringLiteral("new-pw"));
        typeInto(&dialog, "cpasswordLineEdit", QStringLiteral("new-pw2"));
        setText(&dialog, "msglabel1",
                QCoreApplication::translate("QnLynModifyPasswordDialog", "password error"));
        setText(&dialog, "msglabel2",
                QCoreApplication::translate("QnLynModifyPasswordDialog",
                                            "6-16,Support letters, numbers, and underscores."));
        setText(&dialog, "msglabel3",
                QCoreApplication::translate("QnLynModifyPasswordDialog", "The two passwords don't match."));
        shooter.shoot(QStringLiteral("QnLynModifyPasswordDialog-errors"), &dialog);
    }
    if (shooter.wants(QStringLiteral("QnLynModifyPhoneNum"))) {
        QnLynModifyPhoneNum dialog;
        typeInto(&dialog, "passwordLineEdit", QStringLiteral("secret-pw"));
        setText(&dialog, "msglabel", QCoreApplication::translate("QnLynModifyPhoneNum", "password error"));
        shooter.shoot(QStringLiteral("QnLynModifyPhoneNum-password"), &dialog);
        child<QStackedWidget>(&dialog, "stackedWidget")->setCurrentIndex(1);
        typeInto(&dialog, "regislineEdit", QStringLiteral("13600000003"));
        typeInto(&dialog, "regisCodelineEdit", QStringLiteral("4821"));
        auto *code = child<QPushButton>(&dialog, "verCodeBtn");
        code->setEnabled(false);
        code->setText(QStringLiteral("57") +
                      QCoreApplication::translate("QnLynModifyPhoneNum", "s again get Captcha"));
        shooter.shoot(QStringLiteral("QnLynModifyPhoneNum-number"), &dialog);
    }
}

void personalShots(QnShooter &shooter, const QTemporaryDir &dir)
{
    const LoginUserInfo user{
        QStringLiteral("13800000001"), QStringLiteral("王老师"), QString(), QString(), QString(),
        QStringLiteral("u-1")};
    if (shooter.wants(QStringLiteral("QnLynPersonalCenterWidget"))) {
        QnLynPersonalCenterWidget page;
        page.setUserInfo(user);
        page.show();
        shooter.settle();
        shooter.shoot(QStringLiteral("QnLynPersonalCenterWidget-default-head"), &page,
                      QColor(0xF4, 0xF4, 0xF4));
        page.setHeadPath(sampleHead(dir));
        shooter.shoot(QStringLiteral("QnLynPersonalCenterWidget-signed-in"), &page, QColor(0xF4, 0xF4, 0xF4));
    }
    if (shooter.wants(QStringLiteral("QnLynHeadButton"))) {
        QWidget row;
        row.setStyleSheet(QStringLiteral("background:#DE6F6F;"));
        auto *layout = new QHBoxLayout(&row);
        layout->setContentsMargins(16, 16, 16, 16);
        layout->setSpacing(16);
        const QString head = sampleHead(dir);
        for (int size : {32, 60, 100}) {
            auto *button = new QnLynHeadButton(&row);
            button->setFixedSize(size, size);
            button->loadHeadImage(head);
            button->setHeadWidth(size);
            layout->addWidget(button);
        }
        auto *empty = new QnLynHeadButton(&row);
        empty->setFixedSize(60, 60);
        layout->addWidget(empty);
        shooter.shoot(QStringLiteral("QnLynHeadButton-sizes-and-empty"), &row);
    }
    if (shooter.wants(QStringLiteral("QnHeadCropDialog"))) {
        QnHeadCropDialog dialog;
        dialog.setImage(samplePhoto(dir));
        shooter.shoot(QStringLiteral("QnHeadCropDialog-photo"), &dialog);
    }
    if (shooter.wants(QStringLiteral("QnLynUserAgreementWidget"))) {
        QnLynUserAgreementWidget page;
        shooter.shoot(QStringLiteral("QnLynUserAgreementWidget"), &page, kWhite);
    }
}

} // namespace

void accountShots(QnShooter &shooter)
{
    QnResources::init();
    static QTranslator translator;
    if (translator.load(QStringLiteral(":/trans/QnLynClient_zh_CN")))
        QCoreApplication::installTranslator(&translator);
    QTemporaryDir dir;
    QnFakeCredentialStore store;
    loginShots(shooter, &store);
    registerShots(shooter);
    dialogShots(shooter);
    personalShots(shooter, dir);
}
