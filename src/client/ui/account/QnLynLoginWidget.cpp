#include "client/ui/account/QnLynLoginWidget.h"

#include "client/ui/QnFloatTip.h"
#include "client/ui/account/QnAccountForm.h"
#include "client/ui/account/QnAccountRules.h"
#include "client/ui/account/QnHeadImageFile.h"
#include "client/ui/account/QnLoginCredentials.h"
#include "client/ui/account/QnPasswordEye.h"
#include "common/http/QnLynInterNetWorkManager.h"
#include "common/settings/COption.h"
#include "platform/keychain/QnCredentialStore.h"
#include "qnloginbase/src/Interface/QnBoardUser.h"
#include "qnloginbase/src/Interface/SessionReply.h"

#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegExpValidator>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcLogin, "qn.account.login")

using namespace QnAccountForm;

QnLynLoginWidget::QnLynLoginWidget(QWidget *parent)
    : QWidget(parent), m_probeHost(QStringLiteral("www.baidu.com"))
{
    buildForm();
    m_account->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[0-9]+$")), this));
    m_account->setMaxLength(11);
    m_password->setMaxLength(16);
    m_eye = new QnPasswordEye(m_password, m_passStatus, this);
    m_ownStore = QnCredentialStore::create(QLatin1String(QnLoginCredentials::kService));
    m_credentials = new QnLoginCredentials(COption::configPath(), m_ownStore.get(), this);

    connect(m_loginBtn, &QPushButton::clicked, this, &QnLynLoginWidget::on_loginBtn_clicked);
    connect(m_account, &QLineEdit::textChanged, this, &QnLynLoginWidget::on_accountLineEdit_textChanged);
    connect(m_password, &QLineEdit::textChanged, this, &QnLynLoginWidget::on_passwordLineEdit_textChanged);
    connect(m_checkBox, &QCheckBox::stateChanged, this, &QnLynLoginWidget::on_checkBox_stateChanged);
    connect(m_forgot, &QPushButton::clicked, this, &QnLynLoginWidget::on_pushButton_clicked);
    connect(m_regis1, &QPushButton::clicked, this, &QnLynLoginWidget::on_regisBtn1_clicked);
    connect(m_regis2, &QPushButton::clicked, this, &QnLynLoginWidget::on_regisBtn2_clicked);
}

QnLynLoginWidget::~QnLynLoginWidget() = default;

void QnLynLoginWidget::buildForm()
{
    setObjectName(QStringLiteral("QnLynLoginWidget"));
    setWindowTitle(QStringLiteral("Form"));
    resize(555, 560);
    setMinimumHeight(560);
    setMaximumHeight(560);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addSpacing(50);
    m_title = label(this, "label", QStringLiteral("登录"),
                    QStringLiteral("font-size:18px;color:#DE6F6F;font-family:\"Microsoft YaHei\";"));
    m_title->setFixedHeight(25);
    centred(v, m_title);
    v->addSpacing(60);

    m_frame1 = inputFrame(this, "loginframe1");
    m_accountIcon = iconCell(m_frame1, "accountLabel", QStringLiteral(":/img/shouji.svg"));
    m_account = field(m_frame1, "accountLineEdit", QStringLiteral("请输入手机号码"), 287);
    m_frame1->layout()->addWidget(m_accountIcon);
    m_frame1->layout()->addWidget(m_account);
    centred(v, m_frame1);
    m_accountMsg = errorLine(this, "accountMsgLabel");
    m_accountMsg->setFixedWidth(327);
    centred(v, m_accountMsg);

    m_frame2 = inputFrame(this, "loginframe2");
    m_passwordIcon = iconCell(m_frame2, "passwordLabel", QStringLiteral(":/img/mima.svg"));
    m_password = field(m_frame2, "passwordLineEdit", QStringLiteral("请输入密码"), 247);
    m_passStatus = new QLabel(m_frame2);
    m_passStatus->setObjectName(QStringLiteral("passStatuslabel"));
    m_passStatus->setFixedSize(40, 40);
    m_frame2->layout()->addWidget(m_passwordIcon);
    m_frame2->layout()->addWidget(m_password);
    m_frame2->layout()->addWidget(m_passStatus);
    centred(v, m_frame2);
    m_passwordMsg = errorLine(this, "passwordMsgLabel");
    m_passwordMsg->setFixedWidth(327);
    centred(v, m_passwordMsg);

    auto *optionsRow = new QWidget(this);
    optionsRow->setFixedWidth(327);
    auto *options = new QHBoxLayout(optionsRow);
    options->setContentsMargins(0, 0, 0, 0);
    m_checkBox = new QCheckBox(QStringLiteral("记住密码"), optionsRow);
    m_checkBox->setObjectName(QStringLiteral("checkBox"));
    m_checkBox->setFixedHeight(20);
    m_checkBox->setStyleSheet(
        QStringLiteral("QCheckBox{font-size:14px;color:#666666;font-family:\"Microsoft YaHei\";}"
                       "QCheckBox::indicator{width:14px;height:14px;}"
                       "QCheckBox::indicator:unchecked{image:url(:/img/uncheck.svg);}"
                       "QCheckBox::indicator:checked{image:url(:/img/checked.svg);}"));
    m_forgot =
        button(optionsRow, "pushButton", QStringLiteral("忘记密码"),
               QStringLiteral("QPushButton{border:0px;background:transparent;font-size:14px;color:#666666;"
                              "font-family:\"Microsoft YaHei\";}"));
    m_forgot->setFixedWidth(56);
    options->addWidget(m_checkBox);
    options->addStretch(1);
    options->addWidget(m_forgot);
    centred(v, optionsRow);
    v->addSpacing(30);

    m_loginBtn = button(this, "loginBtn", QStringLiteral("登录"), accentButtonStyle(4));
    m_loginBtn->setFixedSize(327, 40);
    m_loginBtn->setEnabled(false);
    centred(v, m_loginBtn);
    v->addSpacing(24);

    QHBoxLayout *regRow = centredLayout(v);
    m_regis1 =
        button(this, "regisBtn1", QStringLiteral("注册"),
               QStringLiteral("QPushButton{border:0px;background:transparent;font-size:16px;color:#DE6F6F;"
                              "font-family:\"Microsoft YaHei\";}"));
    m_regis2 = imageButton(this, "regisBtn2", QStringLiteral(":/img/redrightarrow.svg"), 16, 12);
    regRow->addStretch(1);
    regRow->addWidget(m_regis1);
    regRow->addSpacing(4);
    regRow->addWidget(m_regis2);
    regRow->addStretch(1);
    v->addStretch(1);
}

