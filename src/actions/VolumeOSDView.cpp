#include "actions/VolumeOSDView.h"

#include "actions/VolumeDisplay.h"
#include "actions/VolumeOSDManager.h"
#include "common/AppSettings.h"
#include "common/SymbolGlyphs.h"
#include "l10n/L10n.h"
#include "platform/freedesktop/SystemAppearance.h"

#include <cmath>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {

constexpr QSizeF kCardSize{190, 180};
constexpr double kCornerRadius = 22;
constexpr double kStackSpacing = 14;
constexpr double kTopPadding = 4;
constexpr double kIconFrame = 58;
constexpr double kMutedTextFrame = 24;
constexpr double kSegmentWidth = 6.8;
constexpr double kSegmentHeight = 9;
constexpr double kSegmentSpacing = 2.2;
constexpr double kSegmentRowPadding = 4;
constexpr double kPercentGap = 8;
constexpr double kPercentHeight = 16;

QColor white(double opacity)
{
    QColor c(Qt::white);
    c.setAlphaF(float(opacity));
    return c;
}

QColor grey(double level, double opacity)
{
    const int v = int(std::lround(level * 255));
    QColor c(v, v, v);
    c.setAlphaF(float(opacity));
    return c;
}

QColor black(double opacity)
{
    return grey(0, opacity);
}

// The card's colours: the dark card on a dark desktop (or the "dark" theme),
// a light card otherwise.
struct CardColours
{
    QColor fillTop, fillBottom, strokeTop, strokeBottom, shadow, icon, iconShadow, text, segmentOn, segmentOff,
        percent;
};

CardColours cardColours(bool dark)
{
    if (dark)
        return {grey(0.16, 0.88), grey(0.10, 0.92), white(0.24),      white(0.06), black(0.4 / 6),
                QColor(Qt::white), black(0.3),    white(0.85), white(0.95), white(0.2),  white(0.7)};
    return {grey(0.98, 0.92), grey(0.93, 0.94), black(0.10),      black(0.04), black(0.18 / 6),
            grey(0.18, 1.0),  white(0.5),     black(0.8),  black(0.8),  black(0.14), black(0.55)};
}

QPainterPath roundedCard(const QRectF& r)
{
    QPainterPath path;
    path.addRoundedRect(r, kCornerRadius, kCornerRadius);
    return path;
}

} // namespace

VolumeOSDView::VolumeOSDView(VolumeOSDManager* manager, bool translucent, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint |
                          Qt::WindowTransparentForInput)
    , m_manager(manager)
    , m_animation(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Rondix volume"));
    resize(VolumeOSDManager::kPanelWidth, VolumeOSDManager::kPanelHeight);
    if (!translucent) {
        // Without a compositor alpha is ignored: cut the window to the card.
        const QRectF card((width() - kCardSize.width()) / 2, (height() - kCardSize.height()) / 2,
                          kCardSize.width(), kCardSize.height());
        setMask(QRegion(roundedCard(card).toFillPolygon().toPolygon()));
    }

    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_progress = v.toDouble();
        update();
    });
    connect(manager, &VolumeOSDManager::isVisibleChanged, this,
            [this] { animateTo(m_manager->isVisible()); });
    refreshTheme();
    connect(&SystemAppearance::shared(), &SystemAppearance::isDarkChanged, this, &VolumeOSDView::refreshTheme);
    connect(&AppSettings::notifier(), &AppSettingsNotifier::valueChanged, this, [this](const QString& key) {
        if (key == QLatin1String("rondix_theme_mode"))
            refreshTheme();
    });
    connect(manager, &VolumeOSDManager::volumeChanged, this, qOverload<>(&QWidget::update));
    connect(manager, &VolumeOSDManager::isMutedChanged, this, qOverload<>(&QWidget::update));
    connect(&L10n::shared(), &L10n::languageChanged, this, qOverload<>(&QWidget::update));
    if (manager->isVisible())
        animateTo(true);
}

void VolumeOSDView::animateTo(bool visible)
{
    m_animation->stop();
    m_animation->setStartValue(m_progress);
    m_animation->setEndValue(visible ? 1.0 : 0.0);
    if (visible) {
        // A slightly overshooting curve stands in for the spring (damping 0.75).
        QEasingCurve spring(QEasingCurve::OutBack);
        spring.setOvershoot(1.0);
        m_animation->setEasingCurve(spring);
        m_animation->setDuration(m_manager->timings().appearMs);
    } else {
        m_animation->setEasingCurve(QEasingCurve::OutQuad);
        m_animation->setDuration(m_manager->timings().fadeMs);
    }
    m_animation->start();
}

