#pragma once

#include <QRect>
#include <QSize>
#include <QStyledItemDelegate>

struct QnLynFileItem;

/// The areas of one file row, from the row rectangle's top-left corner (x, y).
struct QnLynFileRowZones
{
    QRect check; ///< (x + 10, y + 19, 10, 10): release emits clickedCheck
    QRect icon;  ///< (x + 14, y + 10, 32, 39): the type icon
    QRect name;  ///< (x + 72, y + 20, 175, 20): release emits openItem
    QRect open;  ///< (x + 635, y + 16, 16, 16): outside a 319-pixel row, never hit
    QRect del;   ///< (x + 247, y + 17, 17, 17): release emits delItem

    static QnLynFileRowZones forRow(const QRect &row);
};

/// Draws the rows of QnLynFileListModel (type icon or thumbnail square, name, delete icon) and
/// turns presses and releases in their zones into signals. Takes every mouse event of a valid row.
/// GUI thread only.
class QnLynFileListDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit QnLynFileListDelegate(QObject *parent = nullptr);
    ~QnLynFileListDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    /// The delete icon of every row: ":/img/delfile.svg".
    static QString deleteIconPath();

signals:
    void clickedCheck(int row);
    void openItem(int row);
    void delItem(int row);

private:
    QSize m_rowSize{319, 60};
};
