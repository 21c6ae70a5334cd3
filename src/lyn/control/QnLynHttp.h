#pragma once

#include <QJsonObject>
#include <QObject>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <memory>

class QnSignalClient;

/// The control-protocol object: speaks JSON control envelopes with a receiver over the signalling
/// gateway (QnSignalClient). It sends requests and matches their answers by id (a request that
/// stays unanswered for 10000 ms is answered {"code":-1}), answers the peer's requests (channel 5,
/// answers on channel 6) and keep-alives (channel 7, answers on channel 8), follows the gateway's
/// leave notices, and uploads pictures and documents to the receiver's HTTP endpoint.
///
/// Threads: GUI thread only. The gateway client's receiveData and userLeaveRoom reach this object
/// through queued connections, so every handler, timer and answer callback runs on the GUI thread;
/// no locks. Every request operation raises exactly one result signal (none for stopConnect,
/// stopLynSender's failure and stopDesktopSender), either at once (send refused by the gateway) or
/// when the answer or the time-out arrives.
///
/// Channels (gateway type = channel + 1000): 1 reverse input, 2 whiteboard, 3 presence, 4 stop,
/// 5 control requests, 6 their answers, 7 keep-alive requests, 8 keep-alive answers.
class QnLynHttp : public QObject
{
    Q_OBJECT
public:
    /// Milliseconds since the epoch; replaceable so that tests can move time.
    using Clock = std::function<qint64()>;

    /// Reads (or creates) the device identity from the program's settings file (group "system",
    /// key "uuid"; 32 lowercase hex digits) and stores the computer name under "name".
    explicit QnLynHttp(QObject *parent = nullptr);
    /// As above over the settings file at settingsPath (tests, other installations).
    explicit QnLynHttp(const QString &settingsPath, QObject *parent = nullptr);
    /// Pending answer callbacks are dropped without being called.
    ~QnLynHttp() override;

    /// Borrowed; must outlive this object or be reset with nullptr first. Connects its receiveData
    /// and userLeaveRoom queued. Without a client, requests are filed but nothing is sent.
    void setSignalClient(QnSignalClient *client);
    void setLocalIp(const QString &ip);
    void setRoomId(const QString &roomId);
    QString getRoomId() const;
    /// The device identity: 32 lowercase hex digits, stable across starts.
    QString getDeviceId() const;
    /// The computer name (host name).
    QString getDeviceName() const;

    // ---- Requests to the receiver (channel 5; the keep-alive on channel 7) ----
    // url is the receiver's URL (kept for the connection, not sent); userId its user id in the room.

    /// Type 1. Result: startConnectResult.
    void startConnect(const QString &url, const QString &userId);
    /// Type 2. Stops the keep-alive and the receiver-silence check first. No result signal.
    void stopConnect(const QString &url, const QString &userId);
    /// Type 4 (mirroring this PC's screen to the receiver). nickName goes into the envelope.
    /// Result: startLynResult.
    void startLynSender(const QString &url, const QString &userId, int lynPort, int width, int height,
                        const QString &nickName);
    /// Type 5. Success raises closeLyn.
    void stopLynSender(const QString &url, const QString &userId);
    /// Type 6. Result: startDesktopResult.
    void startDesktopSender(const QString &url, const QString &userId, int lynPort, int port);
    /// Type 7 on channel 5. No result signal.
    void stopDesktopSender(const QString &url, const QString &userId);
    /// Type 15 (ask for the receiver's desktop). Result: startDesktopRequestResult.
    void startDesktopRequestSender(const QString &url, const QString &userId, int lynPort);
    /// Type 19 after a gateway re-join. Result: reconnectServerResult (and serverDisconnected on
    /// failure).
    void sendReconnect(const QString &userId);
    /// Stops the keep-alive and the receiver-silence check and empties the receiver table.
    void resetKeepAlive();

    // ---- Uploads to the receiver's HTTP endpoint, then the announcing control request ----

