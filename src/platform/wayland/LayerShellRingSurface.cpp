#include "platform/wayland/LayerShellRingSurface.h"

#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "wlr-layer-shell-unstable-v1-client-protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <linux/input-event-codes.h>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

// Input arrives inside the Wayland dispatch; what it sets off (the ring's
// actions, the overlay's end, round trips) runs after it, on the event loop.
template<typename F>
static void later(QObject* context, F f)
{
    QMetaObject::invokeMethod(context, std::move(f), Qt::QueuedConnection);
}

LayerShellRingSurface::LayerShellRingSurface(WaylandConnection* conn, zwlr_layer_shell_v1* shell,
                                             QObject* parent)
    : RingSurface(parent)
    , m_conn(conn)
    , m_shell(shell)
{
    m_pointerWait.setSingleShot(true);
    m_pointerWait.setInterval(kPointerWaitMs);
    connect(&m_pointerWait, &QTimer::timeout, this, &LayerShellRingSurface::placeAtCentreIfWaiting);
    // Fractional scales need both: the scale to draw at and a viewport to show the buffer at it.
    if (m_conn->hasGlobal("wp_fractional_scale_manager_v1") && m_conn->hasGlobal("wp_viewporter")) {
        m_fractionalScales = static_cast<wp_fractional_scale_manager_v1*>(
            m_conn->bind("wp_fractional_scale_manager_v1", &wp_fractional_scale_manager_v1_interface, 1));
        m_viewporter = static_cast<wp_viewporter*>(m_conn->bind("wp_viewporter", &wp_viewporter_interface, 1));
    }
    connect(m_conn, &WaylandConnection::outputsChanged, this, &LayerShellRingSurface::followScales);
    connect(m_conn, &WaylandConnection::broken, this, [this] {
        if (m_shown)
            Q_EMIT escapePressed(); // nothing can be shown any more: close the ring
    });
}

LayerShellRingSurface::~LayerShellRingSurface()
{
    if (m_conn->inputSink() == this)
        m_conn->setInputSink(nullptr);
    destroyOverlays();
    if (m_fractionalScales)
        wp_fractional_scale_manager_v1_destroy(m_fractionalScales);
    if (m_viewporter)
        wp_viewporter_destroy(m_viewporter);
    if (m_shell)
        zwlr_layer_shell_v1_destroy(m_shell);
}

QWidget* LayerShellRingSurface::host()
{
    // Never shown: the ring is painted from it into the overlay's buffers.
    if (!m_host) {
        m_host = std::make_unique<QWidget>();
        m_host->setObjectName(QStringLiteral("WhirloPanel"));
        m_host->setAttribute(Qt::WA_DontShowOnScreen);
        m_host->setFixedSize(kSize, kSize);
    }
    return m_host.get();
}

std::optional<RingPlacement> LayerShellRingSurface::begin(const std::optional<QPoint>& at, QWidget* content)
{
    m_content = content;
    m_firstFramePending = m_firstCommitPending = true;
    if (content) {
        content->move(0, 0);
        content->show();
    }
    m_shown = true;
    m_conn->setInputSink(this);
    const bool fresh = m_overlays.empty();
    if (fresh)
        createOverlays();

    if (at) {
        // The output holding the point, else the first one.
        Overlay* target = m_overlays.empty() ? nullptr : m_overlays.front().get();
        for (const auto& o : m_overlays)
            if (o->output && o->output->geometry.contains(*at))
                target = o.get();
        if (target) {
            place(*target, *at, std::nullopt);
            const std::optional<QPointF> pointer =
                m_pointerOverlay == target ? std::optional<QPointF>(toRing(m_pointer.x(), m_pointer.y()))
                                           : std::nullopt;
            return RingPlacement{m_ring, pointer};
        }
        m_placed = false;
        return std::nullopt;
    }
    // At the pointer. A ring already up keeps the pointer it knows.
    if (!fresh && m_pointerOverlay) {
        const QPoint origin = m_pointerOverlay->output ? m_pointerOverlay->output->geometry.topLeft() : QPoint();
        place(*m_pointerOverlay, origin + m_pointer.toPoint(), QPointF(origin) + m_pointer);
        return RingPlacement{m_ring, toRing(m_pointer.x(), m_pointer.y())};
    }
    m_placed = false;
    m_ringOverlay = nullptr;
    m_pointerWait.start();
    return std::nullopt;
}

