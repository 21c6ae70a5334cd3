#pragma once

#include <QLoggingCategory>
#include <QString>

/// The program's one log sink.
///
/// Components declare their own categories, named "qn.<area>" (Q_LOGGING_CATEGORY in their .cpp,
/// Q_DECLARE_LOGGING_CATEGORY in a header when shared), and log through qCDebug / qCInfo /
/// qCWarning / qCCritical. Every target is built with QT_MESSAGELOGCONTEXT, so each line carries the
/// source file, line and function in every build type.
///
/// Level meanings:
///  - debug:    protocol and state traces, off by default outside tests;
///  - info:     one line per user-visible event (connected, mirroring started, backend chosen);
///  - warning:  a failure that the program recovers from (bad datagram, retry, fallback);
///  - critical: a failure that ends a feature (capture cannot start, settings not writable).
///
/// Passwords, tokens and verification codes are never passed to the log: log their presence or
/// length instead (see QnLog::redacted). Values that come from peers (room members, receivers,
/// HTTP answers) go through QnLog::peer, which caps their length; the sink caps every line as well
/// and rotates its file by size, so no peer can make the log grow without bound.
namespace QnLog {

/// Bounds of the sink. The defaults suit the product; tests shrink them.
struct Limits
{
    int maxLineChars = 8192;               ///< a longer message is cut and marked
    qint64 maxFileBytes = 8 * 1024 * 1024; ///< past this the file is rotated
    int keepFiles = 3;                     ///< rotated files kept: <path>.1 (newest) .. <path>.N
};

/// Longest peer value QnLog::peer passes through whole.
constexpr int kMaxPeerChars = 256;

/// Installs the sink as Qt's message handler. Lines go to stderr and, when filePath is not empty,
/// are appended to that file as well. Thread-safe: messages may come from any thread.
/// Call once from main(); a second call only changes the file.
void install(const QString &filePath = QString());

/// Replaces the sink's bounds; takes effect with the next line. Thread-safe.
void setLimits(const Limits &limits);
Limits limits();

/// Restores Qt's default handler and closes the file (tests and shutdown).
void uninstall();

/// The path of the log file in use, or an empty string.
QString filePath();

/// Formats one line as the sink writes it (exposed for tests).
QString formatLine(QtMsgType type, const QMessageLogContext &context, const QString &message);

/// A placeholder for a secret in log text: "<redacted N chars>" or "<empty>".
QString redacted(const QString &secret);

/// A peer's value made fit for a log line: control characters become '?', and text longer than
/// maxChars keeps its first maxChars characters followed by "...<+N chars>".
QString peer(const QString &value, int maxChars = kMaxPeerChars);
/// The same for bytes, read as UTF-8.
QString peer(const QByteArray &value, int maxChars = kMaxPeerChars);

/// Cuts a message longer than maxChars to maxChars characters plus "...<cut N chars>".
QString capLine(const QString &message, int maxChars);

} // namespace QnLog

Q_DECLARE_LOGGING_CATEGORY(lcApp)
