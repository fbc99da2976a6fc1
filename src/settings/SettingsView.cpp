#include "settings/SettingsView.h"

#include "actions/ShortcutsManager.h"
#include "common/AppSettings.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "l10n/L10n.h"
#include "market/MarketClient.h"
#include "market/MarketView.h"
#include "model/AppProfileManager.h"
#include "model/KeyComboText.h"
#include "platform/freedesktop/SystemAppearance.h"
#include "settings/GeneralSettingsView.h"
#include "settings/PermissionGuideView.h"
#include "settings/ProfileHistory.h"
#include "settings/ProfilesView.h"
#include "settings/SlotEditorComponents.h"
#include "shell/AccessibilityPermissionManager.h"
#include "shell/ActiveAppSensor.h"
#include "shell/HotkeyManager.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>

using SettingsRules::SettingsTab;

namespace {

const QString kThemeKey = QStringLiteral("rondix_theme_mode");

QFont sizedFont(const QWidget* w, double pixelSize, QFont::Weight weight = QFont::Normal)
{
    QFont f = w->font();
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(weight);
    return f;
}

QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e), base(0x1f, 0x1f, 0x22), text(0xf2, 0xf2, 0xf5);
    const QColor button(0x3a, 0x3a, 0x3e), highlight(0x0a, 0x84, 0xff);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, button);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    p.setColor(QPalette::Midlight, QColor(0x42, 0x42, 0x46));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    p.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1c));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x40, 0x9c, 0xff));
    p.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x7a, 0x7a, 0x7e));
    p.setColor(QPalette::Disabled, QPalette::Text, QColor(0x7a, 0x7a, 0x7e));
    p.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x7a, 0x7a, 0x7e));
    return p;
}

QPalette lightPalette()
{
    QPalette p = QApplication::style()->standardPalette();
    p.setColor(QPalette::Highlight, QColor(0x0a, 0x64, 0xd6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

bool isDarkPalette(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QFrame* divider(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

SettingsView::SettingsView(QWidget* parent)
    : QWidget(parent)
    , m_history(new ProfileHistory(AppProfileManager::shared(), this))
{
    setObjectName(QStringLiteral("SettingsView"));
    setMinimumSize(940, 660);
    m_root = new QVBoxLayout(this);
    m_root->setContentsMargins(0, 0, 0, 0);
    m_root->setSpacing(0);
    m_root->addWidget(buildHeader());
    m_root->addWidget(buildPermissionBanner());
    m_root->addWidget(buildSaveBlockedBanner());
    m_root->addWidget(divider(this));
    buildContent();

    // Undo and redo work anywhere in the window.
    auto addShortcut = [this](const QKeySequence& keys, auto slot) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, m_history->stack(), slot);
    };
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), &QUndoStack::undo);
    addShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &QUndoStack::redo);
    addShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), &QUndoStack::redo);
    // Ctrl+1, 2, 3 pick a tab.
    const QList<SettingsTab> tabs = SettingsRules::allTabs();
    for (int i = 0; i < tabs.size(); ++i) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, tab = tabs[i]] { setSelectedTab(tab); });
    }

    auto& permission = AccessibilityPermissionManager::shared();
    connect(&permission, &AccessibilityPermissionManager::isAccessibilityGrantedChanged, this,
            &SettingsView::updateBanners);
    connect(&AppProfileManager::shared(), &AppProfileManager::saveBlockedPathChanged, this,
            &SettingsView::updateBanners);
    connect(&HotkeyManager::shared(), &HotkeyManager::currentHotkeyChanged, this,
            &SettingsView::updateSummonLabel);
    connect(&L10n::shared(), &L10n::languageChanged, this, &SettingsView::onLanguageChanged);
    // The theme follows the general tab's choice and the desktop's, at once.
    connect(&AppSettings::notifier(), &AppSettingsNotifier::valueChanged, this, [this](const QString& key) {
        if (key == kThemeKey && m_appeared)
            updateWindowAppearance();
    });
    connect(&SystemAppearance::shared(), &SystemAppearance::isDarkChanged, this, [this] {
        if (m_appeared)
            updateWindowAppearance();
    });

    retranslate();
    updateBanners();
}

