#include "client/ui/QnLynFileKind.h"

namespace QnLynFileKind {

namespace {

constexpr int kNameLimit = 12;

struct TypeList
{
    QnLynFileType type;
    QStringList suffixes;
};

const QList<TypeList> &typeLists()
{
    static const QList<TypeList> lists = {
        {QnLynFileType::Document, {QStringLiteral("doc"), QStringLiteral("docx")}},
        {QnLynFileType::Text, {QStringLiteral("txt")}},
        {QnLynFileType::Spreadsheet, {QStringLiteral("xls"), QStringLiteral("xlsx")}},
        {QnLynFileType::Pdf, {QStringLiteral("pdf")}},
        {QnLynFileType::Presentation, {QStringLiteral("ppt"), QStringLiteral("pptx")}},
        {QnLynFileType::Image, pictureSuffixes()},
    };
    return lists;
}

} // namespace

QStringList pictureSuffixes()
{
    return {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("svg"),
            QStringLiteral("bmp"), QStringLiteral("gif"), QStringLiteral("heif"), QStringLiteral("heic")};
}

QnLynFileType typeOf(const QFileInfo &file)
{
    const QString complete = file.completeSuffix().toLower();
    const QString last = file.suffix().toLower();
    for (const TypeList &list : typeLists()) {
        if (list.suffixes.contains(complete) || list.suffixes.contains(last))
            return list.type;
    }
    return QnLynFileType::None;
}

bool isPicture(const QFileInfo &file)
{
    return pictureSuffixes().contains(file.suffix().toLower());
}

QnLynUploadKind kindOf(const QStringList &paths)
{
    if (paths.isEmpty())
        return QnLynUploadKind::Document;
    for (const QString &p : paths) {
        if (!isPicture(QFileInfo(p)))
            return QnLynUploadKind::Document;
    }
    return QnLynUploadKind::Picture;
}

QString iconPath(QnLynFileType type)
{
    switch (type) {
    case QnLynFileType::Document:
        return QStringLiteral(":/img/DOC.svg");
    case QnLynFileType::Text:
        return QStringLiteral(":/img/TXT.svg");
    case QnLynFileType::Spreadsheet:
        return QStringLiteral(":/img/XSL.svg");
    case QnLynFileType::Pdf:
        return QStringLiteral(":/img/PDF.svg");
    case QnLynFileType::Presentation:
        return QStringLiteral(":/img/PPT.svg");
    case QnLynFileType::Image:
    case QnLynFileType::None:
        break;
    }
    return QString();
}

QString shownName(const QString &name)
{
    if (name.size() <= kNameLimit)
        return name;
    int n = kNameLimit;
    if (name.at(n - 1).isHighSurrogate())
        --n; // never split a character outside the basic plane
    return name.left(n) + QStringLiteral("...");
}

} // namespace QnLynFileKind