void QnLynLoginWidget::setCredentialStore(QnCredentialStore *store)
{
    m_credentials->setStore(store ? store : m_ownStore.get());
}

void QnLynLoginWidget::setSettingsPath(const QString &path)
{
    m_credentials->setSettingsPath(path);
}

void QnLynLoginWidget::resetPasswordEcho()
{
    m_eye->reset();
}

void QnLynLoginWidget::readPassword(bool remember, const QString &userName, const QString &password)
{
    Q_UNUSED(password)
    m_checkBox->setChecked(remember);
    if (remember)
        m_account->setText(userName);
    m_credentials->loadRemembered(remember, this, [this, remember](const QString &secret) {
        if (remember)
            m_password->setText(secret);
    });
}

void QnLynLoginWidget::slientLogin(const QString &username, const QString &password)
{
    m_password->setText(password);
    m_account->setText(username);
    postLogin(true);
}

void QnLynLoginWidget::slientLoginRemembered(const QString &userName)
{
    m_credentials->loadRemembered(m_remember, this, [this, userName](const QString &secret) {
        if (userName.isEmpty() || secret.isEmpty()) {
            emit slientLoginSuccess(false);
            return;
        }
        slientLogin(userName, secret);
    });
}

void QnLynLoginWidget::on_loginBtn_clicked()
{
    m_accountMsg->clear();
    if (!QnAccountRules::isPhoneNumber(m_account->text())) {
        m_accountMsg->setText(tr("The format of the mobile phone number is not correct."));
        return;
    }
    QHostInfo::lookupHost(m_probeHost, this, SLOT(lookupHostSlot(QHostInfo)));
}

void QnLynLoginWidget::lookupHostSlot(const QHostInfo &host)
{
    if (host.error() != QHostInfo::NoError) {
        qCInfo(lcLogin) << "Not Online!  " << host.errorString();
        toast(tr("Network abnormal, please check network Settings"));
        return;
    }
    QnLynInterNetWorkManager::instance()->httpPost(
        this, QLatin1String(QnAccountRules::kIsUse),
        QJsonObject{{QStringLiteral("username"), m_account->text()}},
        [this](HttpResultInfo &r) { httpCallBack(r, false); });
}

void QnLynLoginWidget::postLogin(bool silent)
{
    const QJsonObject body{{QStringLiteral("username"), m_account->text()},
                           {QStringLiteral("password"), m_password->text()},
                           {QStringLiteral("platformCode"), QLatin1String(QnAccountRules::kPlatformCode)}};
    QnLynInterNetWorkManager::instance()->httpPost(
        this, QLatin1String(QnAccountRules::kLogin), body,
        [this, silent](HttpResultInfo &r) { httpCallBack(r, silent); });
}

