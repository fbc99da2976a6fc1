#include "hud/WhirloHUDView.h"

#include "common/AppSettings.h"
#include "hud/ActionIconView.h"
#include "hud/AppIconCache.h"
#include "hud/RadialGeometry.h"
#include "l10n/L10n.h"
#include "platform/Platform.h"
#include "platform/freedesktop/SystemAppearance.h"

#include <cmath>
#include <QApplication>
#include <QGuiApplication>
#include <QLineF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleHints>
#include <QWheelEvent>

namespace {

constexpr double kRingCentre = WhirloHUDView::kRingDiameter / 2.0; // 160 in the ring frame
constexpr double kRingOffset = (WhirloHUDView::kTotalSize - WhirloHUDView::kRingDiameter) / 2.0;
constexpr double kDiscRadius = 143.0;
constexpr double kGap = 2.2;
constexpr double kGaugeSide = 65.1;

QColor grey(double white, double alpha = 1.0)
{
    return QColor::fromRgbF(float(white), float(white), float(white), float(alpha));
}

QColor rgb(double r, double g, double b, double alpha = 1.0)
{
    return QColor::fromRgbF(float(r), float(g), float(b), float(alpha));
}

QColor mix(const QColor& a, const QColor& b, double t)
{
    t = std::clamp(t, 0.0, 1.0);
    auto m = [t](float x, float y) { return float(x + (y - x) * t); };
    return QColor::fromRgbF(m(a.redF(), b.redF()), m(a.greenF(), b.greenF()), m(a.blueF(), b.blueF()),
                            m(a.alphaF(), b.alphaF()));
}

QColor accentColor()
{
    return QGuiApplication::palette().color(QPalette::Highlight);
}

// Colours of one theme, as the ring is specified.
struct HudPalette
{
    QColor discFrom, discTo, discStrokeFrom, discStrokeTo, discShadow;
    QColor sectorFrom, sectorTo, borderFrom, borderTo;
    QColor contentEnabled, contentDisabled, iconShadow, titleShadow;
    QColor hubFrom, hubTo, hubHoverFrom, hubHoverTo;
    QColor hubStrokeFrom, hubStrokeTo, hubStrokeHoverFrom, hubStrokeHoverTo, hubShadow;
    QColor xmark, xmarkHover, xmarkShadow;
    QColor gaugeTrack, gaugeSymbol, gaugeText, gaugeSymbolShadow;

