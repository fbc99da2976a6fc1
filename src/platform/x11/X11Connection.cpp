#include "platform/x11/X11Connection.h"

#include <QPointer>

#include "platform/PlatformTypes.h"
#include "platform/x11/X11KeyTable.h"

#include <cstdlib>
#include <cstring>
#include <QAbstractEventDispatcher>
#include <QHash>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <xcb/xcb_keysyms.h>
#include <xcb/xinput.h>
#include <xcb/xtest.h>

Q_LOGGING_CATEGORY(lcX11, "rondix.x11")

std::unique_ptr<X11Connection> X11Connection::open(const char* display)
{
    int screen = 0;
    xcb_connection_t* conn = xcb_connect(display, &screen);
    if (!conn || xcb_connection_has_error(conn)) {
        if (conn)
            xcb_disconnect(conn);
        return nullptr;
    }
    return std::unique_ptr<X11Connection>(new X11Connection(conn, screen));
}

X11Connection::X11Connection(xcb_connection_t* conn, int screen)
    : m_conn(conn)
    , m_screenNumber(screen)
{
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_conn));
    for (int i = 0; i < screen && it.rem; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;

    const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(m_conn, &xcb_test_id);
    m_hasXTest = xtest && xtest->present;
    const xcb_query_extension_reply_t* xi = xcb_get_extension_data(m_conn, &xcb_input_id);
    if (xi && xi->present) {
        m_xiOpcode = xi->major_opcode;
        // Announcing 2.2 is required before selecting XI2 events.
        auto* reply =
            xcb_input_xi_query_version_reply(m_conn, xcb_input_xi_query_version(m_conn, 2, 2), nullptr);
        if (reply) {
            m_xiMajor = reply->major_version;
            m_xiMinor = reply->minor_version;
            free(reply);
        }
    }

    m_keySymbols = xcb_key_symbols_alloc(m_conn);
    readModifierMap();

    // Root property changes (_NET_ACTIVE_WINDOW) are wanted for the whole life.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_conn);

    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_conn), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Connection::readAvailable);
    // Replies read by synchronous requests can pull events into xcb's queue
    // without waking the notifier; hand those out before the loop sleeps.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &X11Connection::dispatchQueued);
}

X11Connection::~X11Connection()
{
    // Backends hang off this connection and release grabs and keycodes as they
    // go: they must go while it is still open.
    m_handlers.clear();
    // A backend may take a sibling down with it, so track each child weakly.
    QList<QPointer<QObject>> kids;
    for (QObject* child : children())
        kids.append(child);
    for (const QPointer<QObject>& child : kids)
        if (child && child.data() != m_notifier)
            delete child.data();
    delete m_notifier;
    if (m_keySymbols)
        xcb_key_symbols_free(m_keySymbols);
    xcb_disconnect(m_conn);
}