SettingsView::~SettingsView()
{
    // The pages commit into the history: they go before it does.
    delete m_pages.data();
}

// ---------------------------------------------------------------- layout

QWidget* SettingsView::buildHeader()
{
    auto* header = new QWidget(this);
    header->setObjectName(QStringLiteral("settingsHeader"));
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 10, 16, 10);

    auto* picker = new QWidget(header);
    picker->setObjectName(QStringLiteral("settingsTabPicker"));
    picker->setFixedWidth(440);
    auto* pickerRow = new QHBoxLayout(picker);
    pickerRow->setContentsMargins(0, 0, 0, 0);
    pickerRow->setSpacing(0);
    m_tabGroup = new QButtonGroup(this);
    m_tabGroup->setExclusive(true);
    const QList<SettingsTab> tabs = SettingsRules::allTabs();
    for (int i = 0; i < tabs.size(); ++i) {
        auto* button = new QToolButton(picker);
        button->setObjectName(QStringLiteral("settingsTab-") + SettingsRules::rawValue(tabs[i]));
        button->setCheckable(true);
        button->setChecked(tabs[i] == m_selectedTab);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setFocusPolicy(Qt::StrongFocus);
        activateOnReturn(button);
        m_tabGroup->addButton(button, i);
        pickerRow->addWidget(button);
    }
    connect(m_tabGroup, &QButtonGroup::idClicked, this,
            [this, tabs](int id) { setSelectedTab(tabs.value(id, SettingsTab::profiles)); });
    row->addWidget(picker);
    row->addStretch(1);

    m_summonButton = new QPushButton(header);
    m_summonButton->setObjectName(QStringLiteral("summonTestButton"));
    m_summonButton->setIcon(symbolIcon(QStringLiteral("play.circle.fill"), Qt::white, 16));
    m_summonButton->setAutoDefault(false);
    QPalette pal = m_summonButton->palette();
    pal.setColor(QPalette::Button, QColor(0x0a, 0x64, 0xd6));
    pal.setColor(QPalette::ButtonText, Qt::white);
    m_summonButton->setPalette(pal);
    activateOnReturn(m_summonButton);
    connect(m_summonButton, &QPushButton::clicked, this, &SettingsView::summonTestHUD);
    row->addWidget(m_summonButton);
    return header;
}

QWidget* SettingsView::buildPermissionBanner()
{
    m_permissionBanner = new QFrame(this);
    m_permissionBanner->setObjectName(QStringLiteral("permissionBanner"));
    m_permissionBanner->setAutoFillBackground(true);
    QPalette pal = m_permissionBanner->palette();
    QColor orange(0xff, 0x95, 0x00);
    orange.setAlphaF(0.14);
    pal.setColor(QPalette::Window, orange);
    m_permissionBanner->setPalette(pal);
    auto* row = new QHBoxLayout(m_permissionBanner);
    row->setContentsMargins(16, 8, 16, 8);
    row->setSpacing(10);
    auto* symbol = new QLabel(m_permissionBanner);
    symbol->setPixmap(
        symbolIcon(QStringLiteral("exclamationmark.triangle.fill"), QColor(0xff, 0x95, 0x00), 15)
            .pixmap(15, 15));
    row->addWidget(symbol);
    m_permissionText = new QLabel(m_permissionBanner);
    m_permissionText->setObjectName(QStringLiteral("permissionBannerText"));
    m_permissionText->setWordWrap(true);
    m_permissionText->setFont(sizedFont(m_permissionText, 11.5, QFont::Medium));
    row->addWidget(m_permissionText, 1);
    m_permissionButton = new QPushButton(m_permissionBanner);
    m_permissionButton->setObjectName(QStringLiteral("permissionGuideButton"));
    m_permissionButton->setAutoDefault(false);
    activateOnReturn(m_permissionButton);
    connect(m_permissionButton, &QPushButton::clicked, this, &SettingsView::showPermissionGuide);
    row->addWidget(m_permissionButton);
    return m_permissionBanner;
}

