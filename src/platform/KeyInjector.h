#pragma once

#include <QObject>

#include <chrono>

// Posts synthetic key presses to whatever window has the keyboard focus.
class KeyInjector : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Key down, a pause of holdMs on the calling thread, key up, with the given
    // ModifierMask bits held around it. Modifiers the user still holds are let
    // go first. Returns false when the key cannot be posted (no keycode).
    virtual bool postKey(quint16 keyCode, quint32 modifiers, int holdMs) = 0;
};
