#pragma once

#include <QImage>
#include <QRect>
#include <QWidget>

/// The working area of the avatar crop: shows a picture, dims all but a square crop frame, lets the
/// frame be moved and resized by its eight handles (kept square and inside the widget), pans the
/// picture by a drag outside the frame and zooms it by wheel steps around the frame's centre
/// (5 to 40 tenths of the source size). The committed rects change on release, setImage and wheel
/// steps; the live ones follow a drag. GUI thread only.
class ImageClipHelper : public QWidget
{
    Q_OBJECT
public:
    /// Zones of the frame under the mouse: 1-8 the handles (top-left, top, top-right, left, right,
    /// bottom-left, bottom, bottom-right), 9 inside, 10 elsewhere.
    enum Zone {
        None = 0,
        TopLeft = 1,
        Top,
        TopRight,
        Left,
        Right,
        BottomLeft,
        Bottom,
        BottomRight,
        Inside,
        Outside
    };

    explicit ImageClipHelper(QWidget *parent = nullptr);

    /// Loads the picture and centres it and a 130 x 130 frame in the widget. False (and a null
    /// picture) when the file does not load.
    bool setImage(const QString &path);
    /// The shown picture under the committed frame, at the shown scale; transparent off the picture;
    /// null for a frame of no size.
    QImage clippedImage() const;

    int zoom() const { return m_zoom; }
    int zone() const { return m_zone; }
    bool hasImage() const { return !m_source.isNull(); }
    QRect imageRect() const { return m_imageRect; }
    QRect liveImageRect() const { return m_liveImageRect; }
    QRect cropFrame() const { return m_cropFrame; }
    QRect liveCropFrame() const { return m_liveCropFrame; }
    QSize shownSize() const { return m_shown.size(); }
    /// Where the size label ("130*130") of the live frame is drawn.
    QRect sizeLabelRect() const;
    QString sizeLabelText() const;

    /// The zone of a point against a frame (first match wins; handles within 3 px).
    static int zoneAt(const QRect &frame, const QPoint &point);
    /// The frame after a drag by offset from frame in zone (before limiting).
    static QRect dragged(const QRect &frame, int zone, const QPoint &offset);
    /// Keeps frame inside bounds the way a drag in zone does: resized square, or moved back.
    static QRect limited(const QRect &bounds, QRect frame, int zone);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int hitTest(const QPoint &point);

    QImage m_source;
    QImage m_shown;
    QRect m_imageRect;
    QRect m_liveImageRect;
    int m_zoom = 10;
    int m_dragX = 0;
    int m_dragY = 0;
    int m_pressX = 0;
    int m_pressY = 0;
    bool m_pressed = false;
    int m_zone = None;
    QRect m_cropFrame;
    QRect m_liveCropFrame;
};
