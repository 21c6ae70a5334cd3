#pragma once

#include <QList>
#include <QPixmap>
#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QPropertyAnimation;
class QTimer;

/// A picture carousel with rounded left corners: cross-fades to the next picture every 3000 ms once
/// its timer runs, and opens the link of the current picture on a click. GUI thread only.
class BannerWidget : public QWidget
{
    Q_OBJECT
public:
    explicit BannerWidget(QWidget *parent = nullptr);
    ~BannerWidget() override;

    /// Renders the picture at twice the banner's current size: size the banner first.
    void addImage(const QString &path);
    void setLinks(const QStringList &links) { m_links = links; }
    /// Indicator buttons, one per picture by index (not owned).
    void setIndicators(const QList<QAbstractButton *> &buttons) { m_indicators = buttons; }

    int currentIndex() const { return m_currentIndex; }
    int imageCount() const { return m_images.size(); }
    QTimer *switchTimer() const { return m_timer; }
    QPropertyAnimation *fadeAnimation() const { return m_animation; }
    const QPixmap &outgoingPicture() const { return m_outgoing; }
    const QPixmap &incomingPicture() const { return m_incoming; }

public Q_SLOTS:
    void onImageChangeTimeout();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    int m_fadeMs = 1000;
    int m_switchMs = 3000;
    QList<QPixmap> m_images;
    QStringList m_links;
    QTimer *m_timer; // child
    int m_currentIndex = 0;
    QPixmap m_outgoing;
    QPixmap m_incoming;
    QPropertyAnimation *m_animation; // owned, no parent
    QList<QAbstractButton *> m_indicators;
};
