// The root window: its form, the pages of the sign-in frame and the wiring of every window and of
// the client object. The handlers live in QnMainWidgetHandlers.cpp.
#include "client/ui/root/QnMainWidget.h"

#include "client/object/QnLynClientObject.h"
#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/QnLynConnectWaittingWidget.h"
#include "client/ui/account/QnLynLoginWidget.h"
#include "client/ui/account/QnLynRegisterWidget.h"
#include "client/ui/account/QnLynUserAgreementWidget.h"
#include "client/ui/desktop/QnLynDesktop.h"
#include "client/ui/internal/QnUiLog.h"
#include "client/ui/sender/QnLynConnectWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/discovery/QnLynSocket.h"
#include "platform/system/QnAutostart.h"
#include "qnloginbase/src/UI/LoginMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace {
/// The autostart entry of this program (its file name: "<name>.desktop").
const QString kAutostartName = QStringLiteral("QnLynClient");
const QString kAutoRunArgument = QStringLiteral("AutoRun");
} // namespace

QnMainWidget::QnMainWidget(QWidget *parent) : QWidget(parent)
{
    buildForm();
    m_desktop = new QnLynDesktop(nullptr);
    m_desktop->hide();
    initUI();
}

QnMainWidget::~QnMainWidget()
{
    // The windows made without a parent go with the root window.
    delete m_connectWidget;
    delete m_loginDialog;
    delete m_desktop;
}

void QnMainWidget::buildForm()
{
    setObjectName(QStringLiteral("QnMainWidget"));
    setWindowTitle(QStringLiteral("昆洛传屏发送端"));
    resize(820, 620);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *back = new QFrame(this);
    back->setObjectName(QStringLiteral("backframe"));
    back->setStyleSheet(QStringLiteral("#backframe{border-image:url(:/img/loginback.svg);}"));
    outer->addWidget(back);
    auto *row = new QHBoxLayout(back);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    auto *left = new QFrame(back);
    left->setObjectName(QStringLiteral("frame_2"));
    left->setFixedWidth(265);
    auto *leftColumn = new QVBoxLayout(left);
    leftColumn->setContentsMargins(0, 10, 0, 0);
    leftColumn->addSpacing(30);
    auto *title = new QLabel(QStringLiteral("昆洛传屏"), left);
    title->setObjectName(QStringLiteral("label"));
    title->setAlignment(Qt::AlignHCenter);
    title->setStyleSheet(QStringLiteral("color:white;font-size:16px;"));
    leftColumn->addWidget(title);
    leftColumn->addStretch();
    row->addWidget(left);

    auto *right = new QFrame(back);
    right->setObjectName(QStringLiteral("rightFrame"));
    right->setStyleSheet(QStringLiteral("#rightFrame{background:white;border-radius:4px;}"));
    auto *rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(0, 0, 0, 0);
    auto *titleBar = new QWidget(right);
    titleBar->setObjectName(QStringLiteral("titleWidget"));
    titleBar->setFixedHeight(40);
    auto *bar = new QHBoxLayout(titleBar);
    m_backBtn = new QPushButton(titleBar);
    m_backBtn->setObjectName(QStringLiteral("backBtn"));
    m_backBtn->setMaximumWidth(14);
    m_backBtn->setStyleSheet(QStringLiteral("border-image:url(:/img/leftArrow.svg);"));
    m_backBtn1 = new QPushButton(QStringLiteral("返回"), titleBar);
    m_backBtn1->setObjectName(QStringLiteral("backBtn1"));
    m_backBtn1->setFlat(true);
    m_backBtn1->setStyleSheet(QStringLiteral("color:#DE6F6F;font-size:14px;border:none;"));
    m_closeBtn = new QPushButton(titleBar);
    m_closeBtn->setObjectName(QStringLiteral("closeBtn"));
    m_closeBtn->setFixedSize(20, 20);
    m_closeBtn->setStyleSheet(
        QStringLiteral("QPushButton{border-image:url(:/img/close.svg);}"
                       "QPushButton:pressed{border-image:url(:/img/close_press.svg);}"));
    bar->addWidget(m_backBtn);
    bar->addWidget(m_backBtn1);
    bar->addStretch();
    bar->addWidget(m_closeBtn);
    rightColumn->addWidget(titleBar);
    m_stack = new QStackedWidget(right);
    m_stack->setObjectName(QStringLiteral("stackedWidget"));
    rightColumn->addWidget(m_stack);
    row->addWidget(right);
    QMetaObject::connectSlotsByName(this);
}

