#include "client/ui/QnFonts.h"

#include "client/ui/internal/QnUiLog.h"

#include <QFont>
#include <QFontDatabase>

namespace QnFonts {

QString cjkFamily()
{
    return QStringLiteral("Noto Sans CJK SC");
}

QStringList formFamilies()
{
    return {QStringLiteral("PingFang SC"), QStringLiteral("PingFangSC-Regular"),
            QStringLiteral("Microsoft YaHei")};
}

void install()
{
    const QString target = cjkFamily();
    for (const QString &family : formFamilies()) {
        if (!QFont::substitutes(family).contains(target, Qt::CaseInsensitive))
            QFont::insertSubstitution(family, target);
    }
    if (!cjkFamilyAvailable())
        qCWarning(lcUi) << "font" << target << "is not installed: Chinese text falls back to another font";
}

bool cjkFamilyAvailable()
{
    return QFontDatabase().families().contains(cjkFamily(), Qt::CaseInsensitive);
}

} // namespace QnFonts
