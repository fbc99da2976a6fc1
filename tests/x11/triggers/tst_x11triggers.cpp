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

#include <memory>
#include <QProcess>
#include <QRasterWindow>
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
    void initTestCase();
    void cleanup();

    void trusted();
    void hotkeyFiresOncePerPress();
    void grabFollowsKeymapChange();
    void takenChordFallsBackToRawKeys_data();
    void takenChordFallsBackToRawKeys();
    void clearedHotkeyNoLongerFires();
    void mouseButton_data();
    void mouseButton();
    void frontmostFollowsWindows();
    void injectedChordReachesWindow();
    void heldModifiersAreLetGo();
    void missingKeysymBorrowsKeycode();
    void ownInjectionIsNotInput();

private:
    struct Client
    {
        std::unique_ptr<QProcess> process;
        quint32 window = 0;
        QStringList presses() const;
        Client() = default;
        Client(Client&&) = default;
        ~Client()
        {
            if (process) {
                process->kill();
                process->waitForFinished(2000);
            }
        }
    };
    Client startClient(const QString& instance, const QString& cls);
    std::unique_ptr<QProcess> startGrabber(const QString& keysym, const QString& state);
    static void xdotool(const QStringList& args);
    static QString tool(const QString& name) { return QStringLiteral(RONDIX_BINARY_DIR "/bin/") + name; }

    QTemporaryDir m_config;
    std::unique_ptr<X11Connection> m_conn;
    X11HotkeyGrabber* m_grabber = nullptr;
    X11InputMonitor* m_monitor = nullptr;
    X11WindowSystem* m_windows = nullptr;
    X11KeyInjector* m_keys = nullptr;
    FakeDesktopEntries m_entries;
    QList<std::shared_ptr<QProcess>> m_processes;
    bool m_haveWindowManager = false;
};

// Window switching needs the session's window manager; say so plainly when it
// did not come up instead of failing somewhere further down.
#define REQUIRE_WINDOW_MANAGER()                                                                             \
    if (!m_haveWindowManager)                                                                                \
    QFAIL("no window manager runs on this display (openbox did not start)")

QStringList TestX11Triggers::Client::presses() const
{
    QStringList lines;
    const QString out = QString::fromUtf8(process->readAllStandardOutput());
    for (const QString& l : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        if (l.startsWith(QLatin1String("press ")))
            lines << l.mid(6);
    return lines;
}

void TestX11Triggers::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("RONDIX_TEST_SESSION"))
        QSKIP("needs the private X session of tests/session/run-session");
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    m_conn = X11Connection::open();
    QVERIFY(m_conn);
    m_grabber = new X11HotkeyGrabber(m_conn.get(), m_conn.get());
    m_monitor = new X11InputMonitor(m_conn.get(), m_conn.get());
    m_windows = new X11WindowSystem(
        m_conn.get(), [this] { return &m_entries; }, m_conn.get());
    m_keys = new X11KeyInjector(m_conn.get(), m_monitor, m_grabber, m_conn.get());
    for (int i = 0; i < 60 && !m_haveWindowManager; ++i) {
        m_haveWindowManager =
            QProcess::execute(
                QStringLiteral("sh"),
                {QStringLiteral("-c"),
                 QStringLiteral("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'")}) == 0;
        if (!m_haveWindowManager)
            QTest::qWait(50);
    }

    DesktopEntry alpha;
    alpha.id = QStringLiteral("triggers.alpha");
    alpha.name = QStringLiteral("Alpha");
    alpha.startupWmClass = QStringLiteral("TriggersAlpha");
    DesktopEntry beta;
    beta.id = QStringLiteral("triggers-beta");
    beta.name = QStringLiteral("Beta");
    m_entries.entries = {alpha, beta};
}

void TestX11Triggers::cleanup()
{
    for (auto& p : m_processes) {
        p->kill();
        p->waitForFinished(2000);
    }
    m_processes.clear();
    QCoreApplication::processEvents();
}

void TestX11Triggers::xdotool(const QStringList& args)
{
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), args), 0);
}

