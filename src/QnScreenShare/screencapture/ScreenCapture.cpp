#include "QnScreenShare/screencapture/ScreenCapture.h"

#include "QnScreenShare/screencapture/CaptureGeometry.h"
#include "QnScreenShare/screencapture/internal/FrameAssembler.h"

#include "platform/x11/QnScreenGrabber.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>
#include <QSettings>

#include <chrono>

Q_LOGGING_CATEGORY(lcCapture, "qn.capture")

namespace {

using Clock = std::chrono::steady_clock;

// Wait before opening a grabber again after an error (a lost server, a refused grab).
constexpr auto kRetryDelay = std::chrono::milliseconds(500);

} // namespace

ScreenCapture::ScreenCapture(QObject *parent) : ScreenCapture(settingsFilePath(), parent) {}

ScreenCapture::ScreenCapture(const QString &settingsPath, QObject *parent) : QThread(parent)
{
    setObjectName(QStringLiteral("qn-capture"));
    readSettings(settingsPath);
}

ScreenCapture::~ScreenCapture()
{
    stop();
}

QString ScreenCapture::settingsFilePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/QnConfig.ini");
}

void ScreenCapture::readSettings(const QString &path)
{
    QSettings settings(path, QSettings::IniFormat);
    if (settings.childGroups().contains(QStringLiteral("grubtype"))) {
        m_isGdiGrub = settings.value(QStringLiteral("grubtype/gdi"), false).toBool();
    } else {
        settings.setValue(QStringLiteral("grubtype/gdi"), false);
        settings.sync();
        if (settings.status() != QSettings::NoError)
            qCWarning(lcCapture) << "cannot write the capture settings file" << path;
    }
    qCInfo(lcCapture) << "m_isGdiGrub ====" << m_isGdiGrub;
}

void ScreenCapture::setFrameCallback(FrameCallback callback)
{
    Q_ASSERT(!QThread::isRunning());
    frameCallback = std::move(callback);
}

void ScreenCapture::setScreens(const QVector<QRect> &logicalScreens, int primaryIndex, qreal devicePixelRatio)
{
    m_screensInjected = true;
    m_screens = logicalScreens;
    m_primaryIndex = primaryIndex;
    m_devicePixelRatio = devicePixelRatio;
}

void ScreenCapture::setDamageTracking(bool on)
{
    Q_ASSERT(!QThread::isRunning());
    m_damageTracking = on;
}

void ScreenCapture::setDisplayName(const QByteArray &display)
{
    m_display = display;
}

void ScreenCapture::start(int screenIndex_, int frameRate, int width_, int height_)
{
    if (QThread::isRunning() || running)
        stop();
    screenIndex = screenIndex_;
    fps = qBound(1, frameRate, 120);
    width = qMax(2, width_ & ~1);
    height = qMax(2, height_ & ~1);
    if (width != width_ || height != height_)
        qCWarning(lcCapture) << "output size" << width_ << "x" << height_ << "rounded to" << width << "x"
                             << height;

    // Screens are read here, on the owner's thread: QScreen is not for the capture thread.
    QVector<QRect> screens = m_screens;
    int primary = m_primaryIndex;
    qreal ratio = m_devicePixelRatio;
    if (!m_screensInjected) {
        screens.clear();
        if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            const auto list = QGuiApplication::screens();
            for (QScreen *s : list)
                screens.append(s->geometry());
            primary = list.indexOf(QGuiApplication::primaryScreen());
            ratio = app->devicePixelRatio();
        }
    }
    m_region = QnCaptureGeometry::screenRect(screens, primary, screenIndex, ratio);
    qCInfo(lcCapture) << "capture screen" << screenIndex << "area" << m_region << "at" << fps << "fps to"
                      << width << "x" << height;

    m_framesDelivered = 0;
    m_intervalsMissed = 0;
    m_rowsGrabbed = 0;
    m_framesReused = 0;
    running = true;
    QThread::start(QThread::InheritPriority);
}

