#include "settings/ShortcutCapture.h"

#include "platform/x11/X11KeyTable.h"

#include <QGuiApplication>
#include <QKeyEvent>

#if __has_include(<QtGui/qguiapplication_platform.h>)
#include <QtGui/qguiapplication_platform.h>
#endif
#include <xcb/xcb_keysyms.h>

namespace ShortcutCapture {

namespace {
constexpr quint32 kShiftMask = 1u << 0;
constexpr quint32 kControlMask = 1u << 2;
constexpr quint32 kMod1Mask = 1u << 3;
constexpr quint32 kMod4Mask = 1u << 6;
constexpr int kEscapeCode = 53;

quint32 unshiftedKeysym(quint32 keycode)
{
#if defined(QT_FEATURE_xcb) && QT_CONFIG(xcb)
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return 0;
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(x11->connection());
    if (!symbols)
        return 0;
    const quint32 keysym = xcb_key_symbols_get_keysym(symbols, xcb_keycode_t(keycode), 0);
    xcb_key_symbols_free(symbols);
    return keysym;
#else
    Q_UNUSED(keycode);
    return 0;
#endif
}
} // namespace

KeyModifiers modifiersFromXState(quint32 state)
{
    KeyModifiers m;
    m.shift = state & kShiftMask;
    m.control = state & kControlMask;
    m.option = state & kMod1Mask;
    m.command = state & kMod4Mask;
    return m;
}

KeyModifiers modifiersFromQt(Qt::KeyboardModifiers modifiers)
{
    KeyModifiers m;
    m.shift = modifiers & Qt::ShiftModifier;
    m.control = modifiers & Qt::ControlModifier;
    m.option = modifiers & Qt::AltModifier;
    m.command = modifiers & Qt::MetaModifier;
    return m;
}

quint32 keysymForQtKey(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return quint32('a' + (key - Qt::Key_A));
    // Printable Latin-1 keys share their code with their keysym.
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return quint32(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return 0xffbe + quint32(key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: // Shift+Tab arrives as Backtab
        return 0xff09;
    case Qt::Key_Return:
        return 0xff0d;
    case Qt::Key_Enter:
        return 0xff8d;
    case Qt::Key_Backspace:
        return 0xff08;
    case Qt::Key_Escape:
        return 0xff1b;
    case Qt::Key_Delete:
        return 0xffff;
    case Qt::Key_Home:
        return 0xff50;
    case Qt::Key_End:
        return 0xff57;
    case Qt::Key_PageUp:
        return 0xff55;
    case Qt::Key_PageDown:
        return 0xff56;
    case Qt::Key_Left:
        return 0xff51;
    case Qt::Key_Up:
        return 0xff52;
    case Qt::Key_Right:
        return 0xff53;
    case Qt::Key_Down:
        return 0xff54;
    case Qt::Key_Shift:
        return X11KeyTable::kShiftL;
    case Qt::Key_Control:
        return X11KeyTable::kControlL;
    case Qt::Key_Alt:
        return X11KeyTable::kAltL;
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
        return X11KeyTable::kSuperL;
    case Qt::Key_Super_R:
        return X11KeyTable::kSuperR;
    case Qt::Key_CapsLock:
        return X11KeyTable::kCapsLock;
    case Qt::Key_NumLock:
        return X11KeyTable::kNumLock;
    default:
        return 0;
    }
}

bool isModifierKeysym(quint32 keysym)
{
    // Shift_L ... Hyper_R, the ISO level and group keys, Mode_switch, Num_Lock.
    return (keysym >= 0xffe1 && keysym <= 0xffee) || (keysym >= 0xfe01 && keysym <= 0xfe13) ||
           keysym == X11KeyTable::kModeSwitch || keysym == X11KeyTable::kNumLock;
}

Result interpret(quint32 keysym, const KeyModifiers& modifiers)
{
    if (keysym == 0 || isModifierKeysym(keysym))
        return {};
    const int code = X11KeyTable::virtualKeyForKeysym(keysym);
    if (code < 0 || code > 0xffff)
        return {};
    if (code == kEscapeCode && modifiers == KeyModifiers::none())
        return {Outcome::Cancel, 0, {}};
    return {Outcome::Record, quint16(code), modifiers};
}

Result interpretKeyEvent(const QKeyEvent& event)
{
    if (QGuiApplication::platformName() == QLatin1String("xcb") && event.nativeScanCode() != 0)
        return interpret(unshiftedKeysym(event.nativeScanCode()), modifiersFromXState(event.nativeModifiers()));
    return interpret(keysymForQtKey(event.key()), modifiersFromQt(event.modifiers()));
}

} // namespace ShortcutCapture
