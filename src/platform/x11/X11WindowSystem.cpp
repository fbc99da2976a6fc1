#include "platform/x11/X11WindowSystem.h"

#include "platform/x11/WindowAppMatcher.h"
#include "platform/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>
#include <QCoreApplication>
#include <QFileInfo>

X11WindowSystem::X11WindowSystem(X11Connection* conn, std::function<DesktopEntries*()> entries,
                                 QObject* parent)
    : WindowSystem(parent)
    , m_conn(conn)
    , m_entries(std::move(entries))
{
    m_activeAtom = m_conn->atom("_NET_ACTIVE_WINDOW");
    m_pidAtom = m_conn->atom("_NET_WM_PID");
    m_gtkIdAtom = m_conn->atom("_GTK_APPLICATION_ID");
    m_utf8Atom = m_conn->atom("UTF8_STRING");
    m_cmAtom =
        m_conn->atom(QByteArray("_NET_WM_CM_S" + QByteArray::number(m_conn->screenNumber())).constData());
    m_lastAnnounced = describe(activeWindow());
    m_conn->addHandler([this](xcb_generic_event_t* e) { handleEvent(e); });
}

xcb_get_property_cookie_t X11WindowSystem::requestProperty(xcb_window_t window, xcb_atom_t atom,
                                                           xcb_atom_t type, quint32 maxLength)
{
    return xcb_get_property(m_conn->xcb(), 0, window, atom, type, 0, (maxLength + 3) / 4);
}

QByteArray X11WindowSystem::propertyValue(xcb_get_property_cookie_t cookie)
{
    auto* reply = xcb_get_property_reply(m_conn->xcb(), cookie, nullptr);
    if (!reply)
        return {};
    QByteArray data;
    if (reply->type != XCB_ATOM_NONE)
        data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
    free(reply);
    return data;
}

xcb_window_t X11WindowSystem::activeWindow()
{
    const QByteArray v = propertyValue(requestProperty(m_conn->root(), m_activeAtom, XCB_ATOM_WINDOW, 4));
    if (v.size() < 4)
        return 0;
    xcb_window_t w;
    memcpy(&w, v.constData(), 4);
    return w;
}

std::optional<RunningApp> X11WindowSystem::describe(xcb_window_t window)
{
    if (window == 0 || window == m_conn->root())
        return std::nullopt;
    // Every reply is taken, even for a window that turns out to be gone.
    const auto clsCookie = requestProperty(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
    const auto pidCookie = requestProperty(window, m_pidAtom, XCB_ATOM_CARDINAL, 4);
    const auto gtkIdCookie = requestProperty(window, m_gtkIdAtom, m_utf8Atom);
    // WM_CLASS: "instance\0class\0".
    const QByteArray cls = propertyValue(clsCookie);
    const QByteArray pidData = propertyValue(pidCookie);
    const QByteArray gtkId = propertyValue(gtkIdCookie);
    if (cls.isEmpty() && pidData.isEmpty()) {
        // Gone already, or not a client window at all.
        auto* geo = xcb_get_geometry_reply(m_conn->xcb(), xcb_get_geometry(m_conn->xcb(), window), nullptr);
        if (!geo)
            return std::nullopt;
        free(geo);
    }
    const QList<QByteArray> parts = cls.split('\0');
    WindowIdentity id;
    id.wmInstance = QString::fromLocal8Bit(parts.value(0));
    id.wmClass = QString::fromLocal8Bit(parts.value(1));
    id.gtkAppId = QString::fromUtf8(gtkId);

    qint64 pid = 0;
    if (pidData.size() >= 4) {
        quint32 p;
        memcpy(&p, pidData.constData(), 4);
        pid = p;
    }
    const bool own = pid > 0 && pid == QCoreApplication::applicationPid();
    if (pid > 0 && !own)
        id.executable = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    m_conn->flush();
    const QString key =
        QStringList{id.wmInstance, id.wmClass, id.gtkAppId, id.executable}.join(QLatin1Char('\n'));
    if (!own) {
        if (auto it = m_matches.constFind(key); it != m_matches.constEnd()) {
            RunningApp app = *it;
            app.window = window;
            app.pid = pid;
            return app;
        }
    }
    RunningApp app = WindowAppMatcher::describe(window, pid, id, m_entries ? m_entries() : nullptr, own);
    if (!own) {
        if (m_matches.size() > 256)
            m_matches.clear();
        m_matches.insert(key, app);
    }
    return app;
}

std::optional<RunningApp> X11WindowSystem::frontmostApplication()
{
    return describe(activeWindow());
}

bool X11WindowSystem::activate(const RunningApp& app)
{
    if (app.window == 0)
        return false;
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = app.window;
    ev.type = m_activeAtom;
    ev.data.data32[0] = 2; // source: a pager, which window managers obey
    ev.data.data32[1] = m_lastTime;
    ev.data.data32[2] = 0;
    xcb_send_event(m_conn->xcb(), 0, m_conn->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&ev));
    m_conn->flush();
    return true;
}

bool X11WindowSystem::hasKeyboardFocus(const RunningApp& app)
{
    return app.window != 0 && activeWindow() == app.window && hasFocus(app.window);
}

bool X11WindowSystem::hasFocus(xcb_window_t window)
{
    xcb_connection_t* c = m_conn->xcb();
    auto* focus = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
    if (!focus)
        return false;
    xcb_window_t w = focus->focus;
    free(focus);
    // Some toolkits focus a child of their top-level window.
    for (int depth = 0; depth < 8 && w != XCB_NONE && w != m_conn->root(); ++depth) {
        if (w == window)
            return true;
        auto* tree = xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr);
        if (!tree)
            return false;
        w = tree->parent;
        free(tree);
    }
    return false;
}

bool X11WindowSystem::isCompositing()
{
    auto* reply = xcb_get_selection_owner_reply(m_conn->xcb(),
                                                xcb_get_selection_owner(m_conn->xcb(), m_cmAtom), nullptr);
    if (!reply)
        return false;
    const bool owned = reply->owner != XCB_NONE;
    free(reply);
    return owned;
}

void X11WindowSystem::handleEvent(xcb_generic_event_t* event)
{
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
        return;
    auto* pn = reinterpret_cast<xcb_property_notify_event_t*>(event);
    m_lastTime = pn->time;
    if (pn->window != m_conn->root() || pn->atom != m_activeAtom)
        return;
    // Notifications are read late and coalesce: what counts is the window
    // active now, and whether it is another application than last announced.
    const std::optional<RunningApp> app = describe(activeWindow());
    if (!app || app == m_lastAnnounced)
        return;
    m_lastAnnounced = app;
    Q_EMIT frontmostApplicationChanged(*app);
}
