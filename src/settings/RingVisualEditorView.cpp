#include "settings/RingVisualEditorView.h"

#include "hud/ActionIconView.h"
#include "hud/RadialGeometry.h"
#include "l10n/L10n.h"
#include "model/ModelJson.h"
#include "settings/RingEditorRules.h"

#include <cmath>
#include <QAbstractButton>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QVBoxLayout>

namespace R = RingEditorRules;

namespace {

QColor withAlpha(QColor c, double alpha)
{
    c.setAlphaF(alpha);
    return c;
}

QColor secondary(const QPalette& pal)
{
    return withAlpha(pal.color(QPalette::WindowText), 0.55);
}

QString hubNumberText(int selected)
{
    return L10n::format(QStringLiteral("ring.sector_num"), std::nullopt, {selected + 1});
}

// One numbered chip of the strip: "#k" and the sector's title on a rounded tile.
class RingChip : public QAbstractButton
{
public:
    RingChip(int index, QWidget* parent)
        : QAbstractButton(parent)
        , m_index(index)
    {
        setObjectName(QStringLiteral("ringChip%1").arg(index));
        setFocusPolicy(Qt::StrongFocus);
        setCheckable(true);
        setAttribute(Qt::WA_Hover);
    }

    void setTitle(const QString& title)
    {
        m_title = title;
        setText(QStringLiteral("#%1 %2").arg(m_index + 1).arg(title));
        setAccessibleName(text());
        updateGeometry();
        update();
    }

    QSize sizeHint() const override
    {
        return {8 + numberWidth() + 4 + QFontMetrics(titleFont()).horizontalAdvance(m_title) + 8, 26};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        const bool selected = isChecked();
        p.setPen(Qt::NoPen);
        p.setBrush(selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base));
        p.drawRoundedRect(r, 6, 6);
        if (hasFocus()) {
            p.setPen(QPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Highlight), 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), 5, 5);
        }
        const QColor fg = selected ? QColor(Qt::white) : pal.color(QPalette::WindowText);
        QFont number = font();
        number.setPixelSize(11);
        number.setBold(true);
        p.setFont(number);
        p.setPen(fg);
        QRectF textRect = r.adjusted(8, 0, -8, 0);
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("#%1").arg(m_index + 1));
        textRect.setLeft(textRect.left() + numberWidth() + 4);
        p.setFont(titleFont());
        const bool empty = m_title == L10n::string(QStringLiteral("ring.empty_slot"), QStringLiteral("空"));
        p.setPen(selected || !empty ? fg : secondary(pal));
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, m_title);
    }

private:
    QFont titleFont() const
    {
        QFont f = font();
        f.setPixelSize(10);
        return f;
    }
    int numberWidth() const
    {
        QFont f = font();
        f.setPixelSize(11);
        f.setBold(true);
        return QFontMetrics(f).horizontalAdvance(QStringLiteral("#%1").arg(m_index + 1));
    }

    int m_index;
    QString m_title;
};

} // namespace

// The 300 x 300 ring: drawing, clicks, drops and arrow keys.
class RingEditorArea : public QWidget
{
public:
    explicit RingEditorArea(RingVisualEditorView* owner)
        : QWidget(owner)
        , m_owner(owner)
    {
        setObjectName(QStringLiteral("ringEditorArea"));
        setFixedSize(int(R::frameSide), int(R::frameSide));
        setFocusPolicy(Qt::StrongFocus);
        setAcceptDrops(true);
    }

    QPointF centre() const { return {R::frameSide / 2, R::frameSide / 2}; }