    static HudPalette make(bool dark)
    {
        HudPalette c;
        const QColor clear(0, 0, 0, 0);
        if (dark) {
            c.discFrom = rgb(0.18, 0.19, 0.22, 0.9);
            c.discTo = rgb(0.1, 0.11, 0.13, 0.94);
            c.discStrokeFrom = grey(1, 0.24);
            c.discStrokeTo = grey(1, 0.06);
            c.discShadow = grey(0, 0.4);
            c.sectorFrom = grey(0.25, 0.85);
            c.sectorTo = grey(0.18, 0.85);
            c.borderFrom = grey(1, 0.18);
            c.borderTo = grey(1, 0.06);
            c.contentEnabled = grey(1, 0.92);
            c.contentDisabled = grey(1, 0.4);
            c.iconShadow = grey(0, 0.25);
            c.titleShadow = grey(0, 0.2);
            c.hubFrom = grey(0.2, 0.95);
            c.hubTo = grey(0.14, 0.95);
            c.hubHoverFrom = grey(0.3, 0.95);
            c.hubHoverTo = grey(0.22, 0.95);
            c.hubStrokeFrom = grey(1, 0.2);
            c.hubStrokeTo = grey(1, 0.08);
            c.hubStrokeHoverFrom = grey(1, 0.45);
            c.hubStrokeHoverTo = grey(1, 0.2);
            c.hubShadow = grey(0, 0.4);
            c.xmark = grey(1, 0.75);
            c.xmarkHover = grey(1);
            c.xmarkShadow = grey(0, 0.35);
            c.gaugeTrack = grey(1, 0.14);
            c.gaugeSymbol = grey(1);
            c.gaugeText = grey(1, 0.95);
            c.gaugeSymbolShadow = grey(0, 0.3);
        } else {
            c.discFrom = grey(0.98, 0.88);
            c.discTo = grey(0.92, 0.92);
            c.discStrokeFrom = grey(1, 0.9);
            c.discStrokeTo = grey(0, 0.08);
            c.discShadow = grey(0, 0.18);
            c.sectorFrom = grey(1, 0.75);
            c.sectorTo = grey(1, 0.5);
            c.borderFrom = grey(1, 0.85);
            c.borderTo = grey(0, 0.08);
            c.contentEnabled = grey(0.15);
            c.contentDisabled = grey(0.15, 0.35);
            c.iconShadow = clear;
            c.titleShadow = clear;
            c.hubFrom = grey(0.98, 0.96);
            c.hubTo = grey(0.9, 0.96);
            c.hubHoverFrom = grey(0.9, 0.96);
            c.hubHoverTo = grey(0.82, 0.96);
            c.hubStrokeFrom = grey(1, 0.9);
            c.hubStrokeTo = grey(0, 0.08);
            c.hubStrokeHoverFrom = grey(1, 0.9);
            c.hubStrokeHoverTo = grey(0, 0.2);
            c.hubShadow = grey(0, 0.15);
            c.xmark = grey(0.25);
            c.xmarkHover = accentColor();
            c.xmarkShadow = clear;
            c.gaugeTrack = grey(0, 0.08);
            c.gaugeSymbol = grey(0, 0.85);
            c.gaugeText = grey(0, 0.85);
            c.gaugeSymbolShadow = clear;
        }
        return c;
    }
};

const HudPalette& paletteFor(bool dark)
{
    static const HudPalette darkPalette = HudPalette::make(true);
    static const HudPalette lightPalette = HudPalette::make(false);
    return dark ? darkPalette : lightPalette;
}

const QColor kHoverFrom = rgb(0.08, 0.62, 1.0);
const QColor kHoverTo = rgb(0.0, 0.44, 0.94);
const QColor kHoverBorder = grey(1, 0.95);
const QColor kHoverShadow = rgb(0.08, 0.6, 1.0, 0.75);
const QColor kSectorShadow = grey(0, 0.12);
const QColor kHoverIconShadow = grey(0, 0.4);
const QColor kHoverTitleShadow = grey(0, 0.35);
const QColor kMutedColor = QColor(255, 149, 0); // the system orange

// Three box-blur passes over an alpha mask approximate a Gaussian of the given
// shadow radius. Rows and columns are both walked row by row, which keeps the
// memory access linear.
void blurAlpha(QImage& img, int radius)
{
    if (radius < 1)
        return;
    const int w = img.width(), h = img.height();
    const int win = 2 * radius + 1;
    std::vector<uchar> line(w);
    std::vector<uchar> copy(size_t(w) * h);
    std::vector<int> sums(w);
    auto horizontal = [&] {
        for (int y = 0; y < h; ++y) {
            uchar* row = img.scanLine(y);
            std::copy(row, row + w, line.begin());
            int sum = 0;
            for (int i = 0; i < radius && i < w; ++i)
                sum += line[i];
            for (int x = 0; x < w; ++x) {
                if (x + radius < w)
                    sum += line[x + radius];
                if (x - radius - 1 >= 0)
                    sum -= line[x - radius - 1];
                row[x] = uchar(sum / win);
            }
        }
    };
    auto vertical = [&] {
        for (int y = 0; y < h; ++y)
            std::copy(img.constScanLine(y), img.constScanLine(y) + w, copy.begin() + size_t(y) * w);
        std::fill(sums.begin(), sums.end(), 0);
        for (int y = 0; y < radius && y < h; ++y) {
            const uchar* src = copy.data() + size_t(y) * w;
            for (int x = 0; x < w; ++x)
                sums[x] += src[x];
        }
        for (int y = 0; y < h; ++y) {
            if (y + radius < h) {
                const uchar* add = copy.data() + size_t(y + radius) * w;
                for (int x = 0; x < w; ++x)
                    sums[x] += add[x];
            }
            if (y - radius - 1 >= 0) {
                const uchar* sub = copy.data() + size_t(y - radius - 1) * w;
                for (int x = 0; x < w; ++x)
                    sums[x] -= sub[x];
            }
            uchar* row = img.scanLine(y);
            for (int x = 0; x < w; ++x)
                row[x] = uchar(sums[x] / win);
        }
    };
    for (int k = 0; k < 3; ++k) {
        horizontal();
        vertical();
    }
}

struct Shadow
{
    QImage image;
    QPointF origin;
};

enum class ShadowKind : quint64
{
    Disc,
    Sector,
    SectorHover,
    Hub,
    HubHover
};

QHash<quint64, Shadow>& shadowCache()
{
    static QHash<quint64, Shadow> cache;
    return cache;
}

// A soft shadow of the shape `makeShape()` gives (ring frame coordinates) in
// `color`, made once and kept for the life of the process: blurring on every
// frame would cost far more than the frame budget. `variant` tells shadows of
// one kind apart (theme, sector, colour); a cached shadow is found without
// building its shape or any string.
template<class MakeShape>
const Shadow& shadowFor(ShadowKind kind, quint32 variant, MakeShape makeShape, const QColor& color,
                        double radius)
{
    QHash<quint64, Shadow>& cache = shadowCache();
    const quint64 key = (quint64(kind) << 32) | variant;
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    const QPainterPath shape = makeShape();
    const int blur = std::max(1, int(std::lround(radius / 2.0)));
    const int margin = 3 * blur + 2;
    const QRect box = shape.boundingRect().toAlignedRect().adjusted(-margin, -margin, margin, margin);
    QImage mask(box.size(), QImage::Format_Alpha8);
    mask.fill(0);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(-box.topLeft());
        p.fillPath(shape, Qt::black);
    }
    blurAlpha(mask, blur);
    const double a = color.alphaF();
    if (color.red() == 0 && color.green() == 0 && color.blue() == 0) {
        // Black shadows stay one byte a pixel: an alpha-only image draws as black.
        for (int y = 0; y < mask.height(); ++y) {
            uchar* row = mask.scanLine(y);
            for (int x = 0; x < mask.width(); ++x)
                row[x] = uchar(std::lround(row[x] * a));
        }
        return *cache.insert(key, Shadow{mask, box.topLeft()});
    }
    QImage out(box.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < out.height(); ++y) {
        const uchar* src = mask.constScanLine(y);
        QRgb* dst = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const double alpha = src[x] / 255.0 * a;
            dst[x] = qRgba(int(color.red() * alpha), int(color.green() * alpha), int(color.blue() * alpha),
                           int(alpha * 255));
        }
    }
    return *cache.insert(key, Shadow{out, box.topLeft()});
}

