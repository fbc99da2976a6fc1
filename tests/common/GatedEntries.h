#pragma once

// Desktop entries whose listing waits at a gate, so that a test can catch an
// application scan half way: `entered` is released when the scan starts to
// list, and the listing returns once the test releases `gate`.
#include "platform/fake/FakePlatform.h"

#include <QSemaphore>

class GatedEntries : public FakeDesktopEntries
{
public:
    using FakeDesktopEntries::FakeDesktopEntries;
    QList<DesktopEntry> allApplications() override
    {
        entered.release();
        gate.acquire();
        return entries;
    }
    QSemaphore entered;
    QSemaphore gate;
};
