#include "model/ModelJson.h"

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

    // Deep nesting inside an ignored member is skipped, not recursed into.
    void deepNestingIsHarmless()
    {
        const int depth = 200000;
        QByteArray document = encodeRingProfile(baseRing(), JsonLayout::Compact);
        document.chop(1);
        document += ",\"extra\":" + QByteArray(depth, '[') + QByteArray(depth, ']') + "}";
        QString error;
        QCOMPARE(decodeRingProfile(document, &error), std::optional(baseRing()));
        const auto tree = ModelJson::parse(document, &error);
        QVERIFY2(tree, qPrintable(error));
        QCOMPARE(ModelJson::ringProfileFromJson(*tree, &error), std::optional(baseRing()));
    }
};

QTEST_GUILESS_MAIN(TestModelJson)
#include "tst_model_json.moc"