// Shots of the window kit. Sample data only; nothing here touches the network.
#include "tests/screenshots/QnShooter.h"

#include "client/ui/QnAshWidget.h"
#include "client/ui/QnFloatTip.h"
#include "client/ui/QnLoadingWidget.h"
#include "client/ui/QnLynClientStartWidget.h"
#include "client/ui/QnLynConnectWaittingWidget.h"
#include "client/ui/QnLynDesktopTool.h"
#include "client/ui/QnLynFileListDelegate.h"
#include "client/ui/QnLynFileListModel.h"
#include "client/ui/QnLynPenTool.h"
#include "client/ui/QnLynPromptDialog.h"
#include "client/ui/QnLynUploadAgainWidget.h"
#include "client/ui/QnMessageDialog.h"

#include <QLabel>
#include <QLinearGradient>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <memory>

namespace {

// A light page standing in for the main sender window behind masks and overlays.
std::unique_ptr<QWidget> samplePage(const QSize &size)
{
    auto page = std::make_unique<QWidget>();
    page->setObjectName(QStringLiteral("samplePage"));
    page->setFixedSize(size);
    page->setStyleSheet(
        QStringLiteral("#samplePage{background:#F4F4F4;} QLabel{color:#333333;font-size:16px;}"
                       "QPushButton{font-size:14px;color:#FFFFFF;background:#DE6F6F;"
                       "border-radius:4px;padding:6px 18px;}"));
    auto *layout = new QVBoxLayout(page.get());
    layout->setContentsMargins(32, 28, 32, 28);
    layout->setSpacing(14);
    auto *title = new QLabel(QStringLiteral("接收端列表"), page.get());
    title->setStyleSheet(QStringLiteral("font-size:20px;"));
    layout->addWidget(title);
    for (const char *name : {"三年级二班 大屏", "物理实验室 投影", "多功能教室 左屏"}) {
        auto *row = new QLabel(QString::fromUtf8(name), page.get());
        row->setStyleSheet(QStringLiteral("background:#FFFFFF;border-radius:4px;padding:10px;"));
        layout->addWidget(row);
    }
    layout->addStretch(1);
    auto *connect = new QPushButton(QStringLiteral("连接"), page.get());
    layout->addWidget(connect, 0, Qt::AlignRight);
    return page;
}

// A stand-in for the receiver's desktop behind the annotation tool bar.
class SampleVideo : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        QLinearGradient g(0, 0, width(), height());
        g.setColorAt(0, QColor(0x2B, 0x4C, 0x6F));
        g.setColorAt(1, QColor(0x6A, 0x8C, 0xAF));
        p.fillRect(rect(), g);
        p.setPen(QColor(255, 255, 255, 200));
        QFont f(QStringLiteral("PingFang SC"));
        f.setPixelSize(28);
        p.setFont(f);
        p.drawText(rect().adjusted(60, 60, -60, -60), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("第三单元 课堂练习\n\n1. 计算 3/4 + 5/8\n2. 解方程 2x + 7 = 19"));
    }
};

// Draws widget's grab over base at the widget's global position relative to origin.
void overlay(QImage &base, const QPoint &origin, QWidget *widget)
{
    QPainter p(&base);
    p.drawImage(widget->mapToGlobal(QPoint(0, 0)) - origin, QnShooter::grab(widget));
}

void toastShots(QnShooter &s)
{
    if (s.wants(QStringLiteral("QnFloatTip-short"))) {
        QnFloatTip tip;
        tip.setText(QStringLiteral("连接成功"), false);
        s.shoot(QStringLiteral("QnFloatTip-short"), &tip);
    }
    if (s.wants(QStringLiteral("QnFloatTip-long"))) {
        QnFloatTip tip;
        tip.setText(QStringLiteral("网络异常，请检查网络后重试"), false);
        s.shoot(QStringLiteral("QnFloatTip-long"), &tip);
    }
    if (s.wants(QStringLiteral("QnFloatTip-wrapped"))) {
        QnFloatTip tip;
        tip.setText(QStringLiteral("文件上传失败，请确认接收端网络正常后重新上传"), true);
        s.shoot(QStringLiteral("QnFloatTip-wrapped"), &tip);
    }
}

