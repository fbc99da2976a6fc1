#include "platform/fake/FakePlatform.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyGrabber.h"
#include "platform/x11/X11InputMonitor.h"
#include "platform/x11/X11InputTrust.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11KeyTable.h"
#include "platform/x11/X11WindowSystem.h"
#include "shell/ActiveAppSensor.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"
#include "StdoutCapture.h"

#include <algorithm>
#include <memory>
#include <QProcess>
#include <QRasterWindow>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <vector>

// Drives a real X server (Xvfb + openbox): presses come from xdotool, other
// clients are the small programs next to this test.
class TestX11Triggers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("RONDIX_TEST_SESSION"))
            QSKIP("needs the private X session of tests/session/run-session");
        qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
        m_conn = X11Connection::open();
        QVERIFY(m_conn);
        QVERIFY(X11InputTrust(m_conn.get()).isTrusted());
        m_grabber = new X11HotkeyGrabber(m_conn.get(), m_conn.get());
        m_monitor = new X11InputMonitor(m_conn.get(), m_conn.get());
        m_windows = new X11WindowSystem(
            m_conn.get(), [this] { return &m_entries; }, m_conn.get());
        m_keys = new X11KeyInjector(m_conn.get(), m_monitor, m_grabber, m_conn.get());
        // Window switching needs the session's window manager; say so plainly when it did not come up.
        const QStringList wmCheck{"-c", "xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'"};
        QTRY_VERIFY2_WITH_TIMEOUT(QProcess::execute("sh", wmCheck) == 0,
                                  "no window manager runs on this display (openbox did not start)", 3000);
        m_entries.entries = {
            DesktopEntry{
                "triggers.alpha", "Alpha", {}, {}, {}, "TriggersAlpha", {}}, // id, name, ..., StartupWMClass
            DesktopEntry{"triggers-beta", "Beta", {}, {}, {}, {}, {}}};
    }

    void cleanup()
    {
        for (auto& p : m_processes) {
            p->kill();
            p->waitForFinished(2000);
        }
        m_processes.clear();
    }

    void hotkeyFiresOncePerPressUntilCleared()
    {
        HotkeyManager mgr(m_grabber, m_monitor);
        int triggers = 0;
        mgr.onTrigger = [&] { ++triggers; };
        // (Alt+Space itself belongs to openbox's window menu here.)
        const QString out = captureStdout([&] {
            mgr.setCustomHotkey(40, ModifierMask::Command | ModifierMask::Shift, QStringLiteral("⇧⌘K"));
        });
        QCOMPARE(out, QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: ⇧⌘K\n"));
        QVERIFY(mgr.isGrabbed());
        QVERIFY(!m_monitor->keysSelected()); // a working grab needs no raw keys

        xdo("key super+shift+k");
        QTRY_COMPARE(triggers, 1);
        QTest::qWait(300);
        QCOMPARE(triggers, 1);
        // Held down long enough to auto-repeat: still one trigger.
        xdo("keydown super+shift+k");
        QTest::qWait(900);
        xdo("keyup super+shift+k");
        QTest::qWait(300);
        QCOMPARE(triggers, 2);
        // Num Lock on: the grab covers the lock bits.
        xdo("key Num_Lock super+shift+k Num_Lock");
        QTRY_COMPARE(triggers, 3);
        // Not the chord: nothing.
        xdo("key k super+k ctrl+shift+k");
        QTest::qWait(300);
        QCOMPARE(triggers, 3);

        // Move K to a free keycode and back, as layout switches would.
        xcb_connection_t* c = m_conn->xcb();
        const int min = m_conn->minKeycode(), max = m_conn->maxKeycode();
        auto* map =
            xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, min, max - min + 1), nullptr);
        QVERIFY(map);
        const int per = map->keysyms_per_keycode;
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        const int home = m_conn->keycodesFor('k').value(0);
        int spare = max;
        while (spare >= min && std::any_of(syms + (spare - min) * per, syms + (spare - min + 1) * per,
                                           [](xcb_keysym_t s) { return s != XCB_NO_SYMBOL; }))
            --spare;
        QVERIFY(home && spare >= min);
        const std::vector<xcb_keysym_t> kRow(syms + (home - min) * per, syms + (home - min + 1) * per);
        const std::vector<xcb_keysym_t> none(per, XCB_NO_SYMBOL);
        free(map);
        int expected = 3;
        for (const auto& [to, from] : {std::pair{spare, home}, std::pair{home, spare}}) {
            setKeyRow(to, kRow);
            setKeyRow(from, none);
            QTRY_COMPARE(int(m_conn->keycodesFor('k').value(0)), to);
            QTest::qWait(200);
            xdo("key super+shift+k");
            ++expected;
            QTRY_COMPARE(triggers, expected);
        }
        // K gone from the keymap for a while, as in a layout without it, then back.
        setKeyRow(home, none);
        QTRY_VERIFY(m_conn->keycodesFor('k').isEmpty());
        QVERIFY(mgr.isGrabbed());
        setKeyRow(home, kRow);
        QTRY_COMPARE(int(m_conn->keycodesFor('k').value(0)), home);
        QTest::qWait(200);
        xdo("key super+shift+k");
        ++expected;
        QTRY_COMPARE(triggers, expected);

        // Cleared: no longer fires, and the chord is free again for other applications.
        captureStdout([&] { mgr.clearHotkey(); });
        xdo("key super+shift+k");
        QTest::qWait(400);
        QCOMPARE(triggers, expected);
        QCOMPARE(startTool(QStringLiteral("triggers_grabber"), {"6b", "41"}),
                 QByteArray("grabbed")); // Shift+Mod4 + k
    }

    void takenChordFallsBackToRawKeys_data()
    {
        QTest::addColumn<QString>("chord");
        QTest::addColumn<bool>("fires");
        QTest::newRow("the chord") << "ctrl+F5" << true;
        QTest::newRow("bare key") << "F5" << false;
        QTest::newRow("extra shift") << "ctrl+shift+F5" << false;
        QTest::newRow("other key") << "ctrl+F6" << false;
    }

    void takenChordFallsBackToRawKeys()
    {
        QFETCH(QString, chord);
        QFETCH(bool, fires);
        QCOMPARE(startTool(QStringLiteral("triggers_grabber"), {"ffc2", "4"}),
                 QByteArray("grabbed")); // Control+F5

        HotkeyManager mgr(m_grabber, m_monitor);
        int triggers = 0;
        mgr.onTrigger = [&] { ++triggers; };
        const QString out =
            captureStdout([&] { mgr.setCustomHotkey(96, ModifierMask::Control, QStringLiteral("⌃F5")); });
        QCOMPARE(out, QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 10.\n"));
        QVERIFY(mgr.isFallbackActive());
        QVERIFY(m_monitor->keysSelected());

        xdo("key " + chord);
        if (fires)
            QTRY_COMPARE(triggers, 1);
        QTest::qWait(300);
        QCOMPARE(triggers, fires ? 1 : 0);
        // Held long enough to auto-repeat: still one trigger per press.
        xdo("keydown " + chord);
        QTest::qWait(900);
        xdo("keyup " + chord);
        QTest::qWait(300);
        QCOMPARE(triggers, fires ? 2 : 0);
    }

    void hotkeyFollowsKeyAwayAndBack_data()
    {
        QTest::addColumn<bool>("missingAtSet");   // K is off the keymap when the hotkey is set
        QTest::addColumn<bool>("takenAtSet");     // another client holds the chord from the start
        QTest::addColumn<bool>("takenWhileAway"); // another client grabs it while K is away
        QTest::addColumn<QString>("logAtSet");
        QTest::addColumn<QString>("logAtReturn");
        QTest::addColumn<bool>("rawKeysAtReturn");
        const QString grabbed =
            QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: ⇧⌘K\n");
        const QString taken = QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 10.\n");
        const QString noKey = QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 2.\n");
        QTest::newRow("grabbed, chord taken while K was away")
            << false << false << true << grabbed << taken << true;
        QTest::newRow("set while K is away, chord free on return")
            << true << false << false << noKey << grabbed << false;
        QTest::newRow("set while K is away, chord taken meanwhile")
            << true << false << true << noKey << taken << true;
        QTest::newRow("taken from the start, K away and back")
            << false << true << false << taken << taken << true;
    }

    void hotkeyFollowsKeyAwayAndBack()
    {
        QFETCH(bool, missingAtSet);
        QFETCH(bool, takenAtSet);
        QFETCH(bool, takenWhileAway);
        QFETCH(QString, logAtSet);
        QFETCH(QString, logAtReturn);
        QFETCH(bool, rawKeysAtReturn);
        const int home = m_conn->keycodesFor('k').value(0);
        QVERIFY(home);
        xcb_connection_t* c = m_conn->xcb();
        auto* map =
            xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, xcb_keycode_t(home), 1), nullptr);
        QVERIFY(map);
        const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
        const std::vector<xcb_keysym_t> kRow(syms, syms + map->keysyms_per_keycode);
        const std::vector<xcb_keysym_t> none(kRow.size(), XCB_NO_SYMBOL);
        free(map);
        // K goes back where it was, whatever happens below.
        auto restore = qScopeGuard([&] { setKeyRow(home, kRow); });
        const auto keyAway = [&] {
            setKeyRow(home, none);
            QTRY_VERIFY(m_conn->keycodesFor('k').isEmpty());
        };
        const QByteArray chord = "#" + QByteArray::number(home);

        if (takenAtSet)
            QCOMPARE(startTool(QStringLiteral("triggers_grabber"), {chord, "41"}), QByteArray("grabbed"));
        if (missingAtSet)
            keyAway();
        HotkeyManager mgr(m_grabber, m_monitor);
        int triggers = 0;
        mgr.onTrigger = [&] { ++triggers; };
        QCOMPARE(logLines(captureStdout([&] {
                     mgr.setCustomHotkey(40, ModifierMask::Command | ModifierMask::Shift,
                                         QStringLiteral("⇧⌘K"));
                 })),
                 logAtSet);
        // Raw keys only for a chord that can come: taken, and its key on the keyboard.
        QCOMPARE(m_monitor->keysSelected(), takenAtSet);
        if (!missingAtSet) {
            keyAway();
            QTest::qWait(100);
            QVERIFY(!m_monitor->keysSelected());
        }
        if (takenWhileAway) // on K's keycode, empty for now
            QCOMPARE(startTool(QStringLiteral("triggers_grabber"), {chord, "41"}), QByteArray("grabbed"));

        const QString out = captureStdout([&] {
            setKeyRow(home, kRow);
            QTRY_COMPARE(int(m_conn->keycodesFor('k').value(0)), home);
            QTest::qWait(200);
        });
        QCOMPARE(logLines(out), logAtReturn);
        QCOMPARE(m_monitor->keysSelected(), rawKeysAtReturn);
        QCOMPARE(mgr.isGrabbed(), !rawKeysAtReturn);
        QCOMPARE(mgr.isFallbackActive(), rawKeysAtReturn);
        // Either way the chord summons again.
        xdo("key super+shift+k");
        QTRY_COMPARE(triggers, 1);
        QTest::qWait(300);
        QCOMPARE(triggers, 1);
        captureStdout([&] { mgr.clearHotkey(); });
        QVERIFY(!m_monitor->keysSelected());
    }

    void mouseButton_data()
    {
        QTest::addColumn<int>("xButton");
        QTest::addColumn<bool>("fires");
        QTest::newRow("back (8)") << 8 << true;
        QTest::newRow("forward (9)") << 9 << false;
        QTest::newRow("left") << 1 << false;
    }

    void mouseButton()
    {
        QFETCH(int, xButton);
        QFETCH(bool, fires);
        // Click over a client so the window manager's root menus stay shut.
        const quint32 pad = startWindow(QStringLiteral("pad"), QStringLiteral("TriggersPad"));
        QVERIFY(pad);
        xdo(QStringLiteral("mousemove --window %1 40 40").arg(pad));

        MouseTriggerManager mgr(m_monitor);
        mgr.setTargetButtonNumber(3);
        QList<QPoint> summons;
        mgr.onSummon = [&](QPoint p) { summons << p; };
        xdo(QStringLiteral("click %1").arg(xButton));
        if (fires)
            QTRY_COMPARE(summons.size(), 1);
        QTest::qWait(300);
        QCOMPARE(summons.size(), fires ? 1 : 0);
        if (fires)
            QCOMPARE(summons.first(), m_monitor->pointerPosition());
    }

    void mouseButtonOverOwnWindowIsNotObserved()
    {
        const quint32 pad = startWindow(QStringLiteral("pad"), QStringLiteral("TriggersPad"));
        QVERIFY(pad);
        // A window of this very process, as the settings window is Rondix's.
        QRasterWindow own;
        own.setGeometry(600, 300, 300, 200);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        xdo(QStringLiteral("windowactivate --sync %1").arg(own.winId()));

        MouseTriggerManager mgr(m_monitor);
        mgr.setTargetButtonNumber(2);
        int summons = 0;
        mgr.onSummon = [&](QPoint) { ++summons; };
        const QPoint inside = own.geometry().center();
        xdo(QStringLiteral("mousemove %1 %2").arg(inside.x()).arg(inside.y()));
        QTest::qWait(100);
        QVERIFY(m_monitor->isPointerOverOwnWindow());
        xdo("click 2");
        QTest::qWait(300);
        QCOMPARE(summons, 0);
        // Over another client the same press summons.
        xdo(QStringLiteral("windowactivate --sync %1").arg(pad));
        xdo(QStringLiteral("mousemove --window %1 40 40").arg(pad));
        QTest::qWait(100);
        QVERIFY(!m_monitor->isPointerOverOwnWindow());
        xdo("click 2");
        QTRY_COMPARE(summons, 1);
    }

    void frontmostFollowsWindows()
    {
        const quint32 alpha = startWindow(QStringLiteral("alpha"), QStringLiteral("TriggersAlpha"));
        const quint32 beta = startWindow(QStringLiteral("beta"), QStringLiteral("Triggers-Beta"));
        QVERIFY(alpha && beta);

        ActiveAppSensor sensor(m_windows);
        QSignalSpy changes(m_windows, &WindowSystem::frontmostApplicationChanged);
        xdo(QStringLiteral("windowactivate --sync %1").arg(alpha));
        QTRY_COMPARE(sensor.currentAppBundleId(), QStringLiteral("triggers.alpha"));
        xdo(QStringLiteral("windowactivate --sync %1").arg(beta));
        QTRY_COMPARE(sensor.currentAppBundleId(), QStringLiteral("triggers-beta"));

        // A window of this very process is Rondix's own.
        QRasterWindow own;
        own.resize(200, 120);
        own.show();
        QVERIFY(QTest::qWaitForWindowExposed(&own));
        xdo(QStringLiteral("windowactivate --sync %1").arg(own.winId()));
        // The switch is announced (as Rondix's own) and the sensor passes it over.
        QTRY_VERIFY(!changes.isEmpty() && changes.last().first().value<RunningApp>().bundleId == kOwnAppId);
        QTest::qWait(100);
        QCOMPARE(sensor.currentAppBundleId(), QStringLiteral("triggers-beta"));
        QCOMPARE(sensor.snapshotFrontmostApp()->window, beta);
    }

    void postedKeysArrive_data()
    {
        QTest::addColumn<int>("vk");
        QTest::addColumn<int>("mods");
        QTest::addColumn<bool>("userHoldsAlt");
        QTest::addColumn<QStringList>("presses"); // keysym and state, hex
        // Modifiers go down first, then the key with exactly those held.
        QTest::newRow("ctrl+shift+k") << 40 << int(ModifierMask::Control | ModifierMask::Shift) << false
                                      << QStringList{"ffe3 0", "ffe1 4", "6b 5"};
        QTest::newRow("F1") << 122 << 0 << false << QStringList{"ffbe 0"};
        // A modifier the user holds is let go for the posted key (no Mod1, 0x8).
        QTest::newRow("ctrl+v, alt held")
            << 9 << int(ModifierMask::Control) << true << QStringList{"ffe3 0", "76 4"};
    }

    void postedKeysArrive()
    {
        QFETCH(int, vk);
        QFETCH(int, mods);
        QFETCH(bool, userHoldsAlt);
        QFETCH(QStringList, presses);
        if (userHoldsAlt)
            xdo("keydown alt"); // before the window starts, so only the posted keys show there
        QProcess* target = activeTarget();
        QVERIFY(target);
        // Posted keys are not taken for the user's own typing by the raw-key monitor.
        QSignalSpy monitored(m_monitor, &InputMonitor::keyPressed);
        m_monitor->acquireKeys(this);
        QVERIFY(m_keys->postKey(quint16(vk), quint32(mods), 15));
        QTest::qWait(300);
        m_monitor->releaseKeys(this);
        if (userHoldsAlt)
            xdo("keyup alt");
        QCOMPARE(this->presses(target), presses);
        QCOMPARE(monitored.count(), 0);
    }

    void missingKeysymBorrowsKeycode()
    {
        // A key of the ring data that this keyboard map has no keycode for.
        int vk = 0;
        while (vk < 128 && (!X11KeyTable::keysymForVirtualKey(vk) ||
                            !m_conn->keycodesFor(*X11KeyTable::keysymForVirtualKey(vk)).isEmpty()))
            ++vk;
        if (vk == 128)
            QSKIP("every key of the table exists in this keymap");
        const quint32 keysym = *X11KeyTable::keysymForVirtualKey(vk);

        QProcess* target = activeTarget();
        QVERIFY(target);
        QVERIFY(m_keys->postKey(quint16(vk), 0, 5));
        QTest::qWait(300);
        QCOMPARE(presses(target), QStringList({QString::number(keysym, 16) + QStringLiteral(" 0")}));
        // The keycode goes back to having no symbol shortly after.
        QTRY_VERIFY_WITH_TIMEOUT(m_conn->keycodesFor(keysym).isEmpty(), 3000);
    }

