#include "settings/AddAppProfileSheet.h"

#include "hud/ActionIconView.h"
#include "hud/AppIconCache.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "platform/DesktopEntries.h"
#include "platform/Platform.h"
#include "settings/IconLibraryGrid.h"
#include "settings/IconLibraryRules.h"
#include "settings/SlotEditorComponents.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcAddAppSheet, "rondix.settings.addapp")

namespace {

QString l10n(const char* key, const char* fallback)
{
    return L10n::string(QString::fromLatin1(key), QString::fromUtf8(fallback));
}

QString addButtonText()
{
    return l10n("profile.add_exclusive_ring", "添加专属轮盘");
}

QFont addButtonFont(const QFont& base)
{
    QFont f = base;
    f.setPixelSize(11);
    f.setWeight(QFont::DemiBold);
    return f;
}

// The painted add button at the right end of a row.
QRect addButtonRect(const QRect& row, const QFont& base)
{
    const QFontMetrics metrics(addButtonFont(base));
    const int width = metrics.horizontalAdvance(addButtonText()) + 20;
    const int height = metrics.height() + 8;
    return QRect(row.right() - 6 - width, row.center().y() - height / 2 + 1, width, height);
}

// One application per row: icon, name over desktop id, and the add button.
class AppRowDelegate : public QStyledItemDelegate
{
public:
    static constexpr int kIcon = 28;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = option.palette;
        const QRect row = option.rect;
        if (option.state & QStyle::State_Selected) {
            QColor fill = pal.color(QPalette::Highlight);
            fill.setAlphaF(option.state & QStyle::State_HasFocus ? 0.25 : 0.12);
            painter->fillRect(row, fill);
        } else if (option.state & QStyle::State_MouseOver) {
            QColor fill = pal.color(QPalette::Button);
            fill.setAlphaF(0.5);
            painter->fillRect(row, fill);
        }
        const IconInfo icon = index.data(IconGridModel::IconRole).value<IconInfo>();
        const auto* app = std::get_if<IconInfo::App>(&icon.value);
        const QRectF iconRect(row.left() + 6, row.center().y() - kIcon / 2.0 + 1, kIcon, kIcon);
        ActionIconView::paintWithAppIcon(*painter, iconRect, icon, pal.color(QPalette::Text),
                                         app ? AppIconCache::shared().icon(app->path) : QPixmap());

        const QRect button = addButtonRect(row, option.font);
        const int textLeft = int(iconRect.right()) + 10;
        const int textWidth = button.left() - 10 - textLeft;
        QFont nameFont = option.font;
        nameFont.setPixelSize(13);
        nameFont.setWeight(QFont::Medium);
        QFont idFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        idFont.setPixelSize(10);
        const QFontMetrics nameMetrics(nameFont);
        const QFontMetrics idMetrics(idFont);
        const int top = row.center().y() - (nameMetrics.height() + 2 + idMetrics.height()) / 2 + 1;
        painter->setFont(nameFont);
        painter->setPen(pal.color(QPalette::Text));
        painter->drawText(QRect(textLeft, top, textWidth, nameMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          nameMetrics.elidedText(app ? app->name : QString(), Qt::ElideRight, textWidth));
        painter->setFont(idFont);
        painter->setPen(pal.color(QPalette::PlaceholderText));
        painter->drawText(QRect(textLeft, top + nameMetrics.height() + 2, textWidth, idMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          idMetrics.elidedText(app ? app->bundleId : QString(), Qt::ElideMiddle, textWidth));

        painter->setPen(Qt::NoPen);
        painter->setBrush(pal.color(QPalette::Highlight));
        painter->drawRoundedRect(QRectF(button), 5, 5);
        painter->setFont(addButtonFont(option.font));
        painter->setPen(pal.color(QPalette::HighlightedText));
        painter->drawText(button, Qt::AlignCenter, addButtonText());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        QFont nameFont = option.font;
        nameFont.setPixelSize(13);
        const int text = QFontMetrics(nameFont).height() + 2 + 14;
        return {200, qMax(kIcon, text) + 4 + 8};
    }
};

} // namespace

// The list of the sheet: a click on a row's add button, or Return on a row,
// asks to add that row's application.
class AppRowList : public QListView
{
public:
    explicit AppRowList(QWidget* parent)
        : QListView(parent)
    {
        setSelectionMode(QAbstractItemView::SingleSelection);
        setUniformItemSizes(true);
        setMouseTracking(true);
        setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }

    std::function<void(const QModelIndex&)> onAdd;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const QModelIndex index = indexAt(event->position().toPoint());
        const bool onButton = event->button() == Qt::LeftButton && index.isValid() &&
                              addButtonRect(visualRect(index), font()).contains(event->position().toPoint());
        QListView::mouseReleaseEvent(event);
        if (onButton && onAdd)
            onAdd(index);
    }

    void keyPressEvent(QKeyEvent* event) override
    {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentIndex().isValid()) {
            if (onAdd)
                onAdd(currentIndex());
            event->accept();
            return;
        }
        QListView::keyPressEvent(event);
    }
};

