#include "model/AppProfileManager.h"
#include "model/ModelJson.h"
#include "ModelTestSupport.h"

#include <memory>
#include <QDateTime>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace ModelTestSupport;
using Json = nlohmann::ordered_json;

namespace {

const QString kLoadFailure =
    QStringLiteral("[AppProfileManager] Failed to load custom profiles, resetting to defaults: ");
const QString kSaveFailure = QStringLiteral("[AppProfileManager] Failed to save profiles: ");

ActionSlot makeSlot(qint64 index, const QString& title, const ActionType& action = ActionType::none())
{
    return ActionSlot{
        QUuid::createUuid(), index, title, IconInfo::sfSymbol(QStringLiteral("star")), action, true};
}

RingProfile appRing(const QString& bundleId, const QString& name = QStringLiteral("App"))
{
    QList<ActionSlot> slots;
    for (qint64 i = 0; i < 8; ++i)
        slots.append(makeSlot(i, name + QString::number(i), ActionType::pasteText(bundleId)));
    return RingProfile(QUuid::createUuid(), name, bundleId, QStringLiteral("/icons/") + bundleId, slots,
                       false);
}

RingProfile globalRing(const QString& sector5Title)
{
    RingProfile ring = PresetProfiles::globalDefault();
    ring.isBuiltIn = false;
    ring.name = QStringLiteral("My ring");
    ring.slots[5] =
        makeSlot(5, sector5Title, ActionType::shortcut(QStringLiteral("Z"), 6, KeyModifiers{true}));
    return ring;
}

// One private data folder per test.
class Store
{
public:
    Store()
    {
        QVERIFY(m_dir.isValid());
        QDir().mkpath(folder());
    }

    QString base() const { return m_dir.path(); }
    QString folder() const { return m_dir.filePath(QStringLiteral("Rondix")); }
    QString file() const { return folder() + QStringLiteral("/profiles.json"); }

    void write(const QByteArray& bytes, const QString& path = {}) const
    {
        QFile f(path.isEmpty() ? file() : path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    void write(const QList<RingProfile>& rings) const { write(encodeRingProfiles(rings)); }

    QByteArray read() const
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    std::optional<QList<RingProfile>> onDisk() const { return decodeRingProfiles(read()); }

    // Marks the file so a later check can tell whether anything was written.
    void mark() const { write(QByteArray("[] ")); }
    bool untouched() const { return read() == QByteArray("[] "); }

    // Builds a manager and returns what it logged while loading.
    QString open(std::unique_ptr<AppProfileManager>& manager) const
    {
        StdoutCapture capture;
        manager = std::make_unique<AppProfileManager>(base());
        return capture.finish();
    }

private:
    QTemporaryDir m_dir;
};

bool isFreshDefault(const RingProfile& ring)
{
    RingProfile expected = PresetProfiles::globalDefault();
    expected.id = ring.id;
    for (int i = 0; i < expected.slots.size() && i < ring.slots.size(); ++i)
        expected.slots[i].id = ring.slots[i].id;
    return ring == expected;
}

QStringList brokenCopies(const Store& store)
{
    return QDir(store.folder())
        .entryList({QStringLiteral("profiles.json.broken-*")}, QDir::Files, QDir::Name);
}

} // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_l10n;

private Q_SLOTS:
    void initTestCase()
    {
        installMarkerTables(m_l10n, {});
        // Debug output would land in the captured log lines.
        QLoggingCategory::setFilterRules(QStringLiteral("rondix.*.debug=false"));
    }

    void firstStart()
    {
        Store store;
        QDir(store.folder()).removeRecursively();
        std::unique_ptr<AppProfileManager> m;
        QCOMPARE(store.open(m), QString());
        QCOMPARE(m->profiles().size(), 1);
        QVERIFY(isFreshDefault(m->profiles().first()));
        QCOMPARE(m->selectedProfileId(), std::optional(m->profiles().first().id));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
        QCOMPARE(m->saveFilePath(), store.file());
        // Pretty-printed: one member per line.
        QVERIFY(store.read().startsWith("[\n  {\n    \"id\": \""));
    }

