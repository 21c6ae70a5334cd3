#include "client/ui/account/QnLynUserAgreementWidget.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QTextEdit>
#include <QVBoxLayout>

QnLynUserAgreementWidget::QnLynUserAgreementWidget(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("QnLynUserAgreementWidget"));
    setWindowTitle(QStringLiteral("Form"));
    resize(560, 560);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(40, 0, 40, 0);
    auto *row = new QHBoxLayout;
    auto *title = new QLabel(QStringLiteral("用户协议"), this);
    title->setObjectName(QStringLiteral("label"));
    title->setStyleSheet(QStringLiteral("font-size:18px;color:#333333;font-family:\"Microsoft YaHei\";"));
    row->addStretch(1);
    row->addWidget(title);
    row->addStretch(1);
    v->addLayout(row);
    m_text = new QTextEdit(this);
    m_text->setObjectName(QStringLiteral("textEdit"));
    m_text->setReadOnly(true);
    m_text->setFrameShape(QFrame::NoFrame);
    m_text->setStyleSheet(QStringLiteral(
        "QTextEdit{font-size:12px;color:#666666;border:0px;}"
        "QScrollBar:vertical{width:4px;background:#FFFFFF;margin:0px;}"
        "QScrollBar::handle:vertical{background:rgb(233,233,233);border-radius:2px;min-height:20px;}"
        "QScrollBar::handle:vertical:hover{border-radius:3px;}"
        "QScrollBar::add-line:vertical,QScrollBar::sub-line:vertical{height:9px;width:8px;image:none;}"
        "QScrollBar::add-page:vertical,QScrollBar::sub-page:vertical{background:transparent;}"));
    m_text->setHtml(agreementHtml());
    v->addWidget(m_text);
    v->addSpacing(40);
}