xcb_atom_t X11Connection::atom(const char* name)
{
    auto* reply =
        xcb_intern_atom_reply(m_conn, xcb_intern_atom(m_conn, 0, uint16_t(strlen(name)), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t a = reply->atom;
    free(reply);
    return a;
}

QList<xcb_keycode_t> X11Connection::keycodesFor(quint32 keysym) const
{
    QList<xcb_keycode_t> out;
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_keySymbols, keysym);
    if (!codes)
        return out;
    for (xcb_keycode_t* c = codes; *c != XCB_NO_SYMBOL; ++c)
        out.append(*c);
    free(codes);
    return out;
}

quint32 X11Connection::keysymFor(xcb_keycode_t keycode) const
{
    return xcb_key_symbols_get_keysym(m_keySymbols, keycode, 0);
}

xcb_keycode_t X11Connection::minKeycode() const
{
    return xcb_get_setup(m_conn)->min_keycode;
}

xcb_keycode_t X11Connection::maxKeycode() const
{
    return xcb_get_setup(m_conn)->max_keycode;
}

void X11Connection::refreshKeymap()
{
    if (m_keySymbols)
        xcb_key_symbols_free(m_keySymbols);
    m_keySymbols = xcb_key_symbols_alloc(m_conn);
    readModifierMap();
}

void X11Connection::readModifierMap()
{
    m_modKeycodes.clear();
    m_modKeycodeMasks.clear();
    auto* reply = xcb_get_modifier_mapping_reply(m_conn, xcb_get_modifier_mapping(m_conn), nullptr);
    if (!reply)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(reply);
    const int perMod = reply->keycodes_per_modifier;
    quint16 alt = 0, super = 0, numLock = 0;
    for (int mod = 0; mod < 8; ++mod) {
        for (int i = 0; i < perMod; ++i) {
            const xcb_keycode_t code = codes[mod * perMod + i];
            if (code == 0)
                continue;
            const quint32 sym = xcb_key_symbols_get_keysym(m_keySymbols, code, 0);
            const quint16 bit = quint16(1u << mod);
            if (mod >= 3) {
                if (!alt &&
                    (sym == X11KeyTable::kAltL || sym == X11KeyTable::kAltR || sym == X11KeyTable::kMetaL))
                    alt = bit;
                if (!super && (sym == X11KeyTable::kSuperL || sym == X11KeyTable::kSuperR))
                    super = bit;
                if (!numLock && sym == X11KeyTable::kNumLock)
                    numLock = bit;
            }
            m_modKeycodes.append(code);
            m_modKeycodeMasks.append(bit);
        }
    }
    free(reply);
    if (alt)
        m_altBit = alt;
    if (super)
        m_superBit = super;
    m_numLockBit = numLock;
    // Translate the X bit of each modifier keycode to ring modifier bits.
    for (qsizetype i = 0; i < m_modKeycodeMasks.size(); ++i)
        m_modKeycodeMasks[i] = maskFromState(quint16(m_modKeycodeMasks[i]));
    qCDebug(lcX11) << "modifier bits alt" << m_altBit << "super" << m_superBit << "numlock" << m_numLockBit;
}

quint16 X11Connection::stateFor(quint32 mask) const
{
    quint16 state = 0;
    if (mask & ModifierMask::Shift)
        state |= XCB_MOD_MASK_SHIFT;
    if (mask & ModifierMask::Control)
        state |= XCB_MOD_MASK_CONTROL;
    if (mask & ModifierMask::Option)
        state |= m_altBit;
    if (mask & ModifierMask::Command)
        state |= m_superBit;
    return state;
}

quint32 X11Connection::maskFromState(quint16 state) const
{
    quint32 mask = 0;
    if (state & XCB_MOD_MASK_SHIFT)
        mask |= ModifierMask::Shift;
    if (state & XCB_MOD_MASK_CONTROL)
        mask |= ModifierMask::Control;
    if (state & m_altBit)
        mask |= ModifierMask::Option;
    if (state & m_superBit)
        mask |= ModifierMask::Command;
    return mask;
}

quint32 X11Connection::maskForKeycode(xcb_keycode_t keycode) const
{
    const qsizetype i = m_modKeycodes.indexOf(keycode);
    return i < 0 ? 0 : m_modKeycodeMasks.at(i);
}

void X11Connection::flush()
{
    xcb_flush(m_conn);
    if (!m_drainPending) {
        m_drainPending = true;
        QMetaObject::invokeMethod(this, &X11Connection::dispatchQueued, Qt::QueuedConnection);
    }
}

void X11Connection::sync()
{
    free(xcb_get_input_focus_reply(m_conn, xcb_get_input_focus(m_conn), nullptr));
}

void X11Connection::dispatchQueued()
{
    m_drainPending = false;
    while (xcb_generic_event_t* ev = xcb_poll_for_queued_event(m_conn)) {
        dispatch(ev);
        free(ev);
    }
}

void X11Connection::readAvailable()
{
    while (xcb_generic_event_t* ev = xcb_poll_for_event(m_conn)) {
        dispatch(ev);
        free(ev);
    }
    if (xcb_connection_has_error(m_conn)) {
        qCWarning(lcX11) << "X connection lost";
        m_notifier->setEnabled(false);
    }
}

void X11Connection::dispatch(xcb_generic_event_t* event)
{
    const quint8 type = event->response_type & 0x7f;
    if (type == 0) {
        auto* err = reinterpret_cast<xcb_generic_error_t*>(event);
        qCDebug(lcX11) << "X error" << err->error_code << "for request" << err->major_code;
        return;
    }
    if (type == XCB_MAPPING_NOTIFY) {
        auto* m = reinterpret_cast<xcb_mapping_notify_event_t*>(event);
        if (m->request != XCB_MAPPING_POINTER) {
            xcb_refresh_keyboard_mapping(m_keySymbols, m);
            readModifierMap();
        }
    }
    for (const Handler& h : m_handlers)
        h(event);
}