TestX11Triggers::Client TestX11Triggers::startClient(const QString& instance, const QString& cls)
{
    Client c;
    c.process = std::make_unique<QProcess>();
    c.process->start(tool(QStringLiteral("triggers_window")), {instance, cls});
    if (!c.process->waitForStarted(3000))
        return c;
    QByteArray line;
    for (int i = 0; i < 50 && !line.contains('\n'); ++i) {
        c.process->waitForReadyRead(100);
        line += c.process->readLine();
    }
    if (line.startsWith("window "))
        c.window = line.mid(7).trimmed().toUInt();
    return c;
}

std::unique_ptr<QProcess> TestX11Triggers::startGrabber(const QString& keysym, const QString& state)
{
    auto p = std::make_unique<QProcess>();
    p->start(tool(QStringLiteral("triggers_grabber")), {keysym, state});
    p->waitForReadyRead(3000);
    const QByteArray out = p->readAll();
    if (!out.startsWith("grabbed"))
        return nullptr;
    return p;
}

void TestX11Triggers::trusted()
{
    X11InputTrust trust(m_conn.get());
    QVERIFY(trust.isTrusted());
    QCOMPARE(trust.missingReason(), QString());
}

void TestX11Triggers::hotkeyFiresOncePerPress()
{
    HotkeyManager mgr(m_grabber, m_monitor);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    // (Alt+Space itself belongs to openbox's window menu here.)
    const QString out = captureStdout(
        [&] { mgr.setCustomHotkey(40, ModifierMask::Command | ModifierMask::Shift, QStringLiteral("⇧⌘K")); });
    QCOMPARE(out, QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: ⇧⌘K\n"));
    QVERIFY(mgr.isGrabbed());
    QVERIFY(!m_monitor->keysSelected()); // a working grab needs no raw keys

    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+k")});
    QTRY_COMPARE(triggers, 1);
    QTest::qWait(300);
    QCOMPARE(triggers, 1);

    // Held down long enough to auto-repeat: still one trigger.
    xdotool({QStringLiteral("keydown"), QStringLiteral("super+shift+k")});
    QTest::qWait(900);
    xdotool({QStringLiteral("keyup"), QStringLiteral("super+shift+k")});
    QTest::qWait(300);
    QCOMPARE(triggers, 2);

    // Num Lock on: the grab covers the lock bits.
    xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+k")});
    xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
    QTRY_COMPARE(triggers, 3);

    // Not the chord: nothing.
    xdotool({QStringLiteral("key"), QStringLiteral("k"), QStringLiteral("super+k"),
             QStringLiteral("ctrl+shift+k")});
    QTest::qWait(300);
    QCOMPARE(triggers, 3);
    mgr.stopListening();
}

void TestX11Triggers::grabFollowsKeymapChange()
{
    HotkeyManager mgr(m_grabber, m_monitor);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    captureStdout(
        [&] { mgr.setCustomHotkey(40, ModifierMask::Command | ModifierMask::Shift, QStringLiteral("⇧⌘K")); });
    QVERIFY(mgr.isGrabbed());

    // Move K to a free keycode, as a layout switch would.
    xcb_connection_t* c = m_conn->xcb();
    const xcb_keycode_t min = m_conn->minKeycode(), max = m_conn->maxKeycode();
    auto* map = xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, min, max - min + 1), nullptr);
    QVERIFY(map);
    const int per = map->keysyms_per_keycode;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    const xcb_keycode_t oldCode = m_conn->keycodesFor('k').value(0);
    xcb_keycode_t spare = 0;
    for (int code = max; code >= min && !spare; --code) {
        bool empty = true;
        for (int i = 0; i < per; ++i)
            empty = empty && syms[(code - min) * per + i] == XCB_NO_SYMBOL;
        if (empty)
            spare = xcb_keycode_t(code);
    }
    QVERIFY(oldCode && spare);
    const std::vector<xcb_keysym_t> kRow(syms + (oldCode - min) * per, syms + (oldCode - min + 1) * per);
    free(map);
    const std::vector<xcb_keysym_t> empty(per, XCB_NO_SYMBOL);
    xcb_change_keyboard_mapping(c, 1, spare, quint8(per), kRow.data());
    xcb_change_keyboard_mapping(c, 1, oldCode, quint8(per), empty.data());
    m_conn->flush();
    QTRY_COMPARE(m_conn->keycodesFor('k').value(0), spare);
    QTest::qWait(200);

    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+k")});
    QTRY_COMPARE(triggers, 1);

    xcb_change_keyboard_mapping(c, 1, oldCode, quint8(per), kRow.data());
    xcb_change_keyboard_mapping(c, 1, spare, quint8(per), empty.data());
    m_conn->flush();
    QTRY_COMPARE(m_conn->keycodesFor('k').value(0), oldCode);
    QTest::qWait(200);
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+k")});
    QTRY_COMPARE(triggers, 2);
    QTest::qWait(200);
    QCOMPARE(triggers, 2);
    mgr.stopListening();
}