QWidget* SettingsView::buildSaveBlockedBanner()
{
    // While the store refuses to save over a file it could not read, no edit
    // made here is kept: say so where the edits are made.
    m_saveBlockedBanner = new QFrame(this);
    m_saveBlockedBanner->setObjectName(QStringLiteral("saveBlockedBanner"));
    m_saveBlockedBanner->setAutoFillBackground(true);
    QPalette pal = m_saveBlockedBanner->palette();
    QColor red(0xff, 0x3b, 0x30);
    red.setAlphaF(0.16);
    pal.setColor(QPalette::Window, red);
    m_saveBlockedBanner->setPalette(pal);
    auto* row = new QHBoxLayout(m_saveBlockedBanner);
    row->setContentsMargins(16, 8, 16, 8);
    row->setSpacing(10);
    auto* symbol = new QLabel(m_saveBlockedBanner);
    symbol->setPixmap(
        symbolIcon(QStringLiteral("exclamationmark.triangle.fill"), QColor(0xff, 0x3b, 0x30), 15)
            .pixmap(15, 15));
    row->addWidget(symbol);
    m_saveBlockedText = new QLabel(m_saveBlockedBanner);
    m_saveBlockedText->setObjectName(QStringLiteral("saveBlockedText"));
    m_saveBlockedText->setWordWrap(true);
    m_saveBlockedText->setTextFormat(Qt::PlainText);
    m_saveBlockedText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(m_saveBlockedText, 1);
    return m_saveBlockedBanner;
}

void SettingsView::buildContent()
{
    // The pages are made for one language; a language change makes them afresh.
    if (m_pages) {
        if (ProfilesView* profiles = profilesView())
            m_slotIndex = profiles->selectedSlotIndex();
        m_pages->hide();
        m_root->removeWidget(m_pages);
        m_pages->deleteLater();
    }
    m_builtLanguage = L10n::shared().effectiveLanguageCode();
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("settingsTabContent-") + m_builtLanguage);
    m_pages->addWidget(new ProfilesView(*m_history, m_slotIndex, &ShortcutsManager::shared(), m_pages));
    m_pages->addWidget(makeGeneralPage());
    m_pages->addWidget(makeMarketPage());
    m_pages->setCurrentIndex(int(SettingsRules::allTabs().indexOf(m_selectedTab)));
    m_root->addWidget(m_pages, 1);
}

// The general tab.
QWidget* SettingsView::makeGeneralPage()
{
    return new GeneralSettingsView(m_pages);
}

QWidget* SettingsView::makeMarketPage()
{
    return new MarketView(MarketClient::shared(), m_pages);
}

void SettingsView::showPermissionGuide()
{
    PermissionGuideView::presentSheet(window());
}

// ---------------------------------------------------------------- state

QWidget* SettingsView::page(SettingsTab tab) const
{
    return m_pages ? m_pages->widget(int(SettingsRules::allTabs().indexOf(tab))) : nullptr;
}

ProfilesView* SettingsView::profilesView() const
{
    return qobject_cast<ProfilesView*>(page(SettingsTab::profiles));
}

void SettingsView::setSelectedTab(SettingsTab tab)
{
    m_selectedTab = tab;
    const int index = int(SettingsRules::allTabs().indexOf(tab));
    if (QAbstractButton* button = m_tabGroup->button(index))
        button->setChecked(true);
    if (m_pages)
        m_pages->setCurrentIndex(index);
}

