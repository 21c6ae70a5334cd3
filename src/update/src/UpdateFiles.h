#pragma once

#include <QByteArray>
#include <QString>

class QUrl;

/// File rules of the updater, shared by the update check, the download routes, the installer start
/// and the application controller's hand-over of a staged update program. Any thread.
namespace UpdateFiles {

/// The update folder's id of an application folder: its UTF-8 text in standard Base64 with every
/// "=", "-", "+" and "/" removed ("C:/a" gives "QzovYQ").
QString folderId(const QString &appDir);

/// The update folder of an application folder: the per-user AppDataLocation + "/update/" + its id.
QString updateDir(const QString &appDir);

/// The name of the update program beside the application ("update").
QString updateProgramName();

/// The staged update program of an application folder: updateDir(appDir) + "/update".
QString stagedUpdateProgram(const QString &appDir);

/// Deletes folder with everything in it. A missing folder counts as removed. Symbolic links are
/// removed themselves and never followed, so nothing outside folder is touched. False when an
/// entry or a folder could not be removed (entries that could be are gone).
bool removeFolderTree(const QString &folder);

/// Lower-case hexadecimal MD5 of a file's bytes; empty when the file cannot be read whole.
QByteArray fileMd5(const QString &path);

/// True for 32 hexadecimal digits (either case).
bool isMd5Hex(const QString &text);

/// True for an absolute http or https URL with a host and without user information.
bool isPackageUrl(const QUrl &url);

/// A safe local file name for a package URL: the URL path's last segment (never the query) with
/// everything but letters, digits, ".", "-", "_" and "+" turned into "_", no leading dots, at most
/// 128 characters; "package" when nothing is left.
QString packageFileName(const QUrl &url);

} // namespace UpdateFiles
