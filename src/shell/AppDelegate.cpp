#include "shell/AppDelegate.h"

#include "common/AppSettings.h"
#include "common/Log.h"
#include "platform/LoginItem.h"
#include "shell/MenuBarManager.h"
#include "shell/SettingsWindow.h"
#include "shell/ShellServices.h"
#include "shell/SummonSequence.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QPointer>
#include <QScreen>

Q_LOGGING_CATEGORY(lcAppDelegate, "rondix.shell.delegate")

namespace {
const QString kHideDockIcon = QStringLiteral("hideDockIcon");
const QString kLaunchAtLogin = QStringLiteral("launchAtLogin");
} // namespace

AppDelegate::AppDelegate(ShellServices& services, MenuBarManager& menuBar, LoginItem* loginItem,
                         QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_menuBar(menuBar)
    , m_loginItem(loginItem)
{}

void AppDelegate::applicationDidFinishLaunching()
{
    m_services.createFrontmostSensor();

    QPointer<AppDelegate> self(this);
    m_services.createMouseTrigger([self](QPoint point) {
        if (!self)
            return;
        self->m_services.playTriggerSound();
        runSummonSequence(self->m_services,
                          self->m_services.pointerPositionKnown() ? std::optional<QPoint>(point) : std::nullopt);
    });

    m_menuBar.setupMenuBar();

    setupGlobalHotkey();

    // Linux has no Dock: the setting keeps the settings window off the taskbar.
    m_menuBar.setHideFromTaskbar(AppSettings::boolValue(kHideDockIcon, false));

    if (!AppSettings::contains(kLaunchAtLogin)) {
        AppSettings::setValue(kLaunchAtLogin, true);
        // A refused registration is ignored on purpose: the stored value stays true.
        if (m_loginItem) {
            QString error;
            if (!m_loginItem->registerItem(&error))
                qCDebug(lcAppDelegate) << "login item not registered:" << error;
        }
    }

    logLine(QStringLiteral("[Rondix] Application launched successfully."));

    m_services.checkPermission();
}

void AppDelegate::setupGlobalHotkey()
{
    QPointer<AppDelegate> self(this);
    m_services.setupHotkey([self] {
        if (self)
            runSummonSequence(self->m_services, std::nullopt);
    });
}

std::optional<QPoint> AppDelegate::screenCentre()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return screen->availableGeometry().center();
}

void AppDelegate::triggerWhirlo(bool atCenter)
{
    runSummonSequence(m_services, atCenter ? screenCentre() : std::nullopt);
}

bool AppDelegate::applicationShouldHandleReopen()
{
    SettingsWindow* window = m_menuBar.activeSettingsWindow();
    // A minimised window is not "visible" for this purpose: the ring comes up instead.
    if (window && window->isVisible() && !window->isMinimized()) {
        window->raise();
        window->activateWindow();
        return true;
    }
    triggerWhirlo(true);
    return true;
}

void AppDelegate::applicationWillTerminate()
{
    m_services.stopHotkey();
}