void TestX11Triggers::takenChordFallsBackToRawKeys_data()
{
    QTest::addColumn<QString>("chord");
    QTest::addColumn<bool>("fires");
    QTest::newRow("the chord") << "ctrl+F5" << true;
    QTest::newRow("bare key") << "F5" << false;
    QTest::newRow("extra shift") << "ctrl+shift+F5" << false;
    QTest::newRow("other modifier") << "alt+F5" << false;
    QTest::newRow("other key") << "ctrl+F6" << false;
}

void TestX11Triggers::takenChordFallsBackToRawKeys()
{
    QFETCH(QString, chord);
    QFETCH(bool, fires);
    auto other = startGrabber(QStringLiteral("ffc2"), QStringLiteral("4")); // Control+F5
    QVERIFY(other);

    HotkeyManager mgr(m_grabber, m_monitor);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    const QString out =
        captureStdout([&] { mgr.setCustomHotkey(96, ModifierMask::Control, QStringLiteral("⌃F5")); });
    QCOMPARE(out, QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 10.\n"));
    QVERIFY(!mgr.isGrabbed());
    QVERIFY(mgr.isFallbackActive());
    QVERIFY(m_monitor->keysSelected());

    xdotool({QStringLiteral("key"), chord});
    if (fires)
        QTRY_COMPARE(triggers, 1);
    QTest::qWait(300);
    QCOMPARE(triggers, fires ? 1 : 0);

    // Held long enough to auto-repeat: still one trigger per press.
    xdotool({QStringLiteral("keydown"), chord});
    QTest::qWait(900);
    xdotool({QStringLiteral("keyup"), chord});
    QTest::qWait(300);
    QCOMPARE(triggers, fires ? 2 : 0);

    mgr.stopListening();
    QVERIFY(!m_monitor->keysSelected());
    other->kill();
    other->waitForFinished();
}

void TestX11Triggers::clearedHotkeyNoLongerFires()
{
    HotkeyManager mgr(m_grabber, m_monitor);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    captureStdout([&] {
        mgr.setCustomHotkey(40, ModifierMask::Command | ModifierMask::Shift, QStringLiteral("⇧⌘K"));
        mgr.clearHotkey();
    });
    xdotool({QStringLiteral("key"), QStringLiteral("super+shift+k")});
    QTest::qWait(400);
    QCOMPARE(triggers, 0);
    // The chord is free again for other applications.
    auto other = startGrabber(QStringLiteral("6b"), QStringLiteral("41")); // Shift+Mod4 + k
    QVERIFY(other);
    other->kill();
    other->waitForFinished();
}

void TestX11Triggers::mouseButton_data()
{
    QTest::addColumn<int>("xButton");
    QTest::addColumn<bool>("fires");
    QTest::newRow("back (8)") << 8 << true;
    QTest::newRow("left") << 1 << false;
    QTest::newRow("right") << 3 << false;
    QTest::newRow("forward (9)") << 9 << false;
    QTest::newRow("wheel up") << 4 << false;
    QTest::newRow("wheel down") << 5 << false;
}

void TestX11Triggers::mouseButton()
{
    QFETCH(int, xButton);
    QFETCH(bool, fires);
    // Click over a client so the window manager's root menus stay shut.
    Client target = startClient(QStringLiteral("pad"), QStringLiteral("TriggersPad"));
    QVERIFY(target.window);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(target.window),
             QStringLiteral("40"), QStringLiteral("40")});

    MouseTriggerManager mgr(m_monitor);
    mgr.setTargetButtonNumber(3);
    QVERIFY(m_monitor->buttonsSelected());
    QList<QPoint> summons;
    mgr.onSummon = [&](QPoint p) { summons << p; };
    xdotool({QStringLiteral("click"), QString::number(xButton)});
    if (fires)
        QTRY_COMPARE(summons.size(), 1);
    QTest::qWait(300);
    QCOMPARE(summons.size(), fires ? 1 : 0);
    if (fires)
        QCOMPARE(summons.first(), m_monitor->pointerPosition());

    mgr.setTargetButtonNumber(-1);
    QVERIFY(!m_monitor->buttonsSelected());
    xdotool({QStringLiteral("click"), QString::number(xButton)});
    QTest::qWait(200);
    QCOMPARE(summons.size(), fires ? 1 : 0);
    target.process->kill();
    target.process->waitForFinished();
}

