#include "actions/ActionExecutor.h"
#include "actions/CoreAudioVolumeManager.h"
#include "actions/ShortcutsManager.h"
#include "platform/fake/FakePlatform.h"
#include "StdoutCapture.h"

#include <memory>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Records which application was frontmost at the moment each key was posted.
class OrderedKeys : public KeyInjector
{
public:
    explicit OrderedKeys(WindowSystem* windows)
        : m_windows(windows)
    {}
    bool postKey(quint16 keyCode, quint32 modifiers, int holdMs) override
    {
        posts.append({keyCode, modifiers, holdMs});
        frontmostAtPost.append(m_windows->frontmostApplication());
        return true;
    }
    QList<FakeKeyInjector::Post> posts;
    QList<std::optional<RunningApp>> frontmostAtPost;

private:
    WindowSystem* m_windows;
};

RunningApp app(quint32 window, qint64 pid, const QString& id)
{
    RunningApp a;
    a.window = window;
    a.pid = pid;
    a.bundleId = id;
    a.name = id;
    return a;
}

ActionSlot slotWith(const ActionType& action, bool enabled = true)
{
    ActionSlot s = ActionSlot::empty(0);
    s.title = QStringLiteral("slot");
    s.action = action;
    s.isEnabled = enabled;
    return s;
}

} // namespace

class ExecutorTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_p;
    std::unique_ptr<OrderedKeys> m_keys;
    std::unique_ptr<CoreAudioVolumeManager> m_volume;
    std::unique_ptr<ShortcutsManager> m_scripts;
    std::unique_ptr<ActionExecutor> m_exec;
    QStringList m_launchedScripts;
    QList<QPair<float, bool>> m_indicator;
    int m_trustRequests = 0;
    QTemporaryDir m_home;
    QByteArray m_savedHome;

