// Crop step backend: the page's own centred-square crop dialog.
#include "client/ui/account/QnHeadImageCrop.h"

QnHeadCropResult runHeadCropStep(QWidget *parent, const QString &file)
{
    return QnHeadCropDialog::run(parent, file);
}
