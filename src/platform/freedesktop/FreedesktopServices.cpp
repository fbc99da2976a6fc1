#include "platform/Platform.h"

// Desktop entries (GIO), opener, session controls, sounds and clipboard are
// installed here once they exist; until then the null backends serve.
void installFreedesktopServices(Platform&) {}
