#pragma once

#include <QHash>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>
#include <QVector>

/// Fixed-point helpers of the cover-flow renderer: 10 fraction bits (1.0 is 1024), angles in
/// 1024ths of a turn.
namespace PictureFlowMath {
constexpr int kShift = 10;
constexpr int kOne = 1 << kShift;
constexpr int kTiltAngle = 227;
/// floor(1024 x sin(2 pi (a + 0.5) / 1024)), a taken modulo 1024.
int fsin(int angle);
int fcos(int angle);
} // namespace PictureFlowMath

/// One placed slide: its index, angle (1024ths of a turn) and offsets (10 fraction bits).
struct PictureFlowSlide
{
    int slideIndex = 0;
    int angle = 0;
    int cx = 0;
    int cy = 0;
};

/// State, layout and software renderer of the cover-flow widget: slides, centre and target,
/// animation, and an RGB16 buffer drawn by ray casting. A plain object without timers; the widget
/// owns one, drives it from its timers and paints buffer(). GUI thread only (QPainter on images).
class PictureFlowRenderer
{
public:
    static constexpr int kSideSlides = 3;

    PictureFlowRenderer();

    // Slides
    int slideCount() const { return m_images.size(); }
    /// Resizes images and captions to n (new ones null and empty), drops cached surfaces and
    /// repositions. Negative n counts as 0.
    void setSlideCount(int n);
    void clear() { setSlideCount(0); }
    /// Sets slide index's image; an index outside 0 to count - 1 is ignored.
    void setSlide(int index, const QImage &image);
    void setCaption(int index, const QString &caption);
    QImage slide(int index) const;
    QString caption(int index) const;

    QSize slideSize() const { return m_slideSize; }
    /// Stores size and rebuilds the renderer for the current buffer size.
    void setSlideSize(const QSize &size);
    int zoomFactor() const { return m_zoom; }
    /// Stores z and rebuilds when z > 0; returns false (and changes nothing) otherwise.
    bool setZoomFactor(int z);

    // Navigation
    int centerIndex() const { return m_centerIndex; }
    int targetIndex() const { return m_target; }
    int step() const { return m_step; }
    int frame() const { return m_frame; }
    int fade() const { return m_fade; }
    /// Stops the animation and centres index clamped into 0 to count - 1.
    void setCurrentSlide(int index);
    /// The navigation rules; each returns true when the animation timer must be started at 30 ms
    /// (animationRunning tells whether it already runs).
    bool showNext(bool animationRunning);
    bool showPrevious(bool animationRunning);
    bool showSlide(int index, bool animationRunning);
    /// One 30 ms animation tick: glides the frame towards the target. Returns false once the
    /// target is reached (the animation then is idle and the timer must stop).
    bool animate();

    // Layout
    const PictureFlowSlide &centerSlide() const { return m_center; }
    const QVector<PictureFlowSlide> &leftSlides() const { return m_left; }
    const QVector<PictureFlowSlide> &rightSlides() const { return m_right; }
    int spacing() const { return m_spacing; }
    int offsetX() const { return m_offsetX; }
    int offsetY() const { return m_offsetY; }

    // Renderer
    /// Makes the buffer a black RGB16 image of size (an empty size gives an empty buffer that
    /// renders nothing), rebuilds the ray table and the layout, drops every surface.
    void rebuild(const QSize &bufferSize);
    const QVector<int> &rays() const { return m_rays; }
    const QImage &buffer() const { return m_buffer; }
    /// Draws the current state into the buffer.
    void render();
    /// The prepared surface of slide k (the blank one for a null image); nullptr when k is
    /// outside 0 to count - 1. The pointer lives until the next rebuild or count change.
    const QImage *surface(int k);
    /// Draws one slide entry with alpha (0 to 256) into the columns col1 to col2 and returns the
    /// rectangle of columns drawn (empty when nothing was drawn).
    QRect renderSlide(const PictureFlowSlide &slide, int alpha, int col1, int col2);

    /// Darkens an RGB16 pixel by alpha (0 to 256).
    static quint16 blend(quint16 pixel, int alpha);
    /// The surface of an image: turned on its side, 2h wide and w high, slide from h / 3 and the
    /// fading reflection below it.
    static QImage prepareSurface(const QImage &image, const QSize &slideSize);
    /// The surface drawn for a slide without image.
    static QImage blankSurface(const QSize &slideSize);

private:
    void reposition();
    void recalcLayout();
    void renderCaption(const QString &text, int alpha);

    QVector<QImage> m_images;
    QVector<QString> m_captions;
    QSize m_slideSize{150, 200};
    int m_zoom = 100;

    int m_centerIndex = 0;
    int m_target = 0;
    int m_step = 0;
    int m_frame = 0;
    int m_fade = 256;

    PictureFlowSlide m_center;
    QVector<PictureFlowSlide> m_left;
    QVector<PictureFlowSlide> m_right;
    int m_spacing = 0;
    int m_offsetX = 0;
    int m_offsetY = 0;

    QImage m_buffer;
    QVector<int> m_rays;
    QHash<int, QImage> m_cache;
    QImage m_blank;
};
