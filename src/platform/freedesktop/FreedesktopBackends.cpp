#include "platform/Platform.h"
#include "platform/PlatformLoader.h"

// Desktop services that work on any freedesktop session.
void installFreedesktopServices(Platform& platform);   // FreedesktopServices.cpp
void installAutostartLoginItem(Platform& platform);    // AutostartLoginItem.cpp

void installFreedesktopBackends(Platform& platform)
{
    installFreedesktopServices(platform);
    installAutostartLoginItem(platform);
}
