#include "client/ui/sender/QnLynConnectWidget.h"

#include "client/object/QnLynClientObject.h"
#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnAshWidget.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/QnLynConnectWaittingWidget.h"
#include "client/ui/QnLynUploadAgainWidget.h"
#include "client/ui/QnMessageDialog.h"
#include "client/ui/internal/QnUiLog.h"
#include "client/ui/sender/QnHomeWidget.h"
#include "client/ui/sender/QnLynAboutWidget.h"
#include "client/ui/sender/QnLynAutoConnectWidget.h"
#include "client/ui/sender/QnLynFunctionHomeWidget.h"
#include "client/ui/sender/QnLynMirrorSwitchingResolutionWidget.h"
#include "client/ui/sender/QnLynSettingWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"
#include "common/settings/COption.h"
#include "platform/system/QnKeepAwake.h"
#include "platform/system/QnSessionEvents.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
constexpr int kGuardMsec = 5000;
const char *const kFrameNormal = "#frame{border-image: url(:/img/back1.png);}";
const char *const kFrameGuide = "#frame{border-image: url(:/img/back_up.png);}";
} // namespace

QString QnLynConnectWidget::configuredInternetCheckHost()
{
    const COption option(COption::configPath());
    const QString host =
        option.value(QStringLiteral("system"), QStringLiteral("onlineCheckHost")).toString().trimmed();
    return host.isEmpty() ? QStringLiteral("www.baidu.com") : host;
}

QnLynConnectWidget::QnLynConnectWidget(QWidget *parent)
    : QWidget(parent), m_keepAwake(std::make_unique<QnKeepAwake>())
{
    buildForm();
    initUI();
    setHeadIcon(QStringLiteral(":/img/icon_personCenter.svg"));
    m_sessionEvents = new QnSessionEvents(this);
    connect(m_sessionEvents, &QnSessionEvents::locked, this, [this] { emit lockScreen(m_code); });
    connect(m_sessionEvents, &QnSessionEvents::unlocked, this, [this] { emit unlockScreen(m_code); });
}

QnLynConnectWidget::~QnLynConnectWidget()
{
    // The popups and the overlay have no parent: they go with this window.
    delete m_setting;
    delete m_waitting;
    delete m_uploadAgain;
}

void QnLynConnectWidget::buildForm()
{
    resize(820, 620);
    setWindowTitle(QStringLiteral("昆洛传屏"));
    setStyleSheet(
        QStringLiteral("QMenu{background:#FFFFFF;border-radius:4px;width:80px;}"
                       "QMenu::item{font-size:14px;color:#333333;padding:5px 30px 5px 25px;height:30px;}"
                       "QMenu::item:selected{color:#FFFFFF;background:#DE6F6F;}"
                       "QMenu::separator{height:2px;}"));
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frame"));
    m_frame->setGeometry(0, 0, 821, 620);
    m_frame->setStyleSheet(QLatin1String(kFrameNormal));
    auto *v = new QVBoxLayout(m_frame);
    v->setSpacing(0);
    v->setContentsMargins(0, 0, 0, 10);
    auto *titleRow = new QWidget(m_frame);
    titleRow->setObjectName(QStringLiteral("widget"));
    auto *h = new QHBoxLayout(titleRow);
    h->addSpacing(52);
    auto *title = new QLabel(QStringLiteral("昆洛传屏发送端"), titleRow);
    title->setObjectName(QStringLiteral("label"));
    title->setStyleSheet(QStringLiteral("color:#FFFFFF;font-size:16px;font-weight:400;"));
    h->addWidget(title);
    h->addStretch(1);
    m_personBtn = new QnLynHeadButton(titleRow);
    m_personBtn->setObjectName(QStringLiteral("personBtn"));
    m_personBtn->setFixedSize(24, 24);
    m_personBtn->setStyleSheet(QStringLiteral("QPushButton{border:none;image:url(:/img/icon_person1.svg);}"));
    auto *minBtn = new QPushButton(titleRow);
    minBtn->setObjectName(QStringLiteral("conMinBtn"));
    minBtn->setFixedSize(27, 21);
    minBtn->setStyleSheet(
        QStringLiteral("QPushButton{image:url(:/img/con_min.svg);padding:5px;border:none;}"
                       "QPushButton:pressed{image:url(:/img/graymin_press.svg);padding:1px;}"));
    m_closeBtn = new QPushButton(titleRow);
    m_closeBtn->setObjectName(QStringLiteral("conCloseBtn"));
    m_closeBtn->setFixedSize(21, 21);
    m_closeBtn->setStyleSheet(QStringLiteral("QPushButton{image:url(:/img/con_close.svg);border:none;}"
                                             "QPushButton:pressed{image:url(:/img/grayclose_press.svg);}"));
    h->addWidget(m_personBtn);
    h->addWidget(minBtn);
    h->addWidget(m_closeBtn);
    h->addSpacing(26);
    v->addWidget(titleRow);
    m_stack = new QStackedWidget(m_frame);
    m_stack->setObjectName(QStringLiteral("stackedWidget"));
    m_stack->setMaximumWidth(820);
    for (const char *name : {"page", "page_2"}) {
        auto *placeholder = new QWidget(m_stack);
        placeholder->setObjectName(QLatin1String(name));
        m_stack->addWidget(placeholder);
    }
    v->addWidget(m_stack, 1);
}

