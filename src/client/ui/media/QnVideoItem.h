#pragma once

#include <QByteArray>
#include <QMediaPlayer>
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class QnLoadingWidget;
class QnVideoProgressBar;
class QnVideoSurface;
class QnVideoView;

/// One peer's media tile: shows decoded I420 frames (setYuvData) or plays a media file through
/// a QMediaPlayer (created by the first setPlayVideo), with a loading indicator, a status text,
/// quit/full-screen/menu buttons and a control bar. Remote media commands (JSON {"type","data"})
/// drive the player. GUI thread only; the player's frames arrive through QnVideoSurface.
class QnVideoItem : public QWidget
{
    Q_OBJECT
public:
    /// Media kinds whose control bar floats over the lower part of the tile.
    static constexpr int kMediaKindFloatingBarA = 3;
    static constexpr int kMediaKindFloatingBarB = 4;

    explicit QnVideoItem(const QString &userId, QWidget *parent = nullptr);
    ~QnVideoItem() override;

    QString userId() const { return m_userId; }
    QString mediaPath() const { return m_mediaPath; }
    /// The player, or nullptr before the first setPlayVideo.
    QMediaPlayer *player() const { return m_player; }
    QnVideoProgressBar *progressBar() const { return m_bar; }
    QnLoadingWidget *loadingWidget() const { return m_loading; }
    QnVideoView *view() const { return m_view; }
    QString statusText() const;
    QString speedText() const;
    bool isFull() const { return m_full; }

    int mediaType() const { return m_mediaType; }
    void setMediaType(int type);
    bool isBarVisible() const { return m_barVisible; }
    /// Shows or hides the control bar (the flag updateRect honours).
    void setBarVisible(bool visible);

    /// Applies a remote media command; returns true when it was acted on (a player exists, the
    /// bytes are a command of type 0 to 6).
    bool setMediaChangedData(const QByteArray &data);
    /// Logs the audio output devices with their count; returns true.
    bool availableAudioEquipment();

public slots:
    /// Shows one I420 frame; frames of a wrong size are dropped.
    void setYuvData(const QByteArray &data, int width, int height);
    /// Sets the tile's cursor to a Qt::CursorShape value; other values are ignored.
    void setCursorType(int cursor);
    /// Opens a media file (local path or URL) in the player; playing starts with a play command
    /// or the play button.
    void setPlayVideo(const QString &videoPath);
    void on_quitButton_clicked();
    void on_fullButton_clicked();
    void on_menuButton_clicked();
    /// Connected to the player's mediaStatusChanged; warns when called without a player sender.
    void onMediaStatusChanged();
    /// Shows value (bytes per second) as the buffer speed; warns when called without a sender.
    void onBufferProgress(double value);
    void updateRect();

signals:
    void disconnectItem(const QString &id);
    void fullItem(const QString &id, bool isFull);
    void hideItems();
    void closeAllItems();
    void rectChanged();
    void sendMediaData(const QString &userId, const QByteArray &data);
    void stopMedia(const QString &userId, const QByteArray &data);
    void playMedia();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void ensurePlayer();
    void layoutChildren();
    void applyVolume(int sliderValue);

    QString m_userId;
    QString m_mediaPath;
    QMediaPlayer *m_player = nullptr;
    QnVideoSurface *m_surface = nullptr;
    QnVideoView *m_view = nullptr;
    QnLoadingWidget *m_loading = nullptr;
    QLabel *m_statusLabel = nullptr;
    QLabel *m_speedLabel = nullptr;
    QPushButton *m_quitButton = nullptr;
    QPushButton *m_fullButton = nullptr;
    QPushButton *m_menuButton = nullptr;
    QnVideoProgressBar *m_bar = nullptr;
    bool m_full = false;
    bool m_barVisible = true;
    int m_mediaType = 0;
};
