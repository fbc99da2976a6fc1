#include "shell/MenuBarManager.h"

#include "common/Log.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "model/KeyComboText.h"
#include "shell/PermissionGuideWindow.h"
#include "shell/SettingsWindow.h"
#include "shell/ShellServices.h"
#include "shell/SummonSequence.h"
#include "shell/WindowHints.h"

#include <QApplication>
#include <QCursor>
#include <QLoggingCategory>
#include <QMenu>
#include <QSystemTrayIcon>

Q_LOGGING_CATEGORY(lcMenuBar, "rondix.shell.menubar")

// The icon is compiled into this static library; its resources must be
// registered by hand before the first lookup.
static void initShellResources()
{
    Q_INIT_RESOURCE(rondix);
}

namespace {
MenuBarManager* g_shared = nullptr;

// The hotkey as this desktop writes key combinations ("Alt+Space"); the saved
// glyph text stays as it was stored.
std::optional<QString> hotkeyText(ShellServices& services)
{
    const std::optional<SavedHotkey> hotkey = services.currentHotkey();
    if (!hotkey)
        return std::nullopt;
    return KeyComboText::displayHotkey(hotkey->keyCode, hotkey->carbonModifiers);
}
} // namespace

MenuBarManager::MenuBarManager(ShellServices& services, QObject* parent)
    : QObject(parent)
    , m_services(services)
{
    if (!g_shared)
        g_shared = this;
}

MenuBarManager::~MenuBarManager()
{
    if (g_shared == this)
        g_shared = nullptr;
    delete m_statusItem;
    delete m_menu;
    delete m_settingsWindow.data();
}

QIcon MenuBarManager::appIcon()
{
    // The installed theme icon wins; the copy built into the binary serves
    // uninstalled runs.
    static const bool once = (initShellResources(), true);
    Q_UNUSED(once);
    return QIcon::fromTheme(QStringLiteral("org.rondix.Rondix"),
                            QIcon(QStringLiteral(":/rondix/org.rondix.Rondix.svg")));
}

MenuBarManager* MenuBarManager::shared()
{
    return g_shared;
}

void MenuBarManager::setupMenuBar()
{
    m_menu = new QMenu();
    connect(m_menu, &QMenu::aboutToShow, this, [this] { refreshMenuItems(m_menu); });

    // The tooltip is set once: a hotkey recorded later shows in the menu, not here.
    // Whether the rings are being saved is kept current.
    updateTooltip();
    if (AppProfileManager* store = m_services.profileStore())
        connect(store, &AppProfileManager::saveBlockedPathChanged, this, &MenuBarManager::showSaveState);
    refreshMenuItems(m_menu);

    const bool trayNow = QSystemTrayIcon::isSystemTrayAvailable();
    if (!trayNow)
        logLine(QStringLiteral(
            "[MenuBarManager] No system tray available; summon with the hotkey or \"rondix summon\"."));
    // On X11 the icon is made and shown even so: at login the panel with its
    // tray often starts after Rondix, and Qt docks the icon as soon as a tray
    // shows up. Elsewhere Qt only ever uses a tray that is there at start.
    if (!trayNow && QGuiApplication::platformName() != QLatin1String("xcb")) {
        Q_EMIT menuReady();
        return;
    }
    m_statusItem = new QSystemTrayIcon(appIcon(), this);
    m_statusItem->setToolTip(m_tooltip);
    m_statusItem->setContextMenu(m_menu);
    // A primary click opens the same menu, like the status item it stands for.
    connect(m_statusItem, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());
    });
    m_statusItem->show();
    Q_EMIT menuReady();
}

void MenuBarManager::updateTooltip()
{
    const std::optional<QString> hotkey = hotkeyText(m_services);
    if (hotkey)
        m_hotkeyTooltip = L10n::format(QStringLiteral("menu.tooltip_hotkey"), std::nullopt, {*hotkey});
    else
        m_hotkeyTooltip = L10n::string(QStringLiteral("menu.tooltip_nohotkey"));
    showSaveState();
}

void MenuBarManager::showSaveState()
{
    m_tooltip = m_hotkeyTooltip;
    AppProfileManager* store = m_services.profileStore();
    const QString blocked = store ? store->saveBlockedPath() : QString();
    if (!blocked.isEmpty())
        m_tooltip += QLatin1Char('\n') +
                     L10n::format(QStringLiteral("menu.tooltip_save_blocked"), std::nullopt, {blocked});
    if (m_statusItem)
        m_statusItem->setToolTip(m_tooltip);
}

