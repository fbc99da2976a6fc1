#pragma once

#include "platform/WindowSystem.h"

#include <functional>
#include <QHash>
#include <xcb/xcb.h>

class DesktopEntries;
class X11Connection;

// The active window from _NET_ACTIVE_WINDOW and its application.
class X11WindowSystem : public WindowSystem
{
    Q_OBJECT
public:
    // `entries` is looked up on each use (it may be installed after this backend).
    X11WindowSystem(X11Connection* conn, std::function<DesktopEntries*()> entries, QObject* parent = nullptr);

    std::optional<RunningApp> frontmostApplication() override;
    bool activate(const RunningApp& app) override;
    bool hasKeyboardFocus(const RunningApp& app) override;
    bool isCompositing() override;

private:
    xcb_window_t activeWindow();
    // True when the keyboard focus is on `window` or inside it.
    bool hasFocus(xcb_window_t window);
    std::optional<RunningApp> describe(xcb_window_t window);
    // Requests first, replies after: properties asked together cost one round trip.
    xcb_get_property_cookie_t requestProperty(xcb_window_t window, xcb_atom_t atom, xcb_atom_t type,
                                              quint32 maxLength = 1024);
    QByteArray propertyValue(xcb_get_property_cookie_t cookie);
    void handleEvent(xcb_generic_event_t* event);

    X11Connection* m_conn;
    std::function<DesktopEntries*()> m_entries;
    xcb_atom_t m_activeAtom;
    xcb_atom_t m_pidAtom;
    xcb_atom_t m_gtkIdAtom;
    xcb_atom_t m_utf8Atom;
    xcb_atom_t m_cmAtom;
    // Last announced application. Compared in full: window ids are reused as
    // soon as a client goes away.
    std::optional<RunningApp> m_lastAnnounced;
    // Desktop-entry matches by window identity: a summon must not rescan the
    // installed applications.
    QHash<QString, RunningApp> m_matches;
    xcb_timestamp_t m_lastTime = XCB_CURRENT_TIME;
};
