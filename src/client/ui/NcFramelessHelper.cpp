#include "client/ui/NcFramelessHelper.h"

#include "client/ui/NcFramelessGeometry.h"

#include <QCursor>
#include <QHash>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QRubberBand>
#include <QWidget>

namespace {

struct HelperOptions
{
    bool movable = true;
    bool resizable = true;
    bool rubberBandOnResize = false;
    bool rubberBandOnMove = false;
    bool globalCoordinates = true;
    QCursor cursor;
};

// One attached window. Owned by the helper's table.
struct WidgetRecord
{
    const HelperOptions *options = nullptr;
    std::unique_ptr<QRubberBand> rubberBand;
    bool pressed = false;
    QPointer<QWidget> widget;
    QPoint dragOffset;
    NcEdgeZones pressZones;
    NcEdgeZones hoverZones;
    bool cursorChanged = false;
    Qt::WindowFlags originalFlags;
    bool globalCoordinates = true;
    QCursor restoreCursor;

    QPoint pointOf(const QMouseEvent *e) const
    {
        if (globalCoordinates)
            return e->globalPos();
        return widget->mapToParent(e->pos());
    }

    void updateCursor(const QPoint &p)
    {
        if (widget->isFullScreen() || widget->isMaximized()) {
            if (cursorChanged)
                widget->unsetCursor();
            return;
        }
        hoverZones = NcFrameless::edgeZones(p, widget->frameGeometry());
        const Qt::CursorShape shape = NcFrameless::cursorShape(hoverZones);
        if (shape != Qt::ArrowCursor) {
            widget->setCursor(shape);
            cursorChanged = true;
            return;
        }
        if (cursorChanged) {
            widget->unsetCursor();
            cursorChanged = false;
        }
        widget->setCursor(restoreCursor);
    }

    void press(const QMouseEvent *e)
    {
        pressed = true;
        const QRect frame = widget->frameGeometry();
        pressZones = NcFrameless::edgeZones(pointOf(e), frame);
        dragOffset = e->globalPos() - frame.topLeft();
        if (!rubberBand)
            return;
        const bool applies = pressZones.onEdges ? options->rubberBandOnResize : options->rubberBandOnMove;
        if (applies) {
            rubberBand->setGeometry(frame);
            rubberBand->show();
        }
    }

    void released()
    {
        pressed = false;
        pressZones = NcEdgeZones();
        if (rubberBand && rubberBand->isVisible()) {
            rubberBand->hide();
            widget->setGeometry(rubberBand->geometry());
        }
    }

    void moveTo(const QPoint &global)
    {
        const QPoint target = global - dragOffset;
        if (options->rubberBandOnMove && rubberBand)
            rubberBand->move(target);
        else
            widget->move(target);
    }

    void resizeTo(const QPoint &p)
    {
        const bool band = options->rubberBandOnResize && rubberBand;
        const QRect frame = band ? rubberBand->frameGeometry() : widget->frameGeometry();
        const auto r = NcFrameless::resized(frame, pressZones, p, widget->minimumSize());
        if (!r)
            return;
        if (band)
            rubberBand->setGeometry(*r);
        else
            widget->setGeometry(*r);
    }
};

} // namespace

class NcFramelessHelperPrivate
{
public:
    HelperOptions options;
    QHash<QWidget *, WidgetRecord *> widgets;
};

NcFramelessHelper::NcFramelessHelper(QObject *parent)
    : QObject(parent), d(std::make_unique<NcFramelessHelperPrivate>())
{}

NcFramelessHelper::~NcFramelessHelper()
{
    const auto records = d->widgets;
    d->widgets.clear();
    for (WidgetRecord *rec : records) {
        if (QWidget *w = rec->widget) {
            w->removeEventFilter(this);
            const bool visible = w->isVisible();
            w->setAttribute(Qt::WA_MouseTracking, false);
            w->setWindowFlags(rec->originalFlags);
            w->setAttribute(Qt::WA_Hover, false);
            w->setVisible(visible);
        }
        delete rec;
    }
}

void NcFramelessHelper::attachWidget(QWidget *widget)
{
    if (!widget)
        return;
    if (WidgetRecord *existing = d->widgets.value(widget)) {
        existing->restoreCursor = d->options.cursor;
        return;
    }
    auto *rec = new WidgetRecord;
    rec->options = &d->options;
    rec->widget = widget;
    rec->originalFlags = widget->windowFlags();
    rec->globalCoordinates = d->options.globalCoordinates;
    rec->restoreCursor = d->options.cursor;

    const bool visible = widget->isVisible();
    widget->setAttribute(Qt::WA_MouseTracking, true);
    widget->setWindowFlags(rec->originalFlags | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint);
    widget->setAttribute(Qt::WA_Hover, true);
    if (d->options.rubberBandOnResize || d->options.rubberBandOnMove)
        rec->rubberBand = std::make_unique<QRubberBand>(QRubberBand::Rectangle);
    if (visible)
        widget->setVisible(true);

    d->widgets.insert(widget, rec);
    widget->installEventFilter(this);
    // A window destroyed before the helper leaves the table at once.
    connect(widget, &QObject::destroyed, this, [this, widget] { delete d->widgets.take(widget); });
}

void NcFramelessHelper::setMovable(bool movable)
{
    d->options.movable = movable;
}

void NcFramelessHelper::setResizable(bool resizable)
{
    d->options.resizable = resizable;
}

bool NcFramelessHelper::isMovable() const
{
    return d->options.movable;
}

bool NcFramelessHelper::isResizable() const
{
    return d->options.resizable;
}

bool NcFramelessHelper::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    WidgetRecord *rec = widget ? d->widgets.value(widget) : nullptr;
    if (!rec)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton)
            rec->press(e);
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (e->button() == Qt::LeftButton)
            rec->released();
        break;
    }
    case QEvent::MouseMove: {
        auto *e = static_cast<QMouseEvent *>(event);
        if (rec->pressed) {
            if (d->options.resizable && rec->pressZones.onEdges)
                rec->resizeTo(rec->pointOf(e));
            else if (d->options.movable)
                rec->moveTo(e->globalPos());
        } else if (d->options.resizable) {
            rec->updateCursor(rec->pointOf(e));
        }
        break;
    }
    case QEvent::Leave:
        if (!rec->pressed)
            widget->unsetCursor();
        break;
    case QEvent::HoverMove:
        if (d->options.resizable) {
            auto *e = static_cast<QHoverEvent *>(event);
            const QPoint p =
                rec->globalCoordinates ? widget->mapToGlobal(e->pos()) : widget->mapToParent(e->pos());
            rec->updateCursor(p);
        }
        break;
    default:
        break;
    }
    return false;
}
