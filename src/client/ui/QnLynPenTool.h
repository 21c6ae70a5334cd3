#pragma once

#include <QColor>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

class QButtonGroup;

/// One circular colour swatch of the pen palette: checkable, fixed 24 x 24.
class QnColorButton : public QPushButton
{
    Q_OBJECT
public:
    explicit QnColorButton(QWidget *parent = nullptr);

    void setColor(const QColor &color);
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_color;
};

/// The popup palette of six pen colours opened by the annotation tool bar's pen button.
/// A press outside the palette and outside its anchor asks its owner to hide it. GUI thread only.
class QnLynPenTool : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynPenTool(QWidget *parent = nullptr);

    /// The palette colours, first is the default: #D35555, #000000, #4A90E2, #FFFFFF, #7ED321, #F8E71C.
    static QList<QColor> paletteColors();
    static QColor defaultColor();

    QColor color() const { return m_color; }
    /// The widget that opens the palette: presses on it do not count as "elsewhere".
    void setAnchor(QWidget *anchor);
    /// Checks and clicks the default swatch (colorChanged is emitted).
    void reset();

    /// The rule of a press at globalPos: true when it lies neither on the anchor nor in the palette.
    bool isOtherArea(const QPoint &globalPos) const;

signals:
    void colorChanged(QColor color);
    void hideByClickedOtherArea();
    void hidePopupWidget();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    QColor m_color;
    QButtonGroup *m_group = nullptr;
    QPointer<QWidget> m_anchor;
};
