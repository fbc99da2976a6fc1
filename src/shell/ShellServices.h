#pragma once

#include "platform/PlatformTypes.h"
#include "platform/SessionCapabilities.h"
#include "shell/SavedHotkey.h"

#include <functional>
#include <optional>
#include <QPoint>
#include <QString>

class AppProfileManager;
struct RingProfile;

// The shared managers the shell drives, behind one seam: the application uses
// SharedShellServices (the process-wide instances), tests a recording double.
class ShellServices
{
public:
    virtual ~ShellServices() = default;

    // Start-up steps, called by AppDelegate in its fixed order.
    virtual void createFrontmostSensor() = 0;
    virtual void createMouseTrigger(std::function<void(QPoint)> onSummon) = 0;
    // Creates the hotkey manager, installs onTrigger and starts listening.
    virtual void setupHotkey(std::function<void()> onTrigger) = 0;
    virtual bool checkPermission() = 0;
    virtual void stopHotkey() = 0;

    // The summon sequence.
    virtual std::optional<RunningApp> snapshotFrontmostApp() = 0;
    virtual RingProfile profileFor(const std::optional<QString>& bundleId) = 0;
    virtual void showRing(const std::optional<QPoint>& at, const RingProfile& profile,
                          const std::optional<RunningApp>& target) = 0;
    virtual void playTriggerSound() = 0;
    // False where a trigger cannot read the pointer position (Wayland): the
    // ring then finds the pointer itself.
    virtual bool pointerPositionKnown() { return true; }

    // What this desktop session lets Rondix do (complete unless told otherwise).
    virtual SessionCapabilities sessionCapabilities() { return {}; }

    // What the tray menu shows.
    virtual std::optional<SavedHotkey> currentHotkey() = 0;
    // The last application's name in the interface language (placeholders included).
    virtual QString currentAppName() = 0;
    // The ring store, whose blocked saves the tray reports; none where there is no store.
    virtual AppProfileManager* profileStore() { return nullptr; }
    // Memory the settings window filled, given back when it closes.
    virtual void releaseSettingsCaches() = 0;
};
