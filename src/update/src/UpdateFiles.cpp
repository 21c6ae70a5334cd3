#include "update/src/UpdateFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QUrl>

Q_LOGGING_CATEGORY(lcUpdateFiles, "qn.update.files")

namespace {
constexpr qint64 kMd5Piece = 4096;
constexpr int kMaxFileName = 128;
} // namespace

namespace UpdateFiles {

QString folderId(const QString &appDir)
{
    QString id = QString::fromLatin1(appDir.toUtf8().toBase64());
    id.remove(QLatin1Char('='));
    id.remove(QLatin1Char('-'));
    id.remove(QLatin1Char('+'));
    id.remove(QLatin1Char('/'));
    return id;
}

QString updateDir(const QString &appDir)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/update/") +
           folderId(appDir);
}

QString updateProgramName()
{
    return QStringLiteral("update");
}

QString stagedUpdateProgram(const QString &appDir)
{
    return updateDir(appDir) + QLatin1Char('/') + updateProgramName();
}

bool removeFolderTree(const QString &folder)
{
    const QFileInfo top(folder);
    if (top.isSymLink()) {
        // The folder itself is a link: remove the link, never what it points to.
        return QFile::remove(folder);
    }
    if (!top.exists())
        return true;
    if (!top.isDir())
        return false;

    bool ok = true;
    QStringList folders{top.absoluteFilePath()};
    for (int i = 0; i < folders.size(); ++i) {
        const QDir dir(folders.at(i));
        const QFileInfoList entries =
            dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir() && !entry.isSymLink()) {
                folders.append(entry.absoluteFilePath());
                continue;
            }
            // Files, links (to folders too) and special files are unlinked where they stand.
            if (!QFile::remove(entry.absoluteFilePath())) {
                qCWarning(lcUpdateFiles) << "cannot remove" << entry.absoluteFilePath();
                ok = false;
            }
        }
    }
    for (int i = folders.size() - 1; i >= 0; --i) {
        if (!QDir().rmdir(folders.at(i))) {
            qCWarning(lcUpdateFiles) << "cannot remove folder" << folders.at(i);
            ok = false;
        }
    }
    return ok;
}

QByteArray fileMd5(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcUpdateFiles) << "file open error." << path;
        return QByteArray();
    }
    QCryptographicHash hash(QCryptographicHash::Md5);
    const qint64 size = file.size();
    qint64 done = 0;
    while (done < size) {
        const QByteArray piece = file.read(qMin(kMd5Piece, size - done));
        if (piece.isEmpty()) {
            qCWarning(lcUpdateFiles) << "file read error." << path;
            return QByteArray();
        }
        hash.addData(piece);
        done += piece.size();
    }
    return hash.result().toHex();
}

bool isMd5Hex(const QString &text)
{
    if (text.size() != 32)
        return false;
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

bool isPackageUrl(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty() && url.userInfo().isEmpty();
}

QString packageFileName(const QUrl &url)
{
    QString name = url.fileName(QUrl::FullyDecoded);
    for (QChar &c : name) {
        const ushort u = c.unicode();
        const bool keep = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                          u == '.' || u == '-' || u == '_' || u == '+';
        if (!keep)
            c = QLatin1Char('_');
    }
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    if (name.size() > kMaxFileName)
        name = name.right(kMaxFileName); // keeps the suffix that chooses the installer route
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("package") : name;
}

} // namespace UpdateFiles
