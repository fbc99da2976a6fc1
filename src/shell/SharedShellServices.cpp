#include "shell/SharedShellServices.h"

#include "hud/AppIconCache.h"
#include "hud/SoundFeedback.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "model/AppProfileManager.h"
#include "model/RingProfile.h"
#include "settings/AppScanner.h"
#include "platform/Platform.h"
#include "shell/AccessibilityPermissionManager.h"
#include "shell/ActiveAppSensor.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"

void SharedShellServices::createFrontmostSensor()
{
    ActiveAppSensor::shared();
}

void SharedShellServices::createMouseTrigger(std::function<void(QPoint)> onSummon)
{
    MouseTriggerManager::shared().onSummon = std::move(onSummon);
}

void SharedShellServices::setupHotkey(std::function<void()> onTrigger)
{
    HotkeyManager& hotkeys = HotkeyManager::shared();
    hotkeys.onTrigger = std::move(onTrigger);
    hotkeys.startListening();
}

bool SharedShellServices::checkPermission()
{
    return AccessibilityPermissionManager::shared().checkPermission();
}

void SharedShellServices::stopHotkey()
{
    HotkeyManager::shared().stopListening();
}

std::optional<RunningApp> SharedShellServices::snapshotFrontmostApp()
{
    return ActiveAppSensor::shared().snapshotFrontmostApp();
}

RingProfile SharedShellServices::profileFor(const std::optional<QString>& bundleId)
{
    return AppProfileManager::shared().profileFor(bundleId);
}

void SharedShellServices::showRing(const std::optional<QPoint>& at, const RingProfile& profile,
                                   const std::optional<RunningApp>& target)
{
    WhirloPanel::shared().show(at, profile, target);
}

void SharedShellServices::playTriggerSound()
{
    SoundFeedback::shared().playTrigger();
}

bool SharedShellServices::pointerPositionKnown()
{
    InputMonitor* input = Platform::instance().input;
    return !input || input->knowsPointerPosition();
}

SessionCapabilities SharedShellServices::sessionCapabilities()
{
    return Platform::instance().capabilities;
}

std::optional<SavedHotkey> SharedShellServices::currentHotkey()
{
    return HotkeyManager::shared().currentHotkey();
}

AppProfileManager* SharedShellServices::profileStore()
{
    return &AppProfileManager::shared();
}

QString SharedShellServices::currentAppName()
{
    return ActiveAppSensor::shared().currentAppDisplayName();
}

void SharedShellServices::releaseSettingsCaches()
{
    AppIconCache::shared().removeAll();
    AppScanner::clearCache();
}
