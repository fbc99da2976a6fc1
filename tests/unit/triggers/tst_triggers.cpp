#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "platform/fake/FakePlatform.h"
#include "shell/AccessibilityPermissionManager.h"
#include "shell/ActiveAppSensor.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"
#include "shell/SavedHotkey.h"
#include "StdoutCapture.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QString kIdleLine =
    QStringLiteral("[HotkeyManager] No custom hotkey configured. Idle until user defines one.\n");
// The stored form of the default hotkey, as earlier versions wrote it; it must stay the same.
const QByteArray kDefaultJson = R"({"carbonModifiers":2048,"displayString":"⌥Space","keyCode":49})";

RunningApp app(const QString& id, const QString& name, quint32 window = 1)
{
    return RunningApp{window, 0, id, name, {}, {}, {}}; // window, pid, id, name, icon, file, class
}
} // namespace

class TestTriggers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        L10n::shared().setCurrentLanguage(QStringLiteral("en"));
        m_platform.reset();
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
        m_platform = std::make_unique<FakePlatform>();
    }

    void hotkeyLoadRules_data()
    {
        QTest::addColumn<QVariant>("stored");   // invalid: nothing stored
        QTest::addColumn<QVariant>("cleared");  // invalid: flag absent
        QTest::addColumn<quint32>("expectKey"); // 0: no hotkey
        QTest::addColumn<QVariant>("storedAfter");
        const QVariant custom = QString::fromUtf8(SavedHotkey{40, 256, QStringLiteral("⌘K")}.toJson());
        const QVariant corrupt = QStringLiteral("{\"keyCode\":49");
        const QVariant def = QString::fromUtf8(kDefaultJson);
        QTest::newRow("fresh install") << QVariant() << QVariant() << 49u << def;
        QTest::newRow("custom stored") << custom << QVariant() << 40u << custom;
        QTest::newRow("custom stored, stale flag") << custom << QVariant(true) << 40u << custom;
        QTest::newRow("cleared") << QVariant() << QVariant(true) << 0u << QVariant();
        QTest::newRow("corrupt, no flag") << corrupt << QVariant() << 49u << def;
        QTest::newRow("corrupt, cleared") << corrupt << QVariant(true) << 0u << corrupt;
        const auto withKey = [](const char* key) {
            return QVariant(
                QStringLiteral(R"({"carbonModifiers":0,"displayString":"x","keyCode":%1})").arg(key));
        };
        QTest::newRow("largest key code")
            << withKey("4294967295") << QVariant() << 4294967295u << withKey("4294967295");
        QTest::newRow("key code too large") << withKey("4294967296") << QVariant() << 49u << def;
        QTest::newRow("key code as text") << withKey("\"40\"") << QVariant() << 49u << def;
    }

    void hotkeyLoadRules()
    {
        QFETCH(QVariant, stored);
        QFETCH(QVariant, cleared);
        QFETCH(quint32, expectKey);
        QFETCH(QVariant, storedAfter);
        if (stored.isValid())
            AppSettings::setValue(SavedHotkey::settingsKey, stored);
        if (cleared.isValid())
            AppSettings::setValue(SavedHotkey::clearedKey, cleared);

        HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
        QCOMPARE(mgr.currentHotkey() ? mgr.currentHotkey()->keyCode : 0u, expectKey);
        QCOMPARE(AppSettings::value(SavedHotkey::settingsKey).toString(), storedAfter.toString());
        QCOMPARE(m_platform->fakeHotkeys->grabCalls, 0); // construction registers nothing
        QCOMPARE(captureStdout([&] { mgr.startListening(); }) == kIdleLine, expectKey == 0);
        QCOMPARE(m_platform->fakeHotkeys->isGrabbed(), expectKey != 0 && expectKey <= 0xffff);
    }

    void clearSurvivesRestartUntilSetAgain()
    {
        HotkeyManager first(m_platform->fakeHotkeys, m_platform->fakeInput);
        QCOMPARE(captureStdout([&] { first.clearHotkey(); }),
                 QStringLiteral("[HotkeyManager] Hotkey cleared.\n"));
        HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput); // a restart
        QVERIFY(!mgr.currentHotkey());
        QCOMPARE(captureStdout([&] { mgr.startListening(); }), kIdleLine);

        const QString out = captureStdout([&] { mgr.setCustomHotkey(40, 256 | 512, QStringLiteral("⇧⌘K")); });
        QCOMPARE(out, QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: ⇧⌘K\n"));
        QVERIFY(!AppSettings::contains(SavedHotkey::clearedKey));
        // Losing the stored data now brings back the default, not "cleared".
        AppSettings::setValue(SavedHotkey::settingsKey, QStringLiteral("garbage"));
        HotkeyManager restarted(m_platform->fakeHotkeys, m_platform->fakeInput);
        QCOMPARE(restarted.currentHotkey(), SavedHotkey::fromJson(kDefaultJson));
    }

    void repeatedSetsGiveOneTriggerPerPress()
    {
        HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
        const auto setTwice = [&] {
            captureStdout([&] {
                mgr.startListening();
                mgr.setCustomHotkey(40, 256, QStringLiteral("⌘K"));
                mgr.setCustomHotkey(40, 256, QStringLiteral("⌘K"));
            });
        };
        setTwice();
        int triggers = 0;
        mgr.onTrigger = [&] { ++triggers; };
        m_platform->fakeHotkeys->press();
        QCOMPARE(triggers, 0); // queued, never run inside the platform's event dispatch
        QTRY_COMPARE(triggers, 1);
        QCOMPARE(triggersAfter(mgr, [&] { m_platform->fakeHotkeys->press(); }), 1);
        // Same after falling back twice: one monitor, one trigger per key.
        m_platform->fakeHotkeys->refuseStatus = 10;
        setTwice();
        QCOMPARE(triggersAfter(mgr, [&] { m_platform->fakeInput->pressKey(40, ModifierMask::Command); }), 1);
    }

    void rawKeysSelectedOnlyForFallback()
    {
        auto* input = m_platform->fakeInput;
        m_platform->fakeHotkeys->refuseStatus = 10;
        HotkeyManager mgr(m_platform->fakeHotkeys, input);
        QCOMPARE(captureStdout([&] { mgr.startListening(); }),
                 QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 10.\n"));
        QVERIFY(mgr.isFallbackActive() && input->keysSelected());
        mgr.stopListening();
        QVERIFY(!input->keysSelected());

        // A grab that works again gives the keys back; a press no longer reaches the fallback.
        m_platform->fakeHotkeys->refuseStatus = 0;
        captureStdout([&] { mgr.setCustomHotkey(49, 2048, QStringLiteral("⌥Space")); });
        QVERIFY(!input->keysSelected());
        QCOMPARE(triggersAfter(mgr, [&] { input->pressKey(49, 2048); }), 0);

        m_platform->fakeHotkeys->refuseStatus = 10;
        captureStdout([&] { mgr.setCustomHotkey(49, 2048, QStringLiteral("⌥Space")); });
        QVERIFY(input->keysSelected());
        captureStdout([&] { mgr.clearHotkey(); });
        QVERIFY(!input->keysSelected() && !mgr.isFallbackActive());
    }

    void fallbackModifierRule_data()
    {
        QTest::addColumn<quint32>("hotkeyMods");
        QTest::addColumn<int>("pressedKey");
        QTest::addColumn<quint32>("heldMods");
        QTest::addColumn<bool>("fires");
        QTest::newRow("exact option") << 2048u << 49 << 2048u << true;
        QTest::newRow("bare key") << 2048u << 49 << 0u << false;
        QTest::newRow("shift instead") << 2048u << 49 << 512u << false;
        QTest::newRow("extra control") << 2048u << 49 << (2048u | 4096u) << false;
        QTest::newRow("other key") << 2048u << 48 << 2048u << false;
        QTest::newRow("no modifiers") << 0u << 49 << 0u << true;
        QTest::newRow("stray bits ignored") << 2048u << 49 << (2048u | 0x10000u) << true;
    }

    void fallbackModifierRule()
    {
        QFETCH(quint32, hotkeyMods);
        QFETCH(int, pressedKey);
        QFETCH(quint32, heldMods);
        QFETCH(bool, fires);
        m_platform->fakeHotkeys->refuseStatus = 10;
        HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
        captureStdout([&] { mgr.setCustomHotkey(49, hotkeyMods, QStringLiteral("x")); });
        QCOMPARE(triggersAfter(mgr, [&] { m_platform->fakeInput->pressKey(pressedKey, heldMods); }),
                 int(fires));
    }

    void outOfRangeKeyCodeGrabsNothing()
    {
        HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
        // 65536 + 49 must not end up as Space.
        const QString out =
            captureStdout([&] { mgr.setCustomHotkey(65536 + 49, 2048, QStringLiteral("?")); });
        QCOMPARE(out, QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 2.\n"));
        QCOMPARE(m_platform->fakeHotkeys->grabCalls, 0);
        // No key can ever match: nothing the user types is read for it.
        QVERIFY(!m_platform->fakeInput->keysSelected());
        QCOMPARE(triggersAfter(mgr, [&] { m_platform->fakeInput->pressKey(49, 2048); }), 0);
    }

    void fallbackKeysFollowTheKeymap_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<bool>("missingAtStart"); // the keymap lacks the key when the hotkey is set
        QTest::addColumn<bool>("freeOnReturn");   // the chord can be grabbed once the key is back
        QTest::addColumn<QString>("logAtSet");
        QTest::addColumn<bool>("watchingAtSet");
        QTest::addColumn<QString>("logAtReturn");
        QTest::addColumn<bool>("watchingAtReturn");
        const QString taken = QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 10.\n");
        const QString grabbed = QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: x\n");
        QTest::newRow("taken chord, key goes and comes back")
            << 40u << false << false << taken << true << taken << true;
        QTest::newRow("key missing at start, chord taken")
            << 40u << true << false << taken << false << taken << true;
        QTest::newRow("key missing at start, chord free on return")
            << 40u << true << true << taken << false << grabbed << false;
        // A code no keyboard has: no keymap ever brings it.
        QTest::newRow("code without a key") << 200u << false << false << taken << false << QString() << false;
    }

    void fallbackKeysFollowTheKeymap()
    {
        QFETCH(quint32, keyCode);
        QFETCH(bool, missingAtStart);
        QFETCH(bool, freeOnReturn);
        QFETCH(QString, logAtSet);
        QFETCH(bool, watchingAtSet);
        QFETCH(QString, logAtReturn);
        QFETCH(bool, watchingAtReturn);
        auto* input = m_platform->fakeInput;
        const int key = int(keyCode);
        m_platform->fakeHotkeys->refuseStatus = 10;
        input->missingKeys = missingAtStart ? QSet<int>{key} : QSet<int>{};
        HotkeyManager mgr(m_platform->fakeHotkeys, input);
        QCOMPARE(captureStdout([&] { mgr.setCustomHotkey(keyCode, 2048, QStringLiteral("x")); }), logAtSet);
        QVERIFY(mgr.isFallbackActive());
        QCOMPARE(input->keysSelected(), watchingAtSet);

        // Gone from the keymap: nothing to watch for.
        QCOMPARE(captureStdout([&] { input->changeKeymap({key}); }), QString());
        QVERIFY(!input->keysSelected());
        // Another key changing its place changes nothing.
        QCOMPARE(captureStdout([&] { input->changeKeymap({key, 12}); }), QString());
        QVERIFY(!input->keysSelected());

        if (freeOnReturn)
            m_platform->fakeHotkeys->refuseStatus = 0;
        QCOMPARE(captureStdout([&] { input->changeKeymap({}); }), logAtReturn);
        QCOMPARE(input->keysSelected(), watchingAtReturn);
        QCOMPARE(mgr.isGrabbed(), freeOnReturn);
        const bool fires = watchingAtReturn || freeOnReturn;
        QCOMPARE(triggersAfter(mgr,
                               [&] {
                                   input->pressKey(key, 2048);
                                   m_platform->fakeHotkeys->press();
                               }),
                 int(fires));
        captureStdout([&] { mgr.clearHotkey(); });
        QVERIFY(!input->keysSelected());
    }

    void grabLostToAnotherClientFallsBack_data()
    {
        QTest::addColumn<bool>("keyOnKeymap");
        QTest::newRow("key on the keymap") << true;
        QTest::newRow("key gone from the keymap") << false;
    }

    void grabLostToAnotherClientFallsBack()
    {
        QFETCH(bool, keyOnKeymap);
        auto* input = m_platform->fakeInput;
        HotkeyManager mgr(m_platform->fakeHotkeys, input);
        captureStdout([&] { mgr.setCustomHotkey(40, 256, QStringLiteral("⌘K")); });
        QVERIFY(mgr.isGrabbed() && !input->keysSelected());
        if (!keyOnKeymap)
            input->missingKeys = {40};
        // The same line as when the grab is refused at start.
        QCOMPARE(captureStdout([&] { m_platform->fakeHotkeys->loseGrab(10); }),
                 QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 10.\n"));
        QVERIFY(mgr.isFallbackActive() && !mgr.isGrabbed());
        QCOMPARE(input->keysSelected(), keyOnKeymap);
        QCOMPARE(triggersAfter(mgr, [&] { input->pressKey(40, 256); }), int(keyOnKeymap));
        if (!keyOnKeymap) {
            m_platform->fakeHotkeys->refuseStatus = 10;
            captureStdout([&] { input->changeKeymap({}); });
            QVERIFY(input->keysSelected());
            QCOMPARE(triggersAfter(mgr, [&] { input->pressKey(40, 256); }), 1);
        }
    }

    void mouseButtons_data()
    {
        QTest::addColumn<int>("configured");
        QTest::addColumn<int>("pressed");
        QTest::addColumn<bool>("summons");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("overOwnWindow");
        QTest::newRow("none") << -1 << 3 << false << "Not configured" << false;
        QTest::newRow("middle") << 2 << 2 << true << "Middle Button (Button 3)" << false;
        QTest::newRow("back") << 3 << 3 << true << "Side Button 1 / Back (Button 4)" << false;
        QTest::newRow("other side") << 3 << 4 << false << "Side Button 1 / Back (Button 4)" << false;
        QTest::newRow("seven counts from one") << 7 << 7 << true << "Mouse Button 8" << false;
        QTest::newRow("stored primary never summons") << 0 << 0 << false << "Mouse Button 1" << false;
        QTest::newRow("stored secondary never summons") << 1 << 1 << false << "Mouse Button 2" << false;
        // A middle-click paste into a settings field.
        QTest::newRow("middle over Rondix's own window")
            << 2 << 2 << false << "Middle Button (Button 3)" << true;
    }

    void mouseButtons()
    {
        QFETCH(int, configured);
        QFETCH(int, pressed);
        QFETCH(bool, summons);
        QFETCH(QString, label);
        QFETCH(bool, overOwnWindow);
        QCOMPARE(MouseTriggerManager::labelFor(configured), label);
        m_platform->fakeInput->overOwnWindow = overOwnWindow;
        MouseTriggerManager mgr(m_platform->fakeInput);
        mgr.setTargetButtonNumber(configured);
        QList<QPoint> at;
        mgr.onSummon = [&](QPoint p) { at << p; };
        m_platform->fakeInput->pointer = QPoint(10, 20);
        m_platform->fakeInput->pressButton(pressed);
        // The position is read when the press is handled, not when it happened.
        m_platform->fakeInput->pointer = QPoint(30, 40);
        QCoreApplication::processEvents();
        QCOMPARE(at, summons ? QList<QPoint>{QPoint(30, 40)} : QList<QPoint>{});
    }

    void monitorPresentExactlyWhileConfigured()
    {
        auto* input = m_platform->fakeInput;
        AppSettings::setValue(MouseTriggerManager::settingsKey, 4);
        MouseTriggerManager mgr(input);
        QVERIFY(input->buttonsSelected()); // a stored button installs the monitor at start

        int summons = 0;
        mgr.onSummon = [&](QPoint) { ++summons; };
        mgr.setTargetButtonNumber(3);
        mgr.setTargetButtonNumber(3);
        QCOMPARE(AppSettings::value(MouseTriggerManager::settingsKey).toInt(), 3);
        input->pressButton(3);
        QCoreApplication::processEvents();
        QCOMPARE(summons, 1); // one monitor, not two

        mgr.setTargetButtonNumber(-1);
        QVERIFY(!input->buttonsSelected());
    }

    void trustPollingStartsAndStops()
    {
        auto* trust = m_platform->fakeTrust;
        trust->trusted = false;
        AccessibilityPermissionManager mgr(trust);
        QVERIFY(mgr.isPolling());
        const int checks = trust->checks;
        QTRY_VERIFY_WITH_TIMEOUT(trust->checks > checks, 1500); // asks about once a second
        trust->trusted = true;
        QTRY_VERIFY_WITH_TIMEOUT(mgr.isAccessibilityGranted() && !mgr.isPolling(), 1500);
        const int after = trust->checks;
        QTest::qWait(1200);
        QCOMPARE(trust->checks, after); // no idle wake-ups once trusted

        // Trust lost: the next check starts polling again, with a single timer.
        trust->trusted = false;
        QVERIFY(!mgr.checkPermission());
        mgr.checkPermission();
        QVERIFY(mgr.isPolling());
        QCOMPARE(mgr.findChildren<QTimer*>().size(), 1);
    }

    void relaunchPassesArgumentsVerbatim()
    {
        // Arguments are passed to the program, never pasted into the shell script.
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("a b $HOME"));
        const QStringList args = AccessibilityPermissionManager::relaunchCommand(
            QStringLiteral("/usr/bin/touch"), {marker}, 999999999);
        QProcess sh; // the process it waits for is already gone: the program starts
        sh.start(QStringLiteral("/bin/sh"), args);
        QVERIFY(sh.waitForFinished(5000));
        QVERIFY(QFile::exists(marker));
    }

    void sensorSkipsOwnWindows()
    {
        auto* windows = m_platform->fakeWindows;
        ActiveAppSensor sensor(windows);
        windows->switchTo(app(QStringLiteral("firefox"), QStringLiteral("Firefox"), 2));
        QCoreApplication::processEvents();
        QCOMPARE(sensor.currentAppName(), QStringLiteral("Firefox"));
        windows->switchTo(app(kOwnAppId, QStringLiteral("Rondix"), 3));
        QCoreApplication::processEvents();
        QCOMPARE(sensor.currentAppBundleId(), QStringLiteral("firefox"));

        // Applications without a desktop id or a name are still recorded.
        windows->switchTo(app(QString(), QString(), 4));
        QCoreApplication::processEvents();
        QCOMPARE(sensor.currentAppName(), QStringLiteral("未知应用"));
    }

    void snapshotRules_data()
    {
        // frontmost at start, frontmost at the snapshot, expected target; "-": none
        QTest::addColumn<QString>("row");
        QTest::newRow("other app frontmost") << "firefox gimp gimp";
        QTest::newRow("rondix frontmost") << "firefox rondix firefox";
        QTest::newRow("nothing frontmost") << "firefox - firefox";
        QTest::newRow("nothing at all") << "- - -";
        QTest::newRow("rondix, nothing before") << "- rondix -";
        QTest::newRow("rondix recorded at start") << "rondix - rondix";
    }

    void snapshotRules()
    {
        QFETCH(QString, row);
        QStringList ids = row.split(' ').replaceInStrings(QStringLiteral("rondix"), kOwnAppId);
        const auto appOrNone = [](const QString& id) {
            return id == "-" ? std::nullopt : std::optional<RunningApp>(app(id, id, 9));
        };
        m_platform->fakeWindows->frontmost = appOrNone(ids[0]);
        ActiveAppSensor sensor(m_platform->fakeWindows);
        m_platform->fakeWindows->frontmost = appOrNone(ids[1]);
        QSignalSpy spy(&sensor, &ActiveAppSensor::currentAppNameChanged);
        const auto target = sensor.snapshotFrontmostApp();
        QCOMPARE(target ? target->bundleId : QStringLiteral("-"), ids[2]);
        // Only a new, foreign frontmost application updates the published fields.
        QCOMPARE(spy.count(), ids[1] != "-" && ids[1] != kOwnAppId ? 1 : 0);
    }

    void placeholderNamesFollowLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("appName"); // "-": nothing recorded yet
        QTest::addColumn<QString>("shown");
        QTest::newRow("en, nothing yet") << "en"
                                         << "-"
                                         << "System";
        QTest::newRow("en, nameless") << "en"
                                      << ""
                                      << "Unknown App";
        QTest::newRow("ja, nothing yet") << "ja"
                                         << "-"
                                         << "システム";
        QTest::newRow("ja, nameless") << "ja"
                                      << ""
                                      << "不明なアプリ";
        QTest::newRow("zh-Hans, nothing yet") << "zh-Hans"
                                              << "-"
                                              << "系统";
        QTest::newRow("zh-Hans, nameless") << "zh-Hans"
                                           << ""
                                           << "未知应用";
        // A real application keeps its own name, even one that reads like a placeholder.
        QTest::newRow("en, named like the placeholder") << "en"
                                                        << "系统"
                                                        << "系统";
        QTest::newRow("ja, named") << "ja"
                                   << "Firefox"
                                   << "Firefox";
    }

    void placeholderNamesFollowLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, appName);
        QFETCH(QString, shown);
        L10n::shared().setCurrentLanguage(language);
        ActiveAppSensor sensor(m_platform->fakeWindows);
        if (appName != QLatin1String("-")) {
            m_platform->fakeWindows->switchTo(app(QStringLiteral("some.app"), appName, 7));
            QCoreApplication::processEvents();
        }
        QCOMPARE(sensor.currentAppDisplayName(), shown);
        // What observers and stored data see stays the literal.
        const QString literal = appName == QLatin1String("-") ? QStringLiteral("系统")
                                : appName.isEmpty()           ? QStringLiteral("未知应用")
                                                              : appName;
        QCOMPARE(sensor.currentAppName(), literal);
    }

private:
    // Counts the triggers that `press` leads to once events have run.
    int triggersAfter(HotkeyManager& mgr, const std::function<void()>& press)
    {
        int triggers = 0;
        mgr.onTrigger = [&] { ++triggers; };
        press();
        QCoreApplication::processEvents();
        return triggers;
    }
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<FakePlatform> m_platform;
};

QTEST_MAIN(TestTriggers)
#include "tst_triggers.moc"
