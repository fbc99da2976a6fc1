#pragma once

#include "model/ActionModel.h"
#include "settings/ShortcutCapture.h"

#include <QString>

// What the trigger recorders store, apart from their widgets: the saved
// hotkey's key code, modifier mask and glyph text for a recorded key, and the
// mouse buttons the mouse recorder takes.
namespace TriggerRecorderRules {

// The saved hotkey's modifier mask: control 4096, option 2048, shift 512,
// command 256.
quint32 hotkeyModifiers(const KeyModifiers& modifiers);

// The stored name of a key code: the letters, Return, Tab, Space, Delete and
// F1 to F12 by name, any other code as "Key(<code>)".
QString keyString(quint16 keyCode);

// The stored text of a chord: the glyphs ⌃⌥⇧⌘ of the held modifiers, in that
// order, then keyString(). Shown to the user through KeyComboText.
QString hotkeyDisplayString(quint16 keyCode, const KeyModifiers& modifiers);

struct RecordedHotkey
{
    ShortcutCapture::Outcome outcome = ShortcutCapture::Outcome::Ignore;
    quint32 keyCode = 0;
    quint32 carbonModifiers = 0;
    QString displayString;

    bool operator==(const RecordedHotkey&) const = default;
};

// One key pressed while the hotkey is recorded (its unshifted keysym and the
// held modifiers): a lone modifier or a key the ring has no code for keeps
// recording, Escape alone cancels, anything else (also Escape with a
// modifier, or a key without any) is the new hotkey.
RecordedHotkey interpretHotkey(quint32 keysym, const KeyModifiers& modifiers);
RecordedHotkey fromCapture(const ShortcutCapture::Result& capture);

// The primary and secondary buttons click; every other button may summon.
bool isRecordableButton(int button);

} // namespace TriggerRecorderRules
