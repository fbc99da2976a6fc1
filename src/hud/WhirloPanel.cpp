#include "hud/WhirloPanel.h"

#include "hud/WhirloHUDView.h"
#include "platform/Platform.h"
#include "platform/WindowRingSurface.h"

#include <cmath>
#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

namespace {

// Shadows and fonts are prepared shortly after start-up (after the tray is up),
// so that the first summon does not pay for them.
void scheduleWarmUp()
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return; // command-line runs draw nothing
    QTimer::singleShot(400, QCoreApplication::instance(), [] { WhirloHUDView::warmUp(); });
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(scheduleWarmUp)

WhirloPanel::WhirloPanel(Platform& platform, HudFactory factory, QObject* parent)
    : QObject(parent)
    , m_platform(platform)
    , m_factory(std::move(factory))
    , m_surface(platform.ringSurface)
{
    if (!m_factory) {
        m_factory = [](const RingProfile& profile, const std::optional<RunningApp>& target,
                       std::function<void()> onDismiss, QWidget* parent) {
            return new WhirloHUDView(profile, target, std::move(onDismiss), parent);
        };
    }
    if (!m_surface)
        m_surface = new WindowRingSurface(m_platform.input, m_platform.windows, this);
    connect(m_surface, &RingSurface::placed, this, &WhirloPanel::onPlaced);
    connect(m_surface, &RingSurface::escapePressed, this, [this] {
        if (m_shown)
            hide();
    });
    connect(m_surface, &RingSurface::clickedElsewhere, this, &WhirloPanel::onClickedElsewhere);
    connect(m_surface, &RingSurface::pointerMoved, this,
            [this](const QPointF& at) { forwardPointer(QEvent::MouseMove, Qt::NoButton, at); });
    connect(m_surface, &RingSurface::pointerPressed, this, [this](Qt::MouseButton button, const QPointF& at) {
        forwardPointer(QEvent::MouseButtonPress, button, at);
    });
    connect(m_surface, &RingSurface::pointerReleased, this, [this](Qt::MouseButton button, const QPointF& at) {
        forwardPointer(QEvent::MouseButtonRelease, button, at);
    });
    connect(m_surface, &RingSurface::pointerLeft, this, [this] {
        if (!m_hud)
            return;
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_hud, &leave);
    });
    connect(m_surface, &RingSurface::wheelTurned, this,
            [this](const QPoint& angle, const QPoint& pixel, const QPointF& at) {
                if (!m_hud)
                    return;
                QWheelEvent wheel(at, at, pixel, angle, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QCoreApplication::sendEvent(m_hud, &wheel);
            });
}

WhirloPanel::~WhirloPanel()
{
    if (m_shown)
        m_surface->end();
}

WhirloPanel& WhirloPanel::shared()
{
    static WhirloPanel* instance = new WhirloPanel(Platform::instance());
    return *instance;
}

void WhirloPanel::show(std::optional<QPoint> at, const RingProfile& profile,
                       const std::optional<RunningApp>& targetApp)
{
    // A second summon replaces the ring at once, without its fade.
    if (m_hud) {
        WhirloHUDView* old = m_hud;
        old->hide();
        old->deleteLater();
    }
    const quint64 generation = ++m_generation;
    QPointer<WhirloPanel> self(this);
    auto onDismiss = [self, generation] {
        // A fade that ends after a newer summon must not close the newer ring.
        if (self && self->m_generation == generation && self->m_shown)
            self->hide();
    };
    m_hud = m_factory(profile, targetApp, onDismiss, m_surface->host());
    m_hud->move(0, 0);
    connect(m_hud, &WhirloHUDView::painted, this, &WhirloPanel::painted);
    RingSurface* surface = m_surface;
    connect(m_hud, &WhirloHUDView::frameRequested, surface,
            [surface] { surface->present(QRect(0, 0, kPanelSize, kPanelSize)); });

    const std::optional<RingPlacement> placement = m_surface->begin(at, m_hud);
    m_shown = true;
    if (placement)
        onPlaced(*placement);
    Q_EMIT shown();
}

void WhirloPanel::onPlaced(const RingPlacement& placement)
{
    if (!m_shown || !m_hud)
        return;
    // Without a compositor shadows and fades blend with what was behind.
    const QPixmap backdrop = m_surface->backdrop();
    if (!backdrop.isNull())
        m_hud->setBackdrop(backdrop);
    // The pointer usually sits at the centre already; no move event comes for
    // that, so the first position is taken now. A pointer outside the ring
    // (panel moved by clamping) waits for a real move instead.
    if (placement.pointer) {
        const QPointF local = *placement.pointer;
        const double d = std::hypot(local.x() - kPanelSize / 2.0, local.y() - kPanelSize / 2.0);
        if (d <= HudController::kMoveCloseRadius)
            m_hud->seedPointer(local);
    }
    m_hud->appear();
}

void WhirloPanel::forwardPointer(QEvent::Type type, Qt::MouseButton button, const QPointF& local)
{
    if (!m_shown || !m_hud)
        return;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::NoButton;
    QMouseEvent event(type, local, local, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(m_hud, &event);
}

void WhirloPanel::hide()
{
    const bool wasShown = m_shown;
    m_shown = false;
    m_surface->end();
    if (m_hud) {
        WhirloHUDView* old = m_hud;
        m_hud = nullptr;
        old->hide();
        old->deleteLater(); // may be inside one of its own handlers
    }
    if (wasShown)
        Q_EMIT hidden();
}

void WhirloPanel::onClickedElsewhere()
{
    if (!m_shown)
        return;
    QPointer<WhirloPanel> self(this);
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [self, generation] {
            if (self && self->m_generation == generation)
                self->hide();
        },
        Qt::QueuedConnection);
}
