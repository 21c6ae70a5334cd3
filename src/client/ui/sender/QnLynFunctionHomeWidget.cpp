#include "client/ui/sender/QnLynFunctionHomeWidget.h"

#include "client/ui/internal/QnUiLog.h"
#include "client/ui/sender/QnSenderRules.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QQmlContext>
#include <QQuickWidget>

FunctionChangedInfo::FunctionChangedInfo(QObject *parent) : QObject(parent) {}

FunctionChangedInfo *FunctionChangedInfo::instance()
{
    static FunctionChangedInfo *info = new FunctionChangedInfo;
    return info;
}

void FunctionChangedInfo::functionChanged(int index)
{
    qCDebug(lcUi) << "function chosen" << index;
    emit fChanged(index);
}

QnLynFunctionHomeWidget::QnLynFunctionHomeWidget(QWidget *parent) : QWidget(parent)
{
    resize(820, 570);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("functionframe"));
    frame->setGeometry(10, 70, 801, 450);
    frame->setStyleSheet(QStringLiteral("#functionframe{border-radius:10px;}"));
    auto *frameRow = new QHBoxLayout(frame);
    frameRow->setObjectName(QStringLiteral("horizontalLayout_2"));
    frameRow->setContentsMargins(0, 0, 0, 0);

    auto *bar = new QWidget(this);
    bar->setObjectName(QStringLiteral("widget"));
    bar->setGeometry(10, 525, 800, 30);
    bar->setStyleSheet(QStringLiteral("#widget{background:rgb(153, 153, 153);border-bottom-left-radius:4px;"
                                      "border-bottom-right-radius:4px;}"));
    auto *row = new QHBoxLayout(bar);
    row->setObjectName(QStringLiteral("horizontalLayout"));
    row->setSpacing(0);
    row->setContentsMargins(0, 0, 0, 0);
    row->addSpacing(11);
    auto *label = new QLabel(QStringLiteral("已连接到："), bar);
    label->setObjectName(QStringLiteral("label"));
    label->setStyleSheet(QStringLiteral("font-size:12px;color:#FFFFFF;"));
    m_deviceName = new QLabel(bar);
    m_deviceName->setObjectName(QStringLiteral("devicenameLabel"));
    m_deviceName->setTextFormat(Qt::PlainText);
    m_deviceName->setStyleSheet(QStringLiteral("font-size:12px;color:#FFFFFF;"));
    auto *disconnect = new QPushButton(QStringLiteral("断开连接"), bar);
    disconnect->setObjectName(QStringLiteral("disconnecrtBtn"));
    disconnect->setFixedSize(66, 24);
    disconnect->setCursor(Qt::PointingHandCursor);
    disconnect->setStyleSheet(
        QStringLiteral("QPushButton{font-size:12px;color:#FFFFFF;background:#D95353;border-radius:12px;}"));
    row->addWidget(label);
    row->addWidget(m_deviceName);
    row->addStretch(1);
    row->addWidget(disconnect);
    row->addSpacing(5);

    FunctionChangedInfo *info = FunctionChangedInfo::instance();
    connect(info, &FunctionChangedInfo::fChanged, this, &QnLynFunctionHomeWidget::functionChanged);
    m_quick = new QQuickWidget(this);
    m_quick->setObjectName(QStringLiteral("functionQuickWidget"));
    m_quick->setAttribute(Qt::WA_AcceptTouchEvents);
    m_quick->setFixedSize(600, 450);
    m_quick->rootContext()->setContextProperty(QStringLiteral("functionCtrl"), info);
    m_quick->setResizeMode(QQuickWidget::SizeRootObjectToView);
    m_quick->setClearColor(Qt::transparent);
    m_quick->setSource(QUrl(QStringLiteral("qrc:/qml/main.qml")));
    frameRow->addWidget(m_quick);
    m_quick->setAttribute(Qt::WA_AlwaysStackOnTop);
    QMetaObject::connectSlotsByName(this);
}

QString QnLynFunctionHomeWidget::deviceNameText() const
{
    return m_deviceName->text();
}

void QnLynFunctionHomeWidget::setDeviceName(const QString &name)
{
    m_deviceName->setText(QnSenderRules::cut(name, QnSenderRules::kDeviceNameLength));
}

void QnLynFunctionHomeWidget::updateUploadDataChanged(const QString &url, int current, int total)
{
    FunctionChangedInfo *info = FunctionChangedInfo::instance();
    emit info->textChanged(url, QStringLiteral("%1/%2").arg(current).arg(total));
    if (current == total)
        emit info->closeLoading(url);
}

void QnLynFunctionHomeWidget::functionChanged(int index)
{
    switch (index) {
    case 0:
        emit clickedPicture();
        break;
    case 1:
        emit clickedFiles();
        break;
    case 2:
        emit clickedMirror();
        break;
    case 3:
        emit clickedExpand();
        break;
    case 4:
        emit clickedDesktop();
        break;
    default:
        break;
    }
}

void QnLynFunctionHomeWidget::on_disconnecrtBtn_clicked()
{
    emit clickedDisconnectBtn();
    emit FunctionChangedInfo::instance()->reset();
}