private Q_SLOTS:
    void initTestCase()
    {
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", m_home.path().toUtf8());
        QDir(m_home.path()).mkpath(QStringLiteral("Documents/Work"));
        QFile f(m_home.filePath(QStringLiteral("notes.txt")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    void cleanupTestCase() { qputenv("HOME", m_savedHome); }

    void init()
    {
        m_p = std::make_unique<FakePlatform>();
        m_keys = std::make_unique<OrderedKeys>(m_p->windows);
        m_indicator.clear();
        m_launchedScripts.clear();
        m_trustRequests = 0;
        m_volume = std::make_unique<CoreAudioVolumeManager>(m_p->mixer, m_p->sounds, [this](float v, bool m) {
            m_indicator.append({v, m});
        });
        m_scripts = std::make_unique<ShortcutsManager>(m_home.filePath(QStringLiteral("scripts")),
                                                       [this](const QString& p) {
                                                           m_launchedScripts.append(p);
                                                           return true;
                                                       });
        ActionExecutor::Services s;
        s.keys = m_keys.get();
        s.windows = m_p->windows;
        s.clipboard = m_p->clipboard;
        s.opener = m_p->opener;
        s.desktopEntries = m_p->desktopEntries;
        s.session = m_p->session;
        s.volume = m_volume.get();
        s.shortcuts = m_scripts.get();
        FakeInputTrust* trust = m_p->fakeTrust;
        s.checkTrust = [trust] { return trust->isTrusted(); };
        s.requestTrust = [this] { ++m_trustRequests; };
        m_exec = std::make_unique<ActionExecutor>(std::move(s));
    }

    void cleanup()
    {
        m_exec.reset();
        m_scripts.reset();
        m_volume.reset();
        m_keys.reset();
        m_p.reset();
    }

    void disabledSlotDoesNothing_data()
    {
        QTest::addColumn<ActionType>("action");
        QTest::newRow("shortcut") << ActionType::shortcut(QStringLiteral("C"), 8,
                                                          {true, false, false, false});
        QTest::newRow("paste") << ActionType::pasteText(QStringLiteral("hello"));
        QTest::newRow("launch") << ActionType::launchApp(QStringLiteral("org.example.App"),
                                                         QStringLiteral("App"), {});
        QTest::newRow("url") << ActionType::openURL(QStringLiteral("example.com"));
        QTest::newRow("path") << ActionType::openPath(QStringLiteral("~"));
        QTest::newRow("volume") << ActionType::systemControl(SystemControlAction::volumeUp);
        QTest::newRow("lock") << ActionType::systemControl(SystemControlAction::lockScreen);
    }
    void disabledSlotDoesNothing()
    {
        QFETCH(ActionType, action);
        m_p->fakeDesktopEntries->entries.append({QStringLiteral("org.example.App"), {}, {}, {}, {}, {}});
        StdoutCapture out;
        m_exec->execute(slotWith(action, false), app(5, 50, QStringLiteral("target")));
        QTest::qWait(ActionExecutor::kPasteDelayMs + 60);
        QVERIFY(m_keys->posts.isEmpty());
        QCOMPARE(m_p->fakeClipboard->writes, 0);
        QVERIFY(m_p->fakeDesktopEntries->launched.isEmpty());
        QVERIFY(m_p->fakeOpener->urls.isEmpty() && m_p->fakeOpener->paths.isEmpty());
        QVERIFY(m_p->fakeMixer->volumeWrites.isEmpty());
        QVERIFY(m_p->fakeSession->performed.isEmpty());
        QVERIFY(m_p->fakeWindows->activated.isEmpty());
        QVERIFY(out.lines().isEmpty());
    }

    void shortcutKeyAndCode_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<bool>("posted");
        QTest::newRow("unassigned") << QString() << 0 << false;
        QTest::newRow("label with code 0") << QStringLiteral("A") << 0 << true;
        QTest::newRow("code without label") << QString() << 12 << true;
        QTest::newRow("both") << QStringLiteral("C") << 8 << true;
    }
    void shortcutKeyAndCode()
    {
        QFETCH(QString, key);
        QFETCH(int, keyCode);
        QFETCH(bool, posted);
        m_exec->execute(slotWith(ActionType::shortcut(key, quint16(keyCode), {})), std::nullopt);
        QCOMPARE(m_keys->posts.size(), posted ? 1 : 0);
        if (posted) {
            QCOMPARE(int(m_keys->posts[0].keyCode), keyCode);
            QCOMPARE(m_keys->posts[0].holdMs, 15);
        }
    }

    void modifierMasks_data()
    {
        QTest::addColumn<bool>("command");
        QTest::addColumn<bool>("option");
        QTest::addColumn<bool>("control");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<uint>("mask");
        QTest::newRow("none") << false << false << false << false << 0u;
        QTest::newRow("command") << true << false << false << false << uint(ModifierMask::Command);
        QTest::newRow("command+shift")
            << true << false << false << true << uint(ModifierMask::Command | ModifierMask::Shift);
        QTest::newRow("option") << false << true << false << false << uint(ModifierMask::Option);
        QTest::newRow("control+option")
            << false << true << true << false << uint(ModifierMask::Control | ModifierMask::Option);
        QTest::newRow("all four") << true << true << true << true << uint(ModifierMask::All);
    }
    void modifierMasks()
    {
        QFETCH(bool, command);
        QFETCH(bool, option);
        QFETCH(bool, control);
        QFETCH(bool, shift);
        QFETCH(uint, mask);
        const KeyModifiers mods{command, option, control, shift};
        m_exec->execute(slotWith(ActionType::shortcut(QStringLiteral("T"), 17, mods)), std::nullopt);
        QCOMPARE(m_keys->posts.size(), 1);
        QCOMPARE(m_keys->posts[0].modifiers, quint32(mask));
    }

    void shortcutWithoutTrustAsksAndPostsNothing()
    {
        m_p->fakeTrust->trusted = false;
        StdoutCapture out;
        m_exec->execute(slotWith(ActionType::shortcut(QStringLiteral("C"), 8, {true, false, false, false})),
                        app(5, 50, QStringLiteral("target")));
        QCOMPARE(out.lines(),
                 QStringList{QStringLiteral(
                     "[ActionExecutor] Accessibility permission is missing! Requesting permission...")});
        QCOMPARE(m_trustRequests, 1);
        QVERIFY(m_keys->posts.isEmpty());
        QVERIFY(m_p->fakeWindows->activated.isEmpty());
    }

    void shortcutActivatesTargetFirst_data()
    {
        QTest::addColumn<bool>("targetFocused");
        QTest::newRow("target in front") << true;
        QTest::newRow("another app in front") << false;
    }
    void shortcutActivatesTargetFirst()
    {
        QFETCH(bool, targetFocused);
        const RunningApp target = app(0x400001, 42, QStringLiteral("org.example.Editor"));
        m_p->fakeWindows->frontmost = targetFocused ? target : app(0x600001, 77, QStringLiteral("other"));
        m_exec->execute(slotWith(ActionType::shortcut(QStringLiteral("S"), 1, {false, false, true, false})),
                        target);
        QCOMPARE(m_p->fakeWindows->activated.size(), targetFocused ? 0 : 1);
        QCOMPARE(m_keys->posts.size(), 1);
        // The key went out while the target had the focus.
        QVERIFY(m_keys->frontmostAtPost[0].has_value());
        QCOMPARE(m_keys->frontmostAtPost[0]->window, target.window);
    }

    void pasteWritesActivatesThenPostsControlV()
    {
        const RunningApp target = app(0x400001, 42, QStringLiteral("org.example.Editor"));
        m_p->fakeWindows->frontmost = app(0x600001, 77, QStringLiteral("other"));
        m_p->fakeClipboard->content = QStringLiteral("previous");
        m_exec->execute(slotWith(ActionType::pasteText(QStringLiteral("Grüße\nzwei Zeilen"))), target);
        QCOMPARE(m_p->fakeClipboard->content, QStringLiteral("Grüße\nzwei Zeilen"));
        QCOMPARE(m_p->fakeWindows->activated.size(), 1);
        QCOMPARE(m_p->fakeWindows->activated[0], target);
        QVERIFY(m_keys->posts.isEmpty()); // not before the pause
        QTest::qWait(ActionExecutor::kPasteDelayMs - 80);
        QVERIFY(m_keys->posts.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(m_keys->posts.size(), 1, 1000);
        QCOMPARE(m_keys->posts[0], (FakeKeyInjector::Post{9, ModifierMask::Control, 15}));
        QCOMPARE(m_keys->frontmostAtPost[0]->window, target.window);
        // The previous clipboard is not restored.
        QTest::qWait(200);
        QCOMPARE(m_p->fakeClipboard->content, QStringLiteral("Grüße\nzwei Zeilen"));
    }

    void pasteWithoutTrustWritesButPostsNothing()
    {
        m_p->fakeTrust->trusted = false;
        StdoutCapture out;
        m_exec->execute(slotWith(ActionType::pasteText(QStringLiteral("hi"))),
                        app(5, 50, QStringLiteral("t")));
        QTest::qWait(ActionExecutor::kPasteDelayMs + 100);
        QCOMPARE(m_p->fakeClipboard->content, QStringLiteral("hi"));
        QCOMPARE(m_p->fakeWindows->activated.size(), 1);
        QVERIFY(m_keys->posts.isEmpty());
        QVERIFY(out.lines().isEmpty());
    }

    void emptyPasteDoesNothing()
    {
        m_exec->execute(slotWith(ActionType::pasteText(QString())), app(5, 50, QStringLiteral("t")));
        QTest::qWait(ActionExecutor::kPasteDelayMs + 60);
        QCOMPARE(m_p->fakeClipboard->writes, 0);
        QVERIFY(m_p->fakeWindows->activated.isEmpty());
        QVERIFY(m_keys->posts.isEmpty());
    }

    void urlRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("opened"); // empty: nothing opened
        QTest::newRow("bare host") << "example.com"
                                   << "https://example.com";
        QTest::newRow("blanks trimmed") << "  \texample.com/a?b=1 \n"
                                        << "https://example.com/a?b=1";
        QTest::newRow("http kept") << "http://example.com"
                                   << "http://example.com";
        QTest::newRow("capital scheme unchanged") << "HTTPS://example.com/Path"
                                                  << "https://example.com/Path";
        QTest::newRow("path keeps case") << "example.com/Some/Path"
                                         << "https://example.com/Some/Path";
        QTest::newRow("mail scheme gets https") << "mailto:me@example.com"
                                                << "https://mailto:me@example.com";
        QTest::newRow("ftp gets https") << "ftp.example.org"
                                        << "https://ftp.example.org";
        QTest::newRow("blank") << "   \n "
                               << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("space inside") << "exa mple.com"
                                      << "";
    }
    void urlRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, opened);
        m_exec->execute(slotWith(ActionType::openURL(text)), std::nullopt);
        if (opened.isEmpty()) {
            QVERIFY(m_p->fakeOpener->urls.isEmpty());
            return;
        }
        QCOMPARE(m_p->fakeOpener->urls.size(), 1);
        QCOMPARE(m_p->fakeOpener->urls[0].toString(), opened);
    }

    void pathRules_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kind"); // folder, reveal, url, none
        QTest::addColumn<QString>("relative");
        QTest::newRow("tilde alone") << "~"
                                     << "folder"
                                     << "";
        QTest::newRow("tilde folder") << "~/Documents/Work"
                                      << "folder"
                                      << "/Documents/Work";
        QTest::newRow("tilde folder, blanks") << "  ~/Documents \n"
                                              << "folder"
                                              << "/Documents";
        QTest::newRow("file is revealed") << "~/notes.txt"
                                          << "reveal"
                                          << "/notes.txt";
        QTest::newRow("missing opened anyway") << "~/gone.txt"
                                               << "url"
                                               << "/gone.txt";
        QTest::newRow("blank") << "  \t "
                               << "none"
                               << "";
        QTest::newRow("tilde in the middle kept") << "/nowhere/~/x"
                                                  << "url"
                                                  << "";
    }
    void pathRules()
    {
        QFETCH(QString, text);
        QFETCH(QString, kind);
        QFETCH(QString, relative);
        m_exec->execute(slotWith(ActionType::openPath(text)), std::nullopt);
        const FakeOpener* o = m_p->fakeOpener;
        const QString expected =
            text.trimmed().startsWith(QLatin1Char('~')) ? m_home.path() + relative : text.trimmed();
        QCOMPARE(o->paths.size(), kind == QLatin1String("folder") ? 1 : 0);
        QCOMPARE(o->reveals.size(), kind == QLatin1String("reveal") ? 1 : 0);
        QCOMPARE(o->urls.size(), kind == QLatin1String("url") ? 1 : 0);
        if (kind == QLatin1String("folder"))
            QCOMPARE(o->paths[0], expected);
        if (kind == QLatin1String("reveal"))
            QCOMPARE(o->reveals[0], expected);
        if (kind == QLatin1String("url"))
            QCOMPARE(o->urls[0], QUrl::fromLocalFile(expected));
    }

    void launchLookups_data()
    {
        QTest::addColumn<bool>("pathExists");
        QTest::addColumn<bool>("idKnown");
        QTest::addColumn<QString>("launchError");
        QTest::addColumn<QString>("launchedId");
        QTest::addColumn<QString>("log");
        QTest::newRow("by existing path") << true << false << ""
                                          << "by-path"
                                          << "";
        QTest::newRow("path missing, by id") << false << true << ""
                                             << "org.example.App"
                                             << "";
        QTest::newRow("path entry wins over id") << true << true << ""
                                                 << "by-path"
                                                 << "";
        QTest::newRow("nothing found") << false << false << ""
                                       << ""
                                       << "[ActionExecutor] Cannot locate application for org.example.App";
        QTest::newRow("launch fails") << false << true << "Exec not found"
                                      << ""
                                      << "[ActionExecutor] Failed to launch application: Exec not found";
    }
    void launchLookups()
    {
        QFETCH(bool, pathExists);
        QFETCH(bool, idKnown);
        QFETCH(QString, launchError);
        QFETCH(QString, launchedId);
        QFETCH(QString, log);
        const QString path =
            m_home.filePath(pathExists ? QStringLiteral("notes.txt") : QStringLiteral("nope.desktop"));
        m_p->fakeDesktopEntries->entries.append({QStringLiteral("by-path"), {}, {}, {}, path, {}});
        if (idKnown)
            m_p->fakeDesktopEntries->entries.append({QStringLiteral("org.example.App"), {}, {}, {}, {}, {}});
        m_p->fakeDesktopEntries->launchError = launchError;
        StdoutCapture out;
        m_exec->execute(slotWith(ActionType::launchApp(QStringLiteral("org.example.App"),
                                                       QStringLiteral("Ignored"), path)),
                        std::nullopt);
        const QStringList lines = out.lines();
        QCOMPARE(lines, log.isEmpty() ? QStringList() : QStringList{log});
        QCOMPARE(m_p->fakeDesktopEntries->launched.size(), launchedId.isEmpty() ? 0 : 1);
        if (!launchedId.isEmpty())
            QCOMPARE(m_p->fakeDesktopEntries->launched[0].id, launchedId);
    }

    void volumeControls_data()
    {
        QTest::addColumn<SystemControlAction>("action");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QList<float>>("volumeWrites");
        QTest::addColumn<QList<bool>>("muteWrites");
        QTest::newRow("up from 0.96")
            << SystemControlAction::volumeUp << true << QList<float>{1.0f} << QList<bool>{};
        QTest::newRow("down, unreadable")
            << SystemControlAction::volumeDown << false << QList<float>{0.4375f} << QList<bool>{};
        QTest::newRow("mute") << SystemControlAction::mute << true << QList<float>{} << QList<bool>{true};
    }
    void volumeControls()
    {
        QFETCH(SystemControlAction, action);
        QFETCH(bool, readable);
        QFETCH(QList<float>, volumeWrites);
        QFETCH(QList<bool>, muteWrites);
        m_p->fakeMixer->level = readable ? std::optional<float>(0.96f) : std::nullopt;
        m_exec->execute(slotWith(ActionType::systemControl(action)), std::nullopt);
        QCOMPARE(m_p->fakeMixer->volumeWrites, volumeWrites);
        QCOMPARE(m_p->fakeMixer->muteWrites, muteWrites);
        QVERIFY(m_p->fakeSession->performed.isEmpty());
    }

    void sessionControls_data()
    {
        QTest::addColumn<SystemControlAction>("action");
        QTest::addColumn<SessionControls::Control>("control");
        using C = SessionControls::Control;
        QTest::newRow("mission control") << SystemControlAction::missionControl << C::Overview;
        QTest::newRow("show desktop") << SystemControlAction::showDesktop << C::ShowDesktop;
        QTest::newRow("brightness up") << SystemControlAction::brightnessUp << C::BrightnessUp;
        QTest::newRow("brightness down") << SystemControlAction::brightnessDown << C::BrightnessDown;
        QTest::newRow("lock") << SystemControlAction::lockScreen << C::Lock;
        QTest::newRow("area shot") << SystemControlAction::screenshotArea << C::ScreenshotArea;
        QTest::newRow("screen shot") << SystemControlAction::screenshotScreen << C::ScreenshotScreen;
        QTest::newRow("media") << SystemControlAction::mediaPlayPause << C::MediaPlayPause;
        QTest::newRow("spotlight") << SystemControlAction::spotlight << C::Launcher;
        QTest::newRow("finder") << SystemControlAction::openFinder << C::FileManager;
    }
    void sessionControls()
    {
        QFETCH(SystemControlAction, action);
        QFETCH(SessionControls::Control, control);
        StdoutCapture out;
        m_exec->execute(slotWith(ActionType::systemControl(action)), std::nullopt);
        QCOMPARE(m_p->fakeSession->performed, QList<SessionControls::Control>{control});
        QVERIFY(out.lines().isEmpty());
        QVERIFY(m_keys->posts.isEmpty()); // the launcher is the session's, not a key chord

        m_p->fakeSession->performed.clear();
        m_p->fakeSession->unsupported.insert(control);
        StdoutCapture out2;
        m_exec->execute(slotWith(ActionType::systemControl(action)), std::nullopt);
        QCOMPARE(
            out2.lines(),
            QStringList{QStringLiteral("[ActionExecutor] Cannot perform %1: fake session lacks this control")
                            .arg(SystemControl::rawValue(action))});
        QVERIFY(m_p->fakeSession->performed.isEmpty());
    }

    void runShortcutGoesToScripts()
    {
        QDir().mkpath(m_scripts->folder());
        QFile f(m_scripts->folder() + QStringLiteral("/Backup"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        m_exec->execute(slotWith(ActionType::runShortcut(QStringLiteral("  Backup \n"))), std::nullopt);
        QCOMPARE(m_launchedScripts, QStringList{QFileInfo(f.fileName()).absoluteFilePath()});
    }
};

int runExecutorTests(int argc, char** argv)
{
    ExecutorTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "ExecutorTest.moc"
