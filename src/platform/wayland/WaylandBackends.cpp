#include "platform/Platform.h"
#include "platform/PlatformLoader.h"
#include "platform/WindowRingSurface.h"
#include "platform/wayland/DesktopShortcutGrabber.h"
#include "platform/wayland/LayerShellRingSurface.h"
#include "platform/wayland/PlasmaWindowSystem.h"
#include "platform/wayland/SwayHotkeyGrabber.h"
#include "platform/wayland/SwayInputMonitor.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandCapabilities.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandKeyInjector.h"
#include "platform/wayland/WlrWindowSystem.h"

#include "fake-input-client-protocol.h"
#include "plasma-window-management-client-protocol.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <QPointer>
#include <QSet>

namespace {

// Input as far as a Wayland client can see it: nothing global. The ring's
// overlay sees Escape and clicks itself.
class WaylandInputMonitor : public InputMonitor
{
public:
    using InputMonitor::InputMonitor;
    QPoint pointerPosition() const override { return {}; }
    bool knowsPointerPosition() const override { return false; }

protected:
    void applyKeySelection(bool) override {}
    void applyButtonSelection(bool) override {}
};

// Input access on Wayland is the compositor's protocols, granted or not.
class WaylandInputTrust : public InputTrust
{
public:
    WaylandInputTrust(const SessionCapabilities& caps, QObject* parent)
        : InputTrust(parent)
        , m_caps(caps)
    {}
    bool isTrusted() override { return m_caps.keys; }
    QString missingReason() override { return m_caps.keys ? QString() : m_caps.missingLine(); }
    InputAccess access() override { return {InputAccess::Session::Wayland, false, false, m_caps}; }

private:
    SessionCapabilities m_caps;
};

} // namespace

bool installWaylandBackends(Platform& platform)
{
    std::unique_ptr<WaylandConnection> owned = WaylandConnection::open();
    if (!owned)
        return false;
    WaylandConnection* conn = owned.release();
    conn->setParent(&platform);

    QSet<QString> globals;
    for (const WaylandConnection::Global& g : conn->globals())
        globals.insert(g.interface);
    std::unique_ptr<SwayIpc> ipcOwned = SwayIpc::open();
    SwayIpc* ipc = ipcOwned.release();
    if (ipc)
        ipc->setParent(conn);
    platform.capabilities =
        WaylandCapabilities::assess(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), globals, ipc != nullptr);

    LayerShellRingSurface* overlay = nullptr;
    if (auto* shell = static_cast<zwlr_layer_shell_v1*>(
            conn->bind("zwlr_layer_shell_v1", &zwlr_layer_shell_v1_interface, 2))) {
        // Lives until the process ends, as the ring panel does (its widget
        // cannot be taken down while the application object is).
        overlay = new LayerShellRingSurface(conn, shell, nullptr);
        platform.ringSurface = overlay;
    }
    auto keyboardTaken = [o = QPointer<LayerShellRingSurface>(overlay)] { return o && o->hasOverlay(); };

    QPointer<Platform> p(&platform);
    auto entries = [p]() -> DesktopEntries* { return p ? p->desktopEntries : nullptr; };
    CompositorWindowSystem* windows = nullptr;
    quint32 plasmaVersion = 0;
    if (auto* toplevels = static_cast<zwlr_foreign_toplevel_manager_v1*>(conn->bind(
            "zwlr_foreign_toplevel_manager_v1", &zwlr_foreign_toplevel_manager_v1_interface, 3)))
        windows = new WlrWindowSystem(conn, toplevels, entries, conn);
    else if (auto* plasma = static_cast<org_kde_plasma_window_management*>(
                 conn->bind("org_kde_plasma_window_management", &org_kde_plasma_window_management_interface,
                            16, &plasmaVersion)))
        windows = new PlasmaWindowSystem(conn, plasma, plasmaVersion, entries, conn);
    if (windows) {
        windows->setKeyboardTaken(keyboardTaken);
        platform.windows = windows;
    }

    auto* keyboards = static_cast<zwp_virtual_keyboard_manager_v1*>(
        conn->bind("zwp_virtual_keyboard_manager_v1", &zwp_virtual_keyboard_manager_v1_interface, 1));
    auto* fake = keyboards ? nullptr
                           : static_cast<org_kde_kwin_fake_input*>(
                                 conn->bind("org_kde_kwin_fake_input", &org_kde_kwin_fake_input_interface, 4));
    if (keyboards || fake) {
        auto* keys = new WaylandKeyInjector(conn, keyboards, fake, conn);
        keys->setKeyboardTaken(keyboardTaken);
        if (overlay)
            QObject::connect(overlay, &LayerShellRingSurface::overlayRemoved, keys, &WaylandKeyInjector::resume);
        platform.keys = keys;
    }

    if (auto* dataControl = static_cast<zwlr_data_control_manager_v1*>(
            conn->bind("zwlr_data_control_manager_v1", &zwlr_data_control_manager_v1_interface, 1)))
        platform.clipboard = new WaylandClipboard(conn, dataControl, conn);

    if (ipc) {
        platform.hotkeys = new SwayHotkeyGrabber(ipc, conn);
        platform.input = new SwayInputMonitor(ipc, conn);
    } else {
        platform.input = new WaylandInputMonitor(conn);
        const auto kind =
            WaylandCapabilities::identify(qEnvironmentVariable("XDG_CURRENT_DESKTOP"), globals, false);
        if (kind == WaylandCapabilities::Compositor::Gnome)
            platform.hotkeys = new DesktopShortcutGrabber(DesktopShortcutGrabber::Desktop::Gnome, conn);
        else if (kind == WaylandCapabilities::Compositor::KWin)
            platform.hotkeys = new DesktopShortcutGrabber(DesktopShortcutGrabber::Desktop::Plasma, conn);
    }
    platform.trust = new WaylandInputTrust(platform.capabilities, conn);
    conn->flush();
    return true;
}
