#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "platform/fake/FakePlatform.h"
#include "platform/freedesktop/AutostartLoginItem.h"
#include "shell/ActiveAppSensor.h"
#include "shell/AppDelegate.h"
#include "shell/CommandLine.h"
#include "shell/MenuBarManager.h"
#include "shell/PermissionGuideWindow.h"
#include "shell/ShellServices.h"
#include "shell/WindowHints.h"

#include <QApplication>
#include <QMenu>
#include <QtTest>

namespace {

RunningApp app(const QString& id, const QString& name, qint64 pid = 100)
{
    RunningApp a;
    a.window = quint32(pid) * 16;
    a.pid = pid;
    a.bundleId = a.wmClass = id;
    a.name = name;
    return a;
}

struct Show
{
    std::optional<QPoint> at;
    RingProfile profile;
    std::optional<RunningApp> target;
};

// The shell's services over the fake platform: the real frontmost-app sensor
// and profile store, recording every call in the order it was made.
class RecordingServices : public ShellServices
{
public:
    RecordingServices(FakePlatform& platform, const QString& dataDir)
        : platform(platform)
        , store(dataDir)
    {}
    template<class T> T log(const char* call, T value)
    {
        calls << QString::fromLatin1(call);
        return value;
    }

    void createFrontmostSensor() override
    {
        sensor = log("sensor", std::make_unique<ActiveAppSensor>(platform.fakeWindows));
    }
    void createMouseTrigger(std::function<void(QPoint)> cb) override { onMouse = log("mouse", cb); }
    void setupHotkey(std::function<void()> cb) override { onHotkey = log("hotkey", cb); }
    bool checkPermission() override
    {
        registrationsAtPermissionCheck = platform.fakeLoginItem->registerCalls;
        return log("permission", trusted);
    }
    void stopHotkey() override { log("stopHotkey", 0); }
    std::optional<RunningApp> snapshotFrontmostApp() override
    {
        return log("snapshot", sensor->snapshotFrontmostApp());
    }
    RingProfile profileFor(const std::optional<QString>& id) override
    {
        return store.profileFor(log("profile", askedBundleId = id));
    }
    void showRing(const std::optional<QPoint>& at, const RingProfile& profile,
                  const std::optional<RunningApp>& target) override
    {
        shows << log("show", Show{at, profile, target});
    }
    void playTriggerSound() override { log("sound", 0); }
    std::optional<QString> currentHotkeyDisplay() override { return hotkey; }
    QString currentAppName() override { return sensor ? sensor->currentAppName() : QString(); }
    void releaseSettingsCaches() override { ++cacheReleases; }

    FakePlatform& platform;
    AppProfileManager store;
    std::unique_ptr<ActiveAppSensor> sensor;
    std::function<void(QPoint)> onMouse;
    std::function<void()> onHotkey;
    QStringList calls;
    std::optional<QString> askedBundleId;
    QList<Show> shows;
    bool trusted = true;
    std::optional<QString> hotkey;
    int cacheReleases = 0;
    int registrationsAtPermissionCheck = -1;
};

const QString kFirefox = QStringLiteral("firefox");
const QString kEditor = QStringLiteral("org.gnome.TextEditor");

} // namespace

class TestShell : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<RecordingServices> m_services;
    std::unique_ptr<MenuBarManager> m_menuBar;
    std::unique_ptr<AppDelegate> m_delegate;

    void startShell(const QString& hotkey = QStringLiteral("⌥Space"))
    {
        stopShell();
        m_services =
            std::make_unique<RecordingServices>(*m_platform, m_home->filePath(QStringLiteral("data")));
        m_services->hotkey = hotkey.isEmpty() ? std::nullopt : std::optional(hotkey);
        m_menuBar = std::make_unique<MenuBarManager>(*m_services);
        connect(m_menuBar.get(), &MenuBarManager::menuReady, m_menuBar.get(),
                [this] { m_services->calls << QStringLiteral("menu"); });
        m_delegate = std::make_unique<AppDelegate>(*m_services, *m_menuBar, m_platform->fakeLoginItem);
        m_delegate->applicationDidFinishLaunching();
    }
    void stopShell()
    {
        m_delegate.reset();
        m_menuBar.reset();
        m_services.reset();
    }
    void bringForward(const QList<RunningApp>& apps)
    {
        for (const RunningApp& a : apps) {
            m_platform->fakeWindows->switchTo(a);
            QCoreApplication::processEvents();
        }
        m_services->calls.clear();
    }

