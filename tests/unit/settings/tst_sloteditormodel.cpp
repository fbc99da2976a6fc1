// The slot editor's rules without a window: what switching the action type,
// every commit and a recorded key store in the slot, and which titles the user
// typed survive them.
#include "actions/ShortcutsManager.h"
#include "l10n/L10n.h"
#include "settings/EditorPresets.h"
#include "settings/ShortcutCapture.h"
#include "settings/SlotEditorModel.h"
#include "ShippedStrings.h"

#include <functional>
#include <QTemporaryDir>
#include <QTest>

using Op = std::function<void(SlotEditorModel&)>;
Q_DECLARE_METATYPE(Op)

namespace {

const QString kHome = QStringLiteral("/home/ada");

ActionSlot slotWith(const QString& title, const IconInfo& icon, const ActionType& action, bool enabled)
{
    ActionSlot slot = ActionSlot::empty(3);
    slot.title = title;
    slot.icon = icon;
    slot.action = action;
    slot.isEnabled = enabled;
    return slot;
}

IconInfo symbol(const QString& name)
{
    return IconInfo::sfSymbol(name);
}

KeyModifiers control()
{
    return {.control = true};
}

// A model whose panel fields were filled by an earlier slot of another type,
// now showing `start`; every commit is recorded.
struct Harness
{
    QList<ActionSlot> saved;
    SlotEditorModel model;

    Harness(const ActionSlot& start, const ActionType& fields = ActionType::none(),
            const QStringList& scripts = {})
        : model(slotWith({}, symbol({}), fields, false), [this](const ActionSlot& s) { saved.append(s); },
                [scripts] { return scripts; }, kHome)
    {
        ActionSlot first = start;
        first.id = model.slot().id;
        first.index = model.slot().index;
        model.setSlot(first);
    }
};

} // namespace

