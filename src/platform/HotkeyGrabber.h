#pragma once

#include <QObject>

// A system-wide key grab: while a chord is grabbed, its presses reach Rondix only.
class HotkeyGrabber : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Grabs the chord (ring key code + ModifierMask bits). Replaces any earlier
    // grab. Returns 0 on success, otherwise the platform's status (the X error
    // code, 10 = BadAccess when another client holds the chord); a refused grab
    // leaves nothing grabbed.
    virtual int grab(quint16 keyCode, quint32 modifiers) = 0;
    virtual void ungrab() = 0;
    virtual bool isGrabbed() const = 0;

Q_SIGNALS:
    void activated();
    // The chord was taken again after a keymap change and the server refused
    // it (another client grabbed it meanwhile): nothing is grabbed any more.
    void grabLost(int status);
};