    /// Posts files to uploadUrl, then announces the uploaded ones with type 10 ("pixs") to userId.
    /// url is only logged. Raises uploadPixmapFailed (which files arrived) and then exactly one
    /// uploadPixmapResult; success only after the receiver answered the announcement.
    void uploadPixmaps(const QString &url, const QString &userId, const QString &uploadUrl,
                       const QStringList &files, const QString &nickName);
    /// As uploadPixmaps with type 16 ("docs"); the envelope carries the computer name.
    void uploadDocuments(const QString &url, const QString &userId, const QString &uploadUrl,
                         const QStringList &files);

    // ---- The peer's requests (channel 5) ----

    /// Handles one request envelope and returns the answer object (sent back on channel 6 unless
    /// its "type" is 18). Never fails: bad input gives an error answer.
    QJsonObject handleData(const QByteArray &data);

    // Settings of the answering side (nothing changes them in the product; tests do).
    void setScreenCount(int count);
    void setDesktopPermission(bool allowed);
    void setFullScreen(bool fullScreen);
    void setDesktopPort(int port);
    void setDesktopSize(const QSize &size);
    void setUploadUrl(const QString &url);
    /// The folder under which received file lists are stored; nothing is stored while it is empty.
    void setSaveFolder(const QString &folder);

    /// Replaces the clock of the request registry and the silence checks (tests).
    void setClock(Clock clock);
    /// Answers every request filed more than 10000 ms ago with {"code":-1}. Runs every 100 ms on
    /// its own; public so that tests with an injected clock can run it at once.
    void sweepRequests();
    /// Number of requests waiting for an answer.
    int pendingRequestCount() const;
    /// How long a dropped peer may take to come back (type 19) before it counts as gone; 10000 ms.
    void setPeerGraceMs(int ms);

public Q_SLOTS:
    /// Keep-alive (type 7 on channel 7) to the current receiver; the 500 ms timer's slot.
    void sendKeep();

Q_SIGNALS:
    // Requests' results.
    void startConnectResult(bool result, QString userId, QString nickName, QString roomId, QString ip,
                            int port, QString uploadUrl);
    void startLynResult(bool result, QString userId, QString ip, int port);
    void startDesktopResult(bool result, QString userId, QString ip, int port, int localPort);
    void startDesktopRequestResult(bool result, QString userId, QString ip, int port, int localPort,
                                   int width, int height);
    void closeLyn(QString userId);
    void reconnectServerResult(QString userId, bool result);
    void serverDisconnected(QString userId);
    /// The receiver refused a request with code -1006 (too many screens).
    void forScreenMaxLimit();
    /// A keep-alive failed.
    void keepResult(bool result, QString userId, QString url);
    /// Declared for the client object; never raised.
    void userLeaveRoom(QString userId);
    /// Declared for the client object; never raised.
    void openDocumentResult(bool result, QString userId);

    // The peer's requests.
    void userConnectedChanged(QString userId, QString nickName, bool connected);
    void userConnect(QString userId, QString ip);
    void requestLyn(QString userId);
    void startLyn(QString userId, QString nickName, QString ip, int port, int localPort, int deviceType,
                  int width, int height);
    void stopLyn(QString userId);
    void startDesktop(QString userId, QString nickName, QString ip, int port, int localPort);
    void stopDesktop(QString userId);
    void requestMouse(QString userId);
    void stopMouse(QString userId);
    void requestDesktop(QString userId);
    void startUploadFiles();
    void lynPixmap(QString userId, QString nickName, QVariantList info);
    void lynDocuments(QString userId, QString nickName, QVariantList info);
    void lynOpenDocument(QString userId, QString nickName, QString file);
    void lynVideo(QString userId, QString nickName, QString videoPath, bool isVideo);
    void lynRotationAngle(QString userId, int angle);
    void mediaStatus(QString userId, QString path);

    // Uploads.
    void uploadPixmapResult(bool result, QString userId);
    void uploadPixmapFailed(bool result, QString userId, QStringList files);
    void uploadDocumentsResult(bool result, QString userId);
    void uploadDocumentsFailed(bool result, QString userId, QStringList files);

private Q_SLOTS:
    void onReceiveData(int channel, const QByteArray &data, const QString &senderId);
    void onUserLeaveRoom(const QString &userId, bool isDisconnect);

private:
    class Private;
    friend class Private;
    std::unique_ptr<Private> d;
};
