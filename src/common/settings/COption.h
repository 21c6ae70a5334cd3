#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

/// Access to the program's settings file "config/setting.ini" (INI, UTF-8) by group and key.
///
/// Each access opens its own short-lived COption; every write is synced to disk at once, so a
/// COption made later sees it. GUI thread only. A file that cannot be read or written gives the
/// caller's defaults and loses writes silently (a warning goes to the log).
///
/// Groups and keys in use:
///   "system": "uuid", "name", "dpiScale", "rwidth", "rheight", "cloudUrl", "webUrl"
///   "main":   "selfStart"
///   "user":   "remember", "loginstatus", "username", "password"
class COption : public QObject
{
    Q_OBJECT
public:
    /// A COption without settings; openSettings() must follow before any read or write.
    explicit COption(QObject *parent = nullptr);
    /// Opens the settings at path at once.
    explicit COption(const QString &path, QObject *parent = nullptr);
    ~COption() override;

    /// The settings file's path under the per-user data folder, creating it from the default copy
    /// beside the program when it does not exist yet (the default is copied once, never over an
    /// existing file). Before the application object exists, pass the program's path as started
    /// (argv[0]): it supplies the per-program folder that the data location names only once the
    /// application exists, and the program folder holding the default copy. Otherwise pass "".
    static QString configPath(const QString &name = QString());

    /// Creates the settings object over path (INI, UTF-8), replacing any earlier one.
    void openSettings(const QString &path);

    QVariant value(const QString &group, const QString &key, const QVariant &defaultValue = QVariant()) const;
    /// True when group holds key itself (case-sensitive); keys of other groups do not count.
    bool contains(const QString &group, const QString &key) const;
    /// Writes group/key and syncs the file to disk before returning.
    void setValue(const QString &group, const QString &key, const QVariant &value);

private:
    std::unique_ptr<QSettings> m_settings;
};

/// The application's folder; fallback only when that is empty (no application object yet) and
/// fallback is not.
QString appDirPath(const QString &fallback = QString());

/// MD5 of a file's bytes as 32 lowercase hex digits; "" when the file cannot be opened for reading.
QString fileMd5(const QString &path);
