#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "model/RingProfile.h"
#include "platform/fake/FakePlatform.h"
#include "platform/freedesktop/AutostartLoginItem.h"
#include "shell/ActiveAppSensor.h"
#include "shell/AppDelegate.h"
#include "shell/CommandLine.h"
#include "shell/MenuBarManager.h"
#include "shell/PermissionGuideWindow.h"
#include "shell/SettingsWindow.h"
#include "shell/ShellServices.h"
#include "shell/WindowHints.h"

#include <memory>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {

RunningApp app(const QString& id, const QString& name, qint64 pid = 100)
{
    RunningApp a;
    a.window = static_cast<quint32>(pid) * 16;
    a.pid = pid;
    a.bundleId = id;
    a.name = name;
    a.wmClass = id;
    return a;
}

RunningApp ownApp()
{
    return app(kOwnAppId, QStringLiteral("Rondix"), QCoreApplication::applicationPid());
}

// The shell's services over the fake platform: the real frontmost-app sensor
// and profile store, recording everything else in the order it was asked.
class RecordingServices : public ShellServices
{
public:
    RecordingServices(FakePlatform& platform, const QString& dataDir)
        : m_platform(platform)
        , store(dataDir)
    {}

    void createFrontmostSensor() override
    {
        calls << QStringLiteral("sensor");
        sensor = std::make_unique<ActiveAppSensor>(m_platform.fakeWindows);
    }
    void createMouseTrigger(std::function<void(QPoint)> cb) override
    {
        calls << QStringLiteral("mouse");
        onMouse = std::move(cb);
    }
    void setupHotkey(std::function<void()> cb) override
    {
        calls << QStringLiteral("hotkey");
        onHotkey = std::move(cb);
    }
    bool checkPermission() override
    {
        calls << QStringLiteral("permission");
        loginRegistrationsAtPermissionCheck = m_platform.fakeLoginItem->registerCalls;
        return trusted;
    }
    void stopHotkey() override { calls << QStringLiteral("stopHotkey"); }

    std::optional<RunningApp> snapshotFrontmostApp() override
    {
        calls << QStringLiteral("snapshot");
        return sensor ? sensor->snapshotFrontmostApp() : std::nullopt;
    }
    RingProfile profileFor(const std::optional<QString>& bundleId) override
    {
        calls << QStringLiteral("profile");
        askedBundleIds << bundleId;
        return store.profileFor(bundleId);
    }
    void showRing(const std::optional<QPoint>& at, const RingProfile& profile,
                  const std::optional<RunningApp>& target) override
    {
        calls << QStringLiteral("show");
        shows.append({at, profile, target});
    }
    void playTriggerSound() override { calls << QStringLiteral("sound"); }

    std::optional<QString> currentHotkeyDisplay() override { return hotkey; }
    QString currentAppName() override { return sensor ? sensor->currentAppName() : QString(); }
    void releaseSettingsCaches() override { ++cacheReleases; }

    struct Show
    {
        std::optional<QPoint> at;
        RingProfile profile;
        std::optional<RunningApp> target;
    };

    FakePlatform& m_platform;
    AppProfileManager store;
    std::unique_ptr<ActiveAppSensor> sensor;
    std::function<void(QPoint)> onMouse;
    std::function<void()> onHotkey;
    QStringList calls;
    QList<std::optional<QString>> askedBundleIds;
    QList<Show> shows;
    bool trusted = true;
    std::optional<QString> hotkey = QStringLiteral("⌥Space");
    int cacheReleases = 0;
    int loginRegistrationsAtPermissionCheck = -1;
};

enum class Stored
{
    Absent,
    True,
    False
};

} // namespace

Q_DECLARE_METATYPE(Stored)

