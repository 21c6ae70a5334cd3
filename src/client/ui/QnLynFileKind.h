#pragma once

#include <QFileInfo>
#include <QString>
#include <QStringList>

/// What the upload pages send a list of files as: pictures or documents. The kind travels with
/// the list it belongs to; nothing remembers it from an earlier list.
enum class QnLynUploadKind { Document, Picture };

/// The type of a listed file, which decides the icon of its row.
enum class QnLynFileType { None, Document, Text, Spreadsheet, Pdf, Presentation, Image };

/// Suffix rules of the file rows, free of widgets.
namespace QnLynFileKind {

/// The type by suffix, case-insensitive: the complete suffix ("tar.gz") is tried first, then the
/// last one ("gz"); the lists are tried in the order documents {doc, docx}, text {txt},
/// spreadsheets {xls, xlsx}, PDF {pdf}, presentations {ppt, pptx}, images (pictureSuffixes()).
QnLynFileType typeOf(const QFileInfo &file);

/// The suffixes of pictures, lower case: png, jpg, jpeg, svg, bmp, gif, heif, heic.
QStringList pictureSuffixes();

/// True when the file's last suffix, lowered, is a picture suffix ("photo.PNG", "a.tar.png").
bool isPicture(const QFileInfo &file);

/// Picture when every file of a non-empty list is a picture, else Document.
QnLynUploadKind kindOf(const QStringList &paths);

/// The icon of a type: ":/img/DOC.svg", ":/img/TXT.svg", ":/img/XSL.svg", ":/img/PDF.svg",
/// ":/img/PPT.svg"; empty for images (drawn as a thumbnail) and unknown files.
QString iconPath(QnLynFileType type);

/// The shown name: at most 12 characters, longer names cut to their first 12 and "...".
QString shownName(const QString &name);

} // namespace QnLynFileKind
