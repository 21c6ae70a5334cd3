#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

class QFrame;
class QTimer;

/// A round head image, optionally ringed in #DE6F6F; a grey #D8D8D8 disc while it has no picture.
class CZvHeadButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CZvHeadButton(QWidget *parent = nullptr);

    /// Loads the picture file (an unloadable file leaves the grey disc) and repaints.
    void loadHeadImage(const QString &path);
    /// The drawn diameter (100 at start).
    void setHeadWidth(int width);
    void setRingVisible(bool visible);

    int headWidth() const { return m_headWidth; }
    bool ringVisible() const { return m_ringVisible; }
    bool hasPicture() const { return !m_picture.isNull(); }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
    int m_headWidth = 100;
    bool m_hover = false;
    bool m_ringVisible = true;
};

/// A translucent message that hides itself after 2000 ms (kind 1: 3500 ms), centred on an anchor.
class Toast : public QDialog
{
    Q_OBJECT
public:
    explicit Toast(QWidget *parent = nullptr);

    /// Shows text (as plain text) centred on anchor's global rectangle, or at (0, 0) without one.
    void showText(const QString &text, int kind, QWidget *anchor);
    QString text() const;
    /// The label that holds the text ("tlToast").
    QLabel *label() const { return m_label; }

protected:
    void timerEvent(QTimerEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QFrame *m_frame;
    QLabel *m_label;
    int m_timerId = 0;
};

/// The "Send Code" button: a click starts a 60-second countdown shown on the button; sig_timeout()
/// comes one tick after the count reached 0, when the button shows "Send Code" again.
class CTimerButton : public QPushButton
{
    Q_OBJECT
public:
    explicit CTimerButton(QWidget *parent = nullptr);

    /// Stops the countdown: count 60, "Send Code", not checked.
    void reset();
    bool isCounting() const;
    int count() const { return m_count; }
    /// The countdown tick (1000 ms; tests shorten it).
    void setTickInterval(int ms);

Q_SIGNALS:
    void sig_timeout();

private:
    void onClicked();
    void onTick();

    QTimer *m_timer; // child
    int m_count = 60;
};

/// A password field with an eye button ("PwdLineEditEye") that shows or hides the text; the eye is
/// visible exactly while the field holds text.
class PasswordLineEidt : public QLineEdit
{
    Q_OBJECT
public:
    explicit PasswordLineEidt(QWidget *parent = nullptr);
    QPushButton *eyeButton() const { return m_eye; }

public Q_SLOTS:
    void onDealClicked(bool checked);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QPushButton *m_eye;
};

/// A label that reports every mouse release (the QR picture).
class QrLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void labelPress();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
};

/// Event filter that paints a soft shadow of shadowWidth px inside a frameless widget's border. One
/// per widget: installing another removes and deletes the earlier one (the widget's property
/// "CustomBorderShadow"). The widget must outlive the filter or delete it.
class QnBorderShadow : public QObject
{
    Q_OBJECT
public:
    explicit QnBorderShadow(QObject *parent = nullptr);

    void install(QWidget *widget);
    void setColor(const QColor &color) { m_color = color; }
    void setShadowWidth(int width) { m_shadowWidth = width; }
    void setRoundness(int roundness) { m_roundness = roundness; }
    int shadowWidth() const { return m_shadowWidth; }
    int roundness() const { return m_roundness; }

    /// The alpha of ring i (0 = outermost): 150 - 50 * sqrt(i), truncated, never below 0.
    static int ringAlpha(int i);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QColor m_color = Qt::lightGray;
    int m_shadowWidth = 10;
    int m_roundness = 5;
};
