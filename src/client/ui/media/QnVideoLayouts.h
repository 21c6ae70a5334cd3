#pragma once

#include <QByteArray>
#include <QMap>
#include <QMutex>
#include <QPointer>
#include <QString>
#include <QWidget>

class QGridLayout;
class QnVideoItem;

/// A grid of media tiles keyed by user id. The map is guarded by a mutex; the slots look a tile
/// up under the lock and forward to it (a user id without tile is ignored). Tiles are children of
/// this widget. GUI thread only (the lock keeps the map consistent for readers such as itemCount
/// called from queued slots).
class QnVideoLayouts : public QWidget
{
    Q_OBJECT
public:
    explicit QnVideoLayouts(QWidget *parent = nullptr);
    ~QnVideoLayouts() override;

    /// The tile of userId, made when missing.
    QnVideoItem *addItem(const QString &userId);
    /// Removes and deletes the tile of userId; false when there is none.
    bool removeItem(const QString &userId);
    QnVideoItem *item(const QString &userId) const;
    int itemCount() const;

public slots:
    void setYuvData(const QString &userId, const QByteArray &data, int width, int height);
    void playVideo(const QString &userId, const QString &videoPath);
    void mediaChanged(const QString &userId, const QByteArray &data);

signals:
    void closeAllItems();
    void closeItem(const QString &id);
    void sendMediaData(const QString &userId, const QByteArray &data);
    void stopMedia(const QString &userId, const QByteArray &data);
    void existsFullScreenPlayer(bool exists);
    void updateForScreenCount(int count);

private:
    void relayout();

    mutable QMutex m_mutex;
    QMap<QString, QPointer<QnVideoItem>> m_items;
    QGridLayout *m_grid = nullptr;
};
