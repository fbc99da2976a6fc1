// "rondix ring ...": validation of ring files, export and import through a
// ring store in a temporary $XDG_DATA_HOME.
#include "model/AppProfileManager.h"
#include "model/ModelJson.h"
#include "model/RingProfile.h"
#include "shell/RingCommand.h"

#include <memory>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

struct Result
{
    int status = -1;
    QString out;
    QString err;
};

Result ring(const QStringList& args)
{
    Result r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = runRingCommand(args, out, err);
    out.flush();
    err.flush();
    return r;
}

ActionSlot slot(qint64 index, const QString& title, const IconInfo& icon, const ActionType& action)
{
    ActionSlot s = ActionSlot::empty(index);
    s.title = title;
    s.icon = icon;
    s.action = action;
    s.isEnabled = true;
    return s;
}

// A ring using every action kind, so malformed variants can hit each shape.
RingProfile sampleRing(const std::optional<QString>& bundleId, const QString& name)
{
    KeyModifiers ctrl;
    ctrl.control = true;
    const QList<ActionSlot> slots = {
        slot(0, "Copy", IconInfo::sfSymbol("doc.on.doc.fill"), ActionType::shortcut("C", 8, ctrl)),
        slot(1, "Script", IconInfo::sfSymbol("square.stack.3d.up.fill"), ActionType::runShortcut("backup")),
        slot(2, "Sign-off", IconInfo::customImage("pen"), ActionType::pasteText("Regards,\nAnn")),
        slot(3, "Editor",
             IconInfo::app("org.gnome.TextEditor", "Text Editor", "/usr/share/applications/x.desktop"),
             ActionType::launchApp("org.gnome.TextEditor", "Text Editor",
                                   "/usr/share/applications/x.desktop")),
        slot(4, "Docs", IconInfo::sfSymbol("globe"), ActionType::openURL("https://doc.qt.io")),
        slot(5, "Lock", IconInfo::sfSymbol("lock.fill"),
             ActionType::systemControl(SystemControlAction::lockScreen)),
        slot(6, "Home", IconInfo::sfSymbol("folder"), ActionType::openPath("~")),
        ActionSlot::empty(7),
    };
    return RingProfile(QUuid::createUuid(), name, bundleId,
                       bundleId ? std::optional<QString>("/usr/share/applications/app.desktop")
                                : std::nullopt,
                       slots, false);
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QList<RingProfile> storedRings(const QString& dataHome)
{
    return decodeRingProfiles(readFile(dataHome + "/Rondix/profiles.json")).value_or(QList<RingProfile>{});
}

// Applies one change at a JSON pointer: removes the member, or sets it to `value`.
QByteArray mutated(const QByteArray& json, const QString& pointer, const QByteArray& value)
{
    ModelJson::Json doc = *ModelJson::parse(json);
    const ModelJson::Json::json_pointer ptr(pointer.toStdString());
    if (value.isNull())
        doc[ptr.parent_pointer()].erase(ptr.back());
    else
        doc[ptr] = ModelJson::Json::parse(value.toStdString());
    return ModelJson::serialize(doc, JsonLayout::Pretty);
}

} // namespace

class TestRingCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void validateAcceptsRing_data();
    void validateAcceptsRing();
    void validateNamesTheFault_data();
    void validateNamesTheFault();
    void validateRefusesNonFiles_data();
    void validateRefusesNonFiles();
    void validateSeveralFiles();

    void usage_data();
    void usage();
    void help_data();
    void help();

    void exportGlobalFromFreshStore();
    void exportFromEmptyStoreFile();
    void exportToFile();
    void exportUnknownAppFallsBackToGlobal();
    void exportRefusesDirectory();

    void importMessages_data();
    void importMessages();
    void exportImportRoundTrip();
    void importBadFileLeavesStoreAlone();
    void damagedStoreIsLeftAlone_data();
    void damagedStoreIsLeftAlone();
    void importReportsUnwritableStore();

    void realBinaryValidates();

