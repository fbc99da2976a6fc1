#include "shell/WindowHints.h"

#include <cstring>
#include <QGuiApplication>
#include <QScreen>
#include <QtGui/qguiapplication_platform.h>
#include <QWidget>
#include <vector>
#include <xcb/xcb.h>

namespace {

// Off X11 (offscreen tests, Wayland) the wish is kept on the widget so that it
// is still observable and applied once a window manager can honour it.
const char kSkipTaskbarProperty[] = "rondixSkipTaskbar";

xcb_connection_t* x11Connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    free(reply);
    return atom;
}

std::vector<xcb_atom_t> readAtoms(xcb_connection_t* c, xcb_window_t window, xcb_atom_t property)
{
    std::vector<xcb_atom_t> atoms;
    xcb_get_property_reply_t* reply =
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (!reply)
        return atoms;
    if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
        const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        atoms.assign(data, data + xcb_get_property_value_length(reply) / 4);
    }
    free(reply);
    return atoms;
}

} // namespace

namespace WindowHints {

void centreOnPrimaryScreen(QWidget* window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(0, 0), window->size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

void setSkipTaskbar(QWidget* window, bool skip)
{
    window->setProperty(kSkipTaskbarProperty, skip);
    xcb_connection_t* c = x11Connection();
    if (!c)
        return;

    const xcb_window_t wid = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    const xcb_atom_t skipAtom = internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (state == XCB_ATOM_NONE || skipAtom == XCB_ATOM_NONE)
        return;

    if (!window->isVisible()) {
        // Unmapped: edit the property; Qt keeps atoms it does not manage when it maps.
        std::vector<xcb_atom_t> atoms = readAtoms(c, wid, state);
        std::erase(atoms, skipAtom);
        if (skip)
            atoms.push_back(skipAtom);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, wid, state, XCB_ATOM_ATOM, 32,
                            static_cast<uint32_t>(atoms.size()), atoms.data());
    } else {
        // Mapped: the window manager owns the state; ask it.
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof(event));
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = wid;
        event.type = state;
        event.data.data32[0] = skip ? 1 : 0; // _NET_WM_STATE_ADD / _REMOVE
        event.data.data32[1] = skipAtom;
        event.data.data32[3] = 1; // source: normal application
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_flush(c);
}

bool hasSkipTaskbar(QWidget* window)
{
    xcb_connection_t* c = x11Connection();
    if (!c)
        return window->property(kSkipTaskbarProperty).toBool();
    const xcb_atom_t state = internAtom(c, "_NET_WM_STATE");
    const xcb_atom_t skipAtom = internAtom(c, "_NET_WM_STATE_SKIP_TASKBAR");
    const std::vector<xcb_atom_t> atoms = readAtoms(c, static_cast<xcb_window_t>(window->winId()), state);
    return std::find(atoms.begin(), atoms.end(), skipAtom) != atoms.end();
}

} // namespace WindowHints
