#include "l10n/L10n.h"
#include "model/ActionModel.h"
#include "model/KeyComboText.h"
#include "model/RingProfile.h"

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

// Lookups run against a private "zh-Hans" table that maps each key below to a
// marker "«key»" (formats get " %@"), so every check also names the key looked up.
namespace {

const QStringList kKeys{"action.sys.mute",  "action.sys.open_finder",  "slot.preset.copy_short",
                        "hud.unassigned",   "action.paste_text_empty", "profile.global_default",
                        "action.launch_app"};

QString marker(const QString& key)
{
    return QStringLiteral("«") + key + QStringLiteral("»");
}

ActionSlot slotWith(const QString& title, const ActionType& action, bool enabled = true, qint64 index = 0)
{
    return ActionSlot{
        QUuid::createUuid(), index, title, IconInfo::sfSymbol(QStringLiteral("star")), action, enabled};
}

ActionType launch(const QString& bundleId)
{
    return ActionType::launchApp(bundleId, QStringLiteral("Some App"), QStringLiteral("/x.desktop"));
}

RingProfile ringOf(const QList<qint64>& indices, QList<ActionSlot>* given = nullptr)
{
    QList<ActionSlot> slots;
    for (int i = 0; i < indices.size(); ++i)
        slots.append(
            slotWith(QString::number(i), ActionType::pasteText(QString::number(i)), true, indices[i]));
    if (given)
        *given = slots;
    return RingProfile(QUuid::createUuid(), QStringLiteral("r"), std::nullopt, std::nullopt, slots, false);
}

} // namespace

