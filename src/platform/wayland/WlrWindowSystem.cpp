#include "platform/wayland/WlrWindowSystem.h"

#include "platform/wayland/WaylandConnection.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

namespace {

void handleTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void handleOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void handleOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void handleParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

} // namespace

WlrWindowSystem::WlrWindowSystem(WaylandConnection* conn, zwlr_foreign_toplevel_manager_v1* manager,
                                 std::function<DesktopEntries*()> entries, QObject* parent)
    : CompositorWindowSystem(conn, std::move(entries), parent)
    , m_manager(manager)
{
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {&WlrWindowSystem::onToplevel,
                                                                       &WlrWindowSystem::onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &listener, this);
    // The current windows arrive now, so the first summon knows who is in front.
    conn->roundtrip();
    takeInitialState();
}

WlrWindowSystem::~WlrWindowSystem()
{
    for (auto& t : m_toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    if (m_manager)
        zwlr_foreign_toplevel_manager_v1_destroy(m_manager);
}

void WlrWindowSystem::onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*,
                                 zwlr_foreign_toplevel_handle_v1* handle)
{
    auto* self = static_cast<WlrWindowSystem*>(data);
    auto t = std::make_unique<Toplevel>();
    t->owner = self;
    t->handle = handle;
    t->id = self->m_nextId++;
    static const zwlr_foreign_toplevel_handle_v1_listener listener = {
        handleTitle,
        [](void* d, zwlr_foreign_toplevel_handle_v1*, const char* appId) {
            static_cast<Toplevel*>(d)->pendingAppId = QString::fromUtf8(appId);
        },
        handleOutputEnter,
        handleOutputLeave,
        [](void* d, zwlr_foreign_toplevel_handle_v1*, wl_array* states) {
            bool activated = false;
            const auto* begin = static_cast<const uint32_t*>(states->data);
            for (size_t i = 0; i < states->size / sizeof(uint32_t); ++i)
                activated |= begin[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
            static_cast<Toplevel*>(d)->pendingActivated = activated;
        },
        [](void* d, zwlr_foreign_toplevel_handle_v1*) {
            // States and ids come in pieces; "done" makes them one change.
            auto* t = static_cast<Toplevel*>(d);
            t->owner->updateWindow(t->id, t->pendingAppId, t->pendingActivated);
        },
        [](void* d, zwlr_foreign_toplevel_handle_v1*) {
            auto* t = static_cast<Toplevel*>(d);
            t->owner->removeToplevel(t);
        },
        handleParent,
    };
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &listener, t.get());
    self->m_toplevels.push_back(std::move(t));
}

void WlrWindowSystem::onFinished(void* data, zwlr_foreign_toplevel_manager_v1*)
{
    auto* self = static_cast<WlrWindowSystem*>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(self->m_manager);
    self->m_manager = nullptr;
}

void WlrWindowSystem::removeToplevel(Toplevel* t)
{
    removeWindow(t->id);
    zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    std::erase_if(m_toplevels, [t](const std::unique_ptr<Toplevel>& p) { return p.get() == t; });
}

bool WlrWindowSystem::activateWindow(quint32 window)
{
    if (!connection()->seat())
        return false;
    for (const auto& t : m_toplevels) {
        if (t->id == window) {
            zwlr_foreign_toplevel_handle_v1_activate(t->handle, connection()->seat());
            return true;
        }
    }
    return false;
}
