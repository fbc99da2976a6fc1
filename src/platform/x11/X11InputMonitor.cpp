#include "platform/x11/X11InputMonitor.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11KeyTable.h"

#include <cmath>
#include <cstdlib>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <xcb/xinput.h>

X11InputMonitor::X11InputMonitor(X11Connection* conn, QObject* parent)
    : InputMonitor(parent)
    , m_conn(conn)
{
    m_conn->addHandler([this](xcb_generic_event_t* e) { handleEvent(e); });
    findXTestDevices();
}

QPoint X11InputMonitor::pointerPosition() const
{
    auto* reply =
        xcb_query_pointer_reply(m_conn->xcb(), xcb_query_pointer(m_conn->xcb(), m_conn->root()), nullptr);
    if (!reply)
        return {};
    QPoint p(reply->root_x, reply->root_y);
    free(reply);
    m_conn->flush();
    // X reports device pixels; Qt places windows in device-independent ones.
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        const QScreen* screen = app->primaryScreen();
        const qreal dpr = screen ? screen->devicePixelRatio() : 1.0;
        if (dpr > 0 && dpr != 1.0)
            p = QPoint(int(std::lround(p.x() / dpr)), int(std::lround(p.y() / dpr)));
    }
    return p;
}

bool X11InputMonitor::canReportKey(int virtualKeyCode) const
{
    const std::optional<quint32> keysym = X11KeyTable::keysymForVirtualKey(virtualKeyCode);
    return keysym && !m_conn->keycodesFor(*keysym).isEmpty();
}

bool X11InputMonitor::isPointerOverOwnWindow() const
{
    QSet<xcb_window_t> own;
    for (QWindow* w : QGuiApplication::allWindows())
        if (w->handle() && w->isVisible())
            own.insert(xcb_window_t(w->winId()));
    if (own.isEmpty())
        return false;
    // Down the stack of windows under the pointer: the window manager's frame,
    // then the client inside it.
    xcb_connection_t* c = m_conn->xcb();
    xcb_window_t window = m_conn->root();
    for (int depth = 0; depth < 8; ++depth) {
        auto* reply = xcb_query_pointer_reply(c, xcb_query_pointer(c, window), nullptr);
        if (!reply)
            return false;
        const xcb_window_t child = reply->child;
        free(reply);
        if (child == XCB_NONE)
            return false;
        if (own.contains(child))
            return true;
        window = child;
    }
    return false;
}

void X11InputMonitor::applyKeySelection(bool selected)
{
    m_keys = selected;
    if (selected)
        seedModifiers();
    select();
}

void X11InputMonitor::applyButtonSelection(bool selected)
{
    m_buttons = selected;
    select();
}

void X11InputMonitor::select()
{
    if (!m_conn->hasXInput22())
        return;
    struct
    {
        xcb_input_event_mask_t head;
        uint32_t mask;
    } request{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, 0};
    if (m_keys)
        request.mask |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
    if (m_buttons)
        request.mask |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS;
    xcb_input_xi_select_events(m_conn->xcb(), m_conn->root(), 1, &request.head);
    m_conn->flush();
}

void X11InputMonitor::findXTestDevices()
{
    m_xtestDevices.clear();
    if (!m_conn->hasXInput22())
        return;
    auto* reply = xcb_input_xi_query_device_reply(
        m_conn->xcb(), xcb_input_xi_query_device(m_conn->xcb(), XCB_INPUT_DEVICE_ALL), nullptr);
    if (!reply)
        return;
    for (auto it = xcb_input_xi_query_device_infos_iterator(reply); it.rem;
         xcb_input_xi_device_info_next(&it)) {
        const QByteArray name(xcb_input_xi_device_info_name(it.data),
                              xcb_input_xi_device_info_name_length(it.data));
        if (name.contains("XTEST"))
            m_xtestDevices.insert(it.data->deviceid);
    }
    free(reply);
}

void X11InputMonitor::seedModifiers()
{
    m_heldModifierKeys.clear();
    m_seededModifiers = 0;
    auto* reply =
        xcb_query_pointer_reply(m_conn->xcb(), xcb_query_pointer(m_conn->xcb(), m_conn->root()), nullptr);
    if (reply) {
        m_seededModifiers = m_conn->maskFromState(reply->mask);
        free(reply);
    }
}

void X11InputMonitor::handleEvent(xcb_generic_event_t* event)
{
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_MAPPING_NOTIFY) {
        // The connection has read the new keymap by now.
        if (reinterpret_cast<xcb_mapping_notify_event_t*>(event)->request != XCB_MAPPING_POINTER)
            Q_EMIT keymapChanged();
        return;
    }
    if (type != XCB_GE_GENERIC)
        return;
    auto* ge = reinterpret_cast<xcb_ge_generic_event_t*>(event);
    if (ge->extension != m_conn->xiOpcode())
        return;
    switch (ge->event_type) {
    case XCB_INPUT_RAW_KEY_PRESS:
    case XCB_INPUT_RAW_KEY_RELEASE: {
        if (!m_keys)
            return;
        auto* raw = reinterpret_cast<xcb_input_raw_key_press_event_t*>(event);
        if (m_injecting && m_xtestDevices.contains(raw->sourceid))
            return;
        const auto keycode = xcb_keycode_t(raw->detail);
        const quint32 modBit = m_conn->maskForKeycode(keycode);
        if (ge->event_type == XCB_INPUT_RAW_KEY_RELEASE) {
            if (modBit) {
                m_heldModifierKeys.remove(keycode);
                m_seededModifiers &= ~modBit;
            }
            return;
        }
        if (modBit)
            m_heldModifierKeys.insert(keycode);
        quint32 held = m_seededModifiers;
        for (xcb_keycode_t k : std::as_const(m_heldModifierKeys))
            if (k != keycode)
                held |= m_conn->maskForKeycode(k);
        RawKeyEvent e;
        e.nativeKeycode = keycode;
        e.keysym = m_conn->keysymFor(keycode);
        e.virtualKeyCode = X11KeyTable::virtualKeyForKeysym(e.keysym);
        e.modifiers = held;
        Q_EMIT keyPressed(e);
        return;
    }
    case XCB_INPUT_RAW_BUTTON_PRESS: {
        if (!m_buttons)
            return;
        auto* raw = reinterpret_cast<xcb_input_raw_button_press_event_t*>(event);
        if (m_injecting && m_xtestDevices.contains(raw->sourceid))
            return;
        const int button = X11KeyTable::buttonFromX(int(raw->detail));
        if (button < 0)
            return;
        Q_EMIT buttonPressed(button, pointerPosition());
        return;
    }
    default:
        return;
    }
}
