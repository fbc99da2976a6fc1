#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "platform/fake/FakePlatform.h"
#include "shell/AccessibilityPermissionManager.h"
#include "shell/ActiveAppSensor.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"
#include "shell/SavedHotkey.h"
#include "StdoutCapture.h"

#include <memory>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
const QString kIdleLine =
    QStringLiteral("[HotkeyManager] No custom hotkey configured. Idle until user defines one.");
const QByteArray kDefaultJson = SavedHotkey::defaultOptionSpace().toJson();

RunningApp app(const QString& id, const QString& name, quint32 window = 1)
{
    RunningApp a;
    a.window = window;
    a.pid = 100 + window;
    a.bundleId = id;
    a.name = name;
    return a;
}
} // namespace

class TestTriggers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void savedHotkeyDecoding_data();
    void savedHotkeyDecoding();
    void savedHotkeyRoundTrip();

    void hotkeyLoadRules_data();
    void hotkeyLoadRules();
    void clearedHotkeyStaysClearedAfterRestart();
    void setAfterClearRemovesFlag();
    void repeatedSetsGiveOneTriggerPerPress();
    void triggerIsQueued();
    void refusedGrabFallsBackAndLogsStatus();
    void fallbackModifierRule_data();
    void fallbackModifierRule();
    void successfulGrabSelectsNoKeys();
    void stopAndClearReleaseKeys();
    void outOfRangeKeyCodeGrabsNothing();

    void buttonLabels_data();
    void buttonLabels();
    void monitorFollowsConfiguration();
    void buttonPressSummonsOnlyConfigured_data();
    void buttonPressSummonsOnlyConfigured();
    void storedButtonInstallsMonitor();

    void trustPollingStartsAndStops();
    void trustedStartCreatesNoTimer();
    void repeatedFailedChecksKeepOneTimer();
    void everyCheckNotifies();
    void relaunchWaitsForThisProcess();

    void sensorStartsWithSystemName();
    void sensorSkipsOwnWindowsAfterStart();
    void sensorRecordsOwnAppAtStart();
    void snapshotRules_data();
    void snapshotRules();
    void unnamedAppIsUnknown();

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<FakePlatform> m_platform;
};

void TestTriggers::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QByteArray("/nonexistent-triggers-test"));
    L10n::shared().setCurrentLanguage(QStringLiteral("en"));
}

void TestTriggers::init()
{
    m_config = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_config->path().toLocal8Bit());
    m_platform = std::make_unique<FakePlatform>();
}

void TestTriggers::cleanup()
{
    m_platform.reset();
    m_config.reset();
}

// ---- SavedHotkey -------------------------------------------------------

void TestTriggers::savedHotkeyDecoding_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<quint32>("keyCode");
    QTest::addColumn<quint32>("mods");

    QTest::newRow("default") << kDefaultJson << true << 49u << 2048u;
    QTest::newRow("other order") << QByteArray(R"({"displayString":"⌘K","carbonModifiers":256,"keyCode":40})")
                                 << true << 40u << 256u;
    QTest::newRow("largest unsigned")
        << QByteArray(R"({"keyCode":4294967295,"carbonModifiers":0,"displayString":""})") << true
        << 4294967295u << 0u;
    QTest::newRow("missing displayString")
        << QByteArray(R"({"keyCode":49,"carbonModifiers":2048})") << false << 0u << 0u;
    QTest::newRow("missing keyCode") << QByteArray(R"({"carbonModifiers":2048,"displayString":"x"})") << false
                                     << 0u << 0u;
    QTest::newRow("number as text") << QByteArray(
                                           R"({"keyCode":"49","carbonModifiers":2048,"displayString":"x"})")
                                    << false << 0u << 0u;
    QTest::newRow("negative") << QByteArray(R"({"keyCode":-1,"carbonModifiers":2048,"displayString":"x"})")
                              << false << 0u << 0u;
    QTest::newRow("fraction") << QByteArray(R"({"keyCode":49.5,"carbonModifiers":2048,"displayString":"x"})")
                              << false << 0u << 0u;
    QTest::newRow("too large") << QByteArray(
                                      R"({"keyCode":4294967296,"carbonModifiers":0,"displayString":"x"})")
                               << false << 0u << 0u;
    QTest::newRow("text not string") << QByteArray(
                                            R"({"keyCode":49,"carbonModifiers":2048,"displayString":7})")
                                     << false << 0u << 0u;
    QTest::newRow("array") << QByteArray("[49,2048,\"x\"]") << false << 0u << 0u;
    QTest::newRow("truncated") << kDefaultJson.left(20) << false << 0u << 0u;
    QTest::newRow("empty") << QByteArray() << false << 0u << 0u;
}

