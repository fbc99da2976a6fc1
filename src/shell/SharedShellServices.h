#pragma once

#include "shell/ShellServices.h"

// The shell's services as the process-wide shared managers.
class SharedShellServices : public ShellServices
{
public:
    void createFrontmostSensor() override;
    void createMouseTrigger(std::function<void(QPoint)> onSummon) override;
    void setupHotkey(std::function<void()> onTrigger) override;
    bool checkPermission() override;
    void stopHotkey() override;

    std::optional<RunningApp> snapshotFrontmostApp() override;
    RingProfile profileFor(const std::optional<QString>& bundleId) override;
    void showRing(const std::optional<QPoint>& at, const RingProfile& profile,
                  const std::optional<RunningApp>& target) override;
    void playTriggerSound() override;
    bool pointerPositionKnown() override;
    SessionCapabilities sessionCapabilities() override;

    std::optional<SavedHotkey> currentHotkey() override;
    AppProfileManager* profileStore() override;
    QString currentAppName() override;
    void releaseSettingsCaches() override;
};