void QnMainWidget::initUI()
{
    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(true);
    helper->setResizable(false);
    helper->attachWidget(this);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlag(Qt::NoDropShadowWindowHint);

    m_backBtn->hide();
    m_backBtn1->hide();
    m_picturesFolder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    m_documentsFolder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);

    m_loginPage = new QnLynLoginWidget(m_stack);
    m_stack->addWidget(m_loginPage);
    m_stack->setCurrentWidget(m_loginPage);
    m_registerPage = new QnLynRegisterWidget(m_stack);
    m_stack->addWidget(m_registerPage);
    m_forgotPage = new QnLynRegisterWidget(m_stack);
    m_forgotPage->setPageType(0);
    m_stack->addWidget(m_forgotPage);
    m_agreementPage = new QnLynUserAgreementWidget(m_stack);
    m_stack->addWidget(m_agreementPage);

    m_connectWidget = new QnLynConnectWidget(nullptr);
    m_overlay = new QnLynConnectWaittingWidget(m_desktop);
    m_overlay->hideCancelButton();
    m_overlay->setAttribute(Qt::WA_ShowModal, false);
    m_overlay->hide();

    m_loginDialog = new LoginMain(nullptr);
    m_loginDialog->hide();

    m_networkTimer = new QTimer(this);
    m_networkTimer->setSingleShot(true);
    connect(m_networkTimer, &QTimer::timeout, this, &QnMainWidget::networkRecheck);

    m_fileDialog = [](const QString &caption, const QString &folder, const QString &filter) {
        return QFileDialog::getOpenFileNames(nullptr, caption, folder, filter);
    };
    connectPages();
    hide();
}

void QnMainWidget::showPage(QWidget *page)
{
    m_stack->setCurrentWidget(page);
}

void QnMainWidget::connectPages()
{
    connect(m_loginPage, &QnLynLoginWidget::registerAccount, this, [this] {
        m_registerPage->resetPage();
        showPage(m_registerPage);
    });
    connect(m_loginPage, &QnLynLoginWidget::forgotPassword, this, [this] {
        m_forgotPage->resetPage();
        showPage(m_forgotPage);
    });
    connect(m_loginPage, &QnLynLoginWidget::iconHeadDownFinished, this,
            [this](const QString &path) { m_connectWidget->setHeadIcon(path); });
    connect(m_loginPage, &QnLynLoginWidget::loginSuccess, this, &QnMainWidget::onLoginSuccess);
    connect(m_loginPage, &QnLynLoginWidget::slientLoginSuccess, this, [this](bool ok) {
        if (ok)
            m_connectWidget->setUserInfo(m_loginPage->getUserInfo());
    });
    for (QnLynRegisterWidget *page : {m_registerPage, m_forgotPage}) {
        connect(page, &QnLynRegisterWidget::clickedLoginBtn, this, [this] {
            m_loginPage->resetPasswordEcho();
            showPage(m_loginPage);
        });
        connect(page, &QnLynRegisterWidget::loginIn, this,
                [this](const QString &user, const QString &password) {
                    m_loginPage->slientLogin(user, password);
                });
    }
    connect(m_registerPage, &QnLynRegisterWidget::showUserAgreement, this, [this] {
        showPage(m_agreementPage);
        m_backBtn->show();
        m_backBtn1->show();
    });

    QnLynConnectWidget *w = m_connectWidget;
    connect(w, &QnLynConnectWidget::connectServer, this, [this](const QString &code, bool isAuto) {
        connectByCode(code);
        m_isAutoConnect = isAuto;
    });
    connect(w, &QnLynConnectWidget::stopConnectServer, this, &QnMainWidget::stopConnectByCode);
    connect(w, &QnLynConnectWidget::disconnectServer, this, &QnMainWidget::stopConnectByCode);
    connect(w, &QnLynConnectWidget::centerPenterLogin, this, &QnMainWidget::onCenterPenterLogin);
    connect(w, &QnLynConnectWidget::connectTimeout, this, &QnMainWidget::onConnectTimeout);
    connect(w, &QnLynConnectWidget::stopMirrorConnect, this, [this] {
        if (m_client)
            m_client->stopLynSender(m_receiverId, m_receiverUrl);
    });
    connect(w, &QnLynConnectWidget::refreshConnectItems, this, &QnMainWidget::refreshReceiverList);
    connect(w, &QnLynConnectWidget::unlockScreen, this, &QnMainWidget::onUnlockScreen);
    connect(w, &QnLynConnectWidget::lockScreen, this, [this](const QString &) {
        // Nothing happens on lock; unlock restarts mirroring.
        if (m_client)
            qCDebug(lcUi) << "screen locked while mirroring:" << m_client->isLynSending();
    });
    connect(w, &QnLynConnectWidget::screenPower, this, &QnMainWidget::onScreenPower);
    connect(w, &QnLynConnectWidget::clickedPicture, this, [this] { pickAndSend(true); });
    connect(w, &QnLynConnectWidget::clickedFiles, this, [this] { pickAndSend(false); });
    connect(w, &QnLynConnectWidget::clickedMirror, this,
            [this](const QString &code) { startMirror(code, false); });
    connect(w, &QnLynConnectWidget::clickedExpand, this,
            [this](const QString &code) { startMirror(code, true); });
    connect(w, &QnLynConnectWidget::clickedDesktop, this, &QnMainWidget::onClickedDesktop);
    connect(w, &QnLynConnectWidget::loginOut, this, &QnMainWidget::onLoginOut);
    connect(w, &QnLynConnectWidget::uploadAgainFiles, this,
            [this](const QStringList &files, bool isPic) { sendFiles(isPic, files); });
    connect(w, &QnLynConnectWidget::selfStart, this, &QnMainWidget::writeAutoRun);
    connect(w, &QnLynConnectWidget::changedResolution, this, &QnMainWidget::onChangedResolution);
    connect(w, &QnLynConnectWidget::updatePrograme, this, &QnMainWidget::updateProgram);
    connect(w, &QnLynConnectWidget::quitApp, this, &QWidget::close);

    connect(m_loginDialog, &LoginMain::closeLoginWidget, this, [this] {
        m_connectWidget->show();
        m_loginDialog->hide();
    });
    connect(m_loginDialog, &LoginMain::loginFinished, this, &QnMainWidget::onLoginFinished);
    connect(m_loginDialog, &LoginMain::updateHeadIcon, this,
            [this](const QString &, const QString &path) { m_connectWidget->setHeadIcon(path); });
}