void QnLynConnectWidget::initUI()
{
    auto *frameless = new NcFramelessHelper(this);
    frameless->setMovable(true);
    frameless->setResizable(false);
    frameless->attachWidget(this);
    setAttribute(Qt::WA_TranslucentBackground);

    m_tray = new QSystemTrayIcon(QIcon(QStringLiteral(":/img/startIcon.png")), this);
    m_tray->setToolTip(tr("quenlo sender"));
    m_trayMenu = new QMenu(this);
    m_trayMenu->setWindowFlags(m_trayMenu->windowFlags() | Qt::NoDropShadowWindowHint);
    m_quitAction = new QAction(tr("quit"), m_trayMenu);
    QFont quitFont = m_quitAction->font();
    quitFont.setPixelSize(14);
    m_quitAction->setFont(quitFont);
    m_trayMenu->addAction(m_quitAction);
    m_tray->setContextMenu(m_trayMenu);
    connect(m_tray, &QSystemTrayIcon::activated, this, &QnLynConnectWidget::activatedSysTrayIcon);

    m_ash = new QnAshWidget(this);
    m_ash->setObjectName(QStringLiteral("ashWidget"));
    m_ash->setWindowFlags(m_ash->windowFlags() | Qt::FramelessWindowHint);
    m_ash->hide();

    m_home = new QnHomeWidget(m_stack);
    m_stack->addWidget(m_home);
    m_stack->setCurrentWidget(m_home);
    m_home->focusFirstBox();
    m_autoConnect = new QnLynAutoConnectWidget(m_stack);
    m_stack->addWidget(m_autoConnect);
    m_setting = new QnLynSettingWidget;
    m_setting->hide();
    m_waitting = new QnLynConnectWaittingWidget;
    m_function = new QnLynFunctionHomeWidget(m_stack);
    m_stack->addWidget(m_function);
    m_uploadAgain = new QnLynUploadAgainWidget;
    m_about = new QnLynAboutWidget(m_stack);
    m_stack->addWidget(m_about);
    m_personalCenter = new QnLynPersonalCenterWidget(this);
    m_stack->addWidget(m_personalCenter);
    m_mirror = new QnLynMirrorSwitchingResolutionWidget(m_stack);
    m_stack->addWidget(m_mirror);

    connectPages();
    m_connectTimer.setInterval(kGuardMsec);
    m_mirrorTimer.setInterval(kGuardMsec);
    connect(&m_connectTimer, &QTimer::timeout, this, &QnLynConnectWidget::onConnectTimeout);
    connect(&m_mirrorTimer, &QTimer::timeout, this, &QnLynConnectWidget::onMirrorTimeout);
    QMetaObject::connectSlotsByName(this);
}

