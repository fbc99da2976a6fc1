#pragma once

#include <functional>
#include <memory>
#include <QList>
#include <QObject>
#include <vector>
#include <xcb/xcb.h>

class QSocketNotifier;
struct _XCBKeySymbols;

// Rondix's own connection to the X server (independent of Qt's), read through a
// socket notifier. Holds the keyboard mapping and the modifier bits of this
// display, rebuilt whenever the server announces a new mapping.
class X11Connection : public QObject
{
    Q_OBJECT
public:
    // Null when no X server can be reached.
    static std::unique_ptr<X11Connection> open(const char* display = nullptr);
    ~X11Connection() override;

    xcb_connection_t* xcb() const { return m_conn; }
    xcb_window_t root() const { return m_root; }
    int screenNumber() const { return m_screenNumber; }
    xcb_atom_t atom(const char* name);

    bool hasXTest() const { return m_hasXTest; }
    bool hasXInput22() const { return m_xiMajor > 2 || (m_xiMajor == 2 && m_xiMinor >= 2); }
    quint8 xiOpcode() const { return m_xiOpcode; }

    // Keyboard mapping.
    QList<xcb_keycode_t> keycodesFor(quint32 keysym) const;
    quint32 keysymFor(xcb_keycode_t keycode) const;
    xcb_keycode_t minKeycode() const;
    xcb_keycode_t maxKeycode() const;
    void refreshKeymap();
    // X modifier state bits for ModifierMask bits, and back (lock bits dropped).
    quint16 stateFor(quint32 modifierMask) const;
    quint32 maskFromState(quint16 state) const;
    quint16 numLockBit() const { return m_numLockBit; }
    // ModifierMask bit of a modifier keycode (0 for other keys).
    quint32 maskForKeycode(xcb_keycode_t keycode) const;
    QList<xcb_keycode_t> modifierKeycodes() const { return m_modKeycodes; }

    using Handler = std::function<void(xcb_generic_event_t*)>;
    void addHandler(Handler handler) { m_handlers.push_back(std::move(handler)); }

    // Sends buffered requests and, since a reply wait may have read events into
    // xcb's queue without waking the notifier, dispatches those from the loop.
    void flush();
    // A round trip: every request sent so far has been processed by the server.
    void sync();
    // Dispatches every event already read.
    void dispatchQueued();

private:
    X11Connection(xcb_connection_t* conn, int screen);
    void readModifierMap();
    void dispatch(xcb_generic_event_t* event);
    void readAvailable();

    xcb_connection_t* m_conn;
    int m_screenNumber;
    xcb_window_t m_root = 0;
    _XCBKeySymbols* m_keySymbols = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    std::vector<Handler> m_handlers;
    bool m_hasXTest = false;
    int m_xiMajor = 0;
    int m_xiMinor = 0;
    quint8 m_xiOpcode = 0;
    quint16 m_altBit = XCB_MOD_MASK_1;
    quint16 m_superBit = XCB_MOD_MASK_4;
    quint16 m_numLockBit = XCB_MOD_MASK_2;
    QList<xcb_keycode_t> m_modKeycodes;
    QList<quint32> m_modKeycodeMasks;
    bool m_drainPending = false;
};