    void onlyAppRingsGetGlobalInFront()
    {
        Store store;
        const QList<RingProfile> rings{appRing(QStringLiteral("firefox")),
                                       appRing(QStringLiteral("org.gnome.Nautilus"))};
        store.write(rings);
        const QByteArray before = store.read();
        std::unique_ptr<AppProfileManager> m;
        QCOMPARE(store.open(m), QString());
        QCOMPARE(m->profiles().size(), 3);
        QVERIFY(isFreshDefault(m->profiles().at(0)));
        QCOMPARE(m->profiles().mid(1), rings);
        QCOMPARE(m->selectedProfileId(), std::optional(m->profiles().first().id));
        QCOMPARE(store.read(), before); // repaired in memory only
        m->updateSlot(rings[0].id, makeSlot(2, QStringLiteral("edited")));
        QCOMPARE(store.onDisk()->size(), 3);
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
    }

    void undoMigration_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("migrated");
        QTest::newRow("Undo") << QStringLiteral("Undo") << true;
        QTest::newRow("撤销") << QStringLiteral("撤销") << true;
        QTest::newRow("lower-case undo") << QStringLiteral("undo") << false;
        QTest::newRow("Japanese undo") << QStringLiteral("取り消し") << false;
        QTest::newRow("padded") << QStringLiteral("Undo ") << false;
        QTest::newRow("other") << QStringLiteral("Copy") << false;
    }

    void undoMigration()
    {
        QFETCH(QString, title);
        QFETCH(bool, migrated);
        Store store;
        const RingProfile app = appRing(QStringLiteral("firefox"));
        RingProfile appWithUndo = appRing(QStringLiteral("gedit"));
        appWithUndo.slots[5].title = QStringLiteral("Undo");
        const RingProfile global = globalRing(title);
        RingProfile secondGlobal = globalRing(QStringLiteral("Undo"));
        secondGlobal.id = QUuid::createUuid();
        const QList<RingProfile> rings{app, global, appWithUndo, secondGlobal};
        store.write(rings);
        const QByteArray before = store.read();

        std::unique_ptr<AppProfileManager> m;
        QCOMPARE(store.open(m), QString());
        const QList<RingProfile> loaded = m->profiles();
        QCOMPARE(loaded.size(), 4);
        QCOMPARE(loaded[0], app);
        QCOMPARE(loaded[2], appWithUndo);
        QCOMPARE(loaded[3], secondGlobal); // only the first global ring is looked at
        QCOMPARE(store.read(), before);
        if (!migrated) {
            QCOMPARE(loaded[1], global);
            return;
        }
        for (int i = 0; i < 8; ++i) {
            if (i != 5)
                QCOMPARE(loaded[1].slots[i], global.slots[i]);
        }
        const ActionSlot finder = loaded[1].slots[5];
        QVERIFY(finder.id != global.slots[5].id);
        QVERIFY(!finder.id.isNull());
        QCOMPARE(finder.index, qint64(5));
        QCOMPARE(finder.title, QStringLiteral("访达"));
        QCOMPARE(finder.icon, IconInfo::sfSymbol(QStringLiteral("folder.fill")));
        QCOMPARE(finder.action, ActionType::systemControl(SystemControlAction::openFinder));
        QVERIFY(finder.isEnabled);
        QCOMPARE(loaded[1].id, global.id);
        QCOMPARE(loaded[1].name, global.name);
    }

    void undoMigrationNeedsSector5()
    {
        Store store;
        RingProfile global = globalRing(QStringLiteral("Undo"));
        global.slots[5].index = 13; // sector 5 now holds nothing; 13 is not looked at
        store.write(QList<RingProfile>{global});
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        QCOMPARE(m->profiles(), QList<RingProfile>{global});
    }

