#include "platform/wayland/WaylandConnection.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <cerrno>
#include <cstring>
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

Q_LOGGING_CATEGORY(lcWayland, "rondix.wayland")

namespace {
constexpr quint32 kSeatVersion = 5;
constexpr quint32 kOutputVersion = 2;
constexpr quint32 kXdgOutputVersion = 3;
} // namespace

// The C listeners, each forwarding to the connection.
struct WaylandListeners
{
    static WaylandConnection* self(void* data) { return static_cast<WaylandConnection*>(data); }

    // wl_output
    static void outputGeometry(void* data, wl_output* o, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                               const char*, const char*, int32_t)
    {
        if (auto* out = self(data)->outputFor(o))
            out->pending.moveTo(x, y);
    }
    static void outputMode(void* data, wl_output* o, uint32_t flags, int32_t w, int32_t h, int32_t)
    {
        if (!(flags & WL_OUTPUT_MODE_CURRENT))
            return;
        if (auto* out = self(data)->outputFor(o))
            out->pending.setSize(QSize(w, h));
    }
    static void outputDone(void* data, wl_output* o)
    {
        auto* out = self(data)->outputFor(o);
        if (!out)
            return;
        out->scale = std::max(1, out->pendingScale);
        // Mode sizes are in pixels; the ring works in the logical space. A
        // fractional scale reaches wl_output rounded up, so where xdg-output
        // tells the logical size it is taken from there.
        if (out->xdgOutput && !out->pendingLogical.isEmpty())
            out->geometry = out->pendingLogical;
        else
            out->geometry = QRect(out->pending.topLeft(), out->pending.size() / out->scale);
        Q_EMIT self(data)->outputsChanged();
    }
    static void outputScale(void* data, wl_output* o, int32_t factor)
    {
        if (auto* out = self(data)->outputFor(o))
            out->pendingScale = factor;
    }

    // zxdg_output_v1
    static WaylandConnection::Output* outputFor(void* data, zxdg_output_v1* x)
    {
        for (WaylandConnection::Output* out : std::as_const(self(data)->m_outputs))
            if (out->xdgOutput == x)
                return out;
        return nullptr;
    }
    static void xdgLogicalPosition(void* data, zxdg_output_v1* x, int32_t px, int32_t py)
    {
        if (auto* out = outputFor(data, x))
            out->pendingLogical.moveTo(px, py);
    }
    static void xdgLogicalSize(void* data, zxdg_output_v1* x, int32_t w, int32_t h)
    {
        if (auto* out = outputFor(data, x))
            out->pendingLogical.setSize(QSize(w, h));
    }
    static void xdgDone(void* data, zxdg_output_v1* x)
    {
        // Before version 3 the logical geometry ends here rather than with wl_output's "done".
        auto* out = outputFor(data, x);
        if (!out || self(data)->m_xdgOutputVersion >= 3 || out->pendingLogical.isEmpty())
            return;
        out->geometry = out->pendingLogical;
        Q_EMIT self(data)->outputsChanged();
    }
    static void xdgName(void*, zxdg_output_v1*, const char*) {}
    static void xdgDescription(void*, zxdg_output_v1*, const char*) {}

    // wl_seat
    static void seatCapabilities(void* data, wl_seat*, uint32_t caps) { self(data)->seatCapabilities(caps); }
    static void seatName(void*, wl_seat*, const char*) {}

