#include "QnBrush/src/QnBoardActions.h"

#include "QnBrush/qnboard.pb.h"
#include "platform/scene/QnBoardWire.h"

#include <google/protobuf/util/json_util.h>

#include <QJsonDocument>

namespace QnBoardActions {

namespace {

constexpr bool sameNumber(QnBoardWire::ActionType ours, qnboard::OneAction::ActionType wire)
{
    return static_cast<int>(ours) == static_cast<int>(wire);
}
static_assert(sameNumber(QnBoardWire::Move, qnboard::OneAction::Move) &&
                  sameNumber(QnBoardWire::Pen, qnboard::OneAction::Pen) &&
                  sameNumber(QnBoardWire::Eraser, qnboard::OneAction::Eraser) &&
                  sameNumber(QnBoardWire::Delete, qnboard::OneAction::Delete) &&
                  sameNumber(QnBoardWire::Copy, qnboard::OneAction::Copy) &&
                  sameNumber(QnBoardWire::ClearItems, qnboard::OneAction::ClearItems) &&
                  sameNumber(QnBoardWire::TableChange, qnboard::OneAction::TableChange) &&
                  sameNumber(QnBoardWire::Undo, qnboard::OneAction::Undo) &&
                  sameNumber(QnBoardWire::Redo, qnboard::OneAction::Redo) &&
                  sameNumber(QnBoardWire::Select, qnboard::OneAction::Select),
              "the engines' action numbers are the schema's");

// Fills message from the JSON text with protobuf's JSON mapping. On failure the message is left as
// it was: the status is deliberately not acted on (the action goes out with defaults).
template<class Message> Message *fromJson(const std::string &jsonText, Message *message)
{
    const google::protobuf::util::JsonParseOptions options;
    (void)google::protobuf::util::JsonStringToMessage(jsonText, message, options);
    return message;
}

double asDouble(const QJsonObject &json, const char *key)
{
    return json.value(QLatin1String(key)).toDouble(0.0);
}

} // namespace

std::unique_ptr<qnboard::OneAction> makeAction(const QUuid &uuid, int actionType, const QJsonObject &json,
                                               int vwidth, int vheight, qint64 timeMs)
{
    auto action = std::make_unique<qnboard::OneAction>();
    action->set_time(timeMs);
    // proto3 enums are open: any number travels unchanged.
    action->set_actiontype(static_cast<qnboard::OneAction::ActionType>(actionType));
    action->set_vwidth(vwidth);
    action->set_vheight(vheight);
    const std::string jsonText = QJsonDocument(json).toJson(QJsonDocument::Compact).toStdString();

    switch (actionType) {
    case QnBoardWire::Move:
        action->set_allocated_movedata(fromJson(jsonText, new qnboard::MoveData));
        break;
    case QnBoardWire::Hand:
        action->set_allocated_handdata(fromJson(jsonText, new qnboard::HandData));
        break;
    case QnBoardWire::Pen: {
        auto *pen = new qnboard::PenData;
        pen->set_pen(json.value(QLatin1String("pen")).toBool(false));
        action->set_allocated_pendata(fromJson(jsonText, pen));
        break;
    }
    case QnBoardWire::Eraser: {
        auto *eraser = fromJson(jsonText, new qnboard::EraserData);
        eraser->set_x(asDouble(json, "x"));
        eraser->set_y(asDouble(json, "y"));
        eraser->set_mousetype(json.value(QLatin1String("mousetype")).toInt(0));
        eraser->set_width(asDouble(json, "width"));
        action->set_allocated_eraserdata(eraser);
        break;
    }
    case QnBoardWire::Delete: {
        auto *del = new qnboard::DeleteData;
        del->set_uuid(QnBoardWire::idText(uuid).toStdString());
        action->set_allocated_deletedata(del);
        break;
    }
    case QnBoardWire::Flow:
        action->set_allocated_flowdata(fromJson(jsonText, new qnboard::FlowData));
        break;
    case QnBoardWire::Pixmap:
        action->set_allocated_pixmapdata(fromJson(jsonText, new qnboard::PixmapData));
        break;
    case QnBoardWire::Copy: {
        auto *copy = new qnboard::CopyData;
        copy->set_uuid(QnBoardWire::idText(uuid).toStdString());
        copy->set_x(asDouble(json, "x"));
        copy->set_y(asDouble(json, "y"));
        copy->set_copyid(json.value(QLatin1String("copyid")).toString().toStdString());
        action->set_allocated_copydata(copy);
        break;
    }
    case QnBoardWire::FlowChange:
        action->set_allocated_flowchangedata(fromJson(jsonText, new qnboard::FlowChangeData));
        break;
    case QnBoardWire::TableChange:
        action->set_allocated_tablechangedata(fromJson(jsonText, new qnboard::TableChangeData));
        break;
    default: // Color, ClearItems, Icon, Background, Undo, Redo, Select and unknown numbers
        action->set_data(jsonText);
        break;
    }
    return action;
}

ParseResult parseActions(const QByteArray &bytes, qnboard::Actions &out)
{
    out.Clear();
    if (bytes.size() > kMaxActionsBytes)
        return ParseResult::Error;
    if (!out.ParseFromArray(bytes.constData(), bytes.size())) {
        out.Clear();
        return ParseResult::Error;
    }
    return ParseResult::Used;
}

} // namespace QnBoardActions
