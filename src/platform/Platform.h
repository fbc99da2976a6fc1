#pragma once

#include "platform/Clipboard.h"
#include "platform/DesktopEntries.h"
#include "platform/HotkeyGrabber.h"
#include "platform/InputMonitor.h"
#include "platform/InputTrust.h"
#include "platform/KeyInjector.h"
#include "platform/LoginItem.h"
#include "platform/Mixer.h"
#include "platform/Opener.h"
#include "platform/RingSurface.h"
#include "platform/SessionCapabilities.h"
#include "platform/SessionControls.h"
#include "platform/SoundPlayer.h"
#include "platform/WindowSystem.h"

#include <QObject>

// The set of platform services, one object per service. Managers are built
// with the services they need; the shared managers take them from
// Platform::instance(), which the loader fills from the session.
class Platform : public QObject
{
    Q_OBJECT
public:
    explicit Platform(QObject* parent = nullptr) : QObject(parent) {}

    HotkeyGrabber* hotkeys = nullptr;
    InputMonitor* input = nullptr;
    WindowSystem* windows = nullptr;
    DesktopEntries* desktopEntries = nullptr;
    InputTrust* trust = nullptr;
    KeyInjector* keys = nullptr;
    Clipboard* clipboard = nullptr;
    Opener* opener = nullptr;
    Mixer* mixer = nullptr;
    SoundPlayer* sounds = nullptr;
    SessionControls* session = nullptr;
    LoginItem* loginItem = nullptr;
    // Where the ring is shown; the ring panel uses a plain window when none is set.
    RingSurface* ringSurface = nullptr;

    // "x11", "wayland", "fake" or "null": which backend serves the session's input.
    QString backendName;
    // What Rondix can do on this session, and what is missing.
    SessionCapabilities capabilities;

    // The process-wide platform, loaded on first use (see PlatformLoader).
    static Platform& instance();
    // Replaces the process-wide platform (tests). Takes no ownership.
    static void setInstance(Platform* platform);
};
