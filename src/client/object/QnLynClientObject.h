#pragma once

#include "common/network/NetworkInfo.h"
#include "common/network/RtcNetworkDeviceNotify.h"
#include "common/thread/QnThreadChecker.h"
#include "lyn/discovery/QnLynSocket.h"
#include "platform/gateway/QnGatewayClient.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CVolumeCtrl;
class QNetworkAccessManager;
class QNetworkReply;
class QnLynHttp;
class QnLynInput;
class QnLynManager;
class QnLynVideoModel;
class QnSignalClient;
class ThreadPool;
namespace qn::platform {
class PcmOutput;
}

/// What the client object reads from its surroundings; every member has the product's value by
/// default, tests replace what they need.
struct QnLynClientConfig
{
    /// Runs a function on a new thread (the gateway sign-in). Returns false when no thread could
    /// be started. Null: a std::thread kept by the client object and joined by its destructor.
    using ThreadStarter = std::function<bool(std::function<void()>)>;

    QString settingsPath;       ///< settings file of the device identity; empty: the program's
    int firstMediaPort = 10900; ///< local base port of the first mirroring or desktop-sync run
    quint16 codePort = 1989;    ///< HTTP port of the receiver's "/codeinfo"
    int codeTimeoutMs = 10000;  ///< a code lookup without an answer by then fails
    QnLynDiscoveryConfig discovery;
    QnGatewayConfig gateway;
    /// Usable adapters keyed by IPv4 text; null: ScreenUtil::getLocalIps().
    std::function<std::map<std::string, NetworkInfo>()> adapters;
    /// Screen sizes in device pixels, by index; null: the application's screens.
    std::function<QList<QSize>()> screenSizes;
    /// Reverse input; null: QnLynInput::instance(). Not owned.
    QnLynInput *input = nullptr;
    /// Task pool of the desktop-sync pipelines; null: the process-wide one. Not owned.
    ThreadPool *pool = nullptr;
    /// Register with the process-wide network-change notifier.
    bool networkNotices = true;
    /// Watch the output's mute state (CVolumeCtrl).
    bool volumeWatcher = true;
    /// Play the receiver's sound during desktop sync.
    bool audioOutput = true;
    ThreadStarter startThread;
};

/// The one object through which the windows drive casting: connecting to a receiver (found by
/// discovery or by its six-digit code), mirroring this PC's screen and sound to it, showing its
/// desktop here (desktop sync), uploads, whiteboard data, and the dispatch of what the receiver
/// sends over the gateway.
///
/// Owns (as children) the control protocol QnLynHttp, discovery QnLynSocket, the gateway client
/// QnSignalClient, the media owner QnLynManager and the received-video model; and the volume
/// watcher and the audio output of the received sound.
///
/// Threads: made, used and destroyed on the GUI thread; all operations and all signals except
/// these run there:
///  - yuvDataChanged is re-emitted on the decode thread of the desktop-sync pipeline (connect
///    directly and copy);
///  - reverse input from the gateway is injected on the gateway thread, and reverse input of
///    QnLynInput is sent on the thread that emits it;
///  - the received sound is written to the audio output on the decode thread.
/// The flags read off the GUI thread (lynSending, desktopSending) are atomic. No lock of this
/// object is held while calling out, except m_audioMutex around the audio output.
class QnLynClientObject : public QObject, public rtc::RtcNetworkListener
{
    Q_OBJECT
    Q_PROPERTY(QString machineName READ getMachineName NOTIFY machineNameChanged)
public:
    explicit QnLynClientObject(QObject *parent = nullptr, QnLynClientConfig config = QnLynClientConfig());
    /// Stops the volume watcher first, leaves the notifier, joins the sign-in threads, stops any
    /// desktop-sync pipeline; the children go after.
    ~QnLynClientObject() override;

    // ---- Connection ----
    /// Signs in to the receiver's gateway at ip:port on a thread of its own, joins roomId and
    /// sends the connect request. Results: serverConnectChanged, startConnectResult.
    void startConnect(const QString &url, const QString &userId, const QString &ip, int port,
                      const QString &roomId);
    /// Looks up the receiver behind a six-digit code ("/codeinfo" in the own /24 network).
    /// Result: getConnectInfo (an empty object on failure; only a lookup with an answer adds a
    /// receiver to discovery).
    void connectServer(const QString &code);
    /// Sends the disconnect request and signs out of the gateway.
    void stopConnect(const QString &url, const QString &userId);