void QnLynConnectWidget::connectPages()
{
    connect(m_quitAction, &QAction::triggered, this, [this] {
        emit quitApp();
        m_tray->hide();
    });
    connect(m_home, &QnHomeWidget::connectServer, this,
            [this](const QString &c) { requestConnection(c, false); });
    connect(m_autoConnect, &QnLynAutoConnectWidget::connectServer, this,
            [this](const QString &c) { requestConnection(c, true); });
    connect(m_home, &QnHomeWidget::showAutoConnectWidget, this,
            [this] { m_stack->setCurrentWidget(m_autoConnect); });
    connect(m_autoConnect, &QnLynAutoConnectWidget::handCodeConnect, this,
            [this] { m_stack->setCurrentWidget(m_home); });
    connect(m_home, &QnHomeWidget::guideWidgetShow, this, &QnLynConnectWidget::onGuideShown);
    connect(m_autoConnect, &QnLynAutoConnectWidget::guideWidgetShow, this, &QnLynConnectWidget::onGuideShown);
    connect(m_autoConnect, &QnLynAutoConnectWidget::refreshConnectItems, this,
            &QnLynConnectWidget::refreshConnectItems);
    connect(m_waitting, &QnLynConnectWaittingWidget::closeConnect, this, &QnLynConnectWidget::onCloseConnect);

    connect(m_function, &QnLynFunctionHomeWidget::clickedDisconnectBtn, this, [this] {
        emit disconnectServer(m_code);
        m_code.clear();
        m_attempt.reset();
        m_keepAwake->release();
        emit m_autoConnect->guideWidgetShow(false);
        m_stack->setCurrentWidget(m_autoConnect);
    });
    connect(m_function, &QnLynFunctionHomeWidget::clickedPicture, this, &QnLynConnectWidget::clickedPicture);
    connect(m_function, &QnLynFunctionHomeWidget::clickedFiles, this, &QnLynConnectWidget::clickedFiles);
    connect(m_function, &QnLynFunctionHomeWidget::clickedDesktop, this,
            [this] { emit clickedDesktop(m_code); });
    connect(m_function, &QnLynFunctionHomeWidget::clickedMirror, this,
            [this] { startCastingRequest(false); });
    connect(m_function, &QnLynFunctionHomeWidget::clickedExpand, this, [this] { startCastingRequest(true); });

    connect(m_setting, &QnLynSettingWidget::loginOut, this, &QnLynConnectWidget::confirmLogOut);
    connect(m_setting, &QnLynSettingWidget::aboutClicked, this,
            [this] { m_stack->setCurrentWidget(m_about); });
    connect(m_setting, &QnLynSettingWidget::selfStart, this, &QnLynConnectWidget::selfStart);
    connect(m_setting, &QnLynSettingWidget::clickedPersonalCenter, this, &QnLynConnectWidget::checkInternet);

    connect(m_mirror, &QnLynMirrorSwitchingResolutionWidget::changedHigh, this, [this](bool high) {
        m_isHigh = high;
        emit changedResolution(high, m_code);
    });
    connect(m_mirror, &QnLynMirrorSwitchingResolutionWidget::stopScreen, this, [this] {
        stopMirroring();
        m_stack->setCurrentWidget(m_function);
    });

    connect(m_personalCenter, &QnLynPersonalCenterWidget::beginModify, this,
            &QnLynConnectWidget::showAshWidget);
    connect(m_personalCenter, &QnLynPersonalCenterWidget::endModify, this,
            &QnLynConnectWidget::hideAshWidget);
    connect(m_personalCenter, &QnLynPersonalCenterWidget::nameModifySuccess, m_setting,
            &QnLynSettingWidget::setName);
    connect(m_personalCenter, &QnLynPersonalCenterWidget::headModifySuccess, this,
            [this](const QString &path) {
                setHeadIcon(path);
                m_setting->setHeadIcon(path);
            });
    connect(m_personalCenter, &QnLynPersonalCenterWidget::backHome, this, &QnLynConnectWidget::backHome);
    connect(m_about, &QnLynAboutWidget::backHome, this, &QnLynConnectWidget::backHome);
    connect(m_about, &QnLynAboutWidget::updateProgram, this, &QnLynConnectWidget::updatePrograme);
    connect(m_uploadAgain, &QnLynUploadAgainWidget::uploadFiles, this, &QnLynConnectWidget::uploadAgainFiles);
}

