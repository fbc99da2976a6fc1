#include "platform/Platform.h"

// The autostart login item is installed here once it exists.
void installAutostartLoginItem(Platform&) {}