private:
    QString file(const QString& name) const { return m_dir->filePath(name); }
    QString dataHome() const { return m_dir->filePath("data"); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRingCommand::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(dataHome()));
    qputenv("XDG_DATA_HOME", dataHome().toUtf8());
    qputenv("XDG_CONFIG_HOME", file("config").toUtf8());
}

void TestRingCommand::cleanup()
{
    m_dir.reset();
}

void TestRingCommand::validateAcceptsRing_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("warning"); // empty: none expected

    const QByteArray global = encodeRingProfile(sampleRing(std::nullopt, "Everyday"));
    QTest::newRow("global ring") << "everyday.rondix" << global << "ring \"Everyday\" (global), 8 slots"
                                 << "";
    QTest::newRow("app ring as .json")
        << "editor.json" << encodeRingProfile(sampleRing("org.gnome.gedit", "gedit"))
        << "ring \"gedit\" (org.gnome.gedit), 8 slots"
        << "";
    QTest::newRow("no extension, compact")
        << "ring" << encodeRingProfile(sampleRing(std::nullopt, "C"), JsonLayout::Compact)
        << "ring \"C\" (global), 8 slots"
        << "";
    QTest::newRow("unknown members ignored")
        << "extra.rondix" << mutated(global, "/comment", "\"hi\"") << "ring \"Everyday\" (global), 8 slots"
        << "";
    QTest::newRow("null icon path reads as absent")
        << "null.rondix" << mutated(global, "/appIconPath", "null") << "(global), 8 slots"
        << "";

    RingProfile few =
        RingProfile::fromStored(QUuid::createUuid(), "Few", "firefox", std::nullopt,
                                {ActionSlot::empty(2), ActionSlot::empty(2), ActionSlot::empty(9)}, false);
    QTest::newRow("odd slots decode with warnings")
        << "few.rondix" << encodeRingProfile(few) << "ring \"Few\" (firefox), 3 slots"
        << "sectors without a slot (shown empty): 0, 1, 3, 4, 5, 6, 7";
    QTest::newRow("duplicate sector warned") << "dup.rondix" << encodeRingProfile(few) << "3 slots"
                                             << "more than one slot (only the first is used): 2";
    QTest::newRow("out of range warned") << "out.rondix" << encodeRingProfile(few) << "3 slots"
                                         << "outside sectors 0-7 (never shown): index 9";
    RingProfile none =
        RingProfile::fromStored(QUuid::createUuid(), "Empty", std::nullopt, std::nullopt, {}, true);
    QTest::newRow("no slots") << "none.rondix" << encodeRingProfile(none)
                              << "ring \"Empty\" (global), 0 slots"
                              << "sectors without a slot";
    QTest::newRow("name kept on one line")
        << "lines.rondix" << encodeRingProfile(sampleRing(std::nullopt, "Two\nLines \"%2\""))
        << "ring \"Two\\nLines \\\"%2\\\"\" (global), 8 slots"
        << "";
    QTest::newRow("empty bundle id warned")
        << "e.rondix" << encodeRingProfile(sampleRing(QString(""), "E")) << "ring \"E\" ()"
        << "bundle identifier is empty";
}

void TestRingCommand::validateAcceptsRing()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, summary);
    QFETCH(QString, warning);

    QVERIFY(writeFile(file(fileName), bytes));
    const Result r = ring({"validate", file(fileName)});
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out.count('\n'), 1);
    QVERIFY2(r.out.startsWith(file(fileName) + ": "), qPrintable(r.out));
    QVERIFY2(r.out.contains(summary), qPrintable(r.out));
    if (warning.isEmpty())
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    else
        QVERIFY2(r.err.contains(warning), qPrintable(r.err));
    // Validation never creates a store.
    QVERIFY(!QFile::exists(dataHome() + "/Rondix/profiles.json"));
}

