#pragma once

#include <QImage>
#include <QString>

/// The client's local head pictures: data location + "/head/" + uuid + ".png". A picture is always
/// written beside its final name first and moved over it only when complete and readable, so the
/// picture shown never disappears because a download or a save failed.
namespace QnHeadImageFile {

/// The folder (data location + "/head/"), created when missing.
QString headDir();
/// headDir() + uuid + ".png"; "" when uuid is not usable as a file name.
QString pathFor(const QString &uuid);
/// A fresh name beside finalPath for a picture being written (does not exist yet).
QString tempPathFor(const QString &finalPath);
/// Moves a complete temporary file over finalPath when it holds a readable picture; otherwise (or
/// when the move fails) removes the temporary file and returns false.
bool commit(const QString &tempPath, const QString &finalPath);
/// Removes the partly written pictures beside finalPath that an earlier run or a page closed
/// mid-transfer left behind (their reports were dropped with the page).
void removeStaleParts(const QString &finalPath);
/// Writes image as PNG to path atomically; false (nothing written) for a null image or a failed write.
bool savePng(const QImage &image, const QString &path);

} // namespace QnHeadImageFile
