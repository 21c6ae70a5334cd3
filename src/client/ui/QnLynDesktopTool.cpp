#include "client/ui/QnLynDesktopTool.h"

#include "client/ui/QnLynPenTool.h"
#include "client/ui/internal/QnUiLog.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Paths are spelled out whole so that the asset test finds every one of them in the code.
QPushButton *makeToolButton(QWidget *parent, QButtonGroup *group, const char *name, const char *image,
                            const char *pressedImage)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(20, 26);
    button->setCheckable(true);
    button->setStyleSheet(QStringLiteral("QPushButton{\n\tborder:0px;\n\timage: url(%1);\n}\n\n"
                                         "QPushButton:pressed, QPushButton:checked{\n\tborder:0px;\n"
                                         "\timage: url(%2);\n}")
                              .arg(QLatin1String(image), QLatin1String(pressedImage)));
    group->addButton(button);
    return button;
}

} // namespace

QnLynDesktopTool::QnLynDesktopTool(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QnLynDesktopTool"));
    resize(75, 410);
    auto *horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);

    m_hide = new QPushButton(this);
    m_hide->setObjectName(QStringLiteral("hideButton"));
    m_hide->setFixedSize(25, 50);
    m_hide->setCheckable(true);
    m_hide->setStyleSheet(
        QStringLiteral("QPushButton{\n\tborder:0px;\n\timage: url(:/img/desktop/btn_hide.svg);\n}"
                       "\n\nQPushButton::checked{\n\tborder:0px;\n"
                       "\timage: url(:/img/desktop/btn_show.svg);\n}"));
    horizontalLayout->addWidget(m_hide, 0, Qt::AlignVCenter);

    m_toolWidget = new QWidget(this);
    m_toolWidget->setObjectName(QStringLiteral("toolWidget"));
    m_toolWidget->setFixedSize(50, 410);
    m_toolWidget->setAttribute(Qt::WA_StyledBackground, true);
    m_toolWidget->setStyleSheet(QStringLiteral("#toolWidget{\n\tbackground-color: rgba(0, 0, 0, 125);\n}"));
    horizontalLayout->addWidget(m_toolWidget);
    auto *verticalLayout = new QVBoxLayout(m_toolWidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(0, 40, 0, 40);
    m_group = new QButtonGroup(this);
    m_group->setObjectName(QStringLiteral("buttonGroup"));
    m_group->setExclusive(true);
    m_select = makeToolButton(m_toolWidget, m_group, "selectButton", ":/img/desktop/btn_select.svg",
                              ":/img/desktop/redbtn_select_pressed.svg");
    m_pen = makeToolButton(m_toolWidget, m_group, "penButton", ":/img/desktop/btn_pen.svg",
                           ":/img/desktop/redbtn_pen_pressed.svg");
    QPushButton *clear = makeToolButton(m_toolWidget, m_group, "clearButton", ":/img/desktop/btn_clear.svg",
                                        ":/img/desktop/redbtn_clear_pressed.svg");
    QPushButton *undo = makeToolButton(m_toolWidget, m_group, "undoButton", ":/img/desktop/btn_undo.svg",
                                       ":/img/desktop/redbtn_undo_pressed.svg");
    QPushButton *redo = makeToolButton(m_toolWidget, m_group, "redoButton", ":/img/desktop/btn_redo.svg",
                                       ":/img/desktop/redbtn_redo_pressed.svg");
    for (QPushButton *b : {m_select, m_pen, clear, undo, redo})
        verticalLayout->addWidget(b, 0, Qt::AlignHCenter);

    m_hide->setChecked(true);
    syncToolVisibility();

    QWidget *grandparent = parentWidget() ? parentWidget()->parentWidget() : nullptr;
    m_penTool = new QnLynPenTool(grandparent);
    m_penTool->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    m_penTool->setAttribute(Qt::WA_TranslucentBackground, true);
    m_penTool->hide();
    m_penTool->setAnchor(m_pen);
    connect(m_penTool, &QnLynPenTool::colorChanged, this, &QnLynDesktopTool::sigPen);
    connect(m_penTool, &QnLynPenTool::hideByClickedOtherArea, this, [this] {
        m_penTool->hide();
        qCDebug(lcUi) << "hideByClickedOtherArea============";
    });
    if (!grandparent) {
        // Without a grandparent nothing else owns the palette.
        connect(this, &QObject::destroyed, m_penTool, &QObject::deleteLater);
    }

    QMetaObject::connectSlotsByName(this);
}

void QnLynDesktopTool::syncToolVisibility()
{
    m_toolWidget->setVisible(!m_hide->isChecked());
}

void QnLynDesktopTool::reset()
{
    m_select->setChecked(true);
    m_hide->setChecked(true);
    m_penTool->reset();
    syncToolVisibility();
}

void QnLynDesktopTool::on_selectButton_clicked()
{
    emit sigSelect();
}

void QnLynDesktopTool::on_penButton_clicked()
{
    emit sigPen(m_penTool->color());
    const QPoint p = m_pen->mapToGlobal(QPoint(0, 0));
    qCDebug(lcUi) << "penButtonClicked ==============" << p;
    m_penTool->move(p.x() - m_penTool->width() - 20, p.y());
    m_penTool->raise();
    m_penTool->show();
}

void QnLynDesktopTool::on_clearButton_clicked()
{
    emit sigClear();
}

void QnLynDesktopTool::on_undoButton_clicked()
{
    emit sigUndo();
}

void QnLynDesktopTool::on_redoButton_clicked()
{
    emit sigRedo();
}

void QnLynDesktopTool::on_hideButton_clicked()
{
    syncToolVisibility();
}
