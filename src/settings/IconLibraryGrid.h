#pragma once

#include "model/ActionModel.h"

#include <QAbstractListModel>
#include <QListView>
#include <QStyledItemDelegate>

// The pieces of the icon library's grids: a list of icons with their texts,
// a lazily painted icon-mode view, and the two cell painters. Only the rows in
// view are painted, so application icons are loaded for those alone.

struct IconGridItem
{
    IconInfo icon;
    QString text;    // shown under an application icon; the accessible name
    QString toolTip; // help text
};

class IconGridModel : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int IconRole = Qt::UserRole + 1;

    using QAbstractListModel::QAbstractListModel;

    void setItems(const QList<IconGridItem>& items);
    const QList<IconGridItem>& items() const { return m_items; }

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    QList<IconGridItem> m_items;
};

// An icon-mode list that reports a tap, Return, Enter or Space on an item as
// one choice, and drags items out as copies.
class IconGridView : public QListView
{
    Q_OBJECT
public:
    explicit IconGridView(QWidget* parent = nullptr);

Q_SIGNALS:
    void itemChosen(const QModelIndex& index);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
};

// A symbol on a 34 x 34 rounded tile.
class SymbolCellDelegate : public QStyledItemDelegate
{
public:
    static constexpr int kCell = 34;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// An application's icon over its name on a rounded tile 66 wide.
class AppCellDelegate : public QStyledItemDelegate
{
public:
    static constexpr int kIcon = 32;
    static constexpr int kTextWidth = 58;
    static constexpr int kPadding = 4;
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

// Shared by the cells: the hover and keyboard-focus marks on a tile.
void paintTile(QPainter* painter, const QStyleOptionViewItem& option, const QRectF& tile, double radius,
               double fillOpacity);