void drawShadow(QPainter& p, const Shadow& s, const QPointF& offset, double opacity)
{
    if (opacity <= 0.001)
        return;
    const double old = p.opacity();
    p.setOpacity(old * std::min(1.0, opacity));
    p.drawImage(s.origin + offset, s.image);
    p.setOpacity(old);
}

QPainterPath circlePath(double radius)
{
    QPainterPath path;
    path.addEllipse(QPointF(kRingCentre, kRingCentre), radius, radius);
    return path;
}

const Shadow& discShadow(bool dark)
{
    return shadowFor(
        ShadowKind::Disc, dark, [] { return circlePath(kDiscRadius); }, paletteFor(dark).discShadow, 24);
}

// A sector's wedge in the ring frame.
QPainterPath sectorWedge(int index, double outerRadius)
{
    const QRectF frame(0, 0, WhirloHUDView::kRingDiameter, WhirloHUDView::kRingDiameter);
    return RadialSectorShape{index, RadialGeometry::innerRadius, outerRadius, kGap}.path(frame);
}

const Shadow& sectorShadow(int index)
{
    return shadowFor(
        ShadowKind::Sector, quint32(index),
        [index] { return sectorWedge(index, RadialGeometry::outerRadius); }, kSectorShadow, 2);
}

const Shadow& sectorHoverShadow(int index)
{
    return shadowFor(
        ShadowKind::SectorHover, quint32(index),
        [index] { return sectorWedge(index, RadialGeometry::hoveredOuterRadius); }, kHoverShadow, 18);
}

const Shadow& hubShadow(bool dark)
{
    return shadowFor(
        ShadowKind::Hub, dark, [] { return circlePath(RadialGeometry::centerHubRadius); },
        paletteFor(dark).hubShadow, 6);
}

const Shadow& hubHoverShadow()
{
    QColor accent = accentColor();
    accent.setAlphaF(0.3f);
    return shadowFor(
        ShadowKind::HubHover, accent.rgba(), [] { return circlePath(RadialGeometry::centerHubRadius); },
        accent, 10);
}