void SettingsView::retranslate()
{
    const QList<SettingsTab> tabs = SettingsRules::allTabs();
    for (int i = 0; i < tabs.size(); ++i) {
        QAbstractButton* button = m_tabGroup->button(i);
        const QString title = SettingsRules::title(tabs[i]);
        // "General & Hotkeys": an ampersand here is text, not a mnemonic.
        button->setText(QString(title).replace(QLatin1Char('&'), QStringLiteral("&&")));
        button->setAccessibleName(title);
    }
    refreshIcons();
    m_permissionText->setText(
        L10n::string(QStringLiteral("settings.permissions_warning"),
                     QStringLiteral("⚠️ "
                                    "辅助功能权限未授权：快捷操作与按键发送需要【辅助功能】权限。")));
    m_permissionButton->setText(L10n::string(QStringLiteral("settings.view_permission_guide"),
                                             QStringLiteral("查看权限配置引导...")));
    m_permissionButton->setAccessibleName(m_permissionButton->text());
    updateSummonLabel();
    updateBanners();
}

void SettingsView::refreshIcons()
{
    const QList<SettingsTab> tabs = SettingsRules::allTabs();
    const QColor text = palette().color(QPalette::WindowText);
    for (int i = 0; i < tabs.size(); ++i)
        m_tabGroup->button(i)->setIcon(symbolIcon(SettingsRules::symbol(tabs[i]), text, 16));
}

void SettingsView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && m_tabGroup)
        refreshIcons();
}

void SettingsView::onLanguageChanged()
{
    retranslate();
    if (L10n::shared().effectiveLanguageCode() != m_builtLanguage)
        buildContent();
    updateWindowTitle();
}

void SettingsView::updateSummonLabel()
{
    const std::optional<SavedHotkey> hotkey = HotkeyManager::shared().currentHotkey();
    std::optional<QString> text;
    if (hotkey)
        text = KeyComboText::displayHotkey(hotkey->keyCode, hotkey->carbonModifiers);
    m_summonButton->setText(SettingsRules::summonTestLabel(text));
    m_summonButton->setAccessibleName(m_summonButton->text());
}

void SettingsView::updateBanners()
{
    m_permissionBanner->setVisible(!AccessibilityPermissionManager::shared().isAccessibilityGranted());
    const QString blocked = AppProfileManager::shared().saveBlockedPath();
    m_saveBlockedBanner->setVisible(!blocked.isEmpty());
    if (!blocked.isEmpty())
        m_saveBlockedText->setText(
            L10n::format(QStringLiteral("menu.tooltip_save_blocked"), std::nullopt, {blocked}));
}

void SettingsView::summonTestHUD()
{
    const std::optional<RunningApp> app = ActiveAppSensor::shared().snapshotFrontmostApp();
    std::optional<QString> bundleId;
    if (app && !app->bundleId.isEmpty())
        bundleId = app->bundleId;
    WhirloPanel::shared().show(std::nullopt, AppProfileManager::shared().profileFor(bundleId), app);
}

void SettingsView::updateWindowTitle()
{
    const QString title = SettingsRules::windowTitle();
    if (QWidget* own = window(); own != this)
        own->setWindowTitle(title);
    // Other settings windows of this process follow (only those showing this view:
    // a guide window with "Rondix" in its title keeps its own).
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w != window() && SettingsRules::isSettingsWindowTitle(w->windowTitle()) &&
            w->findChild<SettingsView*>())
            w->setWindowTitle(title);
    }
}

void SettingsView::updateWindowAppearance()
{
    QWidget* target = window();
    const bool dark = SystemAppearance::shared().themeIsDark();
    // The application's own palette serves when it already has the wanted scheme.
    if (dark == isDarkPalette(QApplication::palette()))
        target->setPalette(QPalette());
    else
        target->setPalette(dark ? darkPalette() : lightPalette());
}

void SettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_appeared)
        return;
    m_appeared = true;
    AccessibilityPermissionManager::shared().checkPermission();
    updateWindowTitle();
    updateWindowAppearance();
}

// ---------------------------------------------------------------- keyboard

void SettingsView::activateOnReturn(QAbstractButton* button)
{
    button->installEventFilter(this);
}

bool SettingsView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            if (auto* button = qobject_cast<QAbstractButton*>(watched)) {
                button->click();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}
