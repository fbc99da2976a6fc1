// The Wayland backend's pure rules: sway's names for chords and buttons, the
// IPC framing, what each desktop allows, keys in a keymap, app ids.
#include "l10n/L10n.h"
#include "platform/PlatformTypes.h"
#include "platform/fake/FakePlatform.h"
#include "platform/wayland/SwayHotkeyGrabber.h"
#include "platform/wayland/SwayInputMonitor.h"
#include "platform/wayland/SwayIpc.h"
#include "platform/wayland/WaylandCapabilities.h"
#include "platform/wayland/WaylandKeyInjector.h"
#include "platform/wayland/CompositorWindowSystem.h"

#include <QtTest>
#include <xkbcommon/xkbcommon.h>

using namespace Qt::StringLiterals;
using M = QSet<QString>;

class TestWaylandUnits : public QObject
{
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase()
    {
        // No stored language choice: the texts are looked up per language below.
        QVERIFY(m_config.isValid());
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
    }

    void swayChord_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<QString>("chord");
        QTest::newRow("the default Alt+Space") << 49 << quint32(ModifierMask::Option) << u"Mod1+space"_s;
        QTest::newRow("all four, in sway's order")
            << 40 << quint32(ModifierMask::All) << u"Mod4+Shift+Mod1+Control+k"_s;
        QTest::newRow("a function key alone") << 96 << 0u << u"F5"_s;
        QTest::newRow("Return with Super") << 36 << quint32(ModifierMask::Command) << u"Mod4+Return"_s;
        QTest::newRow("a code without a key") << 10 << quint32(ModifierMask::Option) << QString();
        QTest::newRow("far out of range") << 0xfff0 << 0u << QString();
    }
    void swayChord()
    {
        QFETCH(int, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(QString, chord);
        QCOMPARE(SwayHotkeyGrabber::chordFor(quint16(keyCode), modifiers), chord);
    }

    void swayButton_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("name");
        QTest::newRow("primary never") << 0 << QString();
        QTest::newRow("secondary never") << 1 << QString();
        QTest::newRow("none") << -1 << QString();
        QTest::newRow("middle") << 2 << u"button2"_s;
        QTest::newRow("back") << 3 << u"button8"_s;
        QTest::newRow("forward") << 4 << u"button9"_s;
        QTest::newRow("further") << 5 << u"button10"_s;
    }
    void swayButton()
    {
        QFETCH(int, button);
        QFETCH(QString, name);
        QCOMPARE(SwayInputMonitor::buttonName(button), name);
    }

    void ipcFraming()
    {
        const QByteArray a = SwayIpc::encode(SwayIpc::kRunCommand, "nop");
        QCOMPARE(a.size(), 14 + 3);
        QVERIFY(a.startsWith("i3-ipc"));
        // Two messages in one read, then half of a third.
        const QByteArray event = R"({"change":"run","binding":{"command":"nop rondix-summon"}})";
        QByteArray buffer = a + SwayIpc::encode(SwayIpc::kBindingEvent, event);
        const QByteArray third = SwayIpc::encode(SwayIpc::kSubscribe, "[\"binding\"]");
        buffer += third.left(10);
        auto first = SwayIpc::decode(buffer);
        QVERIFY(first);
        QCOMPARE(first->first, SwayIpc::kRunCommand);
        QCOMPARE(first->second, QByteArray("nop"));
        auto second = SwayIpc::decode(buffer);
        QVERIFY(second);
        QCOMPARE(second->first, SwayIpc::kBindingEvent);
        QCOMPARE(SwayIpc::bindingCommand(second->second), u"nop rondix-summon"_s);
        QVERIFY(!SwayIpc::decode(buffer)); // incomplete: kept for the next read
        QCOMPARE(buffer.size(), 10);
        buffer += third.mid(10);
        auto rest = SwayIpc::decode(buffer);
        QVERIFY(rest && rest->first == SwayIpc::kSubscribe && buffer.isEmpty());
        // Bytes that are not a message are dropped rather than read as a length.
        QByteArray garbage("garbage-garbage-garbage");
        QVERIFY(!SwayIpc::decode(garbage));
        QVERIFY(garbage.isEmpty());
    }

    void bindingCommand_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("command");
        QTest::newRow("run") << QByteArray(R"({"change":"run","binding":{"command":"nop rondix-button"}})")
                             << u"nop rondix-button"_s;
        QTest::newRow("another change") << QByteArray(R"({"change":"other","binding":{"command":"x"}})")
                                        << QString();
        QTest::newRow("not JSON") << QByteArray("{") << QString();
    }
    void bindingCommand()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, command);
        QCOMPARE(SwayIpc::bindingCommand(payload), command);
    }

    void capabilities_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<M>("globals");
        QTest::addColumn<bool>("swayIpc");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("can"); // ring at pointer, hotkey, button, frontmost, keys, clipboard
        QTest::addColumn<int>("missing");
        const M wlroots{u"zwlr_layer_shell_v1"_s, u"zwlr_foreign_toplevel_manager_v1"_s,
                        u"zwp_virtual_keyboard_manager_v1"_s, u"zwlr_data_control_manager_v1"_s};
        const M kwin{u"zwlr_layer_shell_v1"_s, u"org_kde_kwin_fake_input"_s, u"zwlr_data_control_manager_v1"_s,
                     u"org_kde_plasma_window_management"_s};
        const M gnome{u"gtk_shell1"_s, u"xdg_wm_base"_s};
        QTest::newRow("sway has it all") << u"sway"_s << wlroots << true << u"sway"_s << u"111111"_s << 0;
        QTest::newRow("sway found by its socket alone") << QString() << wlroots << true << u"sway"_s
                                                        << u"111111"_s << 0;
        QTest::newRow("another wlroots compositor")
            << u"labwc:wlroots"_s << wlroots << false << u"labwc"_s << u"100111"_s << 2;
        QTest::newRow("KWin with its grants")
            << u"KDE"_s << kwin << false << u"KDE Plasma"_s << u"110111"_s << 1;
        QTest::newRow("KWin without the desktop file's grants")
            << u"KDE"_s << M{u"zwlr_layer_shell_v1"_s, u"zwlr_data_control_manager_v1"_s} << false
            << u"KDE Plasma"_s << u"110001"_s << 3;
        QTest::newRow("GNOME, named in a list") << u"ubuntu:GNOME"_s << gnome << false << u"GNOME"_s
                                                << u"010000"_s << 5;
        QTest::newRow("GNOME by its globals") << QString() << gnome << false << u"GNOME"_s << u"010000"_s << 5;
    }
    void capabilities()
    {
        QFETCH(QString, desktop);
        QFETCH(M, globals);
        QFETCH(bool, swayIpc);
        QFETCH(QString, name);
        QFETCH(QString, can);
        QFETCH(int, missing);
        const SessionCapabilities c = WaylandCapabilities::assess(desktop, globals, swayIpc);
        QCOMPARE(c.desktop, name);
        const QString got = QString::number(c.ringAtPointer) + QString::number(c.hotkey) +
                            QString::number(c.mouseButton) + QString::number(c.frontmostApp) +
                            QString::number(c.keys) + QString::number(c.clipboard);
        QCOMPARE(got, can);
        QCOMPARE(c.missing.size(), missing);
        QCOMPARE(c.isComplete(), missing == 0);
        // Every line has a text in each language (a missing one would show its key).
        for (const QString& code : {u"en"_s, u"zh-Hans"_s, u"ja"_s}) {
            const L10n l10n([code] { return QStringList{code}; });
            for (const QString& key : c.missing + c.advice)
                QVERIFY2(l10n.lookup(key) != key, qPrintable(code + u' ' + key));
        }
        // Whatever is missing comes with something the user can do, or is plain about it.
        const L10n en([] { return QStringList{u"en"_s}; });
        QStringList advice;
        for (const QString& key : c.advice)
            advice << en.lookup(key);
        if (!c.hotkey)
            QVERIFY(advice.join(u' ').contains(u"rondix summon"_s));
        if (!c.ringAtPointer)
            QVERIFY(en.lookup(c.missing.value(0)).contains(u"middle of the screen"_s));
    }

    void keyInKeymap_data()
    {
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<int>("evdev");
        QTest::addColumn<bool>("shift");
        QTest::newRow("k") << quint32(XKB_KEY_k) << 37 << false;
        QTest::newRow("K needs Shift") << quint32(XKB_KEY_K) << 37 << true;
        QTest::newRow("v for paste") << quint32(XKB_KEY_v) << 47 << false;
        QTest::newRow("F5") << quint32(XKB_KEY_F5) << 63 << false;
        QTest::newRow("space") << quint32(XKB_KEY_space) << 57 << false;
        QTest::newRow("a Cyrillic letter the layout lacks") << quint32(XKB_KEY_Cyrillic_a) << -1 << false;
    }
    void keyInKeymap()
    {
        QFETCH(quint32, keysym);
        QFETCH(int, evdev);
        QFETCH(bool, shift);
        xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
        xkb_rule_names names{nullptr, nullptr, "us", nullptr, nullptr};
        xkb_keymap* keymap = xkb_keymap_new_from_names(ctx, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
        QVERIFY(keymap);
        const auto key = WaylandKeyInjector::findKey(keymap, keysym);
        xkb_keymap_unref(keymap);
        xkb_context_unref(ctx);
        QCOMPARE(key.has_value(), evdev >= 0);
        if (key) {
            QCOMPARE(int(key->evdev), evdev);
            QCOMPARE(key->shift, shift);
        }
    }

    void defaultKeymapCompiles()
    {
        const QByteArray text = WaylandKeyInjector::defaultKeymap();
        QVERIFY(text.contains("xkb_keymap"));
    }

    void appIds_data()
    {
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("bundleId");
        QTest::addColumn<QString>("name");
        QTest::newRow("an installed app") << u"org.gnome.TextEditor"_s << u"org.gnome.TextEditor"_s
                                          << u"Text Editor"_s;
        QTest::newRow("matched by StartupWMClass") << u"firefox-esr"_s << u"firefox"_s << u"Firefox"_s;
        QTest::newRow("no entry: the id stands") << u"org.example.Tool"_s << u"org.example.Tool"_s
                                                 << u"org.example.Tool"_s;
        QTest::newRow("Rondix itself") << u"org.rondix.Rondix"_s << u"org.rondix.Rondix"_s << u"Rondix"_s;
    }
    void appIds()
    {
        QFETCH(QString, appId);
        QFETCH(QString, bundleId);
        QFETCH(QString, name);
        FakeDesktopEntries entries;
        entries.entries = {
            DesktopEntry{u"org.gnome.TextEditor"_s, u"Text Editor"_s, u"Text Editor"_s, u"te"_s, u"/a/te.desktop"_s, {}, {}},
            DesktopEntry{u"firefox"_s, u"Firefox"_s, u"Firefox"_s, u"ff"_s, u"/a/firefox.desktop"_s, u"firefox-esr"_s, {}}};
        const RunningApp app = CompositorWindowSystem::describe(7, appId, &entries);
        QCOMPARE(app.bundleId, bundleId);
        QCOMPARE(app.name, name);
        QCOMPARE(app.window, 7u);
    }
};

QTEST_GUILESS_MAIN(TestWaylandUnits)
#include "tst_wayland_units.moc"
