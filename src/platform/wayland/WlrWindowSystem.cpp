#include "platform/wayland/WlrWindowSystem.h"

#include "platform/DesktopEntries.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/WindowAppMatcher.h"
#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <wayland-client.h>

namespace {

void handleTitle(void*, zwlr_foreign_toplevel_handle_v1*, const char*) {}
void handleOutputEnter(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void handleOutputLeave(void*, zwlr_foreign_toplevel_handle_v1*, wl_output*) {}
void handleParent(void*, zwlr_foreign_toplevel_handle_v1*, zwlr_foreign_toplevel_handle_v1*) {}

} // namespace

WlrWindowSystem::WlrWindowSystem(WaylandConnection* conn, zwlr_foreign_toplevel_manager_v1* manager,
                                 std::function<DesktopEntries*()> entries, QObject* parent)
    : WindowSystem(parent)
    , m_conn(conn)
    , m_manager(manager)
    , m_entries(std::move(entries))
{
    static const zwlr_foreign_toplevel_manager_v1_listener listener = {&WlrWindowSystem::onToplevel,
                                                                       &WlrWindowSystem::onFinished};
    zwlr_foreign_toplevel_manager_v1_add_listener(m_manager, &listener, this);
    // The current windows arrive now, so the first summon knows who is in front.
    m_conn->roundtrip();
    if (const Toplevel* t = activeToplevel())
        m_lastAnnounced = describe(t->id, t->appId, m_entries ? m_entries() : nullptr);
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
            auto* t = static_cast<Toplevel*>(d);
            t->owner->toplevelDone(t);
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

void WlrWindowSystem::toplevelDone(Toplevel* t)
{
    // States and ids come in pieces; "done" makes them one change.
    t->appId = t->pendingAppId;
    t->activated = t->pendingActivated;
    announce();
}

void WlrWindowSystem::removeToplevel(Toplevel* t)
{
    zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
    m_toplevels.erase(std::remove_if(m_toplevels.begin(), m_toplevels.end(),
                                     [t](const std::unique_ptr<Toplevel>& p) { return p.get() == t; }),
                      m_toplevels.end());
}

void WlrWindowSystem::announce()
{
    const Toplevel* t = activeToplevel();
    if (!t)
        return;
    const RunningApp app = describe(t->id, t->appId, m_entries ? m_entries() : nullptr);
    if (m_lastAnnounced == app)
        return;
    m_lastAnnounced = app;
    // Listeners may ask the compositor again: not from inside its dispatch.
    QMetaObject::invokeMethod(
        this, [this, app] { Q_EMIT frontmostApplicationChanged(app); }, Qt::QueuedConnection);
}

WlrWindowSystem::Toplevel* WlrWindowSystem::activeToplevel() const
{
    for (const auto& t : m_toplevels)
        if (t->activated)
            return t.get();
    return nullptr;
}

RunningApp WlrWindowSystem::describe(quint32 window, const QString& appId, DesktopEntries* entries)
{
    if (appId == kOwnAppId)
        return WindowAppMatcher::describe(window, QCoreApplication::applicationPid(), {}, entries, true);
    WindowIdentity identity;
    identity.wmInstance = appId;
    identity.wmClass = appId;
    RunningApp app = WindowAppMatcher::describe(window, 0, identity, entries, false);
    // Wayland app ids are desktop ids by convention, with or without an entry.
    if (app.bundleId.isEmpty())
        app.bundleId = appId;
    return app;
}

std::optional<RunningApp> WlrWindowSystem::frontmostApplication()
{
    m_conn->dispatchPendingEvents();
    const Toplevel* t = activeToplevel();
    if (!t)
        return std::nullopt;
    return describe(t->id, t->appId, m_entries ? m_entries() : nullptr);
}

bool WlrWindowSystem::activate(const RunningApp& app)
{
    for (const auto& t : m_toplevels) {
        if (t->id != app.window || !m_conn->seat())
            continue;
        zwlr_foreign_toplevel_handle_v1_activate(t->handle, m_conn->seat());
        m_conn->flush();
        return true;
    }
    return false;
}

bool WlrWindowSystem::hasKeyboardFocus(const RunningApp& app)
{
    m_conn->dispatchPendingEvents();
    if (isKeyboardHeldByRondix())
        return false;
    const Toplevel* t = activeToplevel();
    return t && app.window != 0 && t->id == app.window;
}
