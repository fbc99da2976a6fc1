#pragma once

#include "platform/KeyInjector.h"

#include <QList>
#include <QTimer>
#include <xcb/xcb.h>

class X11Connection;
class X11HotkeyGrabber;
class X11InputMonitor;

// Posts key presses through XTest using the current keyboard mapping.
class X11KeyInjector : public KeyInjector
{
    Q_OBJECT
public:
    X11KeyInjector(X11Connection* conn, X11InputMonitor* monitor, X11HotkeyGrabber* grabber,
                   QObject* parent = nullptr);
    ~X11KeyInjector() override;

    bool postKey(quint16 keyCode, quint32 modifiers, int holdMs) override;

private:
    void fake(quint8 type, xcb_keycode_t keycode);
    xcb_keycode_t borrowKeycode(quint32 keysym);
    void returnKeycode(xcb_keycode_t keycode);
    QList<xcb_keycode_t> heldModifierKeys();
    void giveBackBorrowed();

    X11Connection* m_conn;
    X11InputMonitor* m_monitor;
    X11HotkeyGrabber* m_grabber;
    // A keycode lent to a keysym the keymap lacks. It is given back a little
    // later: clients read the new mapping only when the press arrives.
    xcb_keycode_t m_borrowed = 0;
    quint32 m_borrowedKeysym = 0;
    QTimer m_giveBack;
};