void TestTriggers::savedHotkeyDecoding()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, valid);
    const auto hk = SavedHotkey::fromJson(json);
    QCOMPARE(hk.has_value(), valid);
    if (valid) {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, mods);
        QCOMPARE(hk->keyCode, keyCode);
        QCOMPARE(hk->carbonModifiers, mods);
    }
}

void TestTriggers::savedHotkeyRoundTrip()
{
    const SavedHotkey hk{122, 256 | 4096, QStringLiteral("⌃⌘F1")};
    QCOMPARE(SavedHotkey::fromJson(hk.toJson()), std::optional<SavedHotkey>(hk));
    QCOMPARE(kDefaultJson, QByteArray(R"({"carbonModifiers":2048,"displayString":"⌥Space","keyCode":49})"));
}

// ---- HotkeyManager -----------------------------------------------------

void TestTriggers::hotkeyLoadRules_data()
{
    QTest::addColumn<QVariant>("stored");  // invalid: nothing stored
    QTest::addColumn<QVariant>("cleared"); // invalid: flag absent
    QTest::addColumn<bool>("expectHotkey");
    QTest::addColumn<quint32>("expectKey");
    QTest::addColumn<QVariant>("storedAfter");

    const QString custom = QString::fromUtf8(SavedHotkey{40, 256, QStringLiteral("⌘K")}.toJson());
    const QString corrupt = QStringLiteral("{\"keyCode\":49");
    QTest::newRow("fresh install") << QVariant() << QVariant() << true << 49u
                                   << QVariant(QString::fromUtf8(kDefaultJson));
    QTest::newRow("custom stored") << QVariant(custom) << QVariant() << true << 40u << QVariant(custom);
    QTest::newRow("custom stored, stale flag")
        << QVariant(custom) << QVariant(true) << true << 40u << QVariant(custom);
    QTest::newRow("cleared") << QVariant() << QVariant(true) << false << 0u << QVariant();
    QTest::newRow("flag false") << QVariant() << QVariant(false) << true << 49u
                                << QVariant(QString::fromUtf8(kDefaultJson));
    QTest::newRow("corrupt, no flag")
        << QVariant(corrupt) << QVariant() << true << 49u << QVariant(QString::fromUtf8(kDefaultJson));
    QTest::newRow("corrupt, cleared")
        << QVariant(corrupt) << QVariant(true) << false << 0u << QVariant(corrupt);
}

void TestTriggers::hotkeyLoadRules()
{
    QFETCH(QVariant, stored);
    QFETCH(QVariant, cleared);
    QFETCH(bool, expectHotkey);
    QFETCH(quint32, expectKey);
    QFETCH(QVariant, storedAfter);
    if (stored.isValid())
        AppSettings::setValue(SavedHotkey::settingsKey, stored);
    if (cleared.isValid())
        AppSettings::setValue(SavedHotkey::clearedKey, cleared);

    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    QCOMPARE(mgr.currentHotkey().has_value(), expectHotkey);
    if (expectHotkey)
        QCOMPARE(mgr.currentHotkey()->keyCode, expectKey);
    QCOMPARE(AppSettings::value(SavedHotkey::settingsKey).toString(), storedAfter.toString());
    // Construction registers nothing.
    QCOMPARE(m_platform->fakeHotkeys->grabCalls, 0);

    const QString out = captureStdout([&] { mgr.startListening(); });
    QCOMPARE(out.contains(kIdleLine), !expectHotkey);
    QCOMPARE(m_platform->fakeHotkeys->isGrabbed(), expectHotkey);
}

