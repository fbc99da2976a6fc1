#pragma once

#include "hud/RadialGeometry.h"
#include "model/ActionModel.h"
#include "model/RingProfile.h"
#include "platform/PlatformTypes.h"

#include <functional>
#include <optional>
#include <QLoggingCategory>
#include <QObject>
#include <QPoint>
#include <QPointF>

Q_DECLARE_LOGGING_CATEGORY(lcHud)

// What the ring calls out to: sounds, the executor and the output volume.
// The shared wiring uses the process-wide managers; tests pass fakes.
struct HudServices
{
    std::function<void()> playHover;
    std::function<void()> playTrigger;
    std::function<void(const ActionSlot&)> execute;
    std::function<std::optional<float>()> getVolume;
    std::function<bool()> isMuted;
    // Clamps, unmutes and shows the volume indicator.
    std::function<void(float)> setVolume;

    static HudServices shared(const std::optional<RunningApp>& targetApp);
};

// The ring's input rules, without any drawing: which sector the pointer is
// over, when an action runs and when the ring asks to be dismissed. Positions
// are in HUD coordinates (origin top left of the totalSize square, y down).
class HudController : public QObject
{
    Q_OBJECT
public:
    static constexpr double kTotalSize = 360.0;
    static constexpr double kHubRadius = RadialGeometry::centerHubRadius; // the drawn hub
    static constexpr double kMoveCloseRadius = 166.0;
    static constexpr double kPressCloseRadius = 170.0;
    static constexpr double kPreciseScrollThreshold = 8.0;

    // A wheel notch in Qt's angle units (eighths of a degree).
    static constexpr int kWheelNotch = 120;

    // What one wheel event means for the volume: a delta in points and whether
    // it is a precise (accumulated) one.
    struct WheelScroll
    {
        double delta = 0.0;
        bool hasPrecise = false;
        bool operator==(const WheelScroll&) const = default;
    };
    // Reads a Qt wheel event. Pixel deltas are precise. Angle deltas that are not
    // whole notches come from touchpads and high-resolution wheels and are precise
    // too, counted in degrees (a notch is 15); whole notches are plain wheel steps.
    // With Alt held, Qt reports a vertical scroll on the horizontal axis.
    static std::optional<WheelScroll> wheelScroll(const QPoint& pixelDelta, const QPoint& angleDelta,
                                                  bool altHeld);

    HudController(const RingProfile& profile, HudServices services, QObject* parent = nullptr);

    // Refreshes the volume shown by the gauge (called when the ring appears).
    void appear();

    void handlePointerMove(const QPointF& at, double totalSize = kTotalSize);
    void handlePointerPress(const QPointF& at, double totalSize = kTotalSize);
    void handlePointerRelease(const QPointF& at, double totalSize = kTotalSize);
    void handlePointerExit();
    void handleScrollWheel(double deltaY, bool hasPrecise);

    const RingProfile& profile() const { return m_profile; }
    std::optional<int> hoveredSectorIndex() const { return m_hoveredSectorIndex; }
    bool isHoveringCenter() const { return m_isHoveringCenter; }
    bool isMouseDown() const { return m_isMouseDown; }
    float liveVolume() const { return m_liveVolume; }
    bool liveIsMuted() const { return m_liveIsMuted; }
    double accumulatedScrollDelta() const { return m_accumulatedScrollDelta; }
    int dismissCount() const { return m_dismissCount; }

    bool isVolumeHovered() const;
    QString centerSpeakerIconName() const;
    // Fraction of the gauge arc: 0 when muted, else the volume limited to 0.01...1.
    double gaugeFraction() const;
    // "34%" (rounded half away from zero); empty when muted.
    QString gaugePercentText() const;

    static QString speakerIconName(float volume, bool muted);
    static double gaugeFraction(float volume, bool muted);
    static QString percentText(float volume);

Q_SIGNALS:
    // Any state the view draws changed.
    void changed();
    // The ring should fade out and then be dropped. May be emitted repeatedly.
    void dismissRequested();

private:
    void dismissHUD();
    std::optional<float> currentVolume() const;
    void readVolume();
    void refreshVolume();
    void step(bool up);
    bool slotIsVolumeAction(int index) const;

    RingProfile m_profile;
    HudServices m_services;
    std::optional<int> m_hoveredSectorIndex;
    bool m_isHoveringCenter = false;
    bool m_isMouseDown = false;
    float m_liveVolume = 0.5f;
    bool m_liveIsMuted = false;
    double m_accumulatedScrollDelta = 0.0;
    int m_dismissCount = 0;
};