void QnLynConnectWidget::requestConnection(const QString &code, bool isAuto)
{
    m_attempt.start(code);
    m_code = code;
    m_connectTimer.start();
    showWaittingWidget();
    emit connectServer(code, isAuto);
}

void QnLynConnectWidget::onCloseConnect()
{
    if (m_connectTimer.isActive()) {
        m_connectTimer.stop();
        // The code asked for, captured with the request: the home page's boxes may be empty.
        const QString asked = m_attempt.abandon();
        m_code.clear();
        emit stopConnectServer(asked);
        m_home->clearCode();
    }
    if (m_mirrorTimer.isActive()) {
        m_mirrorTimer.stop();
        stopMirroring();
    }
}

void QnLynConnectWidget::onConnectTimeout()
{
    m_connectTimer.stop();
    closeWaittingWidget();
    const QString asked = m_attempt.abandon();
    m_code.clear();
    emit connectTimeout(asked);
    m_home->clearCode();
}

void QnLynConnectWidget::onMirrorTimeout()
{
    m_mirrorTimer.stop();
    closeWaittingWidget();
    stopMirroring();
    QnFloatTip::showTip(tr("he connection failed. Please try again"), this, 2000);
}

void QnLynConnectWidget::onGuideShown(bool shown)
{
    m_frame->setStyleSheet(QLatin1String(shown ? kFrameGuide : kFrameNormal));
    m_autoConnect->setCodePanelHeight(shown ? 165 : 253);
}

QString QnLynConnectWidget::frameStyle() const
{
    return m_frame->styleSheet();
}

void QnLynConnectWidget::startCastingRequest(bool expand)
{
    if (expand) {
        const int screens = m_screenCounter ? m_screenCounter() : int(QGuiApplication::screens().size());
        if (screens < 2) {
            QnFloatTip::showTip(
                tr("The extension monitor is not detected. Please plug in the extension monitor and "
                   "try again"),
                this, 2000);
            return;
        }
        emit clickedExpand(m_code);
    } else {
        emit clickedMirror(m_code);
    }
    showWaittingWidget();
    m_mirrorTimer.start();
}

void QnLynConnectWidget::stopMirroring()
{
    m_keepAwake->release();
    emit stopMirrorConnect();
}

void QnLynConnectWidget::backHome()
{
    if (m_lynObject && m_lynObject->isLynSending())
        m_stack->setCurrentWidget(m_mirror);
    else if (!m_code.isEmpty())
        m_stack->setCurrentWidget(m_function);
    else
        m_stack->setCurrentWidget(m_autoConnect);
}

void QnLynConnectWidget::setLynObject(QnLynClientObject *object)
{
    m_lynObject = object;
}

QString QnLynConnectWidget::currentCode() const
{
    return m_code;
}

void QnLynConnectWidget::connectSuccess()
{
    if (!m_attempt.succeed()) {
        qCInfo(lcUi) << "connection success after the attempt was abandoned: ignored";
        return;
    }
    m_connectTimer.stop();
    emit m_autoConnect->guideWidgetShow(true);
    m_autoConnect->setCodePanelHeight(253);
    m_stack->setCurrentWidget(m_function);
    m_home->clearCode();
    m_home->setDisconnectedVisible(false);
    m_autoConnect->setDisconnectedVisible(false);
}

void QnLynConnectWidget::closeWaittingWidget()
{
    m_waitting->hide();
}

