#pragma once

#include "platform/wayland/CompositorWindowSystem.h"

#include <memory>
#include <vector>

struct org_kde_plasma_window;
struct org_kde_plasma_window_management;

// KWin's window list (Plasma window management). KWin announces each window
// by its id (by its uuid from version 13 on); Rondix then asks for the window
// object, whose app id and active state follow.
class PlasmaWindowSystem : public CompositorWindowSystem
{
    Q_OBJECT
public:
    // `manager` bound at `version`.
    PlasmaWindowSystem(WaylandConnection* conn, org_kde_plasma_window_management* manager, quint32 version,
                       std::function<DesktopEntries*()> entries, QObject* parent = nullptr);
    ~PlasmaWindowSystem() override;

protected:
    bool activateWindow(quint32 window) override;

private:
    struct Window
    {
        PlasmaWindowSystem* owner = nullptr;
        org_kde_plasma_window* handle = nullptr;
        quint32 id = 0;
        QString appId;
        bool active = false;
        // Until initial_state, the window's state is still arriving.
        bool complete = false;
    };
    void addWindow(quint32 id, const char* uuid);
    void changed(Window* w);
    void removeWindow(Window* w);
    void destroyHandle(Window* w);

    org_kde_plasma_window_management* m_manager;
    quint32 m_version;
    std::vector<std::unique_ptr<Window>> m_windows;
};
