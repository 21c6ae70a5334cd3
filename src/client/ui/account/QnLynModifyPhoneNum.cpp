#include "client/ui/account/QnLynModifyPhoneNum.h"

#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/account/QnAccountForm.h"
#include "client/ui/account/QnAccountRules.h"
#include "client/ui/account/QnCaptchaCountdown.h"
#include "client/ui/account/QnPasswordEye.h"
#include "common/http/QnLynInterNetWorkManager.h"
#include "qnloginbase/src/Interface/SessionReply.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegExpValidator>
#include <QStackedWidget>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcModifyPhone, "qn.account.phone")

using namespace QnAccountForm;

namespace {
const QString kCaption = QStringLiteral("font-size:16px;color:#333333;font-family:\"Microsoft YaHei\";");

QHBoxLayout *captionRow(QVBoxLayout *v, QWidget *parent, const char *name, const QString &text, int width)
{
    QHBoxLayout *row = centredLayout(v);
    auto *l = label(parent, name, text, kCaption);
    l->setFixedWidth(width);
    row->addStretch(1);
    row->addWidget(l);
    row->addStretch(1);
    return row;
}
} // namespace

QnLynModifyPhoneNum::QnLynModifyPhoneNum(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QnLynModifyPhoneNum"));
    setWindowTitle(QStringLiteral("Dialog"));
    resize(370, 500);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(false);
    helper->setResizable(false);
    helper->attachWidget(this);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("modifyNumframe"));
    frame->setStyleSheet(QStringLiteral("QFrame#modifyNumframe{background:#FFFFFF;border-radius:6px;}"));
    outer->addWidget(frame);
    auto *v = new QVBoxLayout(frame);
    v->setContentsMargins(20, 20, 20, 30);
    v->setSpacing(0);
    QHBoxLayout *closeRow = centredLayout(v);
    closeRow->addStretch(1);
    m_close = imageButton(frame, "closeBtn", QStringLiteral(":/img/close.svg"), 12, 12);
    closeRow->addWidget(m_close);
    centred(v, label(frame, "label", QStringLiteral("修改号码"),
                     QStringLiteral("font-size:20px;color:#333333;font-family:\"Microsoft YaHei\";")));
    v->addSpacing(30);
    m_stack = new QStackedWidget(frame);
    m_stack->setObjectName(QStringLiteral("stackedWidget"));
    v->addWidget(m_stack);

    // Step 1: the current password.
    m_passwordPage = new QWidget;
    m_passwordPage->setObjectName(QStringLiteral("inputPasswordpage"));
    auto *p1 = new QVBoxLayout(m_passwordPage);
    p1->setContentsMargins(0, 0, 0, 0);
    p1->setSpacing(8);
    captionRow(p1, m_passwordPage, "label_2", QStringLiteral("密码"), 287);
    QFrame *pwFrame = inputFrame(m_passwordPage, "passwordFrame", 287);
    m_password = field(pwFrame, "passwordLineEdit", QStringLiteral("请输入密码"), 247);
    auto *eye = new QLabel(pwFrame);
    eye->setObjectName(QStringLiteral("passStatuslabel"));
    eye->setFixedSize(40, 40);
    pwFrame->layout()->addWidget(m_password);
    pwFrame->layout()->addWidget(eye);
    centred(p1, pwFrame);
    m_msg = errorLine(m_passwordPage, "msglabel");
    m_msg->setFixedWidth(287);
    centred(p1, m_msg);
    p1->addStretch(1);
    m_next = button(m_passwordPage, "nextBtn", QStringLiteral("下一步"), outlineButtonStyle());
    m_next->setFixedSize(121, 40);
    m_next->setEnabled(false);
    centred(p1, m_next);
    m_stack->addWidget(m_passwordPage);
    new QnPasswordEye(m_password, eye, this);

    // Step 2: the new number and its code.
    m_numberPage = new QWidget;
    m_numberPage->setObjectName(QStringLiteral("inputNumPage"));
    auto *p2 = new QVBoxLayout(m_numberPage);
    p2->setContentsMargins(0, 0, 0, 0);
    p2->setSpacing(8);
    captionRow(p2, m_numberPage, "label_3", QStringLiteral("新手机号"), 287);
    m_number = field(m_numberPage, "regislineEdit", QStringLiteral("请输入手机号码"), 287);
    m_number->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[0-9]+$")), this));
    m_number->setMaxLength(11);
    centred(p2, m_number);
    m_msg1 = errorLine(m_numberPage, "msgLabel1", 24);
    m_msg1->setFixedWidth(287);
    centred(p2, m_msg1);
    captionRow(p2, m_numberPage, "label_4", QStringLiteral("验证码"), 287);
    QHBoxLayout *codeRow = centredLayout(p2);
    m_code = field(m_numberPage, "regisCodelineEdit", QStringLiteral("请输入验证码"), 175);
    m_code->setMaxLength(4);
    m_verCode =
        button(m_numberPage, "verCodeBtn", QStringLiteral("获取验证码"),
               QStringLiteral("QPushButton{border:0px;background:#DE6F6F;color:#FFFFFF;font-size:14px;"
                              "font-family:\"Microsoft YaHei\";}QPushButton:pressed{background:#BF5050;}"
                              "QPushButton:disabled{background:#F0F0F0;color:#C1C1C1;}"));
    m_verCode->setFixedSize(100, 40);
    m_verCode->setEnabled(false);
    codeRow->addStretch(1);
    codeRow->addWidget(m_code);
    codeRow->addSpacing(12);
    codeRow->addWidget(m_verCode);
    codeRow->addStretch(1);
    m_msg2 = errorLine(m_numberPage, "msgLabel2", 24);
    m_msg2->setFixedWidth(287);
    centred(p2, m_msg2);
    p2->addStretch(1);
    QHBoxLayout *buttons = centredLayout(p2);
    m_cancel = button(m_numberPage, "cancelBtn", QStringLiteral("取消"), outlineButtonStyle());
    m_cancel->setFixedSize(121, 40);
    m_ok = button(m_numberPage, "okBtn", QStringLiteral("确定"), outlineButtonStyle());
    m_ok->setFixedSize(121, 40);
    m_ok->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    buttons->addSpacing(30);
    buttons->addWidget(m_ok);
    buttons->addStretch(1);
    m_stack->addWidget(m_numberPage);
    m_stack->setCurrentWidget(m_passwordPage);

    m_countdown = new QnCaptchaCountdown(m_verCode, this);
    m_countdown->setTexts(tr("Get Captcha"), tr("s again get Captcha"));

    connect(m_password, &QLineEdit::textChanged, this, &QnLynModifyPhoneNum::on_passwordLineEdit_textChanged);
    connect(m_next, &QPushButton::clicked, this, &QnLynModifyPhoneNum::on_nextBtn_clicked);
    connect(m_close, &QPushButton::clicked, this, &QnLynModifyPhoneNum::on_closeBtn_clicked);
    connect(m_verCode, &QPushButton::clicked, this, &QnLynModifyPhoneNum::on_verCodeBtn_clicked);
    connect(m_number, &QLineEdit::textChanged, this, &QnLynModifyPhoneNum::on_regislineEdit_textChanged);
    connect(m_code, &QLineEdit::textChanged, this, &QnLynModifyPhoneNum::on_regisCodelineEdit_textChanged);
    connect(m_cancel, &QPushButton::clicked, this, &QnLynModifyPhoneNum::on_cancelBtn_clicked);
    connect(m_ok, &QPushButton::clicked, this, &QnLynModifyPhoneNum::on_okBtn_clicked);
}

