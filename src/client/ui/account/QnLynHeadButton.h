#pragma once

#include <QPixmap>
#include <QPushButton>

/// The round head-picture button: the picture clipped to a disc of the set diameter (drawn from the
/// top-left corner) over a faint light disc filling the button. Without a picture it paints
/// nothing. Clicks are ordinary QPushButton clicks. GUI thread only.
class QnLynHeadButton : public QPushButton
{
    Q_OBJECT
public:
    explicit QnLynHeadButton(QWidget *parent = nullptr);

    /// Loads the picture file (format from the file) and repaints; an unreadable file leaves no picture.
    void loadHeadImage(const QString &path);
    /// The picture's diameter in pixels (callers pass the button's width); no repaint of its own.
    void setHeadWidth(int diameter) { m_diameter = diameter; }
    /// Same as setHeadWidth.
    void setHeadDiameter(int diameter) { setHeadWidth(diameter); }

    int headWidth() const { return m_diameter; }
    bool hasHeadImage() const { return !m_image.isNull(); }

Q_SIGNALS:
    void sigPath(QString path);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_image;
    int m_diameter = 100;
};