void TestTriggers::clearedHotkeyStaysClearedAfterRestart()
{
    {
        HotkeyManager first(m_platform->fakeHotkeys, m_platform->fakeInput);
        first.startListening();
        QVERIFY(m_platform->fakeHotkeys->isGrabbed());
        const QString out = captureStdout([&] { first.clearHotkey(); });
        QCOMPARE(out, QStringLiteral("[HotkeyManager] Hotkey cleared.\n"));
        QVERIFY(!m_platform->fakeHotkeys->isGrabbed());
        QVERIFY(!first.currentHotkey());
    }
    HotkeyManager second(m_platform->fakeHotkeys, m_platform->fakeInput);
    QVERIFY(!second.currentHotkey());
    QVERIFY(!AppSettings::contains(SavedHotkey::settingsKey));
    const QString out = captureStdout([&] { second.startListening(); });
    QCOMPARE(out, kIdleLine + QLatin1Char('\n'));
    QVERIFY(!m_platform->fakeHotkeys->isGrabbed());
    QVERIFY(!m_platform->fakeInput->keysSelected());
}

void TestTriggers::setAfterClearRemovesFlag()
{
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    captureStdout([&] { mgr.clearHotkey(); });
    QVERIFY(AppSettings::boolValue(SavedHotkey::clearedKey, false));
    QSignalSpy changed(&mgr, &HotkeyManager::currentHotkeyChanged);
    const QString out = captureStdout([&] { mgr.setCustomHotkey(40, 256 | 512, QStringLiteral("⇧⌘K")); });
    QCOMPARE(out, QStringLiteral("[HotkeyManager] Successfully registered custom hotkey: ⇧⌘K\n"));
    QCOMPARE(changed.count(), 1);
    QVERIFY(!AppSettings::contains(SavedHotkey::clearedKey));
    QCOMPARE(m_platform->fakeHotkeys->keyCode, quint16(40));
    QCOMPARE(m_platform->fakeHotkeys->modifiers, 256u | 512u);

    // Losing the stored data now brings back the default, not "cleared".
    AppSettings::setValue(SavedHotkey::settingsKey, QStringLiteral("garbage"));
    HotkeyManager restarted(m_platform->fakeHotkeys, m_platform->fakeInput);
    QCOMPARE(restarted.currentHotkey(), std::optional<SavedHotkey>(SavedHotkey::defaultOptionSpace()));
}

void TestTriggers::repeatedSetsGiveOneTriggerPerPress()
{
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    captureStdout([&] {
        mgr.startListening();
        mgr.setCustomHotkey(40, 256, QStringLiteral("⌘K"));
        mgr.setCustomHotkey(40, 256, QStringLiteral("⌘K"));
        mgr.startListening();
    });
    QCOMPARE(m_platform->fakeHotkeys->grabCalls, 4);
    m_platform->fakeHotkeys->press();
    QCoreApplication::processEvents();
    QCOMPARE(triggers, 1);
    m_platform->fakeHotkeys->press();
    QCoreApplication::processEvents();
    QCOMPARE(triggers, 2);

    // Same after falling back twice: one monitor, one trigger per key.
    m_platform->fakeHotkeys->refuseStatus = 10;
    captureStdout([&] {
        mgr.setCustomHotkey(40, 256, QStringLiteral("⌘K"));
        mgr.setCustomHotkey(40, 256, QStringLiteral("⌘K"));
    });
    m_platform->fakeInput->pressKey(40, ModifierMask::Command);
    QCoreApplication::processEvents();
    QCOMPARE(triggers, 3);
}

void TestTriggers::triggerIsQueued()
{
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    captureStdout([&] { mgr.startListening(); });
    m_platform->fakeHotkeys->press();
    QCOMPARE(triggers, 0); // never inside the platform's event dispatch
    QTRY_COMPARE(triggers, 1);
}

