#include "shell/SummonSequence.h"

#include "model/RingProfile.h"
#include "shell/ShellServices.h"

void runSummonSequence(ShellServices& services, const std::optional<QPoint>& at)
{
    const std::optional<RunningApp> target = services.snapshotFrontmostApp();
    std::optional<QString> bundleId;
    if (target && !target->bundleId.isEmpty())
        bundleId = target->bundleId;
    const RingProfile profile = services.profileFor(bundleId);
    services.showRing(at, profile, target);
}
