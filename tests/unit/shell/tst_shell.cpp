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
#include <QSet>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
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
    std::optional<SavedHotkey> currentHotkey() override { return hotkey; }
    QString currentAppName() override { return sensor ? sensor->currentAppDisplayName() : QString(); }
    AppProfileManager* profileStore() override { return &store; }
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
    std::optional<SavedHotkey> hotkey;
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

    void startShell(const std::optional<SavedHotkey>& hotkey = SavedHotkey::defaultOptionSpace())
    {
        stopShell();
        m_services =
            std::make_unique<RecordingServices>(*m_platform, m_home->filePath(QStringLiteral("data")));
        m_services->hotkey = hotkey;
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
        // Hotkeys as the settings store them (JSON with the glyph text); empty: none.
        QTest::addColumn<QString>("startHotkey"); // when the tray icon was set up
        QTest::addColumn<QString>("menuHotkey");  // when the menu opens
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("tooltip");
        QTest::addColumn<QString>("summonItem");
        QTest::addColumn<QString>("permissionItem");
        QTest::newRow("hotkey recorded later, trusted")
            << QString() << R"j({"keyCode":40,"carbonModifiers":6144,"displayString":"⌃⌥K"})j" << true
            << "Rondix: no hotkey set; summon the ring from this menu"
            << QStringLiteral("Summon Ring (Ctrl+Alt+K)") << "✅ Input control is ready";
        QTest::newRow("hotkey removed later, untrusted")
            << QString::fromUtf8(SavedHotkey::defaultOptionSpace().toJson()) << QString() << false
            << "Rondix: press Alt+Space to summon the ring" << QStringLiteral("Summon Ring (click here)")
            << "⚠️ Set Up Input Control…";
        // The key code and mask decide what is shown, not the stored glyph text.
        QTest::newRow("digit with Super")
            << R"j({"keyCode":18,"carbonModifiers":256,"displayString":"⌘Key(18)"})j"
            << R"j({"keyCode":18,"carbonModifiers":256,"displayString":"⌘Key(18)"})j" << true
            << "Rondix: press Super+1 to summon the ring" << QStringLiteral("Summon Ring (Super+1)")
            << "✅ Input control is ready";
        QTest::newRow("all four modifiers in the desktop's order")
            << QString() << R"j({"keyCode":40,"carbonModifiers":7936,"displayString":"⌃⌥⇧⌘K"})j" << true
            << "Rondix: no hotkey set; summon the ring from this menu"
            << QStringLiteral("Summon Ring (Ctrl+Alt+Shift+Super+K)") << "✅ Input control is ready";
    }

    static std::optional<SavedHotkey> storedHotkey(const QString& json)
    {
        return json.isEmpty() ? std::nullopt : SavedHotkey::fromJson(json.toUtf8());
    }

    void menu()
    {
        QFETCH(QString, startHotkey);
        QFETCH(QString, menuHotkey);
        QFETCH(bool, trusted);
        QFETCH(QString, tooltip);
        QFETCH(QString, summonItem);
        QFETCH(QString, permissionItem);
        QVERIFY(startHotkey.isEmpty() || storedHotkey(startHotkey));
        QVERIFY(menuHotkey.isEmpty() || storedHotkey(menuHotkey));
        startShell(storedHotkey(startHotkey));
        QCOMPARE(m_menuBar->menu()->actions().value(2)->text(), "Current App: System"); // nothing yet
        bringForward({app(kFirefox, QStringLiteral("Firefox"))});
        m_services->hotkey = storedHotkey(menuHotkey);
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
        // One guide window, fixed in size and without min/max buttons: a second
        // click brings the same one back rather than stacking another.
        actions[3]->trigger();
        actions[3]->trigger();
        QList<PermissionGuideWindow*> guides;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* g = qobject_cast<PermissionGuideWindow*>(w))
                guides << g;
        QCOMPARE(guides.size(), 1);
        QCOMPARE(guides[0]->windowTitle(), QStringLiteral("Input Control Setup Guide"));
        QVERIFY(guides[0]->isVisible() && guides[0]->minimumSize() == guides[0]->maximumSize());
        QVERIFY(!(guides[0]->windowFlags() & Qt::WindowMinMaxButtonsHint));
    }

    // A ring file that can be neither read nor copied aside blocks every save; the
    // tooltip says so and where the file is, until the file is out of the way.
    void tooltipTellsWhenRingsAreNotSaved_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("blockedLine"); // %1: the file
        QTest::newRow("en") << "en"
                            << "Rings are not being saved: the ring file %1 cannot be read and is left as "
                               "it is. Move it away to save again.";
        QTest::newRow("ja") << "ja"
                            << "リングは保存されていません: リングファイル %1 "
                               "を読み込めないため、そのまま残しています。別の場所へ移すと保存が再開します。";
    }

    void tooltipTellsWhenRingsAreNotSaved()
    {
        QFETCH(QString, language);
        QFETCH(QString, blockedLine);
        L10n::shared().setCurrentLanguage(language);
        // A folder where the ring file should be: unreadable, and no copy can be made.
        const QString file = AppProfileManager::storeFilePath(m_home->filePath(QStringLiteral("data")));
        QVERIFY(QDir().mkpath(file + QStringLiteral("/inside")));
        startShell();
        const QString hotkeyLine = L10n::format(QStringLiteral("menu.tooltip_hotkey"), std::nullopt,
                                                {QStringLiteral("Alt+Space")});
        QCOMPARE(m_services->store.saveBlockedPath(), file);
        QCOMPARE(m_menuBar->tooltip(), hotkeyLine + QLatin1Char('\n') + blockedLine.arg(file));

        // Still blocked after a refused save; once the folder is moved away saves
        // work again and the tooltip says nothing more.
        QSignalSpy changed(&m_services->store, &AppProfileManager::saveBlockedPathChanged);
        QVERIFY(!m_services->store.saveProfiles());
        QCOMPARE(changed.count(), 0);
        QVERIFY(m_menuBar->tooltip().endsWith(blockedLine.arg(file)));
        QVERIFY(QDir().rename(file, file + QStringLiteral(".moved")));
        QVERIFY(m_services->store.saveProfiles());
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m_services->store.saveBlockedPath(), QString());
        QCOMPARE(m_menuBar->tooltip(), hotkeyLine);
    }

    void settingsWindowComesForwardAsItIs_data()
    {
        QTest::addColumn<QString>("before"); // how the user left the window
        QTest::addColumn<int>("after");      // its state once the settings item is chosen again
        QTest::newRow("maximised") << "maximised" << int(Qt::WindowMaximized);
        QTest::newRow("maximised, then minimised") << "maximised minimised" << int(Qt::WindowMaximized);
        QTest::newRow("full screen") << "fullscreen" << int(Qt::WindowFullScreen);
        QTest::newRow("minimised") << "minimised" << int(Qt::WindowNoState);
        QTest::newRow("normal") << "" << int(Qt::WindowNoState);
    }
    void settingsWindowComesForwardAsItIs()
    {
        QFETCH(QString, before);
        QFETCH(int, after);
        startShell();
        m_menuBar->openSettingsWindow();
        SettingsWindow* window = m_menuBar->activeSettingsWindow();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        for (const QString& step : before.split(' ', Qt::SkipEmptyParts)) {
            if (step == QLatin1String("maximised"))
                window->showMaximized();
            else if (step == QLatin1String("fullscreen"))
                window->showFullScreen();
            else
                window->showMinimized();
            QCoreApplication::processEvents();
        }
        m_menuBar->openSettingsWindow();
        QCOMPARE(m_menuBar->activeSettingsWindow(), window);
        QCoreApplication::processEvents();
        QVERIFY(window->isVisible());
        QCOMPARE(int(window->windowState() & ~Qt::WindowActive), after);
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

    // The emoji our texts use (the menu's ✅, the tables' 💡 🔴 📝 🤖) draw in
    // colour in the menu's font, not as empty boxes: a colour emoji font is
    // among what Rondix installs.
    void emojiDrawInColour()
    {
        QSet<char32_t> emoji;
        for (const char* code : {"en", "ja", "zh-Hans"}) {
            const auto table = L10n::loadTable(QStringLiteral(":/l10n"), QString::fromLatin1(code));
            QVERIFY(table);
            for (const QString& text : table->values())
                for (char32_t c : text.toUcs4())
                    if (c == 0x2705 || c >= 0x1F300)
                        emoji.insert(c);
        }
        QVERIFY2(emoji.size() >= 5, qPrintable(QString::number(emoji.size())));
        QFont font = QApplication::font("QMenu");
        font.setPixelSize(28);
        for (char32_t c : emoji) {
            const QString text = QString::fromUcs4(&c, 1);
            QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::transparent);
            QPainter painter(&image);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(image.rect(), Qt::AlignCenter, text);
            painter.end();
            int ink = 0, colour = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) {
                    const QColor px = image.pixelColor(x, y);
                    ink += px.alpha() > 128;
                    colour += px.alpha() > 128 && px.hsvSaturation() > 80 && px.value() > 60;
                }
            QVERIFY2(ink > 100 && colour > 40,
                     qPrintable(QStringLiteral("%1: %2 of %3 pixels in colour").arg(text).arg(colour).arg(ink)));
        }
    }

    // Started where there is no display, the real binary says so in one line and
    // exits with status 1, instead of Qt's platform-plugin abort.
    void withoutDisplay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("display"); // empty: unset
        QTest::addColumn<QString>("firstWords");
        QTest::newRow("no display at all") << QStringList{} << QString()
                                           << "rondix: no X or Wayland display in this session";
        QTest::newRow("summon") << QStringList{"summon"} << QString()
                                << "rondix: no X or Wayland display in this session";
        QTest::newRow("a display nobody serves")
            << QStringList{} << ":917" << "rondix: the X display \":917\" cannot be opened";
    }

    void withoutDisplay()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, display);
        QFETCH(QString, firstWords);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "RONDIX_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home->filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_home->filePath(QStringLiteral("data")));
        QProcess rondix;
        rondix.setProcessEnvironment(env);
        rondix.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"), args);
        QVERIFY(rondix.waitForFinished(10000));
        QCOMPARE(rondix.exitStatus(), QProcess::NormalExit); // no abort
        QCOMPARE(rondix.exitCode(), 1);
        const QString err = QString::fromUtf8(rondix.readAllStandardError());
        QVERIFY2(err.startsWith(firstWords) && err.count(QLatin1Char('\n')) == 1, qPrintable(err));
        QVERIFY2(err.contains(QLatin1String("\"rondix ring ...\" needs no display")), qPrintable(err));
        QVERIFY(rondix.readAllStandardOutput().isEmpty());

        // The ring command still works there.
        rondix.start(QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix"),
                     {QStringLiteral("ring"), QStringLiteral("validate"),
                      QStringLiteral(RONDIX_SOURCE_DIR "/tests/data/rings/app-ring.rondix")});
        QVERIFY(rondix.waitForFinished(10000));
        QCOMPARE(rondix.exitCode(), 0);
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
