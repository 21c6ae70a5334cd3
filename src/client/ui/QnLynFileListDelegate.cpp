#include "client/ui/QnLynFileListDelegate.h"

#include "client/ui/QnLynFileKind.h"
#include "client/ui/QnLynFileListModel.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>

QnLynFileRowZones QnLynFileRowZones::forRow(const QRect &row)
{
    const int x = row.x();
    const int y = row.y();
    QnLynFileRowZones z;
    z.check = QRect(x + 10, y + 19, 10, 10);
    z.icon = QRect(x + 14, y + 10, 32, 39);
    z.name = QRect(x + 72, y + 20, 175, 20);
    z.open = QRect(x + 635, y + 16, 16, 16);
    z.del = QRect(x + 247, y + 17, 17, 17);
    return z;
}

QnLynFileListDelegate::QnLynFileListDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

QnLynFileListDelegate::~QnLynFileListDelegate() = default;

QString QnLynFileListDelegate::deleteIconPath()
{
    return QStringLiteral(":/img/delfile.svg");
}

QSize QnLynFileListDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return m_rowSize;
}

void QnLynFileListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    if (!index.isValid())
        return;
    QnLynFileItem *item = QnLynFileListModel::itemFromValue(index.data(Qt::DisplayRole));
    if (!item)
        return;
    painter->save();
    painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    QnLynFileRowZones zones = QnLynFileRowZones::forRow(option.rect);
    const int x = option.rect.x();
    const int y = option.rect.y();

    const QnLynFileType type = QnLynFileKind::typeOf(item->fileInfo);
    const QString icon = QnLynFileKind::iconPath(type);
    if (type == QnLynFileType::Image) {
        painter->setPen(Qt::NoPen);
        painter->fillRect(QRect(x + 14, y + 5, 50, 50), QColor(QStringLiteral("#BFBFBF")));
        if (!item->thumbnail.isNull())
            painter->drawPixmap(QRect(x + 14, y + 14, 50, 33), item->thumbnail);
    }
    if (!icon.isEmpty()) {
        QSvgRenderer renderer(icon);
        renderer.render(painter, zones.icon);
    }

    painter->setPen(QColor(QStringLiteral("#333333")));
    QFont font;
    font.setPixelSize(12);
    painter->setFont(font);
    const QString text = QnLynFileKind::shownName(item->name);
    zones.name.setWidth(QFontMetrics(font).horizontalAdvance(text));
    painter->drawText(zones.name, Qt::AlignLeft | Qt::AlignVCenter, text);

    QSvgRenderer del(deleteIconPath());
    del.render(painter, zones.del);
    painter->restore();
}

bool QnLynFileListDelegate::editorEvent(QEvent *event, QAbstractItemModel *,
                                        const QStyleOptionViewItem &option, const QModelIndex &index)
{
    if (!index.isValid())
        return false;
    QnLynFileItem *item = QnLynFileListModel::itemFromValue(index.data(Qt::DisplayRole));
    if (!item)
        return false;
    const QnLynFileRowZones zones = QnLynFileRowZones::forRow(option.rect);
    const int row = index.row();
    if (event->type() == QEvent::MouseButtonPress) {
        const QPoint p = static_cast<QMouseEvent *>(event)->pos();
        if (zones.open.contains(p))
            item->openPressed = true;
        if (zones.del.contains(p))
            item->deletePressed = true;
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const QPoint p = static_cast<QMouseEvent *>(event)->pos();
        if (zones.check.contains(p)) {
            emit clickedCheck(row);
        } else if (zones.open.contains(p)) {
            item->openPressed = false;
            emit openItem(row);
        } else if (zones.name.contains(p)) {
            emit openItem(row);
        } else if (zones.del.contains(p)) {
            item->deletePressed = false;
            emit delItem(row); // may remove the row: the item is not touched afterwards
        }
    }
    return true;
}
