#include "client/object/QnLynClientObject.h"

#include "client/object/internal/QnLynClientLog.h"

#include "QnSignal/client/QnSignalClient.h"
#include "client/videomodel/QnLynVideoModel.h"
#include "common/network/ScreenUtil.h"
#include "common/volume/CVolumeCtrl.h"
#include "lyn/control/QnLynControlEnvelope.h"
#include "lyn/control/QnLynHttp.h"
#include "lyn/input/QnLynInput.h"
#include "lyn/manager/QnLynManager.h"
#include "platform/pulse/PcmOutput.h"

#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QScreen>
#include <QUuid>

#include <cmath>

Q_LOGGING_CATEGORY(lcClient, "qn.client")

QnLynClientObject::QnLynClientObject(QObject *parent, QnLynClientConfig config)
    : QObject(parent), m_config(std::move(config))
{
    m_mediaPortCounter = m_config.firstMediaPort;

    m_lynHttp =
        m_config.settingsPath.isEmpty() ? new QnLynHttp(this) : new QnLynHttp(m_config.settingsPath, this);
    m_lynSocket = new QnLynSocket(this, m_config.discovery);
    m_signalClient = new QnSignalClient(this);
    m_signalClient->setGatewayConfig(m_config.gateway);
    m_lynHttp->setSignalClient(m_signalClient);

    if (m_config.audioOutput) {
        m_audioOutput = std::make_unique<qn::platform::PcmOutput>(48000, 2);
        const bool opened = m_audioOutput->open();
        qCDebug(lcClient) << "open audio:" << (opened ? "PulseAudio output ready" : "no output device");
        if (!opened)
            qCWarning(lcClient) << "the received sound has no output device; desktop sync plays silently";
    }

    m_lynManager = new QnLynManager(this, m_config.pool);
    m_lynManager->setAudioCallback([this](int, unsigned char *data, unsigned int length, int, int, int) {
        playReceivedSound(data, length);
    });
    connect(m_lynManager, &QnLynManager::yuvDataChanged, this, &QnLynClientObject::yuvDataChanged,
            Qt::DirectConnection);

    m_videoModel = new QnLynVideoModel(this);

    m_machineName = m_lynHttp->getDeviceId();
    emit machineNameChanged();

    if (m_config.networkNotices) {
        if (rtc::RtcNetworkDeviceNotify *notify = rtc::RtcNetworkDeviceNotify::instance())
            notify->addListener(this);
        else
            qCWarning(lcClient) << "no network-change notifier; network changes go unnoticed";
    }

    updateNetworkInfo();
    m_lynPort = m_mediaPortCounter;

    m_input = m_config.input ? m_config.input : QnLynInput::instance();
    if (QScreen *primary = QGuiApplication::primaryScreen()) {
        const qreal ratio = primary->devicePixelRatio();
        m_input->setScreenWidth(int(std::lround(primary->size().width() * ratio)));
        m_input->setScreenHeight(int(std::lround(primary->size().height() * ratio)));
    }
    m_input->setConnectedReceiver(QString());

    if (m_config.volumeWatcher) {
        m_volumeCtrl = std::make_unique<CVolumeCtrl>(&QnLynClientObject::volumeCallback, this);
        if (!m_volumeCtrl->setNotify(true))
            qCInfo(lcClient) << "output mute changes are not watched (no sound server or output)";
    }

    m_lynSocket->setSelfId(m_lynHttp->getDeviceId());
    m_lynHttp->setLocalIp(QString::fromStdString(m_networkInfo.ip));
    m_lynHttp->setRoomId(QUuid::createUuid().toString(QUuid::WithoutBraces));

    wireConnection();
    wireMedia();

    if (m_signalClient->initSdk() < 0)
        qCCritical(lcClient) << "the gateway client could not be started; connecting will fail";

    // Last: these arrive on other threads and must find the object complete.
    connect(m_input, &QnLynInput::sendDataToNetwork, this, &QnLynClientObject::onSendDataToNetwork,
            Qt::DirectConnection);
    m_signalClient->routeChannels(
        {QnLynControl::ChannelInput, QnLynControl::ChannelPresence, QnLynControl::ChannelStop}, this,
        [this](int channel, const QByteArray &data, const QString &senderId) {
            onReceiveData(channel, data, senderId);
        },
        Qt::DirectConnection);
}

