#include "settings/IconLibraryView.h"

#include "l10n/L10n.h"
#include "platform/Platform.h"
#include "settings/IconLibraryGrid.h"
#include "settings/IconLibraryRules.h"
#include "settings/SlotEditorComponents.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QStackedWidget>
#include <QtConcurrent/QtConcurrentRun>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr int kHeight = 160;

QString l10n(const char* key, const char* fallback)
{
    return L10n::string(QString::fromLatin1(key), QString::fromUtf8(fallback));
}

QLabel* captionLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    QFont f = label->font();
    f.setPixelSize(11);
    label->setFont(f);
    label->setForegroundRole(QPalette::PlaceholderText);
    label->setTextInteractionFlags(Qt::NoTextInteraction);
    return label;
}

// A tip gives way before the count beside it when the strip is narrow.
QLabel* tipLabel(QWidget* parent)
{
    QLabel* label = captionLabel(parent);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

// A segment of the tab picker: icon and text side by side, checkable.
QToolButton* segmentButton(const QString& objectName, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setCheckable(true);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

// A paintless frame with the rounded field background behind the search row.
class SearchFrame : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(palette().color(QPalette::Mid));
        p.setBrush(palette().color(QPalette::Base));
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }
};

} // namespace

IconLibraryView::IconLibraryView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("IconLibraryView"));
    build();
    retranslate();
    refreshSymbols();
    refreshApps();
    connect(&L10n::shared(), &L10n::languageChanged, this, [this] {
        retranslate();
        refreshSymbols();
        refreshApps();
    });
}

IconLibraryView::~IconLibraryView() = default;

