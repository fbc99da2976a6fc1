#include "settings/ProfilesView.h"

#include "actions/ShortcutsManager.h"
#include "hud/AppIconCache.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "settings/AddAppProfileSheet.h"
#include "settings/IconLibraryView.h"
#include "settings/ProfileHistory.h"
#include "settings/RingFileExchange.h"
#include "settings/RingVisualEditorView.h"
#include "settings/SettingsRules.h"
#include "settings/SlotDetailEditorView.h"
#include "settings/SlotEditorComponents.h"

#include <QApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kTagRole = Qt::UserRole + 2;
constexpr int kUndoBarSeconds = 10;

QString l10nText(const char* key, const char* fallback)
{
    return L10n::string(QString::fromLatin1(key), QString::fromUtf8(fallback));
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QFont sizedFont(const QWidget* w, double pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont f = w->font();
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(weight);
    return f;
}

QColor secondaryText(const QPalette& palette)
{
    QColor c = palette.color(QPalette::WindowText);
    c.setAlphaF(0.6);
    return c;
}

QToolButton* toolbarButton(const QString& text, const QString& symbol, const QString& help, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setProperty("symbol", symbol);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setToolTip(help);
    button->setAccessibleName(text);
    button->setAccessibleDescription(help);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setFont(sizedFont(button, 12));
    return button;
}

// The list row's icon: the application's icon, or the symbol for a ring without one.
QIcon rowIcon(const RingProfile& profile, const QPalette& palette)
{
    if (profile.isGlobalDefault()) {
        // The accent colour, and white on the accent colour of the selected row.
        QIcon icon = symbolIcon(QStringLiteral("globe"), palette.color(QPalette::Highlight), 18);
        const QIcon onSelection =
            symbolIcon(QStringLiteral("globe"), palette.color(QPalette::HighlightedText), 18);
        for (const QSize& size : onSelection.availableSizes())
            icon.addPixmap(onSelection.pixmap(size), QIcon::Selected);
        return icon;
    }
    const QString path = profile.appIconPath.value_or(QString());
    // A ring for an application that is not installed (an imported file) keeps
    // the symbol rather than a generic icon.
    if (!path.isEmpty() && QFileInfo::exists(path))
        return QIcon(AppIconCache::shared().icon(path));
    return symbolIcon(QStringLiteral("app.badge.fill"), secondaryText(palette), 18);
}

// Draws the capsule tag after the global ring's name.
class ProfileRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QString tag = index.data(kTagRole).toString();
        if (tag.isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        // The name gives way to the tag: it is cut short rather than the tag left out.
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const int tagWidth = tagRect(opt, tag, 0, 0).width() + 8;
        opt.text =
            opt.fontMetrics.elidedText(opt.text, Qt::ElideRight, qMax(0, textRect.width() - tagWidth - 4));
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const int textWidth = opt.fontMetrics.horizontalAdvance(opt.text);
        const QRect capsule = tagRect(opt, tag, textRect.left() + textWidth + 8, textRect.center().y());

        const bool selected = opt.state & QStyle::State_Selected;
        QColor background = selected ? QColor(255, 255, 255) : opt.palette.color(QPalette::WindowText);
        background.setAlphaF(selected ? 0.25 : 0.18);
        const QColor text = selected ? QColor(Qt::white) : secondaryText(opt.palette);

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(background);
        painter->drawRoundedRect(capsule, capsule.height() / 2.0, capsule.height() / 2.0);
        painter->setPen(text);
        painter->setFont(tagFont(opt.font));
        painter->drawText(capsule, Qt::AlignCenter, tag);
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        const QString tag = index.data(kTagRole).toString();
        if (!tag.isEmpty())
            size.rwidth() += 8 + tagRect(option, tag, 0, 0).width();
        return size.expandedTo({0, 26});
    }

private:
    static QFont tagFont(const QFont& base)
    {
        QFont f = base;
        f.setPixelSize(10);
        f.setWeight(QFont::DemiBold);
        return f;
    }

    static QRect tagRect(const QStyleOptionViewItem& option, const QString& tag, int left, int centreY)
    {
        const QFontMetrics metrics(tagFont(option.font));
        const int w = metrics.horizontalAdvance(tag) + 12;
        const int h = metrics.height() + 4;
        return {left, centreY - h / 2, w, h};
    }
};