void TestRingCommand::validateNamesTheFault_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("fault");

    const QByteArray good = encodeRingProfile(sampleRing("org.example.App", "App"));
    const QByteArray null; // remove the member

    QTest::newRow("slot without isEnabled")
        << mutated(good, "/slots/3/isEnabled", null) << "slots[3].isEnabled: missing";
    QTest::newRow("ring without name") << mutated(good, "/name", null) << "name: missing";
    QTest::newRow("ring without isBuiltIn") << mutated(good, "/isBuiltIn", null) << "isBuiltIn: missing";
    QTest::newRow("ring without slots") << mutated(good, "/slots", null) << "slots: missing";
    QTest::newRow("isBuiltIn as text")
        << mutated(good, "/isBuiltIn", "\"true\"") << "isBuiltIn: expected true or false";
    QTest::newRow("slots not an array") << mutated(good, "/slots", "{}") << "slots";
    QTest::newRow("negative key code")
        << mutated(good, "/slots/0/action/shortcut/keyCode", "-1") << "slots[0].action.shortcut.keyCode";
    QTest::newRow("key code above 65535")
        << mutated(good, "/slots/0/action/shortcut/keyCode", "65536") << "slots[0].action.shortcut.keyCode";
    QTest::newRow("modifier missing") << mutated(good, "/slots/0/action/shortcut/modifiers/shift", null)
                                      << "slots[0].action.shortcut.modifiers.shift: missing";
    QTest::newRow("fractional index") << mutated(good, "/slots/2/index", "1.5") << "slots[2].index";
    QTest::newRow("index as text") << mutated(good, "/slots/2/index", "\"2\"") << "slots[2].index";
    QTest::newRow("icon with two cases")
        << mutated(good, "/slots/1/icon", R"({"sfSymbol": {"name": "a"}, "customImage": {"name": "b"}})")
        << "slots[1].icon: Invalid number of keys found, expected one.";
    QTest::newRow("action with no known case")
        << mutated(good, "/slots/4/action", R"({"reboot": {}})")
        << "slots[4].action: Invalid number of keys found, expected one.";
    QTest::newRow("unknown system control")
        << mutated(good, "/slots/5/action/systemControl/_0", "\"reboot\"") << "slots[5].action.systemControl";
    QTest::newRow("app icon without path")
        << mutated(good, "/slots/3/icon/app/path", null) << "slots[3].icon.app.path: missing";
    QTest::newRow("slot id not a UUID")
        << mutated(good, "/slots/6/id", "\"1234\"") << "slots[6].id: not a valid UUID";
    QTest::newRow("ring id not a UUID") << mutated(good, "/id", "\"\"") << "id: not a valid UUID";
    QTest::newRow("bundle id as number") << mutated(good, "/bundleIdentifier", "7") << "bundleIdentifier";
    QTest::newRow("not JSON") << QByteArray("name = ring\n") << "";
    QTest::newRow("truncated JSON") << good.left(good.size() / 2) << "";
    QTest::newRow("empty file") << QByteArray() << "";
    QTest::newRow("store file, not a ring") << encodeRingProfiles({sampleRing(std::nullopt, "G")})
                                            << "expected an object, found array (this is a list of rings";
}

void TestRingCommand::validateNamesTheFault()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, fault);

    QVERIFY(writeFile(file("bad.rondix"), bytes));
    const Result r = ring({"validate", file("bad.rondix")});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
    QVERIFY2(r.err.contains(file("bad.rondix") + ": not a valid ring file: " + fault), qPrintable(r.err));
    QCOMPARE(r.err.count('\n'), 1);
}

void TestRingCommand::validateRefusesNonFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("message");

    QTest::newRow("missing file") << "missing.rondix"
                                  << "missing.rondix: No such file or directory";
    QTest::newRow("directory") << "folder"
                               << "folder: is a directory";
    QTest::newRow("missing parent") << "nowhere/ring.rondix"
                                    << "No such file or directory";
    QTest::newRow("device") << "/dev/null"
                            << "/dev/null: not a regular file";
    QTest::newRow("empty name") << ""
                                << "empty file name";
}

void TestRingCommand::validateRefusesNonFiles()
{
    QFETCH(QString, path);
    QFETCH(QString, message);

    QVERIFY(QDir().mkpath(file("folder")));
    const QString arg = path.isEmpty() || path.startsWith('/') ? path : file(path);
    const Result r = ring({"validate", arg});
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
}

