// The root window's handlers: receivers looked up by code, casting actions, uploads, sign-in and
// network changes. GUI thread, except onYuvData (decoding thread).
#include "client/object/QnLynClientObject.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/QnLynConnectWaittingWidget.h"
#include "client/ui/QnLynPromptDialog.h"
#include "client/ui/account/QnLoginCredentials.h"
#include "client/ui/account/QnLoginUserInfo.h"
#include "client/ui/account/QnLynLoginWidget.h"
#include "client/ui/desktop/QnLynDesktop.h"
#include "client/ui/internal/QnUiLog.h"
#include "client/ui/root/QnMainWidget.h"
#include "client/ui/sender/QnLynConnectWidget.h"
#include "client/ui/sender/UpdateContextDlg.h"
#include "common/settings/COption.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/discovery/QnLynItemInfo.h"
#include "lyn/discovery/QnLynSocket.h"
#include "qnloginbase/src/Interface/HttpSession.h"
#include "qnloginbase/src/UI/LoginMain.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonObject>
#include <QScreen>
#include <QTimer>

namespace {
/// At most this many files go in one batch chosen in a file dialog.
constexpr int kMaxFilesPerBatch = 9;
} // namespace

QList<QnLynItemInfo> QnMainWidget::matching(const QString &code)
{
    QList<QnLynItemInfo> found;
    if (!m_client)
        return found;
    const QMap<QString, QnLynItemInfo> items = m_client->getLynSocket()->getItems();
    for (const QnLynItemInfo &item : items) {
        if (item.code != code)
            continue;
        m_receiverUrl = item.url;
        m_receiverId = item.id;
        found << item;
    }
    return found;
}

void QnMainWidget::refreshReceiverList()
{
    if (!m_client)
        return;
    QnLynSocket *socket = m_client->getLynSocket();
    socket->removeStaleItems();
    QMap<QString, QString> devices;
    const QMap<QString, QnLynItemInfo> items = socket->getItems();
    for (const QnLynItemInfo &item : items)
        devices.insert(item.code, item.name);
    m_connectWidget->updateDeviceList(devices);
}

void QnMainWidget::refreshConnectState()
{
    if (!m_connectWidget->currentCode().isEmpty())
        m_connectWidget->showDisconnected(true);
    if (m_client && m_client->isLynSending())
        m_connectWidget->switchToMirrorPanel();
    else
        m_connectWidget->showReceiverList();
    m_connectWidget->setNetworkState(true);
    if (m_client) {
        const NetworkInfo info = m_client->getNetworkInfo();
        m_connectWidget->setNetworkInfo(info.wifi, QString::fromStdString(info.name));
    }
}

void QnMainWidget::networkRecheck()
{
    if (!m_client)
        return;
    m_client->updateNetworkInfo();
    if (m_client->getNetworkInfo().ip.empty())
        return;
    refreshConnectState();
    refreshReceiverList();
}

void QnMainWidget::toast(const QString &text)
{
    QnFloatTip::showTip(text, m_connectWidget, 2000);
}

// ---- connecting ----

void QnMainWidget::connectByCode(const QString &code)
{
    if (!m_client)
        return;
    const QList<QnLynItemInfo> found = matching(code);
    for (const QnLynItemInfo &item : found)
        m_client->startConnect(item.url, item.id, item.ip, item.port, item.roomId);
    if (found.isEmpty())
        m_client->connectServer(code);
}

void QnMainWidget::stopConnectByCode(const QString &code)
{
    if (!m_client)
        return;
    for (const QnLynItemInfo &item : matching(code))
        m_client->stopConnect(item.url, item.id);
}

void QnMainWidget::onGetConnectInfo(const QJsonObject &obj)
{
    const QString code = obj.value(QStringLiteral("code")).toString();
    if (code.isEmpty() || !m_client)
        return;
    for (const QnLynItemInfo &item : matching(code))
        m_client->startConnect(item.url, item.id, item.ip, item.port, item.roomId);
}

void QnMainWidget::onStartConnectResult(bool isConnected, const QString &, const QString &nickName)
{
    if (!isConnected)
        return; // the main sender window's connect timer reports it
    m_connectWidget->connectSuccess();
    m_connectWidget->closeWaittingWidget();
    m_connectWidget->setConnectDevice(nickName);
    toast(tr("connect successfully"));
}

void QnMainWidget::onConnectTimeout(const QString &code)
{
    stopConnectByCode(code);
    m_connectWidget->closeWaittingWidget();
    toast(m_isAutoConnect ? tr("The connection failed. Please try again") : tr("connect failed"));
}

void QnMainWidget::onUserConnectedChanged(const QString &, const QString &, bool connected)
{
    if (!connected)
        toast(tr("The connection is broken"));
}