void QnMainWidget::setLynObject(QnLynClientObject *object)
{
    if (!object || m_client)
        return;
    m_client = object;
    m_senderName = m_client->getLynHttp()->getDeviceName();
    const NetworkInfo info = m_client->getNetworkInfo();
    m_connectWidget->setNetworkInfo(info.wifi, QString::fromStdString(info.name));
    m_connectWidget->setLynObject(m_client);
    if (info.ip.empty())
        m_connectWidget->setNetworkState(false);
    refreshReceiverList();
    connectClient();
}

void QnMainWidget::connectClient()
{
    QnLynClientObject *c = m_client;
    QnLynSocket *socket = c->getLynSocket();
    connect(socket, &QnLynSocket::addItem, this, &QnMainWidget::refreshReceiverList);
    connect(socket, &QnLynSocket::removeItem, this, &QnMainWidget::refreshReceiverList);
    connect(c, &QnLynClientObject::addDesktop, this, &QnMainWidget::onAddDesktop);
    connect(c, &QnLynClientObject::removeDesktop, this, [this] {
        {
            QMutexLocker lock(&m_desktopUserMutex);
            m_desktopUserId.clear();
            m_overlayShown = false;
        }
        m_desktop->resetDesktop();
    });
    connect(c, &QnLynClientObject::closeLyn, this,
            [this](const QString &) { m_connectWidget->showFunctionPage(); });
    connect(c, &QnLynClientObject::startConnectResult, this, &QnMainWidget::onStartConnectResult);
    connect(c, &QnLynClientObject::yuvDataChanged, this, &QnMainWidget::onYuvData, Qt::DirectConnection);
    connect(m_desktop, &QnLynDesktop::closeDesktop, this, [this](const QString &id, const QString &url) {
        if (m_client)
            m_client->stopDesktop(id, url);
    });
    connect(m_desktop, &QnLynDesktop::sendData, this, [this](const QByteArray &data) {
        // The overlay also reports its own resets while no receiver is shown: nothing to send then.
        if (m_client && !m_desktop->userId().isEmpty())
            m_client->sendBoardData(m_desktop->userId(), data);
    });
    connect(c, &QnLynClientObject::uploadPixmapFailed, this,
            [this](bool result, const QString &, const QStringList &files) {
                onUploadResult(true, result, files);
            });
    connect(c, &QnLynClientObject::uploadDocumentsFailed, this,
            [this](bool result, const QString &, const QStringList &files) {
                onUploadResult(false, result, files);
            });
    connect(c, &QnLynClientObject::startLynSenderResult, this, &QnMainWidget::onStartLynSenderResult);
    connect(c, &QnLynClientObject::networkDisconnection, this, &QnMainWidget::onNetworkDisconnection);
    connect(c, &QnLynClientObject::networkConnection, this, &QnMainWidget::onNetworkConnection);
    connect(c, &QnLynClientObject::forScreenMaxLimit, this, &QnMainWidget::onForScreenMaxLimit);
    connect(c, &QnLynClientObject::userConnectedChanged, this, &QnMainWidget::onUserConnectedChanged);
    connect(c, &QnLynClientObject::startDesktopRequestResult, this,
            [this](bool result) { onStartDesktopRequestResult(result); });
    connect(c, &QnLynClientObject::reconnectFailed, this, &QnMainWidget::refreshConnectState);
    connect(c, &QnLynClientObject::userLeaveRoom, this, [this](const QString &) { refreshConnectState(); });
    connect(c, &QnLynClientObject::getConnectInfo, this, &QnMainWidget::onGetConnectInfo);
}