AddAppProfileSheet::AddAppProfileSheet(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("AddAppProfileSheet"));
    setWindowModality(Qt::WindowModal);
    setWindowTitle(l10n("profile.add_sheet_title", "为应用程序添加专属 Rondix 轮盘"));
    setFixedWidth(480);
    m_pickFile = [](QWidget* parent, const QString& startIn) {
        return QFileDialog::getOpenFileName(
            parent, l10n("slot.target_app_browse", "选择应用程序 (.desktop)..."), startIn,
            l10n("slot.desktop_entry_filter", "应用程序 (*.desktop)"));
    };

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 16, 16, 16);
    root->setSpacing(12);

    m_title = new QLabel(windowTitle(), this);
    QFont titleFont = m_title->font();
    titleFont.setPixelSize(15);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    root->addWidget(m_title);

    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(4, 0, 4, 0);
    auto* glass = new QLabel(this);
    glass->setPixmap(
        symbolIcon(QStringLiteral("magnifyingglass"), palette().color(QPalette::PlaceholderText), 14)
            .pixmap(14, 14));
    m_searchField = new QLineEdit(this);
    m_searchField->setObjectName(QStringLiteral("appSearchField"));
    m_searchField->setPlaceholderText(l10n("profile.search_apps_placeholder", "搜索已安装的应用程序..."));
    m_searchField->setAccessibleName(m_searchField->placeholderText());
    m_searchField->installEventFilter(this);
    searchRow->addWidget(glass);
    searchRow->addWidget(m_searchField, 1);
    root->addLayout(searchRow);

    m_model = new IconGridModel(this);
    m_list = new AppRowList(this);
    m_list->setObjectName(QStringLiteral("appList"));
    m_list->setItemDelegate(new AppRowDelegate(m_list));
    m_list->setModel(m_model);
    m_list->setFixedHeight(320);
    m_list->setAccessibleName(m_title->text());
    m_list->setAccessibleDescription(addButtonText());
    m_list->onAdd = [this](const QModelIndex& index) {
        if (index.isValid() && index.row() < m_shown.size())
            addProfile(m_shown.at(index.row()));
    };
    root->addWidget(m_list);

    auto* bottom = new QHBoxLayout;
    bottom->setContentsMargins(4, 0, 4, 8);
    m_browse = new QPushButton(l10n("profile.browse_manually", "从访达手动浏览..."), this);
    m_browse->setObjectName(QStringLiteral("browseManually"));
    m_browse->setAccessibleName(m_browse->text());
    m_browse->setAutoDefault(false);
    m_cancel = new QPushButton(l10n("common.cancel", "取消"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setAccessibleName(m_cancel->text());
    // Return must never cancel: no button of the sheet is a default button.
    m_cancel->setAutoDefault(false);
    bottom->addWidget(m_browse);
    bottom->addStretch(1);
    bottom->addWidget(m_cancel);
    root->addLayout(bottom);

    connect(m_searchField, &QLineEdit::textChanged, this, &AddAppProfileSheet::refreshList);
    connect(m_browse, &QPushButton::clicked, this, &AddAppProfileSheet::selectAppManually);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(m_searchField, m_list);
    setTabOrder(m_list, m_browse);
    setTabOrder(m_browse, m_cancel);
    m_searchField->setFocus(Qt::OtherFocusReason);
}

QList<InstalledAppItem> AddAppProfileSheet::filteredApps(const QList<InstalledAppItem>& apps,
                                                         const QString& searchText)
{
    return IconSearch::filteredApps(apps, searchText);
}

QList<InstalledAppItem> AddAppProfileSheet::filteredApps() const
{
    return filteredApps(m_installedApps, m_searchField->text());
}

void AddAppProfileSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_loaded)
        return;
    // The library's scan has usually filled the cache by now; otherwise this
    // is one scan of the desktop entries, as fast as reading a menu.
    m_loaded = true;
    m_installedApps = AppScanner::scanInstalledApps(false);
    refreshList();
}

void AddAppProfileSheet::refreshList()
{
    m_shown = filteredApps();
    QList<IconGridItem> items;
    items.reserve(m_shown.size());
    for (const InstalledAppItem& app : std::as_const(m_shown))
        items.append({IconInfo::app(app.bundleId, app.name, app.path), app.name, app.bundleId});
    m_model->setItems(items);
}

bool AddAppProfileSheet::eventFilter(QObject* watched, QEvent* event)
{
    // From the search field, Down or Return moves into the list, onto its
    // first row, so that the keyboard alone reaches the add action.
    if (watched == m_searchField && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Down || key == Qt::Key_Return || key == Qt::Key_Enter) &&
            m_model->rowCount() > 0) {
            if (!m_list->currentIndex().isValid())
                m_list->setCurrentIndex(m_model->index(0));
            m_list->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

InstalledAppItem AddAppProfileSheet::itemForDesktopFile(const QString& path, DesktopEntries* entries)
{
    InstalledAppItem item;
    item.path = path;
    const QString fileName = QFileInfo(path).fileName();
    item.bundleId = fileName.endsWith(QLatin1String(".desktop")) ? fileName.chopped(8)
                                                                 : QFileInfo(path).completeBaseName();
    if (const auto entry = entries ? entries->entryForFile(path) : std::nullopt) {
        item.name = entry->name.isEmpty() ? entry->unlocalizedName : entry->name;
        item.originalName = entry->unlocalizedName;
    }
    if (item.name.isEmpty())
        item.name = item.bundleId;
    if (item.originalName.isEmpty())
        item.originalName = item.name;
    return item;
}

void AddAppProfileSheet::addProfile(const InstalledAppItem& app)
{
    AppProfileManager::shared().addProfile(app.name, app.bundleId, app.path);
    accept();
}

void AddAppProfileSheet::selectAppManually()
{
    const QString path = m_pickFile ? m_pickFile(this, manualStartFolder()) : QString();
    if (path.isEmpty())
        return;
    const InstalledAppItem app = itemForDesktopFile(path, Platform::instance().desktopEntries);
    // A file named only ".desktop" names no application; a ring without an id
    // would never be shown.
    if (app.bundleId.isEmpty()) {
        qCInfo(lcAddAppSheet) << "[AddAppProfileSheet] No application id in" << path;
        return;
    }
    addProfile(app);
}