void MenuBarManager::refreshMenuItems(QMenu* menu)
{
    menu->clear();

    const std::optional<QString> hotkey = hotkeyText(m_services);
    const QString summonKey = hotkey ? *hotkey : L10n::string(QStringLiteral("menu.click_to_summon"));
    QAction* summon =
        menu->addAction(L10n::format(QStringLiteral("menu.summon"), std::nullopt, {summonKey}));
    connect(summon, &QAction::triggered, this, &MenuBarManager::handleTriggerClicked);

    menu->addSeparator();

    QAction* current = menu->addAction(
        L10n::format(QStringLiteral("menu.current_app"), std::nullopt, {m_services.currentAppName()}));
    current->setEnabled(false);

    const bool trusted = m_services.checkPermission();
    QAction* permission = menu->addAction(
        trusted ? L10n::string(QStringLiteral("menu.permissions_ok"), QStringLiteral("✅ 辅助功能权限已就绪"))
                : L10n::string(QStringLiteral("menu.permissions_missing"),
                               QStringLiteral("⚠️ 辅助功能授权配置...")));
    connect(permission, &QAction::triggered, this, &MenuBarManager::openPermissionGuideWindow);

    // A desktop that keeps some features from Rondix says so, each in a line;
    // the guide has what the user can do about it.
    const SessionCapabilities caps = m_services.sessionCapabilities();
    if (!caps.isComplete()) {
        QAction* limited = menu->addAction(
            L10n::format(QStringLiteral("menu.session_limited"), QStringLiteral("⚠️ 在 %@ 上部分功能不可用…"),
                         {caps.desktop}));
        limited->setObjectName(QStringLiteral("sessionLimited"));
        const QStringList missing = caps.missingTexts();
        limited->setToolTip(missing.join(QLatin1Char('\n')));
        connect(limited, &QAction::triggered, this, &MenuBarManager::openPermissionGuideWindow);
        for (const QString& line : missing) {
            QAction* item = menu->addAction(QStringLiteral("    ") + line);
            item->setEnabled(false);
        }
    }

    menu->addSeparator();

    QAction* settings = menu->addAction(L10n::string(QStringLiteral("menu.settings")));
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &MenuBarManager::openSettingsWindow);

    menu->addSeparator();

    QAction* quit = menu->addAction(L10n::string(QStringLiteral("menu.quit")));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void MenuBarManager::handleTriggerClicked()
{
    runSummonSequence(m_services, std::nullopt);
}

void MenuBarManager::openPermissionGuideWindow()
{
    if (m_settingsWindow && m_settingsWindow->isVisible() && PermissionGuideWindow::sheetPresenter()) {
        if (m_settingsWindow->isMinimized())
            m_settingsWindow->setWindowState(m_settingsWindow->windowState() & ~Qt::WindowMinimized);
        m_settingsWindow->raise();
        m_settingsWindow->activateWindow();
        PermissionGuideWindow::sheetPresenter()(m_settingsWindow);
        return;
    }
    if (m_guideWindow) {
        m_guideWindow->show();
        m_guideWindow->raise();
        m_guideWindow->activateWindow();
        return;
    }
    auto* window = new PermissionGuideWindow();
    m_guideWindow = window;
    window->show();
    window->raise();
    window->activateWindow();
}

void MenuBarManager::openSettingsWindow()
{
    if (m_settingsWindow) {
        // Forward as it is: maximised or full screen stays so; only a
        // minimised window comes back, in the state it had before.
        if (m_settingsWindow->isMinimized())
            m_settingsWindow->setWindowState(m_settingsWindow->windowState() & ~Qt::WindowMinimized);
        m_settingsWindow->show();
        m_settingsWindow->raise();
        m_settingsWindow->activateWindow();
        return;
    }

    auto* window = new SettingsWindow();
    m_settingsWindow = window;
    connect(window, &SettingsWindow::closing, this, [this, window] { settingsWindowWillClose(window); });
    if (m_hideFromTaskbar)
        WindowHints::setSkipTaskbar(window, true);
    window->show();
    window->raise();
    window->activateWindow();
    Q_EMIT settingsWindowOpened(window);
}

void MenuBarManager::settingsWindowWillClose(SettingsWindow* window)
{
    if (window != m_settingsWindow)
        return;
    m_settingsWindow.clear();
    // The window is rebuilt on the next open; give back what it held.
    window->deleteLater();
    m_services.releaseSettingsCaches();
    Q_EMIT settingsWindowClosed();
}

void MenuBarManager::setHideFromTaskbar(bool hide)
{
    m_hideFromTaskbar = hide;
    if (m_settingsWindow)
        WindowHints::setSkipTaskbar(m_settingsWindow, hide);
}