    /// The host a connection code names: the code divided by 3, padded to six digits, its first,
    /// third and fifth digits make the last octet, the first three octets are ownIp's. Empty when
    /// ownIp is not a dotted IPv4 address or the code is negative.
    static QString codeHost(const QString &code, const QString &ownIp);
    /// The JSON object of a peer's bytes; empty when they are not one object (duplicate keys and
    /// deep nesting are refused before Qt's parser sees them).
    static QJsonObject peerObject(const QByteArray &bytes);
    /// True for a dotted-quad IPv4 address ("a.b.c.d", each 0..255 in decimal), the only form a
    /// media pipeline is started towards.
    static bool isIpv4Text(const QString &text);

    // ---- Mirroring, desktop sync ----
    void startLynSender(const QString &userId, const QString &url, int screen, bool hd,
                        const QString extra = QString());
    void stopLynSender(const QString &userId, const QString &url);
    /// As stopLynSender, but lynSending keeps its value (switching screens).
    void stopLynSenderKeepState(const QString &userId, const QString &url);
    void setSenderResolution(int x, int screen, bool hd);
    void startDesktop(const QString &userId, const QString &url);
    void stopDesktop(const QString &userId, const QString &url);

    // ---- Uploads, whiteboard ----
    void uploadPixmaps(const QString &url, const QString &userId, const QString &uploadUrl,
                       const QStringList &files, const QString &nickName);
    void uploadDocuments(const QString &url, const QString &userId, const QString &uploadUrl,
                         const QStringList &files);
    void sendBoardData(const QString &userId, const QByteArray &data);

    // ---- Accessors ----
    QnLynSocket *getLynSocket() const { return m_lynSocket; }
    QnLynHttp *getLynHttp() const { return m_lynHttp; }
    QnSignalClient *getSignalClient() const { return m_signalClient; }
    QnLynManager *getLynManager() const { return m_lynManager; }
    QnLynVideoModel *getVideoModel() const { return m_videoModel; }
    NetworkInfo getNetworkInfo() const { return m_networkInfo; }
    bool isLynSending() const { return m_lynSending.load(); }
    bool isDesktopSending() const { return m_desktopSending.load(); }
    QString getUploadUrl() const { return m_uploadUrl; }
    QString getMachineName() const { return m_machineName; }
    void setMachineName(const QString &name);
    /// The local base port the next mirroring or desktop-sync run takes.
    int nextMediaPort() const { return m_mediaPortCounter; }
    /// The local base port of the current (or last) run.
    int lynPort() const { return m_lynPort; }
    QString serverUserId() const { return m_serverUserId; }
    /// Re-reads the adapter in use and the own address; emits networkChanged.
    void updateNetworkInfo();

    // rtc::RtcNetworkListener (GUI thread)
    void networkDisconnect(const std::string &name) override;
    void networkConnect(const std::string &name) override;

public Q_SLOTS:
    /// {"ip": own address, "wifi": wireless adapter}.
    QVariantMap getCurrentIp();
    /// Ends the desktop run when id is the connected receiver.
    void closeItem(QString id);
    void audioMuteNotifyCallback(int mute);

Q_SIGNALS:
    void networkChanged();
    void machineNameChanged();
    void yuvDataChanged(QString userId, QByteArray data, int width, int height);
    void serverConnectChanged(bool isConnected, QString userId);
    void addDesktop(QString userId, QString nickName, QString url, int width, int height);
    void removeDesktop();
    void uploadPixmapResult(bool result, QString userId);
    void uploadDocumentsResult(bool result, QString userId);
    void uploadPixmapFailed(bool result, QString userId, QStringList files);
    void uploadDocumentsFailed(bool result, QString userId, QStringList files);
    void startConnectResult(bool isConnected, QString userId, QString nickName);
    void startLynSenderResult(bool result, QString userId);
    void networkDisconnection();
    void networkConnection();
    void forScreenMaxLimit();
    void userConnectedChanged(QString userId, QString nickName, bool connected);
    void startDesktopRequestResult(bool result, QString userId, QString ip, int port, int localPort,
                                   int width, int height);
    void closeLyn(QString userId);
    void reconnectFailed();
    void userLeaveRoom(QString userId);
    void getConnectInfo(QJsonObject obj);

private Q_SLOTS:
    /// GUI-thread half of the receive dispatch (channels other than 1).
    void signalData(int type, QByteArray data, QString senderId);

private:
    /// One start request waiting for its answer. Answers come back in request order (each
    /// request raises exactly one result), so pending requests form a FIFO; an answer to a request
    /// that a later one superseded is dropped.
    struct PendingStart
    {
        quint64 seq = 0;
        QString userId;
        QString url;
        int screen = 0;
        bool hd = false;
        int localPort = 0;
    };

