#include "actions/ActionExecutor.h"
#include "common/Log.h"
#include "hud/WhirloHUDView.h"
#include "hud/WhirloPanel.h"
#include "market/MarketClient.h"
#include "model/AppProfileManager.h"
#include "model/RingFile.h"
#include "model/RingProfile.h"
#include "platform/Platform.h"
#include "settings/PermissionGuideView.h"
#include "settings/SettingsView.h"
#include "shell/AccessibilityPermissionManager.h"
#include "shell/AppDelegate.h"
#include "shell/CommandLine.h"
#include "shell/MarketCommand.h"
#include "shell/MenuBarManager.h"
#include "shell/PermissionGuideWindow.h"
#include "shell/RingCommand.h"
#include "shell/RondixDBusService.h"
#include "shell/SettingsWindow.h"
#include "shell/SharedShellServices.h"

#include <csignal>
#include <cstdio>
#include <optional>
#include <QApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <QWidget>
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

QString methodFor(CommandLine::Command command)
{
    switch (command) {
    case CommandLine::Command::Summon:
        return QStringLiteral("Summon");
    case CommandLine::Command::Settings:
        return QStringLiteral("ShowSettings");
    default:
        return QStringLiteral("Reopen");
    }
}

int g_signalFds[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

// SIGTERM and SIGINT (logout, kill, Ctrl+C) end the event loop normally, so the
// termination step (releasing the hotkey) runs as it does for the Quit item.
void quitOnTerminationSignals(QCoreApplication& app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        [[maybe_unused]] const ssize_t n = ::read(g_signalFds[1], &byte, 1);
        app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

// Qt ends a start without a display with its platform-plugin abort; say plainly
// what is missing instead. Nothing when a display is there or when the platform
// was chosen by hand (offscreen, vnc: Qt's business).
std::optional<QString> missingDisplay()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(QLatin1String("xcb")) &&
        !platform.startsWith(QLatin1String("wayland")))
        return std::nullopt;
    const QString where = QStringLiteral(
        " Rondix runs inside a graphical desktop session; \"rondix ring ...\" needs no display.");
    const QByteArray x = qgetenv("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (wayland && !platform.startsWith(QLatin1String("xcb")))
        return std::nullopt;
    if (x.isEmpty())
        return QStringLiteral("rondix: no X or Wayland display in this session (DISPLAY and WAYLAND_DISPLAY "
                              "are not set).") +
               where;
    xcb_connection_t* connection = xcb_connect(x.constData(), nullptr);
    const bool reachable = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (reachable)
        return std::nullopt;
    return QStringLiteral("rondix: the X display \"%1\" cannot be opened, and there is no Wayland display "
                          "in this session.")
               .arg(QString::fromLocal8Bit(x)) +
           where;
}

} // namespace