class TestSlotEditorModel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        useShippedStrings(m_dir);
        QCOMPARE(L10n::string("slot.type.shortcut"), "Shortcut");
    }

    void tabChange_data()
    {
        QTest::addColumn<ActionType>("fields"); // loaded into the panel before
        QTest::addColumn<QStringList>("scripts");
        QTest::addColumn<ActionSlot>("start");
        QTest::addColumn<int>("tab");
        QTest::addColumn<ActionSlot>("expected");

        // Titles the editor fills in are the current language's texts.
        const QString quickText = L10n::string("slot.type.paste_text");
        const QString lockScreen = SystemControl::localizedName(SystemControlAction::lockScreen);
        const ActionSlot blank = slotWith({}, symbol({}), ActionType::none(), false);
        const ActionSlot unassigned = slotWith("未分配", symbol("未分配"), ActionType::none(), false);
        const ActionSlot mine = slotWith("Mine", symbol("star"), ActionType::none(), false);
        const ActionType none = ActionType::none();
        const QStringList noScripts;

        QTest::newRow("0 empty panel") << none << noScripts << blank << 0
                                       << slotWith("Shortcut", symbol("command"),
                                                   ActionType::shortcut({}, 0, {}), true);
        QTest::newRow("0 empty panel, user title")
            << none << noScripts << mine << 0
            << slotWith("Mine", symbol("star"), ActionType::shortcut({}, 0, {}), true);
        QTest::newRow("0 recorded key, placeholder title")
            << ActionType::shortcut("Tab", 48, control()) << noScripts << unassigned << 0
            << slotWith("⌃Tab", symbol("未分配"), ActionType::shortcut("Tab", 48, control()), true);
        QTest::newRow("0 recorded key keeps the user title")
            << ActionType::shortcut("Tab", 48, control()) << noScripts << mine << 0
            << slotWith("Mine", symbol("star"), ActionType::shortcut("Tab", 48, control()), true);
        QTest::newRow("0 a one-letter key text decides the code")
            << ActionType::shortcut("c", 99, {.command = true}) << noScripts << blank << 0
            << slotWith("⌘c", symbol({}), ActionType::shortcut("c", 8, {.command = true}), true);
        QTest::newRow("0 code without key text")
            << ActionType::shortcut({}, 122, {}) << noScripts << blank << 0
            << slotWith({}, symbol({}), ActionType::shortcut({}, 122, {}), true);

        QTest::newRow("1 typed name is trimmed, replaces the title")
            << ActionType::runShortcut("  Backup\n") << noScripts << mine << 1
            << slotWith("Backup", symbol(ShortcutsManager::suggestedSymbol("Backup")),
                        ActionType::runShortcut("Backup"), true);
        QTest::newRow("1 name of blanks stores nothing")
            << ActionType::runShortcut("   ") << QStringList{"alpha"} << mine << 1 << mine;
        QTest::newRow("1 first installed script")
            << none << QStringList{"alpha", "beta"} << mine << 1
            << slotWith("alpha", symbol(ShortcutsManager::suggestedSymbol("alpha")),
                        ActionType::runShortcut("alpha"), true);
        QTest::newRow("1 no scripts, no name")
            << none << noScripts << unassigned << 1
            << slotWith("Run Script", symbol("square.stack.3d.up.fill"), ActionType::runShortcut({}), true);

        QTest::newRow("2 text kept untrimmed")
            << ActionType::pasteText(" hi\n") << noScripts << blank << 2
            << slotWith(quickText, symbol("text.bubble"), ActionType::pasteText(" hi\n"), true);
        QTest::newRow("2 empty text, user title")
            << none << noScripts << mine << 2
            << slotWith("Mine", symbol("star"), ActionType::pasteText({}), true);

        QTest::newRow("3 chosen app, placeholder title and icon stay")
            << ActionType::launchApp("firefox", "Firefox", "/a/firefox.desktop") << noScripts << blank << 3
            << slotWith({}, symbol({}), ActionType::launchApp("firefox", "Firefox", "/a/firefox.desktop"),
                        true);
        QTest::newRow("3 no app")
            << none << noScripts << unassigned << 3
            << slotWith("Launch App", symbol("arrow.up.forward.app"), ActionType::launchApp({}, {}, {}), true);

        QTest::newRow("4 path trimmed, titled by its folder")
            << ActionType::openPath(" ~/Music \n") << noScripts << blank << 4
            << slotWith("Music", symbol("folder"), ActionType::openPath("~/Music"), true);
        QTest::newRow("4 no path is still enabled")
            << none << noScripts << blank << 4
            << slotWith("Open Folder", symbol("folder"), ActionType::openPath({}), true);

        QTest::newRow("5 address as typed")
            << ActionType::openURL(" example.org ") << noScripts << blank << 5
            << slotWith("Open URL", symbol("globe"), ActionType::openURL(" example.org "), true);
        QTest::newRow("5 no address")
            << none << noScripts << blank << 5
            << slotWith("Open URL", symbol("safari"), ActionType::openURL({}), true);

        QTest::newRow("6 first control by default, user title replaced")
            << none << noScripts << mine << 6
            << slotWith("Overview", symbol("square.2.layers.3d.top.filled"),
                        ActionType::systemControl(SystemControlAction::missionControl), true);
        QTest::newRow("6 the control chosen before")
            << ActionType::systemControl(SystemControlAction::lockScreen) << noScripts << mine << 6
            << slotWith(lockScreen, symbol("lock.fill"),
                        ActionType::systemControl(SystemControlAction::lockScreen), true);

        QTest::newRow("7 clears everything")
            << none << noScripts
            << slotWith("Mine", symbol("star"), ActionType::openURL("x"), true) << 7
            << slotWith({}, symbol({}), ActionType::none(), false);
    }

    void tabChange()
    {
        QFETCH(ActionType, fields);
        QFETCH(QStringList, scripts);
        QFETCH(ActionSlot, start);
        QFETCH(int, tab);
        QFETCH(ActionSlot, expected);

        Harness h(start, fields, scripts);
        const ActionSlot before = h.model.slot();
        h.model.selectTab(tab);
        expected.id = before.id;
        expected.index = before.index;
        QCOMPARE(h.model.slot().title, expected.title);
        QCOMPARE(h.model.slot().icon, expected.icon);
        QCOMPARE(h.model.slot().action, expected.action);
        QCOMPARE(h.model.slot().isEnabled, expected.isEnabled);
        QCOMPARE(h.model.actionTypeTab(), tab);
        // Each switch stores once; one that changes nothing adds nothing to store or undo.
        QCOMPARE(h.saved.size(), expected == before ? 0 : 1);
        if (!h.saved.isEmpty())
            QCOMPARE(h.saved.last(), h.model.slot());
    }

    void commitRules_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("title"); // before
        QTest::addColumn<QString>("expectedTitle");
        QTest::addColumn<IconInfo>("expectedIcon"); // the slot starts with no icon
        QTest::addColumn<ActionType>("expectedAction");
        QTest::addColumn<bool>("expectedEnabled");

        const QString quickText = L10n::string("slot.type.paste_text");
        QTest::newRow("1 shortcut, placeholder title")
            << Op([&](SlotEditorModel& m) {
                   m.recordShortcut(40, {.shift = true});
                   m.setTitle({});
                   m.commitShortcut();
               })
            << "" << "⇧K" << symbol("keyboard") << ActionType::shortcut("K", 40, {.shift = true}) << true;
        QTest::newRow("2 script name replaces a user title")
            << Op([](SlotEditorModel& m) { m.commitShortcutName(" nightly backup "); })
            << "Mine" << "nightly backup"
            << symbol(ShortcutsManager::suggestedSymbol("nightly backup"))
            << ActionType::runShortcut("nightly backup") << true;
        QTest::newRow("2 script name of blanks stores nothing")
            << Op([](SlotEditorModel& m) { m.commitShortcutName(" \n "); }) << "Mine" << "Mine" << symbol({})
            << ActionType::none() << false;
        QTest::newRow("3 paste text")
            << Op([](SlotEditorModel& m) { m.editTextContent("  two\nlines "); }) << "" << quickText
            << symbol("text.bubble") << ActionType::pasteText("  two\nlines ") << true;
        QTest::newRow("3 empty paste text is stored enabled")
            << Op([](SlotEditorModel& m) { m.editTextContent({}); }) << "未分配" << quickText
            << symbol("text.bubble") << ActionType::pasteText({}) << true;
        QTest::newRow("4 address exactly as typed")
            << Op([](SlotEditorModel& m) { m.editURL(" example.org/a b "); }) << "Mine" << "Mine"
            << symbol("globe") << ActionType::openURL(" example.org/a b ") << true;
        QTest::newRow("5 path of blanks: empty and disabled")
            << Op([](SlotEditorModel& m) { m.editPath("  \n"); }) << "" << "Open Folder" << symbol("folder")
            << ActionType::openPath({}) << false;
        QTest::newRow("5 generic title follows the path")
            << Op([](SlotEditorModel& m) { m.editPath("/srv/share/"); }) << "Open Folder" << "share"
            << symbol("folder") << ActionType::openPath("/srv/share/") << true;
        QTest::newRow("5 home itself is titled by the home folder")
            << Op([](SlotEditorModel& m) { m.editPath("~"); }) << "" << "ada" << symbol("folder")
            << ActionType::openPath("~") << true;
        QTest::newRow("5 root") << Op([](SlotEditorModel& m) { m.editPath("/"); }) << "" << "/"
                                << symbol("folder") << ActionType::openPath("/") << true;
        QTest::newRow("5 user title stays")
            << Op([](SlotEditorModel& m) { m.editPath("~/Music"); }) << "Tunes" << "Tunes" << symbol("folder")
            << ActionType::openPath("~/Music") << true;
        QTest::newRow("6 template title over a placeholder")
            << Op([](SlotEditorModel& m) { m.applyPromptTemplate("Text", "Polish"); }) << "" << "Polish"
            << symbol("text.bubble") << ActionType::pasteText("Text") << true;
        QTest::newRow("6 template title over the generic title")
            << Op([](SlotEditorModel& m) { m.applyPromptTemplate("Text", "Polish"); }) << quickText
            << "Polish" << symbol("text.bubble") << ActionType::pasteText("Text") << true;
        QTest::newRow("6 template keeps a user title")
            << Op([](SlotEditorModel& m) { m.applyPromptTemplate("Text", "Polish"); }) << "Mine" << "Mine"
            << symbol("text.bubble") << ActionType::pasteText("Text") << true;
        QTest::newRow("7 quick path replaces a user title")
            << Op([](SlotEditorModel& m) { m.applyQuickPath("~/Downloads", "Downloads"); }) << "Mine"
            << "Downloads" << symbol("folder") << ActionType::openPath("~/Downloads") << true;
        QTest::newRow("8 chosen application replaces a user title")
            << Op([](SlotEditorModel& m) {
                   m.chooseApplication("org.gnome.Calculator", "Calculator", "/usr/share/a/c.desktop");
               })
            << "Mine" << "Calculator"
            << IconInfo::app("org.gnome.Calculator", "Calculator", "/usr/share/a/c.desktop")
            << ActionType::launchApp("org.gnome.Calculator", "Calculator", "/usr/share/a/c.desktop") << true;
        QTest::newRow("9 chosen folder replaces a user title")
            << Op([](SlotEditorModel& m) { m.chooseFolder("/home/ada/Projects/rondix"); }) << "Mine"
            << "rondix" << symbol("folder") << ActionType::openPath("~/Projects/rondix") << true;
        QTest::newRow("9 home folder chosen")
            << Op([](SlotEditorModel& m) { m.chooseFolder("/home/ada"); }) << "" << "ada" << symbol("folder")
            << ActionType::openPath("~") << true;
        QTest::newRow("9 root chosen") << Op([](SlotEditorModel& m) { m.chooseFolder("/"); }) << "" << "/"
                                       << symbol("folder") << ActionType::openPath("/") << true;
        QTest::newRow("10 system control replaces a user title")
            << Op([](SlotEditorModel& m) { m.chooseSystemControl(SystemControlAction::mute); }) << "Mine"
            << SystemControl::localizedName(SystemControlAction::mute) << symbol("speaker.slash.fill")
            << ActionType::systemControl(SystemControlAction::mute) << true;
        QTest::newRow("11 clear")
            << Op([](SlotEditorModel& m) {
                   m.recordShortcut(48, control());
                   m.clearShortcut();
               })
            << "Mine" << "" << symbol({}) << ActionType::none() << false;
        QTest::newRow("recording keeps a user title")
            << Op([](SlotEditorModel& m) { m.recordShortcut(48, control()); }) << "Switch tabs"
            << "Switch tabs" << symbol("keyboard") << ActionType::shortcut("Tab", 48, control()) << true;
        QTest::newRow("recording replaces a recorded title")
            << Op([](SlotEditorModel& m) {
                   m.recordShortcut(48, control());
                   m.recordShortcut(118, {.option = true});
               })
            << "" << "⌥F4" << symbol("keyboard") << ActionType::shortcut("F4", 118, {.option = true}) << true;
        QTest::newRow("recording replaces a title with the command glyph")
            << Op([](SlotEditorModel& m) { m.recordShortcut(12, control()); }) << "Quit ⌘Q" << "⌃Q"
            << symbol("keyboard") << ActionType::shortcut("Q", 12, control()) << true;
        QTest::newRow("recording keeps a title with only other glyphs")
            << Op([](SlotEditorModel& m) { m.recordShortcut(12, control()); }) << "⌥Q" << "⌥Q"
            << symbol("keyboard") << ActionType::shortcut("Q", 12, control()) << true;
        QTest::newRow("recording replaces the generic title of the type")
            << Op([](SlotEditorModel& m) {
                   m.selectTab(SlotEditorModel::ShortcutTab);
                   m.recordShortcut(48, control());
               })
            << "" << "⌃Tab" << symbol("command") << ActionType::shortcut("Tab", 48, control()) << true;
        QTest::newRow("preset replaces a user title")
            << Op([](SlotEditorModel& m) {
                   m.applyShortcutPreset(*EditorPresets::shortcutPreset("slot.preset.prev_tab"));
               })
            << "Mine" << "Previous Tab" << symbol("arrow.left.to.line")
            << ActionType::shortcut("Tab", 48, {.control = true, .shift = true}) << true;
    }

    void commitRules()
    {
        QFETCH(Op, op);
        QFETCH(QString, title);
        QFETCH(QString, expectedTitle);
        QFETCH(IconInfo, expectedIcon);
        QFETCH(ActionType, expectedAction);
        QFETCH(bool, expectedEnabled);

        Harness h(slotWith(title, symbol({}), ActionType::none(), false));
        const ActionSlot start = h.model.slot();
        op(h.model);
        QCOMPARE(h.model.slot().title, expectedTitle);
        QCOMPARE(h.model.slot().icon, expectedIcon);
        QCOMPARE(h.model.slot().action, expectedAction);
        QCOMPARE(h.model.slot().isEnabled, expectedEnabled);
        // Every change reached the owner at once, and the last one is what is shown.
        QCOMPARE(h.saved.isEmpty(), h.model.slot() == start);
        if (!h.saved.isEmpty())
            QCOMPARE(h.saved.last(), h.model.slot());
        QVERIFY(!h.model.isRecordingShortcut());
    }

    void placeholders_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<IconInfo>("icon");
        QTest::addColumn<bool>("titleFilled");
        QTest::addColumn<bool>("iconFilled");

        QTest::newRow("empty") << "" << symbol({}) << true << true;
        QTest::newRow("the literal in an English interface") << "未分配" << symbol("未分配") << true << true;
        QTest::newRow("English word is a real title") << "Unassigned" << symbol("Unassigned") << false << false;
        QTest::newRow("blank is a real title") << " " << symbol(" ") << false << false;
        QTest::newRow("app without name") << "x" << IconInfo::app("id", {}, "/p") << false << true;
        QTest::newRow("app named with the literal") << "x" << IconInfo::app("id", "未分配", "/p") << false << true;
        QTest::newRow("image without name") << "x" << IconInfo::customImage({}) << false << true;
        QTest::newRow("named image") << "x" << IconInfo::customImage("photo") << false << false;
    }

    // The URL commit fills exactly the placeholders.
    void placeholders()
    {
        QFETCH(QString, title);
        QFETCH(IconInfo, icon);
        QFETCH(bool, titleFilled);
        QFETCH(bool, iconFilled);

        Harness h(slotWith(title, icon, ActionType::none(), false));
        h.model.editURL("https://example.org");
        QCOMPARE(h.model.slot().title, titleFilled ? "Open URL" : title);
        QCOMPARE(h.model.slot().icon, iconFilled ? symbol("globe") : icon);
    }

    void pathRules_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("title");

        QTest::newRow("home itself") << "/home/ada" << "~" << "ada";
        QTest::newRow("inside home") << "/home/ada/Music" << "~/Music" << "Music";
        QTest::newRow("deep inside home") << "/home/ada/a/b c" << "~/a/b c" << "b c";
        QTest::newRow("a file in home") << "/home/ada/notes.txt" << "~/notes.txt" << "notes.txt";
        QTest::newRow("a sibling sharing the prefix") << "/home/adam/x" << "/home/adam/x" << "x";
        QTest::newRow("elsewhere") << "/usr/share/applications" << "/usr/share/applications" << "applications";
        QTest::newRow("root") << "/" << "/" << "/";
    }

    void pathRules()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, stored);
        QFETCH(QString, title);
        QCOMPARE(SlotEditorModel::storedPath(chosen, kHome), stored);
        QCOMPARE(SlotEditorModel::expandTilde(stored, kHome), chosen);

        Harness h(slotWith("Mine", symbol("star"), ActionType::none(), false));
        h.model.chooseFolder(chosen);
        QCOMPARE(h.model.slot().action, ActionType::openPath(stored));
        QCOMPARE(h.model.targetPath(), stored);
        QCOMPARE(h.model.slot().title, title);
    }

    // The panel keeps what the user is typing, trailing blanks included,
    // while the stored path is trimmed.
    void typedPathStaysInTheField()
    {
        Harness h(slotWith({}, symbol({}), ActionType::none(), false));
        for (const char* typed : {"~/My", "~/My ", "~/My F"})
            h.model.editPath(typed);
        QCOMPARE(h.model.targetPath(), "~/My F");
        // The blank stored nothing new: the trimmed path had not changed.
        QCOMPARE(h.saved.size(), 2);
        QCOMPARE(h.saved[0].action, ActionType::openPath("~/My"));
        // The title the path made follows the path, letter by letter ...
        QCOMPARE(h.model.slot().title, "My F");
        // ... and one the user typed stays.
        h.model.setTitle("Tunes");
        h.model.editPath("~/Music");
        QCOMPARE(h.model.slot().title, "Tunes");
    }

    // The literal placeholder counts in every language, not its translation.
    void placeholderLiteralInEveryLanguage()
    {
        for (const QString language : {"en", "ja", "zh-Hans"}) {
            L10n::shared().setCurrentLanguage(language);
            Harness h(slotWith("未分配", symbol("未分配"), ActionType::none(), false));
            h.model.selectTab(SlotEditorModel::OpenUrlTab);
            QCOMPARE(h.model.slot().title, L10n::string("slot.type.open_url"));
            QVERIFY(h.model.slot().title != "未分配");
            Harness translated(slotWith(L10n::string("hud.unassigned"), symbol("x"), ActionType::none(), false));
            translated.model.selectTab(SlotEditorModel::OpenUrlTab);
            QCOMPARE(translated.model.slot().title,
                     language == "zh-Hans" ? QString("打开网址") : L10n::string("hud.unassigned"));
        }
        L10n::shared().setCurrentLanguage("en");
    }

    void recordedControlTab()
    {
        Harness h(ActionSlot::empty(0));
        h.model.startRecordingShortcut();
        const ShortcutCapture::Result key = ShortcutCapture::interpret(0xff09, control());
        QCOMPARE(key.outcome, ShortcutCapture::Outcome::Record);
        h.model.recordShortcut(key.keyCode, key.modifiers);
        QCOMPARE(h.model.slot().action, ActionType::shortcut("Tab", 48, control()));
        QCOMPARE(h.model.slot().title, "⌃Tab");
        QVERIFY(!h.model.isRecordingShortcut());
        // Pressing the shortcut type again keeps code 48: "Tab" is no typed character.
        h.model.selectTab(SlotEditorModel::ShortcutTab);
        QCOMPARE(h.model.slot().action, ActionType::shortcut("Tab", 48, control()));
        QCOMPARE(h.saved.size(), 1);
    }

    // Switching away and back re-commits what the panel still holds.
    void switchingBackRecommits()
    {
        Harness h(ActionSlot::empty(0));
        h.model.editURL("example.org");
        h.model.selectTab(SlotEditorModel::NoneTab);
        QCOMPARE(h.model.slot().title, "");
        h.model.selectTab(SlotEditorModel::OpenUrlTab);
        QCOMPARE(h.model.slot().action, ActionType::openURL("example.org"));
        QCOMPARE(h.model.slot().title, "Open URL");
        QCOMPARE(h.model.slot().icon, symbol("globe"));
        QVERIFY(h.model.slot().isEnabled);
    }

    // A slot changed elsewhere (undo, a drop) is loaded; the other panels keep their fields.
    void outsideChangeLoadsThePanel()
    {
        Harness h(ActionSlot::empty(0));
        h.model.editURL("a.example");
        ActionSlot outside = h.model.slot();
        outside.action = ActionType::openPath("~/x");
        h.model.setSlot(outside);
        QCOMPARE(h.model.actionTypeTab(), int(SlotEditorModel::OpenPathTab));
        QCOMPARE(h.model.targetPath(), "~/x");
        QCOMPARE(h.model.targetURL(), "a.example");
        const int saves = h.saved.size();
        h.model.setSlot(outside); // the owner echoing a slot back stores nothing
        QCOMPARE(h.saved.size(), saves);
    }

    void capture_data()
    {
        QTest::addColumn<quint32>("keysym");
        QTest::addColumn<quint32>("xState");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("code");
        QTest::addColumn<KeyModifiers>("modifiers");

        using O = ShortcutCapture::Outcome;
        QTest::newRow("control+tab") << 0xff09u << 0x4u << int(O::Record) << 48 << control();
        QTest::newRow("escape alone cancels") << 0xff1bu << 0x0u << int(O::Cancel) << 0 << KeyModifiers{};
        QTest::newRow("escape with caps lock cancels") << 0xff1bu << 0x2u << int(O::Cancel) << 0 << KeyModifiers{};
        QTest::newRow("escape with num lock cancels") << 0xff1bu << 0x10u << int(O::Cancel) << 0 << KeyModifiers{};
        QTest::newRow("shift+escape records") << 0xff1bu << 0x1u << int(O::Record) << 53
                                              << KeyModifiers{.shift = true};
        QTest::newRow("alt+tab") << 0xff09u << 0x8u << int(O::Record) << 48 << KeyModifiers{.option = true};
        QTest::newRow("super+1") << quint32('1') << 0x40u << int(O::Record) << 18 << KeyModifiers{.command = true};
        QTest::newRow("shift+1 is the 1 key") << quint32('1') << 0x1u << int(O::Record) << 18
                                              << KeyModifiers{.shift = true};
        QTest::newRow("all four, lock bits ignored")
            << quint32('a') << (0x1u | 0x2u | 0x4u | 0x8u | 0x10u | 0x40u | 0x2000u) << int(O::Record) << 0
            << KeyModifiers{.command = true, .option = true, .control = true, .shift = true};
        QTest::newRow("F1") << 0xffbeu << 0x0u << int(O::Record) << 122 << KeyModifiers{};
        QTest::newRow("up arrow") << 0xff52u << 0x0u << int(O::Record) << 126 << KeyModifiers{};
        QTest::newRow("control alone keeps recording") << 0xffe3u << 0x0u << int(O::Ignore) << 0 << KeyModifiers{};
        QTest::newRow("super alone") << 0xffebu << 0x0u << int(O::Ignore) << 0 << KeyModifiers{};
        QTest::newRow("AltGr alone") << 0xfe03u << 0x0u << int(O::Ignore) << 0 << KeyModifiers{};
        QTest::newRow("a key the ring cannot send") << 0x1008ff02u << 0x0u << int(O::Ignore) << 0
                                                     << KeyModifiers{};
        QTest::newRow("no keysym") << 0x0u << 0x4u << int(O::Ignore) << 0 << KeyModifiers{};
    }

    void capture()
    {
        QFETCH(quint32, keysym);
        QFETCH(quint32, xState);
        QFETCH(int, outcome);
        QFETCH(int, code);
        QFETCH(KeyModifiers, modifiers);
        const ShortcutCapture::Result r =
            ShortcutCapture::interpret(keysym, ShortcutCapture::modifiersFromXState(xState));
        QCOMPARE(int(r.outcome), outcome);
        if (r.outcome == ShortcutCapture::Outcome::Record) {
            QCOMPARE(int(r.keyCode), code);
            QCOMPARE(r.modifiers, modifiers);
        }
    }

    // Without X keycodes (other sessions) Qt's keys stand in.
    void captureFromQtKeys_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("qtModifiers");
        QTest::addColumn<int>("code");
        QTest::addColumn<KeyModifiers>("modifiers");
        QTest::newRow("ctrl+tab") << int(Qt::Key_Tab) << int(Qt::ControlModifier) << 48 << control();
        QTest::newRow("shift+tab arrives as backtab")
            << int(Qt::Key_Backtab) << int(Qt::ShiftModifier) << 48 << KeyModifiers{.shift = true};
        QTest::newRow("meta+T") << int(Qt::Key_T) << int(Qt::MetaModifier) << 17 << KeyModifiers{.command = true};
        QTest::newRow("F12 with keypad flag") << int(Qt::Key_F12) << int(Qt::KeypadModifier) << 111 << KeyModifiers{};
        QTest::newRow("page down") << int(Qt::Key_PageDown) << 0 << 121 << KeyModifiers{};
    }

    void captureFromQtKeys()
    {
        QFETCH(int, key);
        QFETCH(int, qtModifiers);
        QFETCH(int, code);
        QFETCH(KeyModifiers, modifiers);
        const ShortcutCapture::Result r = ShortcutCapture::interpret(
            ShortcutCapture::keysymForQtKey(key),
            ShortcutCapture::modifiersFromQt(Qt::KeyboardModifiers::fromInt(qtModifiers)));
        QCOMPARE(r.outcome, ShortcutCapture::Outcome::Record);
        QCOMPARE(int(r.keyCode), code);
        QCOMPARE(r.modifiers, modifiers);
    }
};

QTEST_GUILESS_MAIN(TestSlotEditorModel)
#include "tst_sloteditormodel.moc"
