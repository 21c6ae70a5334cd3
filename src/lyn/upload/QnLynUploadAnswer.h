#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

/// The receiver's answer to an upload, as far as the sender relies on it.
struct QnLynUploadAnswer
{
    struct Stored
    {
        QString path; ///< the source path of the generated name the receiver named
        QString url;  ///< where the receiver stored it
    };

    /// "code" is the number 0, or "code" is absent and "data" is an array. A body that is empty,
    /// not a JSON object, whose "code" is not a number, or that has neither "code" nor a "data"
    /// array is not accepted.
    bool accepted = false;
    /// The "data" elements naming a generated file of this upload, each name once, in the answer's
    /// order; empty unless accepted.
    QList<Stored> stored;
};

/// Parses an upload answer body. pathByName maps each generated file name of the upload to its
/// source path; elements naming other files, repeated names and non-object elements are skipped.
/// Total on any input.
QnLynUploadAnswer parseUploadAnswer(const QByteArray &body, const QHash<QString, QString> &pathByName);
