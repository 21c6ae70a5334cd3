#pragma once

#include <QSlider>
#include <QWidget>

class QIcon;
class QLabel;
class QPushButton;

/// White line icons of the media controls drawn in code (no image files): "speaker" and "full".
QIcon qnVideoGlyphIcon(const QString &kind);

/// The slider of the media bars: a click on the groove jumps to that value (and reports it as a
/// move) instead of paging. GUI thread only.
class QnVideoCustomSlider : public QSlider
{
    Q_OBJECT
public:
    explicit QnVideoCustomSlider(Qt::Orientation orientation, QWidget *parent = nullptr);

    /// The value under pos (widget coordinates) on this slider's groove.
    int valueAt(const QPoint &pos) const;

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

/// The volume slider (0 to 100) shown beside a progress bar's volume button.
class QnVideoVolumeProcessbar : public QWidget
{
    Q_OBJECT
public:
    explicit QnVideoVolumeProcessbar(QWidget *parent = nullptr);

    QnVideoCustomSlider *slider() const { return m_slider; }
    int value() const;
    /// Moves the slider without raising volumeSliderMoved.
    void setValue(int value);

signals:
    void volumeSliderMoved(int volue);

private:
    QnVideoCustomSlider *m_slider = nullptr;
};

/// The control bar of a media tile: play button, position slider with the times, volume button
/// and its volume bar. Slider values are positions in time units (milliseconds by default).
/// GUI thread only.
class QnVideoProgressBar : public QWidget
{
    Q_OBJECT
public:
    /// Button states of a stop report.
    enum ButtonState { Paused = 1, Playing = 2, Finished = 3 };

    explicit QnVideoProgressBar(QWidget *parent = nullptr);

    QPushButton *playButton() const { return m_btnPlay; }
    QPushButton *volumeButton() const { return m_volumBtn; }
    QnVideoCustomSlider *slider() const { return m_slider; }
    QnVideoVolumeProcessbar *volumeBar() const { return m_volumeBar; }

    /// Milliseconds per slider step (1 by default; positive values only).
    void setTimeUnit(int msPerStep);
    int timeUnit() const { return m_timeUnit; }
    /// The player's duration and position in milliseconds; the position is not applied while the
    /// slider is held.
    void setDuration(qint64 ms);
    void setPosition(qint64 ms);
    /// Keeps the play button in step with the player without raising playStatus.
    void setPlaying(bool playing);

    /// Seconds: slider value (or maximum) times the time unit, divided by 1000.
    qint64 playTime() const;
    qint64 totalTime() const;
    /// Paused when the play button is not checked, Finished at the slider's maximum, else Playing.
    int buttonState() const;

public slots:
    void on_btnPlay_toggled(bool checked);
    void on_volumBtn_clicked();

signals:
    void sliderPressed();
    void sliderMoved(int value);
    void sliderRelease();
    void playStatus(bool play);
    void volumeSliderMoved(int value);

private:
    void updateTimes();

    QPushButton *m_btnPlay = nullptr;
    QnVideoCustomSlider *m_slider = nullptr;
    QLabel *m_timeLabel = nullptr;
    QPushButton *m_volumBtn = nullptr;
    QnVideoVolumeProcessbar *m_volumeBar = nullptr;
    int m_timeUnit = 1;
};
