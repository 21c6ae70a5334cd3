#include "qnloginbase/src/UI/PhoneCodePage.h"

#include "qnloginbase/src/UI/LoginLibraryWidgets.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

const char kStyle[] = R"(
QLabel#titlelabel{font-size:26px;color:#DE6F6F;border:none;}
QLabel#labelPhone{image:url(:/RiDovud/res/icon/phone.svg);}
QLabel#labelCode{image:url(:/RiDovud/res/icon/verify.svg);}
QLabel#labelNewPwd{image:url(:/RiDovud/res/icon/pwd.svg);}
QLabel#labelNewPwd_2{image:url(:/RiDovud/res/icon/pwd_1.svg);}
QLabel#labelPhone,QLabel#labelCode,QLabel#labelNewPwd,QLabel#labelNewPwd_2{background-color:#FAFAFA;border-top-left-radius:4px;border-bottom-left-radius:4px;}
QLineEdit{border:none;font-size:18px;color:#333333;background-color:#F0F0F0;padding-left:26px;border-top-right-radius:4px;border-bottom-right-radius:4px;}
QLabel#regisMsglabel1,QLabel#regisMsglabel2,QLabel#passMsgLabel1,QLabel#passMsgLabel2{font-size:12px;color:#D35555;}
QPushButton#resnextBtn,QPushButton#resBtn,QPushButton#verCodeBtn{color:#FFFFFF;background-color:#DE6F6F;border-radius:4px;font-size:20px;}
QPushButton#verCodeBtn{font-size:16px;}
QPushButton#resnextBtn:disabled,QPushButton#resBtn:disabled,QPushButton#verCodeBtn:disabled{background-color:#CCCCCC;}
QPushButton#resnextBtn:pressed,QPushButton#resBtn:pressed,QPushButton#verCodeBtn:pressed{background-color:#BF5050;}
QCheckBox{spacing:7px;font-size:16px;color:#666666;}
QCheckBox::indicator{width:14px;height:14px;}
QCheckBox::indicator:unchecked{image:url(:/RiDovud/res/image/unchecked.svg);}
QCheckBox::indicator:checked{image:url(:/RiDovud/res/image/checked.svg);}
QPushButton#btnAgreement{border:none;color:#E45C5C;font-size:16px;background:transparent;}
QLabel#label_2{color:#333333;font-size:16px;}
QPushButton#btnLogin{border:none;color:#DE6F6F;font-size:16px;background:transparent;}
QPushButton#loginBtn{border:none;color:#DE6F6F;font-size:18px;background:transparent;}
QPushButton#loginBtn2{image:url(:/RiDovud/res/icon/arrow_right.svg);border:none;background:transparent;}
)";

QLabel *makeLabel(QWidget *parent, const char *name, int height = 20)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedHeight(height);
    label->setTextFormat(Qt::PlainText);
    return label;
}

/// An icon label followed by its field, width x 50.
QWidget *inputRow(QWidget *parent, const char *iconName, QLineEdit *edit, int width)
{
    auto *row = new QWidget(parent);
    row->setFixedSize(width, 50);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *icon = new QLabel(row);
    icon->setObjectName(QLatin1String(iconName));
    icon->setFixedSize(50, 50);
    layout->addWidget(icon);
    edit->setParent(row);
    edit->setFixedHeight(50);
    edit->setContextMenuPolicy(Qt::NoContextMenu);
    layout->addWidget(edit);
    return row;
}

QPushButton *mainButton(QWidget *parent, const char *name, const QString &text)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(427, 50);
    button->setCursor(Qt::PointingHandCursor);
    button->setEnabled(false);
    return button;
}

} // namespace

PhoneCodePage::PhoneCodePage(VerifyType type, QWidget *parent, HttpSession *session)
    : QWidget(parent), m_session(session ? session : HttpSession::instance()), m_type(type)
{}

PhoneCodePage::~PhoneCodePage() = default;

