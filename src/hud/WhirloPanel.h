#pragma once

#include "hud/HudController.h"
#include "model/RingProfile.h"
#include "platform/PlatformTypes.h"
#include "platform/RingSurface.h"

#include <functional>
#include <memory>
#include <optional>
#include <QEvent>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRect>

class Platform;
class QWidget;
class WhirloHUDView;

// The one place the ring appears in: 360 x 360, translucent, never focused,
// placed around the summon point and kept inside the screen. The platform's
// ring surface puts it on screen (a window on X11, an overlay on Wayland).
// Each summon hosts a fresh ring; Escape or a click elsewhere closes it at once.
class WhirloPanel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPanelSize = RingSurface::kSize;

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

    // The widget hosting the ring (the window itself when the surface is a window).
    QWidget* window() const { return m_surface->host(); }
    WhirloHUDView* hud() const { return m_hud; }
    RingSurface& surface() const { return *m_surface; }
    // Where the ring is on screen; empty while hidden or not yet placed.
    QRect geometry() const { return m_shown ? m_surface->geometry() : QRect(); }

Q_SIGNALS:
    void shown();
    void hidden();
    // The ring's first frame was painted.
    void painted();

private:
    void onPlaced(const RingPlacement& placement);
    void onClickedElsewhere();
    void forwardPointer(QEvent::Type type, Qt::MouseButton button, const QPointF& local);

    Platform& m_platform;
    HudFactory m_factory;
    RingSurface* m_surface;
    QPointer<WhirloHUDView> m_hud;
    bool m_shown = false;
    quint64 m_generation = 0;
};