void TestRingCommand::validateSeveralFiles()
{
    QVERIFY(writeFile(file("a.rondix"), encodeRingProfile(sampleRing(std::nullopt, "A"))));
    QVERIFY(writeFile(file("b.rondix"), "{}"));
    QVERIFY(writeFile(file("c.rondix"), encodeRingProfile(sampleRing("x", "C"))));
    const Result r = ring({"validate", file("a.rondix"), file("b.rondix"), file("c.rondix")});
    QCOMPARE(r.status, 1);          // one bad file fails the run ...
    QCOMPARE(r.out.count('\n'), 2); // ... but every good one is still reported
    QVERIFY(r.out.contains("ring \"A\""));
    QVERIFY(r.out.contains("ring \"C\""));
    QVERIFY(r.err.contains("b.rondix: not a valid ring file: id: missing"));
}

void TestRingCommand::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");

    QTest::newRow("nothing") << QStringList{} << "missing command";
    QTest::newRow("unknown command") << QStringList{"frobnicate"} << "unknown command 'frobnicate'";
    QTest::newRow("validate without file") << QStringList{"validate"} << "validate needs a ring file";
    QTest::newRow("validate with --app")
        << QStringList{"validate", "--app", "x", "f"} << "unknown option '--app'";
    QTest::newRow("import without file") << QStringList{"import"} << "import needs a ring file";
    QTest::newRow("import two files") << QStringList{"import", "a", "b"} << "import takes one ring file";
    QTest::newRow("import with -o") << QStringList{"import", "-o", "x", "a"} << "unknown option '-o'";
    QTest::newRow("export with file") << QStringList{"export", "ring.rondix"} << "use -o FILE";
    QTest::newRow("export --app without value") << QStringList{"export", "--app"} << "'--app' needs a value";
    QTest::newRow("export -o without value") << QStringList{"export", "-o"} << "'-o' needs a value";
    QTest::newRow("export empty app") << QStringList{"export", "--app="} << "'--app' needs a non-empty value";
    QTest::newRow("export app twice")
        << QStringList{"export", "--app", "a", "--app=b"} << "'--app' given twice";
    QTest::newRow("export unknown option") << QStringList{"export", "--all"} << "unknown option '--all'";
    QTest::newRow("short option glued") << QStringList{"export", "-ofile"} << "unknown option '-ofile'";
}

void TestRingCommand::usage()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);

    const Result r = ring(args);
    QCOMPARE(r.status, 2);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.err.contains("--help"));
    // A usage error never reaches the store.
    QVERIFY(!QFile::exists(dataHome() + "/Rondix"));
}

void TestRingCommand::help_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("--help") << QStringList{"--help"};
    QTest::newRow("help") << QStringList{"help"};
    QTest::newRow("export --help") << QStringList{"export", "--help"};
    QTest::newRow("import file -h") << QStringList{"import", "x.rondix", "-h"};
}

void TestRingCommand::help()
{
    QFETCH(QStringList, args);
    const Result r = ring(args);
    QCOMPARE(r.status, 0);
    QVERIFY(r.out.startsWith("Usage: rondix ring"));
    QVERIFY(r.out.contains("validate FILE"));
    QVERIFY(r.out.contains("export [--app ID] [-o FILE]"));
    QVERIFY(r.out.contains("import FILE"));
    QVERIFY(r.err.isEmpty());
    QVERIFY(!QFile::exists(dataHome() + "/Rondix"));
}

void TestRingCommand::exportGlobalFromFreshStore()
{
    const Result r = ring({"export"});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));

    const std::optional<RingProfile> exported = decodeRingProfile(r.out.toUtf8());
    QVERIFY(exported.has_value());
    QVERIFY(exported->isGlobalDefault());
    QVERIFY(exported->isBuiltIn);
    QCOMPARE(exported->name, QStringLiteral("通用配置 (全局默认)"));
    QCOMPARE(exported->slots.size(), 8);

    // It is the stored ring, written in the store's own pretty form.
    const QList<RingProfile> stored = storedRings(dataHome());
    QCOMPARE(stored.size(), 1);
    QCOMPARE(*exported, stored.first());
    QCOMPARE(r.out.trimmed(), QString::fromUtf8(encodeRingProfile(stored.first())).trimmed());
    QVERIFY(r.out.startsWith("{\n"));
    QVERIFY(r.out.indexOf("\"id\"") < r.out.indexOf("\"name\""));
    QVERIFY(r.out.indexOf("\"name\"") < r.out.indexOf("\"slots\""));
}

