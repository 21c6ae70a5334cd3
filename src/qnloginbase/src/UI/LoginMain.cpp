#include "qnloginbase/src/UI/LoginMain.h"

#include "qnloginbase/src/Interface/AccountConfig.h"
#include "qnloginbase/src/Interface/HttpSession.h"
#include "qnloginbase/src/UI/BannerWidget.h"
#include "qnloginbase/src/UI/LoginLibraryWidgets.h"
#include "qnloginbase/src/UI/LoginWidget.h"
#include "qnloginbase/src/UI/LoginWindowKit.h"
#include "qnloginbase/src/UI/PhoneCodePage.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScroller>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const char kDialogStyle[] = R"(
*{font-family:"Microsoft Yahei";outline:none;}
QListWidget{background:transparent;border:none;}
QListWidget::item{padding-left:13px;}
QListWidget::item:selected{background-color:#F38282;color:#FFFFFF;}
QStackedWidget#stackedWidget_2{background-color:#FFFFFF;border-top-right-radius:10px;border-bottom-right-radius:10px;}
QPushButton#loginCloseBtn{border:none;image:url(:/RiDovud/res/image/btn_close.svg);}
QPushButton#loginCloseBtn:pressed{image:url(:/RiDovud/res/image/btn_close_hover.svg);}
QPushButton#loginMinBtn{border:none;image:url(:/RiDovud/res/image/btn_min.svg);}
QPushButton#loginMinBtn:pressed{image:url(:/RiDovud/res/image/btn_min_hover.svg);}
QPushButton#PwdLineEditEye{width:14px;height:10px;border:none;background:transparent;image:url(:/RiDovud/res/icon/pwd_close.svg);}
QPushButton#PwdLineEditEye:checked{image:url(:/RiDovud/res/icon/pwd_open.svg);}
QPushButton#bannerBtn{width:9px;height:9px;border:1px solid #FFFFFF;border-radius:4px;background:transparent;}
QPushButton#bannerBtn:checked{background-color:#FFFFFF;}
QScrollBar:vertical{width:6px;background:transparent;margin:0px;}
QScrollBar::handle:vertical{background:rgba(255,170,170,100%);border-radius:3px;min-height:20px;}
QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:0px;}
QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:transparent;}
)";

const QString kTrue = QStringLiteral("true");

} // namespace

// --- ListItemAccount -------------------------------------------------------------------------

ListItemAccount::ListItemAccount(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ListItemAccount"));
    resize(414, 78);
    setAttribute(Qt::WA_TranslucentBackground);
    auto *layout = new QHBoxLayout(this);
    layout->setSpacing(20);
    layout->setContentsMargins(36, 0, 12, 0);
    m_head = new CZvHeadButton(this);
    m_head->setFixedSize(50, 50);
    m_head->setStyleSheet(QStringLiteral("border:none;background:transparent;"));
    m_head->setHeadWidth(50);
    m_head->loadHeadImage(QStringLiteral(":/RiDovud/res/icon/default_head.png"));
    m_head->setRingVisible(false);
    layout->addWidget(m_head);
    m_avatar = new QLabel(this);
    m_avatar->setObjectName(QStringLiteral("tlAvatar"));
    m_avatar->setFixedSize(50, 50);
    m_avatar->hide();
    layout->addWidget(m_avatar);
    m_account = new QLabel(this);
    m_account->setObjectName(QStringLiteral("tlAccount"));
    m_account->setTextFormat(Qt::PlainText);
    m_account->setStyleSheet(QStringLiteral("font-size:14px;color:#FFFFFF;font-family:\"PingFang SC\";"));
    layout->addWidget(m_account, 1);
    m_delete = new QPushButton(this);
    m_delete->setFixedSize(16, 16);
    m_delete->setCursor(Qt::PointingHandCursor);
    m_delete->setStyleSheet(
        QStringLiteral("border:none;background:transparent;image:url(:/RiDovud/res/icon/icon_close.svg);"));
    layout->addWidget(m_delete);
}