void QnMainWidget::setLoginUserInfo(const QString &user, const QString &password)
{
    if (!m_rememberLogin || user.isEmpty() || password.isEmpty() || !m_client ||
        m_client->getNetworkInfo().ip.empty())
        return;
    m_loginDialog->slientLogin(user, password);
}

void QnMainWidget::showWithLoginStatus(bool loggedIn)
{
    m_rememberLogin = loggedIn;
    m_connectWidget->setLoginStatus(loggedIn);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        m_connectWidget->move(area.center() -
                              QPoint(m_connectWidget->width() / 2, m_connectWidget->height() / 2));
    }
    showConnectWidget();
}

void QnMainWidget::showConnectWidget()
{
    hide();
    m_connectWidget->showTrayIcon();
    m_connectWidget->setUserInfo(m_loginPage->getUserInfo());
    m_connectWidget->showReceiverList();
    m_connectWidget->show();
}

void QnMainWidget::setUpdateInfo(bool hasUpdate, const QString &version)
{
    m_connectWidget->setUpdateInfo(hasUpdate, version);
}

void QnMainWidget::readSavedPassword(bool remember, const QString &userName, const QString &password)
{
    m_loginPage->readPassword(remember, userName, password);
}

void QnMainWidget::setSelfStart(bool on)
{
    if (m_connectWidget)
        m_connectWidget->setSelfStart(on);
}

void QnMainWidget::showNetworkTip(bool networkOk)
{
    if (!networkOk)
        QnFloatTip::showTip(tr("Network abnormal, please check network Settings"), m_connectWidget, 2000);
}

void QnMainWidget::showAshWidget()
{
    if (m_connectWidget)
        m_connectWidget->showAshWidget();
}

void QnMainWidget::hideAshWidget()
{
    if (m_connectWidget)
        m_connectWidget->hideAshWidget();
}

void QnMainWidget::restoreConnectWidget()
{
    if (m_loginDialog->isVisible())
        return;
    m_connectWidget->showNormal();
    m_connectWidget->raise();
    m_connectWidget->activateWindow();
}

void QnMainWidget::writeAutoRun(bool on)
{
    QnAutostart autostart(m_autostartHome);
    bool ok = true;
    if (on)
        ok = autostart.setEntry(kAutostartName, QCoreApplication::applicationFilePath(), {kAutoRunArgument});
    else
        ok = autostart.removeEntry(kAutostartName);
    if (!ok)
        qCWarning(lcUi) << "autostart entry could not be" << (on ? "written" : "removed") << "at"
                        << autostart.entryPath(kAutostartName);
    emit selfStartChanged(on);
}

void QnMainWidget::closeEvent(QCloseEvent *event)
{
    QWidget::closeEvent(event);
    QCoreApplication::quit();
}

void QnMainWidget::on_closeBtn_clicked()
{
    m_connectWidget->hideTrayIcon();
    close();
}

void QnMainWidget::on_backBtn_clicked()
{
    showPage(m_registerPage);
    m_backBtn->hide();
    m_backBtn1->hide();
}

void QnMainWidget::on_backBtn1_clicked()
{
    on_backBtn_clicked();
}
