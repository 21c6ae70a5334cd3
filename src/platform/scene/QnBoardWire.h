#pragma once

#include <QColor>
#include <QString>
#include <QUuid>

/// The whiteboard's wire conventions, stated once for the engines and the adaptor.
///
/// - Action types are the numbers of the board schema's ActionType enum (QnBoardWire::ActionType).
/// - A pen event's "mousetype" is QnBoardWire::MouseType: 0 press, 1 move, 2 release.
/// - A pen event's "id" is the input point id: 0 for the mouse, the touch point id for touch input.
///   Several strokes may be in progress at once, one per point id.
/// - "x", "y" are scene units. The board scene's origin is the view's top-left corner and, with the
///   view untransformed, one scene unit is one pixel of the view: this is the view-size space that
///   the action's vwidth / vheight describe. Under a view transform positions stay in scene units.
/// - "width" is the pen width in scene units.
/// - Colours are text "#aarrggbb" (QColor::HexArgb), lower-case hexadecimal.
/// - Item ids and sender ids are QUuid text without braces (36 characters).
namespace QnBoardWire {

enum ActionType : int {
    Move = 0,
    Hand = 1,
    Pen = 2,
    Eraser = 3,
    Delete = 4,
    Flow = 5,
    Pixmap = 6,
    Color = 7,
    Copy = 8,
    ClearItems = 9,
    FlowChange = 10,
    TableChange = 11,
    Icon = 12,
    Background = 13,
    Undo = 14,
    Redo = 15,
    Select = 16,
};

enum MouseType : int {
    MousePress = 0,
    MouseMove = 1,
    MouseRelease = 2,
};

/// Stylus values of QnGraphicsView::setStylus and QnObjectCore::setStylus.
enum Stylus : int {
    PenStylus = 0,
    SelectStylus = 3,
};

/// Colour as it travels: "#aarrggbb".
QString colorText(const QColor &color);
/// Parses colorText's form (and the other forms QColor accepts); invalid text gives an invalid colour.
QColor colorFromText(const QString &text);
/// Id as it travels: 36 characters, no braces.
QString idText(const QUuid &id);

} // namespace QnBoardWire