void PhoneCodePage::buildForm(const QString &title, bool withAgreement)
{
    setStyleSheet(QLatin1String(kStyle));
    resize(615, 578);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(82, 94, 0, withAgreement ? 24 : 39);
    column->setSpacing(0);

    m_title = new QLabel(title, this);
    m_title->setObjectName(QStringLiteral("titlelabel"));
    m_title->setFixedHeight(37);
    column->addWidget(m_title);
    column->addSpacing(76);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("stackedWidget"));
    m_stack->setFixedHeight(260);
    column->addWidget(m_stack);

    // Step one: number and code.
    m_codeStep = new QWidget(m_stack);
    m_codeStep->setObjectName(QStringLiteral("VerificationCodeWidget"));
    auto *one = new QVBoxLayout(m_codeStep);
    one->setContentsMargins(0, 0, 0, 0);
    one->setSpacing(0);
    const QRegularExpression digits(QStringLiteral("[0-9]+$"));
    m_phone = new QLineEdit;
    m_phone->setObjectName(QStringLiteral("regislineEdit"));
    m_phone->setPlaceholderText(QStringLiteral("请输入手机号码"));
    m_phone->setValidator(new QRegularExpressionValidator(digits, m_phone));
    m_phone->setMaxLength(11);
    one->addWidget(inputRow(m_codeStep, "labelPhone", m_phone, 427));
    m_phoneMsg = makeLabel(m_codeStep, "regisMsglabel1");
    one->addWidget(m_phoneMsg);
    auto *codeRow = new QHBoxLayout;
    codeRow->setSpacing(17);
    m_code = new QLineEdit;
    m_code->setObjectName(QStringLiteral("regisCodelineEdit"));
    m_code->setPlaceholderText(QStringLiteral("请输入验证码"));
    m_code->setValidator(new QRegularExpressionValidator(digits, m_code));
    m_code->setMaxLength(4);
    codeRow->addWidget(inputRow(m_codeStep, "labelCode", m_code, 290));
    m_verCodeBtn = new CTimerButton(m_codeStep);
    m_verCodeBtn->setObjectName(QStringLiteral("verCodeBtn"));
    m_verCodeBtn->setFixedSize(120, 50);
    m_verCodeBtn->setCursor(Qt::PointingHandCursor);
    m_verCodeBtn->setEnabled(false);
    codeRow->addWidget(m_verCodeBtn);
    codeRow->addStretch();
    one->addLayout(codeRow);
    m_codeMsg = makeLabel(m_codeStep, "regisMsglabel2");
    one->addWidget(m_codeMsg);
    one->addSpacing(30);
    m_nextBtn = mainButton(m_codeStep, "resnextBtn", QStringLiteral("下一步"));
    one->addWidget(m_nextBtn);
    one->addStretch();
    m_stack->addWidget(m_codeStep);

    // Step two: the new password twice.
    m_passwordStep = new QWidget(m_stack);
    m_passwordStep->setObjectName(QStringLiteral("passwordWidget"));
    auto *two = new QVBoxLayout(m_passwordStep);
    two->setContentsMargins(0, 0, 0, 0);
    two->setSpacing(0);
    m_password = new PasswordLineEidt;
    m_password->setObjectName(QStringLiteral("settinglineEdit"));
    m_password->setPlaceholderText(QStringLiteral("6-16支持字母、数字、下划线"));
    m_password->setMaxLength(16);
    two->addWidget(inputRow(m_passwordStep, "labelNewPwd", m_password, 427));
    m_passwordMsg = makeLabel(m_passwordStep, "passMsgLabel1");
    two->addWidget(m_passwordMsg);
    m_repeat = new PasswordLineEidt;
    m_repeat->setObjectName(QStringLiteral("settingAgainlineEdit"));
    m_repeat->setPlaceholderText(QStringLiteral("请再次输入密码"));
    m_repeat->setMaxLength(16);
    two->addWidget(inputRow(m_passwordStep, "labelNewPwd_2", m_repeat, 427));
    m_repeatMsg = makeLabel(m_passwordStep, "passMsgLabel2");
    two->addWidget(m_repeatMsg);
    if (withAgreement) {
        auto *agreeRow = new QHBoxLayout;
        agreeRow->setSpacing(0);
        m_agree = new QCheckBox(QStringLiteral("已阅读并同意"), m_passwordStep);
        m_agree->setObjectName(QStringLiteral("checkBox"));
        agreeRow->addWidget(m_agree);
        auto *agreement = new QPushButton(QStringLiteral("《用户协议》"), m_passwordStep);
        agreement->setObjectName(QStringLiteral("btnAgreement"));
        agreeRow->addWidget(agreement);
        agreeRow->addStretch();
        two->addLayout(agreeRow);
        two->addSpacing(10);
    } else {
        two->addSpacing(30);
    }
    m_resBtn = mainButton(m_passwordStep, "resBtn", QStringLiteral("完成"));
    two->addWidget(m_resBtn);
    two->addStretch();
    m_stack->addWidget(m_passwordStep);
    m_stack->setCurrentWidget(withAgreement ? m_codeStep : m_passwordStep);

    auto *bottom = new QHBoxLayout;
    bottom->setContentsMargins(0, withAgreement ? 0 : 70, 82, 0);
    bottom->setSpacing(0);
    bottom->addStretch();
    if (withAgreement) {
        auto *have = makeLabel(this, "label_2", 22);
        have->setText(QStringLiteral("已有账号，"));
        bottom->addWidget(have);
        auto *login = new QPushButton(QStringLiteral("直接登录"), this);
        login->setObjectName(QStringLiteral("btnLogin"));
        login->setCursor(Qt::PointingHandCursor);
        bottom->addWidget(login);
        m_backButtons << login;
    } else {
        auto *login = new QPushButton(QStringLiteral("登录"), this);
        login->setObjectName(QStringLiteral("loginBtn"));
        login->setFixedSize(40, 22);
        login->setCursor(Qt::PointingHandCursor);
        auto *arrow = new QPushButton(this);
        arrow->setObjectName(QStringLiteral("loginBtn2"));
        arrow->setFixedSize(14, 14);
        arrow->setCursor(Qt::PointingHandCursor);
        bottom->addWidget(login);
        bottom->addWidget(arrow);
        m_backButtons << login << arrow;
    }
    bottom->addStretch();
    column->addLayout(bottom);
    column->addStretch();

    m_toast = new Toast(this);
    m_toast->hide();
}

