// The settings window's rules without a window: which slot the editors get,
// what a picked icon does, the proposed file name and alert texts, the header
// and title texts, the colour scheme, and the undo history against a real
// ring store in a temporary folder.
#include "l10n/L10n.h"
#include "model/AppProfileManager.h"
#include "model/RingFile.h"
#include "settings/ProfileHistory.h"
#include "settings/SettingsRules.h"
#include "ShippedStrings.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <QUndoStack>

namespace {

ActionSlot filledSlot(qint64 index, const QString& title)
{
    ActionSlot slot = ActionSlot::empty(index);
    slot.title = title;
    slot.icon = IconInfo::sfSymbol("doc.on.doc.fill");
    slot.action = ActionType::shortcut("C", 8, {.control = true});
    slot.isEnabled = false;
    return slot;
}

RingProfile appRing(const QString& name, const QString& bundleId)
{
    QList<ActionSlot> slots;
    for (qint64 i = 0; i < 8; ++i)
        slots << filledSlot(i, QStringLiteral("Slot %1").arg(i));
    return RingProfile(QUuid::createUuid(), name, bundleId,
                       QStringLiteral("/usr/share/applications/x.desktop"), slots, false);
}

QByteArray storeBytes(const AppProfileManager& store)
{
    QFile file(store.saveFilePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSettingsRules : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        useShippedStrings(m_dir);
    }

    void currentProfileAndSlot()
    {
        RingProfile ring = appRing("Mail", "org.example.Mail");
        ring.slots.removeAt(5); // an odd file: no slot for sector 5
        const QList<RingProfile> list{PresetProfiles::globalDefault(), ring};

        QCOMPARE(SettingsRules::currentProfile(list, ring.id), ring);
        QVERIFY(SettingsRules::hasSelectedProfile(list, ring.id));
        for (const std::optional<QUuid>& none :
             {std::optional<QUuid>(), std::optional(QUuid::createUuid())}) {
            const RingProfile fallback = SettingsRules::currentProfile(list, none);
            QVERIFY(fallback.isGlobalDefault() && fallback.isBuiltIn);
            QVERIFY(!list.contains(fallback)); // a new ring, not one of the list
            QVERIFY(!SettingsRules::hasSelectedProfile(list, none));
        }

        QCOMPARE(SettingsRules::currentSlot(ring, 2), ring.slotAt(2).value());
        const ActionSlot blank = SettingsRules::currentSlot(ring, 5);
        QCOMPARE(blank.index, 5);
        QVERIFY(blank.title.isEmpty() && blank.action.isNone() && !blank.isEnabled);
        QCOMPARE(blank.icon, IconInfo::sfSymbol(""));
        QVERIFY(blank.id != SettingsRules::currentSlot(ring, 5).id); // fresh each time
    }

    void pickedIcon_data()
    {
        QTest::addColumn<IconInfo>("icon");
        QTest::addColumn<int>("sector");
        QTest::addColumn<bool>("changes");
        QTest::addColumn<QString>("title");
        QTest::addColumn<ActionType>("action");
        QTest::addColumn<bool>("enabled");

        const ActionType copy = ActionType::shortcut("C", 8, {.control = true});
        QTest::newRow("application becomes a launch action")
            << IconInfo::app("org.gnome.Calculator", "Calculator", "/usr/share/applications/calc.desktop")
            << 1 << true << "Calculator"
            << ActionType::launchApp("org.gnome.Calculator", "Calculator",
                                     "/usr/share/applications/calc.desktop")
            << true;
        QTest::newRow("symbol only changes the icon and enables")
            << IconInfo::sfSymbol("star.fill") << 1 << true << "Slot 1" << copy << true;
        QTest::newRow("image keeps the slot disabled")
            << IconInfo::customImage("logo") << 1 << true << "Slot 1" << copy << false;
        QTest::newRow("no slot at the sector: nothing")
            << IconInfo::sfSymbol("star.fill") << 5 << false << "" << ActionType::none() << false;
    }

    void pickedIcon()
    {
        QFETCH(IconInfo, icon);
        QFETCH(int, sector);
        RingProfile ring = appRing("Mail", "org.example.Mail");
        ring.slots.removeAt(5);
        const std::optional<ActionSlot> slot = SettingsRules::slotWithPickedIcon(ring, sector, icon);
        QFETCH(bool, changes);
        QCOMPARE(slot.has_value(), changes);
        if (!slot)
            return;
        QCOMPARE(slot->icon, icon);
        QCOMPARE(slot->id, ring.slotAt(sector)->id);
        QFETCH(QString, title);
        QCOMPARE(slot->title, title);
        QFETCH(ActionType, action);
        QCOMPARE(slot->action, action);
        QFETCH(bool, enabled);
        QCOMPARE(slot->isEnabled, enabled);
    }

    void texts_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("proposed name, global") << "en"
                                               << "name:global"
                                               << "Rondix-Global.rondix";
        QTest::newRow("proposed name, slashes") << "en"
                                                << "name:A/B/C"
                                                << "A-B-C.rondix";
        QTest::newRow("summon, no hotkey") << "en"
                                           << "summon:"
                                           << "Test Summon (no hotkey set)";
        QTest::newRow("summon, hotkey") << "en"
                                        << "summon:Alt+Space"
                                        << "Test Summon (Alt+Space)";
        QTest::newRow("summon, hotkey, ja") << "ja"
                                            << "summon:Alt+Space"
                                            << "呼び出しテスト (Alt+Space)";
        QTest::newRow("export names the file only") << "en"
                                                    << "export:/tmp/x/Mail.rondix"
                                                    << "The ring was exported to:\nMail.rondix";
        QTest::newRow("import names the app ring") << "en"
                                                   << "import:Mail"
                                                   << "The ring “Mail” was imported and selected.";
        QTest::newRow("import names the global ring by its localised name")
            << "en"
            << "import:global"
            << "The ring “Global Ring (Default)” was imported and selected.";
        QTest::newRow("import names the global ring, ja")
            << "ja"
            << "import:global"
            << "リング「共通リング（グローバル既定）」を読み込み、切り替えました。";
        QTest::newRow("a hostile name stays on one line")
            << "en"
            << "import:A\nB\x1b[2J"
            << "The ring “A\\nB\\x1B[2J” was imported and selected.";
        QTest::newRow("import failed") << "en"
                                       << "failed:slots[0].isEnabled: missing"
                                       << "The file could not be read: slots[0].isEnabled: missing\nPlease "
                                          "choose a valid .rondix or .json "
                                          "ring file.";
        QTest::newRow("title, ja") << "ja"
                                   << "title:"
                                   << "Rondix リング設定";
    }

