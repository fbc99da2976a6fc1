#pragma once

#include <optional>
#include <QObject>
#include <QPoint>

class LoginItem;
class MenuBarManager;
class ShellServices;

// Brings the shell up in its fixed order, routes every trigger into the summon
// sequence and handles reopen and termination.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    AppDelegate(ShellServices& services, MenuBarManager& menuBar, LoginItem* loginItem,
                QObject* parent = nullptr);

    void applicationDidFinishLaunching();
    // Summons the ring at the pointer, or at the centre of the primary screen's
    // available area when atCenter is set (pointer again when there is no screen).
    void triggerWhirlo(bool atCenter);
    // A second start of the program: raise a visible settings window, else show
    // the ring at the screen centre. Always handled.
    bool applicationShouldHandleReopen();
    void applicationWillTerminate();

    // Where the ring goes for a centred summon; none without a screen.
    static std::optional<QPoint> screenCentre();

private:
    void setupGlobalHotkey();

    ShellServices& m_services;
    MenuBarManager& m_menuBar;
    LoginItem* m_loginItem;
};
