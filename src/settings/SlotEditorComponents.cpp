#include "settings/SlotEditorComponents.h"

#include "hud/ActionIconView.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QVBoxLayout>

namespace {

void drawFocusFrame(QPainter& p, const QWidget* w, const QRectF& r, double radius)
{
    if (!w->hasFocus())
        return;
    QPen pen(w->palette().color(QPalette::Highlight), 2);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(r.adjusted(1, 1, -1, -1), radius, radius);
}

} // namespace

QIcon symbolIcon(const QString& symbolName, const QColor& color, int size)
{
    const QColor tint = color.isValid() ? color : QGuiApplication::palette().color(QPalette::WindowText);
    const qreal dpr = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap pm(QSize(size, size) * dpr);
    pm.setDevicePixelRatio(dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    ActionIconView::paintSymbol(p, QRectF(0, 0, size, size), symbolName, tint);
    p.end();
    return QIcon(pm);
}

ActionCategoryButton::ActionCategoryButton(const QString& title, const QString& symbol, QWidget* parent)
    : QAbstractButton(parent)
    , m_symbol(symbol)
{
    setText(title);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(title);
}

QSize ActionCategoryButton::sizeHint() const
{
    // One width for all, so the grid's columns come out even; long titles elide.
    return {80, 50};
}

QSize ActionCategoryButton::minimumSizeHint() const
{
    return {56, 50};
}

void ActionCategoryButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    const QColor accent = pal.color(QPalette::Highlight);
    QColor bg;
    QColor fg;
    if (isChecked()) {
        bg = accent;
        fg = pal.color(QPalette::HighlightedText);
    } else {
        bg = pal.color(QPalette::WindowText);
        bg.setAlphaF(underMouse() ? 0.12 : 0.06);
        fg = pal.color(QPalette::WindowText);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    p.drawRoundedRect(r, 8, 8);
    drawFocusFrame(p, this, QRectF(rect()), 8);

    ActionIconView::paintSymbol(p, QRectF(r.center().x() - 9, r.top() + 7, 18, 18), m_symbol, fg);
    QFont f = font();
    f.setPixelSize(11);
    if (isChecked())
        f.setWeight(QFont::DemiBold);
    p.setFont(f);
    p.setPen(fg);
    const QRectF textRect(r.left() + 3, r.top() + 28, r.width() - 6, 16);
    p.drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter,
               QFontMetrics(f).elidedText(text(), Qt::ElideRight, int(textRect.width())));
}

QuickChip::QuickChip(const QString& title, const QString& value, QWidget* parent)
    : QAbstractButton(parent)
    , m_value(value)
{
    setText(title);
    setAccessibleName(title);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(this, &QAbstractButton::clicked, this, [this] { Q_EMIT selected(m_value); });
}

QSize QuickChip::sizeHint() const
{
    QFont f = font();
    f.setPixelSize(11);
    return {QFontMetrics(f).horizontalAdvance(text()) + 20, 24};
}

void QuickChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    QColor bg = pal.color(QPalette::Highlight);
    bg.setAlphaF(isDown() ? 0.30 : underMouse() ? 0.22 : 0.13);
    p.setPen(Qt::NoPen);
    p.setBrush(bg);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    p.drawRoundedRect(r, 6, 6);
    drawFocusFrame(p, this, QRectF(rect()), 6);
    QFont f = font();
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(pal.color(QPalette::WindowText));
    p.drawText(r, Qt::AlignCenter, text());
}

FlowLayout::FlowLayout(QWidget* parent, int spacing)
    : QLayout(parent)
    , m_gap(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    return m_items.takeAt(index);
}

QSize FlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem* item : m_items)
        size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::arrange(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int lineHeight = 0;
    for (QLayoutItem* item : m_items) {
        const QSize hint = item->sizeHint();
        if (x > area.x() && x + hint.width() > area.right() + 1) {
            x = area.x();
            y += lineHeight + m_gap;
            lineHeight = 0;
        }
        if (apply)
            item->setGeometry(QRect(QPoint(x, y), hint));
        x += hint.width() + m_gap;
        lineHeight = qMax(lineHeight, hint.height());
    }
    return y + lineHeight - rect.y() + contentsMargins().bottom();
}

PageStack::PageStack(QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

int PageStack::addWidget(QWidget* page)
{
    layout()->addWidget(page);
    m_pages.append(page);
    page->setVisible(m_pages.size() - 1 == m_current || m_current < 0);
    if (m_current < 0)
        m_current = 0;
    return int(m_pages.size()) - 1;
}

void PageStack::setCurrentIndex(int index)
{
    if (index < 0 || index >= m_pages.size())
        return;
    m_current = index;
    // Hide first, then show: the old page gives up the focus before the new one appears.
    for (int i = 0; i < m_pages.size(); ++i)
        if (i != index)
            m_pages[i]->setVisible(false);
    m_pages[index]->setVisible(true);
}