void TestRingCommand::exportFromEmptyStoreFile()
{
    // An empty store file holds nothing; export starts a fresh store and its
    // output stays pure JSON.
    QVERIFY(QDir().mkpath(dataHome() + "/Rondix"));
    QVERIFY(writeFile(dataHome() + "/Rondix/profiles.json", "\n"));
    const Result r = ring({"export"});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QVERIFY2(decodeRingProfile(r.out.toUtf8()).has_value(), qPrintable(r.out));
    QCOMPARE(storedRings(dataHome()).size(), 1);
    // Read as a fresh start, not as a load failure (which keeps a copy aside).
    QCOMPARE(QDir(dataHome() + "/Rondix").entryList(QDir::Files), QStringList{"profiles.json"});
}

void TestRingCommand::exportToFile()
{
    const RingProfile imported = sampleRing("org.example.App", "Example");
    QVERIFY(writeFile(file("app.rondix"), encodeRingProfile(imported)));
    QCOMPARE(ring({"import", file("app.rondix")}).status, 0);

    const Result r = ring({"export", "--app", "org.example.App", "-o", file("out.rondix")});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
    QCOMPARE(r.out, "Exported ring \"Example\" (org.example.App) to " + file("out.rondix") + "\n");
    const std::optional<RingProfile> written = decodeRingProfile(readFile(file("out.rondix")));
    QVERIFY(written.has_value());
    QCOMPARE(written->bundleIdentifier, std::optional<QString>("org.example.App"));
    QCOMPARE(written->slots, imported.slots);
    QCOMPARE(written->appIconPath, imported.appIconPath);

    // Replacing an existing file, and the --output=FILE spelling.
    const Result again = ring({"export", "--output=" + file("out.rondix")});
    QCOMPARE(again.status, 0);
    QVERIFY(decodeRingProfile(readFile(file("out.rondix")))->isGlobalDefault());
    QVERIFY(QDir(m_dir->path()).entryList({"out.rondix*"}, QDir::Files).size() == 1); // no temp file left

    // "-o -" is standard output.
    const Result dash = ring({"export", "-o", "-"});
    QVERIFY(decodeRingProfile(dash.out.toUtf8()).has_value());
}

void TestRingCommand::exportUnknownAppFallsBackToGlobal()
{
    QVERIFY(writeFile(file("app.rondix"), encodeRingProfile(sampleRing("org.example.App", "Example"))));
    QCOMPARE(ring({"import", file("app.rondix")}).status, 0);

    // Bundle ids match exactly, letter case included.
    const Result r = ring({"export", "--app", "org.example.app"});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.err.contains("no ring of its own for org.example.app; exporting the global ring"),
             qPrintable(r.err));
    const std::optional<RingProfile> exported = decodeRingProfile(r.out.toUtf8());
    QVERIFY(exported && exported->isGlobalDefault());

    const Result own = ring({"export", "--app=org.example.App"});
    QVERIFY(own.err.isEmpty());
    QCOMPARE(decodeRingProfile(own.out.toUtf8())->name, QStringLiteral("Example"));
}

void TestRingCommand::exportRefusesDirectory()
{
    QVERIFY(QDir().mkpath(file("folder")));
    const Result r = ring({"export", "-o", file("folder")});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains("folder: is a directory"), qPrintable(r.err));

    const Result missingParent = ring({"export", "-o", file("no/such/dir/x.rondix")});
    QCOMPARE(missingParent.status, 1);
    QVERIFY2(missingParent.err.contains("cannot write"), qPrintable(missingParent.err));
}

