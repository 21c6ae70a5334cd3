#pragma once

#include <QColor>
#include <QGraphicsView>

class QnGraphicsScene;

/// The board view. It owns its QnGraphicsScene (made in the constructor, deleted with the view).
///
/// Stylus 0 (pen): left-button input goes to the scene's engines as press / move / release in scene
/// coordinates with input point id 0; items are not moved. Stylus 3 (select): the usual selection
/// and dragging of items, and the Delete key takes the selected board items off the board (each
/// reported to the engines, each one undo command).
///
/// The scene's origin stays at the view's top-left corner and the scene rectangle follows the
/// viewport's size (see QnBoardWire.h). Works as a top-level window and after re-parenting.
class QnGraphicsView : public QGraphicsView
{
    Q_OBJECT
public:
    explicit QnGraphicsView(QWidget *parent = nullptr);
    ~QnGraphicsView() override;

    QnGraphicsScene *qnScene() const { return m_scene; }

    void setStylus(int stylus);
    int stylus() const { return m_stylus; }

    /// The colour that fills the view when isBackColor is on (alpha kept: 0 is fully transparent).
    void setBackColor(const QColor &color);
    QColor getBackColor() const { return m_backColor; }
    void setIsBackColor(bool on);
    bool isBackColor() const { return m_isBackColor; }

protected:
    void drawBackground(QPainter *painter, const QRectF &rect) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QPointF toScene(const QPointF &viewportPos) const;

    QnGraphicsScene *m_scene;
    int m_stylus;
    QColor m_backColor{0, 0, 0, 0};
    bool m_isBackColor = false;
    bool m_penDown = false;
};
