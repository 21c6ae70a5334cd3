#pragma once

#include <QObject>

#include <memory>

class QWidget;
class NcFramelessHelperPrivate;

/// Gives frameless top-level windows what a native frame would: dragging with the left mouse
/// button and resizing at a 10-pixel border with the matching resize cursors.
///
/// Usage: create the helper with the window as parent (so it lives as long as the window), set the
/// two options, attach the window. Attaching makes the window frameless and installs the helper
/// as its event filter; the filter never swallows an event. Destroying the helper gives every
/// attached window its original flags and attributes back. GUI thread only.
class NcFramelessHelper : public QObject
{
    Q_OBJECT
public:
    explicit NcFramelessHelper(QObject *parent = nullptr);
    ~NcFramelessHelper() override;

    /// Attaches a window; attaching it again only refreshes the cursor shown off the borders.
    void attachWidget(QWidget *widget);
    /// Dragging moves the window (default true); takes effect with the next mouse event.
    void setMovable(bool movable);
    /// Dragging a border resizes the window and hovering it shows resize cursors (default true).
    void setResizable(bool resizable);

    bool isMovable() const;
    bool isResizable() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<NcFramelessHelperPrivate> d;
};
