#pragma once

#include "platform/HotkeyGrabber.h"

#include <QString>

class SwayIpc;

// The hotkey as a sway binding: "bindsym --no-repeat <chord> nop rondix-summon",
// whose binding event summons the ring. The binding follows the recorded
// hotkey and goes when Rondix lets go of it.
class SwayHotkeyGrabber : public HotkeyGrabber
{
    Q_OBJECT
public:
    static inline const QString kCommand = QStringLiteral("nop rondix-summon");

    explicit SwayHotkeyGrabber(SwayIpc* ipc, QObject* parent = nullptr);
    ~SwayHotkeyGrabber() override;

    // 0 when sway took the binding, 1 when it refused it, 2 for a key code
    // that has no key.
    int grab(quint16 keyCode, quint32 modifiers) override;
    void ungrab() override;
    bool isGrabbed() const override { return !m_chord.isEmpty(); }

    // sway's name of a chord ("Mod1+space"); empty when the key has no name.
    static QString chordFor(quint16 keyCode, quint32 modifiers);
    QString boundChord() const { return m_chord; }

private:
    SwayIpc* m_ipc;
    QString m_chord;
};
