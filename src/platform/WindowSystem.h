#pragma once

#include "platform/PlatformTypes.h"

#include <QObject>
#include <QRect>

#include <optional>

// Top-level windows, the frontmost application and window-system facts.
class WindowSystem : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // The application owning the active window, when there is one. Rondix's own
    // windows report bundleId kOwnAppId.
    virtual std::optional<RunningApp> frontmostApplication() = 0;
    // Asks the window manager to bring the application's window to the front
    // and focus it. Does not wait: false only when the request cannot be made.
    virtual bool activate(const RunningApp& app) = 0;
    // True when the application's window is the active one and has the keyboard.
    virtual bool hasKeyboardFocus(const RunningApp& app) = 0;
    // True when a compositing manager runs (windows may be translucent).
    virtual bool isCompositing() = 0;
    // True while a surface of Rondix's own holds the keyboard (the ring's
    // overlay on Wayland, until its fade ends); the window below takes it
    // back when that surface goes.
    virtual bool isKeyboardHeldByRondix() { return false; }

Q_SIGNALS:
    // The active window changed to a window of this application.
    void frontmostApplicationChanged(const RunningApp& app);
};
