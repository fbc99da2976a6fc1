#pragma once

#include "hud/AnimatedValue.h"
#include "hud/HudController.h"

#include <array>
#include <functional>
#include <QElapsedTimer>
#include <QHash>
#include <QPixmap>
#include <QTimer>
#include <QWidget>

// The ring for one summon: draws the eight sectors of a ring around the hub,
// follows the pointer through HudController, animates in and out, and calls
// onDismiss once its fade-out is over. Animations run on one frame timer that
// stops as soon as nothing moves.
class WhirloHUDView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kRingDiameter = 320;
    static constexpr int kTotalSize = kRingDiameter + 40;
    static constexpr double kFadeDuration = 0.14;
    // Widest a sector title may be before it is cut with an ellipsis.
    static constexpr double kTitleWidth = 58.0;

    WhirloHUDView(const RingProfile& profile, const std::optional<RunningApp>& targetApp,
                  std::function<void()> onDismiss, QWidget* parent = nullptr);
    // For tests: explicit services instead of the shared managers.
    WhirloHUDView(const RingProfile& profile, HudServices services, std::function<void()> onDismiss,
                  QWidget* parent = nullptr);

    HudController& controller() { return m_controller; }
    bool isDarkMode() const { return m_dark; }
    // The stored theme against the desktop's preference, again; the ring
    // follows a change of either while it is on screen.
    void refreshTheme();
    // "rondix_theme_mode": "dark", "light", anything else follows the desktop.
    static bool resolveDarkMode(const QString& themeMode, bool systemIsDark);
    static bool systemIsDark();

    // The font of a sector title, hovered (larger, bold) or not.
    QFont titleFont(bool hovered) const;

    // Prepares the cached shadows and fonts (idempotent).
    static void warmUp();

    // Starts the spring-in; called when the ring is put on screen.
    void appear();
    // Moves every animation to its end state (tests and screenshots).
    void finishAnimations();
    bool isAnimating() const { return m_frameTimer.isActive(); }
    // What lies behind the window, drawn first. Without a compositor the
    // window's alpha is ignored, so shadows and fades blend with this instead.
    void setBackdrop(const QPixmap& backdrop);

    // Tells the ring the pointer is over it when it appears. No sector is
    // hovered until the pointer really moves.
    void seedPointer(const QPointF& localPos);

Q_SIGNALS:
    // The first frame has been painted.
    void painted();
    // Something the ring draws changed; a surface that paints the ring itself
    // (rather than showing this widget in a window) draws a new frame.
    void frameRequested();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void init();
    void requestFrame();
    void syncTargets();
    void startDismiss();
    void ensureTicking();
    void tick();
    double now() const;
    QPixmap appIcon(const IconInfo& icon);

    void paintDisc(QPainter& p);
    void paintSector(QPainter& p, int index);
    void paintSectorContent(QPainter& p, int index, const ActionSlot& slot);
    void paintHub(QPainter& p);
    void paintGauge(QPainter& p, double opacity);

    HudController m_controller;
    std::function<void()> m_onDismiss;
    bool m_dark = true;
    bool m_painted = false;
    bool m_pointerSeen = false;
    // Where the pointer sat when the ring appeared, until it first moves away.
    std::optional<QPointF> m_restingPointer;
    bool m_dismissing = false;

    QTimer m_frameTimer;
    QElapsedTimer m_clock;

    AnimatedValue m_scale{0.85, 0.22, 0.72};
    AnimatedValue m_opacity{0.0, 0.22, 0.72};
    std::array<AnimatedValue, 8> m_sectorHover;
    std::array<AnimatedValue, 8> m_contentHover;
    std::array<AnimatedValue, 8> m_sectorPress;
    AnimatedValue m_hubHover{0.0, 0.2, 0.72};
    AnimatedValue m_hubVolume{0.0, 0.2, 0.72};
    AnimatedValue m_gauge;
    QHash<QString, QPixmap> m_appIcons; // by path, loaded once per summon
    QPixmap m_backdrop;
};