    void updateAccessibleText()
    {
        setAccessibleName(L10n::string(QStringLiteral("ring.editor_a11y"), QStringLiteral("轮盘扇区")));
        const int k = m_owner->m_selected;
        setAccessibleDescription(
            hubNumberText(k) + QStringLiteral(" · ") +
            RadialSector::localizedShortDirectionName(RadialSectorPosition(k)) + QStringLiteral(" · ") +
            R::chipTitle(m_owner->m_profile.slotAt(k)));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        const QPalette& pal = palette();
        const QPointF c = centre();
        const QRectF frame(0, 0, R::frameSide, R::frameSide);

        // Backing disc.
        const double discR = R::editorSize / 2;
        p.setPen(QPen(pal.color(QPalette::Mid), 1));
        p.setBrush(withAlpha(pal.color(QPalette::Base), 0.4));
        p.drawEllipse(c, discR, discR);
        if (hasFocus()) {
            p.setPen(QPen(withAlpha(pal.color(QPalette::Highlight), 0.8), 2, Qt::DotLine));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(c, discR + 4, discR + 4);
        }

        for (int k = 0; k < RadialGeometry::sectorCount; ++k)
            paintSector(p, frame, k);

        // Hub with the selected sector's number and direction.
        const int sel = m_owner->m_selected;
        p.setPen(QPen(withAlpha(pal.color(QPalette::Highlight), 0.5), 1.5));
        p.setBrush(pal.color(QPalette::Window));
        p.drawEllipse(c, R::centerHubRadius, R::centerHubRadius);
        QFont number = font();
        number.setPixelSize(10);
        number.setBold(true);
        QFont direction = font();
        direction.setPixelSize(9);
        const int h1 = QFontMetrics(number).height();
        const int h2 = QFontMetrics(direction).height();
        const double top = c.y() - (h1 + 2 + h2) / 2.0;
        const QRectF line1(c.x() - R::centerHubRadius, top, 2 * R::centerHubRadius, h1);
        const QRectF line2(c.x() - R::centerHubRadius, top + h1 + 2, 2 * R::centerHubRadius, h2);
        p.setFont(number);
        p.setPen(pal.color(QPalette::Highlight));
        p.drawText(line1, Qt::AlignCenter, hubNumberText(sel));
        const std::optional<ActionSlot> slot = m_owner->m_profile.slotAt(sel);
        p.setFont(direction);
        p.setPen(secondary(pal));
        p.drawText(line2, Qt::AlignCenter,
                   slot ? RadialSector::localizedShortDirectionName(slot->position()) : QString());
    }

    void paintSector(QPainter& p, const QRectF& frame, int k)
    {
        const QPalette& pal = palette();
        const ActionSlot slot = R::slotOrBlank(m_owner->m_profile, k);
        const bool selected = k == m_owner->m_selected;
        const double outer = selected ? R::selectedOuterRadius : R::outerRadius;
        const QPainterPath wedge =
            RadialSectorShape{k, R::sectorInnerRadius, outer, R::gapDegrees}.path(frame);
        if (selected) {
            p.setBrush(pal.color(QPalette::Highlight));
            p.setPen(QPen(Qt::white, 2.5));
        } else {
            p.setBrush(withAlpha(pal.color(QPalette::Base), slot.isEnabled ? 0.85 : 0.35));
            p.setPen(QPen(pal.color(QPalette::Mid), 1));
        }
        p.drawPath(wedge);
        if (slot.isEmpty())
            return;

        QColor tint;
        if (selected)
            tint = Qt::white;
        else if (slot.isEnabled)
            tint = pal.color(QPalette::WindowText);
        else
            tint = withAlpha(secondary(pal), 0.6);
        QFont titleFont = font();
        titleFont.setPixelSize(10);
        titleFont.setWeight(selected ? QFont::Bold : QFont::Medium);
        const QFontMetricsF fm(titleFont);
        const double stackHeight = 22 + 2 + fm.height();
        const double theta = (k % RadialGeometry::sectorCount) * 45.0 - 90.0;
        const QPointF at = centre() + QPointF(R::contentRadius * std::cos(qDegreesToRadians(theta)),
                                              R::contentRadius * std::sin(qDegreesToRadians(theta)));
        const double top = at.y() - stackHeight / 2;
        ActionIconView::paint(p, QRectF(at.x() - 11, top, 22, 22), slot.icon, tint);
        p.setFont(titleFont);
        p.setPen(tint);
        const QRectF textRect(at.x() - 27, top + 24, 54, fm.height());
        p.drawText(textRect, Qt::AlignHCenter | Qt::AlignTop,
                   fm.elidedText(slot.displayTitle(), Qt::ElideRight, 54));
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_pressed = true;
        QWidget::mousePressEvent(event);
    }

    // The click acts where the button comes up, as a drag that ends there.
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton || !m_pressed)
            return;
        m_pressed = false;
        if (const std::optional<int> k = R::sectorForClick(event->position() - centre()))
            m_owner->setSelectedSlotIndex(*k);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        const int next = R::selectionAfterKey(m_owner->m_selected, event->key());
        if (next == m_owner->m_selected || event->modifiers() & ~Qt::KeypadModifier) {
            QWidget::keyPressEvent(event);
            return;
        }
        m_owner->setSelectedSlotIndex(next);
    }

    void focusInEvent(QFocusEvent* event) override
    {
        update();
        QWidget::focusInEvent(event);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        update();
        QWidget::focusOutEvent(event);
    }

    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasFormat(IconInfo::dragMimeType()))
            event->acceptProposedAction();
    }

    void dragLeaveEvent(QDragLeaveEvent*) override { m_owner->m_targetedDrop.reset(); }

    void dropEvent(QDropEvent* event) override
    {
        const QByteArray json = event->mimeData()->data(IconInfo::dragMimeType());
        if (m_owner->dropIcon(json, event->position() - centre()))
            event->acceptProposedAction();
        else
            event->ignore();
    }

