#include "platform/wayland/CompositorWindowSystem.h"

#include "platform/DesktopEntries.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/x11/WindowAppMatcher.h"

#include <QCoreApplication>

CompositorWindowSystem::CompositorWindowSystem(WaylandConnection* conn, std::function<DesktopEntries*()> entries,
                                               QObject* parent)
    : WindowSystem(parent)
    , m_conn(conn)
    , m_entries(std::move(entries))
{}

RunningApp CompositorWindowSystem::describe(quint32 window, const QString& appId, DesktopEntries* entries)
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

void CompositorWindowSystem::updateWindow(quint32 window, const QString& appId, bool active)
{
    auto it = std::find_if(m_windows.begin(), m_windows.end(), [window](const Window& w) { return w.id == window; });
    if (it == m_windows.end())
        it = m_windows.insert(m_windows.end(), Window{window, {}, false});
    it->appId = appId;
    it->active = active;
    scheduleAnnounce();
}

void CompositorWindowSystem::removeWindow(quint32 window)
{
    m_windows.removeIf([window](const Window& w) { return w.id == window; });
}

void CompositorWindowSystem::takeInitialState()
{
    if (const Window* w = activeWindow())
        m_lastAnnounced = describe(w->id, w->appId, m_entries ? m_entries() : nullptr);
}

const CompositorWindowSystem::Window* CompositorWindowSystem::activeWindow() const
{
    for (const Window& w : m_windows)
        if (w.active)
            return &w;
    return nullptr;
}

void CompositorWindowSystem::scheduleAnnounce()
{
    // One focus change arrives as several events (one window loses, another
    // gains); they are read together and the outcome is told once. Listeners
    // may ask the compositor again: not from inside its dispatch.
    if (m_announceQueued)
        return;
    m_announceQueued = true;
    QMetaObject::invokeMethod(this, &CompositorWindowSystem::announce, Qt::QueuedConnection);
}

void CompositorWindowSystem::announce()
{
    m_announceQueued = false;
    const Window* w = activeWindow();
    if (!w)
        return;
    const RunningApp app = describe(w->id, w->appId, m_entries ? m_entries() : nullptr);
    if (m_lastAnnounced == app)
        return;
    m_lastAnnounced = app;
    Q_EMIT frontmostApplicationChanged(app);
}

std::optional<RunningApp> CompositorWindowSystem::frontmostApplication()
{
    m_conn->dispatchPendingEvents();
    const Window* w = activeWindow();
    if (!w)
        return std::nullopt;
    return describe(w->id, w->appId, m_entries ? m_entries() : nullptr);
}

bool CompositorWindowSystem::activate(const RunningApp& app)
{
    const bool known =
        std::any_of(m_windows.cbegin(), m_windows.cend(), [&app](const Window& w) { return w.id == app.window; });
    if (!known || !activateWindow(app.window))
        return false;
    m_conn->flush();
    return true;
}

bool CompositorWindowSystem::hasKeyboardFocus(const RunningApp& app)
{
    m_conn->dispatchPendingEvents();
    if (isKeyboardHeldByRondix())
        return false;
    const Window* w = activeWindow();
    return w && app.window != 0 && w->id == app.window;
}