void QnLynConnectWidget::showWaittingWidget()
{
    const QPoint at =
        pos() + QPoint((width() - m_waitting->width()) / 2, (height() - m_waitting->height()) / 2);
    m_waitting->move(at);
    m_waitting->show();
}

void QnLynConnectWidget::showDisconnected(bool visible)
{
    m_home->setDisconnectedVisible(visible);
    m_autoConnect->setDisconnectedVisible(visible);
}

void QnLynConnectWidget::setConnectDevice(const QString &name)
{
    m_function->setDeviceName(name);
    m_deviceName = name;
}

void QnLynConnectWidget::showReceiverList()
{
    m_autoConnect->setDevices({});
    m_stack->setCurrentWidget(m_autoConnect);
    emit refreshConnectItems();
}

void QnLynConnectWidget::updateDeviceList(const QMap<QString, QString> &devices)
{
    m_autoConnect->setDevices(devices);
    m_code = QnSenderRules::keepReceiver(m_code, m_deviceName, devices);
}

void QnLynConnectWidget::showFunctionPage()
{
    m_stack->setCurrentWidget(m_function);
}

void QnLynConnectWidget::showMirrorPanel()
{
    m_mirror->selectHigh();
    switchToMirrorPanel();
}

void QnLynConnectWidget::switchToMirrorPanel()
{
    setCasting(true);
    m_stack->setCurrentWidget(m_mirror);
}

void QnLynConnectWidget::setMirrorTitle(const QString &title)
{
    m_mirror->setTypeText(title);
}

void QnLynConnectWidget::stopMirrorTimer(bool stop)
{
    if (stop && m_mirrorTimer.isActive())
        m_mirrorTimer.stop();
}

void QnLynConnectWidget::showUploadAgain(const QStringList &files)
{
    m_function->updateUploadDataChanged(QStringLiteral("pic"), 0, 0);
    m_uploadAgain->setFiles(files);
    const QPoint global = mapToGlobal(QPoint(0, 0));
    m_uploadAgain->move(
        global + QPoint((width() - m_uploadAgain->width()) / 2, (height() - m_uploadAgain->height()) / 2));
    m_uploadAgain->raise();
    m_uploadAgain->show();
}

void QnLynConnectWidget::updateUploadProgress(const QString &url, int current, int total)
{
    m_function->updateUploadDataChanged(url, current, total);
}

void QnLynConnectWidget::setUpdateInfo(bool hasUpdate, const QString &version)
{
    m_about->setUpdateInfo(hasUpdate, version);
}

void QnLynConnectWidget::setNetworkInfo(bool wireless, const QString &name)
{
    m_home->setNetworkInfo(wireless, name);
    m_autoConnect->setNetworkInfo(wireless, name);
}

void QnLynConnectWidget::setNetworkState(bool connected)
{
    m_autoConnect->setNetworkState(connected);
    m_autoConnect->setNoNetworkVisible(!connected);
}

void QnLynConnectWidget::setSelfStart(bool on)
{
    m_setting->setSelfStart(on);
}

void QnLynConnectWidget::setLoginStatus(bool loggedIn)
{
    m_isLogin = loggedIn;
    m_setting->setLoginStatus(loggedIn);
    if (!loggedIn)
        setHeadIcon(QStringLiteral(":/img/icon_person1.svg"));
}

void QnLynConnectWidget::setUserInfo(const LoginUserInfo &info)
{
    m_userInfo = info;
    if (m_isLogin)
        m_setting->setName(info.displayName());
    m_personalCenter->setUserInfo(info);
    m_about->setToken(info.token);
}

void QnLynConnectWidget::setHeadIcon(const QString &path)
{
    m_personBtn->loadHeadImage(path);
    m_personBtn->setHeadDiameter(m_personBtn->width());
    m_setting->setHeadIcon(path);
    m_personalCenter->setHeadPath(path);
}

void QnLynConnectWidget::showAshWidget()
{
    m_ash->setFixedSize(800, 600);
    m_ash->move(10, 10);
    m_ash->raise();
    m_ash->show();
}