void dialogShots(QnShooter &s)
{
    if (s.wants(QStringLiteral("QnMessageDialog-okCancel"))) {
        QnMessageDialog d;
        d.setup(QStringLiteral("接收端正在被其他用户投屏，是否继续连接？"), QStringLiteral("提示"), true,
                false);
        s.shoot(QStringLiteral("QnMessageDialog-okCancel"), &d);
    }
    if (s.wants(QStringLiteral("QnMessageDialog-okOnly"))) {
        QnMessageDialog d;
        d.setup(QStringLiteral("已有一个程序正在运行"), QStringLiteral("提示"), false, false);
        s.shoot(QStringLiteral("QnMessageDialog-okOnly"), &d);
    }
    if (s.wants(QStringLiteral("QnMessageDialog-withClose"))) {
        QnMessageDialog d;
        d.setup(QStringLiteral("确定要断开与接收端的连接吗？"), QStringLiteral("断开连接"), true, true);
        s.shoot(QStringLiteral("QnMessageDialog-withClose"), &d);
    }
    if (s.wants(QStringLiteral("QnLynPromptDialog-capNotice"))) {
        QnLynPromptDialog d;
        d.prepare(QStringLiteral("单次上传图片数量不超过9张"), QString());
        s.shoot(QStringLiteral("QnLynPromptDialog-capNotice"), &d);
    }
    if (s.wants(QStringLiteral("QnLynPromptDialog-desktopSync"))) {
        QnLynPromptDialog d;
        d.prepare(
            QStringLiteral("远程控制功能（桌面同步/鼠\n标遥控器）已被占用，请等\n待其他用户结束使用后重试"),
            QStringLiteral("桌面同步"));
        s.shoot(QStringLiteral("QnLynPromptDialog-desktopSync"), &d);
    }
}

void splashAndLoadingShots(QnShooter &s)
{
    if (s.wants(QStringLiteral("QnLynClientStartWidget-starting"))) {
        QnLynClientStartWidget splash;
        s.shoot(QStringLiteral("QnLynClientStartWidget-starting"), &splash);
    }
    if (s.wants(QStringLiteral("QnAshWidget-overPage"))) {
        auto page = samplePage(QSize(560, 400));
        auto *ash = new QnAshWidget(page.get());
        ash->setGeometry(page->rect());
        s.shoot(QStringLiteral("QnAshWidget-overPage"), page.get());
    }
    // The dots are white: each indicator is shown on a dark box like the overlay's.
    for (bool login : {true, false}) {
        const QString name = login ? QStringLiteral("QnLoadingWidget-running")
                                   : QStringLiteral("QnFileLoadingFileWidget-running");
        if (!s.wants(name))
            continue;
        QWidget box;
        box.setObjectName(QStringLiteral("darkBox"));
        box.setFixedSize(221, 141);
        box.setStyleSheet(QStringLiteral("#darkBox{background:#4D4D4D;}"));
        QnLoadingDots *dots = login ? static_cast<QnLoadingDots *>(new QnLoadingWidget(&box))
                                    : static_cast<QnLoadingDots *>(new QnFileLoadingFileWidget(&box));
        dots->setGeometry(10, 20, 201, 101);
        dots->start();
        QnShooter::settle(login ? 250 : 450);
        s.shoot(name, &box);
    }
    for (bool cancel : {true, false}) {
        const QString name = cancel ? QStringLiteral("QnLynConnectWaittingWidget-cancel")
                                    : QStringLiteral("QnLynConnectWaittingWidget-noCancel");
        if (!s.wants(name))
            continue;
        auto page = samplePage(QSize(560, 400));
        page->move(100, 100);
        page->show();
        QnLynConnectWaittingWidget w;
        if (!cancel)
            w.hideCancelButton();
        const QPoint p = page->mapToGlobal(QPoint(0, 0));
        w.move(p + QPoint((page->width() - w.width()) / 2, (page->height() - w.height()) / 2));
        w.show();
        QnShooter::settle(300);
        QImage base = QnShooter::grab(page.get());
        overlay(base, p, &w);
        s.write(name, QnShooter::onBackdrop(base, QColor(0xD9, 0xDD, 0xE3)));
    }
}

