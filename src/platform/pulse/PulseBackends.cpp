#include "platform/Platform.h"
#include "platform/PlatformLoader.h"
#include "platform/pulse/PulseMixer.h"

void installPulseBackends(Platform& platform)
{
    if (!platform.mixer)
        platform.mixer = new PulseMixer(&platform);
}
