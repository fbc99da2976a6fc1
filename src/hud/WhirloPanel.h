#pragma once

#include "hud/HudController.h"
#include "model/RingProfile.h"
#include "platform/PlatformTypes.h"

#include <functional>
#include <memory>
#include <optional>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>

class Platform;
class QWidget;
class WhirloHUDView;

// The one window the ring appears in: 360 x 360, frameless, translucent, never
// focused, placed around the summon point and kept inside the screen. Each
// summon hosts a fresh ring; Escape or a click elsewhere closes it at once.
class WhirloPanel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPanelSize = 360;
    // Without a compositor the window is cut to this circle: the disc (143)
    // and the part of its shadow that is still visible.
    static constexpr int kMaskRadius = 180;

    using HudFactory = std::function<WhirloHUDView*(const RingProfile&, const std::optional<RunningApp>&,
                                                    std::function<void()> onDismiss, QWidget* parent)>;

    // `factory` builds the ring view; the default uses the shared managers.
    explicit WhirloPanel(Platform& platform, HudFactory factory = {}, QObject* parent = nullptr);
    ~WhirloPanel() override;

    static WhirloPanel& shared();

    // `at` in global coordinates; none means the pointer position.
    void show(std::optional<QPoint> at, const RingProfile& profile,
              const std::optional<RunningApp>& targetApp);
    void hide();
    bool isShown() const { return m_shown; }

    QWidget* window() const { return m_window.get(); }
    WhirloHUDView* hud() const { return m_hud; }

    // Top-left corner of a panel centred on `point`, kept inside `area` (Qt
    // coordinates, y down). When the area is smaller than the panel the
    // panel's right and top edges line up with the area's.
    static QPoint clampedOrigin(const QPoint& point, const QRect& area);
    // The available area of the screen holding `point` (fallback 1440 x 900).
    static QRect availableAreaAt(const QPoint& point);

Q_SIGNALS:
    void shown();
    void hidden();
    // The ring's first frame was painted.
    void painted();

private:
    void ensureWindow();
    static QPixmap grabBackdrop(const QPoint& origin);
    void clearMonitors();
    void onKey(const RawKeyEvent& event);
    void onButton(int button, const QPoint& globalPos);

    Platform& m_platform;
    HudFactory m_factory;
    std::unique_ptr<QWidget> m_window;
    QPointer<WhirloHUDView> m_hud;
    bool m_shown = false;
    bool m_keysAcquired = false;
    bool m_buttonsAcquired = false;
    quint64 m_generation = 0;
    QPixmap m_backdrop;
    QPoint m_backdropOrigin;
};
