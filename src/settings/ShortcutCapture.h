#pragma once

#include "model/ActionModel.h"

#include <Qt>
#include <QtGlobal>

class QKeyEvent;

// Turns a key pressed while a shortcut is being recorded into what the slot
// stores: the virtual key code of the ring data and the four modifier flags.
// X key events arrive as a keycode and a modifier state; the keycode's
// unshifted keysym names the key, so Shift+1 records "1" with Shift.
namespace ShortcutCapture {

enum class Outcome
{
    Ignore, // a modifier on its own, or a key the ring cannot send: keep recording
    Cancel, // Escape without modifiers
    Record,
};

struct Result
{
    Outcome outcome = Outcome::Ignore;
    quint16 keyCode = 0;
    KeyModifiers modifiers;

    bool operator==(const Result&) const = default;
};

// The X modifier state of a key event: Shift, Control, Mod1 (Alt) and Mod4
// (Super) give shift, control, option and command; Lock, NumLock and the
// other bits are ignored.
KeyModifiers modifiersFromXState(quint32 state);
// The same from Qt's modifiers (Meta is Super), for sessions without X.
KeyModifiers modifiersFromQt(Qt::KeyboardModifiers modifiers);

// A keysym for a Qt key code, for sessions without X keycodes. Shifted
// punctuation has no unshifted form here and gives 0.
quint32 keysymForQtKey(int qtKey);

bool isModifierKeysym(quint32 keysym);

// The outcome of one key press: its unshifted keysym and modifiers.
Result interpret(quint32 keysym, const KeyModifiers& modifiers);

// The outcome of a key event delivered to a recording widget. On X the
// event's keycode and modifier state are read (the keycode's unshifted keysym
// through the current keymap); elsewhere Qt's key and modifiers.
Result interpretKeyEvent(const QKeyEvent& event);

} // namespace ShortcutCapture