QString VolumeOSDView::speakerIconName(bool muted, float volume)
{
    return VolumeDisplay::speakerSymbolName(volume, muted);
}

QString VolumeOSDView::speakerIconName() const
{
    return speakerIconName(m_manager->isMuted(), m_manager->volume());
}

int VolumeOSDView::litSegments(float volume)
{
    int lit = 0;
    for (int i = 0; i < kSegments; ++i)
        if (float(i) * 0.0625f < volume)
            ++lit;
    return lit;
}

QString VolumeOSDView::percentText(float volume)
{
    return VolumeDisplay::percentText(volume);
}

void VolumeOSDView::refreshTheme()
{
    const bool dark = SystemAppearance::shared().themeIsDark();
    if (dark == m_dark)
        return;
    m_dark = dark;
    update();
}

double VolumeOSDView::cardScale(double progress)
{
    return 0.88 + 0.12 * progress;
}

void VolumeOSDView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillRect(rect(), Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (m_progress <= 0.0)
        return;

    const QRectF card((width() - kCardSize.width()) / 2, (height() - kCardSize.height()) / 2,
                      kCardSize.width(), kCardSize.height());
    const double scale = cardScale(m_progress);
    p.setOpacity(std::clamp(m_progress, 0.0, 1.0));
    p.translate(card.center());
    p.scale(scale, scale);
    p.translate(-card.center());

    const CardColours c = cardColours(m_dark);
    // Soft shadow below the card (black 0.4, offset 8), as far as the window reaches.
    for (int i = 6; i >= 1; --i) {
        const double grow = i * 1.5;
        p.setPen(Qt::NoPen);
        p.setBrush(c.shadow);
        p.drawPath(roundedCard(card.translated(0, 8 * i / 6.0).adjusted(-grow, -grow, grow, grow)));
    }

    const QPainterPath shape = roundedCard(card);
    QLinearGradient fill(card.topLeft(), card.bottomRight());
    fill.setColorAt(0, c.fillTop);
    fill.setColorAt(1, c.fillBottom);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillPath(shape, fill);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QLinearGradient stroke(card.topLeft(), card.bottomRight());
    stroke.setColorAt(0, c.strokeTop);
    stroke.setColorAt(1, c.strokeBottom);
    p.setPen(QPen(QBrush(stroke), 1.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);

    const bool muted = m_manager->isMuted();
    const float volume = m_manager->volume();
    const double belowHeight =
        muted ? kMutedTextFrame : kSegmentHeight + 2 * kSegmentRowPadding + kPercentGap + kPercentHeight;
    const double stackHeight = kTopPadding + kIconFrame + kStackSpacing + belowHeight;
    double y = card.top() + (card.height() - stackHeight) / 2 + kTopPadding;

    // Speaker symbol with its small shadow.
    QFont iconFont(SymbolGlyphs::loadedFontFamily());
    iconFont.setPixelSize(52);
    p.setFont(iconFont);
    const QRectF iconRect(card.left(), y, card.width(), kIconFrame);
    const QString glyph = SymbolGlyphs::materialLigature(speakerIconName(muted, volume));
    p.setPen(c.iconShadow);
    p.drawText(iconRect.translated(0, 1), Qt::AlignCenter, glyph);
    p.setPen(muted ? QColor(255, 149, 0) : c.icon);
    p.drawText(iconRect, Qt::AlignCenter, glyph);
    y += kIconFrame + kStackSpacing;

    QFont textFont = font();
    if (muted) {
        textFont.setPixelSize(15);
        textFont.setBold(true);
        p.setFont(textFont);
        p.setPen(c.text);
        p.drawText(QRectF(card.left(), y, card.width(), kMutedTextFrame), Qt::AlignCenter,
                   L10n::string(QStringLiteral("action.sys.mute_on"), QStringLiteral("静音")));
        return;
    }

    const int lit = litSegments(volume);
    const double rowWidth = kSegments * kSegmentWidth + (kSegments - 1) * kSegmentSpacing;
    double x = card.center().x() - rowWidth / 2;
    const double segTop = y + kSegmentRowPadding;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < kSegments; ++i) {
        p.setBrush(i < lit ? c.segmentOn : c.segmentOff);
        p.drawRoundedRect(QRectF(x, segTop, kSegmentWidth, kSegmentHeight), 1.5, 1.5);
        x += kSegmentWidth + kSegmentSpacing;
    }
    y += kSegmentHeight + 2 * kSegmentRowPadding + kPercentGap;

    textFont.setPixelSize(12);
    textFont.setWeight(QFont::Medium);
    p.setFont(textFont);
    p.setPen(c.percent);
    p.drawText(QRectF(card.left(), y, card.width(), kPercentHeight), Qt::AlignCenter, percentText(volume));
}