void TestTriggers::refusedGrabFallsBackAndLogsStatus()
{
    m_platform->fakeHotkeys->refuseStatus = 10;
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    const QString out = captureStdout([&] { mgr.startListening(); });
    QCOMPARE(out, QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 10.\n"));
    QVERIFY(mgr.isFallbackActive());
    QVERIFY(m_platform->fakeInput->keysSelected());
}

void TestTriggers::fallbackModifierRule_data()
{
    QTest::addColumn<quint32>("hotkeyMods");
    QTest::addColumn<int>("pressedKey");
    QTest::addColumn<quint32>("heldMods");
    QTest::addColumn<bool>("fires");

    QTest::newRow("exact option") << 2048u << 49 << 2048u << true;
    QTest::newRow("bare space") << 2048u << 49 << 0u << false;
    QTest::newRow("shift instead") << 2048u << 49 << 512u << false;
    QTest::newRow("extra control") << 2048u << 49 << (2048u | 4096u) << false;
    QTest::newRow("other key") << 2048u << 48 << 2048u << false;
    QTest::newRow("unknown key") << 2048u << -1 << 2048u << false;
    QTest::newRow("two modifiers") << (256u | 512u) << 49 << (256u | 512u) << true;
    QTest::newRow("one of two") << (256u | 512u) << 49 << 256u << false;
    QTest::newRow("no modifiers") << 0u << 49 << 0u << true;
    QTest::newRow("stray bits ignored") << 2048u << 49 << (2048u | 0x10000u) << true;
}

void TestTriggers::fallbackModifierRule()
{
    QFETCH(quint32, hotkeyMods);
    QFETCH(int, pressedKey);
    QFETCH(quint32, heldMods);
    QFETCH(bool, fires);
    m_platform->fakeHotkeys->refuseStatus = 10;
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    captureStdout([&] { mgr.setCustomHotkey(49, hotkeyMods, QStringLiteral("x")); });
    m_platform->fakeInput->pressKey(pressedKey, heldMods);
    QCoreApplication::processEvents();
    QCOMPARE(triggers, fires ? 1 : 0);
}

void TestTriggers::successfulGrabSelectsNoKeys()
{
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    captureStdout([&] { mgr.startListening(); });
    QVERIFY(m_platform->fakeHotkeys->isGrabbed());
    QVERIFY(!m_platform->fakeInput->keysSelected());
    QCOMPARE(m_platform->fakeInput->keySelectionChanges, 0);
    // A grab that fails and then succeeds gives the keys back.
    m_platform->fakeHotkeys->refuseStatus = 10;
    captureStdout([&] { mgr.setCustomHotkey(49, 2048, QStringLiteral("⌥Space")); });
    QVERIFY(m_platform->fakeInput->keysSelected());
    m_platform->fakeHotkeys->refuseStatus = 0;
    captureStdout([&] { mgr.setCustomHotkey(49, 2048, QStringLiteral("⌥Space")); });
    QVERIFY(!m_platform->fakeInput->keysSelected());
    m_platform->fakeInput->pressKey(49, 2048); // not selected: never delivered
    QCoreApplication::processEvents();
    QCOMPARE(triggers, 0);
}

void TestTriggers::stopAndClearReleaseKeys()
{
    m_platform->fakeHotkeys->refuseStatus = 10;
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    captureStdout([&] { mgr.startListening(); });
    QVERIFY(m_platform->fakeInput->keysSelected());
    mgr.stopListening();
    QVERIFY(!m_platform->fakeInput->keysSelected());
    captureStdout([&] {
        mgr.startListening();
        mgr.clearHotkey();
    });
    QVERIFY(!m_platform->fakeInput->keysSelected());
    QVERIFY(!mgr.isFallbackActive());
}

void TestTriggers::outOfRangeKeyCodeGrabsNothing()
{
    HotkeyManager mgr(m_platform->fakeHotkeys, m_platform->fakeInput);
    int triggers = 0;
    mgr.onTrigger = [&] { ++triggers; };
    // 65536 + 49 must not end up as Space.
    const QString out = captureStdout([&] { mgr.setCustomHotkey(65536 + 49, 2048, QStringLiteral("?")); });
    QCOMPARE(out, QStringLiteral("[HotkeyManager] Carbon hotkey registration returned 2.\n"));
    QCOMPARE(m_platform->fakeHotkeys->grabCalls, 0);
    m_platform->fakeInput->pressKey(49, 2048);
    QCoreApplication::processEvents();
    QCOMPARE(triggers, 0);
}

// ---- MouseTriggerManager -----------------------------------------------

void TestTriggers::buttonLabels_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("label");
    QTest::newRow("none") << -1 << "Not configured";
    QTest::newRow("any negative") << -7 << "Not configured";
    QTest::newRow("middle") << 2 << "Middle Button (Button 3)";
    QTest::newRow("back") << 3 << "Side Button 1 / Back (Button 4)";
    QTest::newRow("forward") << 4 << "Side Button 2 / Forward (Button 5)";
    QTest::newRow("seven counts from one") << 7 << "Mouse Button 8";
    QTest::newRow("zero") << 0 << "Mouse Button 1";
    QTest::newRow("high") << 20 << "Mouse Button 21";
}

