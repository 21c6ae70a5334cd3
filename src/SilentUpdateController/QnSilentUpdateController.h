#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QnElevation;
class QNetworkAccessManager;
class QnUdpController;

/// Where the local updater service is and how it is started.
struct QnSilentUpdateOptions
{
    /// The service's process name (or its beginning).
    QString serviceProcess = QStringLiteral("ZoVazevoZuzeriz");
    /// The service's systemd unit. With no startCommand the service is started by "systemctl start
    /// <unit>", and only when the unit is installed (its file lies in one of unitDirs).
    QString serviceUnit = QStringLiteral("zovazevozuzeriz.service");
    QStringList unitDirs{QStringLiteral("/etc/systemd/system"), QStringLiteral("/usr/lib/systemd/system"),
                         QStringLiteral("/lib/systemd/system")};
    /// A command that starts the service instead (run as it stands; nothing when its program is
    /// missing). Both run with administrator rights.
    QStringList startCommand;
    /// Used for the service start; default QnElevation::createDefault().
    std::shared_ptr<QnElevation> elevation;
    /// Where jobs go; default QnUdpController::instance().
    QnUdpController *udp = nullptr;
    /// The program's data folder named in jobs; default the DataLocation.
    QString dataDir;

    /// The program's options: the defaults above, overridden by the settings (group "updater",
    /// keys "serviceProcess", "serviceUnit" and "serviceStartCommand", a list).
    static QnSilentUpdateOptions fromSettings();
};

/// The silent updater: at construction it makes sure the local updater service runs (starting it
/// with administrator rights when it does not), and each checkUpdate asks the cloud update service
/// for a newer version; a newer one that must be installed goes to the service as one job.
///
/// Shows nothing; every failure is only logged. GUI thread only.
class QnSilentUpdateController : public QObject
{
    Q_OBJECT
public:
    /// The one controller, created on first use with fromSettings() (thread-safe), destroyed at exit.
    static QnSilentUpdateController *instance();

    explicit QnSilentUpdateController(const QnSilentUpdateOptions &options, QObject *parent = nullptr);
    ~QnSilentUpdateController() override;

    /// Starts one check; nothing is returned and no failure reaches the caller. version needs at
    /// least three dotted parts, else nothing is asked.
    void checkUpdate(const int &installType, const QString &version, const QString &appId,
                     const QString &baseUrl);

    /// The version rule: the first three dotted parts (empty parts kept, a part that is not a
    /// number counts 0) of server greater than those of local; false when either has fewer than
    /// three parts.
    static bool isNewerVersion(const QString &server, const QString &local);

    /// Starts file with administrator rights (parameters split as a shell would); true when it runs.
    static bool runApplicationAsAdmin(const QString &file, const QString &parameters);

    /// True when the service was found running at construction.
    bool serviceWasRunning() const { return m_serviceWasRunning; }

Q_SIGNALS:
    /// A job went to the service (for tests and logs).
    void jobSent();

public Q_SLOTS:
    void slotCheckUpdateFinished();

private:
    void ensureService();

    QnSilentUpdateOptions m_options;
    QNetworkAccessManager *m_nam = nullptr; // child, made by the first check
    QString m_version;
    int m_installType = 0;
    bool m_serviceWasRunning = false;
};
