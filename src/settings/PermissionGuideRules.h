#pragma once

#include "platform/InputTrust.h"

#include <QString>
#include <QStringList>

// What the permission guide says, apart from its widgets. On X11 input
// control is available when the server has XTest (posting keys) and XInput
// 2.2 (the mouse trigger, the hotkey fallback, clicks outside the ring).
namespace PermissionGuideRules {

struct Explanation
{
    QString title;
    // One line per missing part, saying what it stops Rondix from doing.
    QStringList missing;
    // What the user can do about it.
    QString remedy;
};

Explanation explain(bool granted, const InputAccess& access);

// The file the drag box offers and the file manager shows: Rondix's desktop
// entry where one is installed (the applications folders, then the user's
// autostart entry), else the running program.
QString desktopEntryPath();

} // namespace PermissionGuideRules