void IconLibraryView::build()
{
    // 160 high; a splitter above may give it more room, never less.
    setMinimumHeight(kHeight);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(12, 8, 12, 8);
    root->setSpacing(8);

    // Top row: the tab picker and the search field.
    auto* top = new QHBoxLayout;
    top->setSpacing(8);
    auto* picker = new QWidget(this);
    picker->setFixedWidth(280);
    auto* pickerLayout = new QHBoxLayout(picker);
    pickerLayout->setContentsMargins(0, 0, 0, 0);
    pickerLayout->setSpacing(0);
    m_symbolsTabButton = segmentButton(QStringLiteral("iconTabSymbols"), picker);
    m_appsTabButton = segmentButton(QStringLiteral("iconTabApps"), picker);
    pickerLayout->addWidget(m_symbolsTabButton);
    pickerLayout->addWidget(m_appsTabButton);
    m_tabGroup = new QButtonGroup(this);
    m_tabGroup->setExclusive(true);
    m_tabGroup->addButton(m_symbolsTabButton, SymbolsTab);
    m_tabGroup->addButton(m_appsTabButton, ApplicationsTab);
    m_symbolsTabButton->setChecked(true);
    connect(m_tabGroup, &QButtonGroup::idClicked, this, &IconLibraryView::setSelectedTab);
    top->addWidget(picker);
    top->addStretch(1);

    auto* search = new SearchFrame(this);
    search->setFixedWidth(220);
    auto* searchLayout = new QHBoxLayout(search);
    searchLayout->setContentsMargins(6, 2, 2, 2);
    searchLayout->setSpacing(4);
    auto* glass = new QLabel(search);
    glass->setPixmap(
        symbolIcon(QStringLiteral("magnifyingglass"), palette().color(QPalette::PlaceholderText), 14)
            .pixmap(14, 14));
    m_searchField = new QLineEdit(search);
    m_searchField->setObjectName(QStringLiteral("iconSearchField"));
    m_searchField->setFrame(false);
    m_searchField->setAttribute(Qt::WA_MacShowFocusRect, false);
    m_clearSearch = new QToolButton(search);
    m_clearSearch->setObjectName(QStringLiteral("iconSearchClear"));
    m_clearSearch->setAutoRaise(true);
    m_clearSearch->setIcon(
        symbolIcon(QStringLiteral("xmark.circle.fill"), palette().color(QPalette::PlaceholderText)));
    m_clearSearch->setVisible(false);
    searchLayout->addWidget(glass);
    searchLayout->addWidget(m_searchField, 1);
    searchLayout->addWidget(m_clearSearch);
    connect(m_searchField, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_clearSearch->setVisible(!text.isEmpty());
        refreshSymbols();
        refreshApps();
    });
    connect(m_clearSearch, &QToolButton::clicked, this, [this] {
        m_searchField->clear();
        m_searchField->setFocus(Qt::OtherFocusReason);
    });
    top->addWidget(search);
    root->addLayout(top);

    m_panes = new QStackedWidget(this);
    root->addWidget(m_panes, 1);

    // Symbols pane.
    auto* symbols = new QWidget(m_panes);
    auto* symbolsLayout = new QVBoxLayout(symbols);
    symbolsLayout->setContentsMargins(0, 0, 0, 0);
    symbolsLayout->setSpacing(4);
    auto* symbolsCaptions = new QHBoxLayout;
    m_symbolsCaption = captionLabel(symbols);
    m_symbolsCaption->setObjectName(QStringLiteral("symbolsCaption"));
    m_symbolsTip = tipLabel(symbols);
    symbolsCaptions->addWidget(m_symbolsCaption);
    symbolsCaptions->addSpacing(8);
    symbolsCaptions->addWidget(m_symbolsTip, 1);
    symbolsLayout->addLayout(symbolsCaptions);
    m_symbolModel = new IconGridModel(this);
    m_symbolGrid = new IconGridView(symbols);
    m_symbolGrid->setObjectName(QStringLiteral("symbolGrid"));
    m_symbolGrid->setItemDelegate(new SymbolCellDelegate(m_symbolGrid));
    m_symbolGrid->setModel(m_symbolModel);
    m_symbolGrid->setSpacing(8);
    symbolsLayout->addWidget(m_symbolGrid, 1);
    m_panes->addWidget(symbols);

    // Applications pane: the scan's progress, or the captions over the grid.
    m_appsPane = new QStackedWidget(m_panes);
    auto* loading = new QWidget(m_appsPane);
    auto* loadingLayout = new QVBoxLayout(loading);
    loadingLayout->addStretch(1);
    auto* progress = new QProgressBar(loading);
    progress->setObjectName(QStringLiteral("appsScanProgress"));
    progress->setRange(0, 0);
    progress->setTextVisible(false);
    progress->setFixedWidth(160);
    m_scanningLabel = captionLabel(loading);
    m_scanningLabel->setAlignment(Qt::AlignCenter);
    loadingLayout->addWidget(progress, 0, Qt::AlignHCenter);
    loadingLayout->addWidget(m_scanningLabel, 0, Qt::AlignHCenter);
    loadingLayout->addStretch(1);
    m_appsPane->addWidget(loading);

    auto* apps = new QWidget(m_appsPane);
    auto* appsLayout = new QVBoxLayout(apps);
    appsLayout->setContentsMargins(0, 0, 0, 0);
    appsLayout->setSpacing(4);
    auto* appsCaptions = new QHBoxLayout;
    m_appsCaption = captionLabel(apps);
    m_appsCaption->setObjectName(QStringLiteral("appsCaption"));
    m_appsTip = tipLabel(apps);
    appsCaptions->addWidget(m_appsCaption);
    appsCaptions->addSpacing(8);
    appsCaptions->addWidget(m_appsTip, 1);
    appsLayout->addLayout(appsCaptions);
    m_appModel = new IconGridModel(this);
    m_appGrid = new IconGridView(apps);
    m_appGrid->setObjectName(QStringLiteral("appGrid"));
    m_appGrid->setItemDelegate(new AppCellDelegate(m_appGrid));
    m_appGrid->setModel(m_appModel);
    m_appGrid->setSpacing(10);
    appsLayout->addWidget(m_appGrid, 1);
    m_appsPane->addWidget(apps);
    m_appsPane->setCurrentIndex(1);
    m_panes->addWidget(m_appsPane);

    auto choose = [this](const QModelIndex& index) {
        if (index.isValid())
            Q_EMIT iconSelected(index.data(IconGridModel::IconRole).value<IconInfo>());
    };
    connect(m_symbolGrid, &IconGridView::itemChosen, this, choose);
    connect(m_appGrid, &IconGridView::itemChosen, this, choose);

    setTabOrder(m_symbolsTabButton, m_appsTabButton);
    setTabOrder(m_appsTabButton, m_searchField);
    setTabOrder(m_searchField, m_clearSearch);
    setTabOrder(m_clearSearch, m_symbolGrid);
    setTabOrder(m_symbolGrid, m_appGrid);
}

void IconLibraryView::retranslate()
{
    const QColor text = palette().color(QPalette::ButtonText);
    m_symbolsTabButton->setText(l10n("icon.tab_sf_symbols", "SF 核心符号库"));
    m_symbolsTabButton->setIcon(symbolIcon(QStringLiteral("star.fill"), text));
    m_symbolsTabButton->setAccessibleName(m_symbolsTabButton->text());
    m_appsTabButton->setText(l10n("icon.tab_installed_apps", "本机应用程序"));
    m_appsTabButton->setIcon(symbolIcon(QStringLiteral("app.badge.fill"), text));
    m_appsTabButton->setAccessibleName(m_appsTabButton->text());
    m_searchField->setPlaceholderText(l10n("icon.search_placeholder", "搜索符号或应用名称..."));
    m_searchField->setAccessibleName(m_searchField->placeholderText());
    m_clearSearch->setToolTip(l10n("icon.clear_search", "清除搜索"));
    m_clearSearch->setAccessibleName(m_clearSearch->toolTip());
    m_symbolsTip->setText(l10n("icon.tip_symbols", "💡 轻点任意图标即可直接应用至当前扇区"));
    m_appsTip->setText(l10n("icon.tip_apps", "💡 轻点应用即可将扇区设为该应用的快捷启动"));
    m_scanningLabel->setText(l10n("icon.scanning_apps", "正在扫描已安装应用程序..."));
    if (auto* progress = findChild<QProgressBar*>(QStringLiteral("appsScanProgress")))
        progress->setAccessibleName(m_scanningLabel->text());
    m_symbolGrid->setAccessibleName(m_symbolsTabButton->text());
    m_appGrid->setAccessibleName(m_appsTabButton->text());
}

