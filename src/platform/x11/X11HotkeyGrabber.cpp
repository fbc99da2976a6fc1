#include "platform/x11/X11HotkeyGrabber.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyTable.h"

#include <cstdlib>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcX11)

X11HotkeyGrabber::X11HotkeyGrabber(X11Connection* conn, QObject* parent)
    : HotkeyGrabber(parent)
    , m_conn(conn)
{
    m_conn->addHandler([this](xcb_generic_event_t* e) { handleEvent(e); });
}

X11HotkeyGrabber::~X11HotkeyGrabber()
{
    ungrab();
}

int X11HotkeyGrabber::grab(quint16 keyCode, quint32 modifiers)
{
    ungrab();
    const auto keysym = X11KeyTable::keysymForVirtualKey(keyCode);
    if (!keysym)
        return XCB_VALUE; // no such key on any layout
    const QList<xcb_keycode_t> codes = m_conn->keycodesFor(*keysym);
    if (codes.isEmpty())
        return XCB_VALUE;

    const quint16 base = m_conn->stateFor(modifiers);
    const quint16 numLock = m_conn->numLockBit();
    QList<quint16> locks{0, XCB_MOD_MASK_LOCK};
    if (numLock)
        locks << numLock << quint16(numLock | XCB_MOD_MASK_LOCK);

    xcb_connection_t* c = m_conn->xcb();
    QList<Grab> pending;
    QList<xcb_void_cookie_t> cookies;
    for (xcb_keycode_t code : codes) {
        for (quint16 lock : locks) {
            const quint16 mods = base | lock;
            cookies << xcb_grab_key_checked(c, 1, m_conn->root(), mods, code, XCB_GRAB_MODE_ASYNC,
                                            XCB_GRAB_MODE_ASYNC);
            pending << Grab{code, mods};
        }
    }
    int status = 0;
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        if (xcb_generic_error_t* err = xcb_request_check(c, cookies[i])) {
            if (status == 0)
                status = err->error_code;
            free(err);
        } else {
            m_grabs << pending[i];
        }
    }
    if (status != 0) {
        // Half a grab would steal the chord from its owner in some lock states.
        ungrab();
        m_conn->flush();
        return status;
    }
    m_keyCode = keyCode;
    m_modifiers = modifiers;
    m_keyDown = false;
    m_conn->flush();
    return 0;
}

void X11HotkeyGrabber::ungrab()
{
    m_lostToKeymap = false;
    if (m_grabs.isEmpty())
        return;
    for (const Grab& g : std::as_const(m_grabs))
        xcb_ungrab_key(m_conn->xcb(), g.keycode, m_conn->root(), g.modifiers);
    m_grabs.clear();
    m_keyDown = false;
    m_conn->flush();
}

void X11HotkeyGrabber::handleEvent(xcb_generic_event_t* event)
{
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY && (!m_grabs.isEmpty() || m_lostToKeymap) &&
        reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER) {
        // A new layout may put the key on another keycode, or none for a while:
        // grab it again there.
        const int status = grab(m_keyCode, m_modifiers);
        if (status == 0)
            return;
        if (status == XCB_VALUE) {
            // The key is not on this keymap for now: held for when it comes back.
            m_lostToKeymap = true;
            return;
        }
        qCDebug(lcX11) << "hotkey lost after a keymap change, status" << status;
        Q_EMIT grabLost(status);
        return;
    }
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return;
    auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
    bool ours = false;
    for (const Grab& g : std::as_const(m_grabs))
        ours = ours || g.keycode == key->detail;
    if (!ours)
        return;
    if (type == XCB_KEY_RELEASE) {
        m_keyDown = false;
        m_lastRelease = key->time;
        return;
    }
    // Auto-repeat: a press while the key is down, or a release/press pair
    // carrying the same time stamp.
    const bool repeat = m_keyDown || (m_lastRelease != 0 && key->time == m_lastRelease);
    m_keyDown = true;
    if (repeat || m_suppressed)
        return;
    Q_EMIT activated();
}
