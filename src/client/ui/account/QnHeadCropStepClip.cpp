// Crop step backend: the login library's avatar crop dialog.
#include "client/ui/account/QnHeadImageCrop.h"

#include "qnloginbase/src/UI/QnImageClip.h"

QnHeadCropResult runHeadCropStep(QWidget *parent, const QString &file)
{
    QnImageClip clip(parent);
    clip.initUI();
    clip.setImage(file);
    clip.setFixedSize(610, 480);
    QnHeadCropResult result;
    result.accepted = clip.exec() == QDialog::Accepted;
    if (result.accepted)
        result.image = clip.clippedImage();
    return result;
}
