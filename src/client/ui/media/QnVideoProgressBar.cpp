#include "client/ui/media/QnVideoProgressBar.h"

#include "client/ui/internal/QnUiLog.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

QString clockText(qint64 seconds)
{
    seconds = std::max<qint64>(0, seconds);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QIcon qnVideoGlyphIcon(const QString &kind)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (kind == QLatin1String("speaker")) {
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF({QPointF(5, 12), QPointF(11, 12), QPointF(18, 6), QPointF(18, 26),
                                 QPointF(11, 20), QPointF(5, 20)}));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(14, 10, 8, 12), -60 * 16, 120 * 16);
        p.drawArc(QRectF(14, 6, 14, 20), -60 * 16, 120 * 16);
    } else {
        for (const QPointF &c : {QPointF(6, 6), QPointF(26, 6), QPointF(26, 26), QPointF(6, 26)}) {
            const qreal dx = c.x() < 16 ? 7 : -7;
            const qreal dy = c.y() < 16 ? 7 : -7;
            p.drawPolyline(QPolygonF({QPointF(c.x() + dx, c.y()), c, QPointF(c.x(), c.y() + dy)}));
        }
    }
    p.end();
    return QIcon(pixmap);
}

QnVideoCustomSlider::QnVideoCustomSlider(Qt::Orientation orientation, QWidget *parent)
    : QSlider(orientation, parent)
{}

int QnVideoCustomSlider::valueAt(const QPoint &pos) const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    if (orientation() == Qt::Horizontal) {
        const int span = groove.width() - handle.width();
        return QStyle::sliderValueFromPosition(minimum(), maximum(),
                                               pos.x() - groove.x() - handle.width() / 2, std::max(1, span),
                                               option.upsideDown);
    }
    const int span = groove.height() - handle.height();
    return QStyle::sliderValueFromPosition(minimum(), maximum(), pos.y() - groove.y() - handle.height() / 2,
                                           std::max(1, span), option.upsideDown);
}

void QnVideoCustomSlider::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        QStyleOptionSlider option;
        initStyleOption(&option);
        const QRect handle =
            style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
        if (!handle.contains(event->pos())) {
            const int value = valueAt(event->pos());
            setSliderDown(true);
            setValue(value);
            emit sliderMoved(value);
            setSliderDown(false);
            event->accept();
            return;
        }
    }
    QSlider::mousePressEvent(event);
}

QnVideoVolumeProcessbar::QnVideoVolumeProcessbar(QWidget *parent)
    : QWidget(parent), m_slider(new QnVideoCustomSlider(Qt::Horizontal, this))
{
    setObjectName(QStringLiteral("QnVideoVolumeProcessbar"));
    m_slider->setObjectName(QStringLiteral("volumeSlider"));
    m_slider->setRange(0, 100);
    m_slider->setValue(100);
    m_slider->setFixedWidth(80);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_slider);
    connect(m_slider, &QSlider::sliderMoved, this, &QnVideoVolumeProcessbar::volumeSliderMoved);
}

int QnVideoVolumeProcessbar::value() const
{
    return m_slider->value();
}

void QnVideoVolumeProcessbar::setValue(int value)
{
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(value);
}