    // wl_pointer
    static void pointerEnter(void* data, wl_pointer* p, uint32_t serial, wl_surface* s, wl_fixed_t x,
                             wl_fixed_t y)
    {
        self(data)->m_serial = serial;
        // No cursor image of our own: the compositor's stays as it was.
        wl_pointer_set_cursor(p, serial, nullptr, 0, 0);
        if (auto* sink = self(data)->m_sink)
            sink->pointerEnter(s, wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void pointerLeave(void* data, wl_pointer*, uint32_t serial, wl_surface* s)
    {
        self(data)->m_serial = serial;
        if (auto* sink = self(data)->m_sink)
            sink->pointerLeave(s);
    }
    static void pointerMotion(void* data, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y)
    {
        if (auto* sink = self(data)->m_sink)
            sink->pointerMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
    }
    static void pointerButton(void* data, wl_pointer*, uint32_t serial, uint32_t, uint32_t button, uint32_t state)
    {
        self(data)->m_serial = serial;
        if (auto* sink = self(data)->m_sink)
            sink->pointerButton(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    }
    static void pointerAxis(void* data, wl_pointer*, uint32_t, uint32_t axis, wl_fixed_t value)
    {
        if (auto* sink = self(data)->m_sink)
            sink->pointerAxis(axis, wl_fixed_to_double(value), false);
    }
    static void pointerFrame(void*, wl_pointer*) {}
    static void pointerAxisSource(void*, wl_pointer*, uint32_t) {}
    static void pointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
    static void pointerAxisDiscrete(void* data, wl_pointer*, uint32_t axis, int32_t discrete)
    {
        if (auto* sink = self(data)->m_sink)
            sink->pointerAxis(axis, discrete, true);
    }

    // wl_keyboard
    static void keyboardKeymap(void* data, wl_keyboard*, uint32_t format, int32_t fd, uint32_t size)
    {
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* map = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (map != MAP_FAILED) {
                // The text ends with a NUL that xkbcommon does not want.
                QByteArray text(static_cast<const char*>(map), int(size));
                munmap(map, size);
                while (text.endsWith('\0'))
                    text.chop(1);
                if (text != self(data)->m_keymap) {
                    self(data)->m_keymap = text;
                    Q_EMIT self(data)->seatKeymapChanged();
                }
            }
        }
        close(fd);
    }
    static void keyboardEnter(void* data, wl_keyboard*, uint32_t serial, wl_surface* s, wl_array*)
    {
        self(data)->m_serial = serial;
        if (auto* sink = self(data)->m_sink)
            sink->keyboardEnter(s);
    }
    static void keyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}
    static void keyboardKey(void* data, wl_keyboard*, uint32_t serial, uint32_t, uint32_t key, uint32_t state)
    {
        self(data)->m_serial = serial;
        if (auto* sink = self(data)->m_sink)
            sink->key(key, state == WL_KEYBOARD_KEY_STATE_PRESSED);
    }
    static void keyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void keyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}

    static constexpr wl_registry_listener registry{&WaylandConnection::registryGlobal,
                                                   &WaylandConnection::registryGlobalRemove};
    static constexpr wl_output_listener output{outputGeometry, outputMode, outputDone, outputScale, nullptr,
                                               nullptr};
    static constexpr zxdg_output_v1_listener xdgOutput{xdgLogicalPosition, xdgLogicalSize, xdgDone, xdgName,
                                                       xdgDescription};
    static constexpr wl_seat_listener seat{seatCapabilities, seatName};
    static constexpr wl_pointer_listener pointer{pointerEnter,      pointerLeave,    pointerMotion,
                                                 pointerButton,     pointerAxis,     pointerFrame,
                                                 pointerAxisSource, pointerAxisStop, pointerAxisDiscrete,
                                                 nullptr};
    static constexpr wl_keyboard_listener keyboard{keyboardKeymap, keyboardEnter,     keyboardLeave,
                                                   keyboardKey,    keyboardModifiers, keyboardRepeat};
};

