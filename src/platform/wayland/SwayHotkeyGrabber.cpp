#include "platform/wayland/SwayHotkeyGrabber.h"

#include "platform/PlatformTypes.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/X11KeyTable.h"

#include <xkbcommon/xkbcommon.h>

SwayHotkeyGrabber::SwayHotkeyGrabber(SwayIpc* ipc, QObject* parent)
    : HotkeyGrabber(parent)
    , m_ipc(ipc)
{
    connect(m_ipc, &SwayIpc::bindingRan, this, [this](const QString& command) {
        if (isGrabbed() && command == kCommand)
            Q_EMIT activated();
    });
}

SwayHotkeyGrabber::~SwayHotkeyGrabber()
{
    ungrab();
}

QString SwayHotkeyGrabber::chordFor(quint16 keyCode, quint32 modifiers)
{
    const std::optional<quint32> keysym = X11KeyTable::keysymForVirtualKey(keyCode);
    if (!keysym)
        return {};
    char name[64];
    if (xkb_keysym_get_name(*keysym, name, sizeof name) <= 0)
        return {};
    QStringList parts;
    if (modifiers & ModifierMask::Command)
        parts << QStringLiteral("Mod4");
    if (modifiers & ModifierMask::Shift)
        parts << QStringLiteral("Shift");
    if (modifiers & ModifierMask::Option)
        parts << QStringLiteral("Mod1");
    if (modifiers & ModifierMask::Control)
        parts << QStringLiteral("Control");
    parts << QString::fromLatin1(name);
    return parts.join(QLatin1Char('+'));
}

int SwayHotkeyGrabber::grab(quint16 keyCode, quint32 modifiers)
{
    ungrab();
    const QString chord = chordFor(keyCode, modifiers);
    if (chord.isEmpty())
        return 2;
    QString error;
    if (!m_ipc->runCommand(QStringLiteral("bindsym --no-repeat %1 %2").arg(chord, kCommand), &error)) {
        qCWarning(lcWayland) << "sway refused the hotkey binding" << chord << ":" << error;
        return 1;
    }
    m_chord = chord;
    return 0;
}

void SwayHotkeyGrabber::ungrab()
{
    if (m_chord.isEmpty())
        return;
    m_ipc->runCommand(QStringLiteral("unbindsym --no-repeat %1").arg(m_chord));
    m_chord.clear();
}
