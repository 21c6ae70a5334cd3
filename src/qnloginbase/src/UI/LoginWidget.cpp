#include "qnloginbase/src/UI/LoginWidget.h"

#include "QnQRCodeWriter/src/QnQRCodeWriter.h"
#include "qnloginbase/src/Interface/AccountServiceConstants.h"
#include "qnloginbase/src/Interface/HttpSession.h"
#include "qnloginbase/src/UI/LoginLibraryWidgets.h"
#include "qnloginbase/src/UI/LoginWindowKit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDebug>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const char kStyle[] = R"(
QCheckBox{spacing:7px;font-size:16px;color:#666666;}
QCheckBox::indicator{width:14px;height:14px;}
QCheckBox::indicator:unchecked{image:url(:/RiDovud/res/image/unchecked.svg);}
QCheckBox::indicator:checked{image:url(:/RiDovud/res/image/checked.svg);}
QPushButton#btnAccount,QPushButton#btnQR{font-size:26px;color:#333333;border:none;background:transparent;}
QPushButton#btnAccount:checked,QPushButton#btnQR:checked{border-bottom:3px solid #DE6F6F;border-top:3px solid transparent;}
QLabel#labelPwdErr,QLabel#labelPhoneErr{font-size:12px;color:#D35555;}
QWidget#widgetPhone,QWidget#widgetPwd{background-color:#FAFAFA;}
QPushButton#btnLogin{background-color:#DE6F6F;border-radius:4px;font-size:20px;color:#FFFFFF;}
QPushButton#btnLogin:pressed{background-color:#BA5757;}
QPushButton#btnLogin:disabled{background-color:rgba(204,204,204,0.97);}
QLabel#labelPhone{image:url(:/RiDovud/res/icon/phone.svg);background:transparent;border-top-left-radius:4px;border-bottom-left-radius:4px;}
QLabel#labelPwd{image:url(:/RiDovud/res/icon/verify.svg);background:transparent;border-top-left-radius:4px;border-bottom-left-radius:4px;}
QLineEdit#lineEditPhone,QLineEdit#lineEditPwd{border:none;font-size:18px;color:#333333;background-color:#F0F0F0;padding-left:26px;border-top-right-radius:4px;border-bottom-right-radius:4px;}
QPushButton#btnForgetPwd,QPushButton#btnRegister{border:none;font-size:16px;color:#E45C5C;background:transparent;}
QLabel#label_2,QLabel#label_3{font-size:16px;color:#333333;}
QLabel#label{font-size:16px;color:#333333;}
QWidget#widgetQrBg{background-color:#FFFFFF;}
QPushButton#btnRegisterH5{font-size:16px;font-weight:400;color:#E45C5C;border:none;background:transparent;}
QPushButton#btnRegisterH51{image:url(:/RiDovud/res/icon/arrow_right.svg);padding-left:10px;padding-top:2px;border:none;background:transparent;}
)";

QWidget *inputRow(QWidget *parent, const char *rowName, const char *iconName, QLineEdit *edit)
{
    auto *row = new QWidget(parent);
    row->setObjectName(QLatin1String(rowName));
    row->setAttribute(Qt::WA_StyledBackground);
    row->setFixedSize(427, 50);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *icon = new QLabel(row);
    icon->setObjectName(QLatin1String(iconName));
    icon->setFixedSize(50, 50);
    layout->addWidget(icon);
    edit->setParent(row);
    edit->setFixedHeight(50);
    layout->addWidget(edit);
    return row;
}

QLabel *errorLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedHeight(20);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

LoginWidget::LoginWidget(QWidget *parent, HttpSession *session)
    : QWidget(parent)
    , m_session(session ? session : HttpSession::instance())
    , m_webBaseUrl(QnAccountService::webBaseUrl())
{
    buildForm();
    initUI();
    initConnect();
}

LoginWidget::~LoginWidget()
{
    delete m_toast;
}

