#include "settings/IconLibraryGrid.h"

#include "hud/ActionIconView.h"
#include "hud/AppIconCache.h"
#include "model/ModelJson.h"

#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>

void IconGridModel::setItems(const QList<IconGridItem>& items)
{
    beginResetModel();
    m_items = items;
    endResetModel();
}

int IconGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant IconGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const IconGridItem& item = m_items.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return item.text;
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        return item.toolTip;
    case IconRole:
        return QVariant::fromValue(item.icon);
    default:
        return {};
    }
}

Qt::ItemFlags IconGridModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList IconGridModel::mimeTypes() const
{
    return {IconInfo::dragMimeType()};
}

QMimeData* IconGridModel::mimeData(const QModelIndexList& indexes) const
{
    // One item travels at a time: a sector takes one icon.
    for (const QModelIndex& index : indexes) {
        if (!index.isValid() || index.model() != this || index.row() >= m_items.size())
            continue;
        auto* mime = new QMimeData;
        mime->setData(IconInfo::dragMimeType(), encodeIconInfo(m_items.at(index.row()).icon));
        return mime;
    }
    return nullptr;
}

IconGridView::IconGridView(QWidget* parent)
    : QListView(parent)
{
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setMouseTracking(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    viewport()->setAutoFillBackground(false);
    connect(this, &QAbstractItemView::clicked, this, &IconGridView::itemChosen);
}

void IconGridView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (currentIndex().isValid() && event->modifiers() == Qt::NoModifier) {
            Q_EMIT itemChosen(currentIndex());
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QListView::keyPressEvent(event);
}

void IconGridView::startDrag(Qt::DropActions supportedActions)
{
    const QModelIndex index = currentIndex();
    QMimeData* mime = index.isValid() ? model()->mimeData({index}) : nullptr;
    if (!mime)
        return;
    // The preview is the icon alone, as large as it will look on a sector.
    constexpr int kPreview = 40;
    const qreal dpr = devicePixelRatioF();
    QPixmap preview(QSize(kPreview, kPreview) * dpr);
    preview.setDevicePixelRatio(dpr);
    preview.fill(Qt::transparent);
    {
        QPainter p(&preview);
        p.setRenderHint(QPainter::Antialiasing);
        const IconInfo icon = index.data(IconGridModel::IconRole).value<IconInfo>();
        const auto path = icon.appPath();
        ActionIconView::paintWithAppIcon(p, QRectF(0, 0, kPreview, kPreview), icon,
                                         palette().color(QPalette::Text),
                                         path ? AppIconCache::shared().icon(*path) : QPixmap());
    }
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(preview);
    drag->setHotSpot(QPoint(kPreview / 2, kPreview / 2));
    drag->exec(supportedActions & Qt::CopyAction ? Qt::CopyAction : supportedActions, Qt::CopyAction);
}

void paintTile(QPainter* painter, const QStyleOptionViewItem& option, const QRectF& tile, double radius,
               double fillOpacity)
{
    const QPalette& pal = option.palette;
    // The control background: the field colour, a step off the window's.
    QColor fill = pal.color(QPalette::Base);
    if (option.state & QStyle::State_MouseOver)
        fill = fill.lightness() > 128 ? fill.darker(108) : fill.lighter(125);
    fill.setAlphaF(fillOpacity);
    painter->setPen(Qt::NoPen);
    painter->setBrush(fill);
    painter->drawRoundedRect(tile, radius, radius);
    const bool focused = (option.state & QStyle::State_HasFocus) && (option.state & QStyle::State_Active);
    if (focused || (option.state & QStyle::State_Selected && option.state & QStyle::State_HasFocus)) {
        painter->setPen(QPen(pal.color(QPalette::Highlight), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(tile.adjusted(1, 1, -1, -1), radius, radius);
    }
}

void SymbolCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF tile = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    paintTile(painter, option, tile, 6, 1.0);
    constexpr double kGlyph = 17;
    const QRectF glyph(tile.center() - QPointF(kGlyph / 2, kGlyph / 2), QSizeF(kGlyph, kGlyph));
    const IconInfo icon = index.data(IconGridModel::IconRole).value<IconInfo>();
    ActionIconView::paintSymbol(*painter, glyph, icon.sfSymbolName().value_or(QString()),
                                option.palette.color(QPalette::Text));
    painter->restore();
}

QSize SymbolCellDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return {kCell, kCell};
}

void AppCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF tile = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
    paintTile(painter, option, tile, 8, 0.7);

    const IconInfo icon = index.data(IconGridModel::IconRole).value<IconInfo>();
    const QRectF iconRect(tile.center().x() - kIcon / 2.0, tile.top() + kPadding, kIcon, kIcon);
    const auto path = icon.appPath();
    ActionIconView::paintWithAppIcon(*painter, iconRect, icon, option.palette.color(QPalette::Text),
                                     path ? AppIconCache::shared().icon(*path) : QPixmap());

    QFont font = option.font;
    font.setPixelSize(10);
    painter->setFont(font);
    painter->setPen(option.palette.color(QPalette::Text));
    const QFontMetrics metrics(font);
    const QRectF textRect(tile.center().x() - kTextWidth / 2.0, iconRect.bottom() + 4, kTextWidth,
                          metrics.height());
    painter->drawText(textRect, Qt::AlignHCenter | Qt::AlignTop,
                      metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, kTextWidth));
    painter->restore();
}

QSize AppCellDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    QFont font = option.font;
    font.setPixelSize(10);
    const int textHeight = QFontMetrics(font).height();
    return {kTextWidth + 2 * kPadding, kPadding + kIcon + 4 + textHeight + kPadding};
}