void IconLibraryView::setSelectedTab(int tab)
{
    m_selectedTab = tab == ApplicationsTab ? ApplicationsTab : SymbolsTab;
    if (QAbstractButton* button = m_tabGroup->button(m_selectedTab); button && !button->isChecked())
        button->setChecked(true);
    m_panes->setCurrentIndex(m_selectedTab);
}

QString IconLibraryView::searchText() const
{
    return m_searchField->text();
}

void IconLibraryView::setSearchText(const QString& text)
{
    m_searchField->setText(text);
}

QStringList IconLibraryView::filteredSymbols() const
{
    return IconSearch::filteredSymbols(SymbolDatabase::all(), searchText());
}

QList<InstalledAppItem> IconLibraryView::filteredApps() const
{
    return IconSearch::filteredApps(m_installedApps, searchText());
}

QSize IconLibraryView::sizeHint() const
{
    return {QWidget::sizeHint().width(), kHeight};
}

void IconLibraryView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QColor background = palette().color(QPalette::Window);
    background.setAlphaF(0.6);
    p.fillRect(rect(), background);
}

void IconLibraryView::refreshSymbols()
{
    const QStringList symbols = filteredSymbols();
    QList<IconGridItem> items;
    items.reserve(symbols.size());
    for (const QString& name : symbols)
        items.append({IconInfo::sfSymbol(name), name, name});
    m_symbolModel->setItems(items);
    m_symbolsCaption->setText(searchText().isEmpty()
                                  ? L10n::format(QStringLiteral("icon.curated_count"),
                                                 QStringLiteral("核心精选符号 (%d个，已去重优化)"),
                                                 {int(symbols.size())})
                                  : L10n::format(QStringLiteral("icon.search_count"),
                                                 QStringLiteral("搜索结果 (%d个)"), {int(symbols.size())}));
}

void IconLibraryView::refreshApps()
{
    const QList<InstalledAppItem> apps = filteredApps();
    QList<IconGridItem> items;
    items.reserve(apps.size());
    for (const InstalledAppItem& app : apps) {
        items.append({IconInfo::app(app.bundleId, app.name, app.path), app.name,
                      L10n::format(QStringLiteral("icon.help_launch_app"),
                                   QStringLiteral("点击将当前扇区设为启动 %@"), {app.name})});
    }
    m_appModel->setItems(items);
    m_appsCaption->setText(L10n::format(QStringLiteral("icon.installed_apps_count"),
                                        QStringLiteral("已安装应用程序 (%d个)"), {int(apps.size())}));
}

void IconLibraryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadInstalledAppsIfNeeded();
}

void IconLibraryView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The segment and search symbols are tinted pictures; paint them again.
    if (event->type() == QEvent::PaletteChange && m_symbolsTabButton)
        retranslate();
}

void IconLibraryView::loadInstalledAppsIfNeeded()
{
    if (!m_installedApps.isEmpty() || m_isLoadingApps)
        return;
    // Within one settings window the cache answers at once, without a
    // progress indicator.
    if (const auto cached = AppScanner::cachedApps()) {
        setInstalledApps(*cached);
        return;
    }
    m_isLoadingApps = true;
    m_appsPane->setCurrentIndex(0);
    // The platform is made on this thread before the worker reads it.
    Platform::instance();
    m_scan = new QFutureWatcher<QList<InstalledAppItem>>(this);
    connect(m_scan, &QFutureWatcherBase::finished, this, [this] {
        const QList<InstalledAppItem> apps = m_scan->result();
        m_scan->deleteLater();
        m_scan = nullptr;
        m_isLoadingApps = false;
        setInstalledApps(apps);
    });
    // A view closed before the result arrives takes its watcher along, and the
    // result is dropped with it.
    m_scan->setFuture(QtConcurrent::run([] { return AppScanner::scanInstalledApps(false); }));
}

void IconLibraryView::setInstalledApps(const QList<InstalledAppItem>& apps)
{
    m_installedApps = apps;
    m_appsPane->setCurrentIndex(1);
    refreshApps();
    Q_EMIT installedAppsLoaded();
}
