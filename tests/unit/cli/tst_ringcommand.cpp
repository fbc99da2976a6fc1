// "rondix ring ...": validation of ring files, export and import through a
// ring store in a temporary $XDG_DATA_HOME.
#include "model/ModelJson.h"
#include "model/RingProfile.h"
#include "shell/RingCommand.h"
#include "TestFiles.h"

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
    QString out, err;
};

Result ring(const QStringList& args)
{
    Result r;
    QTextStream out(&r.out), err(&r.err);
    r.status = runRingCommand(args, out, err);
    out.flush();
    err.flush();
    return r;
}

// Eight slots, a shortcut at 0.
RingProfile sampleRing(const std::optional<QString>& bundleId, const QString& name)
{
    QList<ActionSlot> slots;
    for (int i = 0; i < 8; ++i)
        slots << ActionSlot::empty(i);
    slots[0].action = ActionType::shortcut("C", 8, KeyModifiers{.control = true});
    return RingProfile(QUuid::createUuid(), name, bundleId, std::nullopt, slots, false);
}

// Applies one change at a JSON pointer: removes the member (no value), or sets it.
QByteArray mutated(const QByteArray& json, const char* pointer, const QByteArray& value = {})
{
    ModelJson::Json doc = *ModelJson::parse(json);
    const ModelJson::Json::json_pointer ptr(pointer);
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

    std::unique_ptr<QTemporaryDir> m_dir;
    const QByteArray m_appRing = encodeRingProfile(sampleRing("org.example.App", "App"));
    QString file(const QString& name) const { return m_dir->filePath(name); }
    QString dataHome() const { return m_dir->filePath("data"); }
    QString storeFile() const { return dataHome() + "/Rondix/profiles.json"; }
    QList<RingProfile> storedRings() const
    {
        return decodeRingProfiles(readFile(storeFile())).value_or(QList<RingProfile>{});
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid() && QDir().mkpath(dataHome()));
        qputenv("XDG_DATA_HOME", dataHome().toUtf8());
        qputenv("XDG_CONFIG_HOME", file("config").toUtf8());
        // Never reach a Rondix running on the developer's desktop.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/rondix-test-bus");
    }

    void validate_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("summary"); // empty: the file is refused
        QTest::addColumn<QStringList>("errors");
        const auto ok = [](const char* row, const RingProfile& r, const QString& summary,
                           const QStringList& warnings = {}) {
            QTest::newRow(row) << encodeRingProfile(r) << summary << warnings;
        };
        const auto bad = [this](const char* row, const char* pointer, const QByteArray& value,
                                const QString& fault) {
            QTest::newRow(row) << mutated(m_appRing, pointer, value) << QString()
                               << QStringList{"not a valid ring file: " + fault};
        };

        ok("global", sampleRing(std::nullopt, "Everyday"), "ring \"Everyday\" (global), 8 slots");
        ok("one line", sampleRing(std::nullopt, "Two\nLines \"%2\""),
           "ring \"Two\\nLines \\\"%2\\\"\" (global), 8 slots");
        ok("empty bundle id", sampleRing(QString(""), "E"), "ring \"E\" (), 8 slots",
           {"warning: the bundle identifier is empty"});
        const QList<ActionSlot> odd = {ActionSlot::empty(2), ActionSlot::empty(2), ActionSlot::empty(8)};
        ok("odd sectors", RingProfile::fromStored(QUuid::createUuid(), "Odd", "firefox", {}, odd, false),
           "ring \"Odd\" (firefox), 3 slots",
           {"warning: sectors without a slot (shown empty): 0, 1, 3, 4, 5, 6, 7",
            "warning: sectors with more than one slot (only the first is used): 2",
            "warning: slots outside sectors 0-7 (never shown): index 8"});
        ok("no slots", RingProfile::fromStored(QUuid::createUuid(), "E", {}, {}, {}, true),
           "ring \"E\" (global), 0 slots", {"warning: sectors without a slot (shown empty): 0, 1,"});
        QTest::newRow("unknown member") << mutated(m_appRing, "/comment", "\"hi\"")
                                        << "ring \"App\" (org.example.App), 8 slots" << QStringList();

        // (Each decoding rule has its case in the model's tests; here one names its place.)
        bad("slot without isEnabled", "/slots/3/isEnabled", {}, "slots[3].isEnabled: missing");
        QTest::newRow("truncated") << m_appRing.left(200) << QString()
                                   << QStringList{"not a valid ring file: "};
        QTest::newRow("store file")
            << encodeRingProfiles({sampleRing(std::nullopt, "G")}) << QString()
            << QStringList{"not a valid ring file: expected an object, found array (this is a list of rings"};
        QTest::newRow("a list, but not of rings")
            << QByteArray("[1, 2]") << QString()
            << QStringList{"not a valid ring file: expected an object, found array\n"};

        // Found by fuzzing: numbers beyond the range of a double aborted the program.
        QTest::newRow("1e400 in a ring file")
            << corpusFile("number-overflow-in-ring.rondix") << QString()
            << QStringList{"not a valid ring file: The data is not valid JSON: line 16, column 18: number "
                           "overflow parsing '1e400'"};
        QTest::newRow("a file holding only 2E621")
            << corpusFile("number-overflow-alone.json") << QString()
            << QStringList{"not a valid ring file: The data is not valid JSON: line 1, column 5: number "
                           "overflow parsing '2E621'"};
        QTest::newRow("a list holding 2E621")
            << QByteArray("[2E621]") << QString()
            << QStringList{"not a valid ring file: The data is not valid JSON: line 1, column 6"};

        // Work is bounded, not only bytes.
        const QByteArray deep =
            m_appRing.left(m_appRing.lastIndexOf('}')) + ", \"x\": " + QByteArray(3 * 1024 * 1024, '[') + "}";
        QTest::newRow("3 MiB of nesting") << deep << QString()
                                          << QStringList{"not a valid ring file: The data is too complex to "
                                                         "decode: line 129, column 71: nested more than 64"};
        QTest::newRow("larger than any ring")
            << m_appRing + QByteArray(4 * 1024 * 1024, ' ') << QString()
            << QStringList{
                   QString("too large for a ring file (%1 bytes)").arg(m_appRing.size() + 4 * 1024 * 1024)};

        // What the file says reaches the terminal escaped and cut short.
        const QString escapes = "\x1B]0;owned\x07\x1B[2J\r\n";
        ok("escapes in name and bundle id", sampleRing("org." + escapes, escapes + "Ring"),
           "ring \"\\x1B]0;owned\\x07\\x1B[2J\\r\\nRing\" (org.\\x1B]0;owned\\x07\\x1B[2J\\r\\n), 8 slots");
        ok("long name", sampleRing(std::nullopt, QString(300, 'n')),
           "ring \"" + QString(80, 'n') + QChar(0x2026) + "\" (global), 8 slots");
        bad("escapes in a system control", "/slots/0/action", "{\"systemControl\": {\"_0\": \"\\u001b[6n\"}}",
            "slots[0].action.systemControl._0: unknown system control \"\\x1B[6n\"");
    }

    // Each file is checked next to a good one: a bad file fails the run, every good one is still reported.
    void validate()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, summary);
        QFETCH(QStringList, errors);

        QVERIFY(writeFile(file("ring.rondix"), bytes) && writeFile(file("ok.rondix"), m_appRing));
        const Result r = ring({"validate", file("ring.rondix"), file("ok.rondix")});
        QCOMPARE(r.status, summary.isEmpty() ? 1 : 0);
        QCOMPARE(r.out, (summary.isEmpty() ? QString() : file("ring.rondix") + ": " + summary + "\n") +
                            file("ok.rondix") + ": ring \"App\" (org.example.App), 8 slots\n");
        QCOMPARE(r.err.count('\n'), errors.size());
        for (const QString& error : errors)
            QVERIFY2(r.err.contains(file("ring.rondix") + ": " + error), qPrintable(r.err));
        for (const QString& text : {r.out, r.err}) {
            QVERIFY2(!text.contains(QChar(0x1B)) && !text.contains('\r'), qPrintable(text));
            QVERIFY2(text.size() < 2000, qPrintable(text.left(2000)));
        }
        QVERIFY(!QFile::exists(storeFile())); // validation never creates a store
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args"); // "DIR/" is the temporary folder
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // on stdout for status 0, else on stderr

        QTest::newRow("nothing") << QStringList{} << 2 << "missing command";
        QTest::newRow("unknown") << QStringList{"frobnicate"} << 2 << "unknown command 'frobnicate'";
        QTest::newRow("no file") << QStringList{"validate"} << 2 << "validate needs a ring file";
        QTest::newRow("export file") << QStringList{"export", "ring.rondix"} << 2 << "use -o FILE";
        QTest::newRow("-o last") << QStringList{"export", "-o"} << 2 << "option '-o' needs a value";
        QTest::newRow("empty app") << QStringList{"export", "--app="} << 2 << "'--app' needs a non-empty";
        QTest::newRow("app twice") << QStringList{"export", "--app", "a", "--app=b"} << 2 << "given twice";
        QTest::newRow("-o glued") << QStringList{"export", "-ofile"} << 2 << "unknown option '-ofile'";
        QTest::newRow("help") << QStringList{"help"} << 0 << "export [--app ID] [-o FILE]";
        QTest::newRow("file -h") << QStringList{"import", "x.rondix", "-h"} << 0 << "Usage: rondix ring";
        QTest::newRow("missing") << QStringList{"validate", "DIR/x"} << 1 << "/x: No such file or directory";
        QTest::newRow("directory") << QStringList{"import", "DIR/data"} << 1 << "data: is a directory";
        QTest::newRow("device") << QStringList{"validate", "/dev/null"} << 1 << "null: not a regular file";
        QTest::newRow("empty name") << QStringList{"validate", ""} << 1 << "empty file name";
        QTest::newRow("to dir") << QStringList{"export", "-o", "DIR/data"} << 1 << "data: is a directory";
        QTest::newRow("no such dir") << QStringList{"export", "-o", "DIR/no/x"} << 1 << "/no/x: cannot write";
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);

        const Result r = ring(args.replaceInStrings("DIR/", m_dir->path() + "/"));
        QCOMPARE(r.status, status);
        QVERIFY2((status == 0 ? r.out : r.err).contains(message), qPrintable(r.out + r.err));
        QVERIFY((status == 0 ? r.err : r.out).isEmpty());
        QCOMPARE(r.err.contains("Try 'rondix ring --help'"), status == 2);
        QVERIFY(status == 1 ||
                !QFile::exists(dataHome() + "/Rondix")); // usage and help never touch the store
    }

    // Imports say what they replace or add; rings exported and imported back change nothing.
    void importAndExportBack()
    {
        const QString fx = QStringLiteral("org.mozilla.firefox");
        const auto import = [this](const RingProfile& incoming) {
            const Result r = writeFile(file("in.rondix"), encodeRingProfile(incoming))
                                 ? ring({"import", file("in.rondix")})
                                 : Result();
            return r.status == 0 && r.err.isEmpty() ? r.out : "failed: " + r.err;
        };
        // From a fresh store: its global ring, pretty-printed in field order.
        Result r = ring({"export"});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        const RingProfile builtIn = storedRings().value(0);
        QVERIFY(builtIn.isGlobalDefault() && builtIn.isBuiltIn && builtIn.slots.size() == 8);
        QCOMPARE(r.out.trimmed(), QString::fromUtf8(encodeRingProfile(builtIn)).trimmed());
        QVERIFY(r.out.startsWith("{\n") && r.out.indexOf("\"id\"") < r.out.indexOf("\"name\""));
        QVERIFY(r.out.indexOf("\"name\"") < r.out.indexOf("\"slots\""));

        const RingProfile global = sampleRing(std::nullopt, "Shared");
        QCOMPARE(import(global), "Replaced the slots of the global ring \"通用配置 (全局默认)\" from " +
                                     file("in.rondix") + "; it is now the selected ring.\n");
        QCOMPARE(import(sampleRing(fx, "Web")).section(" from ", 0, 0), "Added new ring \"Web\" for " + fx);
        const RingProfile web = storedRings().last();
        QCOMPARE(import(sampleRing(fx, "Web")).section(" from ", 0, 0), "Replaced ring \"Web\" for " + fx);
        const RingProfile esr = sampleRing(fx, "Firefox ESR");
        QCOMPARE(import(esr).section(" from ", 0, 0),
                 "Replaced ring \"Web\" for " + fx + " (now named \"Firefox ESR\")");

        // The global ring keeps its name, the app ring its identity; a file's id is never taken.
        const QList<RingProfile> stored = storedRings();
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored[0].id, builtIn.id);
        QCOMPARE(stored[0].name, builtIn.name);
        QCOMPARE(stored[0].slots, global.slots);
        QVERIFY(stored[1].id == web.id && web.id != esr.id);
        QCOMPARE(stored[1].name, esr.name);
        QCOMPARE(stored[1].slots, esr.slots);

        r = ring({"export", "--app", fx, "-o", file("in.rondix")});
        QCOMPARE(r.out, "Exported ring \"Firefox ESR\" (org.mozilla.firefox) to " + file("in.rondix") + "\n");
        // Ids match with case: no ring of its own, so the global one.
        r = ring({"export", "--app=Org.Mozilla.Firefox", "--output=" + file("global.rondix")});
        QVERIFY2(r.err.contains("no ring of its own for Org.Mozilla.Firefox; exporting the global ring"),
                 qPrintable(r.err));
        QCOMPARE(ring({"import", file("in.rondix")}).status, 0);
        QCOMPARE(ring({"import", file("global.rondix")}).status, 0);
        QCOMPARE(storedRings(), stored);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), (QStringList{"global.rondix", "in.rondix"}));

        // A bad file is refused before the store is touched.
        const QByteArray storeBytes = readFile(storeFile());
        QVERIFY(writeFile(file("in.rondix"), mutated(m_appRing, "/slots/3/isEnabled")));
        r = ring({"import", file("in.rondix")});
        QVERIFY2(r.status == 1 && r.err.contains("ring file: slots[3].isEnabled: missing"),
                 qPrintable(r.err));
        QCOMPARE(readFile(storeFile()), storeBytes);
    }

    // Names from the file are escaped in what import reports, and so is the file's own name.
    void importReportIsEscaped()
    {
        const QString name = "file\nname\x1B[31m.rondix";
        QVERIFY(writeFile(file(name), encodeRingProfile(sampleRing("org.\x1B[2J", "\x1B]0;t\x07"))));
        Result r = ring({"import", file(name)});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, "Added new ring \"\\x1B]0;t\\x07\" for org.\\x1B[2J from " + m_dir->path() +
                            "/file\\nname\\x1B[31m.rondix; it is now the selected ring." + "\n");
        QVERIFY(writeFile(file(name), "[1e400]"));
        r = ring({"validate", file(name)});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.err.count('\n'), 1);
        QVERIFY2(r.err.startsWith("rondix ring: " + m_dir->path() + "/file\\nname\\x1B[31m.rondix: not"),
                 qPrintable(r.err));
    }

    void existingStore_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QByteArray>("store");
        QTest::addColumn<QString>("error"); // empty: succeeds

        // A store whose one per-app ring lacks a member: loading it would reset it.
        const QByteArray damaged =
            mutated(encodeRingProfiles({sampleRing(std::nullopt, "G"), sampleRing("org.x", "X")}),
                    "/1/slots/0/isEnabled");
        const QString error = "is damaged ([1].slots[0].isEnabled: missing); it was left untouched";
        QTest::newRow("export") << QStringList{"export", "-o", "GOOD"} << "Rondix" << damaged << error;
        // The old folder is copied into place on first use: its damage counts too.
        QTest::newRow("import, old folder") << QStringList{"import", "GOOD"} << "Whirlo" << damaged << error;
        // An empty file holds nothing: a fresh store, not a logged load failure that keeps a copy aside.
        QTest::newRow("empty") << QStringList{"export"} << "Rondix" << QByteArray("\n") << QString();
    }

    void existingStore()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, folder);
        QFETCH(QByteArray, store);
        QFETCH(QString, error);
        QVERIFY(writeFile(file("good.rondix"), m_appRing));
        const QString path = dataHome() + "/" + folder + "/profiles.json";
        QVERIFY(QDir().mkpath(dataHome() + "/" + folder) && writeFile(path, store));

        const Result r = ring(args.replaceInStrings("GOOD", file("good.rondix")));
        QCOMPARE(r.status, error.isEmpty() ? 0 : 1);
        if (error.isEmpty())
            QVERIFY2(r.err.isEmpty() && decodeRingProfile(r.out.toUtf8()), qPrintable(r.out + r.err));
        else
            QVERIFY2(r.out.isEmpty() && r.err.contains(error) && readFile(path) == store, qPrintable(r.err));
        QCOMPARE(QDir(dataHome() + "/" + folder).entryList(QDir::Files), QStringList{"profiles.json"});
        QCOMPARE(QDir(dataHome()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{folder});
        QCOMPARE(readFile(file("good.rondix")), m_appRing);
    }

    void importReportsUnwritableStore()
    {
        // Even root cannot create folders under /proc: the store cannot be saved.
        qputenv("XDG_DATA_HOME", "/proc/rondix-no-such-folder");
        QVERIFY(writeFile(file("app.rondix"), m_appRing));
        const Result r = ring({"import", file("app.rondix")});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains("could not be written"), qPrintable(r.err));
        QVERIFY(!r.out.contains("now the selected ring"));
    }

    void realBinaryValidates()
    {
        const QString binary = QStringLiteral(RONDIX_BINARY_DIR "/bin/rondix");
        if (!QFile::exists(binary))
            QSKIP("the rondix executable has not been built");
        QVERIFY(writeFile(file("ok.rondix"), m_appRing) &&
                writeFile(file("bad.rondix"), mutated(m_appRing, "/slots/3/isEnabled")));

        // No display: the command must not need one.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(name);
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(binary, {"ring", "validate", file("ok.rondix"), file("bad.rondix")});
        QVERIFY(process.waitForFinished(20000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardOutput().contains("ring \"App\" (org.example.App), 8 slots"));
        QVERIFY(
            process.readAllStandardError().contains("bad.rondix: not a valid ring file: slots[3].isEnabled"));
    }
};

QTEST_GUILESS_MAIN(TestRingCommand)
#include "tst_ringcommand.moc"
