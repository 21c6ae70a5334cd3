#include "client/ui/account/QnHeadImageFile.h"

#include "qnloginbase/src/Interface/QnBoardUser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUuid>

#include <cstdio>

namespace QnHeadImageFile {

QString headDir()
{
    const QString dir =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/head/");
    QDir().mkpath(dir);
    return dir;
}

QString pathFor(const QString &uuid)
{
    if (!QnBoard::User::isSafeUuid(uuid))
        return QString();
    return headDir() + uuid + QStringLiteral(".png");
}

QString tempPathFor(const QString &finalPath)
{
    QString path;
    do {
        path = finalPath + QStringLiteral(".part-") + QUuid::createUuid().toString(QUuid::Id128).left(12);
    } while (QFile::exists(path));
    return path;
}

bool commit(const QString &tempPath, const QString &finalPath)
{
    QImageReader reader(tempPath);
    const bool picture = reader.canRead();
    if (!picture ||
        std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(finalPath).constData()) != 0) {
        QFile::remove(tempPath);
        return false;
    }
    return true;
}

void removeStaleParts(const QString &finalPath)
{
    const QFileInfo info(finalPath);
    const QDir dir = info.dir();
    for (const QString &name : dir.entryList({info.fileName() + QStringLiteral(".part-*")}, QDir::Files))
        QFile::remove(dir.filePath(name));
}

bool savePng(const QImage &image, const QString &path)
{
    if (image.isNull() || path.isEmpty())
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!image.save(&file, "PNG")) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace QnHeadImageFile
