#include "settings/GeneralSettingsView.h"

#include "common/AppSettings.h"
#include "common/Log.h"
#include "hud/SoundFeedback.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "platform/Opener.h"
#include "platform/Platform.h"
#include "settings/AppearanceSelectorView.h"
#include "settings/HotkeyRecorderView.h"
#include "settings/LegalPages.h"
#include "settings/MouseButtonRecorderView.h"
#include "settings/PermissionGuideView.h"
#include "settings/SettingsStyle.h"
#include "shell/AccessibilityPermissionManager.h"
#include "shell/HotkeyManager.h"
#include "shell/MenuBarManager.h"
#include "shell/MouseTriggerManager.h"
#include "shell/WindowHints.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

using SettingsStyle::text;

namespace {

QLabel* label(const QString& content, double size, QFont::Weight weight, bool secondary, QWidget* parent)
{
    auto* l = new QLabel(content, parent);
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText);
    SettingsStyle::setFontSize(l, size, weight);
    if (secondary)
        SettingsStyle::setSecondary(l);
    return l;
}

// A titled group: the header over a rounded panel; returns the panel's column.
QVBoxLayout* addSection(QVBoxLayout* page, const QString& title, const QString& objectName, QWidget* parent)
{
    auto* section = new QWidget(parent);
    section->setObjectName(objectName);
    auto* column = new QVBoxLayout(section);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    if (!title.isEmpty()) {
        QLabel* header = label(title, 12, QFont::DemiBold, true, section);
        header->setContentsMargins(4, 0, 0, 0);
        column->addWidget(header);
    }
    auto* panel = new SettingsStyle::RoundedPanel(section, 10);
    panel->setFillRole(QPalette::Base);
    panel->setBorder(QColor(128, 128, 128, 48));
    auto* body = new QVBoxLayout(panel);
    body->setContentsMargins(14, 12, 14, 12);
    body->setSpacing(10);
    column->addWidget(panel);
    page->addWidget(section);
    return body;
}

QPushButton* linkButton(const QString& content, double size, QWidget* parent, const QString& symbol = {})
{
    auto* button = new SettingsStyle::LinkButton(content, symbol, parent);
    SettingsStyle::setFontSize(button, size);
    return button;
}

// A toggle whose box shows on dark panels too: the style draws the box's
// outline from the window colour, which a dark theme makes nearly black.
QCheckBox* toggle(const QString& content, const QString& objectName, QWidget* parent)
{
    auto* box = new QCheckBox(content, parent);
    box->setObjectName(objectName);
    QPalette p = box->palette();
    p.setColor(QPalette::Window, QColor(0x8e, 0x8e, 0x93));
    box->setPalette(p);
    return box;
}

// A title over a note at the left, a control at the right.
QHBoxLayout* triggerRow(const QString& title, const QString& note, QWidget* control, QWidget* parent)
{
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 4, 0, 4);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(6);
    texts->addWidget(label(title, 12, QFont::Medium, false, parent));
    texts->addWidget(label(note, 10.5, QFont::Normal, true, parent));
    row->addLayout(texts, 1);
    row->addWidget(control, 0, Qt::AlignVCenter);
    return row;
}

} // namespace

GeneralSettingsView::Services GeneralSettingsView::Services::shared()
{
    Services s;
    s.l10n = &L10n::shared();
    s.permission = &AccessibilityPermissionManager::shared();
    s.hotkeys = &HotkeyManager::shared();
    s.mouseTrigger = &MouseTriggerManager::shared();
    s.input = Platform::instance().input;
    s.loginItem = Platform::instance().loginItem;
    s.opener = Platform::instance().opener;
    s.hooks.playHover = [] { SoundFeedback::shared().playHover(); };
    s.relaunch = &AccessibilityPermissionManager::relaunchApp;
    s.showPermissionGuide = &PermissionGuideView::presentSheet;
    return s;
}

GeneralSettingsView::GeneralSettingsView(QWidget* parent)
    : GeneralSettingsView(Services::shared(), parent)
{}

