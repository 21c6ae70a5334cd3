#pragma once

#include "update/src/UpdateCheck.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

class Md5Check;
class QnElevation;
class QNetworkAccessManager;
class QSettings;
class UpdateDownloader;

/// What UpdateMain takes from its surroundings. The defaults serve the program; tests and the
/// screenshot script replace what they must (addresses, folders, the elevation, the program's end
/// and the message boxes).
struct UpdateEnvironment
{
    QString baseUrl;    ///< the cloud service (scheme, host, port); default: the configured one
    QString appDir;     ///< the application folder; default QCoreApplication::applicationDirPath()
    QString packageDir; ///< private folder of downloaded packages; default CacheLocation + "/package"
    QUrl downloadPage;  ///< the vendor's download page, opened after a failed upgrade; may be empty
    int checkTimeoutMs = 10000;
    std::shared_ptr<QnElevation> elevation;        ///< default QnElevation::createDefault()
    std::function<void(int)> exitProgram;          ///< default QCoreApplication::exit
    std::function<void()> showUpgradeFailed;       ///< default: critical box, then the download page
    std::function<void()> showAdministratorNeeded; ///< default: the "Warm Remind" box

    /// The program's environment.
    static UpdateEnvironment defaults();
};

/// The interactive updater: asks the cloud update service for a newer version, downloads and checks
/// the package (or the listed files), records the result in update.ini and starts the installer.
///
/// Owned by UpdateProgramDialog; the application controller reaches it through the dialog. GUI
/// thread only; network results arrive as signals, the MD5 check reports from its thread (queued).
///
/// Sizes and progress are 64-bit. A package is reported downloaded (downloadFinished(true)) only
/// after HTTP 200 with the offered size and MD5; otherwise nothing is left of it and nothing can be
/// started. runUpdate starts only what a download of this object completed.
class UpdateMain : public QObject
{
    Q_OBJECT
public:
    explicit UpdateMain(QObject *parent = nullptr);
    ~UpdateMain() override;

    /// Replaces the environment (before the first check).
    void setEnvironment(const UpdateEnvironment &environment);
    const UpdateEnvironment &environment() const { return m_env; }

    /// Starts one check with the cloud update service and returns 0 at once; the result comes as
    /// checkState and updateInfo. A failed, unparsable or unanswered request (checkTimeoutMs)
    /// changes nothing and emits nothing. Checks may overlap; the last one evaluated wins.
    int checkNewUpdate(const QString &major, const QString &minor, const QString &patch,
                       const QString &appId);
    /// {"state": int, "ver": text, "content": text, "totalsize": 64-bit} of the last check.
    QVariantMap getUpdateInfo() const;
    bool isForceUpdate() const { return m_state == 2; }

    /// Opens dir + "/config/update.ini" (INI, UTF-8), creating its folder.
    void setConfigDir(const QString &dir);
    /// Writes group "update": "need" (1 or 0), "move" and "back" (booleans), and syncs.
    void setNeedUpdate(bool need, bool move);

    /// True when this process has administrator rights (effective user id 0).
    static bool isAdministrator();
    /// Starts file with administrator rights (parameters split as a shell would); true when it runs.
    static bool runApplicationAsAdmin(const QString &file, const QString &parameters);

    /// Starts what the last successful download brought: the package (package route) or the
    /// update program beside the application (file-list route). The program ends (exitProgram(0))
    /// only after a start that succeeded on a route that ends; otherwise it keeps running and tells
    /// the user. Does nothing when no download of this object has succeeded.
    void runUpdate();
    /// The package start of runUpdate.
    void startUpdateExe(const QString &path);

    /// The files of a file-list update: maps with "url", "path" (relative to updateDir), "md5"
    /// (lower-case hexadecimal) and "size". Empty unless supplied.
    void setFileList(const QList<QVariantMap> &files) { m_files = files; }
    /// Fetches the next listed file, or ends the file-list route.
    void downFiles();
    /// True when every listed file is present with its MD5.
    bool checkUpdateFiles() const;
    /// Lower-case hexadecimal MD5 of a file; empty when it cannot be read.
    static QByteArray getFileMd5(const QString &path);
    /// Deletes folder and its content without following symbolic links (see UpdateFiles).
    static bool removeFolderTree(const QString &folder);

    bool packageMode() const { return m_packageMode; }
    QString updateDir() const { return m_updateDir; }
    /// The package file of the last package download (empty before one).
    QString packagePath() const { return m_packagePath; }
    /// The offer of the last reply that carried one.
    UpdateOffer offer() const { return m_offer; }

public Q_SLOTS:
    /// The user accepted the update: downloads the package, or the listed files.
    void onStartDown();
    void onDownloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void onDownFinished(QByteArray data, QString error);
    void onDownOneFinished(QByteArray data, QString error);
    void onDownOneloadProgress(qlonglong bytesReceived, qlonglong bytesTotal);
    void onCheckProgress(qlonglong bytesChecked, qlonglong bytesTotal);
    void onCheckedFinished(bool result);
    void onCancelDown();

Q_SIGNALS:
    void checkState(int state, QString version, QString content);
    void updateInfo(qlonglong totalSize, QString content);
    void downloadPercent(qlonglong bytesReceived, qlonglong bytesTotal);
    void downloadFinished(bool isSuccessed);

private:
    void onCheckReply(const QByteArray &body, const QString &major, const QString &minor,
                      const QString &patch);
    void finishRoute(bool ok);
    void upgradeFailed();

    UpdateEnvironment m_env;
    Md5Check *m_md5Check;           // child
    UpdateDownloader *m_downloader; // child: the package downloader
    QNetworkAccessManager *m_nam;   // child: update checks
    int m_state = 0;
    bool m_packageMode = false;
    UpdateOffer m_offer;
    QString m_packagePath;
    QString m_configDir;
    QList<QVariantMap> m_files;
    QString m_updateDir;
    int m_filesDone = 0;
    qint64 m_bytesDone = 0;
    bool m_backFlag = false;
    bool m_downloading = false;
    bool m_ready = false;            // a download of the current route succeeded; runUpdate may start it
    QSettings *m_settings = nullptr; // child; update.ini
};
