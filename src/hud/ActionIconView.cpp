#include "hud/ActionIconView.h"

#include "common/SymbolGlyphs.h"
#include "hud/AppIconCache.h"
#include "platform/Platform.h"

#include <QIcon>
#include <QPainter>
#include <QPainterPath>

namespace {

void drawPixmapFitted(QPainter& painter, const QRectF& square, const QPixmap& pm, double cornerRadius)
{
    QSizeF s = pm.deviceIndependentSize();
    s.scale(square.size(), Qt::KeepAspectRatio);
    const QRectF target(square.center() - QPointF(s.width() / 2, s.height() / 2), s);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setRenderHint(QPainter::Antialiasing);
    if (cornerRadius > 0) {
        QPainterPath clip;
        clip.addRoundedRect(target, cornerRadius, cornerRadius);
        painter.setClipPath(clip, Qt::IntersectClip);
    }
    painter.drawPixmap(target, pm, pm.rect());
    painter.restore();
}

} // namespace

ActionIconView::ActionIconView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

ActionIconView::ActionIconView(const IconInfo& icon, double size, const QColor& tint, QWidget* parent)
    : QWidget(parent)
    , m_icon(icon)
    , m_size(size)
    , m_tint(tint)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void ActionIconView::setIcon(const IconInfo& icon)
{
    if (icon == m_icon)
        return;
    m_icon = icon;
    update();
}

void ActionIconView::setIconSize(double size)
{
    m_size = size;
    updateGeometry();
    update();
}

void ActionIconView::setTintColor(const QColor& tint)
{
    m_tint = tint;
    update();
}

QSize ActionIconView::sizeHint() const
{
    const int s = qCeil(m_size);
    return {s, s};
}

void ActionIconView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const double side = qMin<double>(m_size, qMin(width(), height()));
    const QRectF square(QPointF((width() - side) / 2, (height() - side) / 2), QSizeF(side, side));
    paint(p, square, m_icon, m_tint);
}

QFont ActionIconView::symbolFont(double pixelSize)
{
    QFont f(SymbolGlyphs::loadedFontFamily());
    f.setStyleStrategy(QFont::NoFontMerging);
    f.setPixelSize(qMax(1, qRound(pixelSize)));
    return f;
}

void ActionIconView::paintSymbol(QPainter& painter, const QRectF& square, const QString& sfSymbolName,
                                 const QColor& tint)
{
    painter.save();
    painter.setRenderHint(QPainter::TextAntialiasing);
    // Material glyphs keep a 2 px margin in their 24 px grid; scaling by 24/20
    // makes the drawing itself fill the square, as a fitted symbol does.
    painter.setFont(symbolFont(std::min(square.width(), square.height()) * 1.2));
    painter.setPen(tint);
    painter.drawText(square, Qt::AlignCenter | Qt::TextDontClip,
                     SymbolGlyphs::materialLigature(sfSymbolName));
    painter.restore();
}

void ActionIconView::paint(QPainter& painter, const QRectF& square, const IconInfo& icon, const QColor& tint)
{
    QPixmap appIcon;
    if (const auto* app = std::get_if<IconInfo::App>(&icon.value)) {
        // Loaded at twice the size so it stays sharp when scaled up.
        appIcon = AppIconCache::loadAppIcon(Platform::instance().desktopEntries, app->path,
                                            qCeil(square.width() * 2));
    }
    paintWithAppIcon(painter, square, icon, tint, appIcon);
}

void ActionIconView::paintWithAppIcon(QPainter& painter, const QRectF& square, const IconInfo& icon,
                                      const QColor& tint, const QPixmap& appIcon)
{
    const double size = square.width();
    if (const auto* symbol = std::get_if<IconInfo::SfSymbol>(&icon.value)) {
        if (symbol->name.isEmpty() || symbol->name == QLatin1String("circle.dashed"))
            return;
        paintSymbol(painter, square, symbol->name, tint);
    } else if (icon.isApp()) {
        const QPixmap& pm = appIcon;
        if (pm.isNull())
            paintSymbol(painter, square, QStringLiteral("app.dashed"), tint);
        else
            drawPixmapFitted(painter, square, pm, size * 0.22);
    } else if (const auto* custom = std::get_if<IconInfo::CustomImage>(&icon.value)) {
        const QIcon themed = custom->name.isEmpty() ? QIcon() : QIcon::fromTheme(custom->name);
        const QPixmap pm = themed.isNull() ? QPixmap() : themed.pixmap(qCeil(size * 2), qCeil(size * 2));
        if (pm.isNull())
            paintSymbol(painter, square, QStringLiteral("questionmark.circle"), tint);
        else
            drawPixmapFitted(painter, square, pm, 0);
    }
}
