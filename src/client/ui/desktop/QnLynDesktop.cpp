#include "client/ui/desktop/QnLynDesktop.h"

#include "QnBrush/src/QnBrushObject.h"
#include "client/ui/NcFramelessHelper.h"
#include "client/ui/QnLynDesktopTool.h"
#include "client/ui/desktop/QnLynDesktopMath.h"
#include "lyn/input/QnLynInput.h"
#include "platform/scene/QnGraphicsView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLoggingCategory>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcDesktop, "qn.ui.desktop")

namespace {
constexpr int kPenWidth = 5;
constexpr int kLayoutDelayMs = 200;

QPushButton *titleButton(QWidget *parent, const char *name, const char *image, const char *pressed)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setFixedSize(16, 16);
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(QStringLiteral("QPushButton{border:0px;image: url(%1);}"
                                    "QPushButton:hover,QPushButton:pressed{image: url(%2);}")
                         .arg(QLatin1String(image), QLatin1String(pressed)));
    return b;
}
} // namespace

QnLynDesktop::QnLynDesktop(QWidget *parent, QnLynInput *input, QnYuvView::Backend backend)
    : QWidget(parent), m_input(input ? input : QnLynInput::instance())
{
    buildForm();
    m_view = new QnYuvView(m_videoWidget, backend);
    m_view->presentIdle();
    auto *videoLayout = new QVBoxLayout(m_videoWidget);
    videoLayout->setContentsMargins(0, 0, 0, 0);
    videoLayout->addWidget(m_view);
    m_videoWidget->setMouseTracking(true);
    m_view->setMouseTracking(true);

    m_tool = new QnLynDesktopTool(m_videoWidget);
    m_brush = new QnBrushObject(this);
    QnGraphicsView *overlay = m_brush->view();
    overlay->setParent(m_videoWidget, Qt::Widget); // a child over the picture, no longer a window
    // As a child the view takes the mouse without a tinted background, and its own fill (written
    // over the backing store, alpha included) would black out the picture beneath: no fill.
    overlay->setIsBackColor(false);
    m_brush->setSelectMode();
    overlay->hide();

    m_exitFullButton = new QPushButton(this);
    m_exitFullButton->setObjectName(QStringLiteral("exitFullButton"));
    m_exitFullButton->setFixedSize(38, 38);
    m_exitFullButton->setStyleSheet(QStringLiteral(
        "QPushButton{border:0px;image: url(:/img/desktop/btn_normal.svg);}"
        "QPushButton:hover,QPushButton:pressed{image: url(:/img/redbtn_normal_pressed.svg);}"));
    m_exitFullButton->hide();

    m_frameless = new NcFramelessHelper(this);
    m_frameless->attachWidget(this);
    m_frameless->setMovable(true);
    m_frameless->setResizable(false);

    m_layoutTimer = new QTimer(this);
    m_layoutTimer->setSingleShot(true);
    m_layoutTimer->setInterval(kLayoutDelayMs);
    connect(m_layoutTimer, &QTimer::timeout, this, &QnLynDesktop::layoutNow);

    wireTool();
    // Opening or collapsing the bar changes its width: keep it at the right edge.
    if (auto *hide = m_tool->findChild<QPushButton *>(QStringLiteral("hideButton")))
        connect(hide, &QPushButton::toggled, this, &QnLynDesktop::placeTool, Qt::QueuedConnection);
    connect(m_brush, &QnBrushObject::sendData, this, &QnLynDesktop::sendData);
    connect(m_exitFullButton, &QPushButton::clicked, this, &QnLynDesktop::exitFull);
    connect(m_fullButton, &QPushButton::clicked, this, &QnLynDesktop::on_fullButton_clicked);
    connect(m_minButton, &QPushButton::clicked, this, &QnLynDesktop::on_minButton_clicked);
    connect(m_maxButton, &QPushButton::clicked, this, &QnLynDesktop::on_maxButton_clicked);
    connect(m_closeButton, &QPushButton::clicked, this, &QnLynDesktop::on_closeButton_clicked);
    // The first picture after showing, and every new picture size, lay the window out again.
    connect(m_view, &QnYuvView::framePresented, this, [this] {
        if (m_firstFrame && isVisible()) {
            m_firstFrame = false;
            updateRect();
        }
    });
    connect(m_view, &QnYuvView::frameSizeChanged, this, &QnLynDesktop::updateRect);
}

