#include "update/src/UpdateMain.h"

#include "common/http/QnLynInterNetWorkManager.h"
#include "common/settings/COption.h"
#include "platform/system/QnElevation.h"
#include "update/src/Md5Check.h"
#include "update/src/UpdateDownloader.h"
#include "update/src/UpdateFiles.h"
#include "update/src/UpdateInstaller.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTranslator>

#include "resources/QnResources.h"

Q_LOGGING_CATEGORY(lcUpdate, "qn.update")

namespace {

// A reply body is a small JSON object; anything larger is not read.
constexpr qint64 kMaxReplyBody = 1024 * 1024;

// A listed file's path: relative, inside the update folder, no "..".
bool isSafeRelativePath(const QString &path)
{
    if (path.isEmpty() || path.contains(QLatin1Char('\\')) || QDir::isAbsolutePath(path))
        return false;
    const QString clean = QDir::cleanPath(path);
    return clean != QLatin1String("..") && !clean.startsWith(QLatin1String("../")) &&
           clean != QLatin1String(".");
}

void installTranslation()
{
    QnResources::init(); // ":/resource/update.qm"
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->property("qnUpdateTranslation").toBool())
        return;
    auto *translator = new QTranslator(app);
    if (translator->load(QStringLiteral(":/resource/update.qm"))) {
        QCoreApplication::installTranslator(translator);
        app->setProperty("qnUpdateTranslation", true);
    } else {
        delete translator;
    }
}

} // namespace

UpdateEnvironment UpdateEnvironment::defaults()
{
    UpdateEnvironment env;
    env.baseUrl = QnLynInterNetWorkManager::configuredSiteAddress();
    env.appDir = QCoreApplication::applicationDirPath();
    env.packageDir =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/package");
    const COption option(COption::configPath());
    env.downloadPage =
        QUrl(option.value(QStringLiteral("update"), QStringLiteral("downloadPage")).toString());
    env.elevation = QnElevation::createDefault();
    env.exitProgram = [](int code) { QCoreApplication::exit(code); };
    const QUrl page = env.downloadPage;
    env.showUpgradeFailed = [page] {
        QMessageBox box(
            QMessageBox::Critical, UpdateMain::tr("error"),
            UpdateMain::tr("The upgrade failed, please go to the official website to download again"));
        box.addButton(UpdateMain::tr("OK"), QMessageBox::AcceptRole);
        box.exec();
        if (page.isValid() &&
            (page.scheme() == QLatin1String("https") || page.scheme() == QLatin1String("http")))
            QDesktopServices::openUrl(page);
    };
    env.showAdministratorNeeded = [] {
        QMessageBox box(
            QMessageBox::Information, QObject::tr("Warm Remind"),
            QObject::tr("The respect customer, need administrator privileges to run the upgrade process"));
        box.addButton(QObject::tr("OK"), QMessageBox::AcceptRole);
        box.exec();
    };
    return env;
}

UpdateMain::UpdateMain(QObject *parent)
    : QObject(parent)
    , m_md5Check(new Md5Check(this))
    , m_downloader(new UpdateDownloader(this))
    , m_nam(new QNetworkAccessManager(this))
{
    installTranslation();
    setEnvironment(UpdateEnvironment::defaults());
    connect(m_md5Check, &Md5Check::checkProgress, this, &UpdateMain::onCheckProgress);
    connect(m_md5Check, &Md5Check::checkedFinished, this, &UpdateMain::onCheckedFinished);
    connect(m_downloader, &UpdateDownloader::downloadProgress, this, &UpdateMain::onDownloadProgress);
    connect(m_downloader, &UpdateDownloader::finished, this, &UpdateMain::onDownFinished);
}

UpdateMain::~UpdateMain()
{
    m_md5Check->stop();
    m_md5Check->wait();
}

