#pragma once

#include <QString>

class QBoxLayout;
class QFrame;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

/// Building blocks of the account forms, shared so that the pages look alike: colours, the input
/// rows (an icon cell and a borderless field on #F0F0F0), the accent and outline buttons, error
/// lines and centred rows. Every widget gets the object name the forms select by.
namespace QnAccountForm {

inline constexpr const char kAccent[] = "#DE6F6F";

/// Style sheet of an accent button (white on #DE6F6F, pressed #BF5050, disabled #CCCCCC).
QString accentButtonStyle(int radius = 4);
/// Style sheet of an outline button (accent border and text, filled when pressed, grey disabled).
QString outlineButtonStyle();
/// Style sheet of an input field of the forms.
QString fieldStyle();

QLabel *label(QWidget *parent, const char *name, const QString &text, const QString &style);
QLabel *errorLine(QWidget *parent, const char *name, int height = 30);
QLabel *iconCell(QWidget *parent, const char *name, const QString &image);
QLineEdit *field(QWidget *parent, const char *name, const QString &placeholder, int width);
QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &style);
QPushButton *imageButton(QWidget *parent, const char *name, const QString &image, int w, int h);
/// A horizontal row that centres one widget (or a layout) between expanding spacers.
QHBoxLayout *centred(QBoxLayout *into, QWidget *widget);
QHBoxLayout *centredLayout(QBoxLayout *into);
/// A framed 327 x 40 row (named frameName) with an icon cell, a field and an optional trailing widget.
QFrame *inputFrame(QWidget *parent, const char *frameName, int width = 327);

} // namespace QnAccountForm