void ListItemAccount::setAccountText(const QString &text, const QString &name)
{
    m_account->setText(text);
    m_delete->setObjectName(name);
}

void ListItemAccount::setHeadImage(const QString &path)
{
    m_head->loadHeadImage(path);
    if (!m_head->hasPicture())
        m_head->loadHeadImage(QStringLiteral(":/RiDovud/res/icon/default_head.png"));
}

void ListItemAccount::showDelete(bool show)
{
    m_delete->setVisible(show);
}

QString ListItemAccount::accountText() const
{
    return m_account->text();
}

// --- LoginMain -------------------------------------------------------------------------------

LoginMain::LoginMain(QWidget *parent, HttpSession *session, AccountConfig *config)
    : QDialog(parent)
    , m_session(session ? session : HttpSession::instance())
    , m_config(config ? config : AccountConfig::instance())
{
    buildForm();
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowTitle(tr("quenlo classroom"));

    auto *shadow = new QnBorderShadow(this);
    shadow->setRoundness(4);
    shadow->install(this);
    auto *mover = new LoginFrameMover(this);
    mover->setMovable(true);
    mover->attachWidget(this);

    m_list->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    QScroller::grabGesture(m_list->viewport(), QScroller::TouchGesture);

    m_banner = new BannerWidget(this);
    m_banner->setObjectName(QStringLiteral("banner"));
    m_banner->resize(m_left->size());
    for (int i = 1; i <= 3; ++i)
        m_banner->addImage(QStringLiteral(":/RiDovud/res/banner/banner_%1.svg").arg(i));
    m_banner->hide();

    m_login = new LoginWidget(this, m_session);
    m_pages->addWidget(m_login);

    m_closeBtn = new QPushButton(this);
    m_closeBtn->setObjectName(QStringLiteral("loginCloseBtn"));
    m_closeBtn->setFixedSize(14, 14);
    m_closeBtn->setCursor(Qt::PointingHandCursor);
    connect(m_closeBtn, &QPushButton::clicked, this, [this] {
        reject();
        emit closeLoginWidget();
        m_login->showAccountPage();
    });
    m_minBtn = new QPushButton(this);
    m_minBtn->setObjectName(QStringLiteral("loginMinBtn"));
    m_minBtn->setFixedSize(14, 14);
    m_minBtn->setCursor(Qt::PointingHandCursor);
    m_minBtn->hide();
    connect(m_minBtn, &QPushButton::clicked, this, &QWidget::showMinimized);
    m_titleBtn = new QToolButton(this);
    m_titleBtn->setObjectName(QStringLiteral("titleBtn"));
    m_titleBtn->setText(tr("  quenlo lynserver"));
    m_titleBtn->setIcon(QIcon(QStringLiteral(":/RiDovud/res/icon/logo.svg")));
    m_titleBtn->setIconSize(QSize(22, 20));
    m_titleBtn->setFixedSize(114, 28);
    m_titleBtn->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_titleBtn->setStyleSheet(QStringLiteral("border: none;font-size: 20px;color: #FFFFFF;"));
    m_titleBtn->setEnabled(false);

    connect(m_login, &LoginWidget::jumpPage, this, &LoginMain::jumpPage);
    connect(m_login, &LoginWidget::loginFinished, this, &LoginMain::onLoginFinished);
    connect(m_login, &LoginWidget::handLogin, this, [this] { m_silent = false; });
    connect(m_login, &LoginWidget::updateHeadIcon, this, &LoginMain::updateHeadIcon);
    connect(m_list, &QListWidget::currentItemChanged, this, &LoginMain::onCurrentRowChanged);

    loadHistoryList();
}

LoginMain::~LoginMain()
{
    clearRows();
}