QLinearGradient diagonal(const QRectF& frame, const QColor& from, const QColor& to)
{
    QLinearGradient g(frame.topLeft(), frame.bottomRight());
    g.setColorAt(0, from);
    g.setColorAt(1, to);
    return g;
}

// The interface font ("system rounded": the desktop's sans) at a size given in
// pixels, which is what the ring's point sizes mean on screen.
QFont uiFont(const QWidget* w, double px, QFont::Weight weight)
{
    QFont f = QApplication::font();
    f.setPointSizeF(px * 72.0 / std::max(1, w->logicalDpiY()));
    f.setWeight(weight);
    return f;
}

// A radius-2 shadow behind text: a few faint copies around it are enough at
// this size and cost nothing to draw.
void drawTextWithShadow(QPainter& p, const QRectF& rect, int flags, const QString& text, const QColor& color,
                        const QColor& shadow)
{
    if (shadow.alpha() > 0) {
        QColor s = shadow;
        s.setAlphaF(shadow.alphaF() * 0.35f);
        p.setPen(s);
        for (const QPointF d : {QPointF(0.8, 0), QPointF(-0.8, 0), QPointF(0, 0.8), QPointF(0, -0.8)})
            p.drawText(rect.translated(d), flags, text);
    }
    p.setPen(color);
    p.drawText(rect, flags, text);
}

} // namespace

WhirloHUDView::WhirloHUDView(const RingProfile& profile, const std::optional<RunningApp>& targetApp,
                             std::function<void()> onDismiss, QWidget* parent)
    : WhirloHUDView(profile, HudServices::shared(targetApp), std::move(onDismiss), parent)
{}

WhirloHUDView::WhirloHUDView(const RingProfile& profile, HudServices services,
                             std::function<void()> onDismiss, QWidget* parent)
    : QWidget(parent)
    , m_controller(profile, std::move(services))
    , m_onDismiss(std::move(onDismiss))
{
    init();
}

void WhirloHUDView::init()
{
    setFixedSize(kTotalSize, kTotalSize);
    setMouseTracking(true);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName(L10n::string(QStringLiteral("hud.close"), QStringLiteral("关闭")));
    m_dark = resolveDarkMode(
        AppSettings::value(QStringLiteral("rondix_theme_mode"), QStringLiteral("system")).toString(),
        systemIsDark());
    connect(&SystemAppearance::shared(), &SystemAppearance::isDarkChanged, this, &WhirloHUDView::refreshTheme);
    connect(&AppSettings::notifier(), &AppSettingsNotifier::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String("rondix_theme_mode"))
            refreshTheme();
    });
    for (int i = 0; i < 8; ++i) {
        m_sectorHover[i] = AnimatedValue(0.0, 0.18, 0.68);
        m_sectorPress[i] = AnimatedValue(0.0, 0.18, 0.68);
        m_contentHover[i] = AnimatedValue(0.0, 0.18, 0.7);
    }
    m_gauge.jumpTo(m_controller.gaugeFraction());

    m_frameTimer.setInterval(16);
    m_frameTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_frameTimer, &QTimer::timeout, this, &WhirloHUDView::tick);
    m_clock.start();

    connect(&m_controller, &HudController::changed, this, &WhirloHUDView::syncTargets);
    connect(&m_controller, &HudController::dismissRequested, this, &WhirloHUDView::startDismiss);
    // Titles are looked up per language: redraw when it switches.
    connect(&L10n::shared(), &L10n::languageChanged, this, &WhirloHUDView::requestFrame);
}

void WhirloHUDView::refreshTheme()
{
    const bool dark = resolveDarkMode(
        AppSettings::value(QStringLiteral("rondix_theme_mode"), QStringLiteral("system")).toString(),
        systemIsDark());
    if (dark == m_dark)
        return;
    m_dark = dark;
    update();
}

bool WhirloHUDView::resolveDarkMode(const QString& themeMode, bool systemDark)
{
    return SystemAppearance::resolveDark(themeMode, systemDark);
}

bool WhirloHUDView::systemIsDark()
{
    return SystemAppearance::shared().isDark();
}