class TestModelRecords : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        qputenv("XDG_CONFIG_HOME", m_dir.filePath(QStringLiteral("config")).toUtf8());
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("zh-Hans.lproj"))));
        QFile table(m_dir.filePath(QStringLiteral("zh-Hans.lproj/Localizable.strings")));
        QVERIFY(table.open(QIODevice::WriteOnly));
        for (const QString& key : kKeys) {
            const QString value =
                key == QLatin1String("action.launch_app") ? QStringLiteral("«%1 %@»").arg(key) : marker(key);
            table.write(QStringLiteral("\"%1\" = \"%2\";\n").arg(key, value).toUtf8());
        }
        table.close();
        qputenv("RONDIX_L10N_DIR", m_dir.path().toUtf8());
        L10n::shared().setCurrentLanguage(QStringLiteral("zh-Hans"));
    }

    void displayTitle_data()
    {
        QTest::addColumn<ActionSlot>("slot");
        QTest::addColumn<QString>("shown");
        const auto mute = ActionType::systemControl(SystemControlAction::mute);
        const auto sc = ActionType::shortcut(QStringLiteral("C"), 8, KeyModifiers{false, false, true, false});
        const QString copy = marker("slot.preset.copy_short");

        QTest::newRow("system, empty title") << slotWith({}, mute) << marker("action.sys.mute");
        QTest::newRow("system, another control's automatic title")
            << slotWith(QStringLiteral("Lock Screen"), mute) << marker("action.sys.mute");
        // Titles the editors fill in, in any language and on this platform, follow the control.
        for (const char* title : {"Overview", "Launcher Search", "File Manager", "访达 (打开文件夹)"})
            QTest::newRow(title) << slotWith(QString::fromUtf8(title), mute) << marker("action.sys.mute");
        QTest::newRow("system, typed title stays")
            << slotWith(QStringLiteral("Quiet please"), mute) << QStringLiteral("Quiet please");
        QTest::newRow("system, preset title wins over typed")
            << slotWith(QStringLiteral("Copy"), mute) << copy;
        QTest::newRow("launch Finder, any title")
            << slotWith(QStringLiteral("My files"), launch(QStringLiteral("com.apple.finder")))
            << marker("action.sys.open_finder");
        QTest::newRow("launch, bundle match is case-sensitive")
            << slotWith(QStringLiteral("Copy"), launch(QStringLiteral("com.apple.Finder"))) << copy;
        QTest::newRow("Japanese preset title") << slotWith(QStringLiteral("コピー"), sc) << copy;
        QTest::newRow("padded preset title is not a preset")
            << slotWith(QStringLiteral(" Copy"), sc) << QStringLiteral(" Copy");
        QTest::newRow("unassigned title")
            << slotWith(QStringLiteral("未分配"), sc) << marker("hud.unassigned");
        QTest::newRow("empty title, no action")
            << slotWith({}, ActionType::none()) << marker("hud.unassigned");
        QTest::newRow("disabled slot keeps its title")
            << slotWith(QStringLiteral("Hello"), sc, false) << QStringLiteral("Hello");

        // A title the editor made from the shortcut reads the desktop's way.
        const auto nextTab = ActionType::shortcut(QStringLiteral("Tab"), 48, KeyModifiers{.control = true});
        QTest::newRow("own glyph title") << slotWith(QStringLiteral("⌃Tab"), nextTab) << "Ctrl+Tab";
        const auto superDigit = ActionType::shortcut(QStringLiteral("Key(18)"), 18, {.command = true});
        QTest::newRow("own glyph title, unnamed key")
            << slotWith(QStringLiteral("⌘Key(18)"), superDigit) << "Super+1";
        const auto shiftCmdK = ActionType::shortcut(QStringLiteral("K"), 40, {.command = true, .shift = true});
        QTest::newRow("own glyph title, desktop order")
            << slotWith(QStringLiteral("⇧⌘K"), shiftCmdK) << "Shift+Super+K";
        QTest::newRow("own glyph title, disabled slot")
            << slotWith(QStringLiteral("⌃Tab"), nextTab, false) << "Ctrl+Tab";
        QTest::newRow("typed title with glyphs stays")
            << slotWith(QStringLiteral("Tabs ⌃Tab"), nextTab) << QStringLiteral("Tabs ⌃Tab");
        QTest::newRow("another shortcut's glyphs stay")
            << slotWith(QStringLiteral("⌃⇧Tab"), nextTab) << QStringLiteral("⌃⇧Tab");
        QTest::newRow("glyph title on a paste slot stays")
            << slotWith(QStringLiteral("⌃Tab"), ActionType::pasteText(QStringLiteral("x")))
            << QStringLiteral("⌃Tab");
    }

    void displayTitle()
    {
        QFETCH(ActionSlot, slot);
        QFETCH(QString, shown);
        QCOMPARE(slot.displayTitle(), shown);
    }

    void summary_data()
    {
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<QString>("shown");
        const QString fifteen = QStringLiteral("abcdefghijklmno");
        const QString family15 = QStringLiteral("👨‍👩‍👧").repeated(15);

        QTest::newRow("paste 15 whole") << ActionType::pasteText(fifteen) << fifteen;
        QTest::newRow("paste 16 cut")
            << ActionType::pasteText(fifteen + QStringLiteral("p")) << fifteen + QStringLiteral("...");
        QTest::newRow("paste trimmed before counting")
            << ActionType::pasteText(QStringLiteral("\n  ") + fifteen + QStringLiteral("  \n")) << fifteen;
        QTest::newRow("paste 15 emoji clusters whole") << ActionType::pasteText(family15) << family15;
        QTest::newRow("paste 16 emoji clusters cut")
            << ActionType::pasteText(family15 + QStringLiteral("👨‍👩‍👧"))
            << family15 + QStringLiteral("...");
        QTest::newRow("paste blank") << ActionType::pasteText(QStringLiteral("  \n \r\n "))
                                     << marker("action.paste_text_empty");
        QTest::newRow("launch app") << launch(QStringLiteral("org.gnome.gedit"))
                                    << QStringLiteral("«action.launch_app Some App»");
        QTest::newRow("open path, trailing slash")
            << ActionType::openPath(QStringLiteral("  /home/me/Documents/ ")) << QStringLiteral("Documents");
        QTest::newRow("shortcut")
            << ActionType::shortcut(QStringLiteral("Tab"), 48, {.control = true, .shift = true})
            << QStringLiteral("Ctrl+Shift+Tab");
        // The code is what gets sent, so it names the key even when the typed text differs.
        QTest::newRow("shortcut, typed text and code apart")
            << ActionType::shortcut(QStringLiteral("é"), 14, {.option = true}) << QStringLiteral("Alt+E");
    }

    void summary()
    {
        QFETCH(ActionType, action);
        QFETCH(QString, shown);
        QCOMPARE(action.localizedSummary(), shown);
    }

    void keyCombo_data()
    {
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<KeyModifiers>("modifiers");
        QTest::addColumn<QString>("shown");
        QTest::newRow("default hotkey") << 49 << KeyModifiers{.option = true} << "Alt+Space";
        QTest::newRow("order is Ctrl Alt Shift Super")
            << 40 << KeyModifiers{true, true, true, true} << "Ctrl+Alt+Shift+Super+K";
        QTest::newRow("digit") << 18 << KeyModifiers{.command = true} << "Super+1";
        QTest::newRow("digits follow the layout numbering") << 22 << KeyModifiers{} << "6";
        QTest::newRow("backspace place") << 51 << KeyModifiers{.control = true} << "Ctrl+Backspace";
        QTest::newRow("forward delete") << 117 << KeyModifiers{} << "Delete";
        QTest::newRow("arrow") << 123 << KeyModifiers{.shift = true} << "Shift+Left";
        QTest::newRow("page") << 121 << KeyModifiers{} << "Page Down";
        QTest::newRow("function key alone") << 96 << KeyModifiers{} << "F5";
        QTest::newRow("F13") << 105 << KeyModifiers{} << "F13";
        QTest::newRow("punctuation") << 42 << KeyModifiers{.control = true} << "Ctrl+\\";
        QTest::newRow("keypad") << 69 << KeyModifiers{} << "Keypad +";
        QTest::newRow("escape") << 53 << KeyModifiers{.shift = true} << "Shift+Esc";
        QTest::newRow("no key at the code") << 10 << KeyModifiers{.control = true} << "Ctrl+Key(10)";
    }

    void keyCombo()
    {
        QFETCH(int, keyCode);
        QFETCH(KeyModifiers, modifiers);
        QFETCH(QString, shown);
        QCOMPARE(KeyComboText::display(quint16(keyCode), modifiers), shown);
        const quint32 mask = (modifiers.command ? 256 : 0) | (modifiers.shift ? 512 : 0) |
                             (modifiers.option ? 2048 : 0) | (modifiers.control ? 4096 : 0);
        // Caps lock (1024) and NumLock-like bits of the mask never show.
        QCOMPARE(KeyComboText::displayHotkey(quint32(keyCode), mask | 1024 | 0x10000), shown);
        // The stored glyph form of the same combination reads the same.
        const QString stored = modifiers.displayString() + QStringLiteral("Key(%1)").arg(keyCode);
        QCOMPARE(KeyComboText::fromGlyphs(stored), shown);
    }

    void glyphText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("default") << "⌥Space" << "Alt+Space";
        QTest::newRow("control tab") << "⌃Tab" << "Ctrl+Tab";
        QTest::newRow("recorded order") << "⇧⌘K" << "Shift+Super+K";
        QTest::newRow("glyphs out of order") << "⌘⌃K" << "Ctrl+Super+K";
        QTest::newRow("unnamed digit") << "⌘Key(18)" << "Super+1";
        QTest::newRow("mac delete is backspace") << "⌃Delete" << "Ctrl+Backspace";
        QTest::newRow("forward delete") << "⌃Forward Delete" << "Ctrl+Delete";
        QTest::newRow("arrow") << "⌥↑" << "Alt+Up";
        QTest::newRow("typed lower-case key") << "⌃c" << "Ctrl+C";
        QTest::newRow("typed space") << "⌃ " << "Ctrl+Space";
        QTest::newRow("key alone") << "F5" << "F5";
        QTest::newRow("unknown key keeps its text") << "⌃é" << "Ctrl+é";
        QTest::newRow("modifiers only") << "⌃⇧" << "Ctrl+Shift";
        QTest::newRow("plain words stay") << "Copy" << "Copy";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("Key( without a number") << "Key(x)" << "Key(x)";
        QTest::newRow("modifier names are no keys") << "Shift" << "Shift";
        QTest::newRow("code beyond 16 bits") << "⌃Key(70000)" << "Ctrl+Key(70000)";
    }

    void glyphText()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QCOMPARE(KeyComboText::fromGlyphs(stored), shown);
    }

    void glyphsInText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("preset label") << "Copy (⌃C)" << "Copy (Ctrl+C)";
        QTest::newRow("two modifiers") << "前のタブへ (⌃⇧Tab)" << "前のタブへ (Ctrl+Shift+Tab)";
        QTest::newRow("unnamed key keeps its parenthesis") << "Go (⌘Key(18))" << "Go (Super+1)";
        QTest::newRow("two combinations") << "⌃C then ⌃V" << "Ctrl+C then Ctrl+V";
        QTest::newRow("no combination") << "Copy (C)" << "Copy (C)";
        QTest::newRow("glyph at the end") << "Hold ⌥" << "Hold Alt";
    }

    void glyphsInText()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(KeyComboText::fromGlyphsIn(text), shown);
    }

    void modifiers_data()
    {
        QTest::addColumn<KeyModifiers>("modifiers");
        QTest::addColumn<QString>("glyphs");
        QTest::addColumn<quint64>("flags");
        QTest::newRow("none") << KeyModifiers{} << QString() << quint64(0);
        QTest::newRow("command shift")
            << KeyModifiers{true, false, false, true} << QStringLiteral("⇧⌘") << quint64(0x120000);
        QTest::newRow("control option")
            << KeyModifiers{false, true, true, false} << QStringLiteral("⌃⌥") << quint64(0xC0000);
        QTest::newRow("all") << KeyModifiers{true, true, true, true} << QStringLiteral("⌃⌥⇧⌘")
                             << quint64(0x1E0000);
    }

    void modifiers()
    {
        QFETCH(KeyModifiers, modifiers);
        QFETCH(QString, glyphs);
        QFETCH(quint64, flags);
        QCOMPARE(modifiers.displayString(), glyphs);
        QCOMPARE(modifiers.nsEventFlags(), flags);
        QCOMPARE(KeyModifiers::fromNsEventFlags(flags), modifiers);
        // Caps lock, function key and device-specific bits change nothing.
        QCOMPARE(KeyModifiers::fromNsEventFlags(flags | 0x10000 | 0x800000 | 0x200000 | 0x100 | 0x2),
                 modifiers);
    }

    void normalisation_data()
    {
        QTest::addColumn<QList<qint64>>("given");
        // For each resulting position: which given slot lands there, -1 for a new empty slot.
        QTest::addColumn<QList<int>>("from");
        QTest::newRow("2, 2, 9") << QList<qint64>{2, 2, 9} << QList<int>{-1, -1, 0, -1, -1, -1, -1, -1};
        QTest::newRow("eight zeros kept")
            << QList<qint64>{0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("nine sorted") << QList<qint64>{0, 1, 2, 3, 4, 5, 6, 7, 8}
                                     << QList<int>{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("seven unsorted, one negative")
            << QList<qint64>{6, 5, -1, 3, 2, 1, 0} << QList<int>{6, 5, 4, 3, -1, 1, 0, -1};
    }

    void normalisation()
    {
        QFETCH(QList<qint64>, given);
        QFETCH(QList<int>, from);
        QList<ActionSlot> slots;
        const RingProfile ring = ringOf(given, &slots);
        QCOMPARE(ring.slots.size(), 8);
        QSet<QUuid> ids;
        for (int pos = 0; pos < 8; ++pos) {
            const ActionSlot& got = ring.slots.at(pos);
            ids.insert(got.id);
            if (from[pos] >= 0) {
                QCOMPARE(got, slots.at(from[pos]));
            } else {
                ActionSlot blank = ActionSlot::empty(pos);
                blank.id = got.id;
                QCOMPARE(got, blank);
            }
        }
        QCOMPARE(ids.size(), 8);
        QVERIFY(!ids.contains(QUuid()));
    }

    void slotAt_data()
    {
        QTest::addColumn<QList<qint64>>("indices"); // exactly eight: kept as given
        QTest::addColumn<qint64>("sector");
        QTest::addColumn<int>("found"); // position in the list, -1 for nothing
        const QList<qint64> wellFormed{0, 1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("10 looks for 2") << wellFormed << qint64(10) << 2;
        QTest::newRow("-1 finds nothing") << wellFormed << qint64(-1) << -1;
        QTest::newRow("-9 looks for -1") << QList<qint64>{0, 1, 2, 3, 4, 5, 6, -1} << qint64(-9) << 7;
        QTest::newRow("first of duplicates") << QList<qint64>{5, 5, 5, 5, 5, 5, 5, 5} << qint64(5) << 0;
    }

    void slotAt()
    {
        QFETCH(QList<qint64>, indices);
        QFETCH(qint64, sector);
        QFETCH(int, found);
        QList<ActionSlot> slots;
        const auto slot = ringOf(indices, &slots).slotAt(sector);
        QCOMPARE(slot, found < 0 ? std::nullopt : std::optional(slots.at(found)));
    }

    void updateSlot()
    {
        RingProfile ring = ringOf({0, 3, 3, 3, 3, 3, 3, 3});
        const ActionSlot replacement = slotWith(QStringLiteral("new"), ActionType::openURL("u"), true, 3);
        ring.updateSlot(replacement);
        QCOMPARE(ring.slots.size(), 8);
        QCOMPARE(ring.slots.at(1), replacement); // first match only, id included
        QCOMPARE(ring.slots.at(2).title, QStringLiteral("2"));

        const ActionSlot extra = slotWith(QStringLiteral("extra"), ActionType::none(), true, 12);
        ring.updateSlot(extra);
        QCOMPARE(ring.slots.size(), 9);
        QCOMPARE(ring.slots.last(), extra);
    }

    void globalDefault()
    {
        const RingProfile a = PresetProfiles::globalDefault();
        const RingProfile b = PresetProfiles::globalDefault();
        QVERIFY(a.isBuiltIn && a.isGlobalDefault() && a.id != b.id);
        for (int i = 0; i < 8; ++i) // fresh ids on every call
            QVERIFY(a.slots[i].index == i && a.slots[i].isEnabled && a.slots[i].id != b.slots[i].id);
    }

    // The global ring's name follows the interface language, whatever was stored.
    void ringDisplayName()
    {
        RingProfile ring = PresetProfiles::globalDefault();
        ring.name = QStringLiteral("Mine");
        QCOMPARE(ring.displayName(), marker("profile.global_default"));
        ring.bundleIdentifier = QString(); // present but empty: an app ring
        QCOMPARE(ring.displayName(), QStringLiteral("Mine"));
    }
};

QTEST_GUILESS_MAIN(TestModelRecords)
#include "tst_model_records.moc"