#pragma once

#include "client/ui/account/QnLoginUserInfo.h"
#include "client/ui/account/QnLynHeadButton.h"
#include "client/ui/account/QnLynPersonalCenterWidget.h"
#include "client/ui/sender/QnSenderRules.h"

#include <QHostInfo>
#include <QMap>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;
class QFrame;
class QMenu;
class QPushButton;
class QStackedWidget;
class QnAshWidget;
class QnHomeWidget;
class QnKeepAwake;
class QnLynAboutWidget;
class QnLynAutoConnectWidget;
class QnLynClientObject;
class QnLynConnectWaittingWidget;
class QnLynFunctionHomeWidget;
class QnLynMirrorSwitchingResolutionWidget;
class QnLynSettingWidget;
class QnLynUploadAgainWidget;
class QnSessionEvents;
class UpdateContextDlg;

/// The main sender window: a frameless 820x620 window with a title row and a stack of six pages
/// (home, receiver list, function page, about, personal centre, mirroring panel), three popups,
/// the tray icon, and the two 5000 ms guards for connecting and for starting a casting run. It
/// decides nothing about casting: page signals become its own signals for the root window, which
/// calls back with results. Created without parent; GUI thread only.
class QnLynConnectWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynConnectWidget(QWidget *parent = nullptr);
    ~QnLynConnectWidget() override;

    /// The host the internet check looks up: "system"/"onlineCheckHost" of the settings.
    static QString configuredInternetCheckHost();

    void setLynObject(QnLynClientObject *object);
    QString currentCode() const;
    void connectSuccess();
    void closeWaittingWidget();
    void showWaittingWidget();
    void showDisconnected(bool visible);
    void setConnectDevice(const QString &name);
    void showReceiverList();
    void updateDeviceList(const QMap<QString, QString> &devices);
    void showFunctionPage();
    void showMirrorPanel();
    void switchToMirrorPanel();
    void setMirrorTitle(const QString &title);
    void stopMirrorTimer(bool stop);
    void showUploadAgain(const QStringList &files);
    void updateUploadProgress(const QString &url, int current, int total);
    void setUpdateInfo(bool hasUpdate, const QString &version);
    void setNetworkInfo(bool wireless, const QString &name);
    void setNetworkState(bool connected);
    void setSelfStart(bool on);
    void setLoginStatus(bool loggedIn);
    void setUserInfo(const LoginUserInfo &info);
    void setHeadIcon(const QString &path);
    void showAshWidget();
    void hideAshWidget();
    void showTrayIcon();
    void hideTrayIcon();

    /// Holds the system awake while a casting run is on (the root window reports runs it starts).
    void setCasting(bool casting);
    bool isKeepingAwake() const;

    /// The host looked up by the internet check (default: configuredInternetCheckHost()).
    void setInternetCheckHost(const QString &host);
    /// Where the what's-new notes are read (default: the application-local data folder).
    void setUpdateNotesPath(const QString &path);
    /// The number of screens the extended-screen check sees (default: the screens Qt knows).
    void setScreenCounter(std::function<int()> counter);

    QnHomeWidget *homeWidget() const { return m_home; }
    QnLynAutoConnectWidget *autoConnectWidget() const { return m_autoConnect; }
    QnLynFunctionHomeWidget *functionWidget() const { return m_function; }
    QnLynAboutWidget *aboutWidget() const { return m_about; }
    QnLynPersonalCenterWidget *personalCenterWidget() const { return m_personalCenter; }
    QnLynMirrorSwitchingResolutionWidget *mirrorWidget() const { return m_mirror; }
    QnLynSettingWidget *settingWidget() const { return m_setting; }
    QnLynConnectWaittingWidget *waittingWidget() const { return m_waitting; }
    QnLynUploadAgainWidget *uploadAgainWidget() const { return m_uploadAgain; }
    QnSessionEvents *sessionEvents() const { return m_sessionEvents; }
    QStackedWidget *stack() const { return m_stack; }
    QTimer *connectTimer() { return &m_connectTimer; }
    QTimer *mirrorTimer() { return &m_mirrorTimer; }
    QSystemTrayIcon *trayIcon() const { return m_tray; }
    QnAshWidget *ashWidget() const { return m_ash; }
    /// The what's-new dialog currently alive (null when none is shown).
    UpdateContextDlg *updateDialog() const { return m_updateDlg; }
    QString frameStyle() const;

signals:
    void connectServer(QString code, bool isAuto = true);
    void stopConnectServer(QString code);
    void connectTimeout(QString code);
    void refreshConnectItems();
    void clickedPicture();
    void clickedFiles();
    void clickedMirror(QString code);
    void clickedExpand(QString code);
    void clickedDesktop(QString code);
    void disconnectServer(QString code);
    void loginOut();
    void uploadAgainFiles(QStringList files, bool isPic);
    void selfStart(bool isStart);
    void stopMirrorConnect();
    void changedResolution(bool ishigh, QString code);
    void updatePrograme();
    void quitApp();
    void centerPenterLogin();
    void unlockScreen(QString code);
    void lockScreen(QString code);
    void screenPower(bool ishigh, QString code);

public slots:
    void on_conMinBtn_clicked();
    void on_conCloseBtn_clicked();
    void on_personBtn_clicked();
    void activatedSysTrayIcon(QSystemTrayIcon::ActivationReason reason);
    void lookupHostSlot(const QHostInfo &info);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
    void initUI();
    void connectPages();
    void requestConnection(const QString &code, bool isAuto);
    void onCloseConnect();
    void onConnectTimeout();
    void onMirrorTimeout();
    void onGuideShown(bool shown);
    void startCastingRequest(bool expand);
    void stopMirroring();
    void backHome();
    void confirmLogOut();
    void checkInternet();
    void showWhatsNew();
    void putAway();

    QFrame *m_frame = nullptr;
    QStackedWidget *m_stack = nullptr;
    QnLynHeadButton *m_personBtn = nullptr;
    QPushButton *m_closeBtn = nullptr;
    QnHomeWidget *m_home = nullptr;
    QnLynConnectWaittingWidget *m_waitting = nullptr;
    QnLynAutoConnectWidget *m_autoConnect = nullptr;
    QTimer m_connectTimer;
    QnLynSettingWidget *m_setting = nullptr;
    QnLynFunctionHomeWidget *m_function = nullptr;
    QnLynUploadAgainWidget *m_uploadAgain = nullptr;
    QnLynAboutWidget *m_about = nullptr;
    QnLynPersonalCenterWidget *m_personalCenter = nullptr;
    QnLynMirrorSwitchingResolutionWidget *m_mirror = nullptr;
    QString m_code;
    QTimer m_mirrorTimer;
    LoginUserInfo m_userInfo;
    QnAshWidget *m_ash = nullptr;
    QSystemTrayIcon *m_tray = nullptr;
    QMenu *m_trayMenu = nullptr;
    QAction *m_quitAction = nullptr;
    QString m_deviceName;
    bool m_isLogin = false;
    bool m_isHigh = true;
    QnLynClientObject *m_lynObject = nullptr;

    QnConnectAttempt m_attempt;
    QnSessionEvents *m_sessionEvents = nullptr;
    std::unique_ptr<QnKeepAwake> m_keepAwake;
    QString m_internetHost;
    QString m_notesPath;
    std::function<int()> m_screenCounter;
    QPointer<UpdateContextDlg> m_updateDlg;
};
