#pragma once

#include <QFile>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

/// The built program started as a user starts it, with a home of its own below dir.
namespace ProgramTestUtil {

/// This process's environment with HOME and the XDG folders below dir/home, the X platform, and
/// leak reports of a sanitizer build off (they would change exit codes; the program's objects are
/// leak-checked by their own tests).
inline QProcessEnvironment environment(const QTemporaryDir &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("home/.config"));
    env.insert("XDG_DATA_HOME", dir.filePath("home/.local/share"));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    return env;
}

/// The program's settings file and log below dir/home.
inline QString settingsPath(const QTemporaryDir &dir)
{
    return dir.filePath("home/.local/share/QnLynClient/config/setting.ini");
}

inline QString log(const QTemporaryDir &dir)
{
    QFile file(dir.filePath("home/.local/share/QnLynClient/QnLynClient.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace ProgramTestUtil
