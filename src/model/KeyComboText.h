#pragma once

#include "model/ActionModel.h"

#include <QString>

// Key combinations as a person reads them on this desktop: "Alt+Space",
// "Ctrl+Shift+K", "Super+1". Every place that shows a combination goes through
// here; the stored forms (ring files, the saved hotkey) keep their glyph text
// ("⌥Space", "⇧⌘K") so they stay portable.
namespace KeyComboText {

// Modifier names in the desktop's order Ctrl, Alt, Shift, Super, each joined
// with "+", then the key's name.
QString display(quint16 keyCode, const KeyModifiers& modifiers);

// The same for the saved hotkey's modifier mask (control 4096, option 2048,
// shift 512, command 256; other bits are ignored).
QString displayHotkey(quint32 keyCode, quint32 hotkeyModifiers);

// The name of the key a ring key code sends, after the keysym it maps to:
// "K", "1", "Space", "Backspace", "Page Up", "Left", "F5". Codes that send no
// key give "Key(<code>)".
QString keyName(quint16 keyCode);

// A stored glyph combination in the form above: "⌃Tab" -> "Ctrl+Tab",
// "⇧⌘K" -> "Shift+Super+K", "⌘Key(18)" -> "Super+1", "⌥Space" -> "Alt+Space".
// The glyphs may come in any order; a key text this table does not know is
// kept as it stands ("⌃é" -> "Ctrl+é"). Text that is no combination (no
// glyphs and no known key name) comes back unchanged.
QString fromGlyphs(const QString& stored);

// A text with glyph combinations inside it, each in the form above:
// "Copy (⌃C)" -> "Copy (Ctrl+C)", "Previous Tab (⌃⇧Tab)" -> "Previous Tab (Ctrl+Shift+Tab)".
// A combination runs from its first modifier glyph to the next blank or ")".
QString fromGlyphsIn(const QString& text);

// The modifier mask of the saved hotkey as the four flags.
KeyModifiers modifiersFromHotkeyMask(quint32 hotkeyModifiers);

} // namespace KeyComboText