void ScreenCapture::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        running = false;
    }
    m_wake.notify_all();
    wait();
}

QString ScreenCapture::activeBackend() const
{
    QMutexLocker lock(&m_activeMutex);
    return m_activeBackend;
}

QRect ScreenCapture::activeRegion() const
{
    QMutexLocker lock(&m_activeMutex);
    return m_activeRegion;
}

void ScreenCapture::setActive(const QString &backend, const QRect &region)
{
    QMutexLocker lock(&m_activeMutex);
    m_activeBackend = backend;
    m_activeRegion = region;
}

bool ScreenCapture::waitUntil(Clock::time_point deadline)
{
    std::unique_lock<std::mutex> lock(m_wakeMutex);
    m_wake.wait_until(lock, deadline, [this] { return !running.load(); });
    return running.load();
}

void ScreenCapture::run()
{
    Q_ASSERT(QThread::currentThread() == this);
    const auto interval = std::chrono::microseconds(1000000 / fps);

    QnX11::GrabOptions options;
    options.display = m_display;
    options.region = m_region;
    options.forceGetImage = m_isGdiGrub;

    std::unique_ptr<QnX11::ScreenGrabber> grabber;
    FrameAssembler assembler(width, height);
    assembler.setDamageTracking(m_damageTracking);
    QString lastOpenError;
    auto retryAt = Clock::now();
    auto next = Clock::now();

    while (running) {
        if (!grabber && Clock::now() >= retryAt) {
            QString error;
            grabber = QnX11::openScreenGrabber(options, &error);
            if (grabber) {
                lastOpenError.clear();
                assembler.reset();
                setActive(QString::fromLatin1(QnX11::backendName(grabber->backend())), grabber->region());
                if (grabber->backend() == QnX11::GrabBackend::GetImage)
                    qCInfo(lcCapture) << "gdi grup:" << grabber->region();
                else
                    qCInfo(lcCapture) << "shm grab:" << grabber->region();
            } else {
                if (error != lastOpenError)
                    qCCritical(lcCapture) << "init failed:" << error << "- retrying";
                lastOpenError = error;
                retryAt = Clock::now() + kRetryDelay;
            }
        }

        if (grabber) {
            // The instant the screen is looked at: what the frame shows was there at that time,
            // whether its rows are grabbed now or were grabbed before and did not change since.
            m_grabTime = Clock::now();
            const QByteArray *frame = nullptr; // null: the conversion failed, no frame this time
            const QnX11::GrabStatus status = assembler.tick(*grabber, frame);
            m_rowsGrabbed = assembler.rowsGrabbed();
            m_framesReused = assembler.framesReused();
            switch (status) {
            case QnX11::GrabStatus::Ok:
                if (frame) {
                    ++m_framesDelivered;
                    if (frameCallback)
                        frameCallback(*frame, width, height);
                }
                break;
            case QnX11::GrabStatus::Reinit:
                qCInfo(lcCapture) << "the screen changed: setting capture up again";
                if (grabber->coversRoot())
                    options.region = QRect();
                grabber.reset();
                setActive(QString(), QRect());
                break;
            case QnX11::GrabStatus::Error:
                qCWarning(lcCapture) << "grab failed: setting capture up again in"
                                     << std::chrono::milliseconds(kRetryDelay).count() << "ms";
                grabber.reset();
                setActive(QString(), QRect());
                retryAt = Clock::now() + kRetryDelay;
                break;
            }
        }

        // Fixed cadence on the steady clock: the grab and conversion time is taken out of the wait.
        // After a stall of more than one interval the whole intervals lost are skipped (and
        // counted) instead of being made up in a burst; the cadence keeps its phase.
        next += interval;
        const auto now = Clock::now();
        if (next + interval < now) {
            const auto behind = (now - next) / interval;
            m_intervalsMissed += int(behind);
            next += behind * interval;
        }
        if (!waitUntil(next))
            break;
    }
    setActive(QString(), QRect());
}