void LayerShellRingSurface::createOverlays()
{
    QList<WaylandConnection::Output*> outputs = m_conn->outputs();
    if (outputs.isEmpty())
        outputs.append(nullptr); // the compositor picks one
    for (WaylandConnection::Output* out : outputs) {
        auto o = std::make_unique<Overlay>();
        o->owner = this;
        o->output = out;
        o->surface = wl_compositor_create_surface(m_conn->compositor());
        o->layer = zwlr_layer_shell_v1_get_layer_surface(m_shell, o->surface, out ? out->output : nullptr,
                                                         ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "rondix-ring");
        static const zwlr_layer_surface_v1_listener listener = {&LayerShellRingSurface::layerConfigure,
                                                                &LayerShellRingSurface::layerClosed};
        zwlr_layer_surface_v1_add_listener(o->layer, &listener, o.get());
        zwlr_layer_surface_v1_set_anchor(o->layer,
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT |
                                             ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
        zwlr_layer_surface_v1_set_size(o->layer, 0, 0);
        // Over panels too, and the keyboard for Escape.
        zwlr_layer_surface_v1_set_exclusive_zone(o->layer, -1);
        zwlr_layer_surface_v1_set_keyboard_interactivity(o->layer, 1);
        if (m_fractionalScales && m_viewporter) {
            o->viewport = wp_viewporter_get_viewport(m_viewporter, o->surface);
            o->fractionalScale = wp_fractional_scale_manager_v1_get_fractional_scale(m_fractionalScales, o->surface);
            static const wp_fractional_scale_v1_listener scaleListener = {&LayerShellRingSurface::preferredScale};
            wp_fractional_scale_v1_add_listener(o->fractionalScale, &scaleListener, o.get());
        }
        wl_surface_commit(o->surface);
        m_overlays.push_back(std::move(o));
    }
    m_conn->flush();
}

void LayerShellRingSurface::destroyOverlays()
{
    for (auto& o : m_overlays) {
        if (o->frame)
            wl_callback_destroy(o->frame);
        dropBuffers(*o);
        if (o->fractionalScale)
            wp_fractional_scale_v1_destroy(o->fractionalScale);
        if (o->viewport)
            wp_viewport_destroy(o->viewport);
        if (o->layer)
            zwlr_layer_surface_v1_destroy(o->layer);
        if (o->surface)
            wl_surface_destroy(o->surface);
    }
    m_overlays.clear();
    m_ringOverlay = nullptr;
    m_pointerOverlay = nullptr;
    m_pointerInside = false;
    m_left = {};
}

void LayerShellRingSurface::end()
{
    m_pointerWait.stop();
    const bool had = !m_overlays.empty();
    m_shown = false;
    m_placed = false;
    m_content = nullptr;
    if (m_conn->inputSink() == this)
        m_conn->setInputSink(nullptr);
    destroyOverlays();
    if (had) {
        // The keyboard goes back to the window that had it once the compositor
        // has seen the overlays go.
        m_conn->roundtrip();
        Q_EMIT overlayRemoved();
    }
}

void LayerShellRingSurface::layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t w,
                                           uint32_t h)
{
    auto* o = static_cast<Overlay*>(data);
    zwlr_layer_surface_v1_ack_configure(layer, serial);
    const QSize size{int(w), int(h)};
    if (o->configured && size == o->size)
        return;
    o->configured = true;
    o->size = size; // the next frame is drawn at this size, in fresh buffers
    o->owner->draw(*o);
}