int main(int argc, char* argv[])
{
    installDefaultLogRules();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine commandLine = CommandLine::parse(arguments);

    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (commandLine.command) {
    case CommandLine::Command::Ring: {
        // No GUI application here: ring files are handled without a display.
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Rondix"));
        return runRingCommand(commandLine.ringArgs, out, err);
    }
    case CommandLine::Command::Market: {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Rondix"));
        QCoreApplication::setApplicationVersion(QStringLiteral(RONDIX_VERSION));
        const int status = runMarketCommand(commandLine.marketArgs, out, err);
        // The command has said all it has to say. D-Bus's own thread can still be
        // handing the bus's signals over while the process tears down, and Qt
        // then warns about types it has already dropped; that is no news for the user.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        return status;
    }
    case CommandLine::Command::Help:
        out << CommandLine::usage();
        return 0;
    case CommandLine::Command::Version:
        out << "rondix " << RONDIX_VERSION << "\n";
        return 0;
    case CommandLine::Command::Error:
        err << commandLine.error << "\n" << CommandLine::usage();
        return 2;
    default:
        break;
    }

    if (const std::optional<QString> problem = missingDisplay()) {
        err << *problem << "\n";
        return 1;
    }

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Rondix"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RONDIX_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.rondix.Rondix"));
    QGuiApplication::setQuitOnLastWindowClosed(false);

    RondixDBusService dbus;
    switch (dbus.claim()) {
    case RondixDBusService::Claim::OtherRunning: {
        QString error;
        if (!RondixDBusService::callRunningInstance(methodFor(commandLine.command), &error)) {
            err << "rondix: the running instance did not answer: " << error << "\n";
            return 1;
        }
        return 0;
    }
    case RondixDBusService::Claim::NoBus:
        logLine(QStringLiteral("[Rondix] No D-Bus session bus; running without single-instance support."));
        break;
    case RondixDBusService::Claim::Owner:
        break;
    }

    // Only the instance that stays needs the icon (a theme lookup).
    QApplication::setWindowIcon(MenuBarManager::appIcon());
    SharedShellServices services;
    MenuBarManager menuBar(services);
    SettingsWindow::setContentFactory([](QWidget* parent) { return new SettingsView(parent); });
    AppDelegate delegate(services, menuBar, Platform::instance().loginItem);

    // The permission guide: a sheet on the settings window while one is open,
    // its own window otherwise. Every request for the permission lands there.
    PermissionGuideWindow::setContentFactory([](QWidget* window) {
        auto* guide = new PermissionGuideView(window);
        QObject::connect(guide, &PermissionGuideView::dismissRequested, window, &QWidget::close);
        return guide;
    });
    PermissionGuideWindow::setSheetPresenter(&PermissionGuideView::presentSheet);
    QObject::connect(&AccessibilityPermissionManager::shared(),
                     &AccessibilityPermissionManager::permissionGuideRequested, &menuBar,
                     &MenuBarManager::openPermissionGuideWindow);

    dbus.ringVisibleProvider = [] { return WhirloPanel::shared().isShown(); };
    dbus.ringGeometryProvider = [] { return WhirloPanel::shared().geometry(); };
    dbus.importProvider = [](const QString& path, QString* error) -> std::optional<QString> {
        const std::optional<RingProfile> ring = RingFile::decode(path, error);
        if (!ring)
            return std::nullopt;
        return importRingInto(AppProfileManager::shared(), *ring, error);
    };
    dbus.marketInstallProvider = [](const QString& itemId, const QString& baseUrl,
                                    std::function<void(bool, const QString&)> done) {
        MarketClient& shared = MarketClient::shared();
        const QUrl url = baseUrl.isEmpty() ? shared.baseUrl() : QUrl(baseUrl);
        if (url == shared.baseUrl()) {
            // The market tab shows this client: its list and message follow the install.
            shared.installById(itemId, [&shared, done](bool ok) { done(ok, shared.messageText()); });
            return;
        }
        auto* other = new MarketClient(&AppProfileManager::shared(), url, shared.publicKey());
        other->installById(itemId, [other, &shared, done](bool ok) {
            shared.reloadInstalledIds();
            done(ok, other->messageText());
            other->deleteLater();
        });
    };
    QObject::connect(&dbus, &RondixDBusService::summonRequested, &delegate,
                     [&delegate] { delegate.triggerWhirlo(false); });
    QObject::connect(&dbus, &RondixDBusService::reopenRequested, &delegate,
                     [&delegate] { delegate.applicationShouldHandleReopen(); });
    QObject::connect(&dbus, &RondixDBusService::settingsRequested, &menuBar,
                     &MenuBarManager::openSettingsWindow);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);

    // Keys are posted only with the input access the permission manager tracks.
    ActionExecutor::shared().setTrustCheck(
        [] { return AccessibilityPermissionManager::shared().checkPermission(); },
        [] { AccessibilityPermissionManager::shared().requestPermission(); });

    quitOnTerminationSignals(app);
    delegate.applicationDidFinishLaunching();

    // A command that had to start the program runs once the shell is up.
    if (commandLine.command == CommandLine::Command::Summon)
        QTimer::singleShot(0, &delegate, [&delegate] { delegate.triggerWhirlo(false); });
    else if (commandLine.command == CommandLine::Command::Settings)
        QTimer::singleShot(0, &menuBar, &MenuBarManager::openSettingsWindow);

    return app.exec();
}