void LoginWidget::buildForm()
{
    setObjectName(QStringLiteral("LoginWidget"));
    setWindowTitle(QStringLiteral("Form"));
    resize(615, 578);
    setStyleSheet(QLatin1String(kStyle));

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 24);
    column->setSpacing(0);

    auto *tabs = new QWidget(this);
    tabs->setObjectName(QStringLiteral("widget"));
    tabs->setFixedHeight(113);
    auto *tabRow = new QHBoxLayout(tabs);
    tabRow->setContentsMargins(0, 40, 0, 0);
    tabRow->setSpacing(40);
    m_btnAccount = new QPushButton(QStringLiteral("账号登录"), tabs);
    m_btnAccount->setObjectName(QStringLiteral("btnAccount"));
    m_btnQR = new QPushButton(QStringLiteral("扫码登录"), tabs);
    m_btnQR->setObjectName(QStringLiteral("btnQR"));
    for (QPushButton *tab : {m_btnAccount, m_btnQR}) {
        tab->setCheckable(true);
        tab->setFixedSize(104, 35);
        tab->setCursor(Qt::PointingHandCursor);
    }
    m_btnAccount->setChecked(true);
    tabRow->addStretch();
    tabRow->addWidget(m_btnAccount);
    tabRow->addWidget(m_btnQR);
    tabRow->addStretch();
    m_buttonGroup = new QButtonGroup(this);
    m_buttonGroup->setObjectName(QStringLiteral("buttonGroup"));
    m_buttonGroup->setExclusive(true);
    m_buttonGroup->addButton(m_btnAccount);
    m_buttonGroup->addButton(m_btnQR);
    column->addWidget(tabs);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("stackedWidget"));
    m_stack->setFixedHeight(260);
    column->addWidget(m_stack);

    // Password page.
    m_pageAccount = new QWidget(m_stack);
    m_pageAccount->setObjectName(QStringLiteral("pageAccount"));
    // The fields form one centred column as wide as the input rows.
    auto *centre = new QHBoxLayout(m_pageAccount);
    centre->setContentsMargins(0, 0, 0, 0);
    auto *accountColumn = new QWidget(m_pageAccount);
    accountColumn->setFixedWidth(427);
    centre->addWidget(accountColumn, 0, Qt::AlignHCenter);
    auto *account = new QVBoxLayout(accountColumn);
    account->setContentsMargins(0, 0, 0, 0);
    account->setSpacing(0);
    m_phone = new QLineEdit;
    m_phone->setObjectName(QStringLiteral("lineEditPhone"));
    m_phone->setPlaceholderText(QStringLiteral("请输入手机号码"));
    m_phone->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]+$")), m_phone));
    m_phone->setMaxLength(11);
    account->addWidget(inputRow(accountColumn, "widgetPhone", "labelPhone", m_phone), 0, Qt::AlignHCenter);
    m_phoneErr = errorLabel(accountColumn, "labelPhoneErr");
    account->addWidget(m_phoneErr);
    m_pwd = new PasswordLineEidt;
    m_pwd->setObjectName(QStringLiteral("lineEditPwd"));
    m_pwd->setPlaceholderText(QStringLiteral("请输入密码"));
    m_pwd->setMaxLength(16);
    account->addWidget(inputRow(accountColumn, "widgetPwd", "labelPwd", m_pwd), 0, Qt::AlignHCenter);
    m_pwdErr = errorLabel(accountColumn, "labelPwdErr");
    account->addWidget(m_pwdErr);
    auto *options = new QHBoxLayout;
    options->setContentsMargins(0, 4, 0, 0);
    m_remember = new QCheckBox(QStringLiteral("记住密码"), accountColumn);
    m_remember->setObjectName(QStringLiteral("checkBox"));
    m_remember->setFixedHeight(20);
    options->addWidget(m_remember);
    options->addStretch();
    m_btnForget = new QPushButton(QStringLiteral("忘记密码"), accountColumn);
    m_btnForget->setObjectName(QStringLiteral("btnForgetPwd"));
    m_btnForget->setMinimumHeight(22);
    m_btnForget->setCursor(Qt::PointingHandCursor);
    options->addWidget(m_btnForget);
    account->addLayout(options);
    account->addSpacing(30);
    m_btnLogin = new QPushButton(QStringLiteral("登录"), accountColumn);
    m_btnLogin->setObjectName(QStringLiteral("btnLogin"));
    m_btnLogin->setFixedSize(427, 50);
    m_btnLogin->setEnabled(false);
    account->addWidget(m_btnLogin, 0, Qt::AlignHCenter);
    account->addStretch();
    m_stack->addWidget(m_pageAccount);

    // QR page.
    m_pageQR = new QWidget(m_stack);
    m_pageQR->setObjectName(QStringLiteral("pageQR"));
    auto *qr = new QVBoxLayout(m_pageQR);
    qr->setContentsMargins(0, 0, 0, 0);
    qr->setSpacing(8);
    auto *qrBg = new QWidget(m_pageQR);
    qrBg->setObjectName(QStringLiteral("widgetQrBg"));
    qrBg->setAttribute(Qt::WA_StyledBackground);
    qrBg->setFixedSize(208, 208);
    m_labelQR = new QrLabel(qrBg);
    m_labelQR->setObjectName(QStringLiteral("labelQR"));
    m_labelQR->setGeometry(16, 16, 176, 176);
    m_labelQR->setScaledContents(true);
    qr->addWidget(qrBg, 0, Qt::AlignHCenter);
    auto *hints = new QHBoxLayout;
    m_hint = new QLabel(QStringLiteral("使用昆洛传屏APP扫码登录"), m_pageQR);
    m_hint->setObjectName(QStringLiteral("label_3"));
    m_hint->setAlignment(Qt::AlignCenter);
    m_netFailure = new QLabel(QStringLiteral("网络异常点击重试"), m_pageQR);
    m_netFailure->setObjectName(QStringLiteral("label"));
    m_netFailure->setAlignment(Qt::AlignCenter);
    m_netFailure->hide();
    hints->addWidget(m_hint);
    hints->addWidget(m_netFailure);
    qr->addLayout(hints);
    qr->addStretch();
    m_stack->addWidget(m_pageQR);
    m_stack->setCurrentWidget(m_pageAccount);

    // Links under the stack.
    auto *linkRow = new QWidget(this);
    linkRow->setFixedWidth(427);
    auto *links = new QHBoxLayout(linkRow);
    links->setContentsMargins(0, 0, 0, 0);
    m_noAccount = new QLabel(QStringLiteral("还没有账号，"), linkRow);
    m_noAccount->setObjectName(QStringLiteral("label_2"));
    m_btnRegister = new QPushButton(QStringLiteral("立即注册"), linkRow);
    m_btnRegister->setObjectName(QStringLiteral("btnRegister"));
    m_btnRegister->setCursor(Qt::PointingHandCursor);
    links->addStretch();
    links->addWidget(m_noAccount);
    links->addWidget(m_btnRegister);
    auto *registerH5 = new QPushButton(QStringLiteral("注册"), linkRow);
    registerH5->setObjectName(QStringLiteral("btnRegisterH5"));
    registerH5->setFixedSize(32, 22);
    registerH5->setCursor(Qt::PointingHandCursor);
    auto *registerH51 = new QPushButton(linkRow);
    registerH51->setObjectName(QStringLiteral("btnRegisterH51"));
    registerH51->setFixedSize(18, 22);
    registerH51->setCursor(Qt::PointingHandCursor);
    links->addWidget(registerH5);
    links->addWidget(registerH51);
    column->addStretch();
    column->addWidget(linkRow, 0, Qt::AlignHCenter);
    m_phone->setFocus();
}

