#include "client/ui/media/QnVideoItem.h"

#include "client/ui/QnLoadingWidget.h"
#include "client/ui/internal/QnUiLog.h"
#include "client/ui/media/QnVideoMedia.h"
#include "client/ui/media/QnVideoProgressBar.h"
#include "client/ui/media/QnVideoSurface.h"

#include <QAudioDeviceInfo>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

namespace {
constexpr int kBarHeight = 40;
constexpr int kFloatingBarLift = 90;
constexpr int kLoadingSize = 60;
constexpr int kLogCap = 256;
} // namespace

QnVideoItem::QnVideoItem(const QString &userId, QWidget *parent)
    : QWidget(parent)
    , m_userId(userId)
    , m_surface(new QnVideoSurface(this))
    , m_view(new QnVideoView(this))
    , m_loading(new QnLoadingWidget(this))
    , m_statusLabel(new QLabel(this))
    , m_speedLabel(new QLabel(this))
    , m_quitButton(new QPushButton(this))
    , m_fullButton(new QPushButton(this))
    , m_menuButton(new QPushButton(this))
    , m_bar(new QnVideoProgressBar(this))
{
    setObjectName(QStringLiteral("QnVideoItem"));
    setMinimumSize(160, 120);
    m_statusLabel->setObjectName(QStringLiteral("statusLabel"));
    m_speedLabel->setObjectName(QStringLiteral("speedLabel"));
    for (QLabel *label : {m_statusLabel, m_speedLabel}) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignCenter);
        label->setStyleSheet(QStringLiteral("color:#FFFFFF;font-size:13px;background:transparent;"));
        label->hide();
    }
    m_loading->hide();
    const struct
    {
        QPushButton *button;
        const char *name;
        QString glyph;
        QString tip;
    } buttons[] = {
        {m_quitButton, "quitButton", QStringLiteral("\u2715"), tr("Close")},
        {m_fullButton, "fullButton", QString(), tr("Full screen")},
        {m_menuButton, "menuButton", QStringLiteral("\u2630"), tr("Controls")},
    };
    m_fullButton->setIcon(qnVideoGlyphIcon(QStringLiteral("full")));
    m_fullButton->setIconSize(QSize(16, 16));
    for (const auto &b : buttons) {
        b.button->setObjectName(QLatin1String(b.name));
        b.button->setText(b.glyph);
        b.button->setToolTip(b.tip);
        b.button->setFixedSize(28, 28);
        b.button->setCursor(Qt::PointingHandCursor);
        b.button->setStyleSheet(
            QStringLiteral("QPushButton{color:#FFFFFF;background:rgba(0,0,0,120);border:none;"
                           "border-radius:14px;font-size:14px;}"
                           "QPushButton:pressed{color:#DE6F6F;}"));
    }
    connect(m_quitButton, &QPushButton::clicked, this, &QnVideoItem::on_quitButton_clicked);
    connect(m_fullButton, &QPushButton::clicked, this, &QnVideoItem::on_fullButton_clicked);
    connect(m_menuButton, &QPushButton::clicked, this, &QnVideoItem::on_menuButton_clicked);
    connect(m_surface, &QnVideoSurface::frameReady, m_view, &QnVideoView::setFrame);

    connect(m_bar, &QnVideoProgressBar::playStatus, this, [this](bool play) {
        if (!m_player)
            return;
        if (play)
            m_player->play();
        else
            m_player->pause();
    });
    auto seekToSlider = [this] {
        if (m_player)
            m_player->setPosition(qint64(m_bar->slider()->value()) * m_bar->timeUnit());
    };
    connect(m_bar, &QnVideoProgressBar::sliderRelease, this, seekToSlider);
    connect(m_bar, &QnVideoProgressBar::sliderMoved, this, [this, seekToSlider](int) {
        if (!m_bar->slider()->isSliderDown())
            seekToSlider();
    });
    connect(m_bar, &QnVideoProgressBar::volumeSliderMoved, this, &QnVideoItem::applyVolume);
    layoutChildren();
}

