#include "client/ui/account/QnLynRegisterWidget.h"

#include "client/ui/QnFloatTip.h"
#include "client/ui/account/QnAccountForm.h"
#include "client/ui/account/QnAccountRules.h"
#include "client/ui/account/QnCaptchaCountdown.h"
#include "client/ui/account/QnPasswordEye.h"
#include "common/http/QnLynInterNetWorkManager.h"
#include "qnloginbase/src/Interface/SessionReply.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegExpValidator>
#include <QStackedWidget>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcRegister, "qn.account.register")

using namespace QnAccountForm;
namespace R = QnAccountRules;

namespace {
const QString kTitleStyle = QStringLiteral("font-size:18px;color:#DE6F6F;font-family:\"Microsoft YaHei\";");
const QString kLinkStyle = QStringLiteral("QPushButton{border:0px;background:transparent;font-size:16px;"
                                          "color:#DE6F6F;font-family:\"Microsoft YaHei\";}");

void addBackRow(QVBoxLayout *v, QWidget *page, QPushButton *&text, QPushButton *&arrow, const char *textName,
                const char *arrowName)
{
    QHBoxLayout *row = centredLayout(v);
    text = button(page, textName, QStringLiteral("登录"), kLinkStyle);
    text->setFixedSize(32, 22);
    arrow = imageButton(page, arrowName, QStringLiteral(":/img/redrightarrow.svg"), 16, 12);
    row->addStretch(1);
    row->addWidget(text);
    row->addSpacing(4);
    row->addWidget(arrow);
    row->addStretch(1);
}
} // namespace

QnLynRegisterWidget::QnLynRegisterWidget(QWidget *parent)
    : QWidget(parent)
    , m_probeHost(QStringLiteral("www.baidu.com"))
    , m_openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("QnLynRegisterWidget"));
    setWindowTitle(QStringLiteral("Form"));
    resize(560, 578);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("stackedWidget"));
    v->addWidget(m_stack);
    buildStepOne();
    buildStepTwo();
    m_stack->setCurrentWidget(m_step1);
    initUI();
}

void QnLynRegisterWidget::buildStepOne()
{
    m_step1 = new QWidget;
    m_step1->setObjectName(QStringLiteral("VerificationCodeWidget"));
    auto *v = new QVBoxLayout(m_step1);
    v->setContentsMargins(0, 50, 0, 30);
    v->setSpacing(0);
    m_title = label(m_step1, "titlelabel", QStringLiteral("注册"), kTitleStyle);
    m_title->setFixedHeight(25);
    centred(v, m_title);
    v->addSpacing(60);

    QFrame *phoneFrame = inputFrame(m_step1, "regisFrame1");
    phoneFrame->layout()->addWidget(
        iconCell(phoneFrame, "resAccountLabel", QStringLiteral(":/img/shouji.svg")));
    m_phone = field(phoneFrame, "regislineEdit", QStringLiteral("请输入手机号码"), 287);
    phoneFrame->layout()->addWidget(m_phone);
    centred(v, phoneFrame);
    m_msg1 = errorLine(m_step1, "regisMsglabel1");
    m_msg1->setFixedWidth(327);
    centred(v, m_msg1);

    QHBoxLayout *codeRow = centredLayout(v);
    QFrame *codeFrame = inputFrame(m_step1, "regisFrame2", 215);
    codeFrame->layout()->addWidget(
        iconCell(codeFrame, "resVercodelabel", QStringLiteral(":/img/vercode.svg")));
    m_code = field(codeFrame, "regisCodelineEdit", QStringLiteral("请输入验证码"), 175);
    codeFrame->layout()->addWidget(m_code);
    m_verCode = button(m_step1, "verCodeBtn", QStringLiteral("获取验证码"), accentButtonStyle(0));
    m_verCode->setFixedSize(100, 40);
    m_verCode->setEnabled(false);
    codeRow->addStretch(1);
    codeRow->addWidget(codeFrame);
    codeRow->addSpacing(12);
    codeRow->addWidget(m_verCode);
    codeRow->addStretch(1);
    m_msg2 = errorLine(m_step1, "regisMsglabel2");
    m_msg2->setFixedWidth(327);
    centred(v, m_msg2);
    v->addSpacing(30);
    m_next = button(m_step1, "resnextBtn", QStringLiteral("下一步"), accentButtonStyle(4));
    m_next->setFixedSize(327, 40);
    m_next->setEnabled(false);
    centred(v, m_next);
    v->addSpacing(24);
    addBackRow(v, m_step1, m_login[0], m_login[1], "loginBtn1", "loginBtn2");
    v->addStretch(1);
    m_stack->addWidget(m_step1);
}