void QnLynLoginWidget::httpCallBack(const HttpResultInfo &result, bool silent)
{
    qCDebug(lcLogin) << "callback ====" << result.requestPath << result.statusCode
                     << QnAccountService::redactedForLog(result.replyObject);
    if (result.statusCode != 200) {
        toast(QnAccountRules::refusalText(result, tr("Network abnormal, please check network Settings")));
        if (silent && result.requestPath == QLatin1String(QnAccountRules::kLogin))
            emit slientLoginSuccess(false);
        return;
    }
    if (result.requestPath == QLatin1String(QnAccountRules::kIsUse)) {
        if (QnAccountRules::dataString(result.replyObject) == QLatin1String("0")) {
            m_accountMsg->setText(tr("Mobile number not registered"));
            return;
        }
        postLogin(false);
    } else if (result.requestPath == QLatin1String(QnAccountRules::kLogin)) {
        const bool ok = QnAccountRules::replyCode(result.replyObject) == 200;
        if (ok)
            signedIn(result.replyObject);
        emit loginSuccess(ok);
        if (silent)
            emit slientLoginSuccess(ok);
    }
}

void QnLynLoginWidget::signedIn(const QJsonObject &reply)
{
    const QJsonObject data = reply.value(QStringLiteral("data")).toObject();
    const QJsonObject user = data.value(QStringLiteral("user")).toObject();
    m_userInfo.token = data.value(QStringLiteral("token")).toString();
    m_userInfo.userName = user.value(QStringLiteral("username")).toString();
    m_userInfo.name = user.value(QStringLiteral("name")).toString();
    m_userInfo.nickName = user.value(QStringLiteral("nickname")).toString();
    m_userInfo.uuid = user.value(QStringLiteral("uuid")).toString();
    m_userInfo.password = m_password->text();
    downloadHead(user.value(QStringLiteral("headPath")).toString(), m_userInfo.uuid);
    m_credentials->saveSignIn(m_userInfo.userName, m_remember, m_password->text());
}

void QnLynLoginWidget::downloadHead(const QString &headPath, const QString &uuid)
{
    QnLynInterNetWorkManager *client = QnLynInterNetWorkManager::instance();
    const QUrl url = QnBoard::User::avatarUrl(client->baseAddress(), headPath);
    const QString finalPath = QnHeadImageFile::pathFor(uuid);
    if (url.isEmpty() || finalPath.isEmpty()) {
        qCInfo(lcLogin) << "no head image to fetch (empty or foreign head path, or unusable user id)";
        return;
    }
    QnHeadImageFile::removeStaleParts(finalPath);
    DownloadTask task;
    task.url = url.toString();
    task.savePath = QnHeadImageFile::tempPathFor(finalPath);
    task.context = this;
    task.callback = [this, finalPath](const HttpFileResult &r) { httpDownFileCallBack(r, finalPath); };
    client->addDownloadTask(task);
}

void QnLynLoginWidget::httpDownFileCallBack(const HttpFileResult &result, const QString &finalPath)
{
    if (result.statusCode == 200 && !result.finished)
        return; // progress
    qCDebug(lcLogin) << "httpDownFileCallBack==========" << result.statusCode << result.filePath;
    if (result.statusCode != 200 || !result.finished) {
        if (!result.filePath.isEmpty())
            QFile::remove(result.filePath);
        return;
    }
    if (!QnHeadImageFile::commit(result.filePath, finalPath)) {
        qCWarning(lcLogin) << "downloaded head image is not a picture; the old one stays";
        return;
    }
    emit iconHeadDownFinished(finalPath);
}

void QnLynLoginWidget::updateLoginButton()
{
    m_loginBtn->setEnabled(!m_account->text().isEmpty() && !m_password->text().isEmpty());
}

void QnLynLoginWidget::on_accountLineEdit_textChanged(const QString &)
{
    updateLoginButton();
}

void QnLynLoginWidget::on_passwordLineEdit_textChanged(const QString &)
{
    updateLoginButton();
}

void QnLynLoginWidget::on_checkBox_stateChanged(int arg1)
{
    m_remember = arg1 == Qt::Checked;
}

void QnLynLoginWidget::on_pushButton_clicked()
{
    emit forgotPassword();
}

void QnLynLoginWidget::on_regisBtn1_clicked()
{
    emit registerAccount();
}

void QnLynLoginWidget::on_regisBtn2_clicked()
{
    emit registerAccount();
}

void QnLynLoginWidget::toast(const QString &text)
{
    QnFloatTip::showTip(text, this, 2000);
}