QFont WhirloHUDView::titleFont(bool hovered) const
{
    return uiFont(this, hovered ? 10.5 : 9.5, hovered ? QFont::Bold : QFont::Medium);
}

void WhirloHUDView::warmUp()
{
    // Blurred shadows and the fonts' first use cost tens of milliseconds once;
    // paying that before the first summon keeps the ring's first frames smooth.
    for (bool dark : {true, false}) {
        discShadow(dark);
        hubShadow(dark);
    }
    hubHoverShadow();
    for (int i = 0; i < RadialGeometry::sectorCount; ++i) {
        sectorShadow(i);
        sectorHoverShadow(i);
    }
    QImage scratch(64, 32, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&scratch);
    for (QFont::Weight w : {QFont::Medium, QFont::Bold}) {
        QFont f = QApplication::font();
        f.setWeight(w);
        p.setFont(f);
        p.drawText(QPointF(0, 20), QStringLiteral("Ag%"));
    }
    ActionIconView::paintSymbol(p, QRectF(0, 0, 24, 24), QStringLiteral("xmark"), Qt::white);
}

double WhirloHUDView::now() const
{
    return m_clock.nsecsElapsed() / 1e9;
}

void WhirloHUDView::appear()
{
    m_scale.springTo(1.0);
    m_opacity.springTo(1.0);
    m_controller.appear();
    ensureTicking();
}

void WhirloHUDView::setBackdrop(const QPixmap& backdrop)
{
    m_backdrop = backdrop;
    requestFrame();
}

void WhirloHUDView::seedPointer(const QPointF& localPos)
{
    // The pointer is over the ring, so leaving it counts. Hover waits for a real
    // move: a click right after the summon must not run whatever sector the
    // pointer happens to sit on (the ring may have been clamped or centred).
    m_pointerSeen = true;
    m_restingPointer = localPos;
}

void WhirloHUDView::syncTargets()
{
    const auto hovered = m_controller.hoveredSectorIndex();
    for (int i = 0; i < 8; ++i) {
        const bool h = hovered == i;
        m_sectorHover[i].springTo(h ? 1.0 : 0.0);
        m_contentHover[i].springTo(h ? 1.0 : 0.0);
        m_sectorPress[i].springTo(h && m_controller.isMouseDown() ? 1.0 : 0.0);
    }
    m_hubHover.springTo(m_controller.isHoveringCenter() ? 1.0 : 0.0);
    m_hubVolume.springTo(m_controller.isVolumeHovered() ? 1.0 : 0.0);
    m_gauge.easeTo(m_controller.gaugeFraction(), 0.12, QEasingCurve::InOutQuad, now());
    ensureTicking();
    requestFrame();
}

void WhirloHUDView::startDismiss()
{
    // The controller asks again on every move outside the ring; one fade and
    // one call at its end are enough.
    if (m_dismissing)
        return;
    m_dismissing = true;
    const double t = now();
    m_scale.easeTo(0.85, kFadeDuration, QEasingCurve::OutQuad, t);
    m_opacity.easeTo(0.0, kFadeDuration, QEasingCurve::OutQuad, t);
    ensureTicking();
    // The panel ignores the call from a view it no longer hosts.
    QTimer::singleShot(int(kFadeDuration * 1000), this, [this] {
        if (m_onDismiss)
            m_onDismiss();
    });
}

void WhirloHUDView::requestFrame()
{
    update();
    Q_EMIT frameRequested();
}

void WhirloHUDView::ensureTicking()
{
    if (!m_frameTimer.isActive())
        m_frameTimer.start();
}

void WhirloHUDView::tick()
{
    const double t = now();
    bool moving = false;
    for (AnimatedValue* v : {&m_scale, &m_opacity, &m_hubHover, &m_hubVolume, &m_gauge})
        moving |= v->advance(t);
    for (int i = 0; i < 8; ++i) {
        moving |= m_sectorHover[i].advance(t);
        moving |= m_contentHover[i].advance(t);
        moving |= m_sectorPress[i].advance(t);
    }
    if (!moving)
        m_frameTimer.stop(); // idle: no wake-ups until the next input
    requestFrame();
}