void QnLynModifyPhoneNum::setAccountInfo(const QString &token, const QString &uuid)
{
    m_token = token;
    m_uuid = uuid;
}

QString QnLynModifyPhoneNum::newPhoneNumber() const
{
    return m_number->text();
}

void QnLynModifyPhoneNum::setCountdownInterval(int ms)
{
    m_countdown->setInterval(ms);
}

void QnLynModifyPhoneNum::on_passwordLineEdit_textChanged(const QString &arg1)
{
    m_next->setEnabled(!arg1.isEmpty());
}

void QnLynModifyPhoneNum::on_nextBtn_clicked()
{
    QnLynInterNetWorkManager::instance()->httpPost(
        this, QLatin1String(QnAccountRules::kCheckPassword),
        QJsonObject{{QStringLiteral("password"), m_password->text()}},
        [this](HttpResultInfo &r) { httpCallBack(r); }, m_token);
}

void QnLynModifyPhoneNum::on_verCodeBtn_clicked()
{
    if (!QnAccountRules::isPhoneNumber(m_number->text())) {
        m_msg1->setText(tr("The format of the mobile phone number is not correct."));
        return;
    }
    QnLynInterNetWorkManager::instance()->httpPost(
        this, QLatin1String(QnAccountRules::kIsUse),
        QJsonObject{{QStringLiteral("username"), m_number->text()}},
        [this](HttpResultInfo &r) { httpCallBack(r); });
    m_msg1->clear();
}

