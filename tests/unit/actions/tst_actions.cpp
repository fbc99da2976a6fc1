#include "actions/ActionExecutor.h"
#include "actions/CoreAudioVolumeManager.h"
#include "actions/ShortcutsManager.h"
#include "actions/VolumeOSDManager.h"
#include "platform/fake/FakePlatform.h"
#include "StdoutCapture.h"

#include <cstdio>
#include <memory>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QMetaEnum>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <unistd.h>

namespace {

// Records which application was frontmost at the moment each key was posted.
class OrderedKeys : public KeyInjector
{
public:
    bool postKey(quint16 keyCode, quint32 modifiers, int holdMs) override
    {
        posts.append({keyCode, modifiers, holdMs});
        frontmostAtPost.append(windows->frontmostApplication().value_or(RunningApp{}).bundleId);
        return true;
    }
    WindowSystem* windows = nullptr;
    QList<FakeKeyInjector::Post> posts;
    QStringList frontmostAtPost;
};

ActionSlot slotWith(const ActionType& action, bool enabled = true)
{
    ActionSlot s = ActionSlot::empty(0);
    s.action = action;
    s.isEnabled = enabled;
    return s;
}

// A key post as events() lists it: code, modifier mask, hold time in ms.
QString key(int code, quint32 mask, int holdMs = 15)
{
    return QStringLiteral("key %1 %2 %3").arg(code).arg(mask).arg(holdMs);
}

const RunningApp kTarget{0x400001, 42, QStringLiteral("org.example.Editor"), {}, {}, {}, {}};
const RunningApp kOther{0x600001, 77, QStringLiteral("other"), {}, {}, {}, {}};
const QString kAlert = QStringLiteral("sound audio-volume-change");

// A script file, or a plain one; names ending in "/" are folders.
void create(const QString& path, bool executable = true)
{
    if (path.endsWith('/')) {
        QVERIFY(QDir().mkpath(path));
        return;
    }
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                     (executable ? QFileDevice::ExeOwner : QFileDevice::Permissions()));
}

} // namespace

// The actions against recording fakes: dispatch, volume, the volume indicator and user scripts.
class ActionsTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FakePlatform> m_p;
    std::unique_ptr<OrderedKeys> m_keys;
    std::unique_ptr<CoreAudioVolumeManager> m_volume;
    std::unique_ptr<ShortcutsManager> m_scripts;
    std::unique_ptr<ActionExecutor> m_exec;
    QStringList m_launchedScripts;
    QStringList m_shown;
    int m_trustRequests = 0;
    QTemporaryDir m_home;
    QByteArray m_savedHome;

    // Everything the fakes were asked to do, one line each, by kind.
    QStringList events() const
    {
        QStringList e;
        for (const auto& k : m_keys->posts)
            e << key(k.keyCode, k.modifiers, k.holdMs);
        for (const RunningApp& a : m_p->fakeWindows->activated)
            e << "activate " + a.bundleId;
        if (m_p->fakeClipboard->writes)
            e << "clipboard " + m_p->fakeClipboard->content;
        for (const QUrl& u : m_p->fakeOpener->urls)
            e << "url " + u.toString();
        for (const QString& p : m_p->fakeOpener->paths)
            e << "folder " + p;
        for (const QString& p : m_p->fakeOpener->reveals)
            e << "reveal " + p;
        for (const DesktopEntry& d : m_p->fakeDesktopEntries->launched)
            e << "launch " + d.id;
        for (float v : m_p->fakeMixer->volumeWrites)
            e << "volume " + QString::number(v);
        for (bool m : m_p->fakeMixer->muteWrites)
            e << QStringLiteral("mute %1").arg(int(m));
        for (const auto& s : m_p->fakeSounds->plays)
            e << "sound " + s.what;
        for (SessionControls::Control c : m_p->fakeSession->performed)
            e << QString("session ") + QMetaEnum::fromType<SessionControls::Control>().valueToKey(int(c));
        for (const QString& s : m_launchedScripts)
            e << "script " + s;
        return e + m_shown;
    }

    std::unique_ptr<ShortcutsManager> makeManager(const QString& folder)
    {
        return std::make_unique<ShortcutsManager>(folder, [this](const QString& p) {
            m_launchedScripts.append(p);
            return true;
        });
    }

    // Shortened timings (the fade and its order-out check a fifth of the real
    // ones) so the rules can be watched in real time.
    static VolumeOSDTimings fastTimings() { return {400, 44, 50, 40}; }

