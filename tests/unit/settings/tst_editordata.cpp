// Key tables and editor presets: what a recorded or typed key stores, and the
// slot each preset, template and quick path produces.
#include "l10n/L10n.h"
#include "model/KeyComboText.h"
#include "settings/EditorPresets.h"
#include "settings/KeyCodeHelper.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace EditorPresets;

// A small English table; everything else falls back to the call site's text.
const char kEnglishTable[] = R"table("slot.preset.copy" = "Copy (⌘C)";
"slot.paste_text.preset_polish_title" = "Polish";
"slot.type.paste_text" = "Paste Text";
)table";

class TestEditorData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QDir(m_dir.path()).mkpath("l10n/en.lproj"));
        QFile table(m_dir.filePath("l10n/en.lproj/Localizable.strings"));
        QVERIFY(table.open(QIODevice::WriteOnly));
        table.write(kEnglishTable);
        table.close();
        qputenv("RONDIX_L10N_DIR", m_dir.filePath("l10n").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath("config").toUtf8());
        L10n::shared().setCurrentLanguage("en");
    }

    void keys_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("typable"); // typing `typed` gives `code`, otherwise no code at all
        QTest::addColumn<QString>("typed");

        QTest::newRow("c") << 8 << "C" << true << "c";
        QTest::newRow("C") << 8 << "C" << true << "C";
        QTest::newRow("space") << 49 << "Space" << true << " ";
        QTest::newRow("5 before 6") << 23 << "5" << true << "5";
        QTest::newRow("Return; Tab") << 36 << "Return" << false << "Tab";
        QTest::newRow("last named; F5") << 126 << "↑" << false << "F5";
        QTest::newRow("gap; empty") << 10 << "Key(10)" << false << "";
        QTest::newRow("past the table; backtick") << 127 << "Key(127)" << false << "`";
        QTest::newRow("backtick; two letters") << 50 << "`" << false << "cc";
    }

    void keys()
    {
        QFETCH(int, code);
        QFETCH(QString, name);
        QFETCH(bool, typable);
        QFETCH(QString, typed);
        QCOMPARE(KeyCodeHelper::keyName(quint16(code)), name);
        QCOMPARE(KeyCodeHelper::keyCode(typed), typable ? std::optional<quint16>(code) : std::nullopt);
    }

    // Every key text a recording stores, read back from its glyph title, names
    // the key the code sends: "Delete" is Backspace here, "Forward Delete" is Delete.
    void storedKeyNamesReadTheDesktopWay()
    {
        for (int code = 0; code < 128; ++code) {
            const QString stored = KeyCodeHelper::keyName(quint16(code));
            const KeyModifiers control{.control = true};
            QCOMPARE(KeyComboText::fromGlyphs(control.displayString() + stored),
                     KeyComboText::display(quint16(code), control));
        }
        QCOMPARE(KeyComboText::fromGlyphs("⌃Delete"), "Ctrl+Backspace");
    }

    // A one-character key name typed back gives the same key, so a typed
    // shortcut sends the key it shows.
    void namedKeysTypeBack()
    {
        int typable = 0;
        for (int code = 0; code < 128; ++code) {
            const QString name = KeyCodeHelper::keyName(quint16(code));
            if (name.size() != 1 || name.at(0).unicode() > 0x7f || name == "'" || name == "`")
                continue;
            QCOMPARE(KeyCodeHelper::keyCode(name.toLower()), std::optional<quint16>(code));
            ++typable;
        }
        QCOMPARE(typable, 45);
    }

    // Linux sends Control where the ring data had Command; only previous tab adds Shift.
    void shortcutPresetsSendControl()
    {
        QCOMPARE(allShortcutPresets().size(), 10);
        for (const ShortcutPreset& p : allShortcutPresets()) {
            const bool prevTab = p.entryKey == "slot.preset.prev_tab";
            QCOMPARE(p.modifiers, (KeyModifiers{.control = true, .shift = prevTab}));
            // The label shows what is sent; the key text and code name the same key.
            QVERIFY2(p.entryFallback.contains(p.modifiers.displayString() + p.key),
                     qPrintable(p.entryFallback));
            QVERIFY2(!p.localizedEntry().contains("⌘"), qPrintable(p.localizedEntry()));
            QCOMPARE(KeyCodeHelper::keyName(p.keyCode), p.key);
        }
        // The translated copy label carries the Command glyph; copy sends Control here.
        QCOMPARE(shortcutPreset("slot.preset.copy")->localizedEntry(), "Copy (⌃C)");
        QCOMPARE(shortcutPreset("slot.preset.copy")->action(),
                 ActionType::shortcut("C", 8, {.control = true}));
        QVERIFY(!shortcutPreset("slot.preset.redo"));
    }

    // Presets and quick paths replace the title, icon and action the user set.
    void presetsReplaceTheSlot()
    {
        ActionSlot mine = ActionSlot::empty(3);
        mine.title = "My own title";
        mine.icon = IconInfo::app("firefox", "Firefox", "/usr/share/applications/firefox.desktop");
        mine.action = ActionType::openURL("https://example.org");

        const ActionSlot tab = applyShortcutPreset(mine, *shortcutPreset("slot.preset.prev_tab"));
        QCOMPARE(tab.title, "上一个标签");
        QCOMPARE(tab.icon, IconInfo::sfSymbol("arrow.left.to.line"));
        QCOMPARE(tab.action, ActionType::shortcut("Tab", 48, {.control = true, .shift = true}));
        QCOMPARE(tab.action.localizedSummary(), "Ctrl+Shift+Tab");
        QVERIFY(tab.isEnabled && tab.id == mine.id && tab.index == mine.index);

        const ActionSlot apps = applyQuickPath(mine, quickPaths().last());
        QCOMPARE(apps.title, "应用程序");
        QCOMPARE(apps.icon, IconInfo::sfSymbol("folder"));
        QCOMPARE(apps.action, ActionType::openPath("/usr/share/applications"));
        QVERIFY(apps.isEnabled && apps.id == mine.id);
        // "~" is stored unexpanded; the executor expands it when opening.
        QCOMPARE(applyQuickPath(mine, quickPaths().at(3)).action, ActionType::openPath("~"));
    }

    void applyPromptTemplate_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<IconInfo>("icon");
        QTest::addColumn<bool>("keepsTitle");
        QTest::addColumn<bool>("keepsIcon");

        const IconInfo star = IconInfo::sfSymbol("star");
        QTest::newRow("empty") << "" << IconInfo::sfSymbol({}) << false << false;
        QTest::newRow("unassigned") << "未分配" << IconInfo::sfSymbol("未分配") << false << false;
        QTest::newRow("generic paste title") << "Paste Text" << star << false << true;
        QTest::newRow("English Unassigned is a title") << "Unassigned" << star << true << true;
        QTest::newRow("untranslated generic title") << "常用文本" << star << true << true;
        QTest::newRow("blank title and image") << " " << IconInfo::customImage(" ") << true << true;
        QTest::newRow("other template title, nameless image")
            << "邮件结尾" << IconInfo::customImage({}) << true << false;
        QTest::newRow("app without name") << "x" << IconInfo::app("firefox", {}, "/p") << true << false;
    }

    // The template's title only replaces a placeholder or the generic one; a
    // placeholder icon becomes the text bubble.
    void applyPromptTemplate()
    {
        QFETCH(QString, title);
        QFETCH(IconInfo, icon);
        QFETCH(bool, keepsTitle);
        QFETCH(bool, keepsIcon);

        ActionSlot slot = ActionSlot::empty(2);
        slot.title = title;
        slot.icon = icon;
        const ActionSlot after = EditorPresets::applyPromptTemplate(slot, promptTemplates().first());
        QCOMPARE(after.title, keepsTitle ? title : "Polish");
        QCOMPARE(after.icon, keepsIcon ? icon : IconInfo::sfSymbol("text.bubble"));
        QCOMPARE(after.action,
                 ActionType::pasteText("请帮我润色并优化以下文案，使其更加专业、简练且流畅：\n\n"));
        QVERIFY(after.isEnabled && after.id == slot.id);
    }
};

QTEST_GUILESS_MAIN(TestEditorData)
#include "tst_editordata.moc"