void LoginWidget::initUI()
{
    m_noAccount->hide();
    m_btnRegister->hide();
    m_loading = new LoginLoadingWidget(this);
    m_loading->setObjectName(QStringLiteral("loadingWidget"));
    m_loading->move((width() - m_loading->width()) / 2, 113 + 260 - m_loading->height());
    m_loading->hide();
    m_toast = new Toast(nullptr);
    m_toast->hide();
}

void LoginWidget::initConnect()
{
    connect(m_phone, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_btnLogin->setEnabled(!text.isEmpty() && !m_pwd->text().isEmpty());
        m_phoneErr->clear();
    });
    connect(m_pwd, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_btnLogin->setEnabled(!text.isEmpty() && !m_phone->text().isEmpty());
        m_pwdErr->clear();
    });
    connect(m_btnLogin, &QPushButton::clicked, this, &LoginWidget::onLoginClicked);
    connect(m_buttonGroup, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonPressed), this,
            &LoginWidget::onTabPressed);
    connect(m_labelQR, &QrLabel::labelPress, this, [this] {
        if (!m_online)
            m_toast->showText(tr("Network abnormal, please check network Settings"), 0, this);
    });
    connect(m_btnForget, &QPushButton::clicked, this, [this] { emit jumpPage(2); });
    connect(m_btnRegister, &QPushButton::clicked, this, [this] { emit jumpPage(1); });
    connect(m_session, &HttpSession::loginResult, this, &LoginWidget::onLoginResult);
    connect(m_session, &HttpSession::loginQRRs, this, &LoginWidget::onQrId);
    connect(m_session, &HttpSession::updateHeadIcon, this,
            [this](const QString &id) { emit updateHeadIcon(id, m_session->user().localHeadPath); });
    QMetaObject::connectSlotsByName(this);
}

