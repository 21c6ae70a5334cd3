#pragma once

// Shared set-up of the client-object tests: a client wired to a recording input injector and a
// private task pool, talking to the receiver simulator's control side over a loopback gateway.

#include "QnScreenShare/taskpool/ThreadPool.h"
#include "QnSignal/client/QnSignalClient.h"
#include "client/object/QnLynClientObject.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/input/QnLynInput.h"
#include "platform/xtest/QnFakeInputInjector.h"
#include "tests/fixtures/gateway/QnGatewayServer.h"
#include "tests/fixtures/receiver_sim/control/QnSimControl.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <random>

namespace ClientTestUtil {

inline QnGatewayConfig fastGateway()
{
    QnGatewayConfig c;
    c.connectTimeoutMs = 3000;
    c.answerTimeoutMs = 3000;
    c.pingIntervalMs = 300;
    c.silenceTimeoutMs = 2000;
    c.reloginDelayMs = 100;
    return c;
}

/// Discovery ports unlikely to collide with parallel tests in the same namespace.
inline QnLynDiscoveryConfig privateDiscovery()
{
    std::mt19937 rng(std::random_device{}());
    const int base = std::uniform_int_distribution<int>(30000, 50000)(rng);
    QnLynDiscoveryConfig d;
    d.devicePort = quint16(base);
    d.addressPort = quint16(base + 3);
    d.serverPort = quint16(base + 5);
    return d;
}

inline std::map<std::string, NetworkInfo> oneAdapter(const std::string &ip)
{
    std::map<std::string, NetworkInfo> m;
    if (ip.empty())
        return m;
    NetworkInfo info;
    info.ip = ip;
    info.name = "eth0";
    info.adapterName = "eth0";
    info.mac = "02:00:00:00:00:01";
    m.emplace(ip, info);
    return m;
}

/// One client object and what it is wired to.
struct ClientRig
{
    QTemporaryDir dir;
    QnFakeInputInjector *injector = nullptr; // owned by input
    std::unique_ptr<QnLynInput> input;
    std::unique_ptr<ThreadPool> pool;
    std::unique_ptr<QnLynClientObject> client;
    std::string ownIp = "127.0.0.1";

    QnLynClientConfig config(int firstPort = 10900)
    {
        auto fake = std::make_unique<QnFakeInputInjector>();
        injector = fake.get();
        input = std::make_unique<QnLynInput>(std::move(fake));
        pool = std::make_unique<ThreadPool>(1);
        QnLynClientConfig c;
        c.settingsPath = dir.filePath(QStringLiteral("setting.ini"));
        c.firstMediaPort = firstPort;
        c.discovery = privateDiscovery();
        c.gateway = fastGateway();
        const std::string ip = ownIp;
        c.adapters = [ip] { return oneAdapter(ip); };
        c.input = input.get();
        c.pool = pool.get();
        c.networkNotices = false;
        c.volumeWatcher = false;
        c.audioOutput = false;
        return c;
    }

    void make(const QnLynClientConfig &c) { client = std::make_unique<QnLynClientObject>(nullptr, c); }

    ~ClientRig()
    {
        client.reset();
        pool.reset();
        input.reset();
    }

    QString pcId() const { return client->getLynHttp()->getDeviceId(); }
};

/// Connects rig's client to the simulator; true when the connect answer came back positive.
inline bool connectTo(ClientRig &rig, QnSimControl &rx,
                      const QString &url = QStringLiteral("http://127.0.0.1"))
{
    QSignalSpy result(rig.client.get(), &QnLynClientObject::startConnectResult);
    rig.client->startConnect(url, rx.identity().userId, QStringLiteral("127.0.0.1"), rx.server()->port(),
                             rx.identity().roomId);
    if (!result.wait(8000) || result.isEmpty())
        return false;
    return result.first().at(0).toBool();
}

} // namespace ClientTestUtil