    static void volumeCallback(int muted, void *context);

    // Connection (QnLynClientConnect.cpp)
    void wireConnection();
    void onLoginResult(bool result, const QString &error);
    void onJoinRoomResult(bool result, const QString &error, bool isDisconnect);
    void onReconnectServerResult(const QString &userId, bool result);
    void onStartConnectResult(bool result, const QString &userId, const QString &nickName,
                              const QString &roomId, const QString &ip, int port, const QString &uploadUrl);
    void onGatewayReconnectFailed();
    void onKeepResult(bool result, const QString &userId, const QString &url);
    void onServerDisconnected(const QString &userId);
    void onHttpUserLeaveRoom(const QString &userId);
    void onCodeReply(QNetworkReply *reply);
    void endConnection(const QString &userId, const QString &url);
    /// Emits serverConnectChanged(false, userId) unless "not connected" was reported already
    /// since the last connect attempt or success: once per loss.
    void reportNotConnected(const QString &userId);
    bool launchSignIn(const QString &ip, int port);
    void reapSignInThreads();

    // Media and dispatch (QnLynClientMedia.cpp)
    void wireMedia();
    int takeMediaPort();
    QList<QSize> screenSizes() const;
    void onStartLynResult(bool result, const QString &userId, const QString &ip, int port);
    void onStartDesktopRequestResult(bool result, const QString &userId, const QString &ip, int port,
                                     int localPort, int width, int height);
    void onStartDesktopResult(bool result, const QString &userId, const QString &ip, int port, int localPort);
    void endDesktop(const QString &userId, const QString &url, bool sendStop);
    void stopReceiving(const QString &userId);
    /// False, starting nothing, when ip is not an IPv4 address.
    bool startReceiving(const QString &userId, const QString &nickName, const QString &ip, int port,
                        int localPort, int kind);
    void onStartLyn(const QString &userId, const QString &nickName, const QString &ip, int port,
                    int localPort, int deviceType, int width, int height);
    void onStopLyn(const QString &userId);
    void onUserConnectedChanged(const QString &userId, const QString &nickName, bool connected);
    void onSendDataToNetwork(const QString &id, const QByteArray &data);
    void onReceiveData(int type, const QByteArray &data, const QString &senderId);
    void playReceivedSound(const unsigned char *data, unsigned int length);

    QnLynClientConfig m_config;
    QnLynSocket *m_lynSocket = nullptr;
    QnLynHttp *m_lynHttp = nullptr;
    QnSignalClient *m_signalClient = nullptr;
    QnLynManager *m_lynManager = nullptr;
    QnLynVideoModel *m_videoModel = nullptr;
    QnLynInput *m_input = nullptr; // not owned
    NetworkInfo m_networkInfo;
    QnThreadChecker m_thread; ///< the GUI thread: every operation above runs there
    QString m_machineName;
    int m_mediaPortCounter = 10900;
    int m_lynPort = 0;
    std::atomic<bool> m_desktopSending{false};
    std::atomic<bool> m_lynSending{false};
    QString m_serverUserId;
    QString m_serverIp;
    QString m_serverNickName;
    QString m_serverUrl;
    QString m_uploadUrl;

    enum class LinkState {
        Idle,       ///< not connected, and that has been reported
        Connecting, ///< startConnect ran; no answer yet (or a re-join after a drop runs)
        Connected,  ///< the receiver answered the connect request
    };
    LinkState m_link = LinkState::Idle; // GUI thread
    bool m_signInPending = false;       // startConnect's own sign-in has not been answered

    std::mutex m_audioMutex;                                // guards m_audioOutput against the destructor
    std::unique_ptr<qn::platform::PcmOutput> m_audioOutput; // written on the decode thread
    std::unique_ptr<CVolumeCtrl> m_volumeCtrl;              // its callback runs on "qn-volume"
    std::unique_ptr<QNetworkAccessManager> m_codeNetwork;   // made on the first code lookup
    std::vector<std::thread> m_signInThreads;               // GUI thread; joined by the destructor

    quint64 m_lynSeq = 0; // the latest mirroring start request
    QList<PendingStart> m_pendingLyn;
    quint64 m_desktopSeq = 0; // the latest desktop-sync start request
    QList<PendingStart> m_pendingDesktopRequest;
    QList<PendingStart> m_pendingDesktopStart;
};
