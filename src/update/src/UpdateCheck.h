#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QJsonValue;

/// What a check reply of the cloud update service offers.
struct UpdateOffer
{
    QString appUrl;       ///< "app_url": the package's address
    QString version;      ///< "app_version", dotted
    QString content;      ///< "app_update_desc": release notes
    QString md5;          ///< "md5": the package's MD5 as the service writes it
    qint64 totalSize = 0; ///< "app_size": the package's size in bytes
    int force = 0;        ///< "app_force_update": 1 = the update must be installed
};

/// The update check's reply format and version rule. Pure functions; any thread.
namespace UpdateCheck {

/// The path of the check request under the cloud service's base URL.
QString requestPath();

/// Parses a reply body. True, with offer filled from "data"."update_info", when the body is a JSON
/// object whose "code" is 200 and whose "data"."has_update" is true; false (offer untouched)
/// otherwise.
bool parseReply(const QByteArray &body, UpdateOffer *offer);

/// A size field as a 64-bit count: a number is rounded to the nearest integer, a text of decimal
/// digits is read as a number; anything else (or a negative value) gives 0.
qint64 sizeValue(const QJsonValue &value);

/// The parts of a version text: split at "." keeping empty parts, then without the parts that are
/// exactly one space.
QStringList versionParts(const QString &version);

/// The check state of a newest version against the running one (major, minor, patch): 1 when its
/// first three parts, as base-10 numbers (not a number: 0), are greater in lexicographic order, 2
/// when that holds and force is 1, 0 otherwise; -1 when it has fewer than three parts (the state
/// stays as it was).
int evaluateState(const QString &version, const QString &major, const QString &minor, const QString &patch,
                  int force);

} // namespace UpdateCheck