void TestX11Triggers::frontmostFollowsWindows()
{
    REQUIRE_WINDOW_MANAGER();
    Client alpha = startClient(QStringLiteral("alpha"), QStringLiteral("TriggersAlpha"));
    Client beta = startClient(QStringLiteral("beta"), QStringLiteral("Triggers-Beta"));
    QVERIFY(alpha.window && beta.window);

    ActiveAppSensor sensor(m_windows);
    QSignalSpy changes(m_windows, &WindowSystem::frontmostApplicationChanged);
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(alpha.window)});
    QTRY_COMPARE(sensor.currentAppBundleId(), QStringLiteral("triggers.alpha"));
    QCOMPARE(sensor.currentAppName(), QStringLiteral("Alpha"));
    QCOMPARE(sensor.lastFrontmostApplication()->window, alpha.window);

    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(beta.window)});
    QTRY_COMPARE(sensor.currentAppBundleId(), QStringLiteral("triggers-beta"));
    QCOMPARE(sensor.currentAppName(), QStringLiteral("Beta"));

    // A window of this very process is Rondix's own.
    QRasterWindow own;
    own.resize(200, 120);
    own.show();
    QVERIFY(QTest::qWaitForWindowExposed(&own));
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(own.winId())});
    QTRY_VERIFY(m_windows->frontmostApplication() &&
                m_windows->frontmostApplication()->bundleId == kOwnAppId);
    // The switch is announced (as Rondix's own) and the sensor passes it over.
    QTRY_VERIFY(!changes.isEmpty() && changes.last().first().value<RunningApp>().bundleId == kOwnAppId);
    QTest::qWait(100);
    QCOMPARE(sensor.currentAppBundleId(), QStringLiteral("triggers-beta"));
    QCOMPARE(sensor.snapshotFrontmostApp()->window, beta.window);
    own.hide();

    // Activation through the backend waits until the window manager obeyed.
    QVERIFY(m_windows->activate(*sensor.snapshotFrontmostApp()));
    QCOMPARE(m_windows->frontmostApplication()->window, beta.window);
    QVERIFY(m_windows->activate(m_windows->frontmostApplication().value()));
    RunningApp a = *m_windows->frontmostApplication();
    a.window = alpha.window;
    QVERIFY(m_windows->activate(a));
    QCOMPARE(m_windows->frontmostApplication()->bundleId, QStringLiteral("triggers.alpha"));
    QTRY_COMPARE(changes.last().first().value<RunningApp>().window, alpha.window);
    QTRY_COMPARE(sensor.currentAppBundleId(), QStringLiteral("triggers.alpha"));
}

