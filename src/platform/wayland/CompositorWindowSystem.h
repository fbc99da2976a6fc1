#pragma once

#include "platform/WindowSystem.h"

#include <QList>

#include <functional>

class DesktopEntries;
class WaylandConnection;

// Open windows and the frontmost application as a compositor lists them, on
// whichever protocol: each window's app id is its desktop id, the active one
// is in front. Subclasses read their protocol and report each window's
// confirmed state here; activation goes back through their protocol.
class CompositorWindowSystem : public WindowSystem
{
    Q_OBJECT
public:
    CompositorWindowSystem(WaylandConnection* conn, std::function<DesktopEntries*()> entries,
                           QObject* parent = nullptr);

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

protected:
    // A window as the compositor confirmed it; `window` identifies it in RunningApp.
    void updateWindow(quint32 window, const QString& appId, bool active);
    void removeWindow(quint32 window);
    // The window list as first read is the starting point: nobody is told.
    void takeInitialState();
    // Asks the compositor to activate the window; false when it cannot be asked.
    virtual bool activateWindow(quint32 window) = 0;

    WaylandConnection* connection() const { return m_conn; }

private:
    struct Window
    {
        quint32 id = 0;
        QString appId;
        bool active = false;
    };
    const Window* activeWindow() const;
    void scheduleAnnounce();
    void announce();

    WaylandConnection* m_conn;
    std::function<DesktopEntries*()> m_entries;
    std::function<bool()> m_keyboardTaken;
    QList<Window> m_windows;
    std::optional<RunningApp> m_lastAnnounced;
    bool m_announceQueued = false;
};
