#include "settings/SettingsStyle.h"

#include "common/SymbolGlyphs.h"
#include "l10n/L10n.h"

#include <QEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace SettingsStyle {

QString text(const char* key, const char* fallback)
{
    return L10n::string(QString::fromLatin1(key),
                        fallback ? std::optional<QString>(QString::fromUtf8(fallback)) : std::nullopt);
}

QLabel* symbolLabel(const QString& symbol, int pixelSize, const QColor& colour, QWidget* parent)
{
    auto* label = new QLabel(SymbolGlyphs::materialLigature(symbol), parent);
    QFont font(SymbolGlyphs::loadedFontFamily());
    font.setPixelSize(pixelSize);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setAccessibleName(QString());
    label->setFocusPolicy(Qt::NoFocus);
    label->setFixedSize(pixelSize + 4, pixelSize + 4);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QIcon symbolIcon(const QString& symbol, const QColor& colour)
{
    return SymbolGlyphs::icon(symbol, colour);
}

QFont sizedFont(const QFont& base, double pixelSize, QFont::Weight weight)
{
    QFont font = base;
    // The sizes are points of the original layout; a point there is a pixel here
    // at 96 dpi, scaled up a little for legibility.
    font.setPixelSize(qRound(pixelSize * 1.15));
    font.setWeight(weight);
    return font;
}

void setFontSize(QWidget* widget, double pixelSize, QFont::Weight weight)
{
    widget->setFont(sizedFont(widget->font(), pixelSize, weight));
}

void setSecondary(QLabel* label)
{
    // A role, not a colour: the text follows a change between light and dark.
    label->setForegroundRole(QPalette::PlaceholderText);
}

QColor accentColour(const QWidget* widget)
{
    return widget->palette().color(QPalette::Highlight);
}

QColor orange()
{
    return QColor(255, 149, 0);
}

QColor green()
{
    return QColor(52, 199, 89);
}


RoundedPanel::RoundedPanel(QWidget* parent, double radius)
    : QWidget(parent)
    , m_radius(radius)
{}

void RoundedPanel::setFill(const QColor& fill)
{
    m_fill = fill;
    update();
}

void RoundedPanel::setFillRole(QPalette::ColorRole role)
{
    m_fillRole = role;
    update();
}

void RoundedPanel::setBorder(const QColor& border, double width)
{
    m_border = border;
    m_borderWidth = width;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double inset = m_borderWidth / 2;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), m_radius, m_radius);
    if (m_fillRole != QPalette::NoRole)
        painter.fillPath(path, palette().color(m_fillRole));
    if (m_fill.isValid())
        painter.fillPath(path, m_fill);
    if (m_border.isValid() && m_borderWidth > 0) {
        painter.setPen(QPen(m_border, m_borderWidth));
        painter.drawPath(path);
    }
}

LinkButton::LinkButton(const QString& text, const QString& symbol, QWidget* parent)
    : QPushButton(text, parent)
    , m_symbol(symbol)
{
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    applyLinkColour();
}

void LinkButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !m_applying)
        applyLinkColour();
}

void LinkButton::applyLinkColour()
{
    m_applying = true;
    QPalette p = palette();
    const QColor link = p.color(QPalette::Link);
    if (p.color(QPalette::ButtonText) != link) {
        p.setColor(QPalette::ButtonText, link);
        setPalette(p);
    }
    if (!m_symbol.isEmpty())
        setIcon(symbolIcon(m_symbol, link));
    m_applying = false;
}

} // namespace SettingsStyle
