#include "client/videomodel/QnLynVideoModel.h"

QnLynVideoModel::QnLynVideoModel(QObject *parent) : QAbstractListModel(parent) {}

int QnLynVideoModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_items.size();
}

QVariant QnLynVideoModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.parent().isValid() || index.column() != 0 || index.row() < 0 ||
        index.row() >= m_items.size())
        return {};
    const QnLynVideoItem &item = m_items.at(index.row());
    switch (role) {
    case IdRole:
        return item.id;
    case NameRole:
        return item.name;
    case TypeRole:
        return item.type;
    case RotateRole:
        return item.rotate;
    case FullRole:
        return item.full;
    case ExtraFlagRole:
        return item.extraFlag;
    case DesktopRole:
        return item.desktop;
    case WidthRole:
        return item.width;
    case HeightRole:
        return item.height;
    default:
        return {};
    }
}

QHash<int, QByteArray> QnLynVideoModel::roleNames() const
{
    return {{IdRole, "vID"},     {NameRole, "vName"},   {TypeRole, "vType"},    {RotateRole, "vRotate"},
            {FullRole, "vFull"}, {WidthRole, "vWidth"}, {HeightRole, "vHeight"}};
}

void QnLynVideoModel::addItem(const QnLynVideoItem &item)
{
    for (const QnLynVideoItem &existing : qAsConst(m_items)) {
        if (existing.id == item.id)
            return;
    }
    const int row = m_items.size();
    beginInsertRows(QModelIndex(), row, row);
    m_items.append(item);
    endInsertRows();
}

void QnLynVideoModel::removeItem(const QString &id)
{
    for (int row = 0; row < m_items.size(); ++row) {
        if (m_items.at(row).id == id) {
            beginRemoveRows(QModelIndex(), row, row);
            m_items.removeAt(row);
            endRemoveRows();
            return;
        }
    }
}