std::unique_ptr<WaylandConnection> WaylandConnection::open()
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_SOCKET"))
        return nullptr;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return nullptr;
    std::unique_ptr<WaylandConnection> c(new WaylandConnection);
    c->m_display = display;
    c->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(c->m_registry, &WaylandListeners::registry, c.get());
    // Globals first, then what binding them sends (outputs, seat capabilities, keymap).
    if (wl_display_roundtrip(display) < 0 || wl_display_roundtrip(display) < 0)
        return nullptr;
    if (!c->m_compositor || !c->m_shm) {
        qCWarning(lcWayland) << "the compositor offers no wl_compositor or wl_shm";
        return nullptr;
    }

    c->m_notifier = new QSocketNotifier(wl_display_get_fd(display), QSocketNotifier::Read, c.get());
    connect(c->m_notifier, &QSocketNotifier::activated, c.get(), [conn = c.get()] { conn->readEvents(); });
    // Requests are written when the loop is about to sleep, so a burst of them
    // goes out in one write and nothing stays queued while idle.
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, c.get(), [conn = c.get()] {
            conn->dispatchPending();
            conn->flush();
        });
    return c;
}

WaylandConnection::~WaylandConnection()
{
    delete m_notifier;
    m_notifier = nullptr;
    // The backends on this connection let go of their objects while it still works.
    const QObjectList owned = children();
    for (QObject* child : owned)
        delete child;
    for (Output* o : std::as_const(m_outputs)) {
        if (o->xdgOutput)
            zxdg_output_v1_destroy(o->xdgOutput);
        if (o->output)
            wl_output_destroy(o->output);
        delete o;
    }
    if (m_xdgOutputs)
        zxdg_output_manager_v1_destroy(m_xdgOutputs);
    if (m_pointer)
        wl_pointer_destroy(m_pointer);
    if (m_keyboard)
        wl_keyboard_destroy(m_keyboard);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_shm)
        wl_shm_destroy(m_shm);
    if (m_compositor)
        wl_compositor_destroy(m_compositor);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

void WaylandConnection::registryGlobal(void* data, wl_registry* registry, quint32 name, const char* interface,
                                       quint32 version)
{
    auto* self = static_cast<WaylandConnection*>(data);
    self->m_globals.append({name, QString::fromLatin1(interface), version});
    const QByteArray iface(interface);
    if (iface == wl_compositor_interface.name && !self->m_compositor) {
        self->m_compositor = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min<quint32>(version, 4)));
    } else if (iface == wl_shm_interface.name && !self->m_shm) {
        self->m_shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (iface == wl_seat_interface.name && !self->m_seat) {
        // One seat: the first the compositor names.
        self->m_seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, kSeatVersion)));
        wl_seat_add_listener(self->m_seat, &WaylandListeners::seat, self);
    } else if (iface == wl_output_interface.name) {
        self->addOutput(name, version);
    } else if (iface == zxdg_output_manager_v1_interface.name && !self->m_xdgOutputs) {
        self->m_xdgOutputVersion = std::min(version, kXdgOutputVersion);
        self->m_xdgOutputs = static_cast<zxdg_output_manager_v1*>(
            wl_registry_bind(registry, name, &zxdg_output_manager_v1_interface, self->m_xdgOutputVersion));
        for (Output* o : std::as_const(self->m_outputs))
            self->watchLogicalGeometry(o);
    }
}

void WaylandConnection::registryGlobalRemove(void* data, wl_registry*, quint32 name)
{
    auto* self = static_cast<WaylandConnection*>(data);
    self->m_globals.erase(std::remove_if(self->m_globals.begin(), self->m_globals.end(),
                                         [name](const Global& g) { return g.name == name; }),
                          self->m_globals.end());
    for (int i = 0; i < self->m_outputs.size(); ++i) {
        Output* o = self->m_outputs.at(i);
        if (o->name != name)
            continue;
        self->m_outputs.removeAt(i);
        Q_EMIT self->outputsChanged();
        if (o->xdgOutput)
            zxdg_output_v1_destroy(o->xdgOutput);
        wl_output_destroy(o->output);
        delete o;
        return;
    }
}

void WaylandConnection::addOutput(quint32 name, quint32 version)
{
    auto* o = new Output;
    o->name = name;
    o->output = static_cast<wl_output*>(
        wl_registry_bind(m_registry, name, &wl_output_interface, std::min(version, kOutputVersion)));
    wl_output_add_listener(o->output, &WaylandListeners::output, this);
    m_outputs.append(o);
    watchLogicalGeometry(o);
}

