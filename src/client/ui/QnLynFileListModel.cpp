#include "client/ui/QnLynFileListModel.h"

QnLynFileListModel::QnLynFileListModel(QObject *parent) : QAbstractListModel(parent) {}

QnLynFileListModel::~QnLynFileListModel()
{
    qDeleteAll(m_rows);
}

int QnLynFileListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant QnLynFileListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() < 0 || index.row() >= m_rows.size())
        return QVariant();
    return QVariant::fromValue(static_cast<qlonglong>(reinterpret_cast<quintptr>(m_rows.at(index.row()))));
}

QnLynFileItem *QnLynFileListModel::itemFromValue(const QVariant &value)
{
    bool ok = false;
    const qlonglong address = value.toLongLong(&ok);
    if (!ok || address == 0)
        return nullptr;
    return reinterpret_cast<QnLynFileItem *>(static_cast<quintptr>(address));
}

void QnLynFileListModel::addItem(QnLynFileItem *item)
{
    if (!item)
        return;
    const int n = m_rows.size();
    beginInsertRows(QModelIndex(), n, n);
    const QString path = item->fileInfo.filePath();
    for (const QnLynFileItem &c : qAsConst(m_checked)) {
        if (c.fileInfo.filePath() == path) {
            item->checked = true;
            break;
        }
    }
    m_rows.append(item);
    endInsertRows();
}

void QnLynFileListModel::clearItems()
{
    if (m_rows.isEmpty())
        return;
    beginRemoveRows(QModelIndex(), 0, m_rows.size() - 1);
    qDeleteAll(m_rows);
    m_rows.clear();
    endRemoveRows();
}

void QnLynFileListModel::removeItem(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const QString path = m_rows.at(row)->fileInfo.filePath();
    for (int i = 0; i < m_checked.size(); ++i) {
        if (m_checked.at(i).fileInfo.filePath() == path) {
            m_checked.remove(i);
            break;
        }
    }
    beginRemoveRows(QModelIndex(), row, row);
    delete m_rows.takeAt(row);
    endRemoveRows();
}

QnLynFileItem QnLynFileListModel::itemAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return QnLynFileItem();
    return *m_rows.at(row);
}

QStringList QnLynFileListModel::checkedFilePaths() const
{
    QStringList paths;
    for (const QnLynFileItem &c : m_checked)
        paths << c.fileInfo.filePath();
    return paths;
}

void QnLynFileListModel::checkAll()
{
    m_checked.clear();
    for (QnLynFileItem *item : qAsConst(m_rows)) {
        item->checked = true;
        m_checked.append(*item);
    }
    emit dataChanged(index(0), index(0));
}