void QnLynRegisterWidget::buildStepTwo()
{
    m_step2 = new QWidget;
    m_step2->setObjectName(QStringLiteral("passwordWidget"));
    auto *v = new QVBoxLayout(m_step2);
    v->setContentsMargins(0, 50, 0, 30);
    v->setSpacing(0);
    auto *title = label(m_step2, "label_3", QStringLiteral("设置密码"), kTitleStyle);
    title->setFixedHeight(25);
    centred(v, title);
    v->addSpacing(50);

    QFrame *f1 = inputFrame(m_step2, "passFrame1");
    f1->layout()->addWidget(iconCell(f1, "respasswordLabel1", QStringLiteral(":/img/mima.svg")));
    m_pass = field(f1, "settinglineEdit", QStringLiteral("6-16支持字母、数字、下划线"), 247);
    m_passEye = new QLabel(f1);
    m_passEye->setObjectName(QStringLiteral("settingLabel"));
    m_passEye->setFixedSize(40, 40);
    f1->layout()->addWidget(m_pass);
    f1->layout()->addWidget(m_passEye);
    centred(v, f1);
    m_passMsg1 = errorLine(m_step2, "passMsgLabel1", 28);
    m_passMsg1->setFixedWidth(327);
    centred(v, m_passMsg1);

    QFrame *f2 = inputFrame(m_step2, "passFrame2");
    f2->layout()->addWidget(iconCell(f2, "respasswordlabel2", QStringLiteral(":/img/mima_again.svg")));
    m_again = field(f2, "settingAgainlineEdit", QStringLiteral("请再次输入密码"), 247);
    m_againEye = new QLabel(f2);
    m_againEye->setObjectName(QStringLiteral("settingAgainLabel"));
    m_againEye->setFixedSize(40, 40);
    f2->layout()->addWidget(m_again);
    f2->layout()->addWidget(m_againEye);
    centred(v, f2);
    m_passMsg2 = errorLine(m_step2, "passMsgLabel2");
    m_passMsg2->setFixedWidth(327);
    centred(v, m_passMsg2);

    auto *agreeRow = new QWidget(m_step2);
    agreeRow->setFixedWidth(327);
    auto *agree = new QHBoxLayout(agreeRow);
    agree->setContentsMargins(0, 0, 0, 0);
    agree->setSpacing(0);
    m_agree = new QCheckBox(QStringLiteral("已阅读并同意"), agreeRow);
    m_agree->setObjectName(QStringLiteral("agreecheckBox"));
    m_agree->setStyleSheet(
        QStringLiteral("QCheckBox{font-size:14px;color:#666666;font-family:\"Microsoft YaHei\";}"
                       "QCheckBox::indicator{width:14px;height:14px;}"
                       "QCheckBox::indicator:unchecked{image:url(:/img/uncheck.svg);}"
                       "QCheckBox::indicator:checked{image:url(:/img/checked.svg);}"));
    m_agreeBtn =
        button(agreeRow, "agreeBtn", QStringLiteral("《用户协议》"),
               QStringLiteral("QPushButton{border:0px;background:transparent;font-size:14px;color:#DE6F6F;"
                              "font-family:\"Microsoft YaHei\";}"));
    agree->addWidget(m_agree);
    agree->addWidget(m_agreeBtn);
    agree->addStretch(1);
    centred(v, agreeRow);
    v->addSpacing(20);
    m_resBtn = button(m_step2, "resBtn", QStringLiteral("注册"), accentButtonStyle(4));
    m_resBtn->setFixedSize(327, 40);
    m_resBtn->setEnabled(false);
    centred(v, m_resBtn);
    v->addSpacing(24);
    addBackRow(v, m_step2, m_login[2], m_login[3], "loginBtn3", "loginBtn4");
    v->addStretch(1);
    m_stack->addWidget(m_step2);
}

