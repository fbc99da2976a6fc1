#pragma once

#include <functional>
#include <memory>
#include <QHash>
#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QRect>
#include <QString>

struct wl_compositor;
struct wl_display;
struct wl_keyboard;
struct wl_output;
struct wl_pointer;
struct wl_registry;
struct wl_seat;
struct wl_shm;
struct wl_surface;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
class QSocketNotifier;

Q_DECLARE_LOGGING_CATEGORY(lcWayland)

// Rondix's own connection to the Wayland compositor, beside Qt's: the ring's
// overlay, the window list, the virtual keyboard and the clipboard live on
// it. A socket notifier reads it on the main thread; everything written is
// flushed before the event loop sleeps.
class WaylandConnection : public QObject
{
    Q_OBJECT
public:
    struct Global
    {
        quint32 name = 0;
        QString interface;
        quint32 version = 0;
    };

    struct Output
    {
        wl_output* output = nullptr;
        zxdg_output_v1* xdgOutput = nullptr;
        quint32 name = 0;
        QRect geometry;  // logical, in the compositor's global space
        int scale = 1;   // the buffer scale the compositor asks for (a fractional one rounded up)
        QRect pending;   // mode and position until "done"
        int pendingScale = 1;
        QRect pendingLogical; // from xdg-output, which knows fractional scales
    };

    // Receives the seat's pointer and keyboard events while it is set.
    struct InputSink
    {
        virtual ~InputSink() = default;
        virtual void pointerEnter(wl_surface* surface, double x, double y) = 0;
        virtual void pointerLeave(wl_surface* surface) = 0;
        virtual void pointerMotion(double x, double y) = 0;
        virtual void pointerButton(quint32 button, bool pressed) = 0;
        virtual void pointerAxis(quint32 axis, double value, bool discrete) = 0;
        virtual void keyboardEnter(wl_surface* surface) = 0;
        virtual void key(quint32 evdevKey, bool pressed) = 0;
    };

    // Connects to $WAYLAND_DISPLAY and reads the globals; none when no
    // compositor answers.
    static std::unique_ptr<WaylandConnection> open();
    ~WaylandConnection() override;

    wl_display* display() const { return m_display; }
    const QList<Global>& globals() const { return m_globals; }
    bool hasGlobal(const char* interface) const;
    // Binds the global at min(its version, `maxVersion`); null when absent.
    void* bind(const char* interface, const struct wl_interface* type, quint32 maxVersion,
               quint32* boundVersion = nullptr) const;

    wl_compositor* compositor() const { return m_compositor; }
    wl_shm* shm() const { return m_shm; }
    wl_seat* seat() const { return m_seat; }
    const QList<Output*>& outputs() const { return m_outputs; }
    Output* outputFor(wl_output* output) const;

    // The seat's keymap as the compositor sends it to clients (xkb text);
    // empty until the seat has a keyboard.
    const QByteArray& seatKeymap() const { return m_keymap; }
    quint32 lastSerial() const { return m_serial; }

    void setInputSink(InputSink* sink) { m_sink = sink; }
    InputSink* inputSink() const { return m_sink; }

    // Sends what is queued and waits until the compositor has handled it.
    bool roundtrip();
    void flush();
    // Reads what the compositor already sent, without waiting.
    void dispatchPendingEvents() { readEvents(); }
    bool isBroken() const { return m_broken; }

Q_SIGNALS:
    void seatKeymapChanged();
    void outputsChanged();
    // The connection failed; the backends stop using it.
    void broken();

private:
    WaylandConnection() = default;
    void readEvents();
    void dispatchPending();
    void setBroken();

    static void registryGlobal(void* data, wl_registry* registry, quint32 name, const char* interface,
                               quint32 version);
    static void registryGlobalRemove(void* data, wl_registry* registry, quint32 name);
    void addOutput(quint32 name, quint32 version);
    void watchLogicalGeometry(Output* o);
    void seatCapabilities(quint32 caps);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_compositor* m_compositor = nullptr;
    wl_shm* m_shm = nullptr;
    wl_seat* m_seat = nullptr;
    zxdg_output_manager_v1* m_xdgOutputs = nullptr;
    quint32 m_xdgOutputVersion = 0;
    wl_pointer* m_pointer = nullptr;
    wl_keyboard* m_keyboard = nullptr;
    QList<Global> m_globals;
    QList<Output*> m_outputs;
    QByteArray m_keymap;
    quint32 m_serial = 0;
    InputSink* m_sink = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    bool m_broken = false;

    friend struct WaylandListeners;
};