void LoginMain::buildForm()
{
    setObjectName(QStringLiteral("LoginMain"));
    setFixedSize(937, 612);
    setStyleSheet(QLatin1String(kDialogStyle));
    auto *outer = new QVBoxLayout(this);
    outer->setSpacing(0);
    outer->setContentsMargins(6, 6, 6, 6);
    auto *background = new QWidget(this);
    background->setObjectName(QStringLiteral("LoginMainBg"));
    background->setAttribute(Qt::WA_StyledBackground);
    background->setStyleSheet(
        QStringLiteral("QWidget#LoginMainBg{border-image: url(:/RiDovud/res/image/loginback.png);}"));
    outer->addWidget(background);
    auto *row = new QHBoxLayout(background);
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    m_left = new QStackedWidget(background);
    m_left->setObjectName(QStringLiteral("stackedWidget"));
    m_left->setFixedSize(342, 600);
    m_pageHistory = new QWidget(m_left);
    m_pageHistory->setObjectName(QStringLiteral("pageHistory"));
    auto *history = new QVBoxLayout(m_pageHistory);
    history->setSpacing(0);
    history->setContentsMargins(0, 68, 0, 0);
    m_list = new QListWidget(m_pageHistory);
    m_list->setObjectName(QStringLiteral("listWidget"));
    history->addWidget(m_list);
    m_left->addWidget(m_pageHistory);
    row->addWidget(m_left);
    m_pages = new QStackedWidget(background);
    m_pages->setObjectName(QStringLiteral("stackedWidget_2"));
    row->addWidget(m_pages);
}

QString LoginMain::maskedAccount(const QString &account)
{
    return account.mid(0, 3) + QStringLiteral("*****") + account.mid(7, 4);
}

ListItemAccount *LoginMain::rowWidget(QListWidgetItem *item) const
{
    return item ? qobject_cast<ListItemAccount *>(m_list->itemWidget(item)) : nullptr;
}

void LoginMain::loadHistoryList()
{
    m_config->readConfig();
    const QStringList accounts = m_config->accounts;
    for (int i = 0; i < accounts.size(); ++i) {
        auto *item = new QListWidgetItem;
        item->setSizeHint(QSize(342, 78));
        auto *row = new ListItemAccount;
        row->setAccountText(maskedAccount(accounts.at(i)), accounts.at(i));
        if (i < m_config->imagePaths.size() && !m_config->imagePaths.at(i).isEmpty())
            row->setHeadImage(m_config->imagePaths.at(i));
        row->showDelete(i == 0);
        m_list->addItem(item);
        m_list->setItemWidget(item, row);
        connect(row->deleteButton(), &QPushButton::clicked, this, &LoginMain::onDeleteClicked);
    }
    if (!accounts.isEmpty()) {
        m_list->setCurrentRow(0);
        m_left->setCurrentWidget(m_pageHistory);
    }
    changeAccount(0);
}

void LoginMain::clearRows()
{
    const QSignalBlocker blocker(m_list);
    for (int i = m_list->count() - 1; i >= 0; --i) {
        QListWidgetItem *item = m_list->item(i);
        delete m_list->itemWidget(item);
        delete m_list->takeItem(i);
    }
    m_list->clear();
}

void LoginMain::refreshHistoryList()
{
    clearRows();
    ++m_fillGeneration;
    m_login->setAccountInfo(QString(), QString(), false);
    loadHistoryList();
}

void LoginMain::onCurrentRowChanged(QListWidgetItem *current, QListWidgetItem *previous)
{
    if (ListItemAccount *row = rowWidget(previous ? previous : m_list->item(0)))
        row->showDelete(false);
    if (ListItemAccount *row = rowWidget(current)) {
        row->showDelete(true);
        changeAccount(m_config->accounts.indexOf(row->deleteButton()->objectName()));
    }
}

void LoginMain::changeAccount(int index)
{
    if (index < 0 || index >= m_config->accounts.size()) {
        ++m_fillGeneration;
        if (m_config->accounts.isEmpty())
            m_login->setAccountInfo(QString(), QString(), false);
        return;
    }
    fillFromStore(index, m_config->remembered.value(index, QStringLiteral("false")) == kTrue);
}