QnLynDesktop::~QnLynDesktop()
{
    if (!m_userId.isEmpty())
        m_input->removeWatch(m_userId);
}

void QnLynDesktop::buildForm()
{
    setObjectName(QStringLiteral("QnLynDesktop"));
    setStyleSheet(QStringLiteral("#QnLynDeshtop{\nborder:1px solid #000000;\n}"));
    setWindowTitle(QStringLiteral("桌面同步"));
    resize(856, 499);
    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(0, 0, 0, 0);

    m_titleWidget = new QWidget(this);
    m_titleWidget->setObjectName(QStringLiteral("titleWidget"));
    m_titleWidget->setFixedHeight(36);
    m_titleWidget->setAttribute(Qt::WA_StyledBackground);
    m_titleWidget->setStyleSheet(QStringLiteral("#titleWidget{\n\tbackground-color: rgb(255, 255, 255);\n}"));
    auto *title = new QHBoxLayout(m_titleWidget);
    title->setContentsMargins(12, 0, 12, 0);
    title->setSpacing(8);
    m_label = new QLabel(m_titleWidget);
    m_label->setObjectName(QStringLiteral("label"));
    m_label->setFixedSize(19, 19);
    m_label->setStyleSheet(QStringLiteral("image: url(:/img/main/redbtn_desktop.svg);"));
    m_label2 = new QLabel(m_titleWidget);
    m_label2->setObjectName(QStringLiteral("label_2"));
    m_label2->setStyleSheet(QStringLiteral("font:12px;\ncolor: #DE6F6F;"));
    m_label2->setTextFormat(Qt::PlainText);
    m_label2->setText(QStringLiteral("桌面同步"));
    m_fullButton = titleButton(m_titleWidget, "fullButton", ":/img/desktop/btn_full.svg",
                               ":/img/desktop/redbtn_full_pressed.svg");
    m_minButton = titleButton(m_titleWidget, "minButton", ":/img/desktop/btn_min.svg",
                              ":/img/desktop/redbtn_min_pressed.svg");
    m_maxButton = titleButton(m_titleWidget, "maxButton", ":/img/desktop/btn_max.svg",
                              ":/img/desktop/redbtn_max_pressed.svg");
    m_closeButton = titleButton(m_titleWidget, "closeButton", ":/img/desktop/btn_close.svg",
                                ":/img/desktop/redbtn_close_pressed.svg");
    title->addWidget(m_label);
    title->addWidget(m_label2);
    title->addStretch(1);
    title->addWidget(m_fullButton);
    title->addWidget(m_minButton);
    title->addWidget(m_maxButton);
    title->addWidget(m_closeButton);
    layout->addWidget(m_titleWidget);

    m_videoWidget = new QWidget(this);
    m_videoWidget->setObjectName(QStringLiteral("videoWidget"));
    layout->addWidget(m_videoWidget, 1);
}

void QnLynDesktop::showOverlay()
{
    if (QnGraphicsView *v = m_brush->view())
        v->show();
    m_tool->raise();
}

void QnLynDesktop::wireTool()
{
    connect(m_tool, &QnLynDesktopTool::sigSelect, this, [this] {
        m_brush->setSelectMode();
        m_brush->clearUndo();
        if (QnGraphicsView *v = m_brush->view())
            v->hide();
    });
    connect(m_tool, &QnLynDesktopTool::sigPen, this, [this](const QColor &color) {
        showOverlay();
        m_brush->setPen(color, kPenWidth);
    });
    connect(m_tool, &QnLynDesktopTool::sigClear, this, [this] {
        showOverlay();
        m_brush->resetSceneState();
    });
    connect(m_tool, &QnLynDesktopTool::sigUndo, this, [this] {
        showOverlay();
        m_brush->undo();
    });
    connect(m_tool, &QnLynDesktopTool::sigRedo, this, [this] {
        showOverlay();
        m_brush->redo();
    });
}

void QnLynDesktop::setLayoutDelay(int ms)
{
    m_layoutTimer->setInterval(ms);
}

