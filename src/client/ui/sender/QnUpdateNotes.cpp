#include "client/ui/sender/QnUpdateNotes.h"

#include "client/ui/internal/QnUiLog.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

QString QnUpdateNotes::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) +
           QStringLiteral("/UpdateContext.ini");
}

QnUpdateNotes QnUpdateNotes::load(const QString &path, const QString &runningVersion)
{
    QnUpdateNotes notes;
    if (!QFile::exists(path))
        return notes;
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setIniCodec("UTF-8");
        ini.beginGroup(QStringLiteral("Default"));
        QStringList keys = ini.childKeys();
        qCDebug(lcUi) << "update notes for" << keys;
        if (keys.isEmpty())
            return notes;
        keys.sort();
        const QString key = keys.last();
        const QStringList have = key.split(QLatin1Char('.'));
        const QStringList want = runningVersion.split(QLatin1Char('.'));
        if (have.size() >= 3 && want.size() >= 3 && have.mid(0, 3) == want.mid(0, 3)) {
            notes.found = true;
            notes.version = key;
            notes.text = ini.value(key).toString();
        }
        ini.endGroup();
    }
    if (notes.found && !QFile::remove(path))
        qCWarning(lcUi) << "update notes file could not be removed";
    return notes;
}
