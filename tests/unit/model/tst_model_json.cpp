#include "common/MessageText.h"
#include "model/ModelJson.h"
#include "RingDocuments.h"
#include "TestFiles.h"

#include <ctime>
#include <QFile>
#include <QTest>

using Json = nlohmann::ordered_json;

namespace {

QUuid fixedId(int n)
{
    return QUuid(QStringLiteral("6f1c2a3b-4d5e-4f60-8a7b-%1").arg(n, 12, 10, QLatin1Char('0')));
}

ActionSlot slot(qint64 index, const QString& title, const IconInfo& icon, const ActionType& action,
                bool enabled = true)
{
    return ActionSlot{QUuid::createUuid(), index, title, icon, action, enabled};
}

// A ring with known ids whose JSON the rejection cases alter.
RingProfile baseRing()
{
    RingProfile ring = PresetProfiles::globalDefault();
    ring.id = fixedId(100);
    for (int i = 0; i < ring.slots.size(); ++i)
        ring.slots[i].id = fixedId(i);
    return ring;
}

QByteArray dump(const Json& j)
{
    return QByteArray::fromStdString(j.dump());
}

// Sanitizer builds run several times slower and keep freed memory in quarantine.
#ifdef RONDIX_SANITIZED
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// CPU time of this thread, which the machine's other load does not inflate.
double threadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

bool hasControlCharacters(const QString& text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar(0x2028) || c == QChar(0x202E))
            return true;
    }
    return false;
}

} // namespace

