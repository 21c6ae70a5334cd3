#include "qnloginbase/src/UI/LoginLibraryWidgets.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QHoverEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVariant>

#include <cmath>

// --- CZvHeadButton ---------------------------------------------------------------------------

CZvHeadButton::CZvHeadButton(QWidget *parent) : QPushButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void CZvHeadButton::loadHeadImage(const QString &path)
{
    m_picture = QPixmap(path);
    update();
}

void CZvHeadButton::setHeadWidth(int width)
{
    m_headWidth = width;
    update();
}

void CZvHeadButton::setRingVisible(bool visible)
{
    m_ringVisible = visible;
    update();
}

bool CZvHeadButton::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
        m_hover = true;
        break;
    case QEvent::HoverLeave:
        m_hover = false;
        break;
    default:
        break;
    }
    return QPushButton::event(event);
}

void CZvHeadButton::paintEvent(QPaintEvent *event)
{
    {
        QPainter painter(this);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
        QPainterPath circle;
        circle.addEllipse(0, 0, m_headWidth, m_headWidth);
        painter.setClipPath(circle);
        if (m_picture.isNull()) {
            painter.fillPath(circle, QColor(QStringLiteral("#D8D8D8")));
        } else {
            const int side = qRound(m_headWidth * qApp->devicePixelRatio());
            if (m_picture.size() != QSize(side, side))
                m_picture = m_picture.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            painter.drawPixmap(QRect(0, 0, m_headWidth, m_headWidth), m_picture);
        }
        if (m_ringVisible) {
            painter.setPen(QPen(QColor(QStringLiteral("#DE6F6F")), 3, Qt::SolidLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(rect());
        }
        painter.setClipping(false);
    }
    QPushButton::paintEvent(event);
}

// --- Toast -----------------------------------------------------------------------------------

Toast::Toast(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Toast"));
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowOpacity(0.7);
    setContentsMargins(0, 0, 0, 0);
    resize(330, 60);
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("frameToast"));
    m_frame->setGeometry(0, 0, 330, 60);
    m_frame->setFrameShape(QFrame::StyledPanel);
    m_frame->setFrameShadow(QFrame::Raised);
    m_frame->setStyleSheet(
        QStringLiteral("QFrame#frameToast{background-color:#000000;border-radius:8px;opacity:0.7;}"));
    m_label = new QLabel(m_frame);
    m_label->setObjectName(QStringLiteral("tlToast"));
    m_label->setGeometry(15, 19, 300, 22);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setStyleSheet(
        QStringLiteral("font-family:\"PingFang SC\";font-size:16px;color:#FFFFFF;background:transparent;"));
}

QString Toast::text() const
{
    return m_label->text();
}

void Toast::showText(const QString &text, int kind, QWidget *anchor)
{
    m_label->setText(text);
    QFont font(QStringLiteral("PingFang SC"));
    font.setPixelSize(16);
    const int textWidth = QFontMetrics(font).horizontalAdvance(text);
    const int labelWidth = textWidth < 330 ? 300 : textWidth;
    m_label->resize(labelWidth, m_label->height());
    m_frame->resize(labelWidth + 30, m_frame->height());
    resize(labelWidth + 30, height());
    if (anchor) {
        const QPoint centre = anchor->mapToGlobal(anchor->rect().center());
        move(centre.x() - width() / 2, centre.y() - height() / 2);
    } else {
        move(0, 0);
    }
    show();
    if (m_timerId != 0)
        killTimer(m_timerId);
    m_timerId = startTimer(kind == 1 ? 3500 : 2000, Qt::CoarseTimer);
}

void Toast::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_timerId) {
        QDialog::timerEvent(event);
        return;
    }
    killTimer(m_timerId);
    m_timerId = 0;
    hide();
}

void Toast::mousePressEvent(QMouseEvent *event)
{
    setAttribute(Qt::WA_NoMouseReplay);
    QDialog::mousePressEvent(event);
}

// --- CTimerButton ----------------------------------------------------------------------------