GeneralSettingsView::GeneralSettingsView(Services services, QWidget* parent)
    : QWidget(parent)
    , m_services(std::move(services))
    , m_model(m_services.l10n, m_services.loginItem, m_services.hooks)
{
    setObjectName(QStringLiteral("generalSettings"));
    if (!m_services.hooks.hideFromTaskbar) {
        // The application's tray keeps the wish for windows opened later.
        QPointer<GeneralSettingsView> self(this);
        m_services.hooks.hideFromTaskbar = [self](bool hide) {
            if (MenuBarManager* menuBar = MenuBarManager::shared())
                menuBar->setHideFromTaskbar(hide);
            else if (self)
                WindowHints::setSkipTaskbar(self->window(), hide);
        };
        m_model = GeneralSettingsModel(m_services.l10n, m_services.loginItem, m_services.hooks);
    }

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("generalScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(m_scroll);
    rebuild();

    if (m_services.l10n)
        connect(m_services.l10n, &L10n::languageChanged, this, &GeneralSettingsView::rebuild);
    if (m_services.permission)
        connect(m_services.permission, &AccessibilityPermissionManager::isAccessibilityGrantedChanged, this,
                &GeneralSettingsView::refreshPermission);
    connect(&AppSettings::notifier(), &AppSettingsNotifier::valueChanged, this, [this](const QString& key) {
        if (key == GeneralSettingsModel::kThemeMode && m_appearance)
            m_appearance->refresh();
    });
}

GeneralSettingsView::~GeneralSettingsView() = default;

QString GeneralSettingsView::storeFolderText(const QString& dataDirectory, const QString& homeDirectory)
{
    const QString folder = QDir::cleanPath(QDir(dataDirectory).filePath(QStringLiteral("Rondix")));
    const QString home = QDir::cleanPath(homeDirectory);
    if (!home.isEmpty() && home != QLatin1String("/") && folder.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + folder.mid(home.size()) + QLatin1Char('/');
    return folder + QLatin1Char('/');
}

void GeneralSettingsView::updateLaunchAtLogin(bool enabled)
{
    m_model.setLaunchAtLogin(enabled);
}

void GeneralSettingsView::rebuild()
{
    // A language change rebuilds the page; the keyboard user stays on the
    // control they were on, and the page where it was scrolled to.
    QString focusName;
    if (QWidget* focus = window()->focusWidget(); focus && m_content && m_content->isAncestorOf(focus))
        focusName = focus->objectName();
    const int scroll = m_scroll->verticalScrollBar()->value();

    QWidget* old = m_scroll->takeWidget();
    m_warning = nullptr;
    m_privacyGuide = nullptr;
    m_appearance = nullptr;
    m_content = buildContent();
    m_scroll->setWidget(m_content);
    if (old)
        old->deleteLater();
    refreshPermission();

    m_scroll->verticalScrollBar()->setValue(scroll);
    if (!focusName.isEmpty()) {
        if (auto* target = m_content->findChild<QWidget*>(focusName))
            target->setFocus(Qt::OtherFocusReason);
    }
}

QWidget* GeneralSettingsView::buildContent()
{
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("generalContent"));
    auto* page = new QVBoxLayout(content);
    page->setContentsMargins(20, 20, 20, 20);
    page->setSpacing(18);

    // 1. Input control, only while it is missing.
    {
        auto* warning = new SettingsStyle::RoundedPanel(content, 10);
        warning->setObjectName(QStringLiteral("generalPermissionWarning"));
        QColor tint = SettingsStyle::orange();
        tint.setAlphaF(0.12f);
        warning->setFill(tint);
        auto* column = new QVBoxLayout(warning);
        column->setContentsMargins(10, 10, 10, 10);
        column->setSpacing(8);
        auto* titleRow = new QHBoxLayout;
        titleRow->addWidget(SettingsStyle::symbolLabel(QStringLiteral("exclamationmark.triangle.fill"), 18,
                                                       SettingsStyle::orange(), warning));
        titleRow->addWidget(label(text("general.section.permissions", "系统权限配置"), 13, QFont::Bold, false, warning),
                            1);
        column->addLayout(titleRow);
        column->addWidget(label(text("general.permissions.desc",
                                     "Rondix 需要【辅助功能】以向目标窗口发送按键，以及响应单手鼠标唤起。"),
                                11, QFont::Normal, true, warning));
        auto* buttons = new QHBoxLayout;
        auto* openGuide = new QPushButton(text("general.permissions.open_guide", "打开权限配置引导..."), warning);
        openGuide->setObjectName(QStringLiteral("generalOpenGuide"));
        auto* recheck = new QPushButton(text("general.accessibility.refresh", "重新检测"), warning);
        recheck->setObjectName(QStringLiteral("generalRecheck"));
        auto* relaunch = new QPushButton(text("general.accessibility.relaunch", "重启应用刷新"), warning);
        relaunch->setObjectName(QStringLiteral("generalRelaunch"));
        for (QPushButton* b : std::initializer_list<QPushButton*>{openGuide, recheck, relaunch}) {
            SettingsStyle::setFontSize(b, 11);
            buttons->addWidget(b);
        }
        buttons->addStretch(1);
        column->addLayout(buttons);
        connect(openGuide, &QPushButton::clicked, this, &GeneralSettingsView::showGuide);
        connect(recheck, &QPushButton::clicked, this, [this] {
            if (m_services.permission)
                m_services.permission->checkPermission();
        });
        connect(relaunch, &QPushButton::clicked, this, [this] {
            if (m_services.relaunch)
                m_services.relaunch();
        });
        page->addWidget(warning);
        m_warning = warning;
    }

    // 2. Appearance and system
    {
        QVBoxLayout* body = addSection(page, text("general.section.appearance_system", "外观风格与系统设置"),
                                       QStringLiteral("generalAppearanceSection"), content);
        QWidget* panel = body->parentWidget();
        m_appearance = new AppearanceSelectorView([this] { return m_model.themeMode(); },
                                                  [this](const QString& mode) { m_model.setThemeMode(mode); }, panel);
        body->addWidget(m_appearance);

        auto* languageRow = new QHBoxLayout;
        QLabel* languageLabel = label(text("general.appearance.language"), 12, QFont::Normal, false, panel);
        languageLabel->setWordWrap(false);
        auto* picker = new QComboBox(panel);
        picker->setObjectName(QStringLiteral("generalLanguage"));
        for (AppLanguage language : GeneralSettingsModel::languages())
            picker->addItem(AppLanguages::displayName(language), AppLanguages::rawValue(language));
        picker->setCurrentIndex(m_model.languageIndex());
        picker->setAccessibleName(languageLabel->text());
        languageLabel->setBuddy(picker);
        connect(picker, &QComboBox::activated, this, [this](int index) { m_model.chooseLanguage(index); });
        languageRow->addWidget(languageLabel);
        languageRow->addStretch(1);
        languageRow->addWidget(picker);
        body->addLayout(languageRow);

        auto* login = toggle(text("general.system.launch_at_login"), QStringLiteral("generalLaunchAtLogin"), panel);
        login->setChecked(m_model.launchAtLogin());
        connect(login, &QCheckBox::toggled, this, &GeneralSettingsView::updateLaunchAtLogin);
        body->addWidget(login);

        auto* hide = toggle(text("general.system.hide_dock"), QStringLiteral("generalHideDock"), panel);
        hide->setChecked(m_model.hideDockIcon());
        connect(hide, &QCheckBox::toggled, this, [this](bool on) { m_model.setHideDockIcon(on); });
        body->addWidget(hide);
    }

    // 3. Sounds and triggers
    {
        QVBoxLayout* body = addSection(page, text("general.section.sound_triggers", "音效与控制方式"),
                                       QStringLiteral("generalTriggerSection"), content);
        QWidget* panel = body->parentWidget();
        auto* sound = toggle(text("general.sound.enable"), QStringLiteral("generalSound"), panel);
        sound->setChecked(m_model.soundEnabled());
        connect(sound, &QCheckBox::toggled, this, [this](bool on) { m_model.setSoundEnabled(on); });
        body->addWidget(sound);

        auto* hotkey = new HotkeyRecorderView(m_services.hotkeys, panel);
        body->addLayout(triggerRow(text("general.trigger.hotkey"), text("general.trigger.hotkey_sub"), hotkey, panel));

        auto* mouseBlock = new QVBoxLayout;
        mouseBlock->setContentsMargins(0, 4, 0, 4);
        mouseBlock->setSpacing(8);
        auto* mouse = new MouseButtonRecorderView(m_services.mouseTrigger, m_services.input, panel);
        mouseBlock->addLayout(
            triggerRow(text("general.trigger.mouse"), text("general.trigger.mouse_sub"), mouse, panel));
        auto* tip = new QHBoxLayout;
        tip->setSpacing(6);
        tip->addWidget(SettingsStyle::symbolLabel(QStringLiteral("info.circle.fill"), 14,
                                                  SettingsStyle::accentColour(panel), panel),
                       0, Qt::AlignTop);
        auto* tipTexts = new QVBoxLayout;
        tipTexts->setSpacing(2);
        tipTexts->addWidget(label(text("general.trigger.mouse_driver_tip_title"), 11, QFont::DemiBold, false, panel));
        tipTexts->addWidget(label(text("general.trigger.mouse_driver_tip_desc"), 10.5, QFont::Normal, true, panel));
        tip->addLayout(tipTexts, 1);
        mouseBlock->addLayout(tip);
        body->addLayout(mouseBlock);
    }

    // 4. Privacy
    {
        QVBoxLayout* body =
            addSection(page, text("general.section.privacy"), QStringLiteral("generalPrivacySection"), content);
        QWidget* panel = body->parentWidget();
        body->setSpacing(6);
        body->addWidget(label(text("general.privacy.desc"), 11, QFont::Normal, true, panel));
        m_privacyGuide = linkButton(QString(), 11.5, panel, QStringLiteral("shield.lefthalf.filled"));
        m_privacyGuide->setObjectName(QStringLiteral("generalPrivacyGuide"));
        connect(m_privacyGuide, &QPushButton::clicked, this, &GeneralSettingsView::showGuide);
        body->addWidget(m_privacyGuide, 0, Qt::AlignLeft);
        auto* storage = new QHBoxLayout;
        QLabel* storageTitle = label(text("general.privacy.storage_path"), 11, QFont::Medium, false, panel);
        storageTitle->setWordWrap(false);
        storage->addWidget(storageTitle);
        QLabel* path = label(storeFolderText(AppProfileManager::defaultDataDirectory(), QDir::homePath()), 10,
                             QFont::Normal, true, panel);
        path->setObjectName(QStringLiteral("generalStorePath"));
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPixelSize(path->font().pixelSize());
        path->setFont(mono);
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        storage->addWidget(path, 1);
        body->addLayout(storage);
    }

    // 5. Legal
    {
        QVBoxLayout* body = addSection(page, text("general.section.terms", "法律条款与合规声明"),
                                       QStringLiteral("generalTermsSection"), content);
        QWidget* panel = body->parentWidget();
        const QString view = text("general.terms.view", "查看条款 ↗");
        const std::pair<QString, QString> pages[] = {
            {text("general.terms.eula", "服务条款 / 许可协议"), LegalPages::kTermsPath},
            {text("general.terms.privacy", "官方隐私政策"), LegalPages::kPrivacyPath}};
        for (const auto& [title, path] : pages) {
            auto* row = new QHBoxLayout;
            row->addWidget(label(title, 12, QFont::Normal, false, panel), 1);
            QPushButton* link = linkButton(view, 11, panel);
            link->setObjectName(path == LegalPages::kTermsPath ? QStringLiteral("generalTermsLink")
                                                               : QStringLiteral("generalPrivacyLink"));
            // Two links with one text: the row's title tells them apart.
            link->setAccessibleName(title + QStringLiteral(": ") + view);
            const QString target = path;
            connect(link, &QPushButton::clicked, this, [this, target] { openLegalPage(target); });
            row->addWidget(link);
            body->addLayout(row);
        }
        body->addWidget(label(text("general.terms.a11y_title", "辅助功能与系统自动化说明"), 11, QFont::Medium, false,
                              panel));
        body->addWidget(label(text("general.terms.a11y_desc",
                                   "Rondix 仅在用户主动触发轮盘时，通过系统辅助功能向当前活跃应用发送合成按键。应用 "
                                   "100% 本地运算，绝不记录或传输您的键盘输入与屏幕内容。"),
                              10.5, QFont::Normal, true, panel));
        body->addWidget(label(text("general.terms.trademark_title"), 11, QFont::Medium, false, panel));
        body->addWidget(label(text("general.terms.trademark_desc"), 10, QFont::Normal, true, panel));
    }

    // 6. About
    {
        QVBoxLayout* body =
            addSection(page, text("general.section.about"), QStringLiteral("generalAboutSection"), content);
        QWidget* panel = body->parentWidget();
        const std::pair<const char*, const char*> rows[] = {{"general.about.version", "general.about.version_val"},
                                                            {"general.about.features", "general.about.features_val"}};
        for (const auto& [key, value] : rows) {
            auto* row = new QHBoxLayout;
            row->addWidget(label(text(key), 12, QFont::Normal, false, panel));
            row->addStretch(1);
            QLabel* v = label(text(value), 12, QFont::Normal, true, panel);
            v->setWordWrap(false);
            v->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            row->addWidget(v);
            body->addLayout(row);
        }
    }
    page->addStretch(1);
    return content;
}

void GeneralSettingsView::refreshPermission()
{
    const bool granted = m_services.permission && m_services.permission->isAccessibilityGranted();
    if (m_warning) {
        // Hiding the block takes the keyboard focus with it: keep it on the page.
        const bool hadFocus = m_warning->isAncestorOf(window()->focusWidget());
        m_warning->setVisible(!granted);
        if (hadFocus && granted) {
            if (m_appearance && !m_appearance->cards().isEmpty())
                m_appearance->cards().first()->setFocus(Qt::OtherFocusReason);
        }
    }
    if (m_privacyGuide) {
        const QString caption = granted ? text("general.privacy.guide_ready", "系统权限配置与授权引导（已就绪）")
                                        : text("general.privacy.guide_missing", "⚠️ 配置系统辅助功能权限引导...");
        m_privacyGuide->setText(caption + QStringLiteral("  ›"));
        m_privacyGuide->setAccessibleName(caption);
    }
}

void GeneralSettingsView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_services.permission)
        m_services.permission->checkPermission();
}

void GeneralSettingsView::showGuide()
{
    if (m_services.showPermissionGuide)
        m_services.showPermissionGuide(window());
}

void GeneralSettingsView::openLegalPage(const QString& path)
{
    const QUrl url = LegalPages::pageUrl(path);
    if (url.isEmpty()) {
        logLine(QStringLiteral("[GeneralSettings] The page %1 is not installed.").arg(path));
        return;
    }
    if (m_services.opener)
        m_services.opener->openUrl(url);
}