void WaylandConnection::watchLogicalGeometry(Output* o)
{
    if (!m_xdgOutputs || o->xdgOutput)
        return;
    o->xdgOutput = zxdg_output_manager_v1_get_xdg_output(m_xdgOutputs, o->output);
    zxdg_output_v1_add_listener(o->xdgOutput, &WaylandListeners::xdgOutput, this);
}

WaylandConnection::Output* WaylandConnection::outputFor(wl_output* output) const
{
    for (Output* o : m_outputs)
        if (o->output == output)
            return o;
    return nullptr;
}

void WaylandConnection::seatCapabilities(quint32 caps)
{
    const bool hasPointer = caps & WL_SEAT_CAPABILITY_POINTER;
    const bool hasKeyboard = caps & WL_SEAT_CAPABILITY_KEYBOARD;
    if (hasPointer && !m_pointer) {
        m_pointer = wl_seat_get_pointer(m_seat);
        wl_pointer_add_listener(m_pointer, &WaylandListeners::pointer, this);
    } else if (!hasPointer && m_pointer) {
        wl_pointer_destroy(m_pointer);
        m_pointer = nullptr;
    }
    if (hasKeyboard && !m_keyboard) {
        m_keyboard = wl_seat_get_keyboard(m_seat);
        wl_keyboard_add_listener(m_keyboard, &WaylandListeners::keyboard, this);
    } else if (!hasKeyboard && m_keyboard) {
        wl_keyboard_destroy(m_keyboard);
        m_keyboard = nullptr;
    }
}

bool WaylandConnection::hasGlobal(const char* interface) const
{
    const QLatin1String name(interface);
    return std::any_of(m_globals.begin(), m_globals.end(), [&](const Global& g) { return g.interface == name; });
}

void* WaylandConnection::bind(const char* interface, const wl_interface* type, quint32 maxVersion,
                              quint32* boundVersion) const
{
    const QLatin1String name(interface);
    for (const Global& g : m_globals) {
        if (g.interface != name)
            continue;
        const quint32 v = std::min(g.version, maxVersion);
        if (boundVersion)
            *boundVersion = v;
        return wl_registry_bind(m_registry, g.name, type, v);
    }
    return nullptr;
}

void WaylandConnection::readEvents()
{
    if (m_broken)
        return;
    if (wl_display_prepare_read(m_display) != 0) {
        dispatchPending();
        return;
    }
    if (wl_display_read_events(m_display) < 0 && errno != EAGAIN) {
        setBroken();
        return;
    }
    dispatchPending();
}

void WaylandConnection::dispatchPending()
{
    if (m_broken)
        return;
    if (wl_display_dispatch_pending(m_display) < 0)
        setBroken();
}

void WaylandConnection::flush()
{
    if (!m_broken && wl_display_flush(m_display) < 0 && errno != EAGAIN)
        setBroken();
}

bool WaylandConnection::roundtrip()
{
    if (m_broken)
        return false;
    if (wl_display_roundtrip(m_display) < 0) {
        setBroken();
        return false;
    }
    return true;
}

void WaylandConnection::setBroken()
{
    if (m_broken)
        return;
    m_broken = true;
    const int err = wl_display_get_error(m_display);
    if (err == EPROTO) {
        // The compositor refused a request of ours: name it, so the report says which.
        const wl_interface* interface = nullptr;
        quint32 objectId = 0;
        const quint32 code = wl_display_get_protocol_error(m_display, &interface, &objectId);
        qCWarning(lcWayland).nospace() << "the compositor closed the connection: protocol error " << code << " on "
                                       << (interface ? interface->name : "an unknown object") << "@" << objectId;
    } else {
        qCWarning(lcWayland) << "the compositor connection failed:" << strerror(err);
    }
    if (m_notifier)
        m_notifier->setEnabled(false);
    Q_EMIT broken();
}
