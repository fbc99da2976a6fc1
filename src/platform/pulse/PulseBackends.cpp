#include "platform/Platform.h"
#include "platform/PlatformLoader.h"

// Placeholder until the PulseAudio backend lands.
void installPulseBackends(Platform&) {}
