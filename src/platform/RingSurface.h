#pragma once

#include <optional>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QPointF>
#include <QRect>

class QWidget;

// Where a ring was put: its square in global coordinates and, when known, the
// pointer position relative to that square.
struct RingPlacement
{
    QRect geometry;
    std::optional<QPointF> pointer;
};

// Where the ring is put on screen. The ring panel drives it: begin at a point
// or at the pointer, present what the ring drew, end. A surface either hosts
// the ring widget in a window of its own (pointer events then reach the widget
// through Qt) or paints the widget itself and reports the pointer through the
// signals below.
class RingSurface : public QObject
{
    Q_OBJECT
public:
    // Side of the square the ring is drawn in.
    static constexpr int kSize = 360;

    using QObject::QObject;

    // The widget that hosts the ring content (the content is created as its child).
    virtual QWidget* host() = 0;

    // Shows `content` centred on `at` (global coordinates), kept inside the
    // screen; at the pointer when `at` is absent. A surface that learns the
    // pointer position only later places the ring then and says so with
    // placed(). Returns the placement when the ring is placed at once.
    // A begin while shown replaces the content in place.
    virtual std::optional<RingPlacement> begin(const std::optional<QPoint>& at, QWidget* content) = 0;
    // The content changed inside `rect` (content coordinates).
    virtual void present(const QRect& rect) = 0;
    // Takes the ring off screen and stops watching input.
    virtual void end() = 0;

    virtual bool isShown() const = 0;
    // The ring's square in global coordinates; empty while not placed.
    virtual QRect geometry() const = 0;
    // True when Qt delivers pointer events to the content itself.
    virtual bool deliversPointerToContent() const = 0;
    // What lies behind the ring when the surface cannot be translucent; null
    // when alpha works.
    virtual QPixmap backdrop() const { return {}; }
    // Why the ring cannot appear at the pointer here; empty when it can.
    virtual QString limitation() const { return {}; }

    // Top-left corner of a ring square centred on `point`, kept inside `area`
    // (y down). When the area is smaller than the square, the square's right
    // and top edges line up with the area's.
    static QPoint clampedOrigin(const QPoint& point, const QRect& area)
    {
        const int half = kSize / 2;
        const int areaRight = area.x() + area.width();
        const int areaBottom = area.y() + area.height();
        // Horizontal: the lower bound first, so a narrow area aligns right edges.
        const int x = std::min(std::max(point.x() - half, area.x()), areaRight - kSize);
        // Vertical, y down: the top edge is the one that must stay visible, so
        // the top bound is applied last.
        const int y = std::max(std::min(point.y() - half, areaBottom - kSize), area.y());
        return {x, y};
    }

Q_SIGNALS:
    // The ring got its place after begin() returned none.
    void placed(const RingPlacement& placement);
    // Pointer input over the ring, in content coordinates (surfaces that do
    // not deliver pointer events to the content).
    void pointerMoved(const QPointF& local);
    void pointerPressed(Qt::MouseButton button, const QPointF& local);
    void pointerReleased(Qt::MouseButton button, const QPointF& local);
    void wheelTurned(const QPoint& angleDelta, const QPoint& pixelDelta, const QPointF& local);
    void pointerLeft();
    // Escape was pressed while the ring was shown.
    void escapePressed();
    // A primary or secondary click landed outside the ring.
    void clickedElsewhere();
};