void TestTriggers::buttonLabels()
{
    QFETCH(int, button);
    QFETCH(QString, label);
    QCOMPARE(MouseTriggerManager::labelFor(button), label);
}

void TestTriggers::monitorFollowsConfiguration()
{
    MouseTriggerManager mgr(m_platform->fakeInput);
    QCOMPARE(mgr.targetButtonNumber(), -1);
    QVERIFY(!m_platform->fakeInput->buttonsSelected());
    QCOMPARE(mgr.displayButtonName(), QStringLiteral("Not configured"));

    int summons = 0;
    mgr.onSummon = [&](QPoint) { ++summons; };
    mgr.setTargetButtonNumber(3);
    mgr.setTargetButtonNumber(3);
    QVERIFY(m_platform->fakeInput->buttonsSelected());
    QCOMPARE(AppSettings::value(MouseTriggerManager::settingsKey).toInt(), 3);
    m_platform->fakeInput->pressButton(3);
    QCoreApplication::processEvents();
    QCOMPARE(summons, 1); // one monitor, not two

    mgr.setTargetButtonNumber(-1);
    QVERIFY(!m_platform->fakeInput->buttonsSelected());
    m_platform->fakeInput->pressButton(3);
    QCoreApplication::processEvents();
    QCOMPARE(summons, 1);
}

void TestTriggers::buttonPressSummonsOnlyConfigured_data()
{
    QTest::addColumn<int>("configured");
    QTest::addColumn<int>("pressed");
    QTest::addColumn<bool>("summons");
    QTest::newRow("side 1") << 3 << 3 << true;
    QTest::newRow("other side") << 3 << 4 << false;
    QTest::newRow("middle") << 2 << 2 << true;
    QTest::newRow("primary") << 3 << 0 << false;
    QTest::newRow("stored primary never summons") << 0 << 0 << false;
    QTest::newRow("stored secondary never summons") << 1 << 1 << false;
    QTest::newRow("extra button") << 7 << 7 << true;
}

void TestTriggers::buttonPressSummonsOnlyConfigured()
{
    QFETCH(int, configured);
    QFETCH(int, pressed);
    QFETCH(bool, summons);
    MouseTriggerManager mgr(m_platform->fakeInput);
    mgr.setTargetButtonNumber(configured);
    QList<QPoint> at;
    mgr.onSummon = [&](QPoint p) { at << p; };
    m_platform->fakeInput->pointer = QPoint(10, 20);
    m_platform->fakeInput->pressButton(pressed);
    // The position is read when the press is handled, not when it happened.
    m_platform->fakeInput->pointer = QPoint(30, 40);
    QCOMPARE(at.size(), 0);
    QCoreApplication::processEvents();
    QCOMPARE(at.size(), summons ? 1 : 0);
    if (summons)
        QCOMPARE(at.first(), QPoint(30, 40));
}

void TestTriggers::storedButtonInstallsMonitor()
{
    AppSettings::setValue(MouseTriggerManager::settingsKey, 4);
    MouseTriggerManager mgr(m_platform->fakeInput);
    QCOMPARE(mgr.targetButtonNumber(), 4);
    QVERIFY(mgr.isConfigured());
    QVERIFY(m_platform->fakeInput->buttonsSelected());
    QVERIFY(!m_platform->fakeInput->keysSelected());
}