void TestRingCommand::importMessages_data()
{
    QTest::addColumn<QString>("bundleId"); // empty: global ring
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("existingRing");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("ringCount");

    QTest::newRow("global ring") << ""
                                 << "Shared" << false
                                 << "Replaced the slots of the global ring \"通用配置 (全局默认)\"" << 1;
    QTest::newRow("new app ring") << "org.mozilla.firefox"
                                  << "Firefox" << false
                                  << "Added new ring \"Firefox\" for org.mozilla.firefox" << 2;
    QTest::newRow("known app, same name")
        << "org.mozilla.firefox"
        << "Web" << true << "Replaced ring \"Web\" for org.mozilla.firefox from" << 2;
    QTest::newRow("known app, new name")
        << "org.mozilla.firefox"
        << "Firefox ESR" << true
        << "Replaced ring \"Web\" for org.mozilla.firefox (now named \"Firefox ESR\")" << 2;
}

void TestRingCommand::importMessages()
{
    QFETCH(QString, bundleId);
    QFETCH(QString, name);
    QFETCH(bool, existingRing);
    QFETCH(QString, message);
    QFETCH(int, ringCount);

    const std::optional<QString> id = bundleId.isEmpty() ? std::nullopt : std::optional<QString>(bundleId);
    if (existingRing) {
        QVERIFY(writeFile(file("first.rondix"), encodeRingProfile(sampleRing(id, "Web"))));
        QCOMPARE(ring({"import", file("first.rondix")}).status, 0);
    } else {
        QCOMPARE(ring({"export", "-o", file("ignored.rondix")}).status, 0); // creates the store
    }
    const QList<RingProfile> before = storedRings(dataHome());

    RingProfile incoming = sampleRing(id, name);
    incoming.slots[7] = slot(7, "Mute", IconInfo::sfSymbol("speaker.slash.fill"),
                             ActionType::systemControl(SystemControlAction::mute));
    QVERIFY(writeFile(file("in.rondix"), encodeRingProfile(incoming)));
    const Result r = ring({"import", file("in.rondix")});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.startsWith(message), qPrintable(r.out));
    QVERIFY2(r.out.contains(" from " + file("in.rondix") + "; it is now the selected ring.\n"),
             qPrintable(r.out));
    QVERIFY(r.out.endsWith("A running Rondix does not see the change until it is restarted.\n"));
    QVERIFY2(r.err.isEmpty(), qPrintable(r.err));

    const QList<RingProfile> after = storedRings(dataHome());
    QCOMPARE(after.size(), ringCount);
    const RingProfile& changed = id ? after.last() : after.first();
    QCOMPARE(changed.slots, incoming.slots);
    QCOMPARE(changed.bundleIdentifier, incoming.bundleIdentifier);
    QVERIFY(changed.id != incoming.id); // the file's id never becomes an identity
    if (!id) {
        // The global ring keeps its identity and stored name.
        QCOMPARE(changed.id, before.first().id);
        QCOMPARE(changed.name, before.first().name);
        QVERIFY(changed.isBuiltIn);
    } else {
        QCOMPARE(changed.name, name);
        if (existingRing)
            QCOMPARE(changed.id, before.last().id);
    }
}

void TestRingCommand::exportImportRoundTrip()
{
    QVERIFY(writeFile(file("app.rondix"), encodeRingProfile(sampleRing("org.kde.kate", "Kate"))));
    QCOMPARE(ring({"import", file("app.rondix")}).status, 0);
    const QList<RingProfile> before = storedRings(dataHome());
    QCOMPARE(before.size(), 2);

    QCOMPARE(ring({"export", "--app", "org.kde.kate", "-o", file("kate.rondix")}).status, 0);
    QCOMPARE(ring({"export", "-o", file("global.rondix")}).status, 0);
    const Result app = ring({"import", file("kate.rondix")});
    QCOMPARE(app.status, 0);
    QVERIFY(app.out.startsWith("Replaced ring \"Kate\" for org.kde.kate from"));
    const Result global = ring({"import", file("global.rondix")});
    QCOMPARE(global.status, 0);
    QVERIFY(global.out.startsWith("Replaced the slots of the global ring"));

    // Re-importing what was exported changes nothing in the store.
    QCOMPARE(storedRings(dataHome()), before);
}

