#pragma once

#include <QColor>
#include <QWidget>

class QButtonGroup;
class QPushButton;
class QnLynPenTool;

/// The annotation tool bar at the right edge of the desktop-sync video: hide/show, then select,
/// pen, clear, undo and redo. It only emits signals; its owner turns them into pen-overlay
/// operations. The pen palette is a popup window parented to the tool bar's grandparent.
/// GUI thread only.
class QnLynDesktopTool : public QWidget
{
    Q_OBJECT
public:
    explicit QnLynDesktopTool(QWidget *parent = nullptr);

    /// Select mode, collapsed bar, default pen colour: the state for the next connection.
    void reset();

    QnLynPenTool *penTool() const { return m_penTool; }

signals:
    void sigSelect();
    void sigPen(QColor color);
    void sigClear();
    void sigUndo();
    void sigRedo();

private slots:
    void on_selectButton_clicked();
    void on_penButton_clicked();
    void on_clearButton_clicked();
    void on_undoButton_clicked();
    void on_redoButton_clicked();
    void on_hideButton_clicked();

private:
    void syncToolVisibility();

    QPushButton *m_hide = nullptr;
    QWidget *m_toolWidget = nullptr;
    QPushButton *m_select = nullptr;
    QPushButton *m_pen = nullptr;
    QButtonGroup *m_group = nullptr;
    QnLynPenTool *m_penTool = nullptr;
};
