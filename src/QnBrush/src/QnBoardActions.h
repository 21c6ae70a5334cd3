#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QUuid>

#include <memory>

namespace qnboard {
class Actions;
class OneAction;
} // namespace qnboard

/// Conversion between board events and the qnboard wire messages (wire conventions: QnBoardWire.h).
namespace QnBoardActions {

/// One board event as one OneAction: actiontype = actionType unchanged (any int), vwidth / vheight
/// and time (ms since the epoch) as given, the payload chosen by actionType. Sub-messages filled
/// from the JSON keep their defaults when the JSON does not fit them; Delete and Copy take their
/// uuid from the id argument; types without a sub-message carry the JSON as compact text in data.
/// Never fails.
std::unique_ptr<qnboard::OneAction> makeAction(const QUuid &uuid, int actionType, const QJsonObject &json,
                                               int vwidth, int vheight, qint64 timeMs);

enum class ParseResult {
    Used,  ///< the whole input was one Actions message
    Error, ///< not an Actions message (or larger than kMaxActionsBytes); out is cleared
};

/// Received batches larger than this are refused unparsed.
constexpr int kMaxActionsBytes = 4 * 1024 * 1024;

/// Parses one received Actions batch. Input of any content and length is safe.
ParseResult parseActions(const QByteArray &bytes, qnboard::Actions &out);

} // namespace QnBoardActions
