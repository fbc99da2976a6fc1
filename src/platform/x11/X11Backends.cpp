#include "platform/Platform.h"
#include "platform/PlatformLoader.h"
#include "platform/WindowRingSurface.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyGrabber.h"
#include "platform/x11/X11InputMonitor.h"
#include "platform/x11/X11InputTrust.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11WindowSystem.h"

#include <QPointer>

bool installX11Backends(Platform& platform)
{
    std::unique_ptr<X11Connection> owned = X11Connection::open();
    if (!owned)
        return false;
    X11Connection* conn = owned.release();
    conn->setParent(&platform);

    auto* grabber = new X11HotkeyGrabber(conn, conn);
    auto* monitor = new X11InputMonitor(conn, conn);
    QPointer<Platform> p(&platform);
    auto* windows = new X11WindowSystem(
        conn, [p]() -> DesktopEntries* { return p ? p->desktopEntries : nullptr; }, conn);
    if (!platform.hotkeys)
        platform.hotkeys = grabber;
    if (!platform.input)
        platform.input = monitor;
    if (!platform.windows)
        platform.windows = windows;
    if (!platform.trust)
        platform.trust = new X11InputTrust(conn, conn);
    if (!platform.keys)
        platform.keys = new X11KeyInjector(conn, monitor, grabber, conn);
    // Like the ring panel, the ring's window lives until the process ends: a
    // window cannot be taken down while the application object is.
    if (!platform.ringSurface)
        platform.ringSurface = new WindowRingSurface(platform.input, platform.windows, nullptr);
    return true;
}
