#pragma once

#include "platform/RingSurface.h"
#include "platform/wayland/WaylandConnection.h"

#include <memory>
#include <QPointer>
#include <QTimer>
#include <vector>

struct wl_buffer;
struct wl_callback;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;

// The ring on a layer-shell overlay: one transparent surface per output above
// every window, with the keyboard, so the pointer position arrives with the
// pointer's enter and Escape and clicks elsewhere are seen. The ring widget is
// painted into shared-memory buffers and only its square is damaged. On a
// scaled output the buffers hold as many device pixels as the output has, so
// the ring is drawn at full resolution; positions stay logical throughout.
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
        int scale = 1; // device pixels to a logical one
        QRect drawn;   // what of the ring this buffer holds, surface coordinates
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
        // What the last commit showed: its logical size and its buffer scale.
        QSize committedSize;
        int committedScale = 0;
        wl_callback* frame = nullptr;
        std::vector<std::unique_ptr<Buffer>> buffers;
        QRect shown; // the ring's square on screen, surface coordinates
    };

    void createOverlays();
    void destroyOverlays();
    Overlay* overlayFor(wl_surface* surface) const;
    Overlay* ringOverlay() const;
    static int scaleOf(const Overlay& o);
    // Drops the overlay's buffers, all or those not made for its size at `keepScale`.
    static void dropBuffers(Overlay& o, int keepScale = 0);
    Buffer* freeBuffer(Overlay& o, int scale);
    void followScales();
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
