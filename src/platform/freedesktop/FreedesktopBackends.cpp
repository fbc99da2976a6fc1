#include "platform/Platform.h"
#include "platform/PlatformLoader.h"

// Placeholder until the freedesktop backends land.
void installFreedesktopBackends(Platform&) {}
