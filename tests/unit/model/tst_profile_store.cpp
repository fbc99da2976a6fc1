#include "model/AppProfileManager.h"
#include "model/ModelJson.h"
#include "StdoutCapture.h"
#include "TestFiles.h"

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <QDateTime>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <sys/resource.h>
#include <unistd.h>

using Json = nlohmann::ordered_json;

namespace {

const QString kLoadFailure =
    QStringLiteral("[AppProfileManager] Failed to load custom profiles, resetting to defaults: ");
const QString kSaveFailure = QStringLiteral("[AppProfileManager] Failed to save profiles: ");

ActionSlot makeSlot(qint64 index, const QString& title)
{
    return ActionSlot{QUuid::createUuid(),          index, title, IconInfo::sfSymbol(QStringLiteral("star")),
                      ActionType::pasteText(title), true};
}

RingProfile appRing(const QString& bundleId, const QString& name = QStringLiteral("App"))
{
    QList<ActionSlot> slots;
    for (qint64 i = 0; i < 8; ++i)
        slots.append(makeSlot(i, name + QString::number(i)));
    return RingProfile(QUuid::createUuid(), name, bundleId, QStringLiteral("/icons/") + bundleId, slots,
                       false);
}

bool isFreshDefault(const RingProfile& ring)
{
    RingProfile expected = PresetProfiles::globalDefault();
    expected.id = ring.id;
    for (int i = 0; i < expected.slots.size() && i < ring.slots.size(); ++i)
        expected.slots[i].id = ring.slots[i].id;
    return ring == expected;
}

// One private data folder per test, and the manager reading it.
struct Store
{
    QTemporaryDir dir;
    std::unique_ptr<AppProfileManager> m;
    QString folder() const { return dir.filePath(QStringLiteral("Rondix")); }
    QString file() const { return folder() + QStringLiteral("/profiles.json"); }

    void write(const QByteArray& bytes, QString path = {}) const
    {
        QVERIFY(writeFile(path.isEmpty() ? file() : path, bytes));
    }
    void write(const QList<RingProfile>& rings) const { write(encodeRingProfiles(rings)); }
    QByteArray read(const QString& path = {}) const { return readFile(path.isEmpty() ? file() : path); }
    std::optional<QList<RingProfile>> onDisk() const { return decodeRingProfiles(read()); }
    // (Re)starts the manager and returns what it logged while loading.
    QString open()
    {
        return captureStdout([&] { m = std::make_unique<AppProfileManager>(dir.path()); });
    }
};

} // namespace

