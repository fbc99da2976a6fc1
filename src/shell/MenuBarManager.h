#pragma once

#include "shell/SettingsWindow.h"

#include <QIcon>
#include <QObject>
#include <QPointer>

class QMenu;
class QSystemTrayIcon;
class ShellServices;

// The tray item with its menu, and the windows opened from it: one reusable
// settings window and any number of permission-guide windows.
class MenuBarManager : public QObject
{
    Q_OBJECT
public:
    explicit MenuBarManager(ShellServices& services, QObject* parent = nullptr);
    ~MenuBarManager() override;

    // The application's manager (the first one made), for the settings views
    // that retitle its window or apply "hideDockIcon"; none in tools and tests
    // that never made one.
    static MenuBarManager* shared();

    // Creates the tray item (when the session has a tray), its tooltip and menu.
    void setupMenuBar();
    void updateTooltip();
    // Empties `menu` and fills it again from the current state.
    void refreshMenuItems(QMenu* menu);

    void handleTriggerClicked();
    // The permission guide: a sheet on the settings window when that is open,
    // else its own window (one at a time: a second request raises it).
    void openPermissionGuideWindow();
    void openSettingsWindow();

    SettingsWindow* activeSettingsWindow() const { return m_settingsWindow; }
    QMenu* menu() const { return m_menu; }
    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    QString tooltip() const { return m_tooltip; }

    // Keeps the settings window off the taskbar ("hideDockIcon").
    void setHideFromTaskbar(bool hide);
    bool hidesFromTaskbar() const { return m_hideFromTaskbar; }

    static QIcon appIcon();

Q_SIGNALS:
    void menuReady();
    void settingsWindowOpened(SettingsWindow* window);
    void settingsWindowClosed();

private:
    void settingsWindowWillClose(SettingsWindow* window);
    // The tooltip again, saying whether the rings are being saved.
    void showSaveState();

    ShellServices& m_services;
    QSystemTrayIcon* m_statusItem = nullptr;
    QMenu* m_menu = nullptr;
    QString m_tooltip;
    QString m_hotkeyTooltip;
    QPointer<SettingsWindow> m_settingsWindow;
    QPointer<QWidget> m_guideWindow;
    bool m_hideFromTaskbar = false;
};