void toolBarShots(QnShooter &s)
{
    for (bool open : {false, true}) {
        const QString name = open ? QStringLiteral("QnLynDesktopTool-paletteOpen")
                                  : QStringLiteral("QnLynDesktopTool-collapsed");
        if (!s.wants(name))
            continue;
        QWidget window;
        window.setGeometry(100, 100, 960, 540);
        auto *video = new SampleVideo(&window);
        video->setGeometry(window.rect());
        auto *tool = new QnLynDesktopTool(video);
        tool->move(960 - 75, (540 - 410) / 2);
        window.show();
        QnShooter::settle();
        if (open) {
            tool->findChild<QPushButton *>(QStringLiteral("hideButton"))->click();
            tool->findChild<QPushButton *>(QStringLiteral("penButton"))->click();
            tool->penTool()->findChildren<QnColorButton *>().at(2)->click();
        }
        QnShooter::settle(200);
        const QPoint origin = window.mapToGlobal(QPoint(0, 0));
        QImage base = QnShooter::grab(&window);
        if (open)
            overlay(base, origin, tool->penTool());
        tool->penTool()->hide();
        s.write(name, QnShooter::onBackdrop(base, QColor(0xD9, 0xDD, 0xE3)));
    }
}

// A picture file to list as a failed upload.
QString samplePicture(const QTemporaryDir &dir)
{
    QImage image(320, 212, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 0, 212);
    g.setColorAt(0, QColor(0x87, 0xCE, 0xEB));
    g.setColorAt(1, QColor(0xE0, 0xF2, 0xFB));
    p.fillRect(image.rect(), g);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4C, 0xAF, 0x50));
    p.drawEllipse(QPoint(80, 260), 180, 110);
    p.setBrush(QColor(0xFF, 0xC1, 0x07));
    p.drawEllipse(QPoint(250, 55), 28, 28);
    p.end();
    const QString path = dir.filePath(QStringLiteral("课堂照片.JPG"));
    image.save(path, "JPG");
    return path;
}

void fileListShots(QnShooter &s)
{
    QTemporaryDir dir;
    const QString picture = samplePicture(dir);
    const QStringList files = {
        picture,
        QStringLiteral("/home/teacher/文档/Report.DOCX"),
        QStringLiteral("/home/teacher/文档/第三单元课堂练习题目答案汇总与讲评.pptx"),
        QStringLiteral("/home/teacher/文档/minutes.final.pdf"),
        QStringLiteral("/home/teacher/文档/成绩表.xlsx"),
        QStringLiteral("/home/teacher/文档/readme.txt"),
        QStringLiteral("/home/teacher/文档/archive.tar.gz"),
    };
    if (s.wants(QStringLiteral("QnLynFileListDelegate-kinds"))) {
        QListView view;
        view.setFrameShape(QFrame::NoFrame);
        view.setFixedSize(319, 7 * 60);
        view.setStyleSheet(QStringLiteral("QListView{background:#F4F4F4;}"));
        QnLynFileListDelegate delegate;
        QnLynFileListModel model;
        view.setItemDelegate(&delegate);
        view.setModel(&model);
        for (const QString &path : files) {
            auto *item = new QnLynFileItem;
            item->fileInfo = QFileInfo(path);
            item->name = item->fileInfo.fileName();
            if (path == picture)
                item->thumbnail.load(path);
            model.addItem(item);
        }
        s.shoot(QStringLiteral("QnLynFileListDelegate-kinds"), &view, QColor(0xFF, 0xFF, 0xFF));
    }
    if (s.wants(QStringLiteral("QnLynUploadAgainWidget-failed"))) {
        QnLynUploadAgainWidget page;
        page.setFiles(files.mid(1, 4), QnLynUploadKind::Document);
        s.shoot(QStringLiteral("QnLynUploadAgainWidget-failed"), &page);
    }
    if (s.wants(QStringLiteral("QnLynUploadAgainWidget-pictures"))) {
        QnLynUploadAgainWidget page;
        page.setFiles({picture, picture, picture, picture, picture}, QnLynUploadKind::Picture);
        s.shoot(QStringLiteral("QnLynUploadAgainWidget-pictures"), &page);
    }
}

} // namespace

void kitShots(QnShooter &shooter)
{
    toastShots(shooter);
    dialogShots(shooter);
    splashAndLoadingShots(shooter);
    toolBarShots(shooter);
    fileListShots(shooter);
}