private:
    RingVisualEditorView* m_owner;
    bool m_pressed = false;
};

RingVisualEditorView::RingVisualEditorView(const RingProfile& profile, int selectedSlotIndex,
                                           SlotCommit onSlotUpdated, QWidget* parent)
    : QWidget(parent)
    , m_profile(profile)
    , m_selected(qBound(0, selectedSlotIndex, RadialGeometry::sectorCount - 1))
    , m_onSlotUpdated(std::move(onSlotUpdated))
{
    setObjectName(QStringLiteral("RingVisualEditorView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);

    m_area = new RingEditorArea(this);
    layout->addWidget(m_area, 0, Qt::AlignHCenter);

    auto* strip = new QWidget;
    strip->setObjectName(QStringLiteral("ringChipStrip"));
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(4, 2, 4, 2);
    row->setSpacing(6);
    for (int k = 0; k < RadialGeometry::sectorCount; ++k) {
        auto* chip = new RingChip(k, strip);
        connect(chip, &QAbstractButton::clicked, this, [this, k] { setSelectedSlotIndex(k); });
        row->addWidget(chip);
        m_chips.append(chip);
    }
    auto* scroller = new QScrollArea;
    scroller->setObjectName(QStringLiteral("ringChipScroller"));
    scroller->setAccessibleName(L10n::string(QStringLiteral("ring.chips_a11y"), QStringLiteral("扇区列表")));
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidgetResizable(false);
    scroller->setWidget(strip);
    scroller->setMaximumWidth(360);
    scroller->setFixedHeight(32);
    scroller->setBackgroundRole(QPalette::Window);
    layout->addWidget(scroller);

    m_tip = new QLabel(L10n::string(QStringLiteral("ring.tip_replace_icon"),
                                    QStringLiteral("💡 提示：点击选中上方扇区后，在下方图标库中轻点任意图标即可直接替换")));
    m_tip->setObjectName(QStringLiteral("ringEditorTip"));
    m_tip->setWordWrap(true);
    m_tip->setMaximumWidth(360);
    QFont tipFont = m_tip->font();
    tipFont.setPixelSize(11);
    m_tip->setFont(tipFont);
    m_tip->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(m_tip);
    layout->addStretch(1);

    setMaximumWidth(360);
    setTabOrder(m_area, m_chips.first());
    refreshChips();
}

QWidget* RingVisualEditorView::ringArea() const
{
    return m_area;
}

void RingVisualEditorView::setProfile(const RingProfile& profile)
{
    if (profile == m_profile)
        return;
    m_profile = profile;
    refreshChips();
}

void RingVisualEditorView::setSelectedSlotIndex(int index)
{
    if (index < 0 || index >= RadialGeometry::sectorCount)
        return;
    if (index == m_selected)
        return;
    m_selected = index;
    refreshChips();
    Q_EMIT selectedSlotIndexChanged(index);
}

void RingVisualEditorView::refreshChips()
{
    for (int k = 0; k < m_chips.size(); ++k) {
        auto* chip = static_cast<RingChip*>(m_chips[k]);
        chip->setTitle(R::chipTitle(m_profile.slotAt(k)));
        chip->setChecked(k == m_selected);
    }
    if (QWidget* strip = m_chips.first()->parentWidget())
        strip->adjustSize();
    m_area->updateAccessibleText();
    m_area->update();
}

bool RingVisualEditorView::dropIcon(const QByteArray& json, const QPointF& offset)
{
    const std::optional<IconInfo> icon = decodeIconInfo(json);
    if (!icon)
        return false;
    const int k = R::sectorForDrop(offset);
    const ActionSlot slot = R::slotAfterDrop(R::slotOrBlank(m_profile, k), *icon);
    m_profile.updateSlot(slot);
    if (m_onSlotUpdated)
        m_onSlotUpdated(slot);
    if (k != m_selected) {
        m_selected = k;
        Q_EMIT selectedSlotIndexChanged(k);
    }
    m_targetedDrop.reset();
    refreshChips();
    return true;
}
