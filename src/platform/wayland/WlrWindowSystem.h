#pragma once

#include "platform/wayland/CompositorWindowSystem.h"

#include <memory>
#include <vector>

struct zwlr_foreign_toplevel_handle_v1;
struct zwlr_foreign_toplevel_manager_v1;

// The window list of wlroots compositors (foreign toplevel management).
class WlrWindowSystem : public CompositorWindowSystem
{
    Q_OBJECT
public:
    WlrWindowSystem(WaylandConnection* conn, zwlr_foreign_toplevel_manager_v1* manager,
                    std::function<DesktopEntries*()> entries, QObject* parent = nullptr);
    ~WlrWindowSystem() override;

protected:
    bool activateWindow(quint32 window) override;

private:
    struct Toplevel
    {
        WlrWindowSystem* owner = nullptr;
        zwlr_foreign_toplevel_handle_v1* handle = nullptr;
        quint32 id = 0;
        QString pendingAppId;
        bool pendingActivated = false;
    };
    void removeToplevel(Toplevel* t);

    static void onToplevel(void* data, zwlr_foreign_toplevel_manager_v1*, zwlr_foreign_toplevel_handle_v1* handle);
    static void onFinished(void* data, zwlr_foreign_toplevel_manager_v1*);

    zwlr_foreign_toplevel_manager_v1* m_manager;
    std::vector<std::unique_ptr<Toplevel>> m_toplevels;
    quint32 m_nextId = 1;
};
