#pragma once

#include <optional>
#include <QtGlobal>

// Pure tables between the ring data's virtual key codes (the ANSI layout codes
// that ring files carry) and X keysyms, and X button numbers.
namespace X11KeyTable {

// The unshifted keysym of a virtual key code; none for codes without a key.
std::optional<quint32> keysymForVirtualKey(int virtualKeyCode);
// The virtual key code of a keysym (letters in either case); -1 when none.
int virtualKeyForKeysym(quint32 keysym);
// X button -> InputMonitor button number; -1 for wheel buttons (4..7) and 0.
int buttonFromX(int xButton);

// Keysyms of the modifier keys Rondix presses and recognises.
constexpr quint32 kShiftL = 0xffe1, kShiftR = 0xffe2, kControlL = 0xffe3, kControlR = 0xffe4;
constexpr quint32 kCapsLock = 0xffe5, kAltL = 0xffe9, kAltR = 0xffea, kSuperL = 0xffeb, kSuperR = 0xffec;
constexpr quint32 kMetaL = 0xffe7, kMetaR = 0xffe8, kNumLock = 0xff7f, kModeSwitch = 0xff7e;

} // namespace X11KeyTable
