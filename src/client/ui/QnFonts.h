#pragma once

#include <QString>
#include <QStringList>

/// Font families of the windows on Linux.
///
/// The forms ask for "PingFang SC" / "PingFangSC-Regular" and the account and update screens for
/// "Microsoft YaHei"; none of them exists here. QnFonts::install maps all three to Noto Sans CJK SC
/// (package fonts-noto-cjk) through QFont::insertSubstitutions, so Chinese text renders with the
/// simplified-Chinese glyph shapes and text metrics come from one known font.
///
/// The program calls it once at start-up, after the QApplication exists and before any window is
/// made; tests and the screenshot program call it the same way. GUI thread only; calling it again
/// changes nothing.
///
/// Programs that render through fontconfig directly get the same mapping from the alias file
/// resources/fonts/qn-fonts.conf (tests load it through FONTCONFIG_FILE, see cmake/QnHelpers.cmake).
namespace QnFonts {

/// The family every form family is mapped to: "Noto Sans CJK SC".
QString cjkFamily();

/// The form families that are mapped: "PingFang SC", "PingFangSC-Regular", "Microsoft YaHei".
QStringList formFamilies();

/// Installs the substitutions (idempotent).
void install();

/// True when the font database has the CJK family (false on a machine without fonts-noto-cjk).
bool cjkFamilyAvailable();

} // namespace QnFonts
