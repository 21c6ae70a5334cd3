#pragma once

#include <QHostAddress>
#include <QJsonObject>
#include <QObject>
#include <QString>

class QUdpSocket;

/// One job for the local updater service.
struct UpdateJobInfo
{
    int installType = 0;
    QString appName;
    QString url;     ///< the package's address
    QString version; ///< the newest version, dotted
    QString context; ///< the release notes
    QString md5;     ///< the package's MD5, 32 hexadecimal digits
    qint64 totalSize = 0;
    QString contextSaveDir; ///< the program's data folder (the update-notes file lies there)
};

/// The updater-service protocol: one compact JSON object per UDP datagram to 127.0.0.1:32199,
/// recognised by its key "QnUpdaterTitle" (the string "508417").
///
/// The service runs with administrator rights, so a job is sent only when its fields are sound
/// (see checkJob). Sending is fire-and-forget: there is no acknowledgement and no retry.
/// GUI thread only.
class QnUdpController : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kServicePort = 32199;
    /// The largest datagram sent; a larger job is refused.
    static constexpr int kMaxDatagram = 65507;

    /// The one controller, created on first use (thread-safe), destroyed at program exit.
    static QnUdpController *instance();

    explicit QnUdpController(QObject *parent = nullptr);
    ~QnUdpController() override;

    /// Replaces the socket with a new one.
    void initSocket();

    /// The datagram's JSON object for a job: the marker and the eight job fields.
    static QJsonObject toJson(const UpdateJobInfo &job);
    /// Why a job must not reach the service; empty when it may: appName, version (digits and dots)
    /// present; url an absolute http or https address with a host and no user
    /// information; md5 32 hexadecimal digits; totalSize above 0; contextSaveDir an absolute path;
    /// the datagram at most kMaxDatagram bytes.
    static QString checkJob(const UpdateJobInfo &job);

    /// Checks a job and sends it as one datagram; false (nothing sent) when checkJob refuses it or
    /// the socket does not take it.
    bool sendMsg(const UpdateJobInfo &job);
    /// Sends text as one datagram (UTF-8) to the service; false when the socket does not take it.
    bool sendMsg(const QString &text);

    /// Where datagrams go (127.0.0.1:32199 unless a test changes it).
    void setServiceAddress(const QHostAddress &address, quint16 port);

public Q_SLOTS:
    /// Reads pending datagrams and emits those of this protocol. Nothing binds a socket to it in
    /// this program (the service does not answer).
    void slotRcvMsg();

Q_SIGNALS:
    void sigRcvUpdateMsg(QJsonObject msg);

private:
    QUdpSocket *m_socket = nullptr; // child
    QHostAddress m_address{QHostAddress::LocalHost};
    quint16 m_port = kServicePort;
};