class TestModelJson : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void roundTrip()
    {
        const auto sym = IconInfo::sfSymbol(QStringLiteral("lock.fill"));
        const auto app = IconInfo::app(QStringLiteral("firefox"), QStringLiteral("Firefox"),
                                       QStringLiteral("/usr/share/applications/firefox.desktop"));
        QList<ActionSlot> slots{
            slot(0, QStringLiteral("Copy"), sym,
                 ActionType::shortcut(QStringLiteral("C"), 0, KeyModifiers{true, false, false, false})),
            slot(1, QString(), sym, ActionType::shortcut({}, 65535, KeyModifiers{true, true, true, true})),
            slot(2, QStringLiteral("火狐"), app,
                 ActionType::launchApp(QStringLiteral("firefox"), QStringLiteral("Firefox"),
                                       QStringLiteral("/f"))),
            slot(3, QStringLiteral("スクリプト"), IconInfo::customImage(QStringLiteral("my-logo")),
                 ActionType::runShortcut(QStringLiteral("  spaced name \n"))),
            slot(4, QStringLiteral("👨‍👩‍👧 family"), sym,
                 ActionType::pasteText(QStringLiteral("a\nb\t\"q\" \\ \u0001 \u00e9\u0301 \U0001F600"))),
            slot(5, QStringLiteral("Web"), sym,
                 ActionType::openURL(QStringLiteral("https://e.org/a?b=c&d=%20"))),
            slot(6, QStringLiteral("Home"), sym, ActionType::openPath(QStringLiteral("~/Documents/"))),
            slot(7, QString(), IconInfo::sfSymbol(QString()), ActionType::none(), false),
            slot(std::numeric_limits<qint64>::min(), {}, IconInfo::app({}, {}, {}),
                 ActionType::launchApp({}, {}, {})),
            slot(std::numeric_limits<qint64>::max(), QStringLiteral("x"), sym, ActionType::none()),
        };
        for (SystemControlAction a : SystemControl::allCases())
            slots.append(slot(5, SystemControl::rawValue(a), sym, ActionType::systemControl(a)));

        QString error;
        for (const ActionSlot& value : slots) {
            QCOMPARE(decodeActionSlot(encodeActionSlot(value, JsonLayout::Compact), &error),
                     std::optional(value));
            QCOMPARE(decodeIconInfo(encodeIconInfo(value.icon), &error), std::optional(value.icon));
            QCOMPARE(decodeActionType(encodeActionType(value.action), &error), std::optional(value.action));
        }

        // Slots are taken as stored: no padding, trimming or reordering.
        const RingProfile odd = RingProfile::fromStored(QUuid::createUuid(), QStringLiteral("Editor"),
                                                        QStringLiteral("org.gnome.TextEditor"),
                                                        QStringLiteral("/icon.png"), slots, true);
        const RingProfile emptyStrings =
            RingProfile::fromStored(QUuid::createUuid(), QString(), QString(), QString(), {}, false);
        const QList<RingProfile> rings{PresetProfiles::globalDefault(), odd, emptyStrings};
        const auto back = decodeRingProfiles(encodeRingProfiles(rings), &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(*back, rings);
    }

    // The stored form other releases read: member names and order, upper-case ids, omitted optionals.
    void encodedForm_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("system") << encodeActionType(ActionType::systemControl(SystemControlAction::volumeUp))
                                << QByteArray(R"({"systemControl":{"_0":"volume_up"}})");
        const ActionSlot s{
            fixedId(7), 3, "t", IconInfo::app("a", "b", "c"), ActionType::launchApp("d", "e", "f"), true};
        QTest::newRow("slot")
            << encodeActionSlot(s, JsonLayout::Compact)
            << QByteArray(
                   R"({"id":"6F1C2A3B-4D5E-4F60-8A7B-000000000007","index":3,"title":"t","icon":{"app":{"bundleId":"a","name":"b","path":"c"}},"action":{"launchApp":{"bundleId":"d","appName":"e","path":"f"}},"isEnabled":true})");
        QTest::newRow("global ring")
            << encodeRingProfile(
                   RingProfile::fromStored(fixedId(1), "G", std::nullopt, std::nullopt, {}, true),
                   JsonLayout::Compact)
            << QByteArray(
                   R"({"id":"6F1C2A3B-4D5E-4F60-8A7B-000000000001","name":"G","slots":[],"isBuiltIn":true})");
    }

    void encodedForm()
    {
        QFETCH(QByteArray, encoded);
        QFETCH(QByteArray, expected);
        QCOMPARE(encoded, expected);
    }

    void decodeAccepts_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<ActionType>("action");
        QTest::newRow("case member beside other members")
            << QByteArray(R"({"comment": "hi", "openURL": {"url": "u", "x": {}}, "z": null})")
            << ActionType::openURL(QStringLiteral("u"));
        QTest::newRow("integral float keyCode")
            << QByteArray(
                   R"({"shortcut": {"key": "", "keyCode": 8.0, "modifiers": {"shift": true, "control": false, "option": false, "command": false}}})")
            << ActionType::shortcut(QString(), 8, KeyModifiers{false, false, false, true});
    }

    void decodeAccepts()
    {
        QFETCH(QByteArray, document);
        QFETCH(ActionType, action);
        QString error;
        QCOMPARE(decodeActionType(document, &error), std::optional(action));
    }

    void lenientRingMembers()
    {
        Json j = ModelJson::toJson(baseRing());
        j["id"] = "6f1c2a3b-4d5e-4f60-8a7b-000000000100";
        j["version"] = 3;
        j["bundleIdentifier"] = nullptr;
        j["slots"][0]["note"] = "ignored";
        QString error;
        const auto ring = decodeRingProfile(dump(j), &error);
        QVERIFY2(ring, qPrintable(error));
        QCOMPARE(*ring, baseRing());
        QVERIFY(encodeRingProfile(*ring).contains("6F1C2A3B-4D5E-4F60-8A7B-000000000100"));
    }

    void decodeRejects_data()
    {
        QTest::addColumn<QString>("pointer");
        QTest::addColumn<QByteArray>("value"); // empty: the member is removed
        QTest::addColumn<QString>("error");
        const QString many = QStringLiteral("Invalid number of keys found, expected one.");
        const QString int64 =
            QStringLiteral("expected an integer in -9223372036854775808...9223372036854775807");
        const QByteArray shortcut =
            R"({"shortcut": {"key": "C", "keyCode": %1, "modifiers": {"command": true, "option": false, "control": false, "shift": false}}})";

        QTest::newRow("slot member missing")
            << "/slots/3/isEnabled" << QByteArray() << "slots[3].isEnabled: missing";
        QTest::newRow("payload member missing")
            << "/slots/4/icon" << QByteArray(R"({"app": {"bundleId": "b", "name": "c"}})")
            << "slots[4].icon.app.path: missing";
        QTest::newRow("bool as string") << "/slots/5/isEnabled" << QByteArray(R"("true")")
                                        << "slots[5].isEnabled: expected true or false, found string";
        QTest::newRow("keyCode 65536")
            << "/slots/1/action" << QByteArray(shortcut).replace("%1", "65536")
            << "slots[1].action.shortcut.keyCode: expected an integer in 0...65535, found 65536";
        QTest::newRow("keyCode -1")
            << "/slots/1/action" << QByteArray(shortcut).replace("%1", "-1")
            << "slots[1].action.shortcut.keyCode: expected an integer in 0...65535, found -1";
        QTest::newRow("index fraction")
            << "/slots/2/index" << QByteArray("1.5") << "slots[2].index: " + int64 + ", found 1.5";
        QTest::newRow("index beyond int64") << "/slots/2/index" << QByteArray("9223372036854775808")
                                            << "slots[2].index: " + int64 + ", found 9223372036854775808";
        QTest::newRow("union without case")
            << "/slots/0/action" << QByteArray("{}") << "slots[0].action: " + many;
        QTest::newRow("union with two cases")
            << "/slots/1/icon" << QByteArray(R"({"sfSymbol": {"name": "a"}, "customImage": {"name": "b"}})")
            << "slots[1].icon: " + many;
        QTest::newRow("unknown system control")
            << "/slots/0/action/systemControl/_0" << QByteArray(R"("volumeUp")")
            << R"(slots[0].action.systemControl._0: unknown system control "volumeUp")";
        QTest::newRow("uuid with braces")
            << "/id" << QByteArray(R"("{6F1C2A3B-4D5E-4F60-8A7B-000000000100}")")
            << R"(id: not a valid UUID: "{6F1C2A3B-4D5E-4F60-8A7B-000000000100}")";
    }

    void decodeRejects()
    {
        QFETCH(QString, pointer);
        QFETCH(QByteArray, value);
        QFETCH(QString, error);
        Json j = ModelJson::toJson(baseRing());
        const Json::json_pointer ptr(pointer.toStdString());
        if (value.isEmpty())
            j.at(ptr.parent_pointer()).erase(ptr.back());
        else
            j[ptr] = Json::parse(value.toStdString());
        QString got;
        QVERIFY(!decodeRingProfile(dump(j), &got));
        QCOMPARE(got, error);
        // In a list the place names the ring too, and nothing at all is read.
        QVERIFY(!decodeRingProfiles(dump(Json::array({ModelJson::toJson(baseRing()), j})), &got));
        QCOMPARE(got, QStringLiteral("[1].") + error);
        // Market packages embed a ring in a larger document.
        QVERIFY(!ModelJson::ringProfileFromJson(j, &got, QStringLiteral("package")));
        QCOMPARE(got, QStringLiteral("package.") + error);
    }

    void malformedBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("truncated") << QByteArray("[{\"id\": \"6F1C2A3B");
        QTest::newRow("trailing garbage") << QByteArray("[] x");
        QTest::newRow("invalid UTF-8") << QByteArray("[\"\xff\xfe\"]");
        QTest::newRow("lone surrogate escape") << QByteArray("[\"\\ud800\"]");
    }

    void malformedBytes()
    {
        QFETCH(QByteArray, bytes);
        QString error;
        QVERIFY(!decodeRingProfiles(bytes, &error));
        QVERIFY2(error.startsWith(QLatin1String("The data is not valid JSON: ")), qPrintable(error));
        QVERIFY(!decodeRingProfile(bytes, &error));
        QVERIFY(!decodeIconInfo(bytes, &error));
    }

    // A ring file shared by another user.
    void exchangeFile()
    {
        QFile file(QStringLiteral(RONDIX_SOURCE_DIR "/tests/data/rings/app-ring.rondix"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString error;
        const auto ring = decodeRingProfile(file.readAll(), &error);
        QVERIFY2(ring, qPrintable(error));
        QVERIFY(ring->bundleIdentifier && !ring->appIconPath && ring->slots.size() == 8);
        QCOMPARE(ring->slots[5].action, ActionType::pasteText(QStringLiteral("Best regards,\n— Ana")));
        QVERIFY(ring->slots[7].isVolumeAction());
        QCOMPARE(decodeRingProfile(encodeRingProfile(*ring)), ring);
    }

    // Nesting and size within the limits are read, ignored members included.
    void limitsAdmitRealDocuments_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::newRow("nested 64 levels in an ignored member")
            << withExtraMember(QByteArray(63, '[') + QByteArray(63, ']'), baseRing());
        QTest::newRow("a string as large as the file may be")
            << filledTo(kRingJsonLimits.maxBytes, "\"", "x", "\"", baseRing());
        QTest::newRow("20,000 values in an ignored member")
            << withExtraMember("[" + QByteArray("0,").repeated(19999) + "0]", baseRing());
    }

    void limitsAdmitRealDocuments()
    {
        QFETCH(QByteArray, document);
        QVERIFY(document.size() <= kRingJsonLimits.maxBytes);
        QString error;
        QCOMPARE(decodeRingProfile(document, &error), std::optional(baseRing()));
        const auto tree = ModelJson::parse(document, &error);
        QVERIFY2(tree, qPrintable(error));
        QCOMPARE(ModelJson::ringProfileFromJson(*tree, &error), std::optional(baseRing()));
    }

    void largeRingWithinLimits()
    {
        // Thousands of slots, far more than any real ring: still one ring.
        RingProfile ring = baseRing();
        QList<ActionSlot> slots;
        for (int i = 0; i < 3000; ++i)
            slots << slot(
                i % 8, QStringLiteral("Slot %1").arg(i), IconInfo::sfSymbol(QStringLiteral("doc")),
                ActionType::shortcut(QStringLiteral("C"), 8, KeyModifiers{true, false, false, true}));
        ring = RingProfile::fromStored(ring.id, ring.name, std::nullopt, std::nullopt, slots, false);
        QString error;
        const auto back = decodeRingProfile(encodeRingProfile(ring), &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(back->slots.size(), 3000);
    }

    // Documents made to cost time and memory: refused quickly and cheaply,
    // whatever the decoder would have ignored.
    void hostileDocuments_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("error");
        const qsizetype size = kRingJsonLimits.maxBytes;
        const QString complex = QStringLiteral("The data is too complex to decode: line 1, column ");
        QTest::newRow("nested 65 levels")
            << withExtraMember(QByteArray(64, '[') + QByteArray(64, ']'), baseRing())
            << complex + "1814: nested more than 64 levels deep";
        QTest::newRow("4 MiB of opening brackets")
            << filledTo(size, "", "[", "", baseRing()) << complex + "1814: nested more than 64 levels deep";
        QTest::newRow("4 MiB of numbers")
            << filledTo(size, "[", "0,", "0]", baseRing()) << "more than 131072 values";
        QTest::newRow("4 MiB of empty arrays")
            << filledTo(size, "[", "[],", "[]]", baseRing()) << "more than 131072 values";
        QTest::newRow("4 MiB of members")
            << filledTo(size, "{", "\"k\":{},", "\"k\":{}}", baseRing()) << "more than 131072 values";
        QByteArray distinct = "{";
        for (int i = 0; distinct.size() < size - 2000; ++i)
            distinct += "\"k" + QByteArray::number(i) + "\":0,";
        distinct += "\"end\":0}";
        QTest::newRow("4 MiB of distinct members")
            << withExtraMember(distinct, baseRing()) << "more than 131072 values";
        QTest::newRow("4 MiB of short strings")
            << filledTo(size, "[", "\"ab\",", "\"\"]", baseRing()) << "more than 131072 values";
        QTest::newRow("one byte too many")
            << filledTo(size + 1, "\"", "x", "\"", baseRing())
            << "The data is too large to decode: 4194305 bytes, at most 4194304";
        QTest::newRow("32 MiB of opening brackets")
            << filledTo(32 * 1024 * 1024, "", "[", "", baseRing())
            << "The data is too large to decode: 33554432 bytes, at most 4194304";
    }

    void hostileDocuments()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, error);
        QString got;
        const double start = threadCpuMs();
        QVERIFY(!decodeRingProfile(document, &got));
        const double spent = threadCpuMs() - start;
        QVERIFY2(got.startsWith(error) || got.endsWith(error), qPrintable(got));
        QVERIFY(!ModelJson::parse(document, &got));
        QVERIFY2(got.startsWith(error) || got.endsWith(error), qPrintable(got));
        QVERIFY(!decodeIconInfo(document) && !decodeActionSlot(document) && !decodeActionType(document));

        QVERIFY2(spent < (kSanitized ? 500 : 100), qPrintable(QStringLiteral("%1 ms").arg(spent)));
        if (kSanitized)
            return;
        const long peak = peakMemoryKiB([&] { (void)decodeRingProfile(document); });
        const long treePeak = peakMemoryKiB([&] { (void)ModelJson::parse(document); });
        QVERIFY(peak >= 0 && treePeak >= 0);
        QVERIFY2(peak < 8 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(peak)));
        QVERIFY2(treePeak < 16 * 1024, qPrintable(QStringLiteral("%1 KiB").arg(treePeak)));
    }

    // Numbers beyond the range of a double are malformed input like any other:
    // reported with their place, never thrown at the caller.
    void numberOverflow_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("error");
        QTest::newRow("1e400 in an ignored member of a ring file")
            << corpusFile("number-overflow-in-ring.rondix")
            << "line 16, column 18: number overflow parsing '1e400'";
        QTest::newRow("a file holding only 2E621") << corpusFile("number-overflow-alone.json")
                                                   << "line 1, column 5: number overflow parsing '2E621'";
        QTest::newRow("negative, as a slot index") << QByteArray(R"({"slots": [{"index": -1.5e309}]})")
                                                   << "line 1, column 29: number overflow parsing '-1.5e309'";
        QTest::newRow("400 digits") << QByteArray("[" + QByteArray(400, '9') + "]")
                                    << "line 1, column 401: number overflow parsing '" +
                                           QString(80, QLatin1Char('9')) + QChar(0x2026) + "'";
    }

    void numberOverflow()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, error);
        const QString expected = QStringLiteral("The data is not valid JSON: ") + error;
        QString got;
        QVERIFY(!decodeRingProfile(document, &got));
        QCOMPARE(got, expected);
        QVERIFY(!decodeRingProfiles(document, &got));
        QCOMPARE(got, expected);
        QVERIFY(!ModelJson::parse(document, &got));
        QCOMPARE(got, expected);
        QVERIFY(!decodeIconInfo(document) && !decodeActionSlot(document) && !decodeActionType(document));
    }

    // Text from a file shows in errors with control characters escaped and cut
    // at 80 characters, so it can neither drive a terminal nor break a log line.
    void valuesInErrorsAreEscaped_data()
    {
        QTest::addColumn<QString>("pointer");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error");
        const QString uuid = QStringLiteral("id: not a valid UUID: ");
        const QString control = QStringLiteral("slots[0].action.systemControl._0: unknown system control ");
        const QString systemControl = QStringLiteral("/slots/0/action/systemControl/_0");
        QTest::newRow("terminal title and clear screen")
            << "/id" << QStringLiteral("\x1B]0;owned\x07\x1B[2J") << uuid + "\"\\x1B]0;owned\\x07\\x1B[2J\"";
        QTest::newRow("line breaks") << systemControl << QStringLiteral("a\nb\r\tc\u2028d")
                                     << control + "\"a\\nb\\r\\tc\\u2028d\"";
        QTest::newRow("8-bit control sequence introducer")
            << systemControl << QStringLiteral("\u009B31mred\u007F") << control + "\"\\x9B31mred\\x7F\"";
        QTest::newRow("right-to-left override")
            << systemControl << QStringLiteral("\u202Eexe.txt") << control + "\"\\u202Eexe.txt\"";
        QTest::newRow("quotes and backslashes")
            << systemControl << QStringLiteral("a\"b\\n") << control + "\"a\\\"b\\\\n\"";
        QTest::newRow("long value") << systemControl << QString(5000, QLatin1Char('v'))
                                    << control + '"' + QString(80, QLatin1Char('v')) + QChar(0x2026) + '"';
        QTest::newRow("long value of emoji, never split")
            << "/id" << QStringLiteral("😀").repeated(100)
            << uuid + '"' + QStringLiteral("😀").repeated(80) + QChar(0x2026) + '"';
        QTest::newRow("80 characters are not cut")
            << "/id" << QString(80, QLatin1Char('i')) << uuid + '"' + QString(80, QLatin1Char('i')) + '"';
    }

    void valuesInErrorsAreEscaped()
    {
        QFETCH(QString, pointer);
        QFETCH(QString, value);
        QFETCH(QString, error);
        Json j = ModelJson::toJson(baseRing());
        j[Json::json_pointer(pointer.toStdString())] = value.toStdString();
        QString got;
        QVERIFY(!decodeRingProfile(dump(j), &got));
        QCOMPARE(got, error);
        QVERIFY(!hasControlCharacters(got));
    }

    // What the JSON parser quotes from malformed input is escaped and cut too.
    void malformedInputInErrors_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("quoted"); // the input as the error quotes it
        QTest::newRow("raw control character in a string")
            << QByteArray("[\"a\x1B[31m\"]") << "last read: '\"a<U+001B>'";
        QTest::newRow("long string with a raw line break")
            << QByteArray("[\"" + QByteArray(3000, 's') + "\n\"]")
            << "last read: '\"" + QString(79, QLatin1Char('s')) + QChar(0x2026) + "'";
        QTest::newRow("8-bit control sequence introducer in a string")
            << QByteArray("[\"\xC2\x9B\x01\"]") << "last read: '\"\\x9B<U+0001>'";
        QTest::newRow("long literal")
            << QByteArray("[" + QByteArray(3000, '1') + "x]") << "number overflow parsing '";
    }

    void malformedInputInErrors()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, quoted);
        QString got;
        QVERIFY(!decodeRingProfile(document, &got));
        QVERIFY2(got.startsWith(QLatin1String("The data is not valid JSON: line 1, column ")),
                 qPrintable(got));
        QVERIFY2(got.contains(quoted), qPrintable(got));
        QVERIFY2(!hasControlCharacters(got) && got.size() < 300, qPrintable(got));
        QString treeError;
        QVERIFY(!ModelJson::parse(document, &treeError));
        QCOMPARE(treeError, got);
    }

    void messageText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("quoted");
        QTest::addColumn<QString>("controls"); // controlsEscaped()
        QTest::newRow("plain") << "Files"
                               << "\"Files\""
                               << "Files";
        QTest::newRow("empty") << ""
                               << "\"\""
                               << "";
        QTest::newRow("all C0 escapes")
            << QStringLiteral("\x00\x01\n\r\t\x1F") << "\"\\x00\\x01\\n\\r\\t\\x1F\""
            << "\\x00\\x01\\n\\r\\t\\x1F";
        QTest::newRow("DEL and C1") << QStringLiteral("\x7F\u0080\u009F\u00A0")
                                    << QStringLiteral("\"\\x7F\\x80\\x9F\u00A0\"")
                                    << QStringLiteral("\\x7F\\x80\\x9F\u00A0");
        QTest::newRow("separators and bidi")
            << QStringLiteral("\u2028\u2029\u202A\u2066\u200F") << "\"\\u2028\\u2029\\u202A\\u2066\\u200F\""
            << "\\u2028\\u2029\\u202A\\u2066\\u200F";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << "\"\\uD800\""
                                        << "\\uD800";
        QTest::newRow("backslash kept by controlsEscaped") << "C:\\x1B"
                                                           << "\"C:\\\\x1B\""
                                                           << "C:\\x1B";
        QTest::newRow("joiners and accents kept")
            << QStringLiteral("👨‍👩‍👧 é") << QStringLiteral("\"👨‍👩‍👧 é\"")
            << QStringLiteral("👨‍👩‍👧 é");
        QTest::newRow("81 characters")
            << QString(81, QLatin1Char('a')) << '"' + QString(80, QLatin1Char('a')) + QChar(0x2026) + '"'
            << QString(81, QLatin1Char('a'));
    }

    void messageText()
    {
        QFETCH(QString, text);
        QFETCH(QString, quoted);
        QFETCH(QString, controls);
        QCOMPARE(messageQuoted(text), quoted);
        QCOMPARE(controlsEscaped(text), controls);
    }
};

QTEST_GUILESS_MAIN(TestModelJson)
#include "tst_model_json.moc"