void LayerShellRingSurface::layerClosed(void* data, zwlr_layer_surface_v1*)
{
    // The output went away under the ring: close it rather than leave it half shown.
    auto* o = static_cast<Overlay*>(data);
    LayerShellRingSurface* self = o->owner;
    if (self->m_shown)
        later(self, [self] { Q_EMIT self->escapePressed(); });
}

LayerShellRingSurface::Resolution LayerShellRingSurface::resolutionOf(const Overlay& o)
{
    if (o.viewport && o.preferredScale > 0 && !o.size.isEmpty()) {
        // The surface size times the scale, rounded half away from zero.
        const qreal ratio = o.preferredScale / 120.0;
        return {QSize(qRound(o.size.width() * ratio), qRound(o.size.height() * ratio)), ratio, 1, true};
    }
    // An integer scale needs wl_surface 3; older compositors upscale a scale 1 buffer.
    int scale = 1;
    if (o.output && o.surface && wl_surface_get_version(o.surface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION)
        scale = std::clamp(o.output->scale, 1, 8);
    return {o.size * scale, qreal(scale), scale, false};
}

void LayerShellRingSurface::dropBuffers(Overlay& o, const Resolution* keep)
{
    // Buffers the compositor still holds may go too: it keeps its own
    // reference to their memory until it is done with them.
    std::erase_if(o.buffers, [&](const std::unique_ptr<Buffer>& b) {
        if (keep && b->logical == o.size && b->resolution == *keep)
            return false;
        if (b->buffer)
            wl_buffer_destroy(b->buffer);
        if (b->data)
            munmap(b->data, b->size);
        return true;
    });
}

LayerShellRingSurface::Buffer* LayerShellRingSurface::freeBuffer(Overlay& o, const Resolution& resolution)
{
    // Buffers of another size or scale are of no use any more.
    dropBuffers(o, &resolution);
    const QSize pixels = resolution.pixels;
    for (auto& b : o.buffers)
        if (!b->busy)
            return b.get();
    if (o.buffers.size() >= 2 || pixels.isEmpty())
        return nullptr; // both are with the compositor: draw on release
    const int stride = pixels.width() * 4;
    const size_t size = size_t(stride) * size_t(pixels.height());
    const int fd = memfd_create("rondix-ring", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, off_t(size)) < 0) {
        close(fd);
        return nullptr;
    }
    // Fresh pages read as zero: a new buffer is fully transparent already.
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool* pool = wl_shm_create_pool(m_conn->shm(), fd, int(size));
    auto b = std::make_unique<Buffer>();
    b->overlay = &o;
    b->buffer = wl_shm_pool_create_buffer(pool, 0, pixels.width(), pixels.height(), stride,
                                          WL_SHM_FORMAT_ARGB8888);
    b->logical = o.size;
    b->resolution = resolution;
    wl_shm_pool_destroy(pool);
    close(fd);
    b->data = static_cast<uchar*>(data);
    b->size = size;
    static const wl_buffer_listener listener = {&LayerShellRingSurface::bufferRelease};
    wl_buffer_add_listener(b->buffer, &listener, b.get());
    o.buffers.push_back(std::move(b));
    return o.buffers.back().get();
}

void LayerShellRingSurface::bufferRelease(void* data, wl_buffer*)
{
    auto* b = static_cast<Buffer*>(data);
    b->busy = false;
    if (b->waitedFor) {
        b->waitedFor = false;
        b->overlay->owner->scheduleDraw();
    }
}

void LayerShellRingSurface::present(const QRect&)
{
    m_dirty = true;
    scheduleDraw();
}

void LayerShellRingSurface::scheduleDraw()
{
    // Many changes in one turn of the loop make one frame.
    if (m_drawPending)
        return;
    m_drawPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_drawPending = false;
            if (Overlay* o = ringOverlay())
                draw(*o);
        },
        Qt::QueuedConnection);
}

LayerShellRingSurface::Overlay* LayerShellRingSurface::ringOverlay() const
{
    return m_ringOverlay;
}

