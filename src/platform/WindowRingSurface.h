#pragma once

#include "platform/RingSurface.h"

#include <memory>
#include <QPointer>

class InputMonitor;
class WindowSystem;
struct RawKeyEvent;

// The ring in a top-level Qt window of its own: frameless, translucent, never
// focused (on X11 an override-redirect window above everything). Qt delivers
// pointer events to the hosted ring; Escape and clicks elsewhere come from the
// global input monitor. Without a compositor the window is cut to the ring's
// circle and what was behind it is offered as the backdrop.
//
// A Wayland client cannot place its windows, so there (a desktop without the
// overlay protocol) the window is a transparent full-screen one with the ring
// in its middle: the ring is centred on whichever screen the desktop shows it
// on, and a click beside the ring lands on the window itself.
class WindowRingSurface : public RingSurface
{
    Q_OBJECT
public:
    // Without a compositor the window is cut to this circle: the disc (143)
    // and the part of its shadow that is still visible.
    static constexpr int kMaskRadius = 180;

    WindowRingSurface(InputMonitor* input, WindowSystem* windows, QObject* parent = nullptr);
    ~WindowRingSurface() override;

    QWidget* host() override;
    std::optional<RingPlacement> begin(const std::optional<QPoint>& at, QWidget* content) override;
    void present(const QRect&) override {}
    void end() override;
    bool isShown() const override { return m_shown; }
    QRect geometry() const override;
    bool deliversPointerToContent() const override { return true; }
    QPixmap backdrop() const override { return m_backdrop; }

    // The available area of the screen holding `point` (fallback 1440 x 900).
    static QRect availableAreaAt(const QPoint& point);

protected:
    // Where global input cannot be watched (a Wayland desktop without the
    // overlay), the window takes the keyboard: Escape and losing the focus
    // to a click elsewhere close the ring.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool takesFocus() const;
    // The ring's top-left corner inside a full-screen window of `size`.
    static QPoint centredIn(const QSize& size);
    static QPixmap grabBackdrop(const QPoint& origin);
    void clearMonitors();
    void onKey(const RawKeyEvent& event);
    void onButton(int button, const QPoint& globalPos);

    QPointer<InputMonitor> m_input;
    WindowSystem* m_windows;
    std::unique_ptr<QWidget> m_window;
    QPointer<QWidget> m_content;
    const bool m_fillsScreen;
    bool m_shown = false;
    bool m_monitoring = false;
    QPixmap m_backdrop;
    QPoint m_backdropOrigin;
};
