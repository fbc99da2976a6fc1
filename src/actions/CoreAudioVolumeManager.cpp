#include "actions/CoreAudioVolumeManager.h"

#include "actions/VolumeOSDManager.h"
#include "platform/Mixer.h"
#include "platform/Platform.h"
#include "platform/SoundPlayer.h"

#include <algorithm>
#include <QCoreApplication>
#include <QPointer>

namespace {
const QString kAlertSound = QStringLiteral("audio-volume-change");
}

CoreAudioVolumeManager::CoreAudioVolumeManager(Mixer* mixer, SoundPlayer* sounds, Indicator indicator,
                                               QObject* parent)
    : QObject(parent)
    , m_mixer(mixer)
    , m_sounds(sounds)
    , m_indicator(std::move(indicator))
{}

CoreAudioVolumeManager& CoreAudioVolumeManager::shared()
{
    static CoreAudioVolumeManager* instance = [] {
        Platform& p = Platform::instance();
        return new CoreAudioVolumeManager(
            p.mixer, p.sounds, [](float v, bool m) { VolumeOSDManager::shared().show(v, m); },
            nullptr); // lives until the process ends
    }();
    return *instance;
}

std::optional<float> CoreAudioVolumeManager::getVolume()
{
    return m_mixer ? m_mixer->volume() : std::nullopt;
}

bool CoreAudioVolumeManager::isMuted()
{
    return m_mixer && m_mixer->muted().value_or(false);
}

float CoreAudioVolumeManager::steppedTarget(std::optional<float> current, bool up)
{
    const float v = current.value_or(kUnreadableVolume);
    return up ? v + kStep : v - kStep;
}

void CoreAudioVolumeManager::setVolume(float v)
{
    if (!m_mixer)
        return;
    const float clamped = std::max(std::min(v, 1.0f), 0.0f);
    // A false return means there is no default output at all: nothing to
    // acknowledge. A write the output ignores still counts, as it cannot be told.
    if (!m_mixer->setVolume(clamped))
        return;
    unmuteIfNeeded();
    playAlert();
    showIndicatorLater(clamped, false);
}

void CoreAudioVolumeManager::toggleMute()
{
    if (!m_mixer)
        return;
    const std::optional<bool> current = m_mixer->muted();
    if (!current)
        return;
    const bool mute = !*current;
    const bool written = m_mixer->setMuted(mute);
    if (written && !mute)
        playAlert();
    showIndicatorLater(getVolume().value_or(kUnreadableVolume), mute);
}

void CoreAudioVolumeManager::stepVolume(bool up)
{
    setVolume(steppedTarget(getVolume(), up));
}

void CoreAudioVolumeManager::unmuteIfNeeded()
{
    if (m_mixer->muted().value_or(false))
        m_mixer->setMuted(false);
}

void CoreAudioVolumeManager::playAlert()
{
    if (m_sounds)
        m_sounds->playThemeSound(kAlertSound, 1.0);
}

void CoreAudioVolumeManager::showIndicatorLater(float volume, bool muted)
{
    if (!m_indicator)
        return;
    // After the calling handler has returned, on the main thread.
    QPointer<CoreAudioVolumeManager> self(this);
    QMetaObject::invokeMethod(
        qApp,
        [self, volume, muted] {
            if (self && self->m_indicator)
                self->m_indicator(volume, muted);
        },
        Qt::QueuedConnection);
}