void QnLynRegisterWidget::initUI()
{
    m_eye1 = new QnPasswordEye(m_pass, m_passEye, this);
    m_eye2 = new QnPasswordEye(m_again, m_againEye, this);
    m_phone->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[0-9]+$")), this));
    m_phone->setMaxLength(11);
    m_pass->setMaxLength(16);
    m_again->setMaxLength(16);
    m_code->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[0-9]+$")), this));
    m_code->setMaxLength(4);
    m_countdown = new QnCaptchaCountdown(m_verCode, this);
    m_countdown->setTexts(tr("Get Captcha"), tr("s again get Captcha"));

    connect(m_verCode, &QPushButton::clicked, this, &QnLynRegisterWidget::on_verCodeBtn_clicked);
    connect(m_next, &QPushButton::clicked, this, &QnLynRegisterWidget::on_resnextBtn_clicked);
    connect(m_resBtn, &QPushButton::clicked, this, &QnLynRegisterWidget::on_resBtn_clicked);
    connect(m_agreeBtn, &QPushButton::clicked, this, &QnLynRegisterWidget::on_agreeBtn_clicked);
    connect(m_phone, &QLineEdit::textChanged, this, &QnLynRegisterWidget::on_regislineEdit_textChanged);
    connect(m_code, &QLineEdit::textChanged, this, &QnLynRegisterWidget::on_regisCodelineEdit_textChanged);
    connect(m_pass, &QLineEdit::textChanged, this, &QnLynRegisterWidget::on_settinglineEdit_textChanged);
    connect(m_again, &QLineEdit::textChanged, this,
            &QnLynRegisterWidget::on_settingAgainlineEdit_textChanged);
    connect(m_login[0], &QPushButton::clicked, this, &QnLynRegisterWidget::on_loginBtn1_clicked);
    connect(m_login[1], &QPushButton::clicked, this, &QnLynRegisterWidget::on_loginBtn2_clicked);
    connect(m_login[2], &QPushButton::clicked, this, &QnLynRegisterWidget::on_loginBtn3_clicked);
    connect(m_login[3], &QPushButton::clicked, this, &QnLynRegisterWidget::on_loginBtn4_clicked);
    connect(m_agree, &QCheckBox::stateChanged, this, &QnLynRegisterWidget::on_agreecheckBox_stateChanged);
}

void QnLynRegisterWidget::setPageType(int type)
{
    m_pageType = type == 0 ? 0 : 1;
    if (type != 0)
        return;
    m_title->setText(tr("forgot password"));
    m_agree->hide();
    m_agreeBtn->hide();
    m_resBtn->setText(tr("finished"));
}

void QnLynRegisterWidget::setCountdownInterval(int ms)
{
    m_countdown->setInterval(ms);
}

void QnLynRegisterWidget::resetPage()
{
    clearInput();
    m_stack->setCurrentWidget(m_step1);
}

void QnLynRegisterWidget::clearInput()
{
    m_phone->clear();
    m_code->clear();
    m_msg1->clear();
    m_msg2->clear();
    m_again->clear();
    m_pass->clear();
    m_passMsg1->clear();
    m_passMsg2->clear();
    m_eye1->reset();
    m_eye2->reset();
}

void QnLynRegisterWidget::on_verCodeBtn_clicked()
{
    if (!R::isPhoneNumber(m_phone->text())) {
        m_msg1->setText(tr("The format of the mobile phone number is not correct."));
        return;
    }
    QHostInfo::lookupHost(m_probeHost, this, SLOT(lookupHostSlot(QHostInfo)));
}

void QnLynRegisterWidget::lookupHostSlot(const QHostInfo &host)
{
    if (host.error() != QHostInfo::NoError) {
        qCInfo(lcRegister) << "Not Online!  " << host.errorString();
        toast(tr("Network abnormal, please check network Settings"));
        return;
    }
    qCDebug(lcRegister) << "Online!";
    m_msg1->clear();
    post(R::kIsUse, QJsonObject{{QStringLiteral("username"), m_phone->text()}});
}

void QnLynRegisterWidget::on_resnextBtn_clicked()
{
    const QJsonObject body{{QStringLiteral("code"), m_code->text()},
                           {QStringLiteral("username"), m_phone->text()}};
    post(m_pageType == 1 ? R::kCheckRegisterCode : R::kCheckForgetCode, body);
}

void QnLynRegisterWidget::on_resBtn_clicked()
{
    if (m_pageType == 1 && !m_agree->isChecked()) {
        toast(tr("Please read and check the User Agreement"));
        return;
    }
    if (!R::isValidPassword(m_pass->text())) {
        m_passMsg1->setText(tr("6-16,Support letters, numbers, and underscores."));
        return;
    }
    m_passMsg1->clear();
    if (m_pass->text() != m_again->text()) {
        m_passMsg2->setText(tr("The two passwords don't match."));
        return;
    }
    m_passMsg2->clear();
    if (m_pageType == 1) {
        post(R::kRegisterPhone, QJsonObject{{QStringLiteral("captcha"), m_code->text()},
                                            {QStringLiteral("username"), m_phone->text()},
                                            {QStringLiteral("password"), m_pass->text()},
                                            {QStringLiteral("pfId"), QLatin1String(R::kPlatformCode)}});
    } else {
        post(R::kForgetPassUpdate, QJsonObject{{QStringLiteral("code"), m_code->text()},
                                               {QStringLiteral("password"), m_pass->text()},
                                               {QStringLiteral("username"), m_phone->text()}});
    }
}

void QnLynRegisterWidget::on_agreeBtn_clicked()
{
    post(R::kUserAgreement, QJsonObject{{QStringLiteral("pfid"), QStringLiteral("11")},
                                        {QStringLiteral("type"), QStringLiteral("2")}});
}