// What the list shows of a ring; the rows are rebuilt only when this changes.
QString rowKey(const RingProfile& p)
{
    return p.id.toString() + QLatin1Char('\n') + p.name + QLatin1Char('\n') +
           p.bundleIdentifier.value_or(QStringLiteral("\x01")) + QLatin1Char('\n') +
           p.appIconPath.value_or(QString());
}

} // namespace

ProfilesView::ProfilesView(ProfileHistory& history, int selectedSlotIndex, ShortcutsManager* scripts,
                           QWidget* parent)
    : QWidget(parent)
    , m_history(history)
    , m_store(history.store())
    , m_scripts(scripts)
    , m_slotIndex(qBound(0, selectedSlotIndex, 7))
{
    setObjectName(QStringLiteral("ProfilesView"));
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* split = new QSplitter(Qt::Horizontal, this);
    split->setObjectName(QStringLiteral("profilesSplit"));
    split->setChildrenCollapsible(false);
    QWidget* sidebar = buildSidebar();
    split->addWidget(sidebar);
    auto* detailStack = new QStackedWidget(split);
    detailStack->setObjectName(QStringLiteral("profileDetailStack"));
    detailStack->addWidget(new QWidget(detailStack)); // empty while no ring is selected
    m_detail = buildDetail();
    detailStack->addWidget(m_detail);
    split->addWidget(detailStack);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({220, 760});
    root->addWidget(split, 1);
    root->addWidget(buildUndoBar());

    connect(&m_store, &AppProfileManager::profilesChanged, this, &ProfilesView::onProfilesChanged);
    connect(&m_store, &AppProfileManager::selectedProfileIdChanged, this,
            &ProfilesView::onSelectedProfileChanged);
    connect(&m_history, &ProfileHistory::destructiveStepDone, this,
            [this](const QString& text) { m_pendingUndoText = text; });
    connect(m_history.stack(), &QUndoStack::indexChanged, this, [this](int index) {
        if (!m_pendingUndoText.isEmpty()) {
            m_undoBarIndex = index;
            showUndoBar(std::exchange(m_pendingUndoText, QString()));
        } else if (index != m_undoBarIndex) {
            m_undoBar->hide();
        }
    });
    connect(&m_history, &ProfileHistory::cleared, m_undoBar, &QWidget::hide);

    applyColours();
    syncSelection();
    refreshDetail();
    rebuildEditors();
}

void ProfilesView::applyColours()
{
    const QPalette pal = palette();
    for (QToolButton* b : {m_addButton, m_exportButton, m_importButton, m_clearButton})
        b->setIcon(symbolIcon(b->property("symbol").toString(), pal.color(QPalette::ButtonText), 14));
    QColor red(0xd9, 0x30, 0x25);
    red.setAlphaF(0.8);
    m_trashButton->setIcon(symbolIcon(QStringLiteral("trash"), red, 16));
    QPalette secondary = m_profileDescription->palette();
    secondary.setColor(QPalette::WindowText, secondaryText(pal));
    m_profileDescription->setPalette(secondary);
    reloadList(true);
}

void ProfilesView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_list) {
        applyColours();
        syncSelection();
    }
}

ProfilesView::~ProfilesView()
{
    // The editors go first, while this view can still take what they hand over;
    // the store's signals stop reaching a view being taken down.
    disconnect(&m_store, nullptr, this, nullptr);
    delete m_slotEditor.data();
    delete m_ringEditor.data();
}

RingVisualEditorView* ProfilesView::ringEditor() const
{
    return m_ringEditor;
}

SlotDetailEditorView* ProfilesView::slotEditor() const
{
    return m_slotEditor;
}

// ---------------------------------------------------------------- layout

