#pragma once

#include "platform/PlatformTypes.h"

#include <QObject>
#include <QPoint>
#include <QSet>

// Global raw input. Key events are selected only while at least one owner has
// asked for them (privacy: never for the whole session); the same for buttons.
class InputMonitor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    void acquireKeys(const QObject* owner);
    void releaseKeys(const QObject* owner);
    void acquireButtons(const QObject* owner);
    void releaseButtons(const QObject* owner);
    bool keysSelected() const { return !m_keyOwners.isEmpty(); }
    bool buttonsSelected() const { return !m_buttonOwners.isEmpty(); }

    // Current pointer position in global (Qt) coordinates.
    virtual QPoint pointerPosition() const = 0;
    // Whether a press of this key (a ring key code) can be reported at all:
    // the key exists and the current keymap has a keycode for it.
    virtual bool canReportKey(int virtualKeyCode) const { return virtualKeyCode >= 0; }
    // True when the pointer is over one of Rondix's own windows. Raw events
    // carry no window; callers that must pass over presses there ask this.
    virtual bool isPointerOverOwnWindow() const { return false; }
    // False where the session never tells a client where the pointer is
    // (Wayland); pointerPosition() is then meaningless.
    virtual bool knowsPointerPosition() const { return true; }
    // The one extra button the mouse trigger wants (-1 for none). Backends
    // that cannot watch every button (Wayland compositors) watch just this.
    virtual void setTriggerButton(int button) {}

Q_SIGNALS:
    // A key press from real input (never one Rondix injected itself).
    void keyPressed(const RawKeyEvent& event);
    // A button press. Numbers: 0 primary, 1 secondary, 2 middle, 3 and 4 the
    // side buttons (back, forward), 5 and up further buttons. Wheel "buttons"
    // are never reported.
    void buttonPressed(int button, const QPoint& globalPos);
    // The keyboard mapping changed: keys may have come or gone.
    void keymapChanged();

protected:
    virtual void applyKeySelection(bool selected) = 0;
    virtual void applyButtonSelection(bool selected) = 0;

private:
    QSet<const QObject*> m_keyOwners;
    QSet<const QObject*> m_buttonOwners;
};
