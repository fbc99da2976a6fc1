#include "platform/x11/X11KeyInjector.h"

#include "platform/PlatformTypes.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyGrabber.h"
#include "platform/x11/X11InputMonitor.h"
#include "platform/x11/X11KeyTable.h"

#include <cstdlib>
#include <QLoggingCategory>
#include <QThread>
#include <vector>
#include <xcb/xtest.h>

Q_DECLARE_LOGGING_CATEGORY(lcX11)

X11KeyInjector::X11KeyInjector(X11Connection* conn, X11InputMonitor* monitor, X11HotkeyGrabber* grabber,
                               QObject* parent)
    : KeyInjector(parent)
    , m_conn(conn)
    , m_monitor(monitor)
    , m_grabber(grabber)
{
    m_giveBack.setSingleShot(true);
    m_giveBack.setInterval(1000);
    connect(&m_giveBack, &QTimer::timeout, this, &X11KeyInjector::giveBackBorrowed);
}

X11KeyInjector::~X11KeyInjector()
{
    giveBackBorrowed();
}

void X11KeyInjector::giveBackBorrowed()
{
    m_giveBack.stop();
    if (!m_borrowed)
        return;
    returnKeycode(m_borrowed);
    m_borrowed = 0;
    m_borrowedKeysym = 0;
}

void X11KeyInjector::fake(quint8 type, xcb_keycode_t keycode)
{
    xcb_test_fake_input(m_conn->xcb(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
}

QList<xcb_keycode_t> X11KeyInjector::heldModifierKeys()
{
    QList<xcb_keycode_t> held;
    auto* reply = xcb_query_keymap_reply(m_conn->xcb(), xcb_query_keymap(m_conn->xcb()), nullptr);
    if (!reply)
        return held;
    for (xcb_keycode_t code : m_conn->modifierKeycodes()) {
        // Lock keys stay as they are; only chord modifiers are let go.
        if (m_conn->maskForKeycode(code) == 0)
            continue;
        if (reply->keys[code / 8] & (1 << (code % 8)))
            held << code;
    }
    free(reply);
    return held;
}

xcb_keycode_t X11KeyInjector::borrowKeycode(quint32 keysym)
{
    xcb_connection_t* c = m_conn->xcb();
    const xcb_keycode_t min = m_conn->minKeycode();
    const xcb_keycode_t max = m_conn->maxKeycode();
    auto* map = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, min, max - min + 1), nullptr);
    if (!map)
        return 0;
    const int per = map->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t spare = 0;
    for (int code = max; code >= min && !spare; --code) {
        bool empty = true;
        for (int i = 0; i < per && empty; ++i)
            empty = syms[(code - min) * per + i] == XCB_NO_SYMBOL;
        if (empty)
            spare = xcb_keycode_t(code);
    }
    free(map);
    if (!spare)
        return 0;
    std::vector<xcb_keysym_t> row(per, keysym);
    xcb_change_keyboard_mapping(c, 1, spare, quint8(per), row.data());
    m_conn->sync();
    m_conn->refreshKeymap();
    return spare;
}

void X11KeyInjector::returnKeycode(xcb_keycode_t keycode)
{
    const xcb_keycode_t min = m_conn->minKeycode();
    auto* map = xcb_get_keyboard_mapping_reply(m_conn->xcb(), xcb_get_keyboard_mapping(m_conn->xcb(), min, 1),
                                               nullptr);
    const int per = map ? map->keysyms_per_keycode : 1;
    free(map);
    std::vector<xcb_keysym_t> row(per, XCB_NO_SYMBOL);
    xcb_change_keyboard_mapping(m_conn->xcb(), 1, keycode, quint8(per), row.data());
    m_conn->sync();
    m_conn->refreshKeymap();
}

bool X11KeyInjector::postKey(quint16 keyCode, quint32 modifiers, int holdMs)
{
    if (!m_conn->hasXTest())
        return false;
    const auto keysym = X11KeyTable::keysymForVirtualKey(keyCode);
    if (!keysym)
        return false;
    // The mapping may have changed since the last MappingNotify was read.
    m_conn->dispatchQueued();
    xcb_keycode_t key = m_conn->keycodesFor(*keysym).value(0, 0);
    if (!key) {
        if (m_borrowed && m_borrowedKeysym != *keysym)
            giveBackBorrowed();
        if (!m_borrowed) {
            m_borrowed = borrowKeycode(*keysym);
            m_borrowedKeysym = m_borrowed ? *keysym : 0;
        }
        key = m_borrowed;
        m_giveBack.start();
    }
    if (!key) {
        qCDebug(lcX11) << "no keycode for a key to post"; // never which: it may be typed text
        return false;
    }

    QList<xcb_keycode_t> mods;
    const std::pair<quint32, quint32> wanted[] = {{ModifierMask::Control, X11KeyTable::kControlL},
                                                  {ModifierMask::Shift, X11KeyTable::kShiftL},
                                                  {ModifierMask::Option, X11KeyTable::kAltL},
                                                  {ModifierMask::Command, X11KeyTable::kSuperL}};
    for (const auto& [bit, sym] : wanted) {
        if (!(modifiers & bit))
            continue;
        const xcb_keycode_t code = m_conn->keycodesFor(sym).value(0, 0);
        if (!code) {
            // Without it the target would get another chord than asked for.
            qCDebug(lcX11) << "no keycode for modifier keysym" << Qt::hex << sym;
            return false;
        }
        mods << code;
    }

    m_monitor->setInjecting(true);
    m_grabber->setSuppressed(true);
    // The user's own modifiers would change the chord the target sees.
    for (xcb_keycode_t held : heldModifierKeys())
        fake(XCB_KEY_RELEASE, held);
    for (xcb_keycode_t m : std::as_const(mods))
        fake(XCB_KEY_PRESS, m);
    fake(XCB_KEY_PRESS, key);
    m_conn->sync();
    if (holdMs > 0)
        QThread::msleep(holdMs);
    fake(XCB_KEY_RELEASE, key);
    for (qsizetype i = mods.size() - 1; i >= 0; --i)
        fake(XCB_KEY_RELEASE, mods.at(i));
    m_conn->sync();
    // Everything the server generated for these presses has been read by now;
    // hand it out while it is still known to be ours.
    m_conn->dispatchQueued();
    m_grabber->setSuppressed(false);
    m_monitor->setInjecting(false);
    return true;
}