private:
    // Puts `keysyms` (a whole row, or none) on one keycode of the keymap.
    void setKeyRow(int keycode, const std::vector<xcb_keysym_t>& keysyms)
    {
        xcb_change_keyboard_mapping(m_conn->xcb(), 1, xcb_keycode_t(keycode), quint8(keysyms.size()),
                                    keysyms.data());
        m_conn->flush();
    }

    // Starts a helper program (ended in cleanup) and returns its first line of output.
    QByteArray startTool(const QString& name, const QStringList& args)
    {
        QProcess* p = m_processes.emplace_back(std::make_shared<QProcess>()).get();
        p->start(QStringLiteral(RONDIX_BINARY_DIR "/bin/") + name, args);
        for (int i = 0; i < 50 && !p->canReadLine(); ++i)
            p->waitForReadyRead(100);
        return p->readLine().trimmed();
    }

    // A test window of the given WM_CLASS; returns its id, 0 when it did not come up.
    quint32 startWindow(const QString& instance, const QString& cls)
    {
        return startTool(QStringLiteral("triggers_window"), {instance, cls}).mid(7).toUInt();
    }

    // A test window made active, its output so far dropped; it prints the keys it gets.
    QProcess* activeTarget()
    {
        RunningApp app;
        app.window = startWindow(QStringLiteral("inject"), QStringLiteral("TriggersInject"));
        if (!app.window || !m_windows->activate(app) ||
            !QTest::qWaitFor([&] { return m_windows->hasKeyboardFocus(app); }, 2000))
            return nullptr;
        m_processes.last()->readAllStandardOutput();
        return m_processes.last().get();
    }

    // The keys a test window reported since the last call, as "keysym state" in hex.
    static QStringList presses(QProcess* window)
    {
        const QRegularExpression press(QStringLiteral("^press "));
        return QString::fromUtf8(window->readAllStandardOutput())
            .split('\n')
            .filter(press)
            .replaceInStrings(press, {});
    }

    // The log lines ("[Component] ...") of captured output, without Qt's debug messages.
    static QString logLines(const QString& out)
    {
        QStringList lines = out.split('\n', Qt::SkipEmptyParts).filter(QRegularExpression("^\\["));
        return lines.isEmpty() ? QString() : lines.join('\n') + '\n';
    }
    static void xdo(const QString& args) { QCOMPARE(QProcess::execute("xdotool", args.split(' ')), 0); }

    QTemporaryDir m_config;
    std::unique_ptr<X11Connection> m_conn;
    X11HotkeyGrabber* m_grabber = nullptr;
    X11InputMonitor* m_monitor = nullptr;
    X11WindowSystem* m_windows = nullptr;
    X11KeyInjector* m_keys = nullptr;
    FakeDesktopEntries m_entries;
    QList<std::shared_ptr<QProcess>> m_processes;
};

QTEST_MAIN(TestX11Triggers)
#include "tst_x11triggers.moc"
