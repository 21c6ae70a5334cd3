#include "SilentUpdateController/QnSilentUpdateController.h"

#include "SilentUpdateController/QnUdpController.h"
#include "common/settings/COption.h"
#include "platform/system/QnElevation.h"
#include "platform/system/QnProcessList.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcSilentUpdate, "qn.update.silent")

namespace {

constexpr qint64 kMaxReplyBody = 1024 * 1024;

// "app_size": a number rounded to the nearest integer, or a text of decimal digits; else 0.
qint64 sizeValue(const QJsonValue &value)
{
    if (value.isDouble()) {
        const double d = std::round(value.toDouble());
        return std::isfinite(d) && d >= 0 && d <= 4.6e18 ? static_cast<qint64>(d) : 0;
    }
    const QString text = value.toString();
    if (text.isEmpty() || text.size() > 18)
        return 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    return text.toLongLong();
}

} // namespace

QnSilentUpdateOptions QnSilentUpdateOptions::fromSettings()
{
    QnSilentUpdateOptions options;
    const COption option(COption::configPath());
    const QString process =
        option.value(QStringLiteral("updater"), QStringLiteral("serviceProcess")).toString();
    if (!process.isEmpty())
        options.serviceProcess = process;
    const QString unit = option.value(QStringLiteral("updater"), QStringLiteral("serviceUnit")).toString();
    if (!unit.isEmpty())
        options.serviceUnit = unit;
    const QStringList command =
        option.value(QStringLiteral("updater"), QStringLiteral("serviceStartCommand")).toStringList();
    if (!command.isEmpty() && !command.first().isEmpty())
        options.startCommand = command;
    return options;
}

QnSilentUpdateController *QnSilentUpdateController::instance()
{
    static QnSilentUpdateController controller(QnSilentUpdateOptions::fromSettings());
    return &controller;
}

QnSilentUpdateController::QnSilentUpdateController(const QnSilentUpdateOptions &options, QObject *parent)
    : QObject(parent), m_options(options)
{
    if (!m_options.udp)
        m_options.udp = QnUdpController::instance();
    if (!m_options.elevation)
        m_options.elevation = QnElevation::createDefault();
    if (m_options.dataDir.isEmpty())
        m_options.dataDir = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    m_options.udp->initSocket();
    ensureService();
}

QnSilentUpdateController::~QnSilentUpdateController() = default;

void QnSilentUpdateController::ensureService()
{
    m_serviceWasRunning = QnProcessList::isRunning(m_options.serviceProcess);
    if (m_serviceWasRunning) {
        qCInfo(lcSilentUpdate) << m_options.serviceProcess << "is running";
        return;
    }
    QStringList command = m_options.startCommand;
    if (command.isEmpty()) {
        // Like an unregistered service: a unit that is not installed is not asked for.
        const bool installed =
            std::any_of(m_options.unitDirs.cbegin(), m_options.unitDirs.cend(), [this](const QString &dir) {
                return QFileInfo::exists(dir + QLatin1Char('/') + m_options.serviceUnit);
            });
        if (m_options.serviceUnit.isEmpty() || m_options.serviceUnit.contains(QLatin1Char('/')) ||
            !installed) {
            qCInfo(lcSilentUpdate) << m_options.serviceProcess << "is not running and not installed";
            return;
        }
        command = QStringList{QStringLiteral("systemctl"), QStringLiteral("start"), m_options.serviceUnit};
    }
    qCInfo(lcSilentUpdate) << m_options.serviceProcess << "is not running, launch" << command;
    QnProgramStart start;
    start.program = command.first();
    start.arguments = command.mid(1);
    const QnElevatedStart result = m_options.elevation->startElevated(start);
    qCInfo(lcSilentUpdate) << "service start:" << elevatedStartName(result);
}

bool QnSilentUpdateController::runApplicationAsAdmin(const QString &file, const QString &parameters)
{
    QnProgramStart start;
    start.program = file;
    start.arguments = QProcess::splitCommand(parameters);
    return QnElevation::createDefault()->startElevated(start) == QnElevatedStart::Started;
}

bool QnSilentUpdateController::isNewerVersion(const QString &server, const QString &local)
{
    const QStringList s = server.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    const QStringList l = local.split(QLatin1Char('.'), Qt::KeepEmptyParts);
    if (s.size() < 3 || l.size() < 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        const int a = s.at(i).toInt();
        const int b = l.at(i).toInt();
        if (a != b)
            return a > b;
    }
    return false;
}

void QnSilentUpdateController::checkUpdate(const int &installType, const QString &version,
                                           const QString &appId, const QString &baseUrl)
{
    m_installType = installType;
    m_version = version;
    if (!m_nam)
        m_nam = new QNetworkAccessManager(this);
    if (version.split(QLatin1Char('.'), Qt::KeepEmptyParts).size() < 3)
        return;
    QString base = baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString url = base + QStringLiteral("/classroom/v1/appmanager/getupdate?appid=") + appId;
    qCDebug(lcSilentUpdate) << "QnSilentUpdateController::checkUpdate" << url;
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(30000);
    QNetworkReply *reply = m_nam->get(request);
    connect(reply, &QNetworkReply::finished, this, &QnSilentUpdateController::slotCheckUpdateFinished);
}

void QnSilentUpdateController::slotCheckUpdateFinished()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        qCDebug(lcSilentUpdate) << "update check failed:" << reply->error();
        return;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(reply->read(kMaxReplyBody));
    const QJsonObject object = doc.isObject() ? doc.object() : QJsonObject();
    qCDebug(lcSilentUpdate) << "QnSilentUpdateController::slotCheckUpdateFinished"
                            << QJsonDocument(object).toJson(QJsonDocument::Compact).left(2000) << m_version;
    if (object.isEmpty() || object.value(QStringLiteral("code")).toInt(0) != 200)
        return;

    const QJsonObject info =
        object.value(QStringLiteral("data")).toObject().value(QStringLiteral("update_info")).toObject();
    QString url = info.value(QStringLiteral("app_url")).toString();
    url.replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
    const QString version = info.value(QStringLiteral("app_version")).toString();
    const int force = info.value(QStringLiteral("app_force_update")).toInt(0);
    if (force != 1 || version.isEmpty() || !isNewerVersion(version, m_version))
        return;

    UpdateJobInfo job;
    job.installType = m_installType;
    job.appName = QCoreApplication::applicationName();
    job.url = url;
    job.version = version;
    job.context = info.value(QStringLiteral("app_update_desc")).toString();
    job.md5 = info.value(QStringLiteral("md5")).toString();
    job.totalSize = sizeValue(info.value(QStringLiteral("app_size")));
    job.contextSaveDir = m_options.dataDir;
    qCDebug(lcSilentUpdate) << "QnSilentUpdateController::slotCheckUpdateFinished: forced" << version;
    if (m_options.udp->sendMsg(job))
        emit jobSent();
}
