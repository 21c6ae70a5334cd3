#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

namespace QnBoard {

/// The signed-in user as the account service describes it, and the cache of the user's head image.
///
/// Copyable: a copy (or an assignment) takes the seven fields and has no parent; a download in
/// flight stays with its own object, and an assignment aborts the target's download. GUI thread
/// only. The network access manager is a child of the record: a record that is destroyed takes
/// its download with it, and no report arrives afterwards.
class User : public QObject
{
    Q_OBJECT
public:
    User();
    User(const User &other);
    User &operator=(const User &other);
    ~User() override;

    /// A record from the service's "user" object as JSON text; a text that is not a JSON object
    /// gives empty strings and role 0.
    static User fromJson(const QString &json);

    /// The head-image URL of a service-relative headPath under the gateway base URL: the base's
    /// scheme, host and port are kept and headPath's path (and query) are appended to the base's
    /// path. Empty when headPath is empty or names a scheme or host of its own.
    static QUrl avatarUrl(const QString &gatewayBase, const QString &headPath);

    /// True for an identifier usable as a file name: 1 to 64 of [0-9A-Za-z-].
    static bool isSafeUuid(const QString &uuid);
    /// The lower-case image extension of a URL's path when it is png, jpg, jpeg, gif or bmp; else "".
    static QString imageExtension(const QUrl &url);

    /// The folder of cached head images: the writable data location + "/imageCache/via".
    static QString cacheDir();

    /// Fetches headPath and stores the picture as cacheDir()/uuid.extension, replacing an older
    /// file only once the new one is complete. Ends with finish(uuid); a failure (unsafe uuid or
    /// extension, network error or time-out, body that is not a picture, write error) also emits
    /// downloadFailed first and leaves localHeadPath unchanged. An empty headPath does nothing.
    void downloadAvatar();

    /// Transfer time-out of the head image download (5000 ms).
    void setTransferTimeout(int ms) { m_transferTimeoutMs = ms; }

    QString uuid;
    int role = 0;
    QString name;
    QString username;
    QString nickname;
    QString headPath;      ///< absolute head image URL
    QString localHeadPath; ///< the local picture: the default resource, then the cached file

Q_SIGNALS:
    /// A download ended, saved or not.
    void finish(const QString &id);
    /// A download failed; reason is a short English text for logs.
    void downloadFailed(const QString &id, const QString &reason);

private:
    void onAvatarReply(QNetworkReply *reply, const QString &id, const QString &extension);
    void copyFields(const User &other);
    void abortDownload();

    QNetworkAccessManager *m_nam = nullptr; // child, made on the first download
    QPointer<QNetworkReply> m_reply;        // the download in flight
    int m_transferTimeoutMs = 5000;
};

} // namespace QnBoard
