#pragma once

#include <QTimer>
#include <QWidget>

/// Spinning white dots: seven dots of growing size on a circle, stepping 40 degrees every 100 ms
/// while started. The drawing is made in a 100-unit square scaled to the smaller side and centred.
/// The angle keeps its value across stop and start. GUI thread only.
class QnLoadingDots : public QWidget
{
    Q_OBJECT
public:
    explicit QnLoadingDots(QWidget *parent = nullptr);

    /// Starts (or keeps) the one 100 ms timer.
    void start();
    void stop();

    int angle() const { return m_angle; }
    bool isRunning() const { return m_timer->isActive(); }
    const QTimer *timer() const { return m_timer; }

    /// One animation step: angle += 40, wrapping to 0 at 360.
    static int nextAngle(int angle);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void step();

    QTimer *m_timer = nullptr;
    int m_angle = 0;
    int m_radius = 30;
};

/// The loading indicator of the login page.
class QnLoadingWidget : public QnLoadingDots
{
    Q_OBJECT
public:
    explicit QnLoadingWidget(QWidget *parent = nullptr);
};

/// The loading indicator of the connecting overlay.
class QnFileLoadingFileWidget : public QnLoadingDots
{
    Q_OBJECT
public:
    explicit QnFileLoadingFileWidget(QWidget *parent = nullptr);
};