QnLynClientObject::~QnLynClientObject()
{
    // Phase 1: nothing more comes in from other threads.
    m_volumeCtrl.reset();
    if (m_config.networkNotices) {
        if (rtc::RtcNetworkDeviceNotify *notify = rtc::RtcNetworkDeviceNotify::instance())
            notify->removeListener();
    }
    for (std::thread &t : m_signInThreads)
        t.join();
    m_signInThreads.clear();
    disconnect(m_input, nullptr, this, nullptr);
    m_input->setConnectedReceiver(QString());
    m_lynHttp->setSignalClient(nullptr);
    m_signalClient->unrouteChannels(this);
    delete m_signalClient; // stops the gateway thread: no receiveData after this
    m_signalClient = nullptr;

    // Phase 2: media. The manager stops every pipeline (decode threads call back until then).
    delete m_lynManager;
    m_lynManager = nullptr;
    std::lock_guard<std::mutex> lock(m_audioMutex);
    if (m_audioOutput)
        m_audioOutput->close();
    m_audioOutput.reset();
}

void QnLynClientObject::volumeCallback(int muted, void *context)
{
    // "qn-volume" thread: only a mute change calls here; hand it to the GUI thread.
    auto *self = static_cast<QnLynClientObject *>(context);
    QMetaObject::invokeMethod(
        self, [self, muted] { self->audioMuteNotifyCallback(muted); }, Qt::QueuedConnection);
}

void QnLynClientObject::audioMuteNotifyCallback(int mute)
{
    m_lynManager->setAudioMuted(mute != 0);
}

void QnLynClientObject::playReceivedSound(const unsigned char *data, unsigned int length)
{
    // Decode thread.
    std::lock_guard<std::mutex> lock(m_audioMutex);
    if (m_audioOutput && m_audioOutput->isOpen() && data && length)
        m_audioOutput->write(data, length);
}

void QnLynClientObject::setMachineName(const QString &name)
{
    m_machineName = name;
    emit machineNameChanged();
}

void QnLynClientObject::updateNetworkInfo()
{
    QN_CHECK_THREAD(m_thread);
    const std::map<std::string, NetworkInfo> adapters =
        m_config.adapters ? m_config.adapters() : ScreenUtil::getLocalIps();
    m_networkInfo = ScreenUtil::chooseAdapter(adapters);
    m_lynHttp->setLocalIp(QString::fromStdString(m_networkInfo.ip));
    emit networkChanged();
}

QVariantMap QnLynClientObject::getCurrentIp()
{
    return {{QStringLiteral("ip"), QString::fromStdString(m_networkInfo.ip)},
            {QStringLiteral("wifi"), m_networkInfo.wifi}};
}

void QnLynClientObject::networkConnect(const std::string &name)
{
    qCDebug(lcClient) << "networkConnect" << QString::fromStdString(name);
    updateNetworkInfo();
    const auto adapters = m_config.adapters ? m_config.adapters() : ScreenUtil::getLocalIps();
    for (const auto &entry : adapters)
        qCDebug(lcClient) << "adapter" << QString::fromStdString(entry.first)
                          << QString::fromStdString(entry.second.name);
    emit networkConnection();
}

void QnLynClientObject::networkDisconnect(const std::string &name)
{
    qCDebug(lcClient) << "networkDisconnect" << QString::fromStdString(name);
    const NetworkInfo before = m_networkInfo;
    updateNetworkInfo();
    const auto adapters = m_config.adapters ? m_config.adapters() : ScreenUtil::getLocalIps();
    for (const auto &entry : adapters)
        qCDebug(lcClient) << "adapter" << QString::fromStdString(entry.first)
                          << QString::fromStdString(entry.second.name);
    emit networkDisconnection();
    // The gateway session runs over the adapter in use: it is dropped only when that adapter is
    // the one lost (or none is left). Losing another connection leaves it alone.
    if (before.adapterName == name || before.ip != m_networkInfo.ip || m_networkInfo.ip.empty())
        m_signalClient->logout();
}
