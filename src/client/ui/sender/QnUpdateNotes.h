#pragma once

#include <QString>

/// The notes of an update, read once from "UpdateContext.ini" (UTF-8 INI, group "Default", one key
/// per version in dotted form, the notes as its value). Nothing in this program writes the file;
/// it is deleted after notes for the running version were read, so they are shown once.
struct QnUpdateNotes
{
    bool found = false; ///< notes for the running version were read (and the file deleted)
    QString version;    ///< the key that matched
    QString text;       ///< its notes

    /// The file's place: the application-local data folder followed by "/UpdateContext.ini".
    static QString defaultPath();

    /// Reads path: the last key in sorted (text) order is taken; it matches when it and
    /// runningVersion both have at least three dot-separated parts and the first three are equal.
    /// On a match the file is deleted; otherwise it stays for a later version.
    static QnUpdateNotes load(const QString &path, const QString &runningVersion);
};