QnVideoProgressBar::QnVideoProgressBar(QWidget *parent)
    : QWidget(parent)
    , m_btnPlay(new QPushButton(this))
    , m_slider(new QnVideoCustomSlider(Qt::Horizontal, this))
    , m_timeLabel(new QLabel(this))
    , m_volumBtn(new QPushButton(this))
    , m_volumeBar(new QnVideoVolumeProcessbar(this))
{
    setObjectName(QStringLiteral("QnVideoProgressBar"));
    setAttribute(Qt::WA_StyledBackground, true);
    m_btnPlay->setObjectName(QStringLiteral("btnPlay"));
    m_btnPlay->setCheckable(true);
    m_btnPlay->setFixedSize(28, 28);
    m_btnPlay->setCursor(Qt::PointingHandCursor);
    m_btnPlay->setToolTip(tr("Play"));
    m_slider->setObjectName(QStringLiteral("progressSlider"));
    m_slider->setRange(0, 0);
    m_timeLabel->setObjectName(QStringLiteral("timeLabel"));
    m_timeLabel->setTextFormat(Qt::PlainText);
    m_volumBtn->setObjectName(QStringLiteral("volumBtn"));
    m_volumBtn->setFixedSize(28, 28);
    m_volumBtn->setCursor(Qt::PointingHandCursor);
    m_volumBtn->setToolTip(tr("Volume"));
    m_volumeBar->hide();

    // The buttons draw their glyphs with text (no image files): play/pause and a speaker.
    m_btnPlay->setText(QStringLiteral("\u25B6"));
    m_volumBtn->setIcon(qnVideoGlyphIcon(QStringLiteral("speaker")));
    m_volumBtn->setIconSize(QSize(20, 20));
    setStyleSheet(QStringLiteral(
        "#QnVideoProgressBar{background:rgba(0,0,0,160);border-radius:6px;}"
        "#btnPlay,#volumBtn{color:#FFFFFF;background:transparent;border:none;font-size:16px;}"
        "#btnPlay:hover,#volumBtn:hover{color:#DE6F6F;}"
        "#timeLabel{color:#FFFFFF;font-size:12px;}"
        "QSlider::groove:horizontal{height:4px;background:rgba(255,255,255,90);border-radius:2px;}"
        "QSlider::sub-page:horizontal{background:#DE6F6F;border-radius:2px;}"
        "QSlider::handle:horizontal{width:12px;margin:-4px 0;border-radius:6px;background:#FFFFFF;}"));

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 10, 6);
    layout->setSpacing(8);
    layout->addWidget(m_btnPlay);
    layout->addWidget(m_slider, 1);
    layout->addWidget(m_timeLabel);
    layout->addWidget(m_volumBtn);
    layout->addWidget(m_volumeBar);
    updateTimes();

    connect(m_btnPlay, &QPushButton::toggled, this, &QnVideoProgressBar::on_btnPlay_toggled);
    connect(m_volumBtn, &QPushButton::clicked, this, &QnVideoProgressBar::on_volumBtn_clicked);
    connect(m_slider, &QSlider::sliderPressed, this, &QnVideoProgressBar::sliderPressed);
    connect(m_slider, &QSlider::sliderMoved, this, &QnVideoProgressBar::sliderMoved);
    connect(m_slider, &QSlider::sliderReleased, this, &QnVideoProgressBar::sliderRelease);
    connect(m_slider, &QSlider::valueChanged, this, &QnVideoProgressBar::updateTimes);
    connect(m_volumeBar, &QnVideoVolumeProcessbar::volumeSliderMoved, this,
            &QnVideoProgressBar::volumeSliderMoved);
}

void QnVideoProgressBar::setTimeUnit(int msPerStep)
{
    if (msPerStep > 0)
        m_timeUnit = msPerStep;
    updateTimes();
}

void QnVideoProgressBar::setDuration(qint64 ms)
{
    m_slider->setMaximum(int(std::max<qint64>(0, ms) / m_timeUnit));
    updateTimes();
}

void QnVideoProgressBar::setPosition(qint64 ms)
{
    if (m_slider->isSliderDown())
        return;
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(int(std::max<qint64>(0, ms) / m_timeUnit));
    updateTimes();
}

void QnVideoProgressBar::setPlaying(bool playing)
{
    const QSignalBlocker blocker(m_btnPlay);
    m_btnPlay->setChecked(playing);
    m_btnPlay->setText(playing ? QStringLiteral("\u275A\u275A") : QStringLiteral("\u25B6"));
    m_btnPlay->setToolTip(playing ? tr("Pause") : tr("Play"));
}

qint64 QnVideoProgressBar::playTime() const
{
    return qint64(m_slider->value()) * m_timeUnit / 1000;
}

qint64 QnVideoProgressBar::totalTime() const
{
    return qint64(m_slider->maximum()) * m_timeUnit / 1000;
}

int QnVideoProgressBar::buttonState() const
{
    if (!m_btnPlay->isChecked())
        return Paused;
    if (m_slider->value() == m_slider->maximum())
        return Finished;
    return Playing;
}

void QnVideoProgressBar::on_btnPlay_toggled(bool checked)
{
    setPlaying(checked);
    emit playStatus(checked);
}

void QnVideoProgressBar::on_volumBtn_clicked()
{
    qCInfo(lcUi) << "onVolumBtn===========";
    m_volumeBar->setVisible(m_volumeBar->isHidden());
}

void QnVideoProgressBar::updateTimes()
{
    m_timeLabel->setText(clockText(playTime()) + QStringLiteral(" / ") + clockText(totalTime()));
}