namespace {
// For the summon benchmark: a moment of the ring's first frame on the clock
// every process shares, under RONDIX_TRACE_FRAMES.
void traceFrame(const char* what)
{
    static const bool trace = qEnvironmentVariableIsSet("RONDIX_TRACE_FRAMES");
    if (!trace)
        return;
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    std::printf("[trace] ring first %s %lld\n", what, (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec);
    std::fflush(stdout);
}
} // namespace

void LayerShellRingSurface::draw(Overlay& o)
{
    if (!o.configured || o.frame)
        return; // the frame callback draws what is left
    const bool hasRing = &o == m_ringOverlay && m_placed && m_content;
    const Resolution res = resolutionOf(o);
    // A new size or scale replaces the whole surface.
    const bool whole = !o.mapped || o.committedSize != o.size || o.committed != res;
    if (!whole && !hasRing && o.shown.isEmpty())
        return; // nothing to change
    const QPoint origin = o.output ? o.output->geometry.topLeft() : QPoint();
    const QRect ring = hasRing ? m_ring.translated(-origin) : QRect();
    if (!whole && hasRing && !m_dirty && o.shown == ring)
        return;
    Buffer* b = freeBuffer(o, res);
    if (!b) {
        // Both buffers are with the compositor: the next release draws.
        for (auto& busy : o.buffers)
            busy->waitedFor = true;
        return;
    }
    const QSize pixels = res.pixels;
    QImage image(b->data, pixels.width(), pixels.height(), pixels.width() * 4, QImage::Format_ARGB32_Premultiplied);
    if (!b->drawn.isEmpty() && b->drawn != ring) {
        // In device pixels, rounded outwards: at a fractional scale the old
        // ring's edges fall inside pixels.
        const QRectF device(QPointF(b->drawn.topLeft()) * res.ratio, QSizeF(b->drawn.size()) * res.ratio);
        QPainter p(&image);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.fillRect(device.toAlignedRect(), Qt::transparent);
    }
    // Painted in logical coordinates; the image's pixel ratio makes the
    // painter draw strokes and text with every device pixel.
    image.setDevicePixelRatio(res.ratio);
    if (hasRing) {
        // The ring paints its whole square, clearing it first.
        m_content->render(&image, ring.topLeft(), QRegion(), QWidget::DrawChildren);
        m_dirty = false;
    }
    b->drawn = ring;

    wl_surface_attach(o.surface, b->buffer, 0, 0);
    if (res.bufferScale != o.committed.bufferScale)
        wl_surface_set_buffer_scale(o.surface, res.bufferScale);
    if (res.viewport && (!o.committed.viewport || o.committedSize != o.size))
        wp_viewport_set_destination(o.viewport, o.size.width(), o.size.height());
    else if (!res.viewport && o.committed.viewport)
        wp_viewport_set_destination(o.viewport, -1, -1);
    // Damage is in surface coordinates, which are logical.
    if (whole) {
        wl_surface_damage(o.surface, 0, 0, o.size.width(), o.size.height());
    } else {
        const QRect damage = o.shown.united(ring);
        wl_surface_damage(o.surface, damage.x(), damage.y(), damage.width(), damage.height());
    }
    o.shown = ring;
    o.committedSize = o.size;
    o.committed = res;
    b->busy = true;
    if (hasRing) {
        o.frame = wl_surface_frame(o.surface);
        static const wl_callback_listener listener = {&LayerShellRingSurface::frameDone};
        wl_callback_add_listener(o.frame, &listener, &o);
    }
    wl_surface_commit(o.surface);
    o.mapped = true;
    m_conn->flush();
    if (hasRing && m_firstCommitPending) {
        m_firstCommitPending = false;
        traceFrame("commit"); // painted and handed to the compositor
    }
}

void LayerShellRingSurface::followScales()
{
    const QList<WaylandConnection::Output*>& outputs = m_conn->outputs();
    for (const auto& o : m_overlays) {
        // An output that went away is about to close its overlay; until then
        // it is drawn as one without an output.
        if (o->output && !outputs.contains(o->output))
            o->output = nullptr;
        redrawIfRescaled(*o);
    }
}

void LayerShellRingSurface::preferredScale(void* data, wp_fractional_scale_v1*, uint32_t scale120)
{
    auto* o = static_cast<Overlay*>(data);
    if (o->preferredScale == scale120)
        return;
    o->preferredScale = scale120;
    o->owner->redrawIfRescaled(*o);
}

void LayerShellRingSurface::redrawIfRescaled(Overlay& o)
{
    if (!o.mapped || o.committed == resolutionOf(o))
        return;
    // The next frame is drawn at the new scale, in new buffers.
    if (&o == m_ringOverlay) {
        m_dirty = true;
        scheduleDraw();
    } else {
        draw(o);
    }
}

void LayerShellRingSurface::frameDone(void* data, wl_callback* callback, uint32_t)
{
    auto* o = static_cast<Overlay*>(data);
    wl_callback_destroy(callback);
    o->frame = nullptr;
    LayerShellRingSurface* self = o->owner;
    if (self->m_firstFramePending && o == self->m_ringOverlay) {
        self->m_firstFramePending = false;
        traceFrame("frame"); // the compositor has it on screen
    }
    // What changed meanwhile: the ring, a ring that moved to another output,
    // a new size or scale.
    self->draw(*o);
}

void LayerShellRingSurface::place(Overlay& o, const QPoint& globalCentre, const std::optional<QPointF>&)
{
    const QRect area = o.output ? o.output->geometry : QRect(QPoint(), o.size.isEmpty() ? QSize(1440, 900) : o.size);
    Overlay* previous = m_ringOverlay;
    m_ring = QRect(clampedOrigin(globalCentre, area), QSize(kSize, kSize));
    m_ringOverlay = &o;
    m_placed = true;
    m_dirty = true;
    m_pointerWait.stop();
    // The pointer is in the ring only once it moves there (as with a window).
    m_pointerInside = false;
    if (previous && previous != &o)
        draw(*previous); // take the ring off the other output
    draw(o);
}

void LayerShellRingSurface::placeAtCentreIfWaiting()
{
    if (!m_shown || m_placed || m_overlays.empty())
        return;
    Overlay& o = *m_overlays.front();
    const QRect area = o.output ? o.output->geometry : QRect(QPoint(), o.size);
    place(o, area.center(), std::nullopt);
    Q_EMIT placed(RingPlacement{m_ring, std::nullopt});
}

LayerShellRingSurface::Overlay* LayerShellRingSurface::overlayFor(wl_surface* surface) const
{
    for (const auto& o : m_overlays)
        if (o->surface == surface)
            return o.get();
    return nullptr;
}

QPointF LayerShellRingSurface::toRing(double x, double y) const
{
    const QPoint origin = m_ringOverlay && m_ringOverlay->output ? m_ringOverlay->output->geometry.topLeft() : QPoint();
    return QPointF(x, y) + QPointF(origin) - QPointF(m_ring.topLeft());
}

bool LayerShellRingSurface::insideRing(const QPointF& local) const
{
    return local.x() >= 0 && local.y() >= 0 && local.x() < kSize && local.y() < kSize;
}

void LayerShellRingSurface::pointerEnter(wl_surface* surface, double x, double y)
{
    Overlay* o = overlayFor(surface);
    if (!o)
        return;
    if (m_placed && o == m_left.overlay && QPointF(x, y) == m_left.at) {
        // Given back where it was taken away (an output rescaled): no move.
        m_pointerOverlay = o;
        m_pointerInside = m_left.inside;
        m_left = {};
        return;
    }
    m_left = {};
    m_pointerOverlay = o;
    m_pointer = QPointF(x, y);
    if (m_shown && !m_placed) {
        const QPoint origin = o->output ? o->output->geometry.topLeft() : QPoint();
        place(*o, origin + QPointF(x, y).toPoint(), QPointF(origin) + QPointF(x, y));
        // The pointer sits in the ring already: it is seeded, not moved in.
        const QPointF local = toRing(x, y);
        m_pointerInside = insideRing(local);
        const RingPlacement placement{m_ring, local};
        later(this, [this, placement] { Q_EMIT placed(placement); });
        return;
    }
    pointerMotion(x, y);
}

void LayerShellRingSurface::pointerLeave(wl_surface* surface)
{
    if (m_pointerOverlay && m_pointerOverlay->surface == surface) {
        m_left = {m_pointerOverlay, m_pointer, m_pointerInside};
        if (m_pointerInside && m_pointerOverlay == m_ringOverlay) {
            m_pointerInside = false;
            // An output being rescaled or moved takes the pointer away and
            // gives it straight back, in the same burst of events: only a
            // leave that lasts takes the pointer out of the ring.
            later(this, [this] {
                if (!m_pointerInside)
                    Q_EMIT pointerLeft();
            });
        }
        m_pointerOverlay = nullptr;
    }
}

void LayerShellRingSurface::pointerMotion(double x, double y)
{
    m_pointer = QPointF(x, y);
    if (!m_shown || !m_placed || m_pointerOverlay != m_ringOverlay) {
        return;
    }
    const QPointF local = toRing(x, y);
    const bool inside = insideRing(local);
    if (inside) {
        m_pointerInside = true;
        later(this, [this, local] { Q_EMIT pointerMoved(local); });
    } else if (m_pointerInside) {
        m_pointerInside = false;
        later(this, [this] { Q_EMIT pointerLeft(); });
    }
}

void LayerShellRingSurface::pointerButton(quint32 button, bool pressed)
{
    if (!m_shown)
        return;
    Qt::MouseButton qtButton = Qt::NoButton;
    switch (button) {
    case BTN_LEFT:
        qtButton = Qt::LeftButton;
        break;
    case BTN_RIGHT:
        qtButton = Qt::RightButton;
        break;
    case BTN_MIDDLE:
        qtButton = Qt::MiddleButton;
        break;
    default:
        break;
    }
    const bool overRing = m_placed && m_pointerOverlay == m_ringOverlay && m_pointerOverlay &&
                          insideRing(toRing(m_pointer.x(), m_pointer.y()));
    if (overRing) {
        const QPointF local = toRing(m_pointer.x(), m_pointer.y());
        later(this, [this, pressed, qtButton, local] {
            if (pressed)
                Q_EMIT pointerPressed(qtButton, local);
            else
                Q_EMIT pointerReleased(qtButton, local);
        });
        return;
    }
    if (pressed && (qtButton == Qt::LeftButton || qtButton == Qt::RightButton))
        later(this, [this] { Q_EMIT clickedElsewhere(); });
}

void LayerShellRingSurface::pointerAxis(quint32 axis, double value, bool discrete)
{
    if (axis != WL_POINTER_AXIS_VERTICAL_SCROLL || !m_shown || !m_pointerInside)
        return;
    const QPointF local = toRing(m_pointer.x(), m_pointer.y());
    // A wheel sends its notches first and then the same turn in pixels.
    if (discrete) {
        m_discreteAxis = true;
        const QPoint angle(0, -int(value) * 120);
        later(this, [this, angle, local] { Q_EMIT wheelTurned(angle, QPoint(), local); });
        return;
    }
    if (m_discreteAxis) {
        m_discreteAxis = false;
        return;
    }
    // Down is positive here, up is positive for the ring.
    const QPoint pixels(0, -int(std::lround(value)));
    later(this, [this, pixels, local] { Q_EMIT wheelTurned(QPoint(), pixels, local); });
}

void LayerShellRingSurface::key(quint32 evdevKey, bool pressed)
{
    if (pressed && evdevKey == KEY_ESC && m_shown)
        later(this, [this] { Q_EMIT escapePressed(); });
}
