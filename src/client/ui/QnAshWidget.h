#pragma once

#include <QWidget>

/// A translucent dark mask laid over a window to dim it while something is in front.
/// Shown and hidden by its owner. GUI thread only.
class QnAshWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QnAshWidget(QWidget *parent = nullptr);

    /// Stores the opacity (0..1, default 0.6); the next paint uses it (no repaint is requested).
    void setOpacity(double opacity);
    double opacity() const { return m_opacity; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    double m_opacity = 0.6;
};
