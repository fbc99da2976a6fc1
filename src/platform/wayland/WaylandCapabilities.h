#pragma once

#include "platform/SessionCapabilities.h"

#include <QSet>
#include <QString>

// Which desktop a Wayland session is and what Rondix can do there, decided
// from XDG_CURRENT_DESKTOP, the compositor's globals and whether sway's IPC
// answers. Pure: the loader passes what it found.
namespace WaylandCapabilities {

enum class Compositor { Wlroots, Sway, KWin, Gnome, Other };

Compositor identify(const QString& currentDesktop, const QSet<QString>& globals, bool swayIpc);

SessionCapabilities assess(const QString& currentDesktop, const QSet<QString>& globals, bool swayIpc);

} // namespace WaylandCapabilities
