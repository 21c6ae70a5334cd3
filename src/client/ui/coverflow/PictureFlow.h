#pragma once

#include "client/ui/coverflow/PictureFlowRenderer.h"

#include <QBasicTimer>
#include <QImage>
#include <QSize>
#include <QWidget>

class QTimer;

/// Cover-flow picture browser: the current slide faces the viewer in the middle, three slides on
/// each side are pushed back, each with a reflection, drawn by PictureFlowRenderer into an RGB16
/// buffer the size of the widget, with the centre slide's caption above. Left and right keys and
/// clicks beside the centre navigate; Return or a click on the centre raises itemActivated.
/// GUI thread only.
class PictureFlow : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int slideCount READ slideCount WRITE setSlideCount)
    Q_PROPERTY(int currentSlide READ currentSlide WRITE setCurrentSlide)
    Q_PROPERTY(QSize slideSize READ slideSize WRITE setSlideSize)
    Q_PROPERTY(int zoomFactor READ zoomFactor WRITE setZoomFactor)

public:
    explicit PictureFlow(QWidget *parent = nullptr);
    ~PictureFlow() override;

    int slideCount() const { return m_renderer.slideCount(); }
    void setSlideCount(int count);
    int currentSlide() const { return m_renderer.centerIndex(); }
    QSize slideSize() const { return m_renderer.slideSize(); }
    void setSlideSize(const QSize &size);
    int zoomFactor() const { return m_renderer.zoomFactor(); }
    /// Values of 0 and below are ignored.
    void setZoomFactor(int z);

    /// Sets one slide's image or caption; indexes outside 0 to count - 1 are ignored.
    void setSlide(int index, const QImage &image);
    void setSlideCaption(int index, const QString &caption);
    QImage slide(int index) const { return m_renderer.slide(index); }

    /// The state and the last rendered buffer (for tests and screenshots).
    const PictureFlowRenderer &renderer() const { return m_renderer; }
    bool isAnimating() const { return m_animateTimer.isActive(); }
    /// Advances a running animation by one 30 ms tick (what the animation timer does).
    void animateStep();

public slots:
    void setCurrentSlide(int index);
    void clear();
    void render();
    void showPrevious();
    void showNext();
    void showSlide(int index);

signals:
    void itemActivated(int index);
    void inputReceived();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    void triggerRender();
    void startAnimation(bool start);

    PictureFlowRenderer m_renderer;
    QTimer *m_triggerTimer = nullptr;
    QBasicTimer m_animateTimer;
};
