#include "settings/AppearanceSelectorView.h"

#include "settings/GeneralSettingsModel.h"
#include "settings/SettingsStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

using SettingsStyle::text;

namespace {
constexpr QSize kThumbnail(80, 50);
constexpr double kThumbnailRadius = 8;
constexpr int kTitleGap = 6;

QColor srgb(double r, double g, double b)
{
    return QColor::fromRgbF(float(r), float(g), float(b));
}
} // namespace

SingleThemeThumbnail::SingleThemeThumbnail(bool isDark, bool isSplit, QWidget* parent)
    : QWidget(parent)
    , m_dark(isDark)
    , m_split(isSplit)
{
    setFixedSize(isSplit ? kThumbnail.width() / 2 : kThumbnail.width(), kThumbnail.height());
}

void SingleThemeThumbnail::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paint(painter, rect(), m_dark, m_split);
}

void SingleThemeThumbnail::paint(QPainter& painter, const QRectF& r, bool isDark, bool isSplit)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient wallpaper(r.topLeft(), r.bottomRight());
    if (isDark) {
        wallpaper.setColorAt(0, srgb(0.14, 0.16, 0.48));
        wallpaper.setColorAt(1, srgb(0.28, 0.2, 0.58));
    } else {
        wallpaper.setColorAt(0, srgb(0.28, 0.36, 0.85));
        wallpaper.setColorAt(1, srgb(0.52, 0.4, 0.88));
    }
    painter.fillRect(r, wallpaper);

    QPainterPath wave;
    wave.moveTo(r.left(), r.top() + r.height() * 0.7);
    wave.quadTo(r.left() + r.width() / 2, r.top() + r.height() * 0.65, r.right(), r.top() + r.height() * 0.5);
    wave.lineTo(r.bottomRight());
    wave.lineTo(r.bottomLeft());
    wave.closeSubpath();
    painter.fillPath(wave, QColor(255, 255, 255, isDark ? 28 : 46));

    // The window: in a half card it hangs off the inner edge.
    const double w = isSplit ? r.width() * 0.9 : r.width() * 0.62;
    const double h = r.height() * 0.56;
    const QRectF window(isSplit ? r.left() + r.width() * 0.22 : r.left() + (r.width() - w) / 2,
                        r.top() + r.height() * 0.2, w, h);
    QPainterPath windowPath;
    windowPath.addRoundedRect(window, 6, 6);
    painter.fillPath(windowPath.translated(0, 1.5), QColor(0, 0, 0, 64));
    painter.fillPath(windowPath, isDark ? srgb(0.11, 0.11, 0.13) : QColor(Qt::white));
    const QColor dots[] = {srgb(1.0, 0.37, 0.34), srgb(1.0, 0.74, 0.18), srgb(0.16, 0.78, 0.24)};
    for (int i = 0; i < 3; ++i) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(dots[i]);
        painter.drawEllipse(QRectF(window.left() + 5 + i * 6, window.top() + 4, 4, 4));
    }
    painter.restore();
}

AppearanceCard::AppearanceCard(const QString& title, const QString& mode, bool isSelected,
                               ThemePreviewType previewType, std::function<void()> onSelect, QWidget* parent)
    : QAbstractButton(parent)
    , m_mode(mode)
    , m_selected(isSelected)
    , m_previewType(previewType)
    , m_onSelect(std::move(onSelect))
    , m_emphasis(isSelected ? 1.0 : 0.0)
{
    setObjectName(QStringLiteral("themeCard_") + mode);
    m_emphasisAnimation.setDuration(150);
    m_emphasisAnimation.setEasingCurve(QEasingCurve::InOutQuad);
    connect(&m_emphasisAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_emphasis = value.toReal();
        update();
    });
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
    setCheckable(true);
    setChecked(isSelected);
    setTitle(title);
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (m_onSelect)
            m_onSelect();
    });
}

void AppearanceCard::setSelected(bool selected)
{
    if (selected != m_selected && !isVisible()) {
        // Nothing to watch: a page being built shows its choice at once.
        m_emphasisAnimation.stop();
        m_emphasis = selected ? 1.0 : 0.0;
    } else if (selected != m_selected) {
        m_emphasisAnimation.stop();
        m_emphasisAnimation.setStartValue(m_emphasis);
        m_emphasisAnimation.setEndValue(selected ? 1.0 : 0.0);
        m_emphasisAnimation.start();
    }
    m_selected = selected;
    // Screen readers hear the choice as a checked state; a click on the
    // chosen card leaves it chosen.
    setChecked(selected);
    update();
}

void AppearanceCard::setTitle(const QString& title)
{
    setText(title);
    setAccessibleName(title);
    updateGeometry();
}

QSize AppearanceCard::sizeHint() const
{
    QFont f = SettingsStyle::sizedFont(font(), 11.5, QFont::DemiBold);
    const QFontMetrics fm(f);
    return {qMax(kThumbnail.width() + 8, fm.horizontalAdvance(text()) + 8),
            kThumbnail.height() + 8 + kTitleGap + fm.height()};
}

void AppearanceCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent = palette().color(QPalette::Highlight);
    const QRectF thumb((width() - kThumbnail.width()) / 2.0, 4, kThumbnail.width(), kThumbnail.height());
    QPainterPath clip;
    clip.addRoundedRect(thumb, kThumbnailRadius, kThumbnailRadius);

    if (m_emphasis > 0) {
        // A soft glow in the accent colour.
        for (int i = 3; i >= 1; --i) {
            QColor glow = accent;
            glow.setAlphaF(float(m_emphasis) * 0.3f / float(i + 1));
            painter.setPen(QPen(glow, 2.5 + i * 2));
            painter.drawPath(clip);
        }
    }
    painter.save();
    painter.setClipPath(clip);
    switch (m_previewType) {
    case ThemePreviewType::automatic: {
        QRectF left = thumb;
        left.setWidth(thumb.width() / 2);
        SingleThemeThumbnail::paint(painter, left, false, true);
        SingleThemeThumbnail::paint(painter, left.translated(left.width(), 0), true, true);
        break;
    }
    case ThemePreviewType::light:
        SingleThemeThumbnail::paint(painter, thumb, false, false);
        break;
    case ThemePreviewType::dark:
        SingleThemeThumbnail::paint(painter, thumb, true, false);
        break;
    }
    painter.restore();
    // The plain hairline turns into the accent border as the card is chosen.
    const QColor hairline(0, 0, 0, int(0.18 * 255));
    QColor border = accent;
    border.setAlphaF(float(hairline.alphaF() + (accent.alphaF() - hairline.alphaF()) * m_emphasis));
    border.setRgbF(float(hairline.redF() + (accent.redF() - hairline.redF()) * m_emphasis),
                   float(hairline.greenF() + (accent.greenF() - hairline.greenF()) * m_emphasis),
                   float(hairline.blueF() + (accent.blueF() - hairline.blueF()) * m_emphasis),
                   border.alphaF());
    painter.setPen(QPen(border, 1 + 1.5 * m_emphasis));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(clip);

    const QRectF titleRect(0, thumb.bottom() + kTitleGap, width(), height() - thumb.bottom() - kTitleGap);
    painter.setFont(SettingsStyle::sizedFont(font(), 11.5, m_selected ? QFont::DemiBold : QFont::Normal));
    painter.setPen(m_selected ? palette().color(QPalette::WindowText) : palette().color(QPalette::PlaceholderText));
    painter.drawText(titleRect, Qt::AlignHCenter | Qt::AlignTop, text());

    if (hasFocus()) {
        QPen focus(accent, 1.5, Qt::DashLine);
        painter.setPen(focus);
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
}

AppearanceSelectorView::AppearanceSelectorView(std::function<QString()> themeMode,
                                               std::function<void(const QString&)> setThemeMode, QWidget* parent)
    : QWidget(parent)
    , m_themeMode(std::move(themeMode))
    , m_setThemeMode(std::move(setThemeMode))
{
    setObjectName(QStringLiteral("appearanceSelector"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    m_title = new QLabel(this);
    SettingsStyle::setFontSize(m_title, 13, QFont::DemiBold);
    column->addWidget(m_title);
    m_desc = new QLabel(this);
    m_desc->setWordWrap(true);
    SettingsStyle::setFontSize(m_desc, 11);
    SettingsStyle::setSecondary(m_desc);
    column->addWidget(m_desc);

    auto* row = new QHBoxLayout;
    row->setSpacing(14);
    const ThemePreviewType types[] = {ThemePreviewType::automatic, ThemePreviewType::light, ThemePreviewType::dark};
    const QStringList modes = GeneralSettingsModel::themeModes();
    for (int i = 0; i < modes.size(); ++i) {
        const QString mode = modes[i];
        auto* card = new AppearanceCard(QString(), mode, false, types[i], [this, mode] {
            if (m_setThemeMode)
                m_setThemeMode(mode);
            refresh();
        }, this);
        m_cards.append(card);
        row->addWidget(card);
    }
    row->addStretch(1);
    column->addSpacing(6);
    column->addLayout(row);
    retranslate();
}

void AppearanceSelectorView::retranslate()
{
    m_title->setText(text("general.appearance.title", "应用外观"));
    m_desc->setText(text("general.appearance.desc", "选择 Rondix 使用深色、亮色，或跟随 macOS。"));
    m_cards[0]->setTitle(text("general.theme.card_auto", "自动"));
    m_cards[1]->setTitle(text("general.theme.card_light", "亮色"));
    m_cards[2]->setTitle(text("general.theme.card_dark", "深色"));
    refresh();
}

void AppearanceSelectorView::refresh()
{
    const QString stored = m_themeMode ? m_themeMode() : QString();
    for (AppearanceCard* card : m_cards)
        card->setSelected(GeneralSettingsModel::isThemeCardSelected(stored, card->mode()));
}
