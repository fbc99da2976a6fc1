#include "hud/WhirloPanel.h"

#include "hud/WhirloHUDView.h"
#include "platform/Platform.h"

#include <cmath>
#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kEscapeKeyCode = 53;

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
{
    if (!m_factory) {
        m_factory = [](const RingProfile& profile, const std::optional<RunningApp>& target,
                       std::function<void()> onDismiss, QWidget* parent) {
            return new WhirloHUDView(profile, target, std::move(onDismiss), parent);
        };
    }
    if (m_platform.input) {
        connect(m_platform.input, &InputMonitor::keyPressed, this, &WhirloPanel::onKey);
        connect(m_platform.input, &InputMonitor::buttonPressed, this, &WhirloPanel::onButton);
    }
}

WhirloPanel::~WhirloPanel()
{
    clearMonitors();
}

WhirloPanel& WhirloPanel::shared()
{
    static WhirloPanel* instance = new WhirloPanel(Platform::instance());
    return *instance;
}

QPoint WhirloPanel::clampedOrigin(const QPoint& point, const QRect& area)
{
    const int half = kPanelSize / 2;
    const int areaRight = area.x() + area.width();
    const int areaBottom = area.y() + area.height();
    // Horizontal: the lower bound first, so a narrow area aligns right edges.
    const int x = std::min(std::max(point.x() - half, area.x()), areaRight - kPanelSize);
    // Vertical, y down: the top edge is the one that must stay visible, so the
    // top bound is applied last.
    const int y = std::max(std::min(point.y() - half, areaBottom - kPanelSize), area.y());
    return {x, y};
}

QRect WhirloPanel::availableAreaAt(const QPoint& point)
{
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1440, 900);
}

void WhirloPanel::ensureWindow()
{
    if (m_window)
        return;
    m_window =
        std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                               Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint);
    m_window->setObjectName(QStringLiteral("WhirloPanel"));
    m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    m_window->setAttribute(Qt::WA_NoSystemBackground);
    m_window->setFocusPolicy(Qt::NoFocus);
    m_window->setFixedSize(kPanelSize, kPanelSize);
    m_window->setMouseTracking(true);
}

void WhirloPanel::show(std::optional<QPoint> at, const RingProfile& profile,
                       const std::optional<RunningApp>& targetApp)
{
    clearMonitors();
    const QPoint p = at.value_or(m_platform.input ? m_platform.input->pointerPosition() : QCursor::pos());
    const QPoint origin = clampedOrigin(p, availableAreaAt(p));

    ensureWindow();

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
    m_hud = m_factory(profile, targetApp, onDismiss, m_window.get());
    m_hud->move(0, 0);
    connect(m_hud, &WhirloHUDView::painted, this, &WhirloPanel::painted);

    const bool compositing = m_platform.windows && m_platform.windows->isCompositing();
    if (compositing) {
        m_window->clearMask();
    } else {
        // No alpha without a compositor: cut the window to the ring and its
        // shadow, and paint what was behind it under the ring.
        const int c = kPanelSize / 2;
        m_window->setMask(
            QRegion(c - kMaskRadius, c - kMaskRadius, 2 * kMaskRadius, 2 * kMaskRadius, QRegion::Ellipse));
        const bool sameSpot = m_shown && origin == m_backdropOrigin && !m_backdrop.isNull();
        if (m_shown && !sameSpot)
            m_window->hide(); // don't capture the ring being replaced
        if (!sameSpot) {
            m_backdrop = grabBackdrop(origin);
            m_backdropOrigin = origin;
        }
        m_hud->setBackdrop(m_backdrop);
    }

    // Listen for Escape and outside clicks before the ring maps, so a key
    // pressed the moment it appears is not lost.
    if (m_platform.input) {
        m_platform.input->acquireKeys(this);
        m_platform.input->acquireButtons(this);
        m_keysAcquired = m_buttonsAcquired = true;
    }

    m_window->move(origin);
    m_hud->show();
    m_window->show();
    m_window->raise();
    m_shown = true;

    // The pointer usually sits at the centre already; no move event comes for
    // that, so the first position is taken now. A pointer outside the ring
    // (panel moved by clamping) waits for a real move instead.
    const QPoint pointer = m_platform.input ? m_platform.input->pointerPosition() : QCursor::pos();
    const QPointF local = pointer - origin;
    const double d = std::hypot(local.x() - kPanelSize / 2.0, local.y() - kPanelSize / 2.0);
    if (d <= HudController::kMoveCloseRadius)
        m_hud->seedPointer(local);
    m_hud->appear();

    Q_EMIT shown();
}

QPixmap WhirloPanel::grabBackdrop(const QPoint& origin)
{
    QScreen* screen = QGuiApplication::screenAt(origin + QPoint(kPanelSize / 2, kPanelSize / 2));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QPoint local = origin - screen->geometry().topLeft();
    return screen->grabWindow(0, local.x(), local.y(), kPanelSize, kPanelSize);
}

void WhirloPanel::hide()
{
    clearMonitors();
    const bool wasShown = m_shown;
    m_shown = false;
    if (m_window)
        m_window->hide();
    if (m_hud) {
        WhirloHUDView* old = m_hud;
        m_hud = nullptr;
        old->hide();
        old->deleteLater(); // may be inside one of its own handlers
    }
    if (wasShown)
        Q_EMIT hidden();
}

void WhirloPanel::clearMonitors()
{
    if (!m_platform.input)
        return;
    if (m_keysAcquired)
        m_platform.input->releaseKeys(this);
    if (m_buttonsAcquired)
        m_platform.input->releaseButtons(this);
    m_keysAcquired = m_buttonsAcquired = false;
}

void WhirloPanel::onKey(const RawKeyEvent& event)
{
    if (m_shown && m_keysAcquired && event.virtualKeyCode == kEscapeKeyCode)
        hide();
}

void WhirloPanel::onButton(int button, const QPoint& globalPos)
{
    if (!m_shown || !m_buttonsAcquired || (button != 0 && button != 1))
        return;
    // Raw events carry no window: a click is elsewhere when it is outside us.
    // Without a compositor the window is cut to the ring's circle and a click
    // in its corners goes to the window below: that one is elsewhere too.
    if (m_window) {
        const QPoint local = globalPos - m_window->geometry().topLeft();
        const QRegion mask = m_window->mask();
        if (mask.isEmpty() ? m_window->rect().contains(local) : mask.contains(local))
            return;
    }
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
