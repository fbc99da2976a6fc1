#include "platform/WindowRingSurface.h"

#include "platform/InputMonitor.h"
#include "platform/WindowSystem.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QWidget>

namespace {
constexpr int kEscapeKeyCode = 53;
}

WindowRingSurface::WindowRingSurface(InputMonitor* input, WindowSystem* windows, QObject* parent)
    : RingSurface(parent)
    , m_input(input)
    , m_windows(windows)
    , m_fillsScreen(QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
{
    if (m_input) {
        connect(m_input, &InputMonitor::keyPressed, this, &WindowRingSurface::onKey);
        connect(m_input, &InputMonitor::buttonPressed, this, &WindowRingSurface::onButton);
    }
}

WindowRingSurface::~WindowRingSurface()
{
    clearMonitors();
}

QRect WindowRingSurface::availableAreaAt(const QPoint& point)
{
    QScreen* screen = QGuiApplication::screenAt(point);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect(0, 0, 1440, 900);
}

bool WindowRingSurface::takesFocus() const
{
    return m_input && !m_input->knowsPointerPosition();
}

QWidget* WindowRingSurface::host()
{
    if (m_window)
        return m_window.get();
    if (takesFocus() || m_fillsScreen) {
        m_window = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
        m_window->installEventFilter(this);
    } else {
        m_window = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint |
                                                          Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                                                          Qt::X11BypassWindowManagerHint);
        m_window->setAttribute(Qt::WA_ShowWithoutActivating);
    }
    m_window->setObjectName(QStringLiteral("WhirloPanel"));
    m_window->setAttribute(Qt::WA_TranslucentBackground);
    m_window->setAttribute(Qt::WA_NoSystemBackground);
    m_window->setFocusPolicy(Qt::NoFocus);
    if (!m_fillsScreen)
        m_window->setFixedSize(kSize, kSize);
    m_window->setMouseTracking(true);
    return m_window.get();
}

QPoint WindowRingSurface::centredIn(const QSize& size)
{
    return {std::max(0, (size.width() - kSize) / 2), std::max(0, (size.height() - kSize) / 2)};
}

std::optional<RingPlacement> WindowRingSurface::begin(const std::optional<QPoint>& at, QWidget* content)
{
    clearMonitors();
    m_content = content;
    if (m_fillsScreen) {
        // The desktop sizes the window to its screen; until it has, the ring
        // is centred for the size of the screen Qt expects it on, and it is
        // centred again when the real size arrives.
        QWidget* window = host();
        if (m_input) {
            m_input->acquireKeys(this);
            m_input->acquireButtons(this);
            m_monitoring = true;
        }
        // A window maximized before keeps the size the desktop gave it (no
        // resize comes when it gets the same one again); the first time, the
        // screen's work area is the best guess.
        QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
        const QSize size = window->isMaximized() || !screen ? window->size() : screen->availableGeometry().size();
        if (content) {
            content->move(centredIn(size));
            content->show();
        }
        window->showMaximized();
        window->raise();
        window->activateWindow();
        m_shown = true;
        return RingPlacement{geometry(), std::nullopt};
    }
    QPoint p;
    if (at)
        p = *at;
    else if (m_input && !m_input->knowsPointerPosition())
        p = availableAreaAt(QPoint()).center(); // a session that never says where the pointer is
    else
        p = m_input ? m_input->pointerPosition() : QCursor::pos();
    const QPoint origin = clampedOrigin(p, availableAreaAt(p));
    QWidget* window = host();

    const bool compositing = m_windows && m_windows->isCompositing();
    if (compositing) {
        window->clearMask();
        m_backdrop = QPixmap();
    } else {
        // No alpha without a compositor: cut the window to the ring and its
        // shadow, and keep what was behind it for the ring to paint under itself.
        const int c = kSize / 2;
        window->setMask(
            QRegion(c - kMaskRadius, c - kMaskRadius, 2 * kMaskRadius, 2 * kMaskRadius, QRegion::Ellipse));
        const bool sameSpot = m_shown && origin == m_backdropOrigin && !m_backdrop.isNull();
        if (m_shown && !sameSpot)
            window->hide(); // don't capture the ring being replaced
        if (!sameSpot) {
            m_backdrop = grabBackdrop(origin);
            m_backdropOrigin = origin;
        }
    }

    // Listen for Escape and outside clicks before the ring maps, so a key
    // pressed the moment it appears is not lost.
    if (m_input) {
        m_input->acquireKeys(this);
        m_input->acquireButtons(this);
        m_monitoring = true;
    }

    window->move(origin);
    if (content) {
        content->move(0, 0);
        content->show();
    }
    window->show();
    window->raise();
    if (takesFocus())
        window->activateWindow();
    m_shown = true;

    if (m_input && !m_input->knowsPointerPosition())
        return RingPlacement{QRect(origin, QSize(kSize, kSize)), std::nullopt};
    const QPoint pointer = m_input ? m_input->pointerPosition() : QCursor::pos();
    return RingPlacement{QRect(origin, QSize(kSize, kSize)), QPointF(pointer - origin)};
}

QPixmap WindowRingSurface::grabBackdrop(const QPoint& origin)
{
    QScreen* screen = QGuiApplication::screenAt(origin + QPoint(kSize / 2, kSize / 2));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    const QPoint local = origin - screen->geometry().topLeft();
    return screen->grabWindow(0, local.x(), local.y(), kSize, kSize);
}

void WindowRingSurface::end()
{
    clearMonitors();
    m_shown = false;
    if (m_window)
        m_window->hide();
}

QRect WindowRingSurface::geometry() const
{
    if (!m_window || !m_shown)
        return {};
    if (!m_fillsScreen)
        return m_window->geometry();
    const QPoint inside = m_content ? m_content->pos() : centredIn(m_window->size());
    return {m_window->geometry().topLeft() + inside, QSize(kSize, kSize)};
}

void WindowRingSurface::clearMonitors()
{
    if (!m_input || !m_monitoring)
        return;
    m_input->releaseKeys(this);
    m_input->releaseButtons(this);
    m_monitoring = false;
}

bool WindowRingSurface::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_window.get())
        return false;
    if (event->type() == QEvent::Resize && m_fillsScreen && m_content)
        m_content->move(centredIn(static_cast<QResizeEvent*>(event)->size()));
    if (!m_shown)
        return false;
    if (event->type() == QEvent::MouseButtonPress && m_fillsScreen) {
        // The window covers the screen: a press that reaches it, not the
        // ring, is a click beside the ring.
        const auto button = static_cast<QMouseEvent*>(event)->button();
        if (button == Qt::LeftButton || button == Qt::RightButton)
            Q_EMIT clickedElsewhere();
        return true;
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        Q_EMIT escapePressed();
        return true;
    }
    if (event->type() == QEvent::WindowDeactivate)
        Q_EMIT clickedElsewhere();
    return false;
}

void WindowRingSurface::onKey(const RawKeyEvent& event)
{
    if (m_shown && m_monitoring && event.virtualKeyCode == kEscapeKeyCode)
        Q_EMIT escapePressed();
}

void WindowRingSurface::onButton(int button, const QPoint& globalPos)
{
    if (!m_shown || !m_monitoring || (button != 0 && button != 1))
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
    Q_EMIT clickedElsewhere();
}
