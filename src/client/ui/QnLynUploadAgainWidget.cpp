#include "client/ui/QnLynUploadAgainWidget.h"

#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnLynFileListDelegate.h"
#include "client/ui/QnLynFileListModel.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScroller>
#include <QVBoxLayout>

namespace {

const char *const kPageStyle =
    "QScrollBar:vertical{\n\twidth: 8px;\n\tbackground: #F4F4F4;\n\tpadding-top: 2px;\n\tpadding-bottom: "
    "2px;\n}\n"
    "QScrollBar::handle:vertical{\n\tbackground: rgba(0,0,0,25%);\n\tborder-radius: 4px;\n\tmin-height: "
    "20px;\n}\n"
    "QScrollBar::handle:vertical:hover{\n\tbackground: rgba(0,0,0,50%);\n}\n"
    "QScrollBar::sub-line:vertical{\n\theight: 9px;\n\tsubcontrol-position: top;\n"
    "\tborder-image: url(:/images/a/1.png);\n}\n"
    "QScrollBar::sub-line:vertical:hover{\n\tborder-image: url(:/images/a/2.png);\n}\n"
    "QScrollBar::add-line:vertical{\n\theight: 9px;\n\tsubcontrol-position: bottom;\n"
    "\tborder-image: url(:/images/a/3.png);\n}\n"
    "QScrollBar::add-line:vertical:hover{\n\tborder-image: url(:/images/a/4.png);\n}\n"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical{\n\tbackground: #F4F4F4;\n"
    "\tborder-radius: 4px;\n}\n"
    "#uploadframe{\n\tbackground: #FFFFFF;\n\tborder-radius: 4px;\n}\n";

} // namespace

QnLynUploadAgainWidget::QnLynUploadAgainWidget(QWidget *parent)
    : QWidget(parent), m_delegate(new QnLynFileListDelegate(nullptr))
{
    setObjectName(QStringLiteral("QnLynUploadAgainWidget"));
    resize(350, 340);
    setStyleSheet(QLatin1String(kPageStyle));
    setWindowTitle(tr("upload"));

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *uploadframe = new QFrame(this);
    uploadframe->setObjectName(QStringLiteral("uploadframe"));
    outer->addWidget(uploadframe);
    auto *frameLayout = new QVBoxLayout(uploadframe);
    frameLayout->setContentsMargins(0, 6, 0, 14);
    frameLayout->setSpacing(6);

    auto *titleRow = new QWidget(uploadframe);
    titleRow->setObjectName(QStringLiteral("widget"));
    auto *titleLayout = new QHBoxLayout(titleRow);
    titleLayout->setContentsMargins(6, 0, 12, 0);
    titleLayout->setSpacing(0);
    titleLayout->addSpacerItem(new QSpacerItem(9, 20, QSizePolicy::Fixed, QSizePolicy::Minimum));
    auto *label = new QLabel(QStringLiteral("上传失败"), titleRow);
    label->setObjectName(QStringLiteral("label"));
    label->setStyleSheet(QStringLiteral("font-size: 12px;\ncolor: #333333;"));
    titleLayout->addWidget(label);
    titleLayout->addStretch(1);
    auto *closeBtn = new QPushButton(titleRow);
    closeBtn->setObjectName(QStringLiteral("ucloseBtn"));
    closeBtn->setFixedSize(12, 12);
    closeBtn->setStyleSheet(
        QStringLiteral("QPushButton{\n\tborder: 0px;\n\tborder-image: url(:/img/close.svg);\n}\n"
                       "QPushButton:pressed{\n\tborder-image: url(:/img/close_press.svg);\n}"));
    titleLayout->addWidget(closeBtn);
    frameLayout->addWidget(titleRow);

    auto *uploadAgainframe = new QFrame(uploadframe);
    uploadAgainframe->setObjectName(QStringLiteral("uploadAgainframe"));
    auto *listLayout = new QHBoxLayout(uploadAgainframe);
    listLayout->setContentsMargins(0, 0, 0, 0);
    m_listView = new QListView(uploadAgainframe);
    m_listView->setObjectName(QStringLiteral("listView"));
    m_listView->setFixedSize(319, 245);
    m_listView->setFrameShape(QFrame::NoFrame);
    m_listView->setStyleSheet(QStringLiteral("#listView{\n\tbackground: #F4F4F4;\n\tborder-radius: 4px;\n}"));
    listLayout->addWidget(m_listView, 0, Qt::AlignHCenter);
    frameLayout->addWidget(uploadAgainframe);

    auto *uploadBtn = new QPushButton(QStringLiteral("重新上传"), uploadframe);
    uploadBtn->setObjectName(QStringLiteral("uploadBtn"));
    uploadBtn->setFixedSize(80, 28);
    uploadBtn->setStyleSheet(QStringLiteral("QPushButton{\n\tfont-size: 12px;\n\tcolor: #FFFFFF;\n"
                                            "\tbackground: #DE6F6F;\n\tborder: 1px solid #DE6F6F;\n"
                                            "\tborder-radius: 4px;\n}"));
    frameLayout->addSpacing(4);
    frameLayout->addWidget(uploadBtn, 0, Qt::AlignHCenter);

    auto *helper = new NcFramelessHelper(this);
    helper->setMovable(false);
    helper->setResizable(false);
    helper->attachWidget(this);
    setAttribute(Qt::WA_TranslucentBackground, true);

    m_model = new QnLynFileListModel(m_listView);
    m_listView->setItemDelegate(m_delegate);
    m_listView->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_listView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QScroller::grabGesture(m_listView->viewport(), QScroller::LeftMouseButtonGesture);
    m_listView->setModel(m_model);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The delegate emits delItem last in its event handler and does not touch the row afterwards.
    connect(m_delegate, &QnLynFileListDelegate::delItem, this, &QnLynUploadAgainWidget::deleteRow);

    QMetaObject::connectSlotsByName(this);
}

QnLynUploadAgainWidget::~QnLynUploadAgainWidget()
{
    m_listView->setItemDelegate(nullptr);
    delete m_delegate;
}

void QnLynUploadAgainWidget::setFiles(const QStringList &files)
{
    setFiles(files, QnLynFileKind::kindOf(files));
}

void QnLynUploadAgainWidget::setFiles(const QStringList &files, QnLynUploadKind kind)
{
    m_kind = kind;
    m_model->clearItems();
    for (const QString &path : files) {
        const QFileInfo info(path);
        if (info.baseName().isEmpty())
            continue;
        QPixmap thumbnail;
        if (QnLynFileKind::isPicture(info))
            thumbnail.load(info.filePath());
        auto *item = new QnLynFileItem;
        item->fileInfo = info;
        item->thumbnail = thumbnail;
        item->name = info.fileName();
        m_model->addItem(item);
    }
}

void QnLynUploadAgainWidget::deleteRow(int row)
{
    m_model->removeItem(row);
    if (m_model->rowCount() < 1)
        hide();
}

void QnLynUploadAgainWidget::on_uploadBtn_clicked()
{
    m_model->checkAll();
    emit uploadFiles(m_model->checkedFilePaths(), m_kind == QnLynUploadKind::Picture);
    close();
}

void QnLynUploadAgainWidget::on_ucloseBtn_clicked()
{
    close();
}