// ---- AccessibilityPermissionManager ------------------------------------

void TestTriggers::trustPollingStartsAndStops()
{
    m_platform->fakeTrust->trusted = false;
    AccessibilityPermissionManager mgr(m_platform->fakeTrust);
    QVERIFY(!mgr.isAccessibilityGranted());
    QVERIFY(mgr.isPolling());
    const int checks = m_platform->fakeTrust->checks;
    // The poll keeps asking about once a second.
    QTRY_VERIFY_WITH_TIMEOUT(m_platform->fakeTrust->checks > checks, 1500);
    m_platform->fakeTrust->trusted = true;
    QTRY_VERIFY_WITH_TIMEOUT(mgr.isAccessibilityGranted(), 1500);
    QVERIFY(!mgr.isPolling());
    const int after = m_platform->fakeTrust->checks;
    QTest::qWait(1200);
    QCOMPARE(m_platform->fakeTrust->checks, after); // no idle wake-ups once trusted

    // Trust lost: the next check starts polling again.
    m_platform->fakeTrust->trusted = false;
    QVERIFY(!mgr.checkPermission());
    QVERIFY(mgr.isPolling());
}

void TestTriggers::trustedStartCreatesNoTimer()
{
    AccessibilityPermissionManager mgr(m_platform->fakeTrust);
    QVERIFY(mgr.isAccessibilityGranted());
    QVERIFY(!mgr.isPolling());
    QCOMPARE(mgr.findChildren<QTimer*>().size(), 0);
}

void TestTriggers::repeatedFailedChecksKeepOneTimer()
{
    m_platform->fakeTrust->trusted = false;
    AccessibilityPermissionManager mgr(m_platform->fakeTrust);
    mgr.checkPermission();
    mgr.checkPermission();
    mgr.startPollingIfNeeded();
    QCOMPARE(mgr.findChildren<QTimer*>().size(), 1);
}

void TestTriggers::everyCheckNotifies()
{
    AccessibilityPermissionManager mgr(m_platform->fakeTrust);
    QSignalSpy spy(&mgr, &AccessibilityPermissionManager::isAccessibilityGrantedChanged);
    mgr.checkPermission();
    mgr.checkPermission();
    QCOMPARE(spy.count(), 2);

    // The request re-checks once more a second later.
    QSignalSpy guide(&mgr, &AccessibilityPermissionManager::permissionGuideRequested);
    captureStdout([&] { mgr.requestPermission(); });
    QCOMPARE(guide.count(), 1);
    const int now = spy.count();
    QTRY_COMPARE_WITH_TIMEOUT(spy.count(), now + 1, 1600);
}

void TestTriggers::relaunchWaitsForThisProcess()
{
    const QStringList cmd = AccessibilityPermissionManager::relaunchCommand(
        QStringLiteral("/opt/rondix"), {QStringLiteral("--a b"), QStringLiteral("$HOME")}, 4242);
    QCOMPARE(cmd.value(0), QStringLiteral("-c"));
    QVERIFY(cmd.value(1).contains(QStringLiteral("kill -0 4242")));
    // Program and arguments are passed as arguments, never pasted into the script.
    QCOMPARE(cmd.mid(2), QStringList({"/opt/rondix", "--a b", "$HOME"}));

    // Run it for real with a process that is already gone: the program starts.
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("ran"));
    QProcess sh;
    const QStringList args = AccessibilityPermissionManager::relaunchCommand(QStringLiteral("/usr/bin/touch"),
                                                                             {marker}, 999999999);
    sh.start(QStringLiteral("/bin/sh"), args);
    QVERIFY(sh.waitForFinished(5000));
    QVERIFY(QFile::exists(marker));
}

// ---- ActiveAppSensor ---------------------------------------------------

void TestTriggers::sensorStartsWithSystemName()
{
    ActiveAppSensor sensor(m_platform->fakeWindows);
    QCOMPARE(sensor.currentAppName(), QStringLiteral("系统"));
    QVERIFY(!sensor.lastFrontmostApplication());
    QVERIFY(!sensor.snapshotFrontmostApp());
}

