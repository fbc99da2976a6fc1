// The rules behind the general page, its trigger recorders and the permission
// guide, without a window: what a recorded key stores and shows, Escape and
// clearing, the mouse recorder's selection of raw buttons, the theme cards,
// the language change, the guide's explanations and the legal pages.
#include "ShippedStrings.h"
#include "StdoutCapture.h"
#include "common/AppSettings.h"
#include "l10n/L10n.h"
#include "model/KeyComboText.h"
#include "platform/fake/FakePlatform.h"
#include "platform/wayland/WaylandCapabilities.h"
#include "settings/GeneralSettingsModel.h"
#include "settings/GeneralSettingsView.h"
#include "settings/LegalPages.h"
#include "settings/PermissionGuideRules.h"
#include "settings/TriggerRecorderRules.h"
#include "settings/TriggerRecorders.h"
#include "shell/HotkeyManager.h"
#include "shell/MouseTriggerManager.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Outcome = ShortcutCapture::Outcome;

namespace {
// X modifier state bits
constexpr quint32 kShift = 1, kLock = 2, kControl = 4, kAlt = 8, kNumLock = 16, kSuper = 64;
} // namespace

class TestGeneralRules : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        useShippedStrings(m_dir);
    }

    void init() { QFile::remove(AppSettings::filePath()); }

    // An X key press (unshifted keysym and modifier state) while the hotkey
    // records: what is stored, and what the settings show for it.
    void recordedKey_data()
    {
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<quint32>("state");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("mask");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");

        QTest::newRow("super+shift+k") << quint32('k') << (kSuper | kShift) << Outcome::Record << 40u << 768u
                                       << "⇧⌘K" << "Shift+Super+K";
        QTest::newRow("ctrl+alt+space") << quint32(' ') << (kControl | kAlt) << Outcome::Record << 49u << 6144u
                                        << "⌃⌥Space" << "Ctrl+Alt+Space";
        QTest::newRow("super+1 is a numbered key") << quint32('1') << kSuper << Outcome::Record << 18u << 256u
                                                   << "⌘Key(18)" << "Super+1";
        QTest::newRow("alt+tab") << 0xff09u << kAlt << Outcome::Record << 48u << 2048u << "⌥Tab" << "Alt+Tab";
        QTest::newRow("F5 alone") << 0xffc2u << 0u << Outcome::Record << 96u << 0u << "F5" << "F5";
        QTest::newRow("lock bits are no modifiers")
            << quint32('r') << (kControl | kLock | kNumLock) << Outcome::Record << 15u << 4096u << "⌃R" << "Ctrl+R";
        QTest::newRow("all four") << quint32('z') << (kControl | kAlt | kShift | kSuper) << Outcome::Record << 6u
                                  << 6912u << "⌃⌥⇧⌘Z" << "Ctrl+Alt+Shift+Super+Z";
        QTest::newRow("escape alone cancels") << 0xff1bu << 0u << Outcome::Cancel << 0u << 0u << "" << "";
        QTest::newRow("escape with numlock still cancels") << 0xff1bu << kNumLock << Outcome::Cancel << 0u << 0u
                                                           << "" << "";
        QTest::newRow("shift+escape records") << 0xff1bu << kShift << Outcome::Record << 53u << 512u << "⇧Key(53)"
                                              << "Shift+Esc";
        QTest::newRow("a modifier alone keeps recording") << 0xffe9u << kAlt << Outcome::Ignore << 0u << 0u << ""
                                                          << "";
        QTest::newRow("a keycode without a keysym") << 0u << 0u << Outcome::Ignore << 0u << 0u << "" << "";
    }

    void recordedKey()
    {
        QFETCH(quint32, keysym);
        QFETCH(quint32, state);
        QFETCH(Outcome, outcome);
        QFETCH(quint32, keyCode);
        QFETCH(quint32, mask);
        QFETCH(QString, stored);
        QFETCH(QString, shown);

        const TriggerRecorderRules::RecordedHotkey r =
            TriggerRecorderRules::interpretHotkey(keysym, ShortcutCapture::modifiersFromXState(state));
        QCOMPARE(r.outcome, outcome);
        QCOMPARE(r.keyCode, keyCode);
        QCOMPARE(r.carbonModifiers, mask);
        QCOMPARE(r.displayString, stored);
        if (outcome == Outcome::Record) {
            QCOMPARE(KeyComboText::displayHotkey(r.keyCode, r.carbonModifiers), shown);
            // The stored glyph text reads the same once shown.
            QCOMPARE(KeyComboText::fromGlyphs(r.displayString), shown);
        }
    }

    // Recording through the manager: the old chord is let go while the
    // recorder listens, a recorded chord is stored and grabbed, Escape keeps
    // the old one (grabbed again), and clearing removes it for good.
    void hotkeyRecorderDrivesTheManager()
    {
        FakeHotkeyGrabber grabber;
        FakeInputMonitor input;
        HotkeyManager manager(&grabber, &input);
        manager.startListening();
        QVERIFY(grabber.isGrabbed());
        HotkeyRecorder recorder(&manager);
        QSignalSpy changes(&recorder, &HotkeyRecorder::recordingChanged);

        recorder.startRecording();
        QVERIFY(recorder.isRecording());
        QVERIFY(!grabber.isGrabbed());
        QVERIFY(!recorder.handleKey(TriggerRecorderRules::interpretHotkey(0xffe3, {.control = true})));
        QVERIFY(recorder.handleKey(TriggerRecorderRules::interpretHotkey(0xff1b, {})));
        QVERIFY(!recorder.isRecording());
        QCOMPARE(manager.currentHotkey(), SavedHotkey::defaultOptionSpace());
        QVERIFY(grabber.isGrabbed());
        QCOMPARE(grabber.keyCode, quint16(49));

        recorder.startRecording();
        QVERIFY(recorder.handleKey(TriggerRecorderRules::interpretHotkey('r', {.option = true, .control = true})));
        const SavedHotkey expected{15, 6144, QStringLiteral("⌃⌥R")};
        QCOMPARE(manager.currentHotkey(), expected);
        QCOMPARE(SavedHotkey::fromJson(AppSettings::value(SavedHotkey::settingsKey).toByteArray()), expected);
        QVERIFY(grabber.isGrabbed());
        QCOMPARE(grabber.keyCode, quint16(15));
        QCOMPARE(grabber.modifiers, 6144u);
        QCOMPARE(changes.size(), 4);

        // Clearing in the middle of a recording ends it and leaves nothing grabbed.
        recorder.startRecording();
        recorder.clear();
        QVERIFY(!recorder.isRecording());
        QVERIFY(!manager.currentHotkey());
        QVERIFY(!grabber.isGrabbed());
        QVERIFY(!AppSettings::contains(SavedHotkey::settingsKey));
        QVERIFY(AppSettings::boolValue(SavedHotkey::clearedKey, false));
        // A recorder that goes away while recording gives the chord back.
        manager.setCustomHotkey(15, 6144, "⌃⌥R");
        {
            HotkeyRecorder gone(&manager);
            gone.startRecording();
            QVERIFY(!grabber.isGrabbed());
        }
        QVERIFY(grabber.isGrabbed());
    }

    void mouseRecorderSelectsButtonsOnlyWhileRecording_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QList<int>>("presses");
        QTest::addColumn<bool>("escape");
        QTest::addColumn<int>("after");
        QTest::addColumn<int>("sounds");

        QTest::newRow("middle") << -1 << QList<int>{2} << false << 2 << 1;
        QTest::newRow("primary and secondary are passed over") << -1 << QList<int>{0, 1, 4} << false << 4 << 1;
        QTest::newRow("the button in use, again") << 3 << QList<int>{3} << false << 3 << 1;
        QTest::newRow("a far button") << 3 << QList<int>{8} << false << 8 << 1;
        QTest::newRow("escape keeps the old one") << 3 << QList<int>{} << true << 3 << 0;
        QTest::newRow("only the first press counts") << -1 << QList<int>{2, 3} << false << 2 << 1;
    }

    void mouseRecorderSelectsButtonsOnlyWhileRecording()
    {
        QFETCH(int, before);
        QFETCH(QList<int>, presses);
        QFETCH(bool, escape);
        QFETCH(int, after);
        QFETCH(int, sounds);

        AppSettings::setValue(MouseTriggerManager::settingsKey, before);
        FakeInputMonitor input;
        MouseTriggerManager manager(&input);
        int summons = 0;
        manager.onSummon = [&](QPoint) { ++summons; };
        int played = 0;
        MouseButtonRecorder recorder(&manager, &input, [&] { ++played; });

        recorder.startRecording();
        QVERIFY(input.buttonsSelected());
        QVERIFY(!manager.isMonitoring());
        for (int button : presses)
            input.pressButton(button);
        if (escape)
            recorder.stopRecording();
        QTRY_VERIFY(!recorder.isRecording());
        QCoreApplication::processEvents();
        QCOMPARE(manager.targetButtonNumber(), after);
        QCOMPARE(AppSettings::value(MouseTriggerManager::settingsKey).toInt(), after);
        QCOMPARE(played, sounds);
        QCOMPARE(summons, 0); // recording a button never summons the ring
        // Afterwards only the trigger's own monitor selects buttons.
        QVERIFY(manager.isMonitoring());
        input.pressButton(after);
        QTRY_COMPARE(summons, 1);

        recorder.clear();
        QCOMPARE(manager.targetButtonNumber(), -1);
        QVERIFY(!manager.isMonitoring());
        QVERIFY(!input.buttonsSelected());
    }

    void themeCards_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("selected"); // empty: no card
        QTest::newRow("system") << "system" << "system";
        QTest::newRow("light") << "light" << "light";
        QTest::newRow("dark") << "dark" << "dark";
        QTest::newRow("letter case differs") << "Dark" << "";
        QTest::newRow("padded") << " dark" << "";
        QTest::newRow("another word") << "auto" << "";
        QTest::newRow("empty") << "" << "";
    }

    void themeCards()
    {
        QFETCH(QString, stored);
        QFETCH(QString, selected);
        QStringList chosen;
        for (const QString& mode : GeneralSettingsModel::themeModes())
            if (GeneralSettingsModel::isThemeCardSelected(stored, mode))
                chosen << mode;
        QCOMPARE(chosen, selected.isEmpty() ? QStringList() : QStringList{selected});
    }

    // Choosing a language stores it at once and switches the tables; views
    // are told only afterwards, from the event loop, once the tables are in place.
    void languageChangeSequence()
    {
        AppSettings::setValue("app_language", "fr");
        L10n l10n([] { return QStringList{"en-US"}; }, QStringLiteral(RONDIX_SOURCE_DIR "/resources/l10n"));
        GeneralSettingsModel model(&l10n, nullptr, {});
        QCOMPARE(model.languageIndex(), -1); // a choice no entry stands for selects none
        QCOMPARE(GeneralSettingsModel::languages().size(), 4);

        QSignalSpy changed(&l10n, &L10n::languageChanged);
        QString seenInHandler;
        connect(&l10n, &L10n::languageChanged, this,
                [&] { seenInHandler = l10n.lookup("general.section.about"); });
        model.chooseLanguage(3);
        QCOMPARE(AppSettings::value("app_language").toString(), "ja");
        QCOMPARE(l10n.effectiveLanguageCode(), "ja");
        QCOMPARE(model.languageIndex(), 3);
        QCOMPARE(changed.size(), 0);
        QTRY_COMPARE(changed.size(), 1);
        QCOMPARE(seenInHandler, l10n.lookup("general.section.about"));
        QVERIFY(seenInHandler != "About");

        model.chooseLanguage(0);
        QCOMPARE(AppSettings::value("app_language").toString(), "system");
        QCOMPARE(l10n.effectiveLanguageCode(), "en");
        model.chooseLanguage(7); // out of range: nothing
        QCOMPARE(AppSettings::value("app_language").toString(), "system");
    }

    void systemToggles()
    {
        FakeLoginItem login;
        int hovers = 0;
        QList<bool> taskbar;
        GeneralSettingsModel model(&L10n::shared(), &login,
                                   {[&] { ++hovers; }, [&](bool hide) { taskbar << hide; }});
        QVERIFY(model.launchAtLogin()); // the page's default before the first start wrote it
        QCOMPARE(model.themeMode(), "system");

        model.setSoundEnabled(true);
        QCOMPARE(hovers, 1);
        model.setSoundEnabled(false);
        QCOMPARE(hovers, 1);
        QCOMPARE(AppSettings::boolValue("soundEnabled", true), false);

        model.setHideDockIcon(true);
        QCOMPARE(taskbar, QList<bool>{true});
        QVERIFY(AppSettings::boolValue("hideDockIcon", false));

        model.setLaunchAtLogin(false);
        QCOMPARE(login.unregisterCalls, 1);
        login.failRegister = true;
        const QString out = captureStdout([&] { model.setLaunchAtLogin(true); });
        QCOMPARE(out, "[GeneralSettings] Failed to update launchAtLogin: refused\n");
        QVERIFY(AppSettings::boolValue("launchAtLogin", false)); // the user's choice stays
    }

    void guideExplains_data()
    {
        QTest::addColumn<bool>("granted");
        QTest::addColumn<InputAccess>("access");
        QTest::addColumn<QStringList>("missing"); // a word each line must hold
        QTest::addColumn<QString>("remedy");      // a word the remedy holds

        using S = InputAccess::Session;
        QTest::newRow("granted") << true << InputAccess{S::X11, true, true} << QStringList{} << "X11 session";
        QTest::newRow("no XTest") << false << InputAccess{S::X11, false, true} << QStringList{"XTEST"}
                                  << "+extension XTEST";
        QTest::newRow("no XInput") << false << InputAccess{S::X11, true, false} << QStringList{"XInput 2.2"}
                                   << "Check Again";
        QTest::newRow("neither") << false << InputAccess{S::X11, false, false}
                                 << QStringList{"XTEST", "XInput 2.2"} << "Xorg";
        // On Wayland the lines are the backend's account of the compositor, as in the tray.
        const QSet<QString> wlroots{"zwlr_layer_shell_v1", "zwlr_foreign_toplevel_manager_v1",
                                    "zwp_virtual_keyboard_manager_v1", "zwlr_data_control_manager_v1"};
        const auto wayland = [](const SessionCapabilities& desktop) {
            return InputAccess{S::Wayland, false, false, desktop};
        };
        QTest::newRow("sway") << true << wayland(WaylandCapabilities::assess("sway", wlroots, true))
                              << QStringList{} << "sway gives Rondix everything";
        QTest::newRow("another wlroots compositor")
            << true << wayland(WaylandCapabilities::assess("labwc", wlroots, false))
            << QStringList{"hotkey", "mouse button"} << "rondix summon";
        QTest::newRow("KWin started without its desktop entry")
            << false << wayland(WaylandCapabilities::assess("KDE", {"zwlr_layer_shell_v1"}, false))
            << QStringList{"mouse button", "window in front", "virtual keyboard", "clipboard"}
            << "absolute Exec path";
        QTest::newRow("GNOME") << false << wayland(WaylandCapabilities::assess("GNOME", {"gtk_shell1"}, false))
                               << QStringList{"middle of the screen", "mouse button", "window in front",
                                              "virtual keyboard", "clipboard"}
                               << "Custom Shortcuts";
        QTest::newRow("no compositor reached") << false << InputAccess{S::Wayland, false, false}
                                               << QStringList{"Wayland compositor"} << "X11 (Xorg)";
        QTest::newRow("no display") << false << InputAccess{S::None, false, false} << QStringList{"X11 display"}
                                    << "X11 (Xorg)";
    }

    void guideExplains()
    {
        QFETCH(bool, granted);
        QFETCH(InputAccess, access);
        QFETCH(QStringList, missing);
        QFETCH(QString, remedy);
        const PermissionGuideRules::Explanation e = PermissionGuideRules::explain(granted, access);
        QCOMPARE(e.missing.size(), missing.size());
        for (int i = 0; i < missing.size(); ++i)
            QVERIFY2(e.missing[i].contains(missing[i]), qPrintable(e.missing[i]));
        QVERIFY2(e.remedy.contains(remedy), qPrintable(e.remedy));
        QVERIFY(!e.title.isEmpty());
    }

    void storeFolderAndPages()
    {
        QCOMPARE(GeneralSettingsView::storeFolderText("/home/ann/.local/share", "/home/ann"),
                 "~/.local/share/Rondix/");
        QCOMPARE(GeneralSettingsView::storeFolderText("/data/ann/", "/home/ann"), "/data/ann/Rondix/");
        QCOMPARE(GeneralSettingsView::storeFolderText("/home/anna/share", "/home/ann"), "/home/anna/share/Rondix/");

        const QStringList dirs{m_dir.filePath("none"), QStringLiteral(RONDIX_SOURCE_DIR "/resources/site")};
        QCOMPARE(LegalPages::pageUrl(LegalPages::kTermsPath, {}, dirs),
                 QUrl::fromLocalFile(RONDIX_SOURCE_DIR "/resources/site/en/terms/index.html"));
        QCOMPARE(LegalPages::pageUrl(LegalPages::kPrivacyPath, "https://rondix.example/", dirs),
                 QUrl("https://rondix.example/en/privacy/"));
        QCOMPARE(LegalPages::pageUrl(LegalPages::kTermsPath, {}, {m_dir.path()}), QUrl());
        // The build's copy beside bin/ is what an uninstalled run opens.
        QVERIFY(QFileInfo::exists(RONDIX_BINARY_DIR "/share/rondix/site/en/privacy/index.html"));
    }
};

QTEST_MAIN(TestGeneralRules)
#include "tst_generalrules.moc"