QnVideoItem::~QnVideoItem()
{
    if (m_player)
        m_player->stop();
}

QString QnVideoItem::statusText() const
{
    return m_statusLabel->text();
}

QString QnVideoItem::speedText() const
{
    return m_speedLabel->text();
}

void QnVideoItem::setMediaType(int type)
{
    m_mediaType = type;
    layoutChildren();
}

void QnVideoItem::setBarVisible(bool visible)
{
    m_barVisible = visible;
    m_bar->setVisible(visible);
}

void QnVideoItem::ensurePlayer()
{
    if (m_player)
        return;
    m_player = new QMediaPlayer(this, QMediaPlayer::VideoSurface);
    m_player->setVideoOutput(m_surface);
    m_player->setVolume(QnVideoMedia::playerVolume(m_bar->volumeBar()->value()));
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &QnVideoItem::onMediaStatusChanged);
    connect(m_player, &QMediaPlayer::positionChanged, m_bar, &QnVideoProgressBar::setPosition);
    connect(m_player, &QMediaPlayer::durationChanged, m_bar, &QnVideoProgressBar::setDuration);
    connect(m_player, &QMediaPlayer::stateChanged, this,
            [this](QMediaPlayer::State state) { m_bar->setPlaying(state == QMediaPlayer::PlayingState); });
}

void QnVideoItem::applyVolume(int sliderValue)
{
    if (m_player)
        m_player->setVolume(QnVideoMedia::playerVolume(sliderValue));
}

void QnVideoItem::setYuvData(const QByteArray &data, int width, int height)
{
    const QImage image = QnVideoMedia::i420ToImage(data, width, height);
    if (image.isNull()) {
        qCWarning(lcUi) << "setYuvData: dropped a frame of" << data.size() << "bytes for" << width << "x"
                        << height;
        return;
    }
    m_view->setFrame(image);
}

void QnVideoItem::setCursorType(int cursor)
{
    if (cursor >= Qt::ArrowCursor && cursor <= Qt::LastCursor)
        setCursor(Qt::CursorShape(cursor));
}

void QnVideoItem::setPlayVideo(const QString &videoPath)
{
    m_loading->stop();
    m_loading->hide();
    m_statusLabel->hide();
    m_speedLabel->hide();
    if (m_player)
        m_player->stop();
    ensurePlayer();
    m_mediaPath = videoPath;
    const QUrl url = QUrl(videoPath).scheme().size() > 1 ? QUrl(videoPath) : QUrl::fromLocalFile(videoPath);
    m_player->setMedia(url);
    raise();
    show();
}

void QnVideoItem::on_quitButton_clicked()
{
    // The report reads the bar before stopping: stopping rewinds it and unchecks the button.
    const QByteArray report =
        QnVideoMedia::stopReport(m_bar->buttonState(), m_bar->playTime(), m_bar->totalTime());
    emit disconnectItem(m_userId);
    if (m_player)
        m_player->stop();
    emit stopMedia(m_userId, report);
}

void QnVideoItem::on_fullButton_clicked()
{
    m_full = !m_full;
    emit fullItem(m_userId, m_full);
}

void QnVideoItem::on_menuButton_clicked()
{
    setBarVisible(!m_barVisible);
}

void QnVideoItem::onMediaStatusChanged()
{
    auto *player = qobject_cast<QMediaPlayer *>(sender());
    if (!player) {
        qCWarning(lcUi) << "invalid sender() ";
        return;
    }
    const QMediaPlayer::MediaStatus status = player->mediaStatus();
    const QString text = QnVideoMedia::mediaStatusText(status);
    if (!text.isEmpty()) {
        m_statusLabel->setText(text);
        m_statusLabel->setVisible(status != QMediaPlayer::BufferedMedia &&
                                  status != QMediaPlayer::LoadedMedia);
    }
    switch (status) {
    case QMediaPlayer::LoadedMedia:
        m_loading->hide();
        break;
    case QMediaPlayer::BufferingMedia:
        layoutChildren();
        m_loading->show();
        m_loading->raise();
        if (!m_loading->isRunning())
            m_loading->start();
        break;
    case QMediaPlayer::BufferedMedia:
        m_loading->hide();
        m_loading->stop();
        break;
    default:
        break;
    }
}