    void emptyArray()
    {
        Store store;
        store.write(QByteArray(" [ ] "));
        std::unique_ptr<AppProfileManager> m;
        QCOMPARE(store.open(m), QString());
        QCOMPARE(m->profiles().size(), 1);
        QVERIFY(isFreshDefault(m->profiles().first()));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
        QVERIFY(brokenCopies(store).isEmpty());
    }

    void unreadableFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        Json ring = ModelJson::toJson(appRing(QStringLiteral("firefox")));
        ring["slots"][3].erase("isEnabled");
        QTest::newRow("slot without isEnabled")
            << QByteArray::fromStdString(
                   Json::array({ModelJson::toJson(PresetProfiles::globalDefault()), ring}).dump(2))
            << QStringLiteral("[1].slots[3].isEnabled: missing");
        QTest::newRow("root object") << QByteArray(R"({"profiles": []})")
                                     << QStringLiteral("expected an array, found object");
        QTest::newRow("truncated") << QByteArray("[{\"id\": ") << QString();
        QTest::newRow("not UTF-8") << QByteArray("[\"\xc3\x28\"]") << QString();
        QTest::newRow("empty file") << QByteArray() << QString();
    }

    void unreadableFileIsKept()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        Store store;
        store.write(content);
        std::unique_ptr<AppProfileManager> m;
        const QString log = store.open(m);

        const QStringList copies = brokenCopies(store);
        QCOMPARE(copies.size(), 1);
        const QString copy = store.folder() + QLatin1Char('/') + copies.first();
        QVERIFY2(QRegularExpression(QStringLiteral("^profiles\\.json\\.broken-\\d{8}-\\d{6}$"))
                     .match(copies.first())
                     .hasMatch(),
                 qPrintable(copies.first()));
        QFile kept(copy);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), content);
        QCOMPARE(m->keptCopyPath(), copy);

        QVERIFY2(log.startsWith(kLoadFailure), qPrintable(log));
        QVERIFY2(
            log.endsWith(QStringLiteral(" (the unreadable file was kept as ") + copy + QStringLiteral(")\n")),
            qPrintable(log));
        QCOMPARE(log.count(QLatin1Char('\n')), 1);
        const QString reported =
            log.mid(kLoadFailure.size()).section(QStringLiteral(" (the unreadable"), 0, 0);
        if (!error.isEmpty())
            QCOMPARE(reported, error);
        else
            QVERIFY2(reported.startsWith(QLatin1String("The data is not valid JSON")), qPrintable(reported));

        QCOMPARE(m->profiles().size(), 1);
        QVERIFY(isFreshDefault(m->profiles().first()));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
    }

    // An earlier copy with the same name is never overwritten.
    void brokenCopyGetsSuffix()
    {
        Store store;
        store.write(QByteArray("garbage"));
        const QDateTime now = QDateTime::currentDateTime();
        QStringList taken;
        for (int s = 0; s <= 2; ++s) {
            const QString name = store.file() + QStringLiteral(".broken-") +
                                 now.addSecs(s).toString(QStringLiteral("yyyyMMdd-HHmmss"));
            store.write(QByteArray("older copy"), name);
            taken << name;
        }
        std::unique_ptr<AppProfileManager> m;
        const QString log = store.open(m);
        for (const QString& name : taken) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), QByteArray("older copy"));
        }
        const QString copy = m->keptCopyPath();
        QVERIFY2(copy.endsWith(QLatin1String("-1")), qPrintable(copy));
        QVERIFY(taken.contains(copy.chopped(2)));
        QFile f(copy);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("garbage"));
        QVERIFY(log.contains(copy));
    }

    // When the unreadable file cannot be copied aside it is not replaced either.
    void uncopyableFileIsLeftAlone()
    {
        Store store;
        QVERIFY(QDir().mkpath(store.file())); // a folder where the file should be
        QFile inside(store.file() + QStringLiteral("/keep-me"));
        QVERIFY(inside.open(QIODevice::WriteOnly));
        inside.close();

        std::unique_ptr<AppProfileManager> m;
        const QString log = store.open(m);
        QVERIFY2(log.startsWith(kLoadFailure), qPrintable(log));
        QVERIFY2(log.contains(QLatin1String("could not be copied aside")), qPrintable(log));
        QVERIFY(brokenCopies(store).isEmpty());
        QCOMPARE(m->profiles().size(), 1);
        QVERIFY(isFreshDefault(m->profiles().first()));

        // Later edits stay in memory and the save says why it did not write.
        StdoutCapture capture;
        m->updateSlot(m->profiles().first().id, makeSlot(0, QStringLiteral("kept in memory")));
        const QString saveLog = capture.finish();
        QVERIFY2(saveLog.startsWith(kSaveFailure), qPrintable(saveLog));
        QVERIFY2(saveLog.contains(QLatin1String("could not be copied aside")), qPrintable(saveLog));
        QCOMPARE(m->profiles().first().slots[0].title, QStringLiteral("kept in memory"));
        QVERIFY(QFileInfo::exists(store.file() + QStringLiteral("/keep-me")));
    }

    void saveFailureKeepsMemory()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const QUuid id = m->profiles().first().id;
        const QByteArray saved = store.read();

        // Writing is made impossible by a folder in the file's place.
        QVERIFY(QFile::remove(store.file()));
        QVERIFY(QDir().mkpath(store.file()));
        QSignalSpy changed(m.get(), &AppProfileManager::profilesChanged);
        StdoutCapture capture;
        m->updateSlot(id, makeSlot(3, QStringLiteral("unsaved")));
        QVERIFY(!m->saveProfiles());
        const QString log = capture.finish();
        QCOMPARE(log.count(kSaveFailure), 2);
        QVERIFY2(log.startsWith(kSaveFailure), qPrintable(log));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(m->profiles().first().slots[3].title, QStringLiteral("unsaved"));

        // The next successful save writes everything.
        QVERIFY(QDir(store.file()).removeRecursively());
        QVERIFY(m->saveProfiles());
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
        QVERIFY(store.read() != saved);
    }

    void profileFor_data()
    {
        QTest::addColumn<std::optional<QString>>("bundleId");
        QTest::addColumn<int>("expected"); // position in the list
        QTest::newRow("absent") << std::optional<QString>() << 0;
        QTest::newRow("empty") << std::optional<QString>(QString()) << 0;
        QTest::newRow("known") << std::optional<QString>(QStringLiteral("org.gnome.TextEditor")) << 1;
        QTest::newRow("case differs") << std::optional<QString>(QStringLiteral("org.gnome.texteditor")) << 0;
        QTest::newRow("unknown") << std::optional<QString>(QStringLiteral("firefox")) << 0;
        QTest::newRow("first of duplicates") << std::optional<QString>(QStringLiteral("dup")) << 2;
    }

    void profileFor()
    {
        QFETCH(std::optional<QString>, bundleId);
        QFETCH(int, expected);
        Store store;
        RingProfile emptyBundle = appRing(QString(), QStringLiteral("Empty id"));
        store.write(QList<RingProfile>{
            globalRing(QStringLiteral("x")), appRing(QStringLiteral("org.gnome.TextEditor")),
            appRing(QStringLiteral("dup"), QStringLiteral("First")),
            appRing(QStringLiteral("dup"), QStringLiteral("Second")), emptyBundle});
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        QCOMPARE(m->profileFor(bundleId), m->profiles().at(expected));
        QCOMPARE(m->customProfilesCount(), 4);
    }

    void universalWithoutGlobal()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        m->setProfiles({appRing(QStringLiteral("a"))});
        const RingProfile u = m->universalProfile();
        QVERIFY(isFreshDefault(u));
        QCOMPARE(m->profiles().size(), 1); // not added
        QCOMPARE(m->profileFor(QStringLiteral("b")).isGlobalDefault(), true);
    }

    void addProfileTwice()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        QSignalSpy selection(m.get(), &AppProfileManager::selectedProfileIdChanged);
        const RingProfile first =
            m->addProfile(QStringLiteral("Files"), QStringLiteral("org.gnome.Nautilus"),
                          QStringLiteral("/usr/share/applications/org.gnome.Nautilus.desktop"));
        QCOMPARE(m->profiles().size(), 2);
        QCOMPARE(m->profiles().last(), first);
        QCOMPARE(first.name, QStringLiteral("Files"));
        QCOMPARE(first.bundleIdentifier, std::optional<QString>(QStringLiteral("org.gnome.Nautilus")));
        QVERIFY(!first.isBuiltIn);
        QCOMPARE(first.slots.size(), 8);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(first.slots[i].index, qint64(i));
            QVERIFY(first.slots[i].isEmpty());
            QVERIFY(!first.slots[i].isEnabled);
        }
        QCOMPARE(m->selectedProfileId(), std::optional(first.id));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));

        m->setSelectedProfileId(m->profiles().first().id);
        store.mark();
        const RingProfile second =
            m->addProfile(QStringLiteral("Renamed"), QStringLiteral("org.gnome.Nautilus"), std::nullopt);
        QCOMPARE(second, first); // name and icon left as they were
        QCOMPARE(m->profiles().size(), 2);
        QCOMPARE(m->selectedProfileId(), std::optional(first.id));
        QVERIFY(store.untouched());
        QCOMPARE(selection.count(), 3);
    }

    void addProfileWithEmptyBundleId()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const RingProfile added = m->addProfile(QStringLiteral("Nameless"), QString(), std::nullopt);
        QCOMPARE(added.bundleIdentifier, std::optional<QString>(QString()));
        QVERIFY(!added.appIconPath);
        QVERIFY(m->profileFor(QString()).isGlobalDefault());
        QCOMPARE(m->customProfilesCount(), 1);
        QVERIFY(!store.read().contains("appIconPath"));
    }

    void deleteRules()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const RingProfile a = m->addProfile(QStringLiteral("A"), QStringLiteral("a"), std::nullopt);
        const RingProfile b = m->addProfile(QStringLiteral("B"), QStringLiteral("b"), std::nullopt);
        const RingProfile global = m->profiles().first();

        store.mark();
        m->deleteProfile(global);
        QCOMPARE(m->profiles().size(), 3);
        QVERIFY(store.untouched());

        // A stale copy claiming the global ring's id must not remove it.
        RingProfile stale = global;
        stale.bundleIdentifier = QStringLiteral("x");
        m->deleteProfile(stale);
        QCOMPARE(m->profiles().size(), 3);
        QVERIFY(store.untouched());

        m->deleteProfile(appRing(QStringLiteral("unknown")));
        QCOMPARE(m->profiles().size(), 3);
        QVERIFY(store.untouched());

        // Not selected: the selection stays.
        QCOMPARE(m->selectedProfileId(), std::optional(b.id));
        m->deleteProfile(a);
        QCOMPARE(m->profiles(), (QList<RingProfile>{global, b}));
        QCOMPARE(m->selectedProfileId(), std::optional(b.id));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));

        m->deleteProfile(b);
        QCOMPARE(m->profiles(), QList<RingProfile>{global});
        QCOMPARE(m->selectedProfileId(), std::optional(global.id));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
    }

    void importGlobal()
    {
        Store store;
        store.write(QList<RingProfile>{globalRing(QStringLiteral("x")), appRing(QStringLiteral("a"))});
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const RingProfile before = m->profiles().first();
        m->setSelectedProfileId(m->profiles().last().id);

        RingProfile incoming = PresetProfiles::globalDefault();
        incoming.name = QStringLiteral("From file");
        incoming.appIconPath = QStringLiteral("/somewhere");
        incoming.slots.removeLast(); // taken as it comes
        QVERIFY(m->importProfile(incoming));
        const RingProfile after = m->profiles().first();
        QCOMPARE(after.slots, incoming.slots);
        QCOMPARE(after.id, before.id);
        QCOMPARE(after.name, before.name);
        QCOMPARE(after.appIconPath, before.appIconPath);
        QCOMPARE(after.isBuiltIn, before.isBuiltIn);
        QCOMPARE(m->profiles().size(), 2);
        QCOMPARE(m->selectedProfileId(), std::optional(before.id));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
    }

    void importAppRingTwice()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        RingProfile first = appRing(QStringLiteral("org.gnome.gedit"), QStringLiteral("Gedit"));
        first.isBuiltIn = true;
        QVERIFY(m->importProfile(first));
        QCOMPARE(m->profiles().size(), 2);
        const RingProfile added = m->profiles().last();
        QVERIFY(added.id != first.id);
        RingProfile expectedAdded = first;
        expectedAdded.id = added.id;
        QCOMPARE(added, expectedAdded); // everything else as received, built-in flag included
        QCOMPARE(m->selectedProfileId(), std::optional(added.id));

        m->setSelectedProfileId(m->profiles().first().id);
        const RingProfile second = appRing(QStringLiteral("org.gnome.gedit"), QStringLiteral("Text"));
        QVERIFY(m->importProfile(second));
        QCOMPARE(m->profiles().size(), 2);
        const RingProfile merged = m->profiles().last();
        QCOMPARE(merged.id, added.id);
        QCOMPARE(merged.name, QStringLiteral("Text"));
        QCOMPARE(merged.slots, second.slots);
        QCOMPARE(merged.appIconPath, first.appIconPath);
        QVERIFY(merged.isBuiltIn);
        QCOMPARE(m->selectedProfileId(), std::optional(added.id));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
    }

    // A ring whose id collides with one we have still becomes a new ring.
    void importNewRingGetsFreshId()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        RingProfile incoming = appRing(QStringLiteral("new.app"));
        incoming.id = m->profiles().first().id;
        QVERIFY(m->importProfile(incoming));
        QCOMPARE(m->profiles().size(), 2);
        QVERIFY(m->profiles().last().id != incoming.id);
        QVERIFY(m->profiles().first().isGlobalDefault());
    }

    void unknownIdsDoNothing()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const QList<RingProfile> before = m->profiles();
        QSignalSpy changed(m.get(), &AppProfileManager::profilesChanged);
        store.mark();
        m->clearAllSlots(QUuid::createUuid());
        m->updateSlot(QUuid::createUuid(), makeSlot(1, QStringLiteral("x")));
        m->setSelectedProfile(appRing(QStringLiteral("nobody")));
        m->setSelectedProfile(std::nullopt);
        QCOMPARE(m->profiles(), before);
        QCOMPARE(changed.count(), 0);
        QVERIFY(store.untouched());
    }

    void clearAndUpdate()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const RingProfile app = m->addProfile(QStringLiteral("A"), QStringLiteral("a"), std::nullopt);
        const ActionSlot slot =
            makeSlot(6, QStringLiteral("Web"), ActionType::openURL(QStringLiteral("https://x")));
        m->updateSlot(app.id, slot);
        QCOMPARE(m->profiles().last().slots[6], slot);
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
        const ActionSlot extra = makeSlot(11, QStringLiteral("Extra"));
        m->updateSlot(app.id, extra);
        QCOMPARE(m->profiles().last().slots.size(), 9);

        const QUuid globalId = m->profiles().first().id;
        const QList<ActionSlot> old = m->profiles().first().slots;
        m->clearAllSlots(globalId);
        const QList<ActionSlot> cleared = m->profiles().first().slots;
        QCOMPARE(cleared.size(), 8);
        for (int i = 0; i < 8; ++i) {
            QCOMPARE(cleared[i].index, qint64(i));
            QVERIFY(cleared[i].isEmpty());
            QVERIFY(cleared[i].id != old[i].id);
        }
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
    }

    void resetToDefaults()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        m->addProfile(QStringLiteral("A"), QStringLiteral("a"), std::nullopt);
        const QUuid oldGlobal = m->profiles().first().id;
        m->resetToDefaults();
        QCOMPARE(m->profiles().size(), 1);
        QVERIFY(isFreshDefault(m->profiles().first()));
        QVERIFY(m->profiles().first().id != oldGlobal);
        QCOMPARE(m->selectedProfileId(), std::optional(m->profiles().first().id));
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));
    }

    void publishedSettersDoNotSave()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        store.mark();
        QSignalSpy changed(m.get(), &AppProfileManager::profilesChanged);
        QSignalSpy selection(m.get(), &AppProfileManager::selectedProfileIdChanged);
        const RingProfile app = appRing(QStringLiteral("a"));
        m->setProfiles({m->profiles().first(), app});
        m->setSelectedProfileId(app.id);
        m->setSelectedProfileId(app.id);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(selection.count(), 1);
        QCOMPARE(m->selectedProfile(), app);
        QVERIFY(store.untouched());
        m->setSelectedProfileId(std::nullopt);
        QCOMPARE(m->selectedProfile(), m->profiles().first());

        // The property system sees the same values.
        QCOMPARE(m->property("profiles").value<QList<RingProfile>>(), m->profiles());
    }

    void selectedAndUniversalSetters()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const RingProfile app = m->addProfile(QStringLiteral("A"), QStringLiteral("a"), std::nullopt);
        RingProfile edited = app;
        edited.name = QStringLiteral("Edited");
        m->setSelectedProfile(edited);
        QCOMPARE(m->profiles().last(), edited);
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));

        RingProfile global = m->universalProfile();
        global.slots[0].title = QStringLiteral("Top");
        m->setUniversalProfile(global);
        QCOMPARE(m->profiles().first(), global);
        QCOMPARE(store.onDisk(), std::optional(m->profiles()));

        m->setProfiles({edited});
        RingProfile fresh = PresetProfiles::globalDefault();
        m->setUniversalProfile(fresh);
        QCOMPARE(m->profiles(), (QList<RingProfile>{fresh, edited}));
    }

    // Edits survive a restart; the selection does not.
    void restart()
    {
        Store store;
        std::unique_ptr<AppProfileManager> m;
        store.open(m);
        const RingProfile app = m->addProfile(QStringLiteral("A"), QStringLiteral("a"), QStringLiteral("/i"));
        m->updateSlot(app.id, makeSlot(4, QStringLiteral("Kept")));
        const QList<RingProfile> before = m->profiles();
        QCOMPARE(m->selectedProfileId(), std::optional(app.id));
        std::unique_ptr<AppProfileManager> again;
        QCOMPARE(store.open(again), QString());
        QCOMPARE(again->profiles(), before);
        QCOMPARE(again->selectedProfileId(), std::optional(before.first().id));
    }

    void migrationFromOldFolder_data()
    {
        QTest::addColumn<bool>("newFileExists");
        QTest::newRow("only old") << false;
        QTest::newRow("both") << true;
    }

    void migrationFromOldFolder()
    {
        QFETCH(bool, newFileExists);
        Store store;
        QDir(store.folder()).removeRecursively();
        const QString oldFolder = store.base() + QStringLiteral("/Whirlo");
        QDir().mkpath(oldFolder);
        const QList<RingProfile> oldRings{globalRing(QStringLiteral("Old")), appRing(QStringLiteral("a"))};
        store.write(encodeRingProfiles(oldRings), oldFolder + QStringLiteral("/profiles.json"));
        QList<RingProfile> newRings{globalRing(QStringLiteral("New"))};
        if (newFileExists) {
            QDir().mkpath(store.folder());
            store.write(newRings);
        }
        std::unique_ptr<AppProfileManager> m;
        QCOMPARE(store.open(m), QString());
        QCOMPARE(m->profiles(), newFileExists ? newRings : oldRings);
        QVERIFY(QFileInfo::exists(oldFolder + QStringLiteral("/profiles.json")));
        QCOMPARE(decodeRingProfiles(store.read()), std::optional(newFileExists ? newRings : oldRings));
    }

    // A store written by an earlier release, in another layout and member order.
    void legacyStoreFromOldFolder()
    {
        Store store;
        QDir(store.folder()).removeRecursively();
        QDir().mkpath(store.base() + QStringLiteral("/Whirlo"));
        QVERIFY(QFile::copy(QStringLiteral(RONDIX_SOURCE_DIR "/tests/data/rings/legacy-store.json"),
                            store.base() + QStringLiteral("/Whirlo/profiles.json")));
        std::unique_ptr<AppProfileManager> m;
        QCOMPARE(store.open(m), QString());
        QCOMPARE(m->profiles().size(), 2);
        const RingProfile global = m->profiles().at(0);
        QCOMPARE(global.id, QUuid(QStringLiteral("0C3F3A1E-6B1D-4E59-9D0A-2F6A3C1B7E01")));
        QCOMPARE(global.slots.size(), 8);
        QCOMPARE(global.slots[5].title, QStringLiteral("访达"));
        QCOMPARE(global.slots[5].action, ActionType::systemControl(SystemControlAction::openFinder));
        QCOMPARE(global.slots[1].action,
                 ActionType::shortcut(QStringLiteral("C"), 8, KeyModifiers{true, false, false, false}));
        QCOMPARE(global.slots[2].action, ActionType::pasteText(QStringLiteral("Hello,\nworld")));

        const RingProfile editor = m->profileFor(QStringLiteral("org.gnome.TextEditor"));
        QCOMPARE(editor.id, m->profiles().at(1).id);
        QCOMPARE(editor.slots.size(), 3); // stored as it was, not padded
        QCOMPARE(editor.slots[0].index, qint64(7));
        QCOMPARE(editor.slots[2].title, QStringLiteral("Undo")); // only the global ring migrates
        QCOMPARE(editor.slots[0].icon,
                 IconInfo::app(QStringLiteral("firefox"), QStringLiteral("Firefox"),
                               QStringLiteral("/usr/share/applications/firefox.desktop")));
        QVERIFY(!editor.slotAt(3));
    }

    void brokenDataFile()
    {
        Store store;
        QFile source(QStringLiteral(RONDIX_SOURCE_DIR "/tests/data/rings/store-missing-isEnabled.json"));
        QVERIFY(source.open(QIODevice::ReadOnly));
        const QByteArray content = source.readAll();
        store.write(content);
        std::unique_ptr<AppProfileManager> m;
        const QString log = store.open(m);
        QVERIFY2(log.startsWith(
                     kLoadFailure +
                     QStringLiteral("[1].slots[0].isEnabled: missing (the unreadable file was kept as ")),
                 qPrintable(log));
        QFile kept(m->keptCopyPath());
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), content);
    }

    void defaultDataDirectory()
    {
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", "/srv/data");
        QCOMPARE(AppProfileManager::defaultDataDirectory(), QStringLiteral("/srv/data"));
        qputenv("XDG_DATA_HOME", "relative/ignored");
        QCOMPARE(AppProfileManager::defaultDataDirectory(),
                 QDir::homePath() + QStringLiteral("/.local/share"));
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(AppProfileManager::defaultDataDirectory(),
                 QDir::homePath() + QStringLiteral("/.local/share"));
        if (!saved.isNull())
            qputenv("XDG_DATA_HOME", saved);
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profile_store.moc"
