#include "client/ui/account/QnHeadImageCrop.h"

#include "client/ui/account/QnAccountForm.h"

#include <QHBoxLayout>
#include <QImageReader>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

QnHeadCropDialog::QnHeadCropDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("QnHeadCropDialog"));
    setWindowTitle(QStringLiteral("Dialog"));
    setFixedSize(610, 480);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(20, 20, 20, 20);
    v->addStretch(1);
    auto *row = new QHBoxLayout;
    auto *cancel =
        QnAccountForm::button(this, "cancelBtn", QStringLiteral("取消"), QnAccountForm::outlineButtonStyle());
    cancel->setFixedSize(121, 40);
    auto *ok =
        QnAccountForm::button(this, "okBtn", QStringLiteral("确定"), QnAccountForm::accentButtonStyle(6));
    ok->setFixedSize(121, 40);
    row->addStretch(1);
    row->addWidget(cancel);
    row->addSpacing(30);
    row->addWidget(ok);
    row->addStretch(1);
    v->addLayout(row);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

bool QnHeadCropDialog::setImage(const QString &file)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    m_image = reader.read();
    update();
    return !m_image.isNull();
}

QRect QnHeadCropDialog::centredSquare(const QSize &size)
{
    const int side = qMin(size.width(), size.height());
    return QRect((size.width() - side) / 2, (size.height() - side) / 2, side, side);
}

QImage QnHeadCropDialog::clippedImage() const
{
    if (m_image.isNull())
        return QImage();
    return m_image.copy(centredSquare(m_image.size()));
}

QRect QnHeadCropDialog::pictureArea() const
{
    const QRect area(20, 20, width() - 40, height() - 100);
    if (m_image.isNull())
        return area;
    const QSize fitted = m_image.size().scaled(area.size(), Qt::KeepAspectRatio);
    return QRect(area.x() + (area.width() - fitted.width()) / 2,
                 area.y() + (area.height() - fitted.height()) / 2, fitted.width(), fitted.height());
}

void QnHeadCropDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), QColor(0x33, 0x33, 0x33));
    if (m_image.isNull())
        return;
    const QRect area = pictureArea();
    painter.drawImage(area, m_image);
    QRect square = centredSquare(area.size());
    square.translate(area.topLeft());
    QPainterPath outside;
    outside.addRect(area);
    QPainterPath inside;
    inside.addRect(square);
    painter.fillPath(outside.subtracted(inside), QColor(0, 0, 0, 128));
    painter.setPen(QPen(QColor(0xDE, 0x6F, 0x6F), 2));
    painter.drawRect(square.adjusted(1, 1, -1, -1));
}

QnHeadCropResult QnHeadCropDialog::run(QWidget *parent, const QString &file)
{
    QnHeadCropDialog dialog(parent);
    dialog.setImage(file);
    QnHeadCropResult result;
    result.accepted = dialog.exec() == QDialog::Accepted;
    if (result.accepted)
        result.image = dialog.clippedImage();
    return result;
}