void UpdateMain::setEnvironment(const UpdateEnvironment &environment)
{
    m_env = environment;
    m_updateDir = UpdateFiles::updateDir(m_env.appDir);
    QDir().mkpath(QFileInfo(m_updateDir).absolutePath());
}

int UpdateMain::checkNewUpdate(const QString &major, const QString &minor, const QString &patch,
                               const QString &appId)
{
    if (m_settings)
        m_settings->setValue(QStringLiteral("exe/exeName"), QCoreApplication::applicationName());

    QString base = m_env.baseUrl;
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QString url = base + UpdateCheck::requestPath() + QStringLiteral("?appid=") + appId;
    qCDebug(lcUpdate) << "url ====" << url;
    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setRawHeader("Content-Type", "application/x-www-form-urlencoded");
    request.setTransferTimeout(m_env.checkTimeoutMs);
    QNetworkReply *reply = m_nam->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, major, minor, patch] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError || status != 200) {
            qCDebug(lcUpdate) << "update check failed:" << reply->error() << "status" << status;
            return;
        }
        onCheckReply(reply->read(kMaxReplyBody), major, minor, patch);
    });
    return 0;
}

void UpdateMain::onCheckReply(const QByteArray &body, const QString &major, const QString &minor,
                              const QString &patch)
{
    qCDebug(lcUpdate) << "update==================" << body.left(2000);
    UpdateOffer offer;
    if (!UpdateCheck::parseReply(body, &offer))
        return;
    m_offer = offer;
    qCDebug(lcUpdate) << "versionList == " << UpdateCheck::versionParts(offer.version);
    const int state = UpdateCheck::evaluateState(offer.version, major, minor, patch, offer.force);
    if (state >= 0)
        m_state = state;
    if (!m_packageMode)
        m_ready = false; // a finished file-list update no longer matches the offer
    m_packageMode = true;
    emit checkState(m_state, m_offer.version, m_offer.content);
    emit updateInfo(m_offer.totalSize, m_offer.content);
}

QVariantMap UpdateMain::getUpdateInfo() const
{
    return QVariantMap{{QStringLiteral("ver"), m_offer.version},
                       {QStringLiteral("content"), m_offer.content},
                       {QStringLiteral("state"), m_state},
                       {QStringLiteral("totalsize"), QVariant::fromValue<qlonglong>(m_offer.totalSize)}};
}

void UpdateMain::setConfigDir(const QString &dir)
{
    qCDebug(lcUpdate) << "setConfigDir ======" << dir;
    m_configDir = dir;
    const QString path = dir + QStringLiteral("/config/update.ini");
    QDir().mkpath(QFileInfo(path).absolutePath());
    delete m_settings;
    m_settings = new QSettings(path, QSettings::IniFormat, this);
    m_settings->setIniCodec("UTF-8");
}

void UpdateMain::setNeedUpdate(bool need, bool move)
{
    if (!m_settings) {
        qCWarning(lcUpdate) << "set update: update.ini is not open";
        return;
    }
    m_settings->beginGroup(QStringLiteral("update"));
    m_settings->setValue(QStringLiteral("need"), need ? 1 : 0);
    m_settings->setValue(QStringLiteral("move"), move);
    m_settings->setValue(QStringLiteral("back"), m_backFlag);
    m_settings->endGroup();
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qCWarning(lcUpdate) << "cannot write" << m_settings->fileName();
    qCDebug(lcUpdate) << "set update:" << m_backFlag;
}

bool UpdateMain::isAdministrator()
{
    return QnElevation::processIsAdministrator();
}

bool UpdateMain::runApplicationAsAdmin(const QString &file, const QString &parameters)
{
    QnProgramStart start;
    start.program = file;
    start.arguments = QProcess::splitCommand(parameters);
    return QnElevation::createDefault()->startElevated(start) == QnElevatedStart::Started;
}

