#pragma once

#include <functional>
#include <optional>
#include <QObject>

class Mixer;
class SoundPlayer;

// Output volume and mute of the default output, with the alert sound and the
// on-screen indicator that acknowledge every change.
class CoreAudioVolumeManager : public QObject
{
    Q_OBJECT
public:
    static constexpr float kStep = 0.0625f;
    static constexpr float kUnreadableVolume = 0.5f;

    // Shows the volume indicator; called queued on the main thread.
    using Indicator = std::function<void(float volume, bool isMuted)>;

    CoreAudioVolumeManager(Mixer* mixer, SoundPlayer* sounds, Indicator indicator, QObject* parent = nullptr);

    static CoreAudioVolumeManager& shared();

    std::optional<float> getVolume();
    bool isMuted();
    void setVolume(float v);
    void toggleMute();
    void stepVolume(bool up);

    // Where a step from `current` (none: unreadable) asks the volume to go,
    // before clamping.
    static float steppedTarget(std::optional<float> current, bool up);

private:
    void unmuteIfNeeded();
    void playAlert();
    void showIndicatorLater(float volume, bool muted);

    Mixer* m_mixer;
    SoundPlayer* m_sounds;
    Indicator m_indicator;
};