class TestProfileStore : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CONFIG_HOME", m_config.path().toUtf8());
        // Debug output would land in the captured log lines.
        QLoggingCategory::setFilterRules(QStringLiteral("rondix.*.debug=false"));
    }

    void startsWithGlobalRing_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QList<RingProfile>>("appRings");
        const QList<RingProfile> apps{appRing(QStringLiteral("firefox")), appRing(QStringLiteral("gedit"))};
        QTest::newRow("first start") << QByteArray() << QList<RingProfile>{};
        QTest::newRow("empty array") << QByteArray(" [ ] ") << QList<RingProfile>{};
        QTest::newRow("only app rings") << encodeRingProfiles(apps) << apps;
    }

    // The global ring is put in front when missing; only a missing or empty store is written.
    void startsWithGlobalRing()
    {
        QFETCH(QByteArray, content);
        QFETCH(QList<RingProfile>, appRings);
        Store s;
        if (!content.isNull())
            s.write(content);
        QCOMPARE(s.open(), QString());
        QCOMPARE(s.m->profiles().size(), appRings.size() + 1);
        QVERIFY(isFreshDefault(s.m->profiles().first()));
        QCOMPARE(s.m->profiles().mid(1), appRings);
        QCOMPARE(s.m->selectedProfileId(), std::optional(s.m->profiles().first().id));
        QVERIFY(s.m->keptCopyPath().isEmpty());
        if (appRings.isEmpty())
            QCOMPARE(s.onDisk(), std::optional(s.m->profiles()));
        else
            QCOMPARE(s.read(), content); // repaired in memory only
    }

    void undoMigration_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("migrated");
        QTest::newRow("Undo") << QStringLiteral("Undo") << true;
        QTest::newRow("撤销") << QStringLiteral("撤销") << true;
        QTest::newRow("lower-case undo") << QStringLiteral("undo") << false;
    }

    void undoMigration()
    {
        QFETCH(QString, title);
        QFETCH(bool, migrated);
        Store s;
        RingProfile appWithUndo = appRing(QStringLiteral("gedit"));
        appWithUndo.slots[5].title = QStringLiteral("Undo");
        RingProfile global = PresetProfiles::globalDefault();
        global.slots[5] = makeSlot(5, title);
        s.write(QList<RingProfile>{appWithUndo, global});
        const QByteArray before = s.read();

        QCOMPARE(s.open(), QString());
        const QList<RingProfile> loaded = s.m->profiles();
        QCOMPARE(loaded.size(), 2);
        QCOMPARE(loaded[0], appWithUndo); // only the global ring migrates
        QCOMPARE(s.read(), before);
        RingProfile expected = global;
        if (migrated) {
            QVERIFY(loaded[1].slots[5].id != global.slots[5].id);
            expected.slots[5] = ActionSlot{loaded[1].slots[5].id,
                                           5,
                                           QStringLiteral("访达"),
                                           IconInfo::sfSymbol(QStringLiteral("folder.fill")),
                                           ActionType::systemControl(SystemControlAction::openFinder),
                                           true};
        }
        QCOMPARE(loaded[1], expected);
    }

    void unreadableFileIsKept_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("earlierCopies");
        Json ring = ModelJson::toJson(appRing(QStringLiteral("firefox")));
        ring["slots"][3].erase("isEnabled");
        QTest::newRow("slot without isEnabled")
            << QByteArray::fromStdString(
                   Json::array({ModelJson::toJson(PresetProfiles::globalDefault()), ring}).dump(2))
            << false;
        QTest::newRow("truncated, earlier copies") << QByteArray("[{\"id\": ") << true;
    }

    // The unreadable file is copied aside under a new name before the default ring replaces it.
    void unreadableFileIsKept()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, earlierCopies);
        Store s;
        s.write(content);
        QStringList taken;
        for (int sec = 0; earlierCopies && sec <= 2; ++sec) { // the clock may tick while loading
            taken << s.file() + QStringLiteral(".broken-") +
                         QDateTime::currentDateTime().addSecs(sec).toString(
                             QStringLiteral("yyyyMMdd-HHmmss"));
            s.write(QByteArray("older copy"), taken.last());
        }
        const QString log = s.open();

        const QString copy = s.m->keptCopyPath();
        const QString name = QStringLiteral("^%1\\.broken-\\d{8}-\\d{6}%2$")
                                 .arg(QRegularExpression::escape(s.file()), earlierCopies ? "-1" : "");
        QVERIFY2(QRegularExpression(name).match(copy).hasMatch(), qPrintable(copy));
        QCOMPARE(s.read(copy), content);
        for (const QString& older : taken)
            QCOMPARE(s.read(older), QByteArray("older copy"));
        QString error;
        QVERIFY(!decodeRingProfiles(content, &error));
        QCOMPARE(log,
                 kLoadFailure + error + QStringLiteral(" (the unreadable file was kept as ") + copy + ")\n");
        QVERIFY(s.m->profiles().size() == 1 && isFreshDefault(s.m->profiles().first()));
        QCOMPARE(s.onDisk(), std::optional(s.m->profiles()));
    }

    // When the unreadable file cannot be copied aside it is not replaced either.
    void uncopyableFileIsLeftAlone()
    {
        Store s;
        s.write(QByteArray("mine"), s.file() + QStringLiteral("/keep-me")); // a folder in the file's place
        const QString log = s.open();
        QVERIFY2(log.startsWith(kLoadFailure) && log.contains(QLatin1String("could not be copied aside")),
                 qPrintable(log));
        QCOMPARE(QDir(s.folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
        QVERIFY(isFreshDefault(s.m->profiles().first()));

        // Later edits stay in memory and the save says why it did not write.
        const QString saveLog = captureStdout(
            [&] { s.m->updateSlot(s.m->profiles().first().id, makeSlot(0, QStringLiteral("in memory"))); });
        QVERIFY2(saveLog.startsWith(kSaveFailure) &&
                     saveLog.contains(QLatin1String("could not be copied aside")),
                 qPrintable(saveLog));
        QCOMPARE(s.m->profiles().first().slots[0].title, QStringLiteral("in memory"));
        QCOMPARE(s.read(s.file() + QStringLiteral("/keep-me")), QByteArray("mine"));
    }

    // The blocked state is published for the tray and the settings window, and it
    // ends once the file in the way is gone or can be copied aside.
    void saveBlockedPath_data()
    {
        QTest::addColumn<QString>("change"); // what happens to the folder in the file's place
        QTest::addColumn<bool>("unblocks");
        QTest::newRow("left in place") << "none" << false;
        QTest::newRow("moved away by the user") << "move" << true;
        QTest::newRow("replaced by an unreadable file") << "file" << true;
    }

    void saveBlockedPath()
    {
        QFETCH(QString, change);
        QFETCH(bool, unblocks);
        Store s;
        s.write(QByteArray("mine"), s.file() + QStringLiteral("/keep-me"));
        s.open();
        QCOMPARE(s.m->saveBlockedPath(), s.file());
        QCOMPARE(s.m->property("saveBlockedPath").toString(), s.file());
        QSignalSpy changed(s.m.get(), &AppProfileManager::saveBlockedPathChanged);
        captureStdout(
            [&] { s.m->updateSlot(s.m->profiles().first().id, makeSlot(0, QStringLiteral("edited"))); });
        QCOMPARE(changed.count(), 0);

        if (change == QLatin1String("move")) {
            QVERIFY(QDir().rename(s.file(), s.folder() + QStringLiteral("/moved")));
        } else if (change == QLatin1String("file")) {
            QVERIFY(QDir(s.file()).removeRecursively());
            s.write(QByteArray("not json"));
        }
        bool saved = false;
        captureStdout([&] { saved = s.m->saveProfiles(); });
        QCOMPARE(saved, unblocks);
        QCOMPARE(changed.count(), unblocks ? 1 : 0);
        QCOMPARE(s.m->saveBlockedPath(), unblocks ? QString() : s.file());
        if (!unblocks)
            return;
        // The edit made while blocked is what lands on disk; an unreadable file was copied first.
        QCOMPARE(s.onDisk()->first().slots[0].title, QStringLiteral("edited"));
        QCOMPARE(s.m->keptCopyPath().isEmpty(), change == QLatin1String("move"));
        if (change == QLatin1String("file"))
            QCOMPARE(s.read(s.m->keptCopyPath()), QByteArray("not json"));
    }

    void saveFailureKeepsMemoryAndFile_data()
    {
        QTest::addColumn<int>("appRings");
        QTest::newRow("small store") << 0;
        QTest::newRow("store beyond the 16 KiB write buffer") << 12;
    }

    void saveFailureKeepsMemoryAndFile()
    {
        QFETCH(int, appRings);
        Store s;
        QList<RingProfile> rings{PresetProfiles::globalDefault()};
        for (int i = 0; i < appRings; ++i)
            rings.append(appRing(QString::number(i)));
        s.write(rings);
        const QByteArray saved = s.read();
        s.open();

        // No file may grow beyond 512 bytes, as on a full disk: every write of the store fails.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit small{512, limit.rlim_max};
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        bool result = true;
        bool imported = true;
        const QString log = captureStdout([&] {
            s.m->updateSlot(rings[0].id, makeSlot(3, QStringLiteral("unsaved")));
            result = s.m->saveProfiles();
            imported = s.m->importProfile(appRing(QStringLiteral("late")));
        });
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0);

        QCOMPARE(s.m->profiles().first().slots[3].title, QStringLiteral("unsaved"));
        QCOMPARE(s.read(), saved);
        QVERIFY(!result);
        QVERIFY(!imported);
        QCOMPARE(log.count(kSaveFailure), 3);
        QCOMPARE(QDir(s.folder()).entryList(QDir::Files), QStringList{QStringLiteral("profiles.json")});
    }

    void profileFor_data()
    {
        QTest::addColumn<std::optional<QString>>("bundleId");
        QTest::addColumn<int>("expected"); // position in the list
        QTest::newRow("absent") << std::optional<QString>() << 0;
        QTest::newRow("empty") << std::optional<QString>(QString()) << 0;
        QTest::newRow("known") << std::optional<QString>(QStringLiteral("org.gnome.TextEditor")) << 1;
        QTest::newRow("case differs") << std::optional<QString>(QStringLiteral("org.gnome.texteditor")) << 0;
    }

    void profileFor()
    {
        QFETCH(std::optional<QString>, bundleId);
        QFETCH(int, expected);
        Store s;
        s.write(QList<RingProfile>{PresetProfiles::globalDefault(),
                                   appRing(QStringLiteral("org.gnome.TextEditor")),
                                   appRing(QString(), QStringLiteral("Empty id"))});
        s.open();
        QCOMPARE(s.m->profileFor(bundleId), s.m->profiles().at(expected));
    }

    void addProfileTwice()
    {
        Store s;
        s.open();
        const RingProfile first = s.m->addProfile(
            QStringLiteral("Files"), QStringLiteral("org.gnome.Nautilus"), QStringLiteral("/files.desktop"));
        QCOMPARE(s.m->profiles().last(), first);
        QVERIFY(first.name == QStringLiteral("Files") && !first.isBuiltIn);
        for (int i = 0; i < 8; ++i)
            QVERIFY(first.slots[i].index == i && first.slots[i].isEmpty() && !first.slots[i].isEnabled);
        QCOMPARE(s.m->selectedProfileId(), std::optional(first.id));
        QCOMPARE(s.open(), QString()); // the ring survives a restart, the selection does not
        QCOMPARE(s.m->profiles().last(), first);
        QCOMPARE(s.m->selectedProfileId(), std::optional(s.m->profiles().first().id));

        const QByteArray before = s.read();
        const RingProfile second =
            s.m->addProfile(QStringLiteral("Renamed"), QStringLiteral("org.gnome.Nautilus"), std::nullopt);
        QCOMPARE(second, first); // name and icon left as they were
        QCOMPARE(s.m->profiles().size(), 2);
        QCOMPARE(s.m->selectedProfileId(), std::optional(first.id));
        QCOMPARE(s.read(), before);
    }

    void deleteRules()
    {
        Store s;
        s.open();
        const RingProfile a = s.m->addProfile(QStringLiteral("A"), QStringLiteral("a"), std::nullopt);
        const RingProfile b = s.m->addProfile(QStringLiteral("B"), QStringLiteral("b"), std::nullopt);
        const RingProfile global = s.m->profiles().first();
        const QByteArray before = s.read();

        s.m->deleteProfile(global);
        // A stale copy claiming the global ring's id must not remove it.
        RingProfile stale = global;
        stale.bundleIdentifier = QStringLiteral("x");
        s.m->deleteProfile(stale);
        QCOMPARE(s.m->profiles().size(), 3);
        QCOMPARE(s.read(), before);

        s.m->deleteProfile(a); // not selected: the selection stays
        QCOMPARE(s.m->profiles(), (QList<RingProfile>{global, b}));
        QCOMPARE(s.m->selectedProfileId(), std::optional(b.id));
        s.m->deleteProfile(b);
        QCOMPARE(s.m->profiles(), QList<RingProfile>{global});
        QCOMPARE(s.m->selectedProfileId(), std::optional(global.id));
        QCOMPARE(s.onDisk(), std::optional(s.m->profiles()));
    }

    void importRules()
    {
        Store s;
        s.write(QList<RingProfile>{PresetProfiles::globalDefault()});
        s.open();
        const RingProfile global = s.m->profiles().first();

        // A global ring only brings its slots, taken as they come.
        RingProfile incoming = PresetProfiles::globalDefault();
        incoming.name = QStringLiteral("From file");
        incoming.appIconPath = QStringLiteral("/somewhere");
        incoming.slots.removeLast();
        QVERIFY(s.m->importProfile(incoming));
        RingProfile expected = global;
        expected.slots = incoming.slots;
        QCOMPARE(s.m->profiles(), QList<RingProfile>{expected});

        // A new app ring is appended with a fresh id, even when its id collides with one we have.
        RingProfile first = appRing(QStringLiteral("org.gnome.gedit"), QStringLiteral("Gedit"));
        first.id = global.id;
        QVERIFY(s.m->importProfile(first));
        const RingProfile added = s.m->profiles().last();
        QVERIFY(added.id != global.id);
        first.id = added.id;
        QCOMPARE(added, first);
        QCOMPARE(s.m->selectedProfileId(), std::optional(added.id));

        // A known application keeps its ring's id and icon, and takes the new name and slots.
        s.m->setSelectedProfileId(global.id);
        RingProfile second = appRing(QStringLiteral("org.gnome.gedit"), QStringLiteral("Text"));
        second.appIconPath = QStringLiteral("/other");
        QVERIFY(s.m->importProfile(second));
        RingProfile merged = added;
        merged.name = second.name;
        merged.slots = second.slots;
        QCOMPARE(s.m->profiles(), (QList<RingProfile>{expected, merged}));
        QCOMPARE(s.m->selectedProfileId(), std::optional(added.id));
        QCOMPARE(s.onDisk(), std::optional(s.m->profiles()));
    }

    // Earlier releases kept the store under the old product name; it is copied, never moved.
    void migrationFromOldFolder_data()
    {
        QTest::addColumn<bool>("newFileExists");
        QTest::newRow("only old") << false;
        QTest::newRow("both") << true;
    }

    void migrationFromOldFolder()
    {
        QFETCH(bool, newFileExists);
        Store s;
        const QString oldFile = s.dir.filePath(QStringLiteral("Whirlo/profiles.json"));
        // Written by an earlier release, in another layout and member order.
        const QByteArray old =
            s.read(QStringLiteral(RONDIX_SOURCE_DIR "/tests/data/rings/legacy-store.json"));
        s.write(old, oldFile);
        const QList<RingProfile> newRings{PresetProfiles::globalDefault()};
        if (newFileExists)
            s.write(newRings);
        QCOMPARE(s.open(), QString());
        QCOMPARE(s.read(oldFile), old);
        if (newFileExists) {
            QCOMPARE(s.m->profiles(), newRings);
            return;
        }
        QCOMPARE(s.read(), old);
        QCOMPARE(s.m->profiles()[0].id, QUuid(QStringLiteral("0C3F3A1E-6B1D-4E59-9D0A-2F6A3C1B7E01")));
        QCOMPARE(s.m->profiles()[0].slots[5].title, QStringLiteral("访达")); // was 撤销
        const RingProfile editor = s.m->profileFor(QStringLiteral("org.gnome.TextEditor"));
        QCOMPARE(editor.slots.size(), 3);                        // as stored, not padded
        QCOMPARE(editor.slots[2].title, QStringLiteral("Undo")); // only the global ring migrates
    }
};

QTEST_GUILESS_MAIN(TestProfileStore)
#include "tst_profile_store.moc"