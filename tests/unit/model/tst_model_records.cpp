#include "l10n/L10n.h"
#include "model/ActionModel.h"
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
    }

    void summary()
    {
        QFETCH(ActionType, action);
        QFETCH(QString, shown);
        QCOMPARE(action.localizedSummary(), shown);
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