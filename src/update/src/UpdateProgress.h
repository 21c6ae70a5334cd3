#pragma once

#include <QString>

/// Texts and bar values of the update dialog, from 64-bit byte counts. Pure functions.
namespace UpdateProgress {

/// The size text: whole MiB (integer division) + "M"; 3145728 gives "3M", 1048575 "0M".
QString sizeText(qint64 totalSize);

/// The percentage text, received x 100 / total (64-bit integer division) + "%"; empty when
/// total <= 0.
QString percentText(qint64 received, qint64 total);

/// A progress bar's maximum and value for received of total: the byte counts themselves when the
/// total fits a bar (an int), otherwise both scaled down alike. Not valid when total <= 0.
struct Bar
{
    int maximum = 0;
    int value = 0;
};
Bar bar(qint64 received, qint64 total);

} // namespace UpdateProgress