    void texts()
    {
        QFETCH(QString, language);
        QFETCH(QString, text);
        L10n::shared().setCurrentLanguage(language);
        const QString kind = text.section(':', 0, 0);
        const QString value = text.section(':', 1);
        RingProfile global = PresetProfiles::globalDefault();
        global.name = "My own name";
        const RingProfile named = value == "global" ? global : appRing(value, "org.example.App");
        QString made;
        if (kind == "name")
            made = RingFile::proposedFileName(named);
        else if (kind == "summon")
            made = SettingsRules::summonTestLabel(value.isEmpty() ? std::nullopt : std::optional(value));
        else if (kind == "export")
            made = SettingsRules::exportSuccessText(value);
        else if (kind == "import")
            made = SettingsRules::importSuccessText(named);
        else if (kind == "failed")
            made = SettingsRules::importFailedText(value);
        else
            made = SettingsRules::windowTitle();
        L10n::shared().setCurrentLanguage("en");
        QFETCH(QString, expected);
        QCOMPARE(made, expected);
    }

    void settingsWindowTitles()
    {
        for (const char* t : {"Rondix", "Rondix 轮盘设置", "Rondix Ring Settings", "Rondix リング設定",
                              "系统设置", "Settings", "設定"})
            QVERIFY2(SettingsRules::isSettingsWindowTitle(QString::fromUtf8(t)), t);
        for (const char* t : {"", "Firefox", "rondix", "Preferences"})
            QVERIFY2(!SettingsRules::isSettingsWindowTitle(QString::fromUtf8(t)), t);
    }

    // Undo puts the store file back byte for byte; redo makes the change again.
    void historyUndoRedo_data()
    {
        QTest::addColumn<int>("kindValue");
        QTest::newRow("delete") << int(ProfileHistory::Kind::remove);
        QTest::newRow("clear") << int(ProfileHistory::Kind::clear);
        QTest::newRow("slot") << int(ProfileHistory::Kind::slot);
        QTest::newRow("import") << int(ProfileHistory::Kind::import);
    }

