#include "actions/ActionExecutor.h"
#include "actions/CoreAudioVolumeManager.h"
#include "hud/HudController.h"
#include "hud/SoundFeedback.h"

HudServices HudServices::shared(const std::optional<RunningApp>& targetApp)
{
    HudServices s;
    s.playHover = [] { SoundFeedback::shared().playHover(); };
    s.playTrigger = [] { SoundFeedback::shared().playTrigger(); };
    s.execute = [targetApp](const ActionSlot& slot) { ActionExecutor::shared().execute(slot, targetApp); };
    s.getVolume = [] { return CoreAudioVolumeManager::shared().getVolume(); };
    s.isMuted = [] { return CoreAudioVolumeManager::shared().isMuted(); };
    s.setVolume = [](float v) { CoreAudioVolumeManager::shared().setVolume(v); };
    return s;
}