void QnMainWidget::onForScreenMaxLimit()
{
    m_connectWidget->closeWaittingWidget();
    m_connectWidget->stopMirrorTimer(true);
    toast(tr("The number of screen projectors has reached the limit, please wait for other devices to "
             "disconnect and initiate the screen project"));
}

// ---- mirroring ----

void QnMainWidget::startMirror(const QString &code, bool expand)
{
    if (!m_client)
        return;
    if (expand && QGuiApplication::screens().size() < 2) {
        toast(
            tr("The extension monitor is not detected. Please plug in the extension monitor and try again"));
        return;
    }
    m_isExpand = expand;
    for (const QnLynItemInfo &item : matching(code)) {
        m_connectWidget->setMirrorTitle(expand ? tr("Expand for screen") : tr("Mirror for screen"));
        m_client->startLynSender(item.id, item.url, expand ? 1 : 0, true, m_senderName);
    }
}

void QnMainWidget::onStartLynSenderResult(bool result, const QString &)
{
    m_connectWidget->stopMirrorTimer(result);
    if (!result)
        return; // the mirroring guard timer reports it
    m_connectWidget->closeWaittingWidget();
    m_connectWidget->showMirrorPanel();
    m_connectWidget->showMinimized();
}

void QnMainWidget::onChangedResolution(bool ishigh, const QString &code)
{
    if (!m_client)
        return;
    for (const QnLynItemInfo &item : matching(code)) {
        Q_UNUSED(item)
        m_client->setSenderResolution(0, m_isExpand ? 1 : 0, ishigh);
    }
}

void QnMainWidget::onUnlockScreen(const QString &code)
{
    if (!m_client || !m_client->isLynSending())
        return;
    m_client->stopLynSenderKeepState(m_receiverId, m_receiverUrl);
    m_isExpand = false;
    for (const QnLynItemInfo &item : matching(code)) {
        m_connectWidget->setMirrorTitle(tr("Mirror for screen"));
        m_client->startLynSender(item.id, item.url, 0, true, m_senderName);
    }
}

void QnMainWidget::onScreenPower(bool ishigh, const QString &code)
{
    if (!m_client || !m_client->isLynSending())
        return;
    m_isExpand = false;
    for (const QnLynItemInfo &item : matching(code)) {
        Q_UNUSED(item)
        m_connectWidget->setMirrorTitle(tr("Mirror for screen"));
        m_client->setSenderResolution(0, 0, !ishigh);
    }
}

// ---- desktop sync ----

void QnMainWidget::onClickedDesktop(const QString &code)
{
    if (!m_client)
        return;
    for (const QnLynItemInfo &item : matching(code))
        m_client->startDesktop(item.id, item.url);
}

void QnMainWidget::onStartDesktopRequestResult(bool result)
{
    if (!result)
        QnLynPromptDialog::showPrompt(tr("Desktop mutex"), tr("Desktop sync"));
}

void QnMainWidget::onAddDesktop(const QString &userId, const QString &nickName, const QString &url, int width,
                                int height)
{
    if (!m_desktop->setInfo(userId, nickName, url, width, height)) {
        qCWarning(lcUi) << "desktop sync refused: the receiver's screen size" << width << "x" << height
                        << "cannot be shown";
        return;
    }
    {
        QMutexLocker lock(&m_desktopUserMutex);
        m_desktopUserId = userId;
        m_overlayShown = true;
    }
    m_desktop->show();
    m_desktop->resize(1280, 756);
    m_overlay->move((m_desktop->width() - m_overlay->width()) / 2,
                    (m_desktop->height() - m_overlay->height()) / 2);
    m_overlay->show();
    m_overlay->raise();
}

void QnMainWidget::onYuvData(const QString &userId, const QByteArray &data, int width, int height)
{
    // Decoding thread: no widget is touched here.
    bool hideOverlay = false;
    {
        QMutexLocker lock(&m_desktopUserMutex);
        if (userId.isEmpty() || userId != m_desktopUserId)
            return;
        hideOverlay = m_overlayShown;
        m_overlayShown = false;
    }
    if (hideOverlay)
        QMetaObject::invokeMethod(
            m_overlay, [overlay = m_overlay] { overlay->hide(); }, Qt::QueuedConnection);
    m_desktop->setYuvData(data, width, height);
}

// ---- pictures and documents ----