void PhoneCodePage::connectAll()
{
    connect(m_phone, &QLineEdit::textChanged, this, &PhoneCodePage::onPhoneEdited);
    connect(m_code, &QLineEdit::textChanged, this, [this] {
        m_codeMsg->clear();
        m_nextBtn->setEnabled(!m_phone->text().isEmpty() && !m_code->text().isEmpty());
    });
    // Connected after the button's own click handling: the countdown has started already.
    connect(m_verCodeBtn, &QPushButton::clicked, this, &PhoneCodePage::onCodeButtonClicked);
    connect(m_verCodeBtn, &CTimerButton::sig_timeout, this, [this] { m_verCodeBtn->setEnabled(true); });
    connect(m_nextBtn, &QPushButton::clicked, this, [this] {
        m_nextBtn->setEnabled(false);
        m_session->checkVerifyCode(m_type, m_phone->text(), m_code->text());
    });
    connect(m_password, &QLineEdit::textChanged, this, [this] {
        updateFinishButton();
        m_passwordMsg->clear();
    });
    connect(m_repeat, &QLineEdit::textChanged, this, [this] {
        updateFinishButton();
        m_repeatMsg->clear();
    });
    if (m_agree)
        connect(m_agree, &QCheckBox::stateChanged, this, [this] { updateFinishButton(); });
    connect(m_resBtn, &QPushButton::clicked, this, &PhoneCodePage::commitPassword);
    for (QPushButton *back : qAsConst(m_backButtons))
        connect(back, &QPushButton::clicked, this, [this] { emit jumpPage(0); });

    connect(m_session, &HttpSession::getVerifyCodeRs, this,
            [this](VerifyType type, bool result, const QString &err) {
                if (type != m_type)
                    return;
                if (result)
                    m_toast->showText(codeSentMessage(), 0, this);
                else
                    m_phoneMsg->setText(err);
            });
    connect(m_session, &HttpSession::checkVerifyCodeRs, this,
            [this](VerifyType type, bool result, const QString &err) {
                if (type != m_type)
                    return;
                m_nextBtn->setEnabled(true);
                if (result) {
                    onCodeAccepted();
                    m_codeMsg->clear();
                } else {
                    m_codeMsg->setText(err);
                }
            });
    connect(m_session, &HttpSession::setUserPwdRs, this,
            [this](VerifyType type, bool result, const QString &err) {
                if (type == m_type)
                    onPasswordSet(result, err);
            });
}