void LoginWidget::setAccountInfo(const QString &account, const QString &password, bool remember)
{
    m_phone->setText(account);
    m_pwd->setText(password);
    m_remember->setChecked(remember);
}

void LoginWidget::showAccountPage()
{
    m_btnAccount->setChecked(true);
    m_stack->setCurrentWidget(m_pageAccount);
}

void LoginWidget::setNetworkState(bool online)
{
    m_online = online;
    if (m_stack->currentWidget() != m_pageQR)
        return;
    if (online) {
        m_session->startQR();
        m_hint->show();
        m_netFailure->hide();
    } else {
        m_session->stopQR();
        m_labelQR->setPixmap(QPixmap());
        m_labelQR->setStyleSheet(
            QStringLiteral("image:url(:/RiDovud/res/image/networkdisable.svg);border:0px;"));
        m_netFailure->show();
        m_hint->hide();
    }
}

void LoginWidget::slientLogin(const QString &account, const QString &password)
{
    m_session->checkAccount(account, password);
}

void LoginWidget::onLoginClicked()
{
    emit handLogin();
    const QString phone = m_phone->text();
    const QString password = m_pwd->text();
    if (phone.size() != 11) {
        m_phoneErr->setText(tr("The format of the mobile phone number is not correct"));
        return;
    }
    if (password.size() < 6 || password.size() > 16) {
        m_toast->showText(tr("Account password error"), 0, this);
        return;
    }
    m_loading->start();
    m_loading->raise();
    m_loading->show();
    m_btnLogin->setEnabled(false);
    m_session->checkAccount(phone, password);
}

void LoginWidget::onLoginResult(bool result, const QString &err)
{
    m_loading->stop();
    m_loading->hide();
    if (!result) {
        m_btnLogin->setEnabled(true);
        if (m_session->accountNotRegistered() == 1)
            m_phoneErr->setText(err);
        else
            m_toast->showText(err, 0, this);
        return;
    }
    QString account = m_phone->text();
    QString password = m_pwd->text();
    const QString remember = m_remember->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    const QnBoard::User user(m_session->user());
    if (account != user.username) {
        account = user.username;
        password.clear();
    }
    const QString head = user.localHeadPath;
    qDebug() << "user.viaLocal =====" << head << user.username.left(32);
    emit loginFinished(account, password, remember, head);
}

void LoginWidget::onTabPressed(QAbstractButton *button)
{
    if (button == m_btnAccount) {
        m_stack->setCurrentWidget(m_pageAccount);
        m_session->stopQR();
    } else if (button == m_btnQR) {
        emit handLogin();
        m_session->startQR();
        m_stack->setCurrentWidget(m_pageQR);
    }
}

void LoginWidget::onQrId(const QString &id)
{
    m_labelQR->setPixmap(QPixmap::fromImage(QnQRCodeWriter::makeQRcode(id, m_labelQR->size(), Qt::black)));
}

void LoginWidget::openRegisterPage()
{
    QDesktopServices::openUrl(QUrl(QnAccountService::registerWebUrl(m_webBaseUrl), QUrl::TolerantMode));
}

void LoginWidget::on_btnRegisterH5_clicked()
{
    openRegisterPage();
}

void LoginWidget::on_btnRegisterH51_clicked()
{
    openRegisterPage();
}

void LoginWidget::lookupHostSlot(const QHostInfo &host)
{
    if (host.error() != QHostInfo::NoError) {
        qDebug() << "Not Online!  " << host.errorString();
        m_labelQR->setPixmap(QPixmap());
    }
}
