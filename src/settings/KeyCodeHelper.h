#pragma once

#include <optional>
#include <QString>

// Virtual key codes (ANSI layout numbering, the codes ring files carry) to key
// texts and back. The names are what a recorded shortcut stores as its key.
namespace KeyCodeHelper {

// Text for a key code; codes without a name give "Key(<code>)".
QString keyName(quint16 keyCode);

// Key code for a typed key text. The text is lower-cased first and must then
// be exactly one of the known characters; anything else has no code, and the
// caller keeps the code it recorded.
std::optional<quint16> keyCode(const QString& text);

} // namespace KeyCodeHelper
