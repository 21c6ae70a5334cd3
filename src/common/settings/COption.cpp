#include "common/settings/COption.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>

Q_LOGGING_CATEGORY(lcSettings, "qn.settings")

namespace {
const char kConfigRelative[] = "/config/setting.ini";
constexpr qint64 kMd5Chunk = 1048576; // 1 MiB per read
} // namespace

COption::COption(QObject *parent) : QObject(parent) {}

COption::COption(const QString &path, QObject *parent) : QObject(parent)
{
    openSettings(path);
}

COption::~COption() = default;

QString COption::configPath(const QString &name)
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QString fallback;
    if (!name.isEmpty()) {
        // The program's path as started: its file name completes the data location, which has no
        // per-program folder before the application object exists; its folder holds the default.
        const QFileInfo program(name);
        QString fileName = program.fileName();
        if (fileName.endsWith(QLatin1String(".exe")))
            fileName.chop(4);
        if (!fileName.isEmpty() && !base.contains(fileName))
            base += QLatin1Char('/') + fileName;
        fallback = program.absolutePath();
    }

    const QString path = base + QLatin1String(kConfigRelative);
    const QString defaultPath = appDirPath(fallback) + QLatin1String(kConfigRelative);
    if (!QFileInfo::exists(path)) {
        if (!QDir().mkpath(base + QLatin1String("/config")))
            qCWarning(lcSettings) << "cannot create the settings folder under" << base;
        if (QFileInfo::exists(defaultPath) && !QFile::copy(defaultPath, path))
            qCWarning(lcSettings) << "cannot copy the default settings" << defaultPath << "to" << path;
        // A just-copied default keeps the read-only bits of an installed file: make it writable.
        QFile::setPermissions(path, QFile::permissions(path) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return path;
}

void COption::openSettings(const QString &path)
{
    m_settings = std::make_unique<QSettings>(path, QSettings::IniFormat);
    m_settings->setIniCodec("UTF-8");
}

QVariant COption::value(const QString &group, const QString &key, const QVariant &defaultValue) const
{
    if (!m_settings)
        return defaultValue;
    m_settings->beginGroup(group);
    const QVariant result = m_settings->value(key, defaultValue);
    m_settings->endGroup();
    return result;
}

bool COption::contains(const QString &group, const QString &key) const
{
    if (!m_settings)
        return false;
    m_settings->beginGroup(group);
    const bool found = m_settings->childKeys().contains(key, Qt::CaseSensitive);
    m_settings->endGroup();
    return found;
}

void COption::setValue(const QString &group, const QString &key, const QVariant &value)
{
    if (!m_settings) {
        qCWarning(lcSettings) << "setValue without settings:" << group << key;
        return;
    }
    m_settings->beginGroup(group);
    m_settings->setValue(key, value);
    m_settings->endGroup();
    m_settings->sync();
    if (m_settings->status() != QSettings::NoError)
        qCWarning(lcSettings) << "cannot write" << m_settings->fileName();
}

QString appDirPath(const QString &fallback)
{
    const QString dir = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    if (dir.isEmpty() && !fallback.isEmpty())
        return fallback;
    return dir;
}

QString fileMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QCryptographicHash hash(QCryptographicHash::Md5);
    const qint64 size = file.size();
    qint64 done = 0;
    while (done < size) {
        const QByteArray chunk = file.read(qMin(kMd5Chunk, size - done));
        if (chunk.isEmpty())
            break;
        hash.addData(chunk);
        done += chunk.size();
    }
    return QString::fromLatin1(hash.result().toHex());
}