QString QnLynUserAgreementWidget::agreementHtml()
{
    // The agreement is product content supplied with each build, written in Chinese as the form's own text.
    return QString::fromUtf8(
        "<html><head><meta name=\"qrichtext\" content=\"1\" /></head><body style=\" font-family:'SimSun'; "
        "font-siz"
        "e:12px;\"><p style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑'; "
        "font-wei"
        "ght:600;\">【导言】</span></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" "
        "font-family:"
        "'微软雅黑';\">"
        "欢迎您使用昆洛传屏。为使用本软件及相关服务，您应当阅读并遵守《用户协议》（以下简称“本协议”）。请您务"
        "必审慎阅读、充分理解各条款内容，特别是免除或者限制责任的条款。您点击“已阅读并同"
        "意”或以其他方式使用本服务，即视为您已阅读并同意本协议的全部内容。</span></p><p style=\" "
        "margin-top:12px; margin-bottom:12px;\"><span s"
        "tyle=\" font-family:'微软雅黑'; font-weight:600;\">一、总则</span></p><p style=\" margin-top:12px; "
        "margin-botto"
        "m:12px;\"><span style=\" font-family:'微软雅黑';\">1.1 "
        "本协议是您与本服务提供方之间关于注册、登录和使用本软件及相关服务所订立的协议。</span></p><p"
        " style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">1.2 "
        "本服务提供方有权根据需要修订"
        "本协议，修订后的协议一经公布即代替原协议。</span></p><p style=\" margin-top:12px; "
        "margin-bottom:12px;\"><span style=\" font-"
        "family:'微软雅黑'; font-weight:600;\">二、注册信息和隐私保护</span></p><p style=\" margin-top:12px; "
        "margin-bottom:12p"
        "x;\"><span style=\" font-family:'微软雅黑';\">2.1 "
        "您注册账号时应提供真实、准确、完整的手机号码等信息，并在信息变更时及时更新。</span></p><p style"
        "=\" margin-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">2.2 "
        "账号的所有权归本服务提供方所有，您完成注"
        "册后获得账号的使用权。您应妥善保管账号和密码，因您保管不善造成的损失由您自行承担。</span></p><p "
        "style=\" margin-top:12px; margin-bottom:12px;\""
        "><span style=\" font-family:'微软雅黑'; font-weight:600;\">三、信息的使用</span></p><p style=\" "
        "margin-top:12px; m"
        "argin-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">3.1 "
        "我们仅在提供和改进本服务所必需的范围内收集和使用您的信息，例如账号信息、设备信息和"
        "必要的日志。</span></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" "
        "font-family:'微软雅黑';\""
        ">3.2 未经您的同意，我们不会将您的个人信息用于本协议约定之外的用途。</span></p><p style=\" "
        "margin-top:12px; margin-bottom:12px;\"><spa"
        "n style=\" font-family:'微软雅黑'; font-weight:600;\">四、信息的披露</span></p><p style=\" "
        "margin-top:12px; margin"
        "-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">4.1 "
        "除法律法规要求或司法、行政机关依法要求外，我们不会向任何第三方披露您的个人信息。</span"
        "></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" "
        "font-family:'微软雅黑';\">4.2 为保护本服务及"
        "其他用户的合法权益，在必要时我们可在法律允许的范围内披露相关信息。</span></p><p style=\" "
        "margin-top:12px; margin-bottom:12px;\"><span s"
        "tyle=\" font-family:'微软雅黑'; font-weight:600;\">五、信息的存储和交换</span></p><p style=\" "
        "margin-top:12px; margin"
        "-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">5.1 "
        "您的信息存储于位于中华人民共和国境内的服务器上。</span></p><p style=\" "
        "margin-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">5.2 "
        "我们采取合理的技术和管理措施保护所存储的信息，"
        "防止其丢失、被误用或被篡改。</span></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span "
        "style=\" font-family:"
        "'微软雅黑'; font-weight:600;\">六、使用规则</span></p><p style=\" margin-top:12px; "
        "margin-bottom:12px;\"><span st"
        "yle=\" font-family:'微软雅黑';\">6.1 "
        "您在使用本服务时须遵守国家法律法规，不得利用本服务制作、复制、发布、传播违法或侵害他人合法权益的内容"
        "。</span></p><p styl"
        "e=\" margin-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">6.2 "
        "您不得干扰、破坏本服务的正常运行，不得"
        "未经许可访问本服务的系统和数据。</span></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span "
        "style=\" font-famil"
        "y:'微软雅黑'; font-weight:600;\">七、信息安全</span></p><p style=\" margin-top:12px; "
        "margin-bottom:12px;\"><span "
        "style=\" font-family:'微软雅黑';\">7.1 "
        "我们将尽合理努力保障您的账号和信息安全，但在现有技术条件下无法保证绝对安全。</span></p><p style=\" "
        "margin-"
        "top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑';\">7.2 "
        "如发现账号被盗用或存在其他安全问题，请您立即通知我们。</s"
        "pan></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑'; "
        "font-weig"
        "ht:600;\">八、协议的变更</span></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span "
        "style=\" font-famil"
        "y:'微软雅黑';\">8.1 我们可能根据法律法规变化或服务调整修订本协议，并以适当方式通知您。</span></p><p "
        "style=\" margin-top:12px; margin-bottom"
        ":12px;\"><span style=\" font-family:'微软雅黑';\">8.2 "
        "修订后您继续使用本服务的，视为您接受修订后的协议。</span></p><p style=\" margin"
        "-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑'; "
        "font-weight:600;\">九、免责声明及责任限制</spa"
        "n></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" "
        "font-family:'微软雅黑';\">9.1 因不可抗力、"
        "网络故障、第三方原因等非我们所能控制的情形导致服务中断或数据丢失的，我们不承担责任。</span></p><p "
        "style=\" margin-top:12px; margin-bottom:12px;"
        "\"><span style=\" font-family:'微软雅黑';\">9.2 "
        "在法律允许的最大范围内，我们对因使用本服务而产生的间接损失不承担责任。</span></p><p style=\" ma"
        "rgin-top:12px; margin-bottom:12px;\"><span style=\" font-family:'微软雅黑'; "
        "font-weight:600;\">十、法律适用与争议解决<"
        "/span></p><p style=\" margin-top:12px; margin-bottom:12px;\"><span style=\" "
        "font-family:'微软雅黑';\">10.1 本"
        "协议的订立、执行和解释及争议的解决均适用中华人民共和国法律。</span></p><p style=\" margin-top:12px; "
        "margin-bottom:12px;\"><span styl"
        "e=\" font-family:'微软雅黑';\">10.2 "
        "因本协议引起的争议，双方应友好协商解决；协商不成的，任何一方均可向本服务提供方所在地有管辖权的人民法"
        "院提起诉讼。</span></p></b"
        "ody></html>");
}