void WhirloHUDView::finishAnimations()
{
    auto settle = [](AnimatedValue& v) { v.jumpTo(v.target()); };
    for (AnimatedValue* v : {&m_scale, &m_opacity, &m_hubHover, &m_hubVolume, &m_gauge})
        settle(*v);
    for (int i = 0; i < 8; ++i) {
        settle(m_sectorHover[i]);
        settle(m_contentHover[i]);
        settle(m_sectorPress[i]);
    }
    m_frameTimer.stop();
    requestFrame();
}

QPixmap WhirloHUDView::appIcon(const IconInfo& icon)
{
    // Twice the largest drawn size (26), so it stays sharp when scaled.
    constexpr int kLoadedSize = 52;
    const QString path = icon.appPath().value_or(QString());
    auto it = m_appIcons.find(path);
    if (it == m_appIcons.end())
        it = m_appIcons.insert(
            path, AppIconCache::loadAppIcon(Platform::instance().desktopEntries, path, kLoadedSize));
    return *it;
}

void WhirloHUDView::mouseMoveEvent(QMouseEvent* event)
{
    m_pointerSeen = true;
    if (m_restingPointer) {
        // Qt reports a move to where a press happens when it has not seen the
        // pointer there yet; the pointer has not moved since the ring appeared.
        if (QLineF(*m_restingPointer, event->position()).length() < 1.0)
            return;
        m_restingPointer.reset();
    }
    m_controller.handlePointerMove(event->position(), kTotalSize);
}

void WhirloHUDView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_controller.handlePointerPress(event->position(), kTotalSize);
}

void WhirloHUDView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_controller.handlePointerRelease(event->position(), kTotalSize);
}

void WhirloHUDView::wheelEvent(QWheelEvent* event)
{
    const auto scroll = HudController::wheelScroll(event->pixelDelta(), event->angleDelta(),
                                                   event->modifiers().testFlag(Qt::AltModifier));
    if (scroll)
        m_controller.handleScrollWheel(scroll->delta, scroll->hasPrecise);
    event->accept();
}

void WhirloHUDView::enterEvent(QEnterEvent*)
{
    m_pointerSeen = true;
}

void WhirloHUDView::leaveEvent(QEvent*)
{
    // Mapping the window away from the pointer also sends a leave; only a
    // pointer that was over the ring can leave it.
    if (m_pointerSeen)
        m_controller.handlePointerExit();
}

void WhirloHUDView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    if (m_backdrop.isNull())
        p.fillRect(rect(), Qt::transparent);
    else
        p.drawPixmap(rect(), m_backdrop);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);

    const double opacity = std::clamp(m_opacity.value(), 0.0, 1.0);
    if (opacity > 0.002) {
        p.translate(kRingOffset, kRingOffset);
        p.setOpacity(opacity);
        const double s = m_scale.value();
        p.translate(kRingCentre, kRingCentre);
        p.scale(s, s);
        p.translate(-kRingCentre, -kRingCentre);
        paintDisc(p);
        for (int i = 0; i < 8; ++i)
            paintSector(p, i);
        paintHub(p);
    }
    p.end();
    if (!m_painted) {
        m_painted = true;
        Q_EMIT painted();
    }
}

void WhirloHUDView::paintDisc(QPainter& p)
{
    const HudPalette& c = paletteFor(m_dark);
    const QPointF centre(kRingCentre, kRingCentre);
    const QRectF disc(centre - QPointF(kDiscRadius, kDiscRadius), QSizeF(2 * kDiscRadius, 2 * kDiscRadius));
    drawShadow(p, discShadow(m_dark), QPointF(0, 8), 1);

    QRadialGradient fill(centre, 144);
    fill.setColorAt(20.0 / 144.0, c.discFrom);
    fill.setColorAt(0, c.discFrom);
    fill.setColorAt(1, c.discTo);
    p.setPen(QPen(QBrush(diagonal(disc, c.discStrokeFrom, c.discStrokeTo)), 1.0));
    p.setBrush(fill);
    p.drawEllipse(disc.adjusted(0.5, 0.5, -0.5, -0.5));
}

