#pragma once

#include "platform/InputMonitor.h"

#include <QSet>
#include <xcb/xcb.h>

class X11Connection;

// XInput 2.2 raw key and button events from the root window, selected only
// while some owner needs them.
class X11InputMonitor : public InputMonitor
{
    Q_OBJECT
public:
    explicit X11InputMonitor(X11Connection* conn, QObject* parent = nullptr);

    QPoint pointerPosition() const override;
    bool canReportKey(int virtualKeyCode) const override;
    bool isPointerOverOwnWindow() const override;

    // While set, events from the XTEST devices are Rondix's own injections.
    void setInjecting(bool injecting) { m_injecting = injecting; }

protected:
    void applyKeySelection(bool selected) override;
    void applyButtonSelection(bool selected) override;

private:
    void select();
    void findXTestDevices();
    void seedModifiers();
    void handleEvent(xcb_generic_event_t* event);

    X11Connection* m_conn;
    bool m_keys = false;
    bool m_buttons = false;
    bool m_injecting = false;
    QSet<quint16> m_xtestDevices;
    // Modifier keys seen down, to know the chord at the time of each press
    // (the server's state may already have moved on when the event is read).
    QSet<xcb_keycode_t> m_heldModifierKeys;
    quint32 m_seededModifiers = 0;
};
