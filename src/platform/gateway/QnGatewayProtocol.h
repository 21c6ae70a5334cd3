#pragma once

#include <QByteArray>
#include <QString>

/// Wire format between QnGatewayClient and QnGatewayServer.
///
/// Transport: one WebSocket connection per session; every frame is a WebSocket text message holding
/// exactly one compact JSON object (UTF-8). Binary payloads travel base64 encoded (standard
/// alphabet, padded). Keys not listed for an operation are refused, as are wrong JSON types and
/// values out of range: a peer that sends such a frame is logged and the frame dropped.
///
/// Keys (all optional unless an operation needs them):
///   "op"      string   the operation, see QnGatewayOp (always present)
///   "seq"     number   request index chosen by the client, 0..2^31-1; echoed by the answer
///   "user"    string   a user id (login: own id; member notices: the member)
///   "name"    string   a display name (login: own name; deliver: the sender's name)
///   "room"    string   a room id (join, leave, join/leave answers, member notices)
///   "to"      string   target user id of a message
///   "from"    string   sender user id of a delivered message
///   "msgId"   string   message id chosen by the sender (a UUID text)
///   "type"    number   message type, 0..65535 (this system: channel + 1000)
///   "payload" string   base64 of the message bytes (decoded at most kMaxPayload bytes)
///   "code"    number   answer code: 0 success, otherwise a QnGatewayResult value
///   "text"    string   answer text, human readable
///   "reason"  number   member leave reason: 1 left (leave/logout), 3 dropped (socket lost)
///
/// Client -> server: login {seq,user,name}, logout {seq}, join {seq,room}, leave {seq,room},
///   msg {to,msgId,type,payload}.
/// Server -> client: answer {seq,code,text[,room]} for login/logout/join/leave,
///   deliver {from,name,to,msgId,type,payload}, memberJoin {room,user},
///   memberLeave {room,user,reason}, kicked {code,text} (the session was replaced by a newer
///   login with the same user id; the client must not sign in again by itself).
enum class QnGatewayOp {
    Login,
    Logout,
    Join,
    Leave,
    Message,
    Answer,
    Deliver,
    MemberJoin,
    MemberLeave,
    Kicked,
};

/// Result codes of the gateway library (answers and synchronous call results).
enum QnGatewayResult : int {
    QnGatewayOk = 0,
    QnGatewayNotStarted = -1,    ///< no gateway object / not started / stopped
    QnGatewayNotSignedIn = -2,   ///< the operation needs a signed-in session
    QnGatewayBadArgument = -3,   ///< an id or payload too long or empty
    QnGatewayConnectFailed = -4, ///< the socket could not be opened or was lost before the answer
    QnGatewayTimeout = -5,       ///< no answer within the configured time
    QnGatewayRefused = -6,       ///< the server refused the login
    QnGatewayReplaced = -7,      ///< a newer login with the same user id took over the session
    QnGatewayNotInRoom = -8,     ///< leave of a room that the session is not in
};

/// Why a member left a room.
enum class QnGatewayLeaveReason : int {
    Left = 1,    ///< leave or logout
    Dropped = 3, ///< the socket was lost (closed without logout, or silent past the ping time-out)
};

/// One decoded frame. Fields not used by the operation stay at their defaults.
struct QnGatewayFrame
{
    QnGatewayOp op = QnGatewayOp::Answer;
    qint64 seq = -1; ///< -1: absent
    QString user;
    QString name;
    QString room;
    QString to;
    QString from;
    QString msgId;
    int type = 0;
    QByteArray payload;
    int code = 0;
    QString text;
    int reason = 0;
};

namespace QnGatewayWire {

constexpr int kMaxFrameBytes = 12 * 1024 * 1024; ///< whole text frame
constexpr int kMaxPayload = 8 * 1024 * 1024;     ///< decoded payload
constexpr int kMaxIdChars = 128;                 ///< user, room, msgId, to, from
constexpr int kMaxTextChars = 1024;              ///< name, text

enum class ParseResult {
    Used,  ///< the frame was decoded into out
    Error, ///< malformed: out is unspecified; the frame must be dropped
};
// Frames arrive whole (one WebSocket message each), so there is no "incomplete" result.

/// Decodes one text frame. Checks the size before parsing and every key's type and range.
ParseResult parseFrame(const QByteArray &frame, QnGatewayFrame *out, QString *error = nullptr);

/// Encodes a frame with exactly the keys its operation uses. The caller keeps ids and texts within
/// the limits above (frames that break them are refused by the reader).
QByteArray serializeFrame(const QnGatewayFrame &frame);

const char *opName(QnGatewayOp op);

} // namespace QnGatewayWire
