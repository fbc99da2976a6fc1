#include "hud/HudController.h"

#include "actions/CoreAudioVolumeManager.h"
#include "actions/VolumeDisplay.h"
#include "hud/RadialGeometry.h"

#include <cmath>
#include <QLineF>

Q_LOGGING_CATEGORY(lcHud, "rondix.hud")

HudController::HudController(const RingProfile& profile, HudServices services, QObject* parent)
    : QObject(parent)
    , m_profile(profile)
    , m_services(std::move(services))
{
    readVolume();
}

void HudController::appear()
{
    refreshVolume();
}

std::optional<float> HudController::currentVolume() const
{
    return m_services.getVolume ? m_services.getVolume() : std::nullopt;
}

void HudController::readVolume()
{
    // A failed read keeps the last shown value.
    if (const auto v = currentVolume())
        m_liveVolume = *v;
    if (m_services.isMuted)
        m_liveIsMuted = m_services.isMuted();
}

void HudController::refreshVolume()
{
    readVolume();
    Q_EMIT changed();
}

bool HudController::slotIsVolumeAction(int index) const
{
    const auto slot = m_profile.slotAt(index);
    return slot && slot->isVolumeAction();
}

bool HudController::isVolumeHovered() const
{
    return m_hoveredSectorIndex && slotIsVolumeAction(*m_hoveredSectorIndex);
}

void HudController::dismissHUD()
{
    ++m_dismissCount;
    Q_EMIT dismissRequested();
}

void HudController::handlePointerMove(const QPointF& at, double totalSize)
{
    const QPointF offset = at - QPointF(totalSize / 2, totalSize / 2);
    const double d = std::hypot(offset.x(), offset.y());
    if (d < kHubRadius) {
        const bool changedState = !m_isHoveringCenter || m_hoveredSectorIndex;
        m_isHoveringCenter = true;
        m_hoveredSectorIndex.reset();
        if (changedState)
            Q_EMIT changed();
        return;
    }
    if (d > kMoveCloseRadius) {
        m_isHoveringCenter = false;
        m_hoveredSectorIndex.reset();
        Q_EMIT changed();
        dismissHUD();
        return;
    }
    const bool wasCenter = m_isHoveringCenter;
    m_isHoveringCenter = false;
    const int i = RadialGeometry::sectorIndex(RadialGeometry::clockAngle(offset));
    if (m_hoveredSectorIndex == i) {
        if (wasCenter)
            Q_EMIT changed();
        return;
    }
    m_hoveredSectorIndex = i;
    m_accumulatedScrollDelta = 0.0;
    if (m_services.playHover)
        m_services.playHover();
    if (slotIsVolumeAction(i))
        refreshVolume();
    Q_EMIT changed();
}

void HudController::handlePointerPress(const QPointF& at, double totalSize)
{
    m_isMouseDown = true;
    Q_EMIT changed();
    const double d = QLineF(at, QPointF(totalSize / 2, totalSize / 2)).length();
    if (d > kPressCloseRadius || d < kHubRadius)
        dismissHUD();
}

void HudController::handlePointerRelease(const QPointF& at, double totalSize)
{
    m_isMouseDown = false;
    Q_EMIT changed();
    const double d = QLineF(at, QPointF(totalSize / 2, totalSize / 2)).length();
    if (d < kHubRadius) {
        dismissHUD();
        return;
    }
    const std::optional<ActionSlot> slot =
        m_hoveredSectorIndex ? m_profile.slotAt(*m_hoveredSectorIndex) : std::nullopt;
    if (!slot || !slot->isEnabled || slot->action.isNone()) {
        dismissHUD();
        return;
    }
    if (m_services.playTrigger)
        m_services.playTrigger();
    // The action runs now, before any animation, so its keys reach the target
    // while the ring is still fading.
    if (m_services.execute)
        m_services.execute(*slot);
    if (slot->isVolumeAction()) {
        refreshVolume();
        return; // stays open for further clicks and scrolling
    }
    dismissHUD();
}

void HudController::handlePointerExit()
{
    m_hoveredSectorIndex.reset();
    m_isHoveringCenter = false;
    m_isMouseDown = false;
    Q_EMIT changed();
    dismissHUD();
}

std::optional<HudController::WheelScroll> HudController::wheelScroll(const QPoint& pixelDelta,
                                                                    const QPoint& angleDelta, bool altHeld)
{
    // Qt turns the wheel sideways while Alt is held, and Alt is often still down
    // from the Alt+Space that summoned the ring.
    const bool sideways = altHeld && pixelDelta.y() == 0 && angleDelta.y() == 0;
    const int pixels = sideways ? pixelDelta.x() : pixelDelta.y();
    const int angle = sideways ? angleDelta.x() : angleDelta.y();
    if (pixels != 0)
        return WheelScroll{double(pixels), true};
    if (angle == 0)
        return std::nullopt;
    if (angle % kWheelNotch != 0)
        return WheelScroll{angle / 8.0, true};
    return WheelScroll{double(angle / kWheelNotch), false};
}

void HudController::handleScrollWheel(double deltaY, bool hasPrecise)
{
    if (deltaY == 0 || !std::isfinite(deltaY) || !isVolumeHovered())
        return;
    if (hasPrecise) {
        m_accumulatedScrollDelta += deltaY;
        if (std::abs(m_accumulatedScrollDelta) < kPreciseScrollThreshold)
            return;
        step(m_accumulatedScrollDelta > 0);
        m_accumulatedScrollDelta = 0.0;
        return;
    }
    step(deltaY > 0);
}

void HudController::step(bool up)
{
    if (m_services.setVolume)
        m_services.setVolume(CoreAudioVolumeManager::steppedTarget(currentVolume(), up));
    refreshVolume();
}

QString HudController::speakerIconName(float volume, bool muted)
{
    return VolumeDisplay::speakerSymbolName(volume, muted);
}

double HudController::gaugeFraction(float volume, bool muted)
{
    if (muted)
        return 0.0;
    return std::clamp(double(volume), 0.01, 1.0);
}

QString HudController::percentText(float volume)
{
    return VolumeDisplay::percentText(volume);
}

QString HudController::centerSpeakerIconName() const
{
    return speakerIconName(m_liveVolume, m_liveIsMuted);
}

double HudController::gaugeFraction() const
{
    return gaugeFraction(m_liveVolume, m_liveIsMuted);
}

QString HudController::gaugePercentText() const
{
    return m_liveIsMuted ? QString() : percentText(m_liveVolume);
}
