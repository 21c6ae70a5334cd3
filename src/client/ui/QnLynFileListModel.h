#pragma once

#include <QAbstractListModel>
#include <QFileInfo>
#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QVector>

/// One row of the file list.
struct QnLynFileItem
{
    bool checked = false;       ///< set by checkAll, or by addItem when the path was checked before
    bool openPressed = false;   ///< a press in the open zone is in progress
    bool deletePressed = false; ///< a press on the delete icon is in progress
    QFileInfo fileInfo;
    QString text;
    QPixmap thumbnail; ///< the picture of an image file, null otherwise
    qint32 state = 0;
    QString name; ///< the shown name: the file name with its suffix
};

/// The rows of the file list. Owns the items handed to addItem. The display role holds the address
/// of the row's item as a qlonglong; it stays valid while the row exists. GUI thread only.
class QnLynFileListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit QnLynFileListModel(QObject *parent = nullptr);
    ~QnLynFileListModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    /// Appends item (ownership taken); it comes back checked when its path is in the checked list.
    void addItem(QnLynFileItem *item);
    /// Removes every row; the checked list is kept.
    void clearItems();
    /// Removes row (and its first entry in the checked list); a row out of range changes nothing.
    void removeItem(int row);
    /// A copy of the row's item, or a default item for a row out of range.
    QnLynFileItem itemAt(int row) const;
    /// The paths of the checked list, in the order they were checked.
    QStringList checkedFilePaths() const;
    /// Checks every row; the checked list becomes all rows in order.
    void checkAll();

    /// The item a display value points at (null for an invalid value).
    static QnLynFileItem *itemFromValue(const QVariant &value);

private:
    QVector<QnLynFileItem *> m_rows;
    QVector<QnLynFileItem> m_checked;
};