// Fills the form with accounts[index] at once and its remembered password when the store answers;
// the store applies the 15-day rule and answers "" for an account that is not remembered.
void LoginMain::fillFromStore(int index, bool remember)
{
    const QString account = m_config->accounts.value(index);
    const quint64 generation = ++m_fillGeneration;
    m_login->setAccountInfo(account, QString(), remember);
    if (!remember)
        return;
    ++m_pendingLoads;
    m_config->loadPassword(index, this, [this, generation, account](const QString &password, auto) {
        --m_pendingLoads;
        if (generation == m_fillGeneration && !password.isEmpty())
            m_login->setAccountInfo(account, password, true);
        emit passwordLoaded();
    });
}

void LoginMain::onDeleteClicked()
{
    const QString name = sender() ? sender()->objectName() : QString();
    removeAccount(m_config->accounts.indexOf(name));
}

void LoginMain::removeAccount(int index)
{
    if (index < 0 || index >= m_config->accounts.size())
        return;
    QListWidgetItem *item = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        ListItemAccount *row = rowWidget(m_list->item(i));
        if (row && row->deleteButton()->objectName() == m_config->accounts.at(index))
            item = m_list->item(i);
    }
    if (m_config->accounts.size() == 1) {
        ++m_fillGeneration;
        m_login->setAccountInfo(QString(), QString(), false);
    } else {
        const int neighbour = index + 1 < m_config->accounts.size() ? index + 1 : index - 1;
        fillFromStore(neighbour, m_config->remembered.value(neighbour, QStringLiteral("false")) == kTrue);
    }
    if (item) {
        const QSignalBlocker blocker(m_list);
        delete m_list->itemWidget(item);
        delete m_list->takeItem(m_list->row(item));
    }
    m_config->removeAccount(index);
    // The row that is current now shows its delete button.
    for (int i = 0; i < m_list->count(); ++i) {
        if (ListItemAccount *row = rowWidget(m_list->item(i)))
            row->showDelete(m_list->item(i) == m_list->currentItem());
    }
}

void LoginMain::jumpPage(int page)
{
    PhoneCodePage *target = nullptr;
    if (page == 1) {
        if (!m_register) {
            m_register = new RegisterWidget(this, m_session);
            connect(m_register, &PhoneCodePage::jumpPage, this, &LoginMain::showLoginPage);
            m_pages->addWidget(m_register);
        }
        target = m_register;
    } else if (page == 2) {
        if (!m_forget) {
            m_forget = new ForgetPwdWidget(this, m_session);
            connect(m_forget, &PhoneCodePage::jumpPage, this, &LoginMain::showLoginPage);
            m_pages->addWidget(m_forget);
        }
        target = m_forget;
    }
    if (!target)
        return;
    target->resetPage();
    m_pages->setCurrentWidget(target);
}

void LoginMain::showLoginPage()
{
    m_pages->setCurrentWidget(m_login);
    if (!m_config->accounts.isEmpty())
        m_left->setCurrentWidget(m_pageHistory);
}

void LoginMain::onLoginFinished(const QString &account, const QString &pwd, const QString &remember,
                                const QString &imagePath)
{
    m_config->saveAccount(account, pwd, remember, imagePath);
    accept();
    if (!m_silent) {
        m_account = account;
        m_password = pwd;
    }
    // Passwords are never logged.
    qDebug() << "loginsuccess ====" << account.left(32) << m_account.left(32) << m_silent;
    emit loginFinished(m_account, m_password, imagePath);
    m_login->showAccountPage();
}

void LoginMain::slientLogin(const QString &account, const QString &password)
{
    m_silent = true;
    m_login->slientLogin(account, password);
    m_account = account;
    m_password = password;
    qDebug() << "slient =====";
}

void LoginMain::setNetworkState(bool online)
{
    m_login->setNetworkState(online);
}

void LoginMain::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_closeBtn->move(width() - 28 - m_closeBtn->width(), 24);
    m_titleBtn->move(26, 20);
    m_closeBtn->raise();
    m_titleBtn->raise();
    m_closeBtn->show();
    m_titleBtn->show();
}

void LoginMain::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
