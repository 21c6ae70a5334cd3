#pragma once

#include <QDialog>
#include <QImage>

class ImageClipHelper;
class QLabel;
class QToolButton;

/// The modal avatar-crop dialog: the caller runs initUI, setImage, fixes the size, exec()s it and
/// on acceptance takes clippedImage(). A picture that does not load is refused: a message shows in
/// the crop area and OK stays disabled.
class QnImageClip : public QDialog
{
    Q_OBJECT
public:
    explicit QnImageClip(QWidget *parent = nullptr);

    void initUI();
    /// False (with the message shown) when the picture does not load; false before initUI.
    bool setImage(const QString &path);
    QImage clippedImage() const;
    ImageClipHelper *clipArea() const { return m_clip; }

private:
    ImageClipHelper *m_clip = nullptr; // child, made by initUI
    QLabel *m_refused = nullptr;       // child, made by initUI
    QToolButton *m_ok = nullptr;       // child, made by initUI
};
