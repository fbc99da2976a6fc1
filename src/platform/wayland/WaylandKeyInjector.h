#pragma once

#include "platform/KeyInjector.h"

#include <deque>
#include <functional>
#include <optional>
#include <QByteArray>
#include <QTimer>

class WaylandConnection;
struct org_kde_kwin_fake_input;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
struct xkb_context;
struct xkb_keymap;

// Keys through the compositor: a virtual keyboard of Rondix's own (wlroots)
// or KWin's fake input. While Rondix's overlay holds the keyboard the keys
// wait, and go out once it is gone, so they reach the window behind it.
class WaylandKeyInjector : public KeyInjector
{
    Q_OBJECT
public:
    // One of the two is given.
    WaylandKeyInjector(WaylandConnection* conn, zwp_virtual_keyboard_manager_v1* keyboards,
                       org_kde_kwin_fake_input* fakeInput, QObject* parent = nullptr);
    ~WaylandKeyInjector() override;

    // Queues the key; it is sent on the event loop (never blocking). False
    // when the key has no keycode in the keymap.
    bool postKey(quint16 keyCode, quint32 modifiers, int holdMs) override;

    // Keys wait while this says the keyboard is taken; call resume() when it is free.
    void setKeyboardTaken(std::function<bool()> taken) { m_keyboardTaken = std::move(taken); }
    void resume();

    // Evdev code of a keysym in an xkb keymap (text form), with whether Shift
    // is needed for it; none when the keymap lacks it.
    struct KeyChoice
    {
        quint32 evdev = 0;
        bool shift = false;
    };
    static std::optional<KeyChoice> findKey(xkb_keymap* keymap, quint32 keysym);
    // A keymap for a seat without a keyboard: the environment's XKB_DEFAULT_*
    // layout, else the xkb defaults.
    static QByteArray defaultKeymap();

    int sentCount() const { return m_sent; }

private:
    struct Pending
    {
        quint32 evdev = 0;
        quint32 modifiers = 0; // ModifierMask
        bool shift = false;
        int holdMs = 15;
    };
    bool ensureKeymap();
    void pump();
    void press(const Pending& key, bool down);
    quint32 xkbMask(quint32 modifiers, bool shift) const;

    WaylandConnection* m_conn;
    zwp_virtual_keyboard_manager_v1* m_manager;
    org_kde_kwin_fake_input* m_fake;
    zwp_virtual_keyboard_v1* m_keyboard = nullptr;
    xkb_context* m_context = nullptr;
    xkb_keymap* m_keymap = nullptr;
    QByteArray m_keymapText; // what the compositor has from us
    std::deque<Pending> m_queue;
    bool m_busy = false;
    QTimer m_release;
    std::function<bool()> m_keyboardTaken;
    int m_sent = 0;
};
