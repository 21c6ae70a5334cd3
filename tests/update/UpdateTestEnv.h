#pragma once

// Shared set-up of the updater tests: private data and cache folders, a loopback cloud on the HTTP
// fixture, a recording elevation, and counters in place of the program's end and message boxes.

#include "platform/system/QnFakeElevation.h"
#include "tests/fixtures/http/QnHttpFixture.h"
#include "update/src/UpdateMain.h"

#include <QCryptographicHash>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

struct UpdateTestEnv
{
    QTemporaryDir home;
    QnHttpFixture cloud;
    std::shared_ptr<QnFakeElevation> elevation = std::make_shared<QnFakeElevation>();
    QList<int> exits;
    int upgradeFailedShown = 0;
    int administratorNeededShown = 0;

    /// Points the per-user folders into home; call before any UpdateMain exists.
    bool start()
    {
        qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
        QDir().mkpath(appDir());
        return cloud.listen();
    }

    QString appDir() const { return home.filePath(QStringLiteral("app")); }
    QString packageDir() const { return home.filePath(QStringLiteral("cache/package")); }
    QString iniPath() const { return appDir() + QStringLiteral("/config/update.ini"); }

    UpdateEnvironment environment()
    {
        UpdateEnvironment env;
        env.baseUrl = cloud.baseUrl();
        env.appDir = appDir();
        env.packageDir = packageDir();
        env.checkTimeoutMs = 2000;
        env.elevation = elevation;
        env.exitProgram = [this](int code) { exits.append(code); };
        env.showUpgradeFailed = [this] { ++upgradeFailedShown; };
        env.showAdministratorNeeded = [this] { ++administratorNeededShown; };
        return env;
    }

    /// The cloud answers every check with this update_info (has_update true, code 200).
    void offer(const QJsonObject &updateInfo)
    {
        const QJsonObject body{{"code", 200},
                               {"data", QJsonObject{{"has_update", true}, {"update_info", updateInfo}}}};
        cloud.setRoute("GET", QStringLiteral("/classroom/v1/appmanager/getupdate"),
                       QnHttpResponse::json(body));
    }

    /// An offer of a package served by the fixture at path with these bytes (its size and MD5 as
    /// given, or the true ones).
    void offerPackage(const QString &path, const QByteArray &bytes, qint64 size = -1,
                      const QString &md5 = QString(), const QString &version = QStringLiteral("1.0.7"))
    {
        cloud.setRoute("GET", path, QnHttpResponse::raw(200, bytes, "application/octet-stream"));
        offer(QJsonObject{
            {"app_url", cloud.baseUrl() + path},
            {"app_version", version},
            {"app_update_desc", "notes"},
            {"app_size", size < 0 ? double(bytes.size()) : double(size)},
            {"md5", md5.isNull() ? QString::fromLatin1(
                                       QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex())
                                 : md5},
        });
    }

    /// Runs one check and waits for its result.
    static bool check(UpdateMain &main)
    {
        QSignalSpy state(&main, &UpdateMain::checkState);
        main.checkNewUpdate(QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("6"),
                            QStringLiteral("0c5a6b1e-2f3d-4a5b-8c7d-9e0f1a2b3c4d"));
        return state.wait(5000);
    }
};

/// Bytes of a test package.
inline QByteArray packageBytes(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 251) & 0xff);
    return bytes;
}