CTimerButton::CTimerButton(QWidget *parent) : QPushButton(parent), m_timer(new QTimer(this))
{
    setCheckable(true);
    m_timer->setInterval(1000);
    setText(tr("Send Code"));
    setChecked(false);
    connect(this, &QPushButton::clicked, this, &CTimerButton::onClicked);
    connect(m_timer, &QTimer::timeout, this, &CTimerButton::onTick);
}

void CTimerButton::setTickInterval(int ms)
{
    m_timer->setInterval(ms);
}

void CTimerButton::onClicked()
{
    setText(tr("%1s after").arg(m_count));
    m_timer->start();
}

void CTimerButton::onTick()
{
    if (m_count == 0) {
        reset();
        emit sig_timeout();
        return;
    }
    --m_count;
    setText(tr("%1s after").arg(m_count));
}

void CTimerButton::reset()
{
    if (m_timer->isActive())
        m_timer->stop();
    m_count = 60;
    setText(tr("Send Code"));
    setChecked(false);
}

bool CTimerButton::isCounting() const
{
    return m_timer->isActive();
}

// --- PasswordLineEidt ------------------------------------------------------------------------

PasswordLineEidt::PasswordLineEidt(QWidget *parent) : QLineEdit(parent), m_eye(new QPushButton(this))
{
    setEchoMode(QLineEdit::Password);
    setTextMargins(0, 0, 12, 0);
    m_eye->setObjectName(QStringLiteral("PwdLineEditEye"));
    m_eye->setCheckable(true);
    m_eye->setChecked(false);
    m_eye->setCursor(Qt::PointingHandCursor);
    m_eye->setFixedSize(14, 10);
    m_eye->hide();
    connect(m_eye, &QPushButton::clicked, this, &PasswordLineEidt::onDealClicked);
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_eye->setVisible(!text.isEmpty()); });
}

void PasswordLineEidt::onDealClicked(bool checked)
{
    setEchoMode(checked ? QLineEdit::Normal : QLineEdit::Password);
}

void PasswordLineEidt::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    m_eye->move(width() - 12 - m_eye->width(), (height() - m_eye->height()) / 2);
}

// --- QrLabel ---------------------------------------------------------------------------------

void QrLabel::mouseReleaseEvent(QMouseEvent *event)
{
    emit labelPress();
    QLabel::mouseReleaseEvent(event);
}

// --- QnBorderShadow --------------------------------------------------------------------------

QnBorderShadow::QnBorderShadow(QObject *parent) : QObject(parent) {}

void QnBorderShadow::install(QWidget *widget)
{
    if (!widget)
        return;
    const char *property = "CustomBorderShadow";
    if (QObject *earlier = widget->property(property).value<QObject *>()) {
        if (earlier != this) {
            widget->removeEventFilter(earlier);
            earlier->deleteLater();
        }
    }
    widget->setProperty(property, QVariant::fromValue<QObject *>(this));
    widget->installEventFilter(this);
}

int QnBorderShadow::ringAlpha(int i)
{
    return qMax(0, static_cast<int>(150 - 50 * std::sqrt(static_cast<double>(i))));
}

bool QnBorderShadow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        QPainter painter(widget);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath inner;
        const QRectF r = widget->rect();
        inner.addRoundedRect(r.adjusted(m_shadowWidth, m_shadowWidth, -m_shadowWidth, -m_shadowWidth),
                             m_roundness, m_roundness, Qt::RelativeSize);
        painter.fillPath(inner, Qt::transparent);
        for (int i = 0; i < m_shadowWidth; ++i) {
            QPainterPath ring;
            const int inset = m_shadowWidth - i;
            ring.addRoundedRect(r.adjusted(inset, inset, -inset, -inset), m_roundness, m_roundness,
                                Qt::RelativeSize);
            QColor colour = m_color;
            colour.setAlpha(ringAlpha(i));
            painter.setPen(colour);
            painter.drawPath(ring);
        }
    }
    return QObject::eventFilter(watched, event);
}
