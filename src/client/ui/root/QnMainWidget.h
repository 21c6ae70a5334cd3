#pragma once

#include "client/ui/root/QnUploadBatch.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class LoginMain;
class QLabel;
class QPushButton;
class QStackedWidget;
class QTimer;
class QnLynClientObject;
class QnLynConnectWaittingWidget;
class QnLynConnectWidget;
class QnLynDesktop;
class QnLynLoginWidget;
class QnLynRegisterWidget;
class QnLynUserAgreementWidget;
struct QnLynItemInfo;

/// The root window: owns the sign-in pages, the login dialog, the main sender window (the window
/// the user sees), the desktop-sync window with its connecting overlay, and wires them to the
/// client object. It stays hidden itself; closing it ends the program.
///
/// Every casting action of the main sender window arrives here by its receiver's six-digit code;
/// the handlers look the code up among the discovered receivers (the last match becomes the chosen
/// receiver), call the client object, switch pages and tell the user with toasts and prompts.
///
/// Threads: GUI thread only, except the desktop-picture handler (connected directly to the client
/// object's yuvDataChanged), which runs on the decoding thread: it hands the picture to the
/// desktop window's thread-safe setter and posts every widget change to the GUI thread.
class QnMainWidget : public QWidget
{
    Q_OBJECT
public:
    /// Picks files: caption, start folder, filter; returns the chosen paths (empty: cancelled).
    using FileDialog = std::function<QStringList(const QString &, const QString &, const QString &)>;

    explicit QnMainWidget(QWidget *parent = nullptr);
    ~QnMainWidget() override;

    /// Stores the client object (not owned; outlives this window) and wires it. Call once, first.
    void setLynObject(QnLynClientObject *object);
    /// Silent sign-in with stored credentials when the stored state says the user was signed in
    /// and the network has an IPv4 address.
    void setLoginUserInfo(const QString &user, const QString &password);
    void showWithLoginStatus(bool loggedIn);
    void setUpdateInfo(bool hasUpdate, const QString &version);
    void readSavedPassword(bool remember, const QString &userName, const QString &password);
    void setSelfStart(bool on);
    void showNetworkTip(bool networkOk);
    void showAshWidget();
    void hideAshWidget();
    /// The single-instance "show": brings the main sender window back unless the login dialog is open.
    void restoreConnectWidget();
    /// Writes or removes the program's autostart entry (XDG autostart, "AutoRun" argument) and
    /// emits selfStartChanged.
    void writeAutoRun(bool on);

    // For tests and the controller.
    QnLynConnectWidget *connectWidget() const { return m_connectWidget; }
    QnLynDesktop *desktopWindow() const { return m_desktop; }
    QnLynConnectWaittingWidget *desktopOverlay() const { return m_overlay; }
    LoginMain *loginDialog() const { return m_loginDialog; }
    QnLynLoginWidget *loginPage() const { return m_loginPage; }
    void setFileDialog(FileDialog dialog) { m_fileDialog = std::move(dialog); }
    /// The autostart configuration folder ("" = the user's, see QnAutostart).
    void setAutostartHome(const QString &configHome) { m_autostartHome = configHome; }
    QString senderName() const { return m_senderName; }
    bool isLogin() const { return m_isLogin; }
    QString chosenReceiverId() const { return m_receiverId; }

Q_SIGNALS:
    void selfStartChanged(bool s);
    void updateProgram();
    void loginStatusChanged(bool status);

protected:
    void closeEvent(QCloseEvent *event) override;

private Q_SLOTS:
    void showConnectWidget();
    void on_closeBtn_clicked();
    void on_backBtn_clicked();
    void on_backBtn1_clicked();

private:
    void buildForm();
    void initUI();
    void connectPages();
    void connectClient();
    void showPage(QWidget *page);

    // Lookups (QnMainWidgetHandlers.cpp).
    QList<QnLynItemInfo> matching(const QString &code);
    void refreshReceiverList();
    void refreshConnectState();
    void networkRecheck();
    void toast(const QString &text);

    // Handlers (QnMainWidgetHandlers.cpp).
    void connectByCode(const QString &code);
    void stopConnectByCode(const QString &code);
    void onGetConnectInfo(const QJsonObject &obj);
    void onStartConnectResult(bool isConnected, const QString &userId, const QString &nickName);
    void onConnectTimeout(const QString &code);
    void onUserConnectedChanged(const QString &userId, const QString &nickName, bool connected);
    void onForScreenMaxLimit();
    void startMirror(const QString &code, bool expand);
    void onStartLynSenderResult(bool result, const QString &userId);
    void onChangedResolution(bool ishigh, const QString &code);
    void onUnlockScreen(const QString &code);
    void onScreenPower(bool ishigh, const QString &code);
    void onClickedDesktop(const QString &code);
    void onStartDesktopRequestResult(bool result);
    void onAddDesktop(const QString &userId, const QString &nickName, const QString &url, int width,
                      int height);
    void onYuvData(const QString &userId, const QByteArray &data, int width, int height);
    void pickAndSend(bool pictures);
    void sendFiles(bool pictures, const QStringList &files);
    void onUploadResult(bool pictures, bool result, const QStringList &files);
    void onLoginSuccess(bool isSuccess);
    void onLoginFinished(const QString &account, const QString &pwd, const QString &imagePath);
    void onLoginOut();
    void onCenterPenterLogin();
    void onNetworkDisconnection();
    void onNetworkConnection();

    // Form.
    QStackedWidget *m_stack = nullptr;
    QPushButton *m_backBtn = nullptr;
    QPushButton *m_backBtn1 = nullptr;
    QPushButton *m_closeBtn = nullptr;

    QnLynClientObject *m_client = nullptr;
    QString m_receiverUrl;
    QString m_receiverId;
    QnLynDesktop *m_desktop = nullptr;
    QnLynLoginWidget *m_loginPage = nullptr;
    QnLynRegisterWidget *m_registerPage = nullptr;
    QnLynRegisterWidget *m_forgotPage = nullptr;
    QnLynConnectWidget *m_connectWidget = nullptr;
    QnLynUserAgreementWidget *m_agreementPage = nullptr;
    QnLynConnectWaittingWidget *m_overlay = nullptr;
    QnUploadBatch m_pictures;
    QnUploadBatch m_documents;
    QString m_picturesFolder;
    QString m_documentsFolder;
    QTimer *m_networkTimer = nullptr;
    bool m_isAutoConnect = true;
    bool m_isExpand = false;
    bool m_rememberLogin = false;
    bool m_isLogin = false;
    LoginMain *m_loginDialog = nullptr;
    QString m_senderName;

    FileDialog m_fileDialog;
    QString m_autostartHome;

    // The desktop window's receiver as the decoding thread sees it.
    QMutex m_desktopUserMutex;
    QString m_desktopUserId;     // guarded by m_desktopUserMutex
    bool m_overlayShown = false; // guarded by m_desktopUserMutex: a hide is due on the next picture
};
