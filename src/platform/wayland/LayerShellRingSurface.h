#pragma once

#include "platform/RingSurface.h"
#include "platform/wayland/WaylandConnection.h"

#include <memory>
#include <QPointer>
#include <QTimer>
#include <vector>

struct wl_buffer;
struct wl_callback;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
struct wp_viewport;
struct wp_viewporter;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// The ring on a layer-shell overlay: one transparent surface per output above
// every window, with the keyboard, so the pointer position arrives with the
// pointer's enter and Escape and clicks elsewhere are seen. The ring widget is
// painted into shared-memory buffers and only its square is damaged. On a
// scaled output the buffers hold as many device pixels as the output has, so
// the ring is drawn at full resolution: at the compositor's fractional scale
// through a viewport where it offers one, else at the output's integer scale.
// Positions stay logical throughout.
class LayerShellRingSurface : public RingSurface, private WaylandConnection::InputSink
{
    Q_OBJECT
public:
    // How long a ring waiting for the pointer waits before it settles for the
    // middle of the screen (a seat without a pointer never says where it is).
    static constexpr int kPointerWaitMs = 250;

    LayerShellRingSurface(WaylandConnection* conn, zwlr_layer_shell_v1* shell, QObject* parent = nullptr);
    ~LayerShellRingSurface() override;

    QWidget* host() override;
    std::optional<RingPlacement> begin(const std::optional<QPoint>& at, QWidget* content) override;
    void present(const QRect& rect) override;
    void end() override;
    bool isShown() const override { return m_shown; }
    QRect geometry() const override { return m_placed ? m_ring : QRect(); }
    bool deliversPointerToContent() const override { return false; }

    // True while an overlay holds the keyboard.
    bool hasOverlay() const { return !m_overlays.empty(); }

Q_SIGNALS:
    // The overlays are gone and the compositor has given the keyboard back.
    void overlayRemoved();

private:
    // How an overlay's buffer covers its surface.
    struct Resolution
    {
        QSize pixels;          // the buffer's size
        qreal ratio = 1;       // device pixels to a logical one
        int bufferScale = 1;   // wl_surface's buffer scale
        bool viewport = false; // a fractional scale: the viewport stretches the buffer over the surface
        bool operator==(const Resolution&) const = default;
    };
    struct Overlay;
    struct Buffer
    {
        Overlay* overlay = nullptr;
        wl_buffer* buffer = nullptr;
        uchar* data = nullptr;
        size_t size = 0;
        bool busy = false;
        bool waitedFor = false;
        QSize logical; // the surface size it was made for
        Resolution resolution;
        QRect drawn; // what of the ring this buffer holds, surface coordinates
    };
    struct Overlay
    {
        LayerShellRingSurface* owner = nullptr;
        WaylandConnection::Output* output = nullptr;
        wl_surface* surface = nullptr;
        zwlr_layer_surface_v1* layer = nullptr;
        QSize size;
        bool configured = false;
        bool mapped = false;
        wp_fractional_scale_v1* fractionalScale = nullptr;
        wp_viewport* viewport = nullptr;
        quint32 preferredScale = 0; // in 120ths, once the compositor has said
        // What the last commit showed: its logical size and resolution.
        QSize committedSize;
        Resolution committed{QSize(), 0, 0, false};
        wl_callback* frame = nullptr;
        std::vector<std::unique_ptr<Buffer>> buffers;
        QRect shown; // the ring's square on screen, surface coordinates
    };

    void createOverlays();
    void destroyOverlays();
    Overlay* overlayFor(wl_surface* surface) const;
    Overlay* ringOverlay() const;
    static Resolution resolutionOf(const Overlay& o);
    // Drops the overlay's buffers, all or those not made for its size at `keep`.
    static void dropBuffers(Overlay& o, const Resolution* keep = nullptr);
    Buffer* freeBuffer(Overlay& o, const Resolution& resolution);
    void followScales();
    void redrawIfRescaled(Overlay& o);
    void draw(Overlay& o);
    void scheduleDraw();
    void place(Overlay& o, const QPoint& globalCentre, const std::optional<QPointF>& pointerGlobal);
    void placeAtCentreIfWaiting();
    QPointF toRing(double x, double y) const;
    bool insideRing(const QPointF& local) const;

    static void layerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t w, uint32_t h);
    static void layerClosed(void* data, zwlr_layer_surface_v1* layer);
    static void frameDone(void* data, wl_callback* callback, uint32_t time);
    static void bufferRelease(void* data, wl_buffer* buffer);
    static void preferredScale(void* data, wp_fractional_scale_v1* scale, uint32_t scale120);

    // InputSink
    void pointerEnter(wl_surface* surface, double x, double y) override;
    void pointerLeave(wl_surface* surface) override;
    void pointerMotion(double x, double y) override;
    void pointerButton(quint32 button, bool pressed) override;
    void pointerAxis(quint32 axis, double value, bool discrete) override;
    void keyboardEnter(wl_surface*) override {}
    void key(quint32 evdevKey, bool pressed) override;

    WaylandConnection* m_conn;
    zwlr_layer_shell_v1* m_shell;
    wp_fractional_scale_manager_v1* m_fractionalScales = nullptr;
    wp_viewporter* m_viewporter = nullptr;
    std::unique_ptr<QWidget> m_host;
    QPointer<QWidget> m_content;
    std::vector<std::unique_ptr<Overlay>> m_overlays;
    bool m_shown = false;
    bool m_placed = false;
    QRect m_ring;                       // global
    Overlay* m_ringOverlay = nullptr;
    Overlay* m_pointerOverlay = nullptr;
    QPointF m_pointer;                  // surface coordinates on m_pointerOverlay
    bool m_pointerInside = false;
    // Where the pointer last left an overlay, until it enters one again.
    struct PointerLeft
    {
        Overlay* overlay = nullptr;
        QPointF at;
        bool inside = false;
    } m_left;
    bool m_discreteAxis = false;
    bool m_drawPending = false;
    bool m_firstFramePending = false; // for RONDIX_TRACE_FRAMES
    bool m_firstCommitPending = false;
    bool m_dirty = false;
    QTimer m_pointerWait;
};
