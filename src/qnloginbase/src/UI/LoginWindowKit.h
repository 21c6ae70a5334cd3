#pragma once

// Two small window services of the login library. The program has fuller versions in its window
// kit; the login library sits below the program and keeps its own.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QWidget>

class QTimer;

/// Lets a frameless window be moved by dragging it with the left button (no resizing). Attaching
/// adds the frameless, system-menu and minimize-button hints and installs the mover as the window's
/// event filter. Lives as a child of the window it moves.
class LoginFrameMover : public QObject
{
    Q_OBJECT
public:
    explicit LoginFrameMover(QObject *parent = nullptr);
    void attachWidget(QWidget *window);
    void setMovable(bool movable) { m_movable = movable; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QPointer<QWidget> m_window;
    QPoint m_pressOffset; // global press position minus the window's position
    bool m_dragging = false;
    bool m_movable = true;
};

/// A spinning ring shown while a sign-in runs. start() turns it by 40 degrees every 100 ms; the
/// caller shows, raises and hides it.
class LoginLoadingWidget : public QWidget
{
    Q_OBJECT
public:
    explicit LoginLoadingWidget(QWidget *parent = nullptr);
    void start();
    void stop();
    bool isRunning() const;
    int angle() const { return m_angle; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer *m_timer; // child
    int m_angle = 0;
};