void PhoneCodePage::onPhoneEdited(const QString &text)
{
    m_phoneMsg->clear();
    if (!m_verCodeBtn->isCounting())
        m_verCodeBtn->setEnabled(!text.isEmpty());
    m_nextBtn->setEnabled(!text.isEmpty() && !m_code->text().isEmpty());
}

void PhoneCodePage::onCodeButtonClicked()
{
    m_verCodeBtn->setEnabled(false);
    const QString phone = m_phone->text();
    if (phone.size() == 11) {
        m_session->getVerifyCode(m_type, phone);
        return;
    }
    m_verCodeBtn->reset();
    m_verCodeBtn->setEnabled(true);
    m_phoneMsg->setText(formatMessage());
}

bool PhoneCodePage::finishAllowed() const
{
    return !m_password->text().isEmpty() && !m_repeat->text().isEmpty();
}

void PhoneCodePage::updateFinishButton()
{
    m_resBtn->setEnabled(finishAllowed());
}

void PhoneCodePage::onCodeAccepted()
{
    m_stack->setCurrentWidget(m_passwordStep);
}

void PhoneCodePage::commitPassword()
{
    const QString password = m_password->text();
    QRegularExpressionValidator format(QRegularExpression(QStringLiteral("^[0-9a-zA-Z_]{6,16}$")));
    QString probe = password;
    int position = 0;
    if (format.validate(probe, position) != QValidator::Acceptable) {
        m_passwordMsg->setText(passwordFormatMessage());
        return;
    }
    m_passwordMsg->clear();
    if (password != m_repeat->text()) {
        m_repeatMsg->setText(mismatchMessage());
        return;
    }
    m_repeatMsg->setText(QString());
    m_session->setUserPwd(m_type, m_phone->text(), password, m_code->text());
}

void PhoneCodePage::resetPage()
{
    m_stack->setCurrentWidget(m_codeStep);
    m_phone->clear();
    m_code->clear();
    m_verCodeBtn->reset();
    m_verCodeBtn->setEnabled(false);
    m_password->clear();
    m_repeat->clear();
    m_resBtn->setEnabled(false);
    m_phoneMsg->clear();
    m_codeMsg->clear();
    m_passwordMsg->clear();
    m_repeatMsg->clear();
    if (m_agree)
        m_agree->setChecked(false);
}

// --- RegisterWidget --------------------------------------------------------------------------

RegisterWidget::RegisterWidget(QWidget *parent, HttpSession *session)
    : PhoneCodePage(VerifyType::Register, parent, session)
{
    setObjectName(QStringLiteral("RegisterWidget"));
    buildForm(QStringLiteral("注册"), true);
    connectAll();
}

void RegisterWidget::resetPage()
{
    PhoneCodePage::resetPage();
}

bool RegisterWidget::finishAllowed() const
{
    return PhoneCodePage::finishAllowed() && m_agree->checkState() == Qt::Checked;
}

void RegisterWidget::onPasswordSet(bool result, const QString &err)
{
    if (!result) {
        m_toast->showText(err, 0, this);
        return;
    }
    m_toast->showText(tr("Register successfully"), 0, this);
    emit jumpPage(0);
}

// --- ForgetPwdWidget -------------------------------------------------------------------------

ForgetPwdWidget::ForgetPwdWidget(QWidget *parent, HttpSession *session)
    : PhoneCodePage(VerifyType::ForgetPassword, parent, session)
{
    setObjectName(QStringLiteral("ForgetPwdWidget"));
    buildForm(QStringLiteral("忘记密码"), false);
    connectAll();
}

void ForgetPwdWidget::resetPage()
{
    m_stack->setCurrentWidget(m_codeStep);
    m_title->setText(tr("Forget Password"));
    PhoneCodePage::resetPage();
}

void ForgetPwdWidget::onCodeAccepted()
{
    m_stack->setCurrentWidget(m_passwordStep);
    m_title->setText(tr("Set Password"));
}

void ForgetPwdWidget::onPasswordSet(bool result, const QString &err)
{
    if (!result) {
        m_toast->showText(err, 0, this);
        return;
    }
    m_toast->showText(tr("Password changed successfully"), 0, this);
    emit jumpPage(0);
}
