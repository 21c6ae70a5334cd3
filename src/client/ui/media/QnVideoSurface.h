#pragma once

#include <QAbstractVideoSurface>
#include <QImage>
#include <QWidget>

/// The video output of a tile's player: takes RGB frames and hands each over as a QImage.
/// present() may run on the player's streaming thread; frameReady reaches receivers queued when
/// they live on another thread (the image is a deep copy).
class QnVideoSurface : public QAbstractVideoSurface
{
    Q_OBJECT
public:
    explicit QnVideoSurface(QObject *parent = nullptr);

    QList<QVideoFrame::PixelFormat> supportedPixelFormats(
        QAbstractVideoBuffer::HandleType type = QAbstractVideoBuffer::NoHandle) const override;
    bool present(const QVideoFrame &frame) override;

signals:
    void frameReady(const QImage &image);
};

/// Shows the latest frame scaled into the widget with its aspect ratio kept, on black.
/// GUI thread only.
class QnVideoView : public QWidget
{
    Q_OBJECT
public:
    explicit QnVideoView(QWidget *parent = nullptr);

    const QImage &frame() const { return m_frame; }

public slots:
    void setFrame(const QImage &image);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_frame;
};