QWidget* ProfilesView::buildSidebar()
{
    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("profilesSidebar"));
    sidebar->setMinimumWidth(200);
    auto* layout = new QVBoxLayout(sidebar);
    layout->setContentsMargins(0, 8, 0, 0);
    layout->setSpacing(4);

    const QString sectionTitle = l10nText("profile.section_title", "轮盘方案");
    auto* header = new QLabel(sectionTitle, sidebar);
    header->setObjectName(QStringLiteral("profileSectionTitle"));
    header->setFont(sizedFont(header, 11, QFont::DemiBold));
    header->setContentsMargins(12, 0, 0, 0);
    layout->addWidget(header);

    m_list = new QListWidget(sidebar);
    m_list->setObjectName(QStringLiteral("profileList"));
    m_list->setAccessibleName(sectionTitle);
    m_list->setIconSize({18, 18});
    m_list->setFont(sizedFont(m_list, 13, QFont::Medium));
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setItemDelegate(new ProfileRowDelegate(m_list));
    m_list->setUniformItemSizes(true);
    connect(m_list, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (m_syncingList || !item)
            return;
        m_store.setSelectedProfileId(QUuid(item->data(kIdRole).toString()));
    });
    layout->addWidget(m_list, 1);
    layout->addWidget(divider(sidebar));

    auto* bar = new QWidget(sidebar);
    bar->setObjectName(QStringLiteral("profilesBottomBar"));
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(10, 10, 10, 10);
    row->setSpacing(12);
    m_addButton =
        toolbarButton(l10nText("profile.add_btn", "为应用添加专属轮盘..."), QStringLiteral("plus"), {}, bar);
    m_addButton->setObjectName(QStringLiteral("addProfileButton"));
    m_addButton->setAutoRaise(true);
    connect(m_addButton, &QToolButton::clicked, this, &ProfilesView::openAddAppSheet);
    row->addWidget(m_addButton);
    row->addStretch(1);

    const QString deleteHelp = l10nText("profile.delete_help", "删除此应用的专属轮盘");
    m_trashButton = new QToolButton(bar);
    m_trashButton->setObjectName(QStringLiteral("deleteProfileButton"));
    m_trashButton->setAutoRaise(true);
    m_trashButton->setToolTip(deleteHelp);
    m_trashButton->setAccessibleName(deleteHelp);
    m_trashButton->setFocusPolicy(Qt::StrongFocus);
    connect(m_trashButton, &QToolButton::clicked, this, &ProfilesView::deleteSelectedProfile);
    row->addWidget(m_trashButton);
    layout->addWidget(bar);
    m_addButton->installEventFilter(this);
    m_trashButton->installEventFilter(this);
    return sidebar;
}