void TestTriggers::sensorSkipsOwnWindowsAfterStart()
{
    m_platform->fakeWindows->frontmost =
        app(QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"));
    ActiveAppSensor sensor(m_platform->fakeWindows);
    QCOMPARE(sensor.currentAppBundleId(), QStringLiteral("org.gnome.TextEditor"));

    m_platform->fakeWindows->switchTo(app(QStringLiteral("firefox"), QStringLiteral("Firefox"), 2));
    QCoreApplication::processEvents();
    QCOMPARE(sensor.currentAppName(), QStringLiteral("Firefox"));

    m_platform->fakeWindows->switchTo(app(kOwnAppId, QStringLiteral("Rondix"), 3));
    QCoreApplication::processEvents();
    QCOMPARE(sensor.currentAppBundleId(), QStringLiteral("firefox"));
    // A summon from Rondix's own window acts on the application before it.
    const auto target = sensor.snapshotFrontmostApp();
    QVERIFY(target);
    QCOMPARE(target->bundleId, QStringLiteral("firefox"));

    // An application without a desktop id is still recorded.
    m_platform->fakeWindows->switchTo(app(QString(), QStringLiteral("xterm"), 4));
    QCoreApplication::processEvents();
    QCOMPARE(sensor.currentAppName(), QStringLiteral("xterm"));
    QVERIFY(sensor.currentAppBundleId().isEmpty());
}

void TestTriggers::sensorRecordsOwnAppAtStart()
{
    m_platform->fakeWindows->frontmost = app(kOwnAppId, QStringLiteral("Rondix"));
    ActiveAppSensor sensor(m_platform->fakeWindows);
    QCOMPARE(sensor.currentAppBundleId(), kOwnAppId);
    QCOMPARE(sensor.snapshotFrontmostApp()->bundleId, kOwnAppId);
}

void TestTriggers::snapshotRules_data()
{
    QTest::addColumn<QString>("recorded");  // empty: nothing frontmost at start
    QTest::addColumn<QString>("frontmost"); // "-": no frontmost application
    QTest::addColumn<QString>("expected");  // "-": no target
    QTest::newRow("other app frontmost") << "firefox"
                                         << "gimp"
                                         << "gimp";
    QTest::newRow("rondix frontmost") << "firefox" << kOwnAppId << "firefox";
    QTest::newRow("nothing frontmost") << "firefox"
                                       << "-"
                                       << "firefox";
    QTest::newRow("nothing at all") << ""
                                    << "-"
                                    << "-";
    QTest::newRow("rondix, nothing before") << "" << kOwnAppId << "-";
}

void TestTriggers::snapshotRules()
{
    QFETCH(QString, recorded);
    QFETCH(QString, frontmost);
    QFETCH(QString, expected);
    if (!recorded.isEmpty())
        m_platform->fakeWindows->frontmost = app(recorded, recorded);
    ActiveAppSensor sensor(m_platform->fakeWindows);
    m_platform->fakeWindows->frontmost = frontmost == QLatin1String("-")
                                             ? std::nullopt
                                             : std::optional<RunningApp>(app(frontmost, frontmost, 9));
    QSignalSpy spy(&sensor, &ActiveAppSensor::currentAppNameChanged);
    const auto target = sensor.snapshotFrontmostApp();
    QCOMPARE(target ? target->bundleId : QStringLiteral("-"), expected);
    // Only a new, foreign frontmost application updates the published fields.
    const bool foreignFront = frontmost != QLatin1String("-") && frontmost != kOwnAppId;
    QCOMPARE(spy.count(), foreignFront ? 1 : 0);
}

void TestTriggers::unnamedAppIsUnknown()
{
    m_platform->fakeWindows->frontmost = app(QStringLiteral("x"), QString());
    ActiveAppSensor sensor(m_platform->fakeWindows);
    QCOMPARE(sensor.currentAppName(), QStringLiteral("未知应用"));
}

QTEST_MAIN(TestTriggers)
#include "tst_triggers.moc"
