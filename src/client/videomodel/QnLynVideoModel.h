#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

/// One received video as the function page lists it. Plain value.
struct QnLynVideoItem
{
    QString id;   ///< the sending peer's user id (the key)
    QString name; ///< the peer's nick name
    int type = 1;
    int rotate = 0;
    bool full = false;
    bool extraFlag = false; ///< readable by role, not named for QML
    bool desktop = false;   ///< true for desktop sync, false for the receiver's own mirroring
    int width = -1;
    int height = -1;
    bool spareFlag = false; ///< not exposed
};

/// List of the videos the PC is receiving, for the QML function page. GUI thread only.
/// Roles start after Qt::UserRole so that views and delegates that read the standard roles
/// (display, font, alignment, colours) are not handed these fields.
class QnLynVideoModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1, ///< "vID", QString
        NameRole,                  ///< "vName", QString
        TypeRole,                  ///< "vType", int
        RotateRole,                ///< "vRotate", int
        FullRole,                  ///< "vFull", bool
        ExtraFlagRole,             ///< no name, bool
        DesktopRole,               ///< no name, bool
        WidthRole,                 ///< "vWidth", int
        HeightRole,                ///< "vHeight", int
    };

    explicit QnLynVideoModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    /// Appends a copy unless an entry with the same id is listed (then nothing changes).
    void addItem(const QnLynVideoItem &item);
    /// Removes the first entry with this id; nothing (and no model signal) when none.
    void removeItem(const QString &id);

private:
    QList<QnLynVideoItem> m_items;
};