    void historyUndoRedo()
    {
        QFETCH(int, kindValue);
        const auto kind = ProfileHistory::Kind(kindValue);
        QTemporaryDir data;
        AppProfileManager store(data.path());
        store.addProfile("Mail", "org.example.Mail", QString("/x/mail.desktop"));
        const RingProfile mail = store.addProfile("Files", "org.example.Files", QString("/x/files.desktop"));
        store.addProfile("Web", "org.example.Web", std::nullopt);
        store.setSelectedProfileId(mail.id);
        const QByteArray before = storeBytes(store);
        const QList<RingProfile> beforeList = store.profiles();

        ProfileHistory history(store);
        QSignalSpy destructive(&history, &ProfileHistory::destructiveStepDone);
        RingProfile incoming = appRing("Files renamed", "org.example.Files");
        std::function<void()> change;
        switch (kind) {
        case ProfileHistory::Kind::remove:
            change = [&] { store.deleteProfile(mail); };
            break;
        case ProfileHistory::Kind::clear:
            change = [&] { store.clearAllSlots(mail.id); };
            break;
        case ProfileHistory::Kind::slot:
            change = [&] { store.updateSlot(mail.id, filledSlot(3, "Edited")); };
            break;
        default:
            change = [&] { store.importProfile(incoming); };
            break;
        }
        QVERIFY(history.apply(kind, "step", change));
        const QByteArray after = storeBytes(store);
        QVERIFY(after != before);
        QCOMPARE(destructive.size(),
                 kind == ProfileHistory::Kind::remove || kind == ProfileHistory::Kind::clear ? 1 : 0);
        QCOMPARE(history.stack()->count(), 1);

        history.stack()->undo();
        QCOMPARE(storeBytes(store), before);
        QCOMPARE(store.profiles(), beforeList);
        QCOMPARE(store.selectedProfileId(), std::optional(mail.id));
        history.stack()->redo();
        QCOMPARE(storeBytes(store), after);
    }

    void historyMergesOneFieldEdit()
    {
        QTemporaryDir data;
        AppProfileManager store(data.path());
        const RingProfile ring = store.addProfile("Mail", "org.example.Mail", std::nullopt);
        const QList<RingProfile> before = store.profiles();
        ProfileHistory history(store);
        ActionSlot slot = store.profiles().last().slotAt(0).value();
        for (const char* title : {"W", "Wo", "Wor", "Word"}) {
            slot.title = title;
            history.apply(
                ProfileHistory::Kind::slot, {}, [&] { store.updateSlot(ring.id, slot); }, 7, ring.id, 0);
        }
        // Another field's edit is a step of its own, as is an edit with no merge id.
        slot.action = ActionType::openURL("https://example.org");
        history.apply(
            ProfileHistory::Kind::slot, {}, [&] { store.updateSlot(ring.id, slot); }, 8, ring.id, 0);
        slot.isEnabled = true;
        history.apply(
            ProfileHistory::Kind::slot, {}, [&] { store.updateSlot(ring.id, slot); }, 0, ring.id, 0);
        // A change that changes nothing leaves no step.
        QVERIFY(!history.apply(ProfileHistory::Kind::slot, {}, [&] { store.updateSlot(ring.id, slot); }));
        QCOMPARE(history.stack()->count(), 3);

        history.stack()->undo();
        history.stack()->undo();
        QCOMPARE(store.profiles().last().slotAt(0)->title, "Word");
        history.stack()->undo();
        QCOMPARE(store.profiles(), before);
    }

    // A change the window did not make (the market, a D-Bus import) would be
    // thrown away by undoing an older step, so it empties the history; the add
    // sheet's change is recorded as one step.
    void historyAndOutsideChanges()
    {
        QTemporaryDir data;
        AppProfileManager store(data.path());
        const RingProfile ring = store.addProfile("Mail", "org.example.Mail", std::nullopt);
        ProfileHistory history(store);
        QSignalSpy cleared(&history, &ProfileHistory::cleared);
        history.apply(ProfileHistory::Kind::clear, {}, [&] { store.clearAllSlots(ring.id); });
        QCOMPARE(history.stack()->count(), 1);
        store.addProfile("Market ring", "org.example.Market", std::nullopt);
        QCOMPARE(history.stack()->count(), 0);
        QCOMPARE(cleared.size(), 1);

        const QList<RingProfile> before = store.profiles();
        history.beginOutsideChange();
        const RingProfile added = store.addProfile("Sheet", "org.example.Sheet", std::nullopt);
        history.endOutsideChange(ProfileHistory::Kind::add, {});
        QCOMPARE(history.stack()->count(), 1);
        QCOMPARE(store.selectedProfileId(), std::optional(added.id));
        history.stack()->undo();
        QCOMPARE(store.profiles(), before);
        history.stack()->redo();
        QCOMPARE(store.profiles().last(), added);

        // A sheet closed without adding leaves no step.
        history.beginOutsideChange();
        history.endOutsideChange(ProfileHistory::Kind::add, {});
        QCOMPARE(history.stack()->count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSettingsRules)
#include "tst_settingsrules.moc"