void QnLynRegisterWidget::post(const char *path, const QJsonObject &body)
{
    QnLynInterNetWorkManager::instance()->httpPost(this, QLatin1String(path), body,
                                                   [this](HttpResultInfo &r) { httpCallBack(r); });
}

QString QnLynRegisterWidget::failedText(const HttpResultInfo &result)
{
    return R::refusalText(result, tr("Request failed, please try again"));
}

void QnLynRegisterWidget::httpCallBack(const HttpResultInfo &result)
{
    qCDebug(lcRegister) << "inf0======" << QnAccountService::redactedForLog(result.replyObject)
                        << result.requestPath;
    const QString path = result.requestPath;
    if (result.statusCode != 200) {
        toast(failedText(result));
        return;
    }
    const int code = R::replyCode(result.replyObject);
    if (path == QLatin1String(R::kIsUse)) {
        const bool registered = R::dataString(result.replyObject) != QLatin1String("0");
        if (m_pageType == 1) {
            if (registered) {
                m_msg1->setText(tr("phone is use"));
                return;
            }
            toast(tr("Captcha code sent successfully"));
            m_countdown->start();
            QnLynInterNetWorkManager::instance()->httpGet(this, QLatin1String(R::kPhoneCaptcha),
                                                          m_phone->text(),
                                                          [this](HttpResultInfo &r) { httpCallBack(r); });
        } else {
            if (!registered) {
                m_msg1->setText(tr("Mobile phone number not registered"));
                return;
            }
            QnLynInterNetWorkManager::instance()->httpGet(this, QLatin1String(R::kForgetPassCode),
                                                          m_phone->text(),
                                                          [this](HttpResultInfo &r) { httpCallBack(r); });
        }
    } else if (path == QLatin1String(R::kPhoneCaptcha)) {
        if (code != 200)
            toast(failedText(result));
    } else if (path == QLatin1String(R::kForgetPassCode)) {
        if (code != 200) {
            toast(failedText(result));
            return;
        }
        toast(tr("Captcha code sent successfully"));
        m_countdown->start();
    } else if (path == QLatin1String(R::kCheckRegisterCode) || path == QLatin1String(R::kCheckForgetCode)) {
        if (code == 200) {
            m_msg2->clear();
            m_stack->setCurrentWidget(m_step2);
        } else {
            m_msg2->setText(tr("Captcha error"));
        }
    } else if (path == QLatin1String(R::kRegisterPhone) || path == QLatin1String(R::kForgetPassUpdate)) {
        if (code != 200) {
            toast(failedText(result));
            return;
        }
        emit loginIn(m_phone->text(), m_pass->text());
        if (m_pageType == 0)
            emit clickedLoginBtn();
    } else if (path == QLatin1String(R::kUserAgreement)) {
        const QUrl url(R::dataString(result.replyObject), QUrl::StrictMode);
        if (!R::isOpenableWebUrl(url)) {
            qCWarning(lcRegister) << "agreement address refused (not http or https)";
            toast(failedText(result));
            return;
        }
        m_openUrl(url);
    }
}

void QnLynRegisterWidget::on_regislineEdit_textChanged(const QString &arg1)
{
    if (!m_countdown->isRunning())
        m_verCode->setEnabled(!arg1.isEmpty());
    m_next->setEnabled(!arg1.isEmpty() && !m_code->text().isEmpty());
}

void QnLynRegisterWidget::on_regisCodelineEdit_textChanged(const QString &arg1)
{
    m_next->setEnabled(!arg1.isEmpty() && !m_phone->text().isEmpty());
}

void QnLynRegisterWidget::on_settinglineEdit_textChanged(const QString &)
{
    m_resBtn->setEnabled(!m_pass->text().isEmpty() && !m_again->text().isEmpty());
}

void QnLynRegisterWidget::on_settingAgainlineEdit_textChanged(const QString &)
{
    m_resBtn->setEnabled(!m_pass->text().isEmpty() && !m_again->text().isEmpty());
}

void QnLynRegisterWidget::backToLogin()
{
    clearInput();
    emit clickedLoginBtn();
}

void QnLynRegisterWidget::on_loginBtn1_clicked()
{
    backToLogin();
}

void QnLynRegisterWidget::on_loginBtn2_clicked()
{
    backToLogin();
}

void QnLynRegisterWidget::on_loginBtn3_clicked()
{
    backToLogin();
}

void QnLynRegisterWidget::on_loginBtn4_clicked()
{
    backToLogin();
}

void QnLynRegisterWidget::on_agreecheckBox_stateChanged(int) {}

void QnLynRegisterWidget::toast(const QString &text)
{
    QnFloatTip::showTip(text, this, 2000);
}
