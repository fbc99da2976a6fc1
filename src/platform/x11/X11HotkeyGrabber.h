#pragma once

#include "platform/HotkeyGrabber.h"

#include <QList>
#include <xcb/xcb.h>

class X11Connection;

// Grabs a chord on the root window, once for each combination of the lock bits
// so that Caps Lock or Num Lock do not hide it.
class X11HotkeyGrabber : public HotkeyGrabber
{
    Q_OBJECT
public:
    explicit X11HotkeyGrabber(X11Connection* conn, QObject* parent = nullptr);
    ~X11HotkeyGrabber() override;

    int grab(quint16 keyCode, quint32 modifiers) override;
    void ungrab() override;
    // Also while a keymap change has taken the key away: the chord is still held
    // for Rondix and comes back with the key.
    bool isGrabbed() const override { return !m_grabs.isEmpty() || m_lostToKeymap; }

    // Presses that arrive while Rondix posts keys itself are not the user's.
    void setSuppressed(bool suppressed) { m_suppressed = suppressed; }

private:
    struct Grab
    {
        xcb_keycode_t keycode;
        quint16 modifiers;
    };
    void handleEvent(xcb_generic_event_t* event);

    X11Connection* m_conn;
    QList<Grab> m_grabs;
    quint16 m_keyCode = 0;
    quint32 m_modifiers = 0;
    bool m_keyDown = false;
    // The chord was grabbed, then a keymap change left its key unreachable:
    // grab it again at the next change.
    bool m_lostToKeymap = false;
    xcb_timestamp_t m_lastRelease = 0;
    bool m_suppressed = false;
};
