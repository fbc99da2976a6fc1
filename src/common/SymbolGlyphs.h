#pragma once

#include <QColor>
#include <QIcon>
#include <QString>
#include <QStringList>

// Symbol images are drawn with the Material Icons font by ligature name. Ring
// data keeps the symbol names of the original symbol set ("lock.fill"), so every
// name that can appear in a ring or the interface is mapped here.
namespace SymbolGlyphs {

// The ligature for a symbol name; unknown names give fallbackLigature().
QString materialLigature(const QString& sfSymbolName);
bool isKnown(const QString& sfSymbolName);
QStringList knownSymbols();
// A question-mark circle, shown for names without a glyph.
QString fallbackLigature();
// Family name of the icon font and where Debian installs it.
QString fontFamily();
QString fontFile();
// The family to draw symbols with: the installed font, added to the
// application's fonts from fontFile() when the system does not list it.
// Needs a QGuiApplication.
QString loadedFontFamily();

// A symbol as a button or list icon, drawn in `colour`. Needs a QGuiApplication.
QIcon icon(const QString& sfSymbolName, const QColor& colour);

} // namespace SymbolGlyphs