void QnVideoItem::onBufferProgress(double value)
{
    if (!sender()) {
        qCWarning(lcUi) << "invalid sender() ";
        return;
    }
    m_speedLabel->setText(QnVideoMedia::bufferSpeedText(value));
    m_speedLabel->show();
}

void QnVideoItem::updateRect()
{
    if (!m_mediaPath.isEmpty() && m_barVisible)
        QTimer::singleShot(200, this, [this] { m_view->setGeometry(rect()); });
    layoutChildren();
    emit rectChanged();
}

bool QnVideoItem::setMediaChangedData(const QByteArray &data)
{
    qCInfo(lcUi) << "setMediaChangedData======================" << data.left(kLogCap);
    if (!m_player)
        return false;
    const auto command = QnVideoMedia::parseCommand(data);
    if (!command)
        return false;
    using namespace QnVideoMedia;
    switch (command->type) {
    case CommandPlay:
        m_player->play();
        m_bar->setPlaying(true);
        emit playMedia();
        break;
    case CommandPause:
        m_player->pause();
        m_bar->setPlaying(false);
        break;
    case CommandStop:
        m_player->stop();
        emit disconnectItem(m_userId);
        break;
    case CommandVolumeDown:
    case CommandVolumeUp: {
        const int next = volumeStep(m_bar->volumeBar()->value(), command->type == CommandVolumeUp ? 5 : -5);
        m_bar->volumeBar()->setValue(next);
        applyVolume(next);
        break;
    }
    case CommandSeek:
        m_player->setPosition(qint64(command->playtime * 1000));
        break;
    case CommandPlayPause:
        m_player->play();
        m_player->pause();
        m_bar->setPlaying(false);
        break;
    default:
        return false;
    }
    return true;
}

bool QnVideoItem::availableAudioEquipment()
{
    const auto devices = QAudioDeviceInfo::availableDevices(QAudio::AudioOutput);
    for (const QAudioDeviceInfo &device : devices)
        qCInfo(lcUi) << "audio output:" << device.deviceName().left(kLogCap);
    qCInfo(lcUi) << "availableAudioEquipment======================" << devices.size();
    return true;
}

void QnVideoItem::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void QnVideoItem::layoutChildren()
{
    const int w = width();
    const int h = height();
    m_view->setGeometry(rect());
    m_loading->setGeometry((w - kLoadingSize) / 2, (h - kLoadingSize) / 2, kLoadingSize, kLoadingSize);
    m_statusLabel->setGeometry(0, h / 2 + kLoadingSize / 2 + 4, w, 24);
    m_speedLabel->setGeometry(0, h / 2 + kLoadingSize / 2 + 28, w, 20);
    int x = w - 8;
    for (QPushButton *button : {m_quitButton, m_fullButton, m_menuButton}) {
        x -= button->width();
        button->move(x, 8);
        x -= 6;
    }
    if (m_mediaType == kMediaKindFloatingBarA || m_mediaType == kMediaKindFloatingBarB)
        m_bar->setGeometry(w / 4, h - kFloatingBarLift, w / 2, kBarHeight);
    else
        m_bar->setGeometry(8, h - kBarHeight - 8, std::max(0, w - 16), kBarHeight);
    if (m_barVisible && (m_mediaType == kMediaKindFloatingBarA || m_mediaType == kMediaKindFloatingBarB))
        m_bar->show();
    m_bar->raise();
    for (QPushButton *button : {m_quitButton, m_fullButton, m_menuButton})
        button->raise();
}
