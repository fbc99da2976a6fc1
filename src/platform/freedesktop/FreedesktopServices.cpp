#include "platform/freedesktop/CanberraSoundPlayer.h"
#include "platform/freedesktop/FreedesktopSessionControls.h"
#include "platform/freedesktop/GioDesktopEntries.h"
#include "platform/freedesktop/QtClipboard.h"
#include "platform/freedesktop/XdgOpener.h"
#include "platform/Platform.h"

#include <QGuiApplication>

// Desktop entries (GIO), opener, session controls, sounds and clipboard: they
// work on any freedesktop session. Only services still missing are filled.
void installFreedesktopServices(Platform& platform)
{
    if (!platform.desktopEntries)
        platform.desktopEntries = new GioDesktopEntries(&platform);
    if (!platform.opener)
        platform.opener = new XdgOpener(&platform);
    if (!platform.session)
        platform.session = new FreedesktopSessionControls(platform.opener, &platform);
    if (!platform.sounds)
        platform.sounds = new CanberraSoundPlayer(&platform);
    if (!platform.clipboard && qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        platform.clipboard = new QtClipboard(&platform);
}