void QnLynConnectWidget::hideAshWidget()
{
    m_ash->hide();
}

void QnLynConnectWidget::showTrayIcon()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        m_tray->show();
}

void QnLynConnectWidget::hideTrayIcon()
{
    m_tray->hide();
}

void QnLynConnectWidget::setCasting(bool casting)
{
    if (casting)
        m_keepAwake->hold(QStringLiteral("Casting the screen"));
    else
        m_keepAwake->release();
}

bool QnLynConnectWidget::isKeepingAwake() const
{
    return m_keepAwake->isHeld();
}

void QnLynConnectWidget::setInternetCheckHost(const QString &host)
{
    m_internetHost = host;
}

void QnLynConnectWidget::setUpdateNotesPath(const QString &path)
{
    m_notesPath = path;
}

void QnLynConnectWidget::setScreenCounter(std::function<int()> counter)
{
    m_screenCounter = std::move(counter);
}

void QnLynConnectWidget::on_conMinBtn_clicked()
{
    showMinimized();
}

void QnLynConnectWidget::putAway()
{
    // Without a tray the window could not be found again once hidden: it is minimised instead.
    if (QSystemTrayIcon::isSystemTrayAvailable() && m_tray->isVisible())
        hide();
    else
        showMinimized();
}

void QnLynConnectWidget::on_conCloseBtn_clicked()
{
    putAway();
}

void QnLynConnectWidget::closeEvent(QCloseEvent *event)
{
    event->ignore();
    putAway();
}

void QnLynConnectWidget::on_personBtn_clicked()
{
    const QPoint closeRight = m_closeBtn->mapTo(this, QPoint(m_closeBtn->width(), 0));
    const QPoint personBottom = m_personBtn->mapTo(this, QPoint(0, m_personBtn->height()));
    const QPoint global = mapToGlobal(QPoint(closeRight.x() - m_setting->width(), personBottom.y() + 25));
    m_setting->move(global);
    m_setting->setVisible(!m_setting->isVisible());
}

void QnLynConnectWidget::activatedSysTrayIcon(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick || reason == QSystemTrayIcon::Trigger) {
        showNormal();
        activateWindow();
    }
}

void QnLynConnectWidget::confirmLogOut()
{
    showAshWidget();
    const int answer =
        QnMessageDialog::showMessageAt(tr("Are you sure to log out?"), tr("login out"), this, true, true);
    if (answer == 1) {
        emit loginOut();
        m_userInfo = LoginUserInfo();
        if (m_isLogin)
            m_setting->setName(m_userInfo.displayName());
        m_personalCenter->setUserInfo(m_userInfo);
        m_about->setToken(m_userInfo.token);
    }
    hideAshWidget();
}

void QnLynConnectWidget::checkInternet()
{
    const QString host = m_internetHost.isEmpty() ? configuredInternetCheckHost() : m_internetHost;
    QHostInfo::lookupHost(host, this, SLOT(lookupHostSlot(QHostInfo)));
}

void QnLynConnectWidget::lookupHostSlot(const QHostInfo &info)
{
    if (info.error() != QHostInfo::NoError) {
        qCInfo(lcUi) << "Not Online!  " << info.errorString();
        QnFloatTip::showTip(tr("Network abnormal, please check network Settings"), parentWidget(), 2000);
        return;
    }
    if (!m_isLogin) {
        emit centerPenterLogin();
        hide();
        return;
    }
    m_setting->hide();
    m_stack->setCurrentWidget(m_personalCenter);
}

void QnLynConnectWidget::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    QTimer::singleShot(100, this, &QnLynConnectWidget::showWhatsNew);
}

void QnLynConnectWidget::showWhatsNew()
{
    auto *dialog = new UpdateContextDlg(this);
    dialog->initUI(m_notesPath);
    if (!dialog->hasContext()) {
        delete dialog; // nothing to show: no hidden child is left behind
        return;
    }
    m_updateDlg = dialog;
    dialog->showContext();
}