QWidget* ProfilesView::buildDetail()
{
    auto* detail = new QWidget(this);
    detail->setObjectName(QStringLiteral("profileDetail"));
    auto* layout = new QVBoxLayout(detail);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* toolbar = new QWidget(detail);
    toolbar->setObjectName(QStringLiteral("profileToolbar"));
    auto* row = new QHBoxLayout(toolbar);
    row->setContentsMargins(16, 8, 16, 8);
    auto* titles = new QVBoxLayout;
    titles->setSpacing(2);
    m_profileTitle = new QLabel(toolbar);
    m_profileTitle->setObjectName(QStringLiteral("profileTitle"));
    m_profileTitle->setFont(sizedFont(m_profileTitle, 15, QFont::Bold));
    m_profileTitle->setTextFormat(Qt::PlainText);
    // A long name from a shared file is cut off rather than widening the window.
    m_profileTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    titles->addWidget(m_profileTitle);
    m_profileDescription = new QLabel(l10nText("profile.8_sector_desc", "8 扇区标准径向快捷轮盘"), toolbar);
    m_profileDescription->setObjectName(QStringLiteral("profileDescription"));
    m_profileDescription->setFont(sizedFont(m_profileDescription, 11));
    titles->addWidget(m_profileDescription);
    row->addLayout(titles);
    row->addStretch(1);

    m_exportButton =
        toolbarButton(l10nText("profile.export", "导出配置..."), QStringLiteral("square.and.arrow.up"),
                      l10nText("profile.export_help", "导出当前方案配置为独立文件"), toolbar);
    m_exportButton->setObjectName(QStringLiteral("exportProfileButton"));
    connect(m_exportButton, &QToolButton::clicked, this, &ProfilesView::exportCurrentProfile);
    m_importButton =
        toolbarButton(l10nText("profile.import", "导入配置..."), QStringLiteral("square.and.arrow.down"),
                      l10nText("profile.import_help", "从文件导入轮盘配置方案"), toolbar);
    m_importButton->setObjectName(QStringLiteral("importProfileButton"));
    connect(m_importButton, &QToolButton::clicked, this, &ProfilesView::importProfile);
    m_clearButton = toolbarButton(
        l10nText("profile.clear_all", "清空本轮盘扇区"), QStringLiteral("arrow.counterclockwise"),
        l10nText("profile.clear_all_help", "清空当前配置轮盘的所有 8 个扇区"), toolbar);
    m_clearButton->setObjectName(QStringLiteral("clearProfileButton"));
    connect(m_clearButton, &QToolButton::clicked, this, &ProfilesView::clearCurrentProfile);
    for (QToolButton* b : {m_exportButton, m_importButton, m_clearButton}) {
        b->setFont(sizedFont(b, 11));
        b->installEventFilter(this);
        row->addWidget(b);
    }
    layout->addWidget(toolbar);
    layout->addWidget(divider(detail));

    // The slot editor scrolls its own panels. The line above the library can
    // be moved to give the library more room.
    auto* split = new QSplitter(Qt::Vertical, detail);
    split->setObjectName(QStringLiteral("editorLibrarySplit"));
    split->setChildrenCollapsible(false);
    m_editorRow = new QWidget(split);
    m_editorRow->setObjectName(QStringLiteral("editorRow"));
    auto* editors = new QHBoxLayout(m_editorRow);
    editors->setContentsMargins(16, 16, 16, 16);
    editors->setSpacing(16);
    m_slotEditorHolder = new QWidget(m_editorRow);
    m_slotEditorHolder->setObjectName(QStringLiteral("slotEditorHolder"));
    m_slotEditorHolder->setMinimumWidth(320);
    auto* holderLayout = new QVBoxLayout(m_slotEditorHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    editors->addWidget(m_slotEditorHolder, 1);
    split->addWidget(m_editorRow);
    split->addWidget(makeIconLibrary());
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    layout->addWidget(split, 1);
    return detail;
}

QWidget* ProfilesView::buildUndoBar()
{
    m_undoBar = new QFrame(this);
    m_undoBar->setObjectName(QStringLiteral("undoBar"));
    m_undoBar->setFrameShape(QFrame::StyledPanel);
    m_undoBar->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(m_undoBar);
    row->setContentsMargins(16, 6, 16, 6);
    m_undoText = new QLabel(m_undoBar);
    m_undoText->setObjectName(QStringLiteral("undoBarText"));
    m_undoText->setTextFormat(Qt::PlainText);
    m_undoText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    row->addWidget(m_undoText, 1);
    const QString undoText = l10nText("common.undo", "撤销");
    auto* undo = new QPushButton(undoText, m_undoBar);
    undo->setObjectName(QStringLiteral("undoBarButton"));
    undo->setAccessibleName(undoText);
    connect(undo, &QPushButton::clicked, m_history.stack(), &QUndoStack::undo);
    row->addWidget(undo);
    m_undoTimer = new QTimer(this);
    m_undoTimer->setSingleShot(true);
    m_undoTimer->setInterval(kUndoBarSeconds * 1000);
    connect(m_undoTimer, &QTimer::timeout, m_undoBar, &QWidget::hide);
    m_undoBar->hide();
    return m_undoBar;
}

// The icon library under the editors. Picking an icon there goes to onSelectIcon().
QWidget* ProfilesView::makeIconLibrary()
{
    auto* library = new IconLibraryView(this);
    connect(library, &IconLibraryView::iconSelected, this, &ProfilesView::onSelectIcon);
    return library;
}

void ProfilesView::showUndoBar(const QString& text)
{
    m_undoText->setText(text);
    m_undoBar->show();
    m_undoTimer->start();
}

// ---------------------------------------------------------------- state

RingProfile ProfilesView::currentProfile() const
{
    return SettingsRules::currentProfile(m_store.profiles(), m_store.selectedProfileId());
}

ActionSlot ProfilesView::currentSlot() const
{
    return SettingsRules::currentSlot(currentProfile(), m_slotIndex);
}

void ProfilesView::setSelectedSlotIndex(int index)
{
    if (index < 0 || index > 7 || index == m_slotIndex)
        return;
    m_slotIndex = index;
    if (m_ringEditor)
        m_ringEditor->setSelectedSlotIndex(index);
    rebuildSlotEditor();
}

void ProfilesView::reloadList(bool force)
{
    const QList<RingProfile> profiles = m_store.profiles();
    QStringList keys;
    for (const RingProfile& p : profiles)
        keys << rowKey(p);
    QStringList shown;
    for (int i = 0; i < m_list->count(); ++i)
        shown << m_list->item(i)->data(Qt::UserRole + 3).toString();
    if (keys == shown && !force)
        return;

    m_syncingList = true;
    m_list->clear();
    for (const RingProfile& p : profiles) {
        auto* item = new QListWidgetItem(m_list);
        const QString name =
            p.isGlobalDefault() ? l10nText("profile.global_default", "通用配置 (全局默认)") : p.name;
        item->setText(name);
        item->setIcon(rowIcon(p, m_list->palette()));
        item->setData(kIdRole, p.id.toString());
        item->setData(Qt::UserRole + 3, rowKey(p));
        if (p.isGlobalDefault()) {
            const QString tag = l10nText("profile.global_tag", "全局");
            item->setData(kTagRole, tag);
            item->setData(Qt::AccessibleTextRole, QString(name + QStringLiteral(", ") + tag));
        }
    }
    m_syncingList = false;
}

void ProfilesView::syncSelection()
{
    m_syncingList = true;
    const std::optional<QUuid> selected = m_store.selectedProfileId();
    int row = -1;
    for (int i = 0; selected && i < m_list->count(); ++i) {
        if (QUuid(m_list->item(i)->data(kIdRole).toString()) == *selected) {
            row = i;
            break;
        }
    }
    m_list->setCurrentRow(row);
    if (row < 0)
        m_list->clearSelection();
    m_syncingList = false;
}

void ProfilesView::refreshDetail()
{
    const bool selected = SettingsRules::hasSelectedProfile(m_store.profiles(), m_store.selectedProfileId());
    auto* stack = static_cast<QStackedWidget*>(m_detail->parentWidget());
    stack->setCurrentIndex(selected ? 1 : 0);
    const RingProfile profile = currentProfile();
    m_trashButton->setVisible(selected && profile.bundleIdentifier.has_value());
    m_profileTitle->setText(
        profile.isGlobalDefault() ? l10nText("profile.global_default", "通用配置 (全局默认)") : profile.name);
}

void ProfilesView::onSelectedProfileChanged()
{
    m_slotIndex = 0;
    syncSelection();
    refreshDetail();
    rebuildEditors();
}

void ProfilesView::onProfilesChanged()
{
    reloadList();
    syncSelection();
    refreshDetail();
    const RingProfile profile = currentProfile();
    const bool selected = SettingsRules::hasSelectedProfile(m_store.profiles(), m_store.selectedProfileId());
    if (!selected || m_shownProfileId != profile.id || !m_ringEditor || !m_slotEditor) {
        rebuildEditors();
        return;
    }
    // The same ring changed (an edit, undo, redo): the editors follow in place.
    m_ringEditor->setProfile(profile);
    if (const std::optional<ActionSlot> slot = profile.slotAt(m_slotIndex)) {
        m_slotEditor->setSlot(*slot);
    } else {
        ActionSlot blank = ActionSlot::empty(m_slotIndex);
        blank.id = m_slotEditor->slot().id;
        m_slotEditor->setSlot(blank);
    }
}

void ProfilesView::rebuildEditors()
{
    if (m_ringEditor) {
        m_ringEditor->hide();
        m_ringEditor->deleteLater();
    }
    m_ringEditor = nullptr;
    const bool selected = SettingsRules::hasSelectedProfile(m_store.profiles(), m_store.selectedProfileId());
    if (!selected) {
        m_shownProfileId.reset();
        if (m_slotEditor) {
            m_slotEditor->hide();
            m_slotEditor->deleteLater();
        }
        m_slotEditor = nullptr;
        return;
    }
    const RingProfile profile = currentProfile();
    m_shownProfileId = profile.id;
    const QUuid ringId = profile.id;
    m_ringEditor = new RingVisualEditorView(
        profile, m_slotIndex, [this, ringId](const ActionSlot& slot) { commitSlot(ringId, slot, 0); },
        m_editorRow);
    m_ringEditor->setMaximumWidth(360);
    static_cast<QHBoxLayout*>(m_editorRow->layout())->insertWidget(0, m_ringEditor, 0, Qt::AlignTop);
    connect(m_ringEditor, &RingVisualEditorView::selectedSlotIndexChanged, this,
            &ProfilesView::setSelectedSlotIndex);
    rebuildSlotEditor();
}

void ProfilesView::rebuildSlotEditor()
{
    if (m_slotEditor) {
        m_slotEditor->hide();
        m_slotEditor->deleteLater();
    }
    m_slotEditor = nullptr;
    if (!m_shownProfileId)
        return;
    const QUuid ringId = *m_shownProfileId;
    m_slotEditor = new SlotDetailEditorView(
        currentSlot(),
        [this, ringId](const ActionSlot& slot, int mergeId) { commitSlot(ringId, slot, mergeId); }, m_scripts,
        m_slotEditorHolder);
    m_slotEditorHolder->layout()->addWidget(m_slotEditor);
    // Undo and redo belong to the window, also inside the editor's text fields.
    const auto fields = m_slotEditor->findChildren<QWidget*>();
    for (QWidget* w : fields)
        w->installEventFilter(this);
}

// ---------------------------------------------------------------- edits

void ProfilesView::commitSlot(const QUuid& ringId, const ActionSlot& slot, int mergeId)
{
    m_history.apply(
        ProfileHistory::Kind::slot, QString(), [this, ringId, slot] { m_store.updateSlot(ringId, slot); },
        mergeId, ringId, slot.index);
}

void ProfilesView::onSelectIcon(const IconInfo& icon)
{
    const RingProfile profile = currentProfile();
    const std::optional<ActionSlot> slot = SettingsRules::slotWithPickedIcon(profile, m_slotIndex, icon);
    if (!slot)
        return;
    commitSlot(profile.id, *slot, 0);
}

void ProfilesView::exportCurrentProfile()
{
    RingFileExchange::exportProfile(window(), currentProfile());
}

void ProfilesView::importProfile()
{
    RingFileExchange::importProfile(
        window(),
        [this](const RingProfile& ring) {
            bool saved = false;
            m_history.apply(ProfileHistory::Kind::import, QString(),
                            [this, &ring, &saved] { saved = m_store.importProfile(ring); });
            return saved;
        },
        m_store.saveFilePath());
}

void ProfilesView::clearCurrentProfile()
{
    const RingProfile profile = currentProfile();
    const QString name =
        profile.isGlobalDefault() ? l10nText("profile.global_default", "通用配置 (全局默认)") : profile.name;
    m_history.apply(ProfileHistory::Kind::clear,
                    L10n::format(QStringLiteral("profile.undo_cleared"), std::nullopt, {name}),
                    [this, id = profile.id] { m_store.clearAllSlots(id); });
}

void ProfilesView::deleteSelectedProfile()
{
    if (!SettingsRules::hasSelectedProfile(m_store.profiles(), m_store.selectedProfileId()))
        return;
    const RingProfile profile = currentProfile();
    if (!profile.bundleIdentifier)
        return;
    m_history.apply(ProfileHistory::Kind::remove,
                    L10n::format(QStringLiteral("profile.undo_deleted"), std::nullopt, {profile.name}),
                    [this, profile] { m_store.deleteProfile(profile); });
}

// The sheet that adds a ring for an installed application, window-modal on the
// settings window.
QDialog* ProfilesView::makeAddAppSheet()
{
    auto* sheet = new AddAppProfileSheet(window());
    // It takes the window's light or dark palette.
    sheet->setAttribute(Qt::WA_WindowPropagation);
    sheet->setPalette(window()->palette());
    return sheet;
}

// The sheet that adds a ring for an installed application; it adds the ring
// through the store itself, so what it changed is recorded once it closes.
void ProfilesView::openAddAppSheet()
{
    QDialog* sheet = makeAddAppSheet();
    if (!sheet)
        return;
    m_history.beginOutsideChange();
    // Once, whether the sheet finishes or goes away with the window.
    auto ended = std::make_shared<bool>(false);
    auto end = [history = &m_history, ended] {
        if (!std::exchange(*ended, true))
            history->endOutsideChange(ProfileHistory::Kind::add, QString());
    };
    connect(sheet, &QDialog::finished, &m_history, end);
    connect(sheet, &QObject::destroyed, &m_history, end);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
}

bool ProfilesView::eventFilter(QObject* watched, QEvent* event)
{
    // Only key events matter here. The slot editor's fields are watched too, and
    // while the editor is being taken down they still send child and parent
    // events: the editor must not be looked at then.
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
        return QWidget::eventFilter(watched, event);
    // Return presses a focused button of the page, as Space does.
    auto* watchedWidget = qobject_cast<QWidget*>(watched);
    const bool inSlotEditor = m_slotEditor && watchedWidget && m_slotEditor->isAncestorOf(watchedWidget);
    if (event->type() == QEvent::KeyPress && !inSlotEditor) {
        const auto* key = static_cast<QKeyEvent*>(event);
        auto* button = qobject_cast<QAbstractButton*>(watched);
        if (button && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            button->click();
            return true;
        }
    }
    // Text fields take Ctrl+Z for their own undo; here it is the window's, so a
    // field's edit is undone as the one step it was recorded as. A shortcut
    // being recorded takes every key, Ctrl+Z included.
    if (event->type() == QEvent::ShortcutOverride && !(m_slotEditor && m_slotEditor->isRecordingShortcut())) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeyCombination combo = key->keyCombination();
        if (combo == (Qt::CTRL | Qt::Key_Z) || combo == (Qt::CTRL | Qt::SHIFT | Qt::Key_Z) ||
            combo == (Qt::CTRL | Qt::Key_Y)) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