void QnMainWidget::pickAndSend(bool pictures)
{
    QnUploadBatch &batch = pictures ? m_pictures : m_documents;
    if (batch.isRunning())
        return;
    QString &folder = pictures ? m_picturesFolder : m_documentsFolder;
    const QStringList files =
        pictures ? m_fileDialog(QStringLiteral("select files"), folder,
                                QStringLiteral("Images(*.png *.jpg *.jpeg *.svg *.bmp *.gif *.heif *.heic)"))
                 : m_fileDialog(QStringLiteral("select documents files"), folder,
                                QStringLiteral("Images(*.ppt *.pptx *.xls *.xlsx *.doc *.docx *.pdf *.txt)"));
    if (files.isEmpty())
        return;
    if (files.size() > kMaxFilesPerBatch) {
        QnLynPromptDialog::showPrompt(pictures ? tr("No more than 9 pictures can be uploaded")
                                               : tr("No more than 9 files can be uploaded"),
                                      QString());
        return;
    }
    sendFiles(pictures, files);
    folder = QFileInfo(files.first()).absolutePath();
}

void QnMainWidget::sendFiles(bool pictures, const QStringList &files)
{
    if (!m_client || files.isEmpty())
        return;
    (pictures ? m_pictures : m_documents).start(files);
    const QString uploadUrl = m_client->getUploadUrl();
    for (const QString &file : files) {
        if (pictures)
            m_client->uploadPixmaps(m_receiverUrl, m_receiverId, uploadUrl, {file}, m_senderName);
        else
            m_client->uploadDocuments(m_receiverUrl, m_receiverId, uploadUrl, {file});
    }
}

void QnMainWidget::onUploadResult(bool pictures, bool result, const QStringList &files)
{
    QnUploadBatch &batch = pictures ? m_pictures : m_documents;
    if (!batch.isRunning())
        return; // a late answer of a finished batch
    const QnUploadBatch::Step step = batch.result(result, files);
    m_connectWidget->updateUploadProgress(pictures ? QStringLiteral("pic") : QStringLiteral("file"),
                                          step.done, step.total);
    if (!step.finished)
        return;
    if (step.allSent)
        toast(pictures ? tr("picture upload successfully") : tr("document upload successfully"));
    else
        m_connectWidget->showUploadAgain(step.failed);
}

// ---- sign-in ----

void QnMainWidget::onLoginSuccess(bool isSuccess)
{
    if (isSuccess) {
        showConnectWidget();
        emit loginStatusChanged(true);
        m_isLogin = true;
        return;
    }
    emit loginStatusChanged(false);
    QnFloatTip::showTip(tr("Wrong account or password"), m_loginPage, 2000);
    m_isLogin = false;
}

void QnMainWidget::onLoginFinished(const QString &account, const QString &pwd, const QString &imagePath)
{
    HttpSession *session = HttpSession::instance();
    LoginUserInfo info;
    info.userName = account;
    if (session) {
        info.name = session->user().name;
        info.nickName = session->user().nickname;
        info.token = session->token();
        info.uuid = session->user().uuid;
    }
    info.password = pwd;
    m_connectWidget->setLoginStatus(true);
    m_connectWidget->setUserInfo(info);
    m_connectWidget->setHeadIcon(imagePath);
    m_connectWidget->show();
    m_loginDialog->hide();
    emit loginStatusChanged(true);
    m_isLogin = true;
    // The account name goes to the settings; a password only to the keyring (never to a file).
    COption option(COption::configPath());
    option.setValue(QStringLiteral("user"), QStringLiteral("username"), account);
    if (!pwd.isEmpty())
        m_loginPage->credentials()->saveSignIn(account, true, pwd);
    m_senderName = info.displayName();
}

void QnMainWidget::onLoginOut()
{
    emit loginStatusChanged(false);
    m_isLogin = false;
    m_connectWidget->setLoginStatus(false);
    if (m_client)
        m_senderName = m_client->getLynHttp()->getDeviceName();
}

void QnMainWidget::onCenterPenterLogin()
{
    if (m_isLogin)
        return;
    m_loginDialog->refreshHistoryList();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        m_loginDialog->move((area.width() - m_loginDialog->width()) / 2,
                            (area.height() - m_loginDialog->height()) / 2);
    }
    m_loginDialog->show();
}

// ---- network ----

void QnMainWidget::onNetworkDisconnection()
{
    m_networkTimer->start(2000);
    m_connectWidget->showReceiverList();
    m_connectWidget->setNetworkState(false);
    m_loginDialog->setNetworkState(false);
    if (!m_client)
        return;
    if (m_client->isDesktopSending()) {
        m_client->stopDesktop(m_receiverId, m_receiverUrl);
        toast(tr("The connection is broken,desktop disconnected "));
    }
    if (m_client->isLynSending()) {
        m_client->stopLynSender(m_receiverId, m_receiverUrl);
        toast(tr("The connection is broken,lyn screen disconnected "));
    }
}

void QnMainWidget::onNetworkConnection()
{
    m_networkTimer->stop();
    m_loginDialog->setNetworkState(true);
    refreshConnectState();
}