private Q_SLOTS:
    void initTestCase()
    {
        m_savedHome = qgetenv("HOME");
        qputenv("HOME", m_home.path().toUtf8());
        for (const char* name : {"Documents/Work/", "scripts/", "app.desktop", "notes.txt", "scripts/Backup"})
            create(m_home.filePath(QLatin1String(name)));
    }
    void cleanupTestCase() { qputenv("HOME", m_savedHome); }

    void init()
    {
        m_p = std::make_unique<FakePlatform>();
        m_p->fakeDesktopEntries->entries = {{"by-path", {}, {}, {}, m_home.filePath("app.desktop"), {}, {}},
                                            {"org.example.App", {}, {}, {}, {}, {}, {}}};
        m_keys = std::make_unique<OrderedKeys>();
        m_keys->windows = m_p->windows;
        m_launchedScripts.clear();
        m_shown.clear();
        m_trustRequests = 0;
        m_volume = std::make_unique<CoreAudioVolumeManager>(m_p->mixer, m_p->sounds, [this](float v, bool m) {
            m_shown.append(QStringLiteral("shown %1 %2").arg(v).arg(int(m)));
        });
        m_scripts = makeManager(m_home.filePath(QStringLiteral("scripts")));
        m_exec = std::make_unique<ActionExecutor>(ActionExecutor::Services{
            m_keys.get(), m_p->windows, m_p->clipboard, m_p->opener, m_p->desktopEntries, m_p->session,
            m_volume.get(), m_scripts.get(), [this] { return m_p->fakeTrust->isTrusted(); },
            [this] { ++m_trustRequests; }});
    }
    void cleanup()
    {
        m_exec.reset();
        m_scripts.reset();
        m_volume.reset();
        m_p.reset();
    }

    void dispatch_data()
    {
        QTest::addColumn<ActionSlot>("slot");
        QTest::addColumn<QStringList>("expected"); // events, then log lines
        const QString home = m_home.path();
        const auto row = [](const char* name, const ActionType& a, const QStringList& e,
                            bool enabled = true) { QTest::newRow(name) << slotWith(a, enabled) << e; };
        using A = ActionType;
        using M = KeyModifiers;
        using S = SystemControlAction;
        row("disabled shortcut", A::shortcut("C", 8, M{true}), {}, false);
        row("disabled volume", A::systemControl(S::volumeUp), {}, false);
        row("unassigned shortcut", A::shortcut("", 0, M{true}), {});
        row("empty paste", A::pasteText(""), {});

        row("label with code 0", A::shortcut("A", 0, {}), {key(0, 0)});
        row("code without label", A::shortcut("", 12, M{true}), {key(12, ModifierMask::Command)});
        row("option", A::shortcut("T", 17, M{false, true}), {key(17, ModifierMask::Option)});
        row("control", A::shortcut("T", 17, M{false, false, true}), {key(17, ModifierMask::Control)});
        row("shift", A::shortcut("T", 17, M{false, false, false, true}), {key(17, ModifierMask::Shift)});

        row("bare host, blanks trimmed", A::openURL(" \texample.com/a?b=1 \n"),
            {"url https://example.com/a?b=1"});
        row("http kept", A::openURL("http://example.com"), {"url http://example.com"});
        row("capital scheme, path case", A::openURL("HTTPS://example.com/Path"),
            {"url https://example.com/Path"});
        row("other scheme gets https", A::openURL("mailto:me@example.com"),
            {"url https://mailto:me@example.com"});
        row("blank url", A::openURL("   \n "), {});
        row("url with a space", A::openURL("exa mple.com"), {});

        row("tilde alone", A::openPath("~"), {"folder " + home});
        row("tilde folder, blanks", A::openPath(" ~/Documents/Work \n"),
            {"folder " + home + "/Documents/Work"});
        row("file is revealed", A::openPath("~/notes.txt"), {"reveal " + home + "/notes.txt"});
        row("missing opened anyway", A::openPath("~/gone.txt"), {"url file://" + home + "/gone.txt"});
        row("tilde in the middle kept", A::openPath("/nowhere/~/x"), {"url file:///nowhere/~/x"});
        row("blank path", A::openPath("  \t "), {});

        row("path entry wins over id", A::launchApp("org.example.App", "", home + "/app.desktop"),
            {"launch by-path"});
        row("path missing, by id", A::launchApp("org.example.App", "", home + "/nope.desktop"),
            {"launch org.example.App"});
        row("nothing found", A::launchApp("org.example.None", "None", ""),
            {"[ActionExecutor] Cannot locate application for org.example.None"});

        row("volume up", A::systemControl(S::volumeUp), {"volume 0.5625", kAlert, "shown 0.5625 0"});
        row("mute", A::systemControl(S::mute), {"mute 1", "shown 0.5 1"});
        row("lock", A::systemControl(S::lockScreen), {"session Lock"});
        row("spotlight, not a key chord", A::systemControl(S::spotlight), {"session Launcher"});
        row("user script, trimmed", A::runShortcut("  Backup \n"), {"script " + home + "/scripts/Backup"});
    }
    void dispatch()
    {
        QFETCH(ActionSlot, slot);
        QFETCH(QStringList, expected);
        StdoutCapture out;
        m_exec->execute(slot, std::nullopt);
        QTest::qWait(std::holds_alternative<ActionType::PasteText>(slot.action.value) ? 220 : 5);
        QCOMPARE(events() + out.lines(), expected);
    }

    void shortcutActivatesTargetFirst_data()
    {
        QTest::addColumn<bool>("targetFocused");
        QTest::addColumn<int>("focusAfterMs"); // when the window manager hands over the focus; -1 never
        QTest::addColumn<int>("ownHoldMs");    // how long the ring's own surface keeps the keyboard first
        QTest::newRow("target in front") << true << 0 << 0;
        QTest::newRow("another app in front") << false << 0 << 0;
        QTest::newRow("focus arrives later") << false << 60 << 0;
        QTest::newRow("focus never arrives") << false << -1 << 0;
        // A slow fade of the Wayland overlay outlasts the wait: the wait starts when it ends.
        QTest::newRow("overlay outlasts the wait") << false << ActionExecutor::kFocusWaitMs + 130
                                                   << ActionExecutor::kFocusWaitMs + 100;
        QTest::newRow("overlay goes, focus never arrives") << false << -1 << ActionExecutor::kFocusWaitMs + 100;
    }
    void shortcutActivatesTargetFirst()
    {
        QFETCH(bool, targetFocused);
        QFETCH(int, focusAfterMs);
        QFETCH(int, ownHoldMs);
        m_p->fakeWindows->frontmost = targetFocused ? kTarget : kOther;
        m_p->fakeWindows->focusOnActivate = focusAfterMs == 0;
        m_p->fakeWindows->heldByRondix = ownHoldMs > 0;
        if (ownHoldMs > 0)
            QTimer::singleShot(ownHoldMs, this, [this] { m_p->fakeWindows->heldByRondix = false; });
        StdoutCapture out;
        QElapsedTimer took;
        took.start();
        m_exec->execute(slotWith(ActionType::shortcut("S", 1, {false, false, true, false})), kTarget);
        const qint64 returnedAfter = took.elapsed();
        const qsizetype postedAtOnce = m_keys->posts.size();
        if (focusAfterMs > 0)
            QTimer::singleShot(focusAfterMs, this, [this] { m_p->fakeWindows->switchTo(kTarget); });
        // Past the longest wait for the focus.
        QTest::qWait(ownHoldMs + ActionExecutor::kFocusWaitMs + 150);
        const QStringList lines = out.lines(); // before any check, so failures show
        // Waiting for the focus never blocks: only the key's own hold may.
        QVERIFY(returnedAfter < ActionExecutor::kKeyHoldMs + 10);
        QCOMPARE(m_p->fakeWindows->activated.size(), targetFocused ? 0 : 1);
        QCOMPARE(postedAtOnce, focusAfterMs == 0 ? 1 : 0);
        if (focusAfterMs < 0) {
            // The target never took the keyboard: the key reaches no other window.
            QCOMPARE(m_keys->posts.size(), 0);
            QCOMPARE(lines, QStringList{"[ActionExecutor] The target window did not take the keyboard; the "
                                        "shortcut was not sent."});
            return;
        }
        QCOMPARE(m_keys->posts.size(), 1);
        QCOMPARE(m_keys->frontmostAtPost, QStringList{kTarget.bundleId});
        QCOMPARE(lines, QStringList());
    }

    void pasteWritesActivatesThenPostsControlV_data()
    {
        QTest::addColumn<QStringList>("categories"); // of the target's desktop entry
        QTest::addColumn<quint32>("modifiers");
        QTest::newRow("editor") << QStringList{"Utility", "TextEditor"} << quint32(ModifierMask::Control);
        QTest::newRow("no categories") << QStringList{} << quint32(ModifierMask::Control);
        // Ctrl+V would type a literal ^V there.
        QTest::newRow("terminal") << QStringList{"System", "TerminalEmulator"}
                                  << quint32(ModifierMask::Control | ModifierMask::Shift);
        QTest::newRow("category names are exact") << QStringList{"Terminal", "TerminalEmulators"}
                                                  << quint32(ModifierMask::Control);
    }
    void pasteWritesActivatesThenPostsControlV()
    {
        QFETCH(QStringList, categories);
        QFETCH(quint32, modifiers);
        DesktopEntry entry{kTarget.bundleId, {}, {}, {}, m_home.filePath("editor.desktop"), {}, categories};
        m_p->fakeDesktopEntries->entries.append(entry);
        RunningApp target = kTarget;
        target.desktopFile = entry.path;
        m_p->fakeWindows->frontmost = kOther;
        m_p->fakeClipboard->content = QStringLiteral("previous");
        m_exec->execute(slotWith(ActionType::pasteText("Grüße\nzwei Zeilen")), target);
        QCOMPARE(events(), (QStringList{"activate org.example.Editor", "clipboard Grüße\nzwei Zeilen"}));
        QTest::qWait(ActionExecutor::kPasteDelayMs - 80);
        QVERIFY(m_keys->posts.isEmpty()); // not before the pause
        QTRY_COMPARE_WITH_TIMEOUT(m_keys->posts.size(), 1, 1000);
        QCOMPARE(m_keys->frontmostAtPost, QStringList{kTarget.bundleId});
        // The previous clipboard is not restored.
        QTest::qWait(200);
        QCOMPARE(events(), (QStringList{key(9, modifiers), "activate org.example.Editor",
                                        "clipboard Grüße\nzwei Zeilen"}));
    }

    void pasteIntoATargetThatNeverTakesTheKeyboard()
    {
        // Closed while the ring was up, or its activation refused: Ctrl+V
        // would paste the text into whatever window has the focus.
        m_p->fakeWindows->frontmost = kOther;
        m_p->fakeWindows->focusOnActivate = false;
        StdoutCapture out;
        m_exec->execute(slotWith(ActionType::pasteText("private")), kTarget);
        QTest::qWait(ActionExecutor::kPasteDelayMs + ActionExecutor::kFocusWaitMs + 150);
        const QStringList lines = out.lines(); // before any check, so failures show
        QVERIFY(m_keys->posts.isEmpty());
        QCOMPARE(m_p->fakeClipboard->content, QStringLiteral("private"));
        QCOMPARE(lines, QStringList{"[ActionExecutor] The target window did not take the keyboard; the "
                                    "text was not pasted and stays on the clipboard."});
    }

    void failuresAreReported()
    {
        m_p->fakeTrust->trusted = false;
        m_p->fakeDesktopEntries->launchError = QStringLiteral("Exec not found");
        m_p->fakeSession->unsupported.insert(SessionControls::Control::Lock);
        StdoutCapture out;
        m_exec->execute(slotWith(ActionType::shortcut("C", 8, {true, false, false, false})), kTarget);
        // Without trust a paste still fills the clipboard and brings the target forward.
        m_exec->execute(slotWith(ActionType::pasteText("hi")), kTarget);
        m_exec->execute(slotWith(ActionType::launchApp("org.example.App", "App", "")), std::nullopt);
        m_exec->execute(slotWith(ActionType::systemControl(SystemControlAction::lockScreen)), std::nullopt);
        QTest::qWait(ActionExecutor::kPasteDelayMs + 100);
        QCOMPARE(m_trustRequests, 1);
        QCOMPARE(events(), (QStringList{"activate org.example.Editor", "clipboard hi"}));
        QCOMPARE(
            out.lines(),
            (QStringList{"[ActionExecutor] Accessibility permission is missing! Requesting permission...",
                         "[ActionExecutor] Failed to launch application: Exec not found",
                         "[ActionExecutor] Cannot perform lock_screen: fake session lacks this control"}));
    }

    void volumeRules_data()
    {
        QTest::addColumn<float>("level"); // below 0: unreadable
        QTest::addColumn<bool>("muted");
        QTest::addColumn<QString>("operation"); // up, down, mute or a level to set
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, float level, bool muted, const char* op, const QStringList& e) {
            QTest::newRow(name) << level << muted << QString(op) << e;
        };
        row("set below zero unmutes", 0.5f, true, "-0.2", {"volume 0", "mute 0", kAlert, "shown 0 0"});
        row("0.96 up", 0.96f, false, "up", {"volume 1", kAlert, "shown 1 0"});
        // An output without a readable volume ignores the write, but the
        // indicator still shows the requested value.
        row("unreadable up", -1, false, "up", {"volume 0.5625", kAlert, "shown 0.5625 0"});
        row("unreadable down", -1, false, "down", {"volume 0.4375", kAlert, "shown 0.4375 0"});
        row("muting is silent", 0.75f, false, "mute", {"mute 1", "shown 0.75 1"});
        row("unmuting plays", 0.75f, true, "mute", {"mute 0", kAlert, "shown 0.75 0"});
        row("unreadable mute shows 0.5", -1, false, "mute", {"mute 1", "shown 0.5 1"});
    }
    void volumeRules()
    {
        QFETCH(float, level);
        QFETCH(bool, muted);
        QFETCH(QString, operation);
        QFETCH(QStringList, expected);
        m_p->fakeMixer->level = level < 0 ? std::nullopt : std::optional(level);
        m_p->fakeMixer->isMuted = muted;
        if (operation == "mute")
            m_volume->toggleMute();
        else if (operation == "up" || operation == "down")
            m_volume->stepVolume(operation == "up");
        else
            m_volume->setVolume(operation.toFloat());
        // The indicator comes after the caller returned, not inside the call.
        QVERIFY(m_shown.isEmpty());
        QTRY_COMPARE(events(), expected);
    }

    void noOutputDoesNothing()
    {
        m_p->fakeMixer->available = false;
        m_volume->setVolume(0.7f);
        m_volume->stepVolume(true);
        m_volume->toggleMute();
        QTest::qWait(30);
        QCOMPARE(events(), QStringList());
        QVERIFY(!m_volume->getVolume() && !m_volume->isMuted());
    }

    void panelPlacement_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("panel");
        QTest::newRow("single screen") << QRect(0, 0, 1440, 900) << QRect(620, 590, 200, 190);
        QTest::newRow("screen above, top bar") << QRect(0, -1080, 1920, 1052) << QRect(860, -338, 200, 190);
    }
    void panelPlacement()
    {
        QFETCH(QRect, available);
        QFETCH(QRect, panel);
        QCOMPARE(VolumeOSDManager::panelGeometry(available), panel);
    }

    void levelDrawing_data()
    {
        QTest::addColumn<float>("volume");
        QTest::addColumn<bool>("muted");
        QTest::addColumn<QString>("drawn"); // lit segments, percentage, speaker symbol
        QTest::newRow("nearly silent") << 0.01f << false << "1 1% speaker.fill";
        QTest::newRow("exactly one step") << 0.0625f << false << "1 6% speaker.wave.1.fill";
        QTest::newRow("half rounds up") << 0.125f << false << "2 13% speaker.wave.1.fill";
        QTest::newRow("wave 2 threshold") << 0.34f << false << "6 34% speaker.wave.2.fill";
        QTest::newRow("wave 3 threshold") << 0.67f << false << "11 67% speaker.wave.3.fill";
        QTest::newRow("muted") << 0.8f << true << "13 80% speaker.slash.fill";
    }
    void levelDrawing()
    {
        QFETCH(float, volume);
        QFETCH(bool, muted);
        QFETCH(QString, drawn);
        QCOMPARE(QStringLiteral("%1 %2 %3")
                     .arg(VolumeOSDView::litSegments(volume))
                     .arg(VolumeOSDView::percentText(volume), VolumeOSDView::speakerIconName(muted, volume)),
                 drawn);
    }

    void showClampsAndNeverTakesInput()
    {
        VolumeOSDManager m(fastTimings());
        m.show(1.2f, false);
        QCOMPARE(m.volume(), 1.0f);
        QVERIFY(m.isVisible() && m.isPanelShown());
        QCOMPARE(m.panel()->geometry(),
                 VolumeOSDManager::panelGeometry(QGuiApplication::primaryScreen()->availableGeometry()));
        QVERIFY(m.panel()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
        QVERIFY(m.panel()->windowFlags().testFlag(Qt::WindowTransparentForInput));
        m.show(-0.5f, true);
        QCOMPARE(m.volume(), 0.0f);
        QVERIFY(m.isMuted());
    }

    void hidesAfterTheLastShow()
    {
        VolumeOSDManager m(fastTimings());
        QSignalSpy orderedOut(&m, &VolumeOSDManager::panelOrderedOut);
        int hides = 0;
        connect(&m, &VolumeOSDManager::isVisibleChanged, this, [&] { hides += m.isVisible() ? 0 : 1; });
        // Ten shows 1/5 of 0.5 s apart keep it up the whole time.
        for (int i = 0; i < 10; ++i) {
            m.show(0.1f * float(i), false);
            QVERIFY(m.isPanelShown());
            QCOMPARE(hides, 0);
            QTest::qWait(100);
        }
        QVERIFY(m.isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(orderedOut.size(), 1, 1000);
        QTest::qWait(300);
        QCOMPARE(hides, 1); // faded once
        QCOMPARE(orderedOut.size(), 1);
    }

    void showDuringFadeKeepsThePanel()
    {
        VolumeOSDManager m(fastTimings());
        QSignalSpy orderedOut(&m, &VolumeOSDManager::panelOrderedOut);
        bool reshown = false;
        // 1/5 of 0.1 s into the fade, a new show.
        connect(&m, &VolumeOSDManager::isVisibleChanged, this, [&] {
            if (!m.isVisible() && !reshown)
                QTimer::singleShot(20, &m, [&] {
                    reshown = true;
                    QVERIFY(m.isPanelShown());
                    m.show(0.6f, false);
                });
        });
        m.show(0.5f, false);
        QTRY_VERIFY_WITH_TIMEOUT(reshown, 1000);
        QTest::qWait(120);
        QCOMPARE(orderedOut.size(), 0);
        QVERIFY(m.isPanelShown() && m.isVisible());
        // The new show's own timer still runs out later.
        QTRY_COMPARE_WITH_TIMEOUT(orderedOut.size(), 1, 2000);
    }

    void listing_data()
    {
        QTest::addColumn<QStringList>("scripts");
        QTest::addColumn<QStringList>("others"); // plain files and folders
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("trimmed, blank dropped, duplicates kept")
            << QStringList{"A", "   ", " B ", "C", "C "} << QStringList{} << QStringList{"B", "A", "C", "C"};
        QTest::newRow("by name, not by creation")
            << QStringList{"zeta", "Alpha", "beta", "Gamma"} << QStringList{}
            << QStringList{"Alpha", "Gamma", "beta", "zeta"};
        QTest::newRow("only executable regular files")
            << QStringList{"run.sh"} << QStringList{"readme.txt", "subfolder/"} << QStringList{"run.sh"};
    }
    void listing()
    {
        QFETCH(QStringList, scripts);
        QFETCH(QStringList, others);
        QFETCH(QStringList, listed);
        QTemporaryDir dir;
        for (const QString& n : scripts)
            create(dir.filePath(n));
        for (const QString& n : others)
            create(dir.filePath(n), false);
        QCOMPARE(ShortcutsManager::listFolder(dir.path()), listed);
        auto m = makeManager(dir.path());
        QTRY_VERIFY(!m->isLoading());
        QCOMPARE(m->installedShortcuts(), listed);
        // Of several refreshes in a row, the last listing wins.
        create(dir.filePath("late"));
        for (int i = 0; i < 3; ++i)
            m->refreshShortcuts();
        QVERIFY(m->isLoading()); // at once, on the calling thread
        QTRY_VERIFY(m->installedShortcuts().contains("late") && !m->isLoading());
    }

    void unlistableFolders_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("log");
        QTest::newRow("missing: empty, not an error") << "does/not/exist" << QString();
        QTest::newRow("not a folder") << "a-file" << QString("[ShortcutsManager] Error listing shortcuts: ");
    }
    void unlistableFolders()
    {
        QFETCH(QString, folder);
        QFETCH(QString, log);
        create(m_home.filePath("a-file"), false);
        StdoutCapture out;
        auto m = makeManager(m_home.filePath(folder));
        QTRY_VERIFY(m->lastRefreshed().has_value());
        QVERIFY(!m->isLoading());
        QVERIFY(m->installedShortcuts().isEmpty());
        const QStringList lines = out.lines();
        QCOMPARE(lines.size(), log.isEmpty() ? 0 : 1);
        QVERIFY(lines.isEmpty() || lines[0].startsWith(log));
    }

    void suggestedSymbols_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("play before video") << "Play Video" << QString("music.note");
        QTest::newRow("substring inside a word") << "Display Settings" << QString("music.note");
        QTest::newRow("case-insensitive") << "MOVIE night" << QString("video.fill");
        QTest::newRow("weather") << "Daily Weather" << QString("cloud.sun.fill");
        QTest::newRow("nothing") << "Backup" << QString("square.stack.3d.up.fill");
    }
    void suggestedSymbols()
    {
        QFETCH(QString, name);
        QFETCH(QString, symbol);
        QCOMPARE(ShortcutsManager::suggestedSymbol(name), symbol);
    }

    void runResolvesInsideTheFolderOnly_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("launched"); // file name in the folder; empty: nothing runs
        QTest::addColumn<bool>("logged");
        QTest::newRow("trimmed") << "  Backup \n" << QString("Backup") << false;
        QTest::newRow("listed name of a padded file") << "Padded" << QString(" Padded ") << false;
        QTest::newRow("blank") << "  \t" << QString() << false;
        QTest::newRow("traversal") << "../outside" << QString() << true;
        QTest::newRow("absolute") << "/bin/sh" << QString() << true;
        QTest::newRow("nested") << "sub/inner" << QString() << true;
        QTest::newRow("not executable") << "notes.txt" << QString() << true;
        QTest::newRow("unknown") << "Nope" << QString() << true;
    }
    void runResolvesInsideTheFolderOnly()
    {
        QFETCH(QString, name);
        QFETCH(QString, launched);
        QFETCH(bool, logged);
        QTemporaryDir base;
        const QString folder = base.filePath("scripts");
        for (const char* script : {"/sub/", "/Backup", "/ Padded ", "/sub/inner", "/../outside"})
            create(folder + QLatin1String(script));
        create(folder + "/notes.txt", false);
        auto m = makeManager(folder);
        StdoutCapture out;
        m->runShortcut(name);
        const QStringList lines = out.lines();
        QCOMPARE(m_launchedScripts,
                 launched.isEmpty() ? QStringList() : QStringList{folder + '/' + launched});
        QCOMPARE(lines.size(), logged ? 1 : 0);
        QVERIFY(lines.isEmpty() || lines[0].startsWith("[ShortcutsManager] "));
    }
};

QTEST_MAIN(ActionsTest)
#include "tst_actions.moc"