void UpdateMain::onStartDown()
{
    qCDebug(lcUpdate) << "onStart==================" << m_packageMode;
    m_ready = false;
    if (m_downloading) {
        qCWarning(lcUpdate) << "a download is already running";
        return;
    }
    if (m_packageMode) {
        const QUrl url = QUrl::fromEncoded(m_offer.appUrl.toUtf8(), QUrl::TolerantMode);
        if (!UpdateFiles::isPackageUrl(url) || !UpdateFiles::isMd5Hex(m_offer.md5) ||
            m_offer.totalSize <= 0) {
            // Nothing that cannot be checked is fetched, let alone started.
            qCWarning(lcUpdate) << "down update error: the offer has no http(s) address, size or MD5";
            emit downloadFinished(false);
            return;
        }
        QDir().mkpath(m_env.packageDir);
        QFile::setPermissions(m_env.packageDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_packagePath = m_env.packageDir + QLatin1Char('/') + UpdateFiles::packageFileName(url);
        qCDebug(lcUpdate) << "down file:" << m_packagePath;
        QFile::remove(m_packagePath); // an older package of this name in our own folder
        m_downloading = true;
        m_downloader->setExpected(m_offer.totalSize, m_offer.md5);
        m_downloader->download(m_offer.appUrl, m_packagePath, false);
        return;
    }
    if (m_files.isEmpty()) {
        // No check reply has offered anything: there is nothing to install.
        qCWarning(lcUpdate) << "down update error: no update has been offered";
        emit downloadFinished(false);
        return;
    }
    UpdateFiles::removeFolderTree(m_updateDir);
    m_filesDone = 0;
    m_bytesDone = 0;
    m_downloading = true;
    downFiles();
}

void UpdateMain::onDownloadProgress(qlonglong bytesReceived, qlonglong bytesTotal)
{
    emit downloadPercent(bytesReceived, bytesTotal);
}

void UpdateMain::onDownFinished(QByteArray data, QString error)
{
    Q_UNUSED(data)
    m_downloading = false;
    qCDebug(lcUpdate) << "down finished:" << error;
    if (!error.isEmpty()) {
        qCWarning(lcUpdate) << "down update error:" << error;
        emit downloadFinished(false);
        return;
    }
    m_ready = true;
    setNeedUpdate(m_backFlag, false);
    emit downloadFinished(true);
}

void UpdateMain::downFiles()
{
    if (m_filesDone < m_files.size()) {
        const QVariantMap map = m_files.at(m_filesDone);
        const QString path = map.value(QStringLiteral("path")).toString();
        if (!isSafeRelativePath(path)) {
            qCWarning(lcUpdate) << "listed file outside the update folder:" << path.left(200);
            finishRoute(false);
            return;
        }
        auto *downloader = new UpdateDownloader(this);
        connect(downloader, &UpdateDownloader::downloadProgress, this, &UpdateMain::onDownOneloadProgress);
        connect(downloader, &UpdateDownloader::finished, this, &UpdateMain::onDownOneFinished);
        downloader->setProperty("data", map);
        const QVariant size = map.value(QStringLiteral("size"));
        downloader->setExpected(size.isValid() ? size.toLongLong() : -1,
                                map.value(QStringLiteral("md5")).toString());
        const QString target = m_updateDir + QLatin1Char('/') + QDir::cleanPath(path);
        QDir().mkpath(QFileInfo(target).absolutePath());
        qCDebug(lcUpdate) << map.value(QStringLiteral("url")).toString().left(200) << target;
        downloader->download(map.value(QStringLiteral("url")).toString(), target, false);
        return;
    }
    finishRoute(checkUpdateFiles());
}

void UpdateMain::finishRoute(bool ok)
{
    m_downloading = false;
    if (ok) {
        m_ready = true;
        setNeedUpdate(true, true);
        emit downloadFinished(true);
        return;
    }
    emit downloadFinished(false);
    qCWarning(lcUpdate) << "failed";
    upgradeFailed();
}

void UpdateMain::onDownOneFinished(QByteArray data, QString error)
{
    Q_UNUSED(data)
    auto *downloader = qobject_cast<UpdateDownloader *>(sender());
    if (!downloader)
        return;
    downloader->deleteLater();
    if (!error.isEmpty()) {
        qCWarning(lcUpdate) << "file download failed:" << error;
        finishRoute(false);
        return;
    }
    const QVariantMap map = downloader->property("data").toMap();
    ++m_filesDone;
    m_bytesDone += map.value(QStringLiteral("size")).toLongLong();
    downFiles();
}

void UpdateMain::onDownOneloadProgress(qlonglong bytesReceived, qlonglong bytesTotal)
{
    Q_UNUSED(bytesTotal)
    emit downloadPercent(m_bytesDone + bytesReceived, static_cast<qlonglong>(m_offer.totalSize * 1.1));
}

bool UpdateMain::checkUpdateFiles() const
{
    for (const QVariantMap &map : m_files) {
        const QString file = m_updateDir + QLatin1Char('/') + map.value(QStringLiteral("path")).toString();
        const QByteArray expected = map.value(QStringLiteral("md5")).toString().toLatin1();
        const QByteArray actual = QFileInfo::exists(file) ? getFileMd5(file) : QByteArray();
        const bool ok = !actual.isEmpty() && actual == expected;
        qCDebug(lcUpdate) << "file:" << file << ok << actual << expected.left(32);
        if (!ok)
            return false;
    }
    return true;
}

QByteArray UpdateMain::getFileMd5(const QString &path)
{
    return UpdateFiles::fileMd5(path);
}

bool UpdateMain::removeFolderTree(const QString &folder)
{
    return UpdateFiles::removeFolderTree(folder);
}

void UpdateMain::onCheckProgress(qlonglong bytesChecked, qlonglong bytesTotal)
{
    emit downloadPercent(static_cast<qlonglong>(bytesTotal * 0.9 + bytesChecked * 0.1), bytesTotal);
}

void UpdateMain::onCheckedFinished(bool result)
{
    qCDebug(lcUpdate) << "onCheckedFinished" << result;
    if (result && !m_packagePath.isEmpty() && m_env.elevation) {
        QnProgramStart start;
        start.program = m_packagePath;
        m_env.elevation->startDetached(start);
    }
}

void UpdateMain::onCancelDown()
{
    m_downloader->abort();
    m_md5Check->stop();
}

void UpdateMain::upgradeFailed()
{
    if (m_env.showUpgradeFailed)
        m_env.showUpgradeFailed();
}

void UpdateMain::runUpdate()
{
    if (!m_ready || m_downloading) {
        qCWarning(lcUpdate) << "run update: nothing has been downloaded";
        return;
    }
    if (!m_env.elevation) {
        qCWarning(lcUpdate) << "run update: no elevation";
        return;
    }
    if (m_packageMode) {
        qCInfo(lcUpdate) << "run update";
        startUpdateExe(QDir::toNativeSeparators(m_packagePath));
        return;
    }
    UpdateInstaller installer(*m_env.elevation);
    const UpdateInstaller::Result result = installer.startUpdateProgram(m_env.appDir);
    if (result.endProgram) {
        if (m_env.exitProgram)
            m_env.exitProgram(0);
        return;
    }
    if (m_env.showAdministratorNeeded)
        m_env.showAdministratorNeeded();
}

void UpdateMain::startUpdateExe(const QString &path)
{
    if (!m_env.elevation)
        return;
    UpdateInstaller installer(*m_env.elevation);
    const bool administrator = m_env.elevation->isAdministrator();
    const UpdateInstaller::Result result = installer.startPackage(path);
    if (result.endProgram) {
        if (m_env.exitProgram)
            m_env.exitProgram(0);
        return;
    }
    // As administrator the program would have ended: it stays, and says so. Otherwise the user
    // answered the prompt; a refusal is only logged.
    if (administrator)
        upgradeFailed();
}