void WhirloHUDView::paintSector(QPainter& p, int index)
{
    const HudPalette& c = paletteFor(m_dark);
    const double t = m_sectorHover[index].value();
    const double tc = std::clamp(t, 0.0, 1.0);
    const QRectF frame(0, 0, kRingDiameter, kRingDiameter);

    p.save();
    const double press = 1.0 - 0.02 * m_sectorPress[index].value();
    if (press != 1.0) {
        p.translate(kRingCentre, kRingCentre);
        p.scale(press, press);
        p.translate(-kRingCentre, -kRingCentre);
    }

    // Shadows are drawn from cached masks of the resting and the hovered wedge.
    drawShadow(p, sectorShadow(index), QPointF(0, 1), 1.0 - tc);
    drawShadow(p, sectorHoverShadow(index), QPointF(0, 0), tc);

    const double outer =
        RadialGeometry::outerRadius + (RadialGeometry::hoveredOuterRadius - RadialGeometry::outerRadius) * t;
    const QPainterPath wedge = sectorWedge(index, outer);
    p.setBrush(diagonal(frame, mix(c.sectorFrom, kHoverFrom, tc), mix(c.sectorTo, kHoverTo, tc)));
    QPen border(
        QBrush(diagonal(frame, mix(c.borderFrom, kHoverBorder, tc), mix(c.borderTo, kHoverBorder, tc))),
        0.8 + 1.2 * tc, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    border.setMiterLimit(10);
    p.setPen(border);
    p.drawPath(wedge);
    p.restore();

    const std::optional<ActionSlot> slot = m_controller.profile().slotAt(index);
    if (slot && !slot->isEmpty())
        paintSectorContent(p, index, *slot);
}

void WhirloHUDView::paintSectorContent(QPainter& p, int index, const ActionSlot& slot)
{
    const HudPalette& c = paletteFor(m_dark);
    const double t = m_contentHover[index].value();
    const double tc = std::clamp(t, 0.0, 1.0);
    const bool h = m_controller.hoveredSectorIndex() == index;
    const bool enabled = slot.isEnabled && !slot.action.isNone();
    const QColor base = enabled ? c.contentEnabled : c.contentDisabled;
    const QColor tint = mix(base, Qt::white, tc);

    const double r = 92.0 + 4.0 * t;
    const QPointF centre = QPointF(kRingCentre, kRingCentre) + RadialGeometry::sectorCenterPoint(index, r);
    const double iconSize = 22.0 + 4.0 * tc;
    const QFont font = uiFont(this, 9.5 + 1.0 * tc, h ? QFont::Bold : QFont::Medium);
    const QFontMetricsF fm(font);
    const double textHeight = fm.height();
    const double stackHeight = iconSize + 3.0 + textHeight;

    p.save();
    const double s = 1.0 + 0.08 * t;
    p.translate(centre);
    p.scale(s, s);
    const double top = -stackHeight / 2;
    const QRectF iconRect(-iconSize / 2, top, iconSize, iconSize);
    const QColor iconShadow = mix(c.iconShadow, kHoverIconShadow, tc);
    if (slot.icon.isApp()) {
        ActionIconView::paintWithAppIcon(p, iconRect, slot.icon, tint, appIcon(slot.icon));
    } else {
        // A symbol's shadow is the glyph again in a dark tint; an image ignores
        // the tint, so copies of it around itself would only smear it.
        if (iconShadow.alpha() > 0 && slot.icon.sfSymbolName()) {
            QColor sh = iconShadow;
            sh.setAlphaF(iconShadow.alphaF() * 0.35f);
            for (const QPointF d : {QPointF(0.8, 0), QPointF(-0.8, 0), QPointF(0, 0.8), QPointF(0, -0.8)})
                ActionIconView::paint(p, iconRect.translated(d), slot.icon, sh);
        }
        ActionIconView::paint(p, iconRect, slot.icon, tint);
    }
    p.setFont(font);
    const QString title = fm.elidedText(slot.displayTitle(), Qt::ElideRight, kTitleWidth);
    const QRectF textRect(-kTitleWidth / 2 - 10, top + iconSize + 3.0, kTitleWidth + 20, textHeight);
    drawTextWithShadow(p, textRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, title, tint,
                       mix(c.titleShadow, kHoverTitleShadow, tc));
    p.restore();
}

void WhirloHUDView::paintHub(QPainter& p)
{
    const HudPalette& c = paletteFor(m_dark);
    const double h = std::clamp(m_hubHover.value(), 0.0, 1.0);
    const double v = std::clamp(m_hubVolume.value(), 0.0, 1.0);
    const double radius = RadialGeometry::centerHubRadius;
    const QPointF centre(kRingCentre, kRingCentre);
    const QRectF hub(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius));
    drawShadow(p, hubShadow(m_dark), QPointF(0, 2), 1 - h);
    drawShadow(p, hubHoverShadow(), QPointF(0, 2), h);

    p.setBrush(diagonal(hub, mix(c.hubFrom, c.hubHoverFrom, h), mix(c.hubTo, c.hubHoverTo, h)));
    p.setPen(QPen(QBrush(diagonal(hub, mix(c.hubStrokeFrom, c.hubStrokeHoverFrom, h),
                                  mix(c.hubStrokeTo, c.hubStrokeHoverTo, h))),
                  1.0 + 0.6 * h));
    p.drawEllipse(hub);

    if (v < 0.999) {
        // The close mark: grows and turns a quarter while the hub is hovered.
        p.save();
        p.setOpacity(p.opacity() * (1.0 - v));
        p.translate(centre);
        p.rotate(90.0 * m_hubHover.value());
        const double s = 1.0 + 0.15 * m_hubHover.value();
        p.scale(s, s);
        const QRectF box(-9.5, -9.5, 19, 19); // a 17 pt bold mark is about 13 px across
        const QColor mark = mix(c.xmark, c.xmarkHover, h);
        if (c.xmarkShadow.alpha() > 0) {
            QColor sh = c.xmarkShadow;
            sh.setAlphaF(c.xmarkShadow.alphaF() * 0.35f);
            for (const QPointF d : {QPointF(0.8, 0), QPointF(-0.8, 0), QPointF(0, 0.8), QPointF(0, -0.8)})
                ActionIconView::paintSymbol(p, box.translated(d), QStringLiteral("xmark"), sh);
        }
        ActionIconView::paintSymbol(p, box, QStringLiteral("xmark"), mark);
        p.restore();
    }
    if (v > 0.001)
        paintGauge(p, v);
}

