#include "platform/wayland/PlasmaWindowSystem.h"

#include "plasma-window-management-client-protocol.h"
#include "platform/wayland/WaylandConnection.h"

#include <wayland-client.h>

namespace {
// Windows come by uuid from this version on; before it, by id.
constexpr quint32 kUuidVersion = ORG_KDE_PLASMA_WINDOW_MANAGEMENT_WINDOW_WITH_UUID_SINCE_VERSION;

template<typename... Args>
void ignore(void*, Args...)
{}
} // namespace

PlasmaWindowSystem::PlasmaWindowSystem(WaylandConnection* conn, org_kde_plasma_window_management* manager,
                                       quint32 version, std::function<DesktopEntries*()> entries, QObject* parent)
    : CompositorWindowSystem(conn, std::move(entries), parent)
    , m_manager(manager)
    , m_version(version)
{
    static const org_kde_plasma_window_management_listener listener = {
        ignore<org_kde_plasma_window_management*, uint32_t>, // show_desktop_changed
        [](void* data, org_kde_plasma_window_management*, uint32_t id) {
            auto* self = static_cast<PlasmaWindowSystem*>(data);
            if (self->m_version < kUuidVersion)
                self->addWindow(id, nullptr);
        },
        ignore<org_kde_plasma_window_management*, wl_array*>,   // stacking_order_changed
        ignore<org_kde_plasma_window_management*, const char*>, // stacking_order_uuid_changed
        [](void* data, org_kde_plasma_window_management*, uint32_t id, const char* uuid) {
            static_cast<PlasmaWindowSystem*>(data)->addWindow(id, uuid);
        },
    };
    org_kde_plasma_window_management_add_listener(m_manager, &listener, this);
    // The windows are announced, then asked for, then described: after two
    // roundtrips the first summon knows who is in front.
    conn->roundtrip();
    conn->roundtrip();
    takeInitialState();
}

PlasmaWindowSystem::~PlasmaWindowSystem()
{
    for (auto& w : m_windows)
        destroyHandle(w.get());
    org_kde_plasma_window_management_destroy(m_manager);
}

void PlasmaWindowSystem::destroyHandle(Window* w)
{
    // KWin lets go of the window only when asked to (from version 4 on).
    if (m_version >= ORG_KDE_PLASMA_WINDOW_DESTROY_SINCE_VERSION)
        org_kde_plasma_window_destroy(w->handle);
    else
        wl_proxy_destroy(reinterpret_cast<wl_proxy*>(w->handle));
}

void PlasmaWindowSystem::addWindow(quint32 id, const char* uuid)
{
    auto w = std::make_unique<Window>();
    w->owner = this;
    w->id = id;
    w->handle = uuid ? org_kde_plasma_window_management_get_window_by_uuid(m_manager, uuid)
                     : org_kde_plasma_window_management_get_window(m_manager, id);
    // Windows of a version without initial_state are complete at once.
    w->complete = m_version < ORG_KDE_PLASMA_WINDOW_INITIAL_STATE_SINCE_VERSION;
    static const org_kde_plasma_window_listener listener = {
        ignore<org_kde_plasma_window*, const char*>, // title_changed
        [](void* d, org_kde_plasma_window*, const char* appId) {
            auto* w = static_cast<Window*>(d);
            w->appId = QString::fromUtf8(appId);
            w->owner->changed(w);
        },
        [](void* d, org_kde_plasma_window*, uint32_t flags) {
            auto* w = static_cast<Window*>(d);
            w->active = flags & ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE;
            w->owner->changed(w);
        },
        ignore<org_kde_plasma_window*, int32_t>,     // virtual_desktop_changed
        ignore<org_kde_plasma_window*, const char*>, // themed_icon_name_changed
        [](void* d, org_kde_plasma_window*) {
            auto* w = static_cast<Window*>(d);
            w->owner->removeWindow(w);
        },
        [](void* d, org_kde_plasma_window*) {
            auto* w = static_cast<Window*>(d);
            w->complete = true;
            w->owner->changed(w);
        },
        ignore<org_kde_plasma_window*, org_kde_plasma_window*>,                    // parent_window
        ignore<org_kde_plasma_window*, int32_t, int32_t, uint32_t, uint32_t>,      // geometry
        ignore<org_kde_plasma_window*>,                                            // icon_changed
        ignore<org_kde_plasma_window*, uint32_t>,                                  // pid_changed
        ignore<org_kde_plasma_window*, const char*>,                               // virtual_desktop_entered
        ignore<org_kde_plasma_window*, const char*>,                               // virtual_desktop_left
        ignore<org_kde_plasma_window*, const char*, const char*>,                  // application_menu
        ignore<org_kde_plasma_window*, const char*>,                               // activity_entered
        ignore<org_kde_plasma_window*, const char*>,                               // activity_left
        ignore<org_kde_plasma_window*, const char*>,                               // resource_name_changed
    };
    org_kde_plasma_window_add_listener(w->handle, &listener, w.get());
    m_windows.push_back(std::move(w));
}

void PlasmaWindowSystem::changed(Window* w)
{
    // A window without an app id yet has no application to tell of.
    if (w->complete && !w->appId.isEmpty())
        updateWindow(w->id, w->appId, w->active);
}

void PlasmaWindowSystem::removeWindow(Window* w)
{
    CompositorWindowSystem::removeWindow(w->id);
    destroyHandle(w);
    std::erase_if(m_windows, [w](const std::unique_ptr<Window>& p) { return p.get() == w; });
}

bool PlasmaWindowSystem::activateWindow(quint32 window)
{
    for (const auto& w : m_windows) {
        if (w->id == window) {
            org_kde_plasma_window_set_state(w->handle, ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE,
                                            ORG_KDE_PLASMA_WINDOW_MANAGEMENT_STATE_ACTIVE);
            return true;
        }
    }
    return false;
}