private Q_SLOTS:
    void init()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QVERIFY(m_home->isValid());
        qputenv("XDG_CONFIG_HOME", m_home->filePath(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_HOME", m_home->filePath(QStringLiteral("data")).toUtf8());
        AppSettings::setValue(QStringLiteral("app_language"), QStringLiteral("en"));
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));
        m_platform = std::make_unique<FakePlatform>();
    }

    void cleanup()
    {
        stopShell();
        qDeleteAll(QApplication::topLevelWidgets());
        m_platform.reset();
        m_home.reset();
    }

    void startup_data()
    {
        QTest::addColumn<QVariant>("launchAtLogin"); // stored before the start; invalid: never stored
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<bool>("hideDockIcon");
        QTest::newRow("first launch registers once") << QVariant() << false << false;
        QTest::newRow("first launch refused, stays true") << QVariant() << true << true;
        QTest::newRow("stored false left alone") << QVariant(false) << false << false;
    }

    void startup()
    {
        QFETCH(QVariant, launchAtLogin);
        QFETCH(bool, refuse);
        QFETCH(bool, hideDockIcon);
        const int registrations = launchAtLogin.isValid() ? 0 : 1;
        if (launchAtLogin.isValid())
            AppSettings::setValue(QStringLiteral("launchAtLogin"), launchAtLogin.toBool());
        if (hideDockIcon) // never stored: shown on the taskbar
            AppSettings::setValue(QStringLiteral("hideDockIcon"), true);
        m_platform->fakeLoginItem->failRegister = refuse;
        startShell();

        // The menu checks the permission as it is built; the start-up check comes last,
        // after the login item.
        QCOMPARE(m_services->calls,
                 (QStringList{"sensor", "mouse", "permission", "menu", "hotkey", "permission"}));
        QCOMPARE(m_services->registrationsAtPermissionCheck, registrations);
        QVERIFY(m_services->shows.isEmpty());

        startShell(); // the next launch
        QCOMPARE(m_platform->fakeLoginItem->registerCalls, registrations);
        QCOMPARE(m_platform->fakeLoginItem->unregisterCalls, 0);
        const bool launch =
            registrations || launchAtLogin.toBool(); // stored true on the first launch, else left
        QCOMPARE(AppSettings::boolValue(QStringLiteral("launchAtLogin"), !launch), launch);
        QCOMPARE(m_menuBar->hidesFromTaskbar(), hideDockIcon);
        m_menuBar->openSettingsWindow();
        QCOMPARE(WindowHints::hasSkipTaskbar(m_menuBar->activeSettingsWindow()), hideDockIcon);

        m_services->calls.clear();
        m_delegate->applicationWillTerminate();
        QCOMPARE(m_services->calls, QStringList{QStringLiteral("stopHotkey")});
    }

    void summon_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QList<RunningApp>>("frontmost"); // in the order they came forward
        QTest::addColumn<QString>("target");              // "-": none; "": without an identifier
        QTest::addColumn<QString>("ring");                // "": the global ring; "-": none shown

        const RunningApp editor = app(kEditor, QStringLiteral("Text Editor"), 201);
        const RunningApp browser = app(kFirefox, QStringLiteral("Firefox"), 202);
        const RunningApp own = app(kOwnAppId, QStringLiteral("Rondix"), QCoreApplication::applicationPid());
        const QList<RunningApp> firefox{browser};
        QTest::newRow("hotkey, nothing in front: global ring")
            << "hotkey" << QList<RunningApp>{} << "-" << QString();
        QTest::newRow("mouse: sound first, at the press point")
            << "mouse" << firefox << kFirefox << QString();
        QTest::newRow("own window in front: the app before it")
            << "summon" << QList<RunningApp>{browser, editor, own} << kEditor << "Editor Ring";
        QTest::newRow("menu, app without id: asked without one")
            << "menu" << QList<RunningApp>{app(QString(), QStringLiteral("xterm"), 203)} << QString()
            << QString();
        QTest::newRow("reopen: ring at the screen centre") << "reopen" << firefox << kFirefox << QString();
        QTest::newRow("reopen, settings visible: raised, no ring")
            << "reopen visible" << firefox << kFirefox << "-";
        QTest::newRow("reopen, settings minimised: not visible")
            << "reopen minimised" << firefox << kFirefox << QString();
    }

    void summon()
    {
        QFETCH(QString, trigger);
        QFETCH(QList<RunningApp>, frontmost);
        QFETCH(QString, target);
        QFETCH(QString, ring);
        startShell();
        m_services->store.addProfile(QStringLiteral("Editor Ring"), kEditor, std::nullopt);
        if (trigger != QLatin1String("reopen") && trigger.startsWith(QLatin1String("reopen")))
            m_menuBar->openSettingsWindow();
        if (trigger.endsWith(QLatin1String("minimised")))
            m_menuBar->activeSettingsWindow()->showMinimized();
        bringForward(frontmost);
        std::optional<QPoint> at; // at the pointer
        if (trigger == QLatin1String("mouse"))
            m_services->onMouse(*(at = QPoint(321, 123)));
        else if (trigger == QLatin1String("hotkey"))
            m_services->onHotkey();
        else if (trigger == QLatin1String("menu"))
            m_menuBar->handleTriggerClicked();
        else if (trigger == QLatin1String("summon"))
            m_delegate->triggerWhirlo(false);
        else {
            QVERIFY(m_delegate->applicationShouldHandleReopen());
            at = QGuiApplication::primaryScreen()->availableGeometry().center();
        }

        if (ring == QLatin1String("-")) {
            QVERIFY(m_services->calls.isEmpty());
            QVERIFY(m_menuBar->activeSettingsWindow()->isVisible());
            return;
        }
        QStringList expected{"snapshot", "profile", "show"};
        if (trigger == QLatin1String("mouse"))
            expected.prepend(QStringLiteral("sound"));
        QCOMPARE(m_services->calls, expected);
        const Show& shown = m_services->shows.first();
        QCOMPARE(shown.at, at);
        QCOMPARE(shown.target ? shown.target->bundleId : QStringLiteral("-"), target);
        QCOMPARE(m_services->askedBundleId.value_or(QStringLiteral("-")), target.isEmpty() ? "-" : target);
        QCOMPARE(shown.profile.isGlobalDefault(), ring.isEmpty());
        if (!ring.isEmpty())
            QCOMPARE(shown.profile.name, ring);
    }

    void menu_data()
    {
        QTest::addColumn<QString>("startHotkey"); // when the tray icon was set up
        QTest::addColumn<QString>("menuHotkey");  // when the menu opens
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("summonItem");
        QTest::addColumn<QString>("permissionItem");
        QTest::newRow("hotkey recorded later, trusted")
            << QString() << QStringLiteral("⌃⌥K") << true
            << "Rondix: no hotkey set; summon the ring from this menu" << QStringLiteral("Summon Ring (⌃⌥K)")
            << "✅ Input control is ready";
        QTest::newRow("hotkey removed later, untrusted")
            << QStringLiteral("⌥Space") << QString() << false << "Rondix: press ⌥Space to summon the ring"
            << QStringLiteral("Summon Ring (click here)") << "⚠️ Set Up Input Control…";
    }

    void menu()
    {
        QFETCH(QString, startHotkey);
        QFETCH(QString, menuHotkey);
        QFETCH(bool, trusted);
        QFETCH(QString, tooltip);
        QFETCH(QString, summonItem);
        QFETCH(QString, permissionItem);
        startShell(startHotkey);
        bringForward({app(kFirefox, QStringLiteral("Firefox"))});
        m_services->hotkey = menuHotkey.isEmpty() ? std::nullopt : std::optional<QString>(menuHotkey);
        m_services->trusted = trusted;

        QMenu* menu = m_menuBar->menu();
        for (int open = 0; open < 2; ++open) // refreshed each time it opens, refilled, not appended
            Q_EMIT menu->aboutToShow();
        QCOMPARE(m_services->calls.count(QStringLiteral("permission")), 2);
        QCOMPARE(m_menuBar->tooltip(), tooltip); // set once, at start-up
        const QList<QAction*> actions = menu->actions();
        QStringList shown;
        for (QAction* a : actions)
            shown << a->text();
        QCOMPARE(shown, (QStringList{summonItem, "", "Current App: Firefox", permissionItem, "", "Settings…",
                                     "", "Quit Rondix"}));

        actions[0]->trigger();
        QCOMPARE(m_services->shows.size(), 1);
        actions[5]->trigger();
        QVERIFY(m_menuBar->activeSettingsWindow());
        // Each click opens another guide window, fixed in size and without min/max buttons.
        actions[3]->trigger();
        actions[3]->trigger();
        QList<PermissionGuideWindow*> guides;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* g = qobject_cast<PermissionGuideWindow*>(w))
                guides << g;
        QCOMPARE(guides.size(), 2);
        QCOMPARE(guides[0]->windowTitle(), QStringLiteral("Input Control Setup Guide"));
        QVERIFY(guides[0]->isVisible() && guides[0]->minimumSize() == guides[0]->maximumSize());
        QVERIFY(!(guides[0]->windowFlags() & Qt::WindowMinMaxButtonsHint));
    }

    void settingsWindowReusedAndReleasedOnClose()
    {
        startShell();
        m_menuBar->openSettingsWindow();
        QPointer<SettingsWindow> first = m_menuBar->activeSettingsWindow();
        QVERIFY(first && first->isVisible());
        first->showMinimized();
        m_menuBar->openSettingsWindow();
        QCOMPARE(m_menuBar->activeSettingsWindow(), first.data());
        QVERIFY(!first->isMinimized());

        // The open window follows a language switch.
        QCOMPARE(first->windowTitle(), QStringLiteral("Rondix Ring Settings"));
        L10n::shared().setCurrentLanguage(QStringLiteral("zh-Hans"));
        QTRY_COMPARE(first->windowTitle(), QStringLiteral("Rondix 轮盘设置"));
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));

        QCOMPARE(m_services->cacheReleases, 0);
        QVERIFY(first->close());
        QVERIFY(!m_menuBar->activeSettingsWindow());
        QCOMPARE(m_services->cacheReleases, 1);
        QTRY_VERIFY(!first); // gone, not just hidden
        m_menuBar->openSettingsWindow();
        QVERIFY(m_menuBar->activeSettingsWindow()->isVisible());
        QCOMPARE(m_services->cacheReleases, 1);
    }

    void autostartFile_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("execLine"); // empty: refused
        QTest::newRow("space is quoted")
            << QStringLiteral("/opt/My Apps/rondix") << "Exec=\"/opt/My Apps/rondix\"";
        QTest::newRow("percent is doubled") << QStringLiteral("/opt/100%/rondix") << "Exec=/opt/100%%/rondix";
        QTest::newRow("dollar and quote escaped")
            << QStringLiteral("/tmp/a$b\"c/rondix") << "Exec=\"/tmp/a\\\\$b\\\\\"c/rondix\"";
        QTest::newRow("backslash escaped twice")
            << QStringLiteral("/tmp/a\\b/rondix") << "Exec=\"/tmp/a\\\\\\\\b/rondix\"";
        QTest::newRow("defaults: $XDG_CONFIG_HOME, the running program")
            << QString() << QString(QStringLiteral("Exec=") + QCoreApplication::applicationFilePath());
        QTest::newRow("relative program refused") << QStringLiteral("rondix") << "";
    }

    void autostartFile()
    {
        QFETCH(QString, executable);
        QFETCH(QString, execLine);
        AutostartLoginItem item(executable.isEmpty() ? QString() : m_home->filePath(QStringLiteral("config")),
                                executable);
        QString error;
        QCOMPARE(item.registerItem(&error), !execLine.isEmpty());
        QCOMPARE(item.isRegistered(), !execLine.isEmpty());
        QCOMPARE(error.isEmpty(), !execLine.isEmpty());
        if (execLine.isEmpty())
            return;
        QCOMPARE(item.filePath(),
                 m_home->filePath(QStringLiteral("config/autostart/org.rondix.Rondix.desktop")));
        QFile file(item.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        QVERIFY(lines.contains(QStringLiteral("Type=Application")));
        QVERIFY(lines.contains(QStringLiteral("Icon=org.rondix.Rondix")));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^Exec="))), QStringList{execLine});
        QVERIFY(item.unregisterItem(&error));
        QVERIFY(!QFile::exists(item.filePath()));
        QVERIFY(item.unregisterItem(&error)); // already gone is fine
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("ringArgs");
        using C = CommandLine::Command;
        QTest::newRow("ring keeps its arguments") << QStringList{"ring", "export", "--help", "x y"}
                                                  << int(C::Ring) << QStringList{"export", "--help", "x y"};
        QTest::newRow("unknown command") << QStringList{"sumon"} << int(C::Error) << QStringList{};
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << int(C::Error) << QStringList{};
        QTest::newRow("extra argument") << QStringList{"summon", "now"} << int(C::Error) << QStringList{};
        QTest::newRow("ring after a command")
            << QStringList{"settings", "ring"} << int(C::Error) << QStringList{};
        QTest::newRow("market keeps its arguments")
            << QStringList{"market", "install", "--url", "http://x", "id"} << int(C::Market)
            << QStringList{"install", "--url", "http://x", "id"};
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, command);
        QFETCH(QStringList, ringArgs);
        const CommandLine cl = CommandLine::parse(args);
        QCOMPARE(int(cl.command), command);
        QCOMPARE(command == int(CommandLine::Command::Market) ? cl.marketArgs : cl.ringArgs, ringArgs);
        QCOMPARE(cl.error.isEmpty(), command != int(CommandLine::Command::Error));
        if (!cl.error.isEmpty()) // it names the offending word
            QVERIFY(cl.error.contains(args.last()));
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