void WhirloHUDView::paintGauge(QPainter& p, double opacity)
{
    const HudPalette& c = paletteFor(m_dark);
    const bool muted = m_controller.liveIsMuted();
    const QPointF centre(kRingCentre, kRingCentre);
    const double r = kGaugeSide / 2;
    const QRectF box(centre - QPointF(r, r), QSizeF(kGaugeSide, kGaugeSide));

    p.save();
    p.setOpacity(p.opacity() * opacity);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(c.gaugeTrack, 3.2));
    p.drawEllipse(box);

    const double f = std::clamp(m_gauge.value(), 0.0, 1.0);
    if (f > 0.0005) {
        QPainterPath arc;
        arc.arcMoveTo(box, 90);
        arc.arcTo(box, 90, -360.0 * f); // from the top, clockwise
        QPen level(QBrush(diagonal(box, rgb(0.2, 0.75, 1.0), rgb(0.0, 0.45, 0.95))), 3.2, Qt::SolidLine,
                   Qt::RoundCap, Qt::RoundJoin);
        p.setPen(level);
        p.drawPath(arc);
    }

    const QFont textFont = uiFont(this, 10.5, QFont::Bold);
    const double symbolH = 15, textH = QFontMetricsF(textFont).height();
    const double top = centre.y() - (symbolH + 2 + textH) / 2;
    const QRectF symbolRect(centre.x() - 12, top, 24, symbolH);
    const QColor symbolColor = muted ? kMutedColor : c.gaugeSymbol;
    if (!muted && c.gaugeSymbolShadow.alpha() > 0) {
        QColor sh = c.gaugeSymbolShadow;
        sh.setAlphaF(c.gaugeSymbolShadow.alphaF() * 0.5f);
        ActionIconView::paintSymbol(p, symbolRect.translated(0, 0.6), m_controller.centerSpeakerIconName(),
                                    sh);
    }
    ActionIconView::paintSymbol(p, symbolRect, m_controller.centerSpeakerIconName(), symbolColor);
    const QString text = muted ? L10n::string(QStringLiteral("action.sys.mute_on"), QStringLiteral("静音"))
                               : m_controller.gaugePercentText();
    p.setFont(textFont);
    p.setPen(muted ? kMutedColor : c.gaugeText);
    p.drawText(QRectF(centre.x() - r, top + symbolH + 2, 2 * r, textH), Qt::AlignHCenter | Qt::AlignTop,
               text);
    p.restore();
}
