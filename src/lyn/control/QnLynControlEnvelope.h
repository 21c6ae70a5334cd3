#pragma once

#include "lyn/control/QnLynControlTypes.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

/// The control envelope carried as gateway room messages, and the parsers of what a peer sends.
///
/// Request envelope (compact JSON): {"userId": sender's device identity, "nickName": sender's name,
/// "type": request type, "id": 36-character UUID, "data": object}. Answers: {"id", "code" (0 is
/// success), "data" or "msg"; answers built by this side also carry "type"}.
///
/// Every parser takes untrusted bytes, never throws and returns a value whose fields say what was
/// found; input above kMaxControlBytes is refused before parsing.
namespace QnLynControl {

/// Channels (gateway type = channel + 1000).
enum Channel : int {
    ChannelInput = 1,
    ChannelBoard = 2,
    ChannelPresence = 3,
    ChannelStop = 4,
    ChannelRequest = 5,
    ChannelAnswer = 6,
    ChannelKeepAlive = 7,
    ChannelKeepAliveAnswer = 8,
};

/// The request type of keep-alives (on ChannelKeepAlive).
constexpr int kKeepAliveType = 7;

constexpr int kMaxControlBytes = 1024 * 1024;
constexpr int kRequestTimeoutMs = 10000;

/// A fresh request id: a random UUID, 36 characters, no braces.
QString newRequestId();

/// The compact JSON bytes of a request envelope.
QByteArray buildEnvelope(const QString &userId, const QString &nickName, int type, const QString &id,
                         const QJsonObject &data);

/// A parsed answer (channels 6 and 8, and the time-out answer).
struct Answer
{
    bool success = false;
    QJsonObject data;  ///< "data" when it is an object, else empty
    QString errorText; ///< on failure: "msg", or "Connect to the server failed" (translated)
};
/// Bytes that are not a JSON object fail with the fixed text; no "code" fails; code 0 succeeds.
Answer parseAnswer(const QByteArray &bytes);

/// The routing fields of an answer: what the registry needs to find the request.
struct AnswerHead
{
    bool isObject = false;
    QString id;
    bool hasCode = false;
    int code = 0;
};
AnswerHead parseAnswerHead(const QByteArray &bytes);

/// An incoming request envelope (channel 5, and keep-alives on channel 7).
struct Request
{
    bool isObject = false;
    bool hasType = false;
    bool hasUserId = false;
    int type = 0;
    QString userId;
    QString nickName;
    QString ip; ///< top-level "ip", optional
    QString id;
    QJsonObject data;
};
Request parseRequest(const QByteArray &bytes);

/// A JSON number as int: 0 when absent, not a number, not finite or out of int range (fractions
/// are cut toward zero).
int toInt(const QJsonValue &value);

/// True for a peer id or file name that may become part of a file path: [A-Za-z0-9_-]{1,64}.
bool isSafePeerId(const QString &id);
/// True for a file name that stays inside its folder: not empty, at most 255 characters, no '/',
/// '\\', "..", or NUL.
bool isSafeFileName(const QString &name);

} // namespace QnLynControl
