#pragma once

#include <QDialog>
#include <QImage>

#include <functional>

/// The outcome of the crop step of a head-picture change.
struct QnHeadCropResult
{
    bool accepted = false; ///< the user confirmed the crop
    QImage image;          ///< the cropped picture (may be null when the crop failed)
};

/// Runs the crop step modally over a picture file (parent: the page asking).
using QnHeadCropStep = std::function<QnHeadCropResult(QWidget *parent, const QString &file)>;

/// The program's crop step: the login library's crop dialog QnImageClip (initUI, setImage, fixed
/// at 610 x 480, exec, clippedImage) where that library has it, else QnHeadCropDialog. The backend
/// is chosen by CMake.
QnHeadCropResult runHeadCropStep(QWidget *parent, const QString &file);

/// The crop dialog the personal centre uses: the picture fitted into the dialog with the largest
/// centred square marked; OK takes that square of the picture as loaded. 610 x 480, modal.
class QnHeadCropDialog : public QDialog
{
    Q_OBJECT
public:
    explicit QnHeadCropDialog(QWidget *parent = nullptr);

    /// Loads the picture; false (and a null picture) when the file is not one.
    bool setImage(const QString &file);
    /// The centred square of the picture; null without a picture.
    QImage clippedImage() const;
    /// The largest centred square of a size.
    static QRect centredSquare(const QSize &size);

    /// The default crop step: this dialog run with exec().
    static QnHeadCropResult run(QWidget *parent, const QString &file);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect pictureArea() const;

    QImage m_image;
};