bool QnLynDesktop::setInfo(const QString &userId, const QString &nickName, const QString &url, int width,
                           int height)
{
    const QSize fit = QnLynDesktopMath::viewSize(width, height);
    if (fit.isEmpty()) {
        qCWarning(lcDesktop) << "size not" << width << height;
        return false;
    }
    if (!m_userId.isEmpty() && m_userId != userId)
        m_input->removeWatch(m_userId);
    m_userId = userId;
    m_nickName = nickName;
    m_url = url;
    m_remoteWidth = width;
    m_remoteHeight = height;
    m_viewWidth = fit.width();
    m_viewHeight = fit.height();
    m_brush->setViewSize(m_viewWidth, m_viewHeight);
    // The cursor callback runs on the gateway thread: the shape is posted to the GUI thread.
    QPointer<QnLynDesktop> self(this);
    m_input->addWatch(m_view, m_userId, m_videoRect, [self](int cursor) {
        if (self)
            self->setCursorType(cursor);
    });
    updateRect();
    return true;
}

void QnLynDesktop::setYuvData(QByteArray data, int width, int height)
{
    if (!m_view->present(data, width, height))
        qCDebug(lcDesktop) << "picture dropped:" << width << "x" << height << data.size() << "bytes";
}

void QnLynDesktop::setCursorType(int cursor)
{
    const auto shape = static_cast<Qt::CursorShape>(QnLynDesktopMath::clampCursor(cursor));
    QMetaObject::invokeMethod(
        this, [this, shape] { m_view->setCursor(QCursor(shape)); }, Qt::QueuedConnection);
}

void QnLynDesktop::updateRect()
{
    if (!m_userId.isEmpty())
        m_layoutTimer->start();
}

void QnLynDesktop::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    qCDebug(lcDesktop) << "resize";
    updateRect();
}

void QnLynDesktop::layoutNow()
{
    if (!isVisible())
        return;
    const QRect shown = m_view->videoRect();
    m_videoRect = QnLynDesktopMath::fitCentred(QSize(m_remoteWidth, m_remoteHeight), shown);
    if (!m_userId.isEmpty())
        m_input->setRemoteSize(m_userId, m_videoRect);
    if (QnGraphicsView *v = m_brush->view()) {
        v->setGeometry(m_videoRect.translated(m_view->pos()));
        v->raise();
        if (m_viewWidth > 0 && m_viewHeight > 0)
            v->setTransform(QTransform::fromScale(double(m_videoRect.width()) / m_viewWidth,
                                                  double(m_videoRect.height()) / m_viewHeight));
    }
    placeTool();
    m_exitFullButton->move(width() - 30 - m_exitFullButton->width(), 30);
    m_exitFullButton->raise();
}

void QnLynDesktop::placeTool()
{
    m_tool->adjustSize();
    m_tool->move(m_videoWidget->width() - m_tool->width(), (m_videoWidget->height() - m_tool->height()) / 2);
    m_tool->raise();
}

void QnLynDesktop::on_fullButton_clicked()
{
    setWindowState(windowState() | Qt::WindowFullScreen);
    m_exitFullButton->show();
    m_titleWidget->hide();
    if (QScreen *screen = QGuiApplication::primaryScreen())
        setGeometry(screen->geometry());
    activateWindow();
    updateRect();
}

void QnLynDesktop::exitFull()
{
    m_exitFullButton->hide();
    m_titleWidget->show();
    setWindowState(Qt::WindowNoState);
    resize(1280, 756);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    updateRect();
}

void QnLynDesktop::on_minButton_clicked()
{
    showMinimized();
}

void QnLynDesktop::on_maxButton_clicked()
{
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void QnLynDesktop::on_closeButton_clicked()
{
    close();
}

void QnLynDesktop::endDisplay()
{
    m_view->presentIdle();
    if (!m_userId.isEmpty())
        m_input->removeWatch(m_userId);
    m_tool->reset();
    m_brush->setSelectMode();
    if (QnGraphicsView *v = m_brush->view())
        v->hide();
    m_brush->clearUndo();
    setWindowState(Qt::WindowNoState);
    exitFull();
    m_layoutTimer->stop();
    m_firstFrame = true;
    hide();
}

void QnLynDesktop::resetDesktop()
{
    endDisplay();
}

void QnLynDesktop::closeEvent(QCloseEvent *event)
{
    endDisplay();
    event->accept();
    emit closeDesktop(m_userId, m_url);
}
