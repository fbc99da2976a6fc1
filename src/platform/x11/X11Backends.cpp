#include "platform/Platform.h"
#include "platform/PlatformLoader.h"

// Placeholder until the X11 backend lands: reports that no X server is used.
bool installX11Backends(Platform&)
{
    return false;
}
