#pragma once

// Internal state of QnLynHttp, shared by its source files (core, requests, peer requests, uploads).

#include "common/log/QnLogLimiter.h"
#include "common/thread/QnThreadChecker.h"
#include "lyn/control/QnLynControlEnvelope.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/control/QnLynRequestRegistry.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QStringList>

class QNetworkAccessManager;
class QTimer;

Q_DECLARE_LOGGING_CATEGORY(lcLynHttp)

/// GUI thread only, like its owner.
class QnLynHttp::Private
{
public:
    explicit Private(QnLynHttp *owner);

    // ---- core (QnLynHttp.cpp) ----
    qint64 nowMs() const { return clock(); }
    qint64 nowSec() const { return clock() / 1000; }
    /// Hands bytes to the gateway client: its result, or 0 when no client is set (nothing sent).
    int send(const QString &target, int channel, const QByteArray &bytes);
    /// Builds and sends one request; files handler unless the gateway refused the send and
    /// checkSend is true. Returns false for a refused send (nothing filed).
    bool sendRequest(const QString &target, int channel, int type, const QString &nickName,
                     const QJsonObject &data, QnLynRequestRegistry::Handler handler, bool checkSend = true);
    void answerRequest(const QByteArray &bytes, const QString &senderId, bool checkScreenLimit);
    void answerKeepAlive(const QByteArray &bytes, const QString &senderId);

    // ---- peer requests (QnLynHttpHandler.cpp) ----
    /// The answer one handler builds: success with data, or a refusal with code and text.
    struct PeerReply
    {
        QJsonObject data;
        bool failed = false;
        int code = QnLynControl::AnswerSuccess;
        QString msg = QStringLiteral("ok");
        void refuse(int refusal, const QString &text)
        {
            code = refusal;
            msg = text;
            failed = true;
        }
    };
    /// One handler per request type (the table in QnLynHttp::handleData).
    void onConnect(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onDisconnect(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onPresence(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onStartLyn(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onStopLyn(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onStartDesktop(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onStopDesktop(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onMouse(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onStopMouse(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onFileList(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onSharePath(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onRotation(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onDesktop(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onOpenDocument(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onMediaStatus(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onReconnect(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    void onFullScreen(const QnLynControl::Request &r, const QByteArray &bytes, PeerReply &reply);
    /// Forgets a departed peer in every table (grace timer included).
    void removePeer(const QString &userId);
    void stopGraceTimer(const QString &userId);
    void startGraceTimer(const QString &userId);
    /// Appends the received items to saveFolder/userId/userId.json; returns the items raised.
    QVariantList storeFileList(const QString &userId, const QJsonArray &items);

    // ---- uploads (QnLynHttpUpload.cpp) ----
    struct UploadCall
    {
        bool pictures = true;
        QString userId;
        QString nickName;
        QStringList files; // this call's files: never shared with another call
    };
    void startUpload(const QString &uploadUrl, const UploadCall &call);
    void finishUpload(const UploadCall &call, bool accepted, const QJsonArray &entries,
                      const QStringList &uploadedPaths);
    void raiseUploadFailed(const UploadCall &call, bool result, const QStringList &files);
    void raiseUploadResult(const UploadCall &call, bool result);

    QnLynHttp *q;
    QnThreadChecker thread; // the GUI thread: every operation of QnLynHttp runs there
    QnLynHttp::Clock clock;
    QnLynRequestRegistry registry;
    QnLogLimiter peerLog; // control messages refused: first lines of each interval, then a count
    QPointer<QnSignalClient> signalClient; // borrowed

    QString deviceId;
    QString deviceName;
    QString localIp;
    QString roomId;
    int servicePort = 1979;
    QString serverUrl;    // current connection, set by a successful connect
    QString serverUserId; // current connection

    QTimer *sweepTimer = nullptr;         // 100 ms, running from construction
    QNetworkAccessManager *nam = nullptr; // child, uploads

    // Peer tables, keyed by user id.
    QHash<QString, qint64> peerLastSeen;   // seconds
    QHash<QString, qint64> serverLastSeen; // seconds
    QHash<QString, QString> peerNames;
    QHash<QString, QString> peerAddresses;
    QHash<QString, QTimer *> graceTimers; // children of q
    int peerGraceMs = 10000;

    // Settings of the answering side.
    int peerLimit = 100;
    int screenCount = 0;
    int screenLimit = 6;
    bool desktopPermission = true;
    bool fullScreen = false;
    int desktopPort = 0;
    QSize desktopSize; // invalid: -1 x -1
    QString uploadUrl;
    QString saveFolder;
    QString lastRequestId;

    QStringList currentUploadList; // the files of the last upload started
};