class TestShell : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<FakePlatform> m_platform;
    std::unique_ptr<RecordingServices> m_services;
    std::unique_ptr<MenuBarManager> m_menuBar;
    std::unique_ptr<AppDelegate> m_delegate;

    void startShell()
    {
        m_services =
            std::make_unique<RecordingServices>(*m_platform, m_home->filePath(QStringLiteral("data")));
        m_menuBar = std::make_unique<MenuBarManager>(*m_services);
        QObject::connect(m_menuBar.get(), &MenuBarManager::menuReady, m_menuBar.get(),
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

    // Adds a ring for `bundleId` to the store the next summon reads.
    void addRingFor(const QString& bundleId, const QString& name)
    {
        m_services->store.addProfile(name, bundleId, std::nullopt);
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
        for (QWidget* w : QApplication::topLevelWidgets())
            delete w;
        m_platform.reset();
        m_home.reset();
    }

    // --- start-up ---------------------------------------------------------

    void startupRunsInOrder()
    {
        startShell();
        // Building the menu checks the permission too; the start-up check is the last step.
        const QStringList& calls = m_services->calls;
        const QList<int> order{
            int(calls.indexOf(QStringLiteral("sensor"))), int(calls.indexOf(QStringLiteral("mouse"))),
            int(calls.indexOf(QStringLiteral("menu"))), int(calls.indexOf(QStringLiteral("hotkey"))),
            int(calls.lastIndexOf(QStringLiteral("permission")))};
        for (int i = 0; i < order.size(); ++i)
            QVERIFY2(order[i] >= 0 && (i == 0 || order[i - 1] < order[i]),
                     qPrintable(calls.join(QLatin1Char(' '))));
        QCOMPARE(calls.last(), QStringLiteral("permission"));
        // The login item (first launch) is registered before the permission check.
        QCOMPARE(m_services->loginRegistrationsAtPermissionCheck, 1);
        QVERIFY(m_services->onHotkey);
        QVERIFY(m_services->onMouse);
        QVERIFY(m_services->shows.isEmpty());
    }

    void launchAtLoginRule_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<int>("registrations");
        QTest::addColumn<bool>("storedAfter");

        QTest::newRow("first launch registers") << Stored::Absent << false << 1 << true;
        QTest::newRow("first launch, refused, stays true") << Stored::Absent << true << 1 << true;
        QTest::newRow("stored true leaves the item alone") << Stored::True << false << 0 << true;
        QTest::newRow("stored false leaves it false") << Stored::False << false << 0 << false;
    }

    void launchAtLoginRule()
    {
        QFETCH(Stored, stored);
        QFETCH(bool, refuse);
        QFETCH(int, registrations);
        QFETCH(bool, storedAfter);

        if (stored != Stored::Absent)
            AppSettings::setValue(QStringLiteral("launchAtLogin"), stored == Stored::True);
        m_platform->fakeLoginItem->failRegister = refuse;
        startShell();

        QCOMPARE(m_platform->fakeLoginItem->registerCalls, registrations);
        QCOMPARE(m_platform->fakeLoginItem->unregisterCalls, 0);
        QVERIFY(AppSettings::contains(QStringLiteral("launchAtLogin")));
        QCOMPARE(AppSettings::boolValue(QStringLiteral("launchAtLogin"), !storedAfter), storedAfter);
    }

    void secondLaunchDoesNotRegisterAgain()
    {
        startShell();
        stopShell();
        startShell();
        QCOMPARE(m_platform->fakeLoginItem->registerCalls, 1);
    }

    void hideDockIcon_data()
    {
        QTest::addColumn<Stored>("stored");
        QTest::addColumn<bool>("hidden");
        QTest::newRow("absent") << Stored::Absent << false;
        QTest::newRow("true") << Stored::True << true;
        QTest::newRow("false") << Stored::False << false;
    }

    void hideDockIcon()
    {
        QFETCH(Stored, stored);
        QFETCH(bool, hidden);
        if (stored != Stored::Absent)
            AppSettings::setValue(QStringLiteral("hideDockIcon"), stored == Stored::True);
        startShell();
        QCOMPARE(m_menuBar->hidesFromTaskbar(), hidden);
        m_menuBar->openSettingsWindow();
        QVERIFY(m_menuBar->activeSettingsWindow());
        QCOMPARE(WindowHints::hasSkipTaskbar(m_menuBar->activeSettingsWindow()), hidden);
    }

    void terminationStopsHotkey()
    {
        startShell();
        m_services->calls.clear();
        m_delegate->applicationWillTerminate();
        QCOMPARE(m_services->calls, QStringList{QStringLiteral("stopHotkey")});
    }

    // --- summon sequence --------------------------------------------------

    void summonTarget_data()
    {
        QTest::addColumn<QList<RunningApp>>("switches"); // frontmost apps, in order
        QTest::addColumn<QString>("targetId");           // "-" for no target
        QTest::addColumn<QString>("askedId");            // "-" for no identifier
        QTest::addColumn<QString>("ringName");           // "" for the global ring

        const RunningApp editor =
            app(QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"), 201);
        const RunningApp browser = app(QStringLiteral("firefox"), QStringLiteral("Firefox"), 202);
        RunningApp anonymous = app(QString(), QStringLiteral("xterm"), 203);

        QTest::newRow("no frontmost app: global ring") << QList<RunningApp>{} << "-"
                                                       << "-"
                                                       << "";
        QTest::newRow("app with its own ring")
            << QList<RunningApp>{editor} << editor.bundleId << editor.bundleId << "Editor Ring";
        QTest::newRow("app without a ring: global ring")
            << QList<RunningApp>{browser} << browser.bundleId << browser.bundleId << "";
        QTest::newRow("own window in front: the app before it")
            << QList<RunningApp>{browser, editor, ownApp()} << editor.bundleId << editor.bundleId
            << "Editor Ring";
        QTest::newRow("app without id: asked without one") << QList<RunningApp>{anonymous} << ""
                                                           << "-"
                                                           << "";
    }

    void summonTarget()
    {
        QFETCH(QList<RunningApp>, switches);
        QFETCH(QString, targetId);
        QFETCH(QString, askedId);
        QFETCH(QString, ringName);

        startShell();
        addRingFor(QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Editor Ring"));
        for (const RunningApp& a : switches) {
            m_platform->fakeWindows->switchTo(a);
            QCoreApplication::processEvents();
        }

        // Every trigger runs the same sequence; the hotkey stands for all here.
        m_services->calls.clear();
        m_services->onHotkey();

        QCOMPARE(m_services->calls, (QStringList{QStringLiteral("snapshot"), QStringLiteral("profile"),
                                                 QStringLiteral("show")}));
        QCOMPARE(m_services->shows.size(), 1);
        const auto& shown = m_services->shows.first();
        QCOMPARE(shown.at, std::optional<QPoint>());
        if (targetId == QLatin1String("-"))
            QVERIFY(!shown.target);
        else {
            QVERIFY(shown.target);
            QCOMPARE(shown.target->bundleId, targetId);
        }
        const std::optional<QString> asked = m_services->askedBundleIds.last();
        QCOMPARE(asked.value_or(QStringLiteral("-")), askedId);
        if (ringName.isEmpty())
            QVERIFY(shown.profile.isGlobalDefault());
        else
            QCOMPARE(shown.profile.name, ringName);
    }

    void triggerPlacement_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("atPoint");
        QTest::addColumn<bool>("atCentre");
        QTest::addColumn<bool>("sound");

        QTest::newRow("hotkey at pointer, silent") << "hotkey" << false << false << false;
        QTest::newRow("mouse at press point, sound first") << "mouse" << true << false << true;
        QTest::newRow("menu item at pointer, silent") << "menu" << false << false << false;
        QTest::newRow("reopen at screen centre") << "reopen" << false << true << false;
        QTest::newRow("explicit summon at pointer") << "summon" << false << false << false;
    }

    void triggerPlacement()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, atPoint);
        QFETCH(bool, atCentre);
        QFETCH(bool, sound);

        startShell();
        m_platform->fakeWindows->switchTo(app(QStringLiteral("firefox"), QStringLiteral("Firefox")));
        QCoreApplication::processEvents();
        m_services->calls.clear();

        const QPoint press(321, 123);
        if (trigger == QLatin1String("hotkey"))
            m_services->onHotkey();
        else if (trigger == QLatin1String("mouse"))
            m_services->onMouse(press);
        else if (trigger == QLatin1String("menu"))
            m_menuBar->handleTriggerClicked();
        else if (trigger == QLatin1String("reopen"))
            QVERIFY(m_delegate->applicationShouldHandleReopen());
        else
            m_delegate->triggerWhirlo(false);

        QCOMPARE(m_services->shows.size(), 1);
        const auto& shown = m_services->shows.first();
        QVERIFY(shown.target);
        QCOMPARE(shown.target->bundleId, QStringLiteral("firefox"));
        if (atPoint)
            QCOMPARE(shown.at, std::optional<QPoint>(press));
        else if (atCentre) {
            const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
            QCOMPARE(shown.at, std::optional<QPoint>(area.center()));
        } else
            QCOMPARE(shown.at, std::optional<QPoint>());
        QCOMPARE(m_services->calls.contains(QStringLiteral("sound")), sound);
        if (sound)
            QVERIFY(m_services->calls.indexOf(QStringLiteral("sound")) <
                    m_services->calls.indexOf(QStringLiteral("show")));
    }

    void hotkeyAfterDelegateGoneDoesNothing()
    {
        startShell();
        auto onHotkey = m_services->onHotkey;
        m_delegate.reset();
        onHotkey();
        QVERIFY(m_services->shows.isEmpty());
    }

    // --- reopen -------------------------------------------------------------

    void reopen_data()
    {
        QTest::addColumn<QString>("window"); // none, visible, minimized, hidden, closed
        QTest::addColumn<bool>("ring");

        QTest::newRow("no settings window: ring at centre") << "none" << true;
        QTest::newRow("visible window is raised, no ring") << "visible" << false;
        QTest::newRow("minimised window: ring, window stays") << "minimized" << true;
        QTest::newRow("hidden window: ring, window stays") << "hidden" << true;
        QTest::newRow("closed window: ring") << "closed" << true;
    }

    void reopen()
    {
        QFETCH(QString, window);
        QFETCH(bool, ring);

        startShell();
        if (window != QLatin1String("none"))
            m_menuBar->openSettingsWindow();
        SettingsWindow* w = m_menuBar->activeSettingsWindow();
        if (window == QLatin1String("minimized"))
            w->showMinimized();
        else if (window == QLatin1String("hidden"))
            w->hide();
        else if (window == QLatin1String("closed"))
            w->close();
        QCoreApplication::processEvents();

        QVERIFY(m_delegate->applicationShouldHandleReopen());
        QCOMPARE(m_services->shows.size(), ring ? 1 : 0);
        if (ring) {
            QCOMPARE(m_services->shows.first().at,
                     std::optional<QPoint>(QGuiApplication::primaryScreen()->availableGeometry().center()));
        }
        if (window == QLatin1String("visible"))
            QVERIFY(m_menuBar->activeSettingsWindow()->isVisible());
        if (window == QLatin1String("hidden"))
            QVERIFY(!m_menuBar->activeSettingsWindow()->isVisible());
    }

    // --- tray menu ------------------------------------------------------------

    void menuContents_data()
    {
        QTest::addColumn<bool>("withHotkey");
        QTest::addColumn<bool>("trusted");
        QTest::newRow("hotkey, trusted") << true << true;
        QTest::newRow("hotkey, untrusted") << true << false;
        QTest::newRow("no hotkey, trusted") << false << true;
        QTest::newRow("no hotkey, untrusted") << false << false;
    }

    void menuContents()
    {
        QFETCH(bool, withHotkey);
        QFETCH(bool, trusted);

        startShell();
        m_platform->fakeWindows->switchTo(app(QStringLiteral("firefox"), QStringLiteral("Firefox")));
        QCoreApplication::processEvents();
        m_services->hotkey = withHotkey ? std::optional<QString>(QStringLiteral("⌃⌥K")) : std::nullopt;
        m_services->trusted = trusted;

        QMenu* menu = m_menuBar->menu();
        QVERIFY(menu);
        Q_EMIT menu->aboutToShow(); // the refresh runs as the menu opens
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 8);

        const QList<int> separators{1, 4, 6};
        for (int i = 0; i < actions.size(); ++i)
            QCOMPARE(actions[i]->isSeparator(), separators.contains(i));

        const QString hotkeyText =
            withHotkey ? QStringLiteral("⌃⌥K") : L10n::string(QStringLiteral("menu.click_to_summon"));
        QCOMPARE(actions[0]->text(), L10n::format(QStringLiteral("menu.summon"), std::nullopt, {hotkeyText}));
        if (withHotkey)
            QVERIFY(actions[0]->text().contains(QStringLiteral("⌃⌥K")));
        QCOMPARE(actions[2]->text(),
                 L10n::format(QStringLiteral("menu.current_app"), std::nullopt, {QStringLiteral("Firefox")}));
        QVERIFY(actions[2]->text().contains(QStringLiteral("Firefox")));
        QCOMPARE(actions[3]->text(),
                 trusted ? L10n::string(QStringLiteral("menu.permissions_ok"),
                                        QStringLiteral("✅ 辅助功能权限已就绪"))
                         : L10n::string(QStringLiteral("menu.permissions_missing"),
                                        QStringLiteral("⚠️ 辅助功能授权配置...")));
        QCOMPARE(actions[5]->text(), L10n::string(QStringLiteral("menu.settings")));
        QCOMPARE(actions[7]->text(), L10n::string(QStringLiteral("menu.quit")));

        const QList<bool> enabled{true, true, false, true, true, true, true, true};
        for (int i = 0; i < actions.size(); ++i)
            QCOMPARE(actions[i]->isEnabled(), enabled[i]);
        QCOMPARE(actions[5]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Comma));
        QCOMPARE(actions[7]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
        QVERIFY(actions[0]->shortcut().isEmpty());

        // Opening the menu asks for the permission state each time.
        const int checks = m_services->calls.count(QStringLiteral("permission"));
        Q_EMIT menu->aboutToShow();
        QCOMPARE(m_services->calls.count(QStringLiteral("permission")), checks + 1);
        QCOMPARE(menu->actions().size(), 8); // refilled, not appended
    }

    void menuActionsDoWhatTheySay()
    {
        startShell();
        m_platform->fakeWindows->switchTo(app(QStringLiteral("firefox"), QStringLiteral("Firefox")));
        QCoreApplication::processEvents();
        QMenu* menu = m_menuBar->menu();
        Q_EMIT menu->aboutToShow();
        QList<QAction*> actions = menu->actions();

        actions[0]->trigger();
        QCOMPARE(m_services->shows.size(), 1);
        QCOMPARE(m_services->shows.first().at, std::optional<QPoint>());
        QVERIFY(!m_services->calls.contains(QStringLiteral("sound")));

        actions[5]->trigger();
        QVERIFY(m_menuBar->activeSettingsWindow());

        const int before = QApplication::topLevelWidgets().size();
        actions[3]->trigger();
        QCOMPARE(QApplication::topLevelWidgets().size(), before + 1);
    }

    void tooltipIsSetOnce_data()
    {
        QTest::addColumn<bool>("withHotkey");
        QTest::newRow("with hotkey") << true;
        QTest::newRow("without hotkey") << false;
    }

    void tooltipIsSetOnce()
    {
        QFETCH(bool, withHotkey);
        m_home->path(); // settings already isolated by init()
        auto services =
            std::make_unique<RecordingServices>(*m_platform, m_home->filePath(QStringLiteral("d")));
        services->hotkey = withHotkey ? std::optional<QString>(QStringLiteral("⌥Space")) : std::nullopt;
        MenuBarManager menuBar(*services);
        menuBar.setupMenuBar();
        const QString expected = withHotkey ? L10n::format(QStringLiteral("menu.tooltip_hotkey"),
                                                           std::nullopt, {QStringLiteral("⌥Space")})
                                            : L10n::string(QStringLiteral("menu.tooltip_nohotkey"));
        QCOMPARE(menuBar.tooltip(), expected);

        // A hotkey recorded later shows in the menu; the tooltip keeps its text.
        services->hotkey = QStringLiteral("⌘J");
        Q_EMIT menuBar.menu()->aboutToShow();
        QVERIFY(menuBar.menu()->actions().first()->text().contains(QStringLiteral("⌘J")));
        QCOMPARE(menuBar.tooltip(), expected);
    }

    // --- windows ----------------------------------------------------------------

    void settingsWindowIsReused()
    {
        startShell();
        m_menuBar->openSettingsWindow();
        QPointer<SettingsWindow> first = m_menuBar->activeSettingsWindow();
        QVERIFY(first);
        QVERIFY(first->isVisible());
        QCOMPARE(first->size(), QSize(980, 700));
        QCOMPARE(first->minimumSize(), QSize(940, 660));
        QCOMPARE(first->windowTitle(), L10n::string(QStringLiteral("menubar.settings_window_title"),
                                                    QStringLiteral("Rondix 轮盘设置")));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(
            qAbs(first->geometry().center().x() - area.center().x()) <= 2,
            qPrintable(QStringLiteral("%1 %2").arg(first->geometry().center().x()).arg(area.center().x())));

        first->showMinimized();
        m_menuBar->openSettingsWindow();
        QCOMPARE(m_menuBar->activeSettingsWindow(), first.data());
        QVERIFY(!first->isMinimized());

        int settingsWindows = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            settingsWindows += qobject_cast<SettingsWindow*>(w) ? 1 : 0;
        QCOMPARE(settingsWindows, 1);
        QCOMPARE(m_services->cacheReleases, 0);

        // A language switch retitles the open window.
        L10n::shared().setCurrentLanguage(QStringLiteral("zh-Hans"));
        QTRY_COMPARE(first->windowTitle(), L10n::string(QStringLiteral("menubar.settings_window_title"),
                                                        QStringLiteral("Rondix 轮盘设置")));
        QVERIFY(first->windowTitle() != QStringLiteral("menubar.settings_window_title"));
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));
        QTRY_COMPARE(first->windowTitle(), L10n::string(QStringLiteral("menubar.settings_window_title"),
                                                        QStringLiteral("Rondix 轮盘设置")));
    }

    void closingSettingsReleasesCaches()
    {
        startShell();
        m_menuBar->openSettingsWindow();
        QPointer<SettingsWindow> first = m_menuBar->activeSettingsWindow();
        QVERIFY(first->close());
        QVERIFY(!m_menuBar->activeSettingsWindow());
        QCOMPARE(m_services->cacheReleases, 1);
        QTRY_VERIFY(!first); // the closed window is gone, not just hidden

        m_menuBar->openSettingsWindow();
        QVERIFY(m_menuBar->activeSettingsWindow());
        QVERIFY(m_menuBar->activeSettingsWindow()->isVisible());
        QCOMPARE(m_services->cacheReleases, 1);
    }

    void permissionGuideOpensNewWindows()
    {
        startShell();
        m_menuBar->openPermissionGuideWindow();
        m_menuBar->openPermissionGuideWindow();
        QList<PermissionGuideWindow*> guides;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* g = qobject_cast<PermissionGuideWindow*>(w))
                guides << g;
        QCOMPARE(guides.size(), 2);
        for (PermissionGuideWindow* g : guides) {
            QVERIFY(g->isVisible());
            QCOMPARE(g->size(), QSize(540, 480));
            QCOMPARE(g->minimumSize(), g->maximumSize()); // not resizable
            QVERIFY(!(g->windowFlags() & Qt::WindowMinMaxButtonsHint));
            QCOMPARE(g->windowTitle(), L10n::string(QStringLiteral("permission.guide.title"),
                                                    QStringLiteral("系统权限配置与授权引导")));
        }
        QVERIFY(!m_menuBar->activeSettingsWindow());
    }

    // --- login item -------------------------------------------------------------

    void autostartFile_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("execLine");

        QTest::newRow("plain path") << "/usr/bin/rondix"
                                    << "Exec=/usr/bin/rondix";
        QTest::newRow("space is quoted") << "/opt/My Apps/rondix"
                                         << "Exec=\"/opt/My Apps/rondix\"";
        QTest::newRow("percent is doubled") << "/opt/100%/rondix"
                                            << "Exec=/opt/100%%/rondix";
        QTest::newRow("dollar and quote escaped") << "/tmp/a$b\"c/rondix"
                                                  << "Exec=\"/tmp/a\\\\$b\\\\\"c/rondix\"";
        QTest::newRow("backslash escaped twice") << "/tmp/a\\b/rondix"
                                                 << "Exec=\"/tmp/a\\\\\\\\b/rondix\"";
    }

    void autostartFile()
    {
        QFETCH(QString, executable);
        QFETCH(QString, execLine);

        const QString configHome = m_home->filePath(QStringLiteral("cfg"));
        AutostartLoginItem item(configHome, executable);
        QVERIFY(!item.isRegistered());
        QString error;
        QVERIFY2(item.registerItem(&error), qPrintable(error));
        QVERIFY(item.isRegistered());
        QCOMPARE(item.filePath(), configHome + QStringLiteral("/autostart/org.rondix.Rondix.desktop"));

        QFile file(item.filePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("[Desktop Entry]"));
        QVERIFY(lines.contains(QStringLiteral("Type=Application")));
        QVERIFY(lines.contains(QStringLiteral("Icon=org.rondix.Rondix")));
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^Exec="))), QStringList{execLine});
        file.close();

        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (!validator.isEmpty()) {
            QProcess p;
            p.start(validator, {item.filePath()});
            QVERIFY(p.waitForFinished());
            QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
        }

        QVERIFY(item.unregisterItem(&error));
        QVERIFY(!item.isRegistered());
        QVERIFY(!QFile::exists(item.filePath()));
        QVERIFY(item.unregisterItem(&error)); // already gone is fine
    }

    void autostartUsesEnvironmentAndRunningBinary()
    {
        Platform platform;
        void installAutostartLoginItem(Platform&);
        installAutostartLoginItem(platform);
        QVERIFY(platform.loginItem);
        QString error;
        QVERIFY(platform.loginItem->registerItem(&error));
        const QString path = m_home->filePath(QStringLiteral("config/autostart/org.rondix.Rondix.desktop"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(file.readAll())
                    .contains(QStringLiteral("Exec=") + QCoreApplication::applicationFilePath()));
    }

    void autostartRefusesRelativeProgram()
    {
        AutostartLoginItem item(m_home->filePath(QStringLiteral("cfg")), QStringLiteral("rondix"));
        QString error;
        QVERIFY(!item.registerItem(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(!item.isRegistered());
    }

    // --- command line and desktop file -----------------------------------------

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("command");
        QTest::addColumn<QStringList>("ringArgs");

        using C = CommandLine::Command;
        QTest::newRow("nothing runs") << QStringList{} << int(C::Run) << QStringList{};
        QTest::newRow("summon") << QStringList{"summon"} << int(C::Summon) << QStringList{};
        QTest::newRow("settings") << QStringList{"settings"} << int(C::Settings) << QStringList{};
        QTest::newRow("help") << QStringList{"--help"} << int(C::Help) << QStringList{};
        QTest::newRow("short help") << QStringList{"-h"} << int(C::Help) << QStringList{};
        QTest::newRow("version") << QStringList{"--version"} << int(C::Version) << QStringList{};
        QTest::newRow("ring keeps its arguments") << QStringList{"ring", "export", "--help", "x y"}
                                                  << int(C::Ring) << QStringList{"export", "--help", "x y"};
        QTest::newRow("bare ring") << QStringList{"ring"} << int(C::Ring) << QStringList{};
        QTest::newRow("unknown command") << QStringList{"sumon"} << int(C::Error) << QStringList{};
        QTest::newRow("unknown option") << QStringList{"--frobnicate"} << int(C::Error) << QStringList{};
        QTest::newRow("extra argument") << QStringList{"summon", "now"} << int(C::Error) << QStringList{};
        QTest::newRow("ring is not an option value")
            << QStringList{"settings", "ring"} << int(C::Error) << QStringList{};
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, command);
        QFETCH(QStringList, ringArgs);
        const CommandLine cl = CommandLine::parse(args);
        QCOMPARE(int(cl.command), command);
        QCOMPARE(cl.ringArgs, ringArgs);
        QCOMPARE(cl.error.isEmpty(), command != int(CommandLine::Command::Error));
        if (!cl.error.isEmpty())
            QVERIFY(cl.error.contains(args.size() > 1 ? args.at(1) : args.at(0)));
    }

    void desktopFileIsValid()
    {
        const QString file = QStringLiteral(RONDIX_SOURCE_DIR "/resources/desktop/org.rondix.Rondix.desktop");
        QVERIFY(QFile::exists(file));
        const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
        if (validator.isEmpty())
            QSKIP("desktop-file-validate is not installed");
        QProcess p;
        p.start(validator, {file});
        QVERIFY(p.waitForFinished());
        QVERIFY2(p.exitCode() == 0, p.readAllStandardOutput().constData());
        QSettings entry(file, QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(entry.value(QStringLiteral("Icon")).toString(), QStringLiteral("org.rondix.Rondix"));
        QCOMPARE(entry.value(QStringLiteral("Exec")).toString(), QStringLiteral("rondix"));
    }

    void appIconDrawsEightSectors()
    {
        const QIcon icon = MenuBarManager::appIcon();
        QVERIFY(!icon.isNull());
        const QImage image = icon.pixmap(128, 128).toImage();
        QVERIFY(!image.isNull());
        // Sample the ring's middle radius: eight coloured runs separated by gaps.
        int runs = 0;
        bool inSector = false;
        for (int step = 0; step < 720; ++step) {
            const double a = M_PI / 8 + step * M_PI / 360.0; // start in the gap between two sectors
            const QColor c = image.pixelColor(QPoint(64 + int(42 * std::cos(a)), 64 + int(42 * std::sin(a))));
            const bool coloured = c.saturation() > 80 && c.value() > 120 && c.alpha() > 200;
            if (coloured && !inSector)
                ++runs;
            inSector = coloured;
        }
        QCOMPARE(runs, 8);
    }
};

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qRegisterMetaType<RunningApp>();
    TestShell test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell.moc"