void QnLynModifyPhoneNum::on_okBtn_clicked()
{
    const QJsonObject body{{QStringLiteral("mobile"), m_number->text()},
                           {QStringLiteral("verCode"), m_code->text()}};
    QnLynInterNetWorkManager::instance()->httpPost(
        this, QLatin1String(QnAccountRules::kModMobile), body, [this](HttpResultInfo &r) { httpCallBack(r); },
        m_token);
}

void QnLynModifyPhoneNum::httpCallBack(const HttpResultInfo &result)
{
    qCDebug(lcModifyPhone) << "info =============" << result.requestPath << result.statusCode
                           << QnAccountService::redactedForLog(result.replyObject);
    const QString path = result.requestPath;
    const int code = QnAccountRules::replyCode(result.replyObject);
    if (result.statusCode != 200) {
        if (path == QLatin1String(QnAccountRules::kCheckPassword))
            m_msg->setText(tr("password error"));
        else
            toast(QnAccountRules::refusalText(result, tr("Request failed, please try again")));
        return;
    }
    if (path == QLatin1String(QnAccountRules::kIsUse)) {
        if (QnAccountRules::dataString(result.replyObject) == QLatin1String("1")) {
            m_msg1->setText(tr("phone is use"));
            return;
        }
        QnLynInterNetWorkManager::instance()->httpGet(this, QLatin1String(QnAccountRules::kPhoneCaptcha),
                                                      m_number->text(),
                                                      [this](HttpResultInfo &r) { httpCallBack(r); });
        m_countdown->start();
    } else if (path == QLatin1String(QnAccountRules::kCheckPassword)) {
        if (code == 200)
            m_stack->setCurrentWidget(m_numberPage);
        else
            m_msg->setText(tr("password error"));
    } else if (path == QLatin1String(QnAccountRules::kModMobile)) {
        if (code == 200) {
            QnFloatTip::showTip(tr("phone num modify success"), this, 2000);
            accept();
        } else {
            QnFloatTip::showTip(tr("Captcha error"), this, 2000);
        }
    } else if (path == QLatin1String(QnAccountRules::kPhoneCaptcha)) {
        if (code != 200)
            toast(QnAccountRules::refusalText(result, tr("Request failed, please try again")));
    }
}

void QnLynModifyPhoneNum::on_regislineEdit_textChanged(const QString &arg1)
{
    m_verCode->setEnabled(!arg1.isEmpty());
    m_ok->setEnabled(!arg1.isEmpty() && !m_code->text().isEmpty());
}

void QnLynModifyPhoneNum::on_regisCodelineEdit_textChanged(const QString &arg1)
{
    m_ok->setEnabled(!arg1.isEmpty() && !m_number->text().isEmpty());
}

void QnLynModifyPhoneNum::on_closeBtn_clicked()
{
    reject();
}

void QnLynModifyPhoneNum::on_cancelBtn_clicked()
{
    reject();
}

void QnLynModifyPhoneNum::toast(const QString &text)
{
    QnFloatTip::showTip(text, this, 2000);
}
