#include "client/ui/media/QnVideoLayouts.h"

#include "client/ui/media/QnVideoItem.h"

#include <QGridLayout>
#include <QMutexLocker>

#include <cmath>

QnVideoLayouts::QnVideoLayouts(QWidget *parent) : QWidget(parent), m_grid(new QGridLayout(this))
{
    setObjectName(QStringLiteral("QnVideoLayouts"));
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setSpacing(4);
}

QnVideoLayouts::~QnVideoLayouts() = default;

QnVideoItem *QnVideoLayouts::addItem(const QString &userId)
{
    int count = 0;
    QnVideoItem *tile = nullptr;
    {
        QMutexLocker locker(&m_mutex);
        if (QnVideoItem *existing = m_items.value(userId))
            return existing;
        tile = new QnVideoItem(userId, this);
        m_items.insert(userId, tile);
        count = m_items.size();
    }
    connect(tile, &QnVideoItem::disconnectItem, this, &QnVideoLayouts::closeItem);
    connect(tile, &QnVideoItem::closeAllItems, this, &QnVideoLayouts::closeAllItems);
    connect(tile, &QnVideoItem::sendMediaData, this, &QnVideoLayouts::sendMediaData);
    connect(tile, &QnVideoItem::stopMedia, this, &QnVideoLayouts::stopMedia);
    connect(tile, &QnVideoItem::fullItem, this,
            [this](const QString &, bool isFull) { emit existsFullScreenPlayer(isFull); });
    relayout();
    emit updateForScreenCount(count);
    return tile;
}

bool QnVideoLayouts::removeItem(const QString &userId)
{
    QPointer<QnVideoItem> tile;
    int count = 0;
    {
        QMutexLocker locker(&m_mutex);
        tile = m_items.take(userId);
        count = m_items.size();
    }
    if (!tile)
        return false;
    m_grid->removeWidget(tile);
    delete tile.data();
    relayout();
    emit updateForScreenCount(count);
    return true;
}

QnVideoItem *QnVideoLayouts::item(const QString &userId) const
{
    QMutexLocker locker(&m_mutex);
    return m_items.value(userId);
}

int QnVideoLayouts::itemCount() const
{
    QMutexLocker locker(&m_mutex);
    return m_items.size();
}

void QnVideoLayouts::setYuvData(const QString &userId, const QByteArray &data, int width, int height)
{
    QMutexLocker locker(&m_mutex);
    if (QnVideoItem *tile = m_items.value(userId))
        tile->setYuvData(data, width, height);
}

void QnVideoLayouts::playVideo(const QString &userId, const QString &videoPath)
{
    QMutexLocker locker(&m_mutex);
    if (QnVideoItem *tile = m_items.value(userId))
        tile->setPlayVideo(videoPath);
}

void QnVideoLayouts::mediaChanged(const QString &userId, const QByteArray &data)
{
    QPointer<QnVideoItem> tile;
    {
        QMutexLocker locker(&m_mutex);
        tile = m_items.value(userId);
    }
    // Outside the lock: a command may make the tile raise signals that lead back here.
    if (tile)
        tile->setMediaChangedData(data);
}

void QnVideoLayouts::relayout()
{
    QList<QPointer<QnVideoItem>> tiles;
    {
        QMutexLocker locker(&m_mutex);
        tiles = m_items.values();
    }
    for (const auto &tile : tiles)
        m_grid->removeWidget(tile);
    const int columns = std::max(1, int(std::ceil(std::sqrt(double(tiles.size())))));
    int i = 0;
    for (const auto &tile : tiles) {
        if (tile)
            m_grid->addWidget(tile, i / columns, i % columns);
        ++i;
    }
}