void TestRingCommand::importBadFileLeavesStoreAlone()
{
    QCOMPARE(ring({"export", "-o", file("ignored.rondix")}).status, 0);
    const QByteArray storeBefore = readFile(dataHome() + "/Rondix/profiles.json");
    QVERIFY(!storeBefore.isEmpty());

    const QByteArray good = encodeRingProfile(sampleRing("org.example.App", "App"));
    QVERIFY(writeFile(file("bad.rondix"), mutated(good, "/slots/3/isEnabled", QByteArray())));
    const Result r = ring({"import", file("bad.rondix")});
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains("not a valid ring file: slots[3].isEnabled: missing"), qPrintable(r.err));
    QCOMPARE(readFile(dataHome() + "/Rondix/profiles.json"), storeBefore);
}

void TestRingCommand::damagedStoreIsLeftAlone_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("folder");
    QTest::newRow("export") << QStringList{"export"} << "Rondix";
    QTest::newRow("import") << QStringList{"import", "GOOD"} << "Rondix";
    // The old folder is copied into place on first use: its damage counts too.
    QTest::newRow("export, old folder") << QStringList{"export", "-o", "GOOD"} << "Whirlo";
    QTest::newRow("import, old folder") << QStringList{"import", "GOOD"} << "Whirlo";
}

void TestRingCommand::damagedStoreIsLeftAlone()
{
    QFETCH(QStringList, args);
    QFETCH(QString, folder);
    args.replaceInStrings("GOOD", file("good.rondix"));
    const QByteArray goodFile = encodeRingProfile(sampleRing("a.b", "AB"));
    QVERIFY(writeFile(file("good.rondix"), goodFile));

    // A store whose one per-app ring lacks a member: loading it would reset it.
    QList<RingProfile> rings = {sampleRing(std::nullopt, "G"), sampleRing("org.x", "X")};
    const QByteArray damaged = mutated(encodeRingProfiles(rings), "/1/slots/0/isEnabled", QByteArray());
    const QString store = dataHome() + "/" + folder;
    QVERIFY(QDir().mkpath(store));
    QVERIFY(writeFile(store + "/profiles.json", damaged));

    const Result r = ring(args);
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.contains("is damaged ([1].slots[0].isEnabled: missing); it was left untouched"),
             qPrintable(r.err));
    QCOMPARE(readFile(store + "/profiles.json"), damaged);
    QCOMPARE(QDir(store).entryList(QDir::Files), QStringList{"profiles.json"});
    QCOMPARE(QDir(dataHome()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{folder});
    QCOMPARE(readFile(file("good.rondix")), goodFile);
}

void TestRingCommand::importReportsUnwritableStore()
{
    // Even root cannot create folders under /proc: the store cannot be saved.
    qputenv("XDG_DATA_HOME", "/proc/rondix-no-such-folder");
    QVERIFY(writeFile(file("app.rondix"), encodeRingProfile(sampleRing("org.example.App", "App"))));
    const Result r = ring({"import", file("app.rondix")});
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains("could not be written"), qPrintable(r.err));
    QVERIFY(!r.out.contains("now the selected ring"));
}

void TestRingCommand::realBinaryValidates()
{
    QString binary = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix");
    if (!QFile::exists(binary))
        binary = QStringLiteral(RONDIX_SOURCE_DIR "/build/bin/rondix");
    if (!QFile::exists(binary))
        QSKIP("the rondix executable has not been built");

    QVERIFY(writeFile(file("ok.rondix"), encodeRingProfile(sampleRing("org.example.App", "App"))));
    QVERIFY(writeFile(file("bad.rondix"), mutated(encodeRingProfile(sampleRing(std::nullopt, "G")),
                                                  "/slots/3/isEnabled", QByteArray())));

    // No display: the command must not need one.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(binary, {"ring", "validate", file("ok.rondix")});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QString::fromUtf8(process.readAllStandardOutput())
                .contains("ring \"App\" (org.example.App), 8 slots"));

    process.start(binary, {"ring", "validate", file("bad.rondix")});
    QVERIFY(process.waitForFinished(20000));
    QCOMPARE(process.exitCode(), 1);
    QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("slots[3].isEnabled: missing"));
}

QTEST_GUILESS_MAIN(TestRingCommand)
#include "tst_ringcommand.moc"
