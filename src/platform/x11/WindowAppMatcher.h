#pragma once

#include "platform/PlatformTypes.h"

#include <optional>
#include <QString>

class DesktopEntries;

// What a top-level window tells about the application that owns it.
struct WindowIdentity
{
    QString wmInstance; // WM_CLASS instance part
    QString wmClass;    // WM_CLASS class part
    QString gtkAppId;   // _GTK_APPLICATION_ID
    QString executable; // /proc/<pid>/exe target, when readable
};

namespace WindowAppMatcher {

// The desktop entry of a window: StartupWMClass against the WM_CLASS instance,
// then the class; the class (and lower-cased class) as a desktop id; the GTK
// application id; the executable's basename as a desktop id.
std::optional<DesktopEntry> match(const WindowIdentity& window, DesktopEntries& entries);

// The running application of a window. `ownProcess`: the window belongs to
// Rondix itself and reports kOwnAppId.
RunningApp describe(quint32 window, qint64 pid, const WindowIdentity& identity, DesktopEntries* entries,
                    bool ownProcess);

} // namespace WindowAppMatcher
