#include "client/ui/QnLynPenTool.h"

#include "client/ui/internal/QnUiLog.h"

#include <QButtonGroup>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

QnColorButton::QnColorButton(QWidget *parent) : QPushButton(parent)
{
    setCheckable(true);
    setFixedSize(24, 24);
}

void QnColorButton::setColor(const QColor &color)
{
    m_color = color;
    update();
}

void QnColorButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_color);
    const double r = width() / 2.0;
    painter.drawEllipse(QPointF(width() / 2.0, height() / 2.0), r, r);
    painter.setBrush(Qt::transparent);
    painter.setPen(QPen(isChecked() ? QColor(QStringLiteral("#00B0AE")) : QColor(Qt::white), 2, Qt::SolidLine,
                        Qt::SquareCap, Qt::BevelJoin));
    painter.drawEllipse(QRect(1, 1, width() - 2, height() - 2));
}

QList<QColor> QnLynPenTool::paletteColors()
{
    return {QColor(QStringLiteral("#D35555")), QColor(QStringLiteral("#000000")),
            QColor(QStringLiteral("#4A90E2")), QColor(QStringLiteral("#FFFFFF")),
            QColor(QStringLiteral("#7ED321")), QColor(QStringLiteral("#F8E71C"))};
}

QColor QnLynPenTool::defaultColor()
{
    return paletteColors().constFirst();
}

QnLynPenTool::QnLynPenTool(QWidget *parent) : QWidget(parent), m_group(new QButtonGroup(this))
{
    setObjectName(QStringLiteral("QnLynPenTool"));
    setMinimumSize(45, 285);
    resize(45, 285);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto *backWidget = new QWidget(this);
    backWidget->setObjectName(QStringLiteral("backWidget"));
    backWidget->setAttribute(Qt::WA_StyledBackground, true);
    backWidget->setStyleSheet(QStringLiteral("#backWidget{\n\tbackground-color: rgba(0, 0, 0, 125);\n}"));
    outer->addWidget(backWidget);
    auto *layout = new QVBoxLayout(backWidget);
    layout->setContentsMargins(0, 18, 0, 18);
    layout->setSpacing(18);

    m_group->setExclusive(true);
    const QList<QColor> colors = paletteColors();
    for (int i = 0; i < colors.size(); ++i) {
        auto *button = new QnColorButton(backWidget);
        button->setObjectName(QStringLiteral("colorButton%1").arg(i));
        button->setColor(colors.at(i));
        if (i == 0) {
            button->setChecked(true);
            m_color = colors.at(i);
        }
        m_group->addButton(button);
        layout->addWidget(button, 0, Qt::AlignHCenter);
        connect(button, &QAbstractButton::clicked, this, [this, button] {
            m_color = button->color();
            emit colorChanged(m_color);
        });
    }
}

void QnLynPenTool::setAnchor(QWidget *anchor)
{
    m_anchor = anchor;
}

void QnLynPenTool::reset()
{
    for (QAbstractButton *b : m_group->buttons()) {
        auto *swatch = static_cast<QnColorButton *>(b);
        if (swatch->color() == defaultColor()) {
            swatch->setChecked(true);
            swatch->click();
            return;
        }
    }
}

bool QnLynPenTool::isOtherArea(const QPoint &globalPos) const
{
    if (!m_anchor)
        return false;
    const QRect anchorRect(m_anchor->mapToGlobal(QPoint(0, 0)), m_anchor->size());
    const QRect paletteRect(mapToGlobal(QPoint(0, 0)), size());
    return !anchorRect.contains(globalPos) && !paletteRect.contains(globalPos);
}

void QnLynPenTool::mousePressEvent(QMouseEvent *event)
{
    qCDebug(lcUi) << "=================mousePressEvent";
    QWidget::mousePressEvent(event);
    if (isOtherArea(event->globalPos()))
        emit hideByClickedOtherArea();
}