void TestX11Triggers::injectedChordReachesWindow()
{
    REQUIRE_WINDOW_MANAGER();
    Client target = startClient(QStringLiteral("inject"), QStringLiteral("TriggersInject"));
    QVERIFY(target.window);
    RunningApp app;
    app.window = target.window;
    QVERIFY(m_windows->activate(app));
    target.process->readAllStandardOutput();

    QVERIFY(m_keys->postKey(40, ModifierMask::Control | ModifierMask::Shift, 15)); // Ctrl+Shift+K
    QTest::qWait(300);
    // Control and Shift go down first, then K with exactly those two held.
    QCOMPARE(target.presses(), QStringList({"ffe3 0", "ffe1 4", "6b 5"}));

    QVERIFY(m_keys->postKey(122, 0, 5)); // F1, no modifiers
    QTest::qWait(200);
    QCOMPARE(target.presses(), QStringList({"ffbe 0"}));
}

void TestX11Triggers::heldModifiersAreLetGo()
{
    REQUIRE_WINDOW_MANAGER();
    Client target = startClient(QStringLiteral("inject"), QStringLiteral("TriggersInject"));
    QVERIFY(target.window);
    RunningApp app;
    app.window = target.window;
    QVERIFY(m_windows->activate(app));

    xdotool({QStringLiteral("keydown"), QStringLiteral("alt")});
    QTest::qWait(100);
    target.process->readAllStandardOutput();
    QVERIFY(m_keys->postKey(9, ModifierMask::Control, 15)); // Ctrl+V while the user holds Alt
    QTest::qWait(300);
    xdotool({QStringLiteral("keyup"), QStringLiteral("alt")});
    // No Alt (Mod1, 0x8) in the state of the V press.
    QCOMPARE(target.presses(), QStringList({"ffe3 0", "76 4"}));
}

void TestX11Triggers::missingKeysymBorrowsKeycode()
{
    REQUIRE_WINDOW_MANAGER();
    // A key of the ring data that this keyboard map has no keycode for.
    int vk = -1;
    quint32 keysym = 0;
    for (int candidate = 0; candidate < 128 && vk < 0; ++candidate) {
        const auto sym = X11KeyTable::keysymForVirtualKey(candidate);
        if (sym && m_conn->keycodesFor(*sym).isEmpty()) {
            vk = candidate;
            keysym = *sym;
        }
    }
    if (vk < 0)
        QSKIP("every key of the table exists in this keymap");

    Client target = startClient(QStringLiteral("inject"), QStringLiteral("TriggersInject"));
    QVERIFY(target.window);
    RunningApp app;
    app.window = target.window;
    QVERIFY(m_windows->activate(app));
    target.process->readAllStandardOutput();
    QVERIFY(m_keys->postKey(quint16(vk), 0, 5));
    QTest::qWait(300);
    QCOMPARE(target.presses(), QStringList({QString::number(keysym, 16) + QStringLiteral(" 0")}));
    // The keycode goes back to having no symbol shortly after.
    QTRY_VERIFY_WITH_TIMEOUT(m_conn->keycodesFor(keysym).isEmpty(), 3000);
}

void TestX11Triggers::ownInjectionIsNotInput()
{
    QSignalSpy keys(m_monitor, &InputMonitor::keyPressed);
    m_monitor->acquireKeys(this);
    QVERIFY(m_keys->postKey(40, ModifierMask::Control, 5));
    QTest::qWait(300);
    QCOMPARE(keys.count(), 0);

    xdotool({QStringLiteral("key"), QStringLiteral("ctrl+k")});
    QTRY_VERIFY(keys.count() >= 2);
    const RawKeyEvent k = keys.last().first().value<RawKeyEvent>();
    QCOMPARE(k.virtualKeyCode, 40);
    QCOMPARE(k.modifiers, ModifierMask::Control);
    m_monitor->releaseKeys(this);
    QVERIFY(!m_monitor->keysSelected());

    // Deselected: nothing arrives any more.
    keys.clear();
    xdotool({QStringLiteral("key"), QStringLiteral("k")});
    QTest::qWait(300);
    QCOMPARE(keys.count(), 0);
}

QTEST_MAIN(TestX11Triggers)
#include "tst_x11triggers.moc"
