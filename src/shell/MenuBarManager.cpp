#include "shell/MenuBarManager.h"

#include "common/Log.h"
#include "l10n/L10n.h"
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
    updateTooltip();
    refreshMenuItems(m_menu);

    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        logLine(QStringLiteral(
            "[MenuBarManager] No system tray available; summon with the hotkey or \"rondix summon\"."));
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
    const std::optional<QString> hotkey = m_services.currentHotkeyDisplay();
    if (hotkey)
        m_tooltip = L10n::format(QStringLiteral("menu.tooltip_hotkey"), std::nullopt, {*hotkey});
    else
        m_tooltip = L10n::string(QStringLiteral("menu.tooltip_nohotkey"));
    if (m_statusItem)
        m_statusItem->setToolTip(m_tooltip);
}

void MenuBarManager::refreshMenuItems(QMenu* menu)
{
    menu->clear();

    const std::optional<QString> hotkey = m_services.currentHotkeyDisplay();
    const QString hotkeyText = hotkey ? *hotkey : L10n::string(QStringLiteral("menu.click_to_summon"));
    QAction* summon =
        menu->addAction(L10n::format(QStringLiteral("menu.summon"), std::nullopt, {hotkeyText}));
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
    auto* window = new PermissionGuideWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void MenuBarManager::openSettingsWindow()
{
    if (m_settingsWindow) {
        m_settingsWindow->showNormal();
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
