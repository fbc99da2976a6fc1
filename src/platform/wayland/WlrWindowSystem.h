#pragma once

#include "platform/WindowSystem.h"

#include <functional>
#include <memory>
#include <vector>

class DesktopEntries;
class WaylandConnection;
struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// Open windows and the frontmost application from the compositor's toplevel
// list (wlroots): each window's app id is its desktop id, the activated one is
// in front. Activation goes through the same list.
class WlrWindowSystem : public WindowSystem
{
    Q_OBJECT
public:
    WlrWindowSystem(WaylandConnection* conn, zwlr_foreign_toplevel_manager_v1* manager,
                    std::function<DesktopEntries*()> entries, QObject* parent = nullptr);
    ~WlrWindowSystem() override;

    std::optional<RunningApp> frontmostApplication() override;
    bool activate(const RunningApp& app) override;
    bool hasKeyboardFocus(const RunningApp& app) override;
    bool isCompositing() override { return true; }
    bool isKeyboardHeldByRondix() override { return m_keyboardTaken && m_keyboardTaken(); }

    // While something of Rondix's holds the keyboard, no window has it.
    void setKeyboardTaken(std::function<bool()> taken) { m_keyboardTaken = std::move(taken); }

    // The application of an app id: its desktop entry when one matches
    // (StartupWMClass, then the id), the id itself otherwise.
    static RunningApp describe(quint32 window, const QString& appId, DesktopEntries* entries);

private:
    struct Toplevel
    {
        WlrWindowSystem* owner = nullptr;
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        quint32 id = 0;
        QString appId, pendingAppId;
        bool activated = false, pendingActivated = false;
    };
    Toplevel* activeToplevel() const;
    void toplevelDone(Toplevel* t);
    void removeToplevel(Toplevel* t);
    void announce();

    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*);

    WaylandConnection* m_conn;
    zwlr_foreign_toplevel_manager_v1* m_manager;
    std::function<DesktopEntries*()> m_entries;
    std::function<bool()> m_keyboardTaken;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
    quint32 m_nextId = 1;
    std::optional<RunningApp> m_lastAnnounced;
};
