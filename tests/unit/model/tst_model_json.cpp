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

// A ring with known ids whose JSON the rejection cases mutate.
RingProfile baseRing()
{
    RingProfile ring = PresetProfiles::globalDefault();
    ring.id = fixedId(100);
    for (int i = 0; i < ring.slots.size(); ++i)
        ring.slots[i].id = fixedId(i);
    return ring;
}

Json json(const QByteArray& text)
{
    return Json::parse(text.toStdString());
}

QByteArray mutated(const QString& pointer, const QString& op, const QByteArray& value)
{
    Json j = ModelJson::toJson(baseRing());
    const Json::json_pointer ptr(pointer.toStdString());
    if (op == QLatin1String("remove"))
        j.at(ptr.parent_pointer()).erase(ptr.back());
    else
        j[ptr] = json(value);
    return QByteArray::fromStdString(j.dump());
}

const QByteArray kShortcut = R"({"shortcut": {"key": "C", "keyCode": 8,
    "modifiers": {"command": true, "option": false, "control": false, "shift": false}}})";

} // namespace

class TestModelJson : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void slotRoundTrip_data()
    {
        QTest::addColumn<ActionSlot>("value");
        const auto sym = IconInfo::sfSymbol(QStringLiteral("lock.fill"));
        QTest::newRow("symbol, shortcut")
            << slot(0, QStringLiteral("Copy"), sym,
                    ActionType::shortcut(QStringLiteral("C"), 8, KeyModifiers{true, false, false, false}));
        QTest::newRow("keyCode bounds, all flags") << slot(
            1, QString(), sym, ActionType::shortcut(QString(), 65535, KeyModifiers{true, true, true, true}));
        QTest::newRow("keyCode zero")
            << slot(1, QStringLiteral("a"), sym, ActionType::shortcut(QStringLiteral("A"), 0, {}));
        QTest::newRow("app icon, launch")
            << slot(2, QStringLiteral("火狐"),
                    IconInfo::app(QStringLiteral("firefox"), QStringLiteral("Firefox"),
                                  QStringLiteral("/usr/share/applications/firefox.desktop")),
                    ActionType::launchApp(QStringLiteral("firefox"), QStringLiteral("Firefox"),
                                          QStringLiteral("/usr/share/applications/firefox.desktop")));
        QTest::newRow("custom image, run shortcut")
            << slot(3, QStringLiteral("スクリプト"), IconInfo::customImage(QStringLiteral("my-logo")),
                    ActionType::runShortcut(QStringLiteral("  spaced name \n")));
        QTest::newRow("paste multi-line unicode")
            << slot(4, QStringLiteral("👨‍👩‍👧 family"), sym,
                    ActionType::pasteText(
                        QStringLiteral("line 1\nline 2\t\"quoted\" \\ back\u0001 \u00e9\u0301 \U0001F600")));
        QTest::newRow("open url") << slot(
            5, QStringLiteral("Web"), sym,
            ActionType::openURL(QStringLiteral("https://example.org/a?b=c&d=%20")));
        QTest::newRow("open path") << slot(6, QStringLiteral("Home"), sym,
                                           ActionType::openPath(QStringLiteral("~/Documents/")));
        QTest::newRow("none, disabled")
            << slot(7, QString(), IconInfo::sfSymbol(QString()), ActionType::none(), false);
        QTest::newRow("empty strings everywhere")
            << slot(0, QString(), IconInfo::app(QString(), QString(), QString()),
                    ActionType::launchApp(QString(), QString(), QString()));
        QTest::newRow("negative index") << slot(-3, QStringLiteral("x"), sym, ActionType::none());
        QTest::newRow("huge index") << slot(std::numeric_limits<qint64>::max(), QStringLiteral("x"), sym,
                                            ActionType::none());
        QTest::newRow("lowest index")
            << slot(std::numeric_limits<qint64>::min(), QStringLiteral("x"), sym, ActionType::none());
        for (SystemControlAction a : SystemControl::allCases())
            QTest::newRow(qPrintable(QStringLiteral("system ") + SystemControl::rawValue(a)))
                << slot(5, SystemControl::rawValue(a), IconInfo::sfSymbol(SystemControl::defaultSymbol(a)),
                        ActionType::systemControl(a));
    }

    void slotRoundTrip()
    {
        QFETCH(ActionSlot, value);
        for (JsonLayout layout : {JsonLayout::Pretty, JsonLayout::Compact}) {
            QString error;
            const auto back = decodeActionSlot(encodeActionSlot(value, layout), &error);
            QVERIFY2(back, qPrintable(error));
            QCOMPARE(*back, value);
        }
        QCOMPARE(decodeIconInfo(encodeIconInfo(value.icon)), std::optional(value.icon));
        QCOMPARE(decodeActionType(encodeActionType(value.action)), std::optional(value.action));
    }

    void ringRoundTrip_data()
    {
        QTest::addColumn<RingProfile>("ring");
        QTest::newRow("default") << PresetProfiles::globalDefault();
        RingProfile app(QUuid::createUuid(), QStringLiteral("Text Editor"),
                        QStringLiteral("org.gnome.TextEditor"),
                        QStringLiteral("/usr/share/applications/org.gnome.TextEditor.desktop"), {}, false);
        QTest::newRow("app ring") << app;
        RingProfile noIcon = app;
        noIcon.appIconPath.reset();
        QTest::newRow("app ring without icon path") << noIcon;
        RingProfile emptyStrings = app;
        emptyStrings.bundleIdentifier = QString();
        emptyStrings.appIconPath = QString();
        emptyStrings.name = QString();
        QTest::newRow("present but empty optionals") << emptyStrings;
        // Decoding takes slots as stored: no padding, trimming or reordering.
        RingProfile odd = app;
        odd.slots = {
            slot(9, QStringLiteral("b"), IconInfo::sfSymbol(QStringLiteral("x")), ActionType::none()),
            slot(9, QStringLiteral("a"), IconInfo::sfSymbol(QStringLiteral("x")), ActionType::none()),
            slot(-1, QStringLiteral("c"), IconInfo::sfSymbol(QStringLiteral("x")), ActionType::none())};
        QTest::newRow("odd slots") << odd;
        RingProfile none = app;
        none.slots.clear();
        QTest::newRow("no slots") << none;
        RingProfile builtInApp = app;
        builtInApp.isBuiltIn = true;
        QTest::newRow("built-in app ring") << builtInApp;
    }

    void ringRoundTrip()
    {
        QFETCH(RingProfile, ring);
        QString error;
        const auto back = decodeRingProfile(encodeRingProfile(ring), &error);
        QVERIFY2(back, qPrintable(error));
        QCOMPARE(*back, ring);

        const QList<RingProfile> list{ring, PresetProfiles::globalDefault(), ring};
        const auto listBack = decodeRingProfiles(encodeRingProfiles(list), &error);
        QVERIFY2(listBack, qPrintable(error));
        QCOMPARE(*listBack, list);
    }

    void encodedForm_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("none") << encodeActionType(ActionType::none()) << QByteArray(R"({"none":{}})");
        QTest::newRow("system") << encodeActionType(ActionType::systemControl(SystemControlAction::volumeUp))
                                << QByteArray(R"({"systemControl":{"_0":"volume_up"}})");
        QTest::newRow("shortcut member order")
            << encodeActionType(
                   ActionType::shortcut(QStringLiteral("V"), 9, KeyModifiers{false, true, false, true}))
            << QByteArray(
                   R"({"shortcut":{"key":"V","keyCode":9,"modifiers":{"command":false,"option":true,"control":false,"shift":true}}})");
        QTest::newRow("launch order")
            << encodeActionType(ActionType::launchApp("a", "b", "c"))
            << QByteArray(R"({"launchApp":{"bundleId":"a","appName":"b","path":"c"}})");
        QTest::newRow("app icon order") << encodeIconInfo(IconInfo::app("a", "b", "c"))
                                        << QByteArray(R"({"app":{"bundleId":"a","name":"b","path":"c"}})");
        QTest::newRow("custom image")
            << encodeIconInfo(IconInfo::customImage("n")) << QByteArray(R"({"customImage":{"name":"n"}})");
        QTest::newRow("unicode kept as UTF-8")
            << encodeActionType(ActionType::pasteText(QStringLiteral("访达 😀")))
            << QStringLiteral(R"({"pasteText":{"content":"访达 😀"}})").toUtf8();
        const ActionSlot s{
            fixedId(7), 3, QStringLiteral("t"), IconInfo::sfSymbol("a"), ActionType::openURL("u"), true};
        QTest::newRow("slot: order, upper-case id")
            << encodeActionSlot(s, JsonLayout::Compact)
            << QByteArray(
                   R"({"id":"6F1C2A3B-4D5E-4F60-8A7B-000000000007","index":3,"title":"t","icon":{"sfSymbol":{"name":"a"}},"action":{"openURL":{"url":"u"}},"isEnabled":true})");
        RingProfile global = RingProfile::fromStored(fixedId(1), "G", std::nullopt, std::nullopt, {}, true);
        QTest::newRow("global ring omits optionals")
            << encodeRingProfile(global, JsonLayout::Compact)
            << QByteArray(
                   R"({"id":"6F1C2A3B-4D5E-4F60-8A7B-000000000001","name":"G","slots":[],"isBuiltIn":true})");
        RingProfile app =
            RingProfile::fromStored(fixedId(2), "A", QStringLiteral("x.y"), std::nullopt, {}, false);
        QTest::newRow("app ring without icon path")
            << encodeRingProfile(app, JsonLayout::Compact)
            << QByteArray(
                   R"({"id":"6F1C2A3B-4D5E-4F60-8A7B-000000000002","name":"A","bundleIdentifier":"x.y","slots":[],"isBuiltIn":false})");
        app.appIconPath = QStringLiteral("/p");
        QTest::newRow("app ring with icon path")
            << encodeRingProfile(app, JsonLayout::Compact)
            << QByteArray(
                   R"({"id":"6F1C2A3B-4D5E-4F60-8A7B-000000000002","name":"A","bundleIdentifier":"x.y","appIconPath":"/p","slots":[],"isBuiltIn":false})");
    }

    void encodedForm()
    {
        QFETCH(QByteArray, encoded);
        QFETCH(QByteArray, expected);
        QCOMPARE(encoded, expected);
    }

    // Pretty output: one member per line, indented, in field order.
    void prettyLayout()
    {
        const RingProfile ring = baseRing();
        const QList<QByteArray> lines = encodeRingProfile(ring).split('\n');
        QCOMPARE(lines.first(), QByteArray("{"));
        QCOMPARE(lines.at(1).trimmed(), QByteArray(R"("id": "6F1C2A3B-4D5E-4F60-8A7B-000000000100",)"));
        QVERIFY(lines.at(1).startsWith("  "));
        QCOMPARE(lines.at(2).trimmed(), QStringLiteral(R"x("name": "通用配置 (全局默认)",)x").toUtf8());
        QCOMPARE(lines.at(3).trimmed(), QByteArray(R"("slots": [)"));
        QCOMPARE(lines.last(), QByteArray("}"));
        QCOMPARE(lines.at(lines.size() - 2).trimmed(), QByteArray(R"("isBuiltIn": true)"));
        const QByteArray slotsArray = encodeRingProfiles({ring});
        QVERIFY(slotsArray.startsWith("[\n  {\n    \"id\""));
    }

    void decodeAccepts_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<ActionType>("action");
        QTest::newRow("none") << QByteArray(R"({"none": {}})") << ActionType::none();
        QTest::newRow("none with extra payload members")
            << QByteArray(R"({"none": {"x": 1}})") << ActionType::none();
        QTest::newRow("volume up") << QByteArray(R"({"systemControl": {"_0": "volume_up"}})")
                                   << ActionType::systemControl(SystemControlAction::volumeUp);
        QTest::newRow("case member beside other members")
            << QByteArray(R"({"comment": "hi", "openURL": {"url": "u", "x": 2}, "z": null})")
            << ActionType::openURL(QStringLiteral("u"));
        QTest::newRow("keyCode max")
            << QByteArray(
                   R"({"shortcut": {"key": "", "keyCode": 65535, "modifiers": {"shift": true, "control": false, "option": false, "command": false}}})")
            << ActionType::shortcut(QString(), 65535, KeyModifiers{false, false, false, true});
        QTest::newRow("integral float keyCode")
            << QByteArray(
                   R"({"shortcut": {"key": "", "keyCode": 8.0, "modifiers": {"shift": false, "control": false, "option": false, "command": false}}})")
            << ActionType::shortcut(QString(), 8, KeyModifiers{});
        QTest::newRow("escaped unicode")
            << QByteArray(R"({"pasteText": {"content": "\u8bbf\u8fbe \ud83d\ude00"}})")
            << ActionType::pasteText(QStringLiteral("访达 😀"));
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF{\"none\":{}}") << ActionType::none();
    }

    void decodeAccepts()
    {
        QFETCH(QByteArray, document);
        QFETCH(ActionType, action);
        QString error;
        const auto decoded = decodeActionType(document, &error);
        QVERIFY2(decoded, qPrintable(error));
        QCOMPARE(*decoded, action);
    }

    void ringOptionalMembers_data()
    {
        QTest::addColumn<QString>("member");
        QTest::addColumn<QByteArray>("value"); // empty: member removed
        QTest::addColumn<std::optional<QString>>("read");
        QTest::newRow("bundle null") << "bundleIdentifier" << QByteArray("null") << std::optional<QString>();
        QTest::newRow("bundle absent") << "bundleIdentifier" << QByteArray() << std::optional<QString>();
        QTest::newRow("bundle empty")
            << "bundleIdentifier" << QByteArray(R"("")") << std::optional<QString>(QString());
        QTest::newRow("icon null") << "appIconPath" << QByteArray("null") << std::optional<QString>();
        QTest::newRow("icon set") << "appIconPath" << QByteArray(R"("/a b")")
                                  << std::optional<QString>(QStringLiteral("/a b"));
    }

    void ringOptionalMembers()
    {
        QFETCH(QString, member);
        QFETCH(QByteArray, value);
        QFETCH(std::optional<QString>, read);
        Json j = ModelJson::toJson(baseRing());
        j["bundleIdentifier"] = "org.example";
        j["appIconPath"] = "/icon";
        if (value.isEmpty())
            j.erase(member.toStdString());
        else
            j[member.toStdString()] = json(value);
        QString error;
        const auto ring = decodeRingProfile(QByteArray::fromStdString(j.dump()), &error);
        QVERIFY2(ring, qPrintable(error));
        QCOMPARE(member == QLatin1String("bundleIdentifier") ? ring->bundleIdentifier : ring->appIconPath,
                 read);
    }

    void acceptsLowerCaseIdAndExtraMembers()
    {
        Json j = ModelJson::toJson(baseRing());
        j["id"] = "6f1c2a3b-4d5e-4f60-8a7b-000000000100";
        j["version"] = 3;
        j["slots"][0]["note"] = "ignored";
        const auto ring = decodeRingProfile(QByteArray::fromStdString(j.dump()));
        QVERIFY(ring);
        QCOMPARE(*ring, baseRing());
        // Written back in canonical upper case.
        QVERIFY(encodeRingProfile(*ring).contains("6F1C2A3B-4D5E-4F60-8A7B-000000000100"));
    }

    void decodeRejects_data()
    {
        QTest::addColumn<QString>("pointer");
        QTest::addColumn<QString>("op");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("error");
        const QString many = QStringLiteral("Invalid number of keys found, expected one.");

        QTest::newRow("slot without isEnabled") << "/slots/3/isEnabled"
                                                << "remove" << QByteArray() << "slots[3].isEnabled: missing";
        QTest::newRow("slot without id") << "/slots/0/id"
                                         << "remove" << QByteArray() << "slots[0].id: missing";
        QTest::newRow("slot without index") << "/slots/7/index"
                                            << "remove" << QByteArray() << "slots[7].index: missing";
        QTest::newRow("slot without title") << "/slots/2/title"
                                            << "remove" << QByteArray() << "slots[2].title: missing";
        QTest::newRow("slot without icon") << "/slots/2/icon"
                                           << "remove" << QByteArray() << "slots[2].icon: missing";
        QTest::newRow("slot without action") << "/slots/2/action"
                                             << "remove" << QByteArray() << "slots[2].action: missing";
        QTest::newRow("ring without id") << "/id"
                                         << "remove" << QByteArray() << "id: missing";
        QTest::newRow("ring without name") << "/name"
                                           << "remove" << QByteArray() << "name: missing";
        QTest::newRow("ring without slots") << "/slots"
                                            << "remove" << QByteArray() << "slots: missing";
        QTest::newRow("ring without isBuiltIn") << "/isBuiltIn"
                                                << "remove" << QByteArray() << "isBuiltIn: missing";

        QTest::newRow("two action cases")
            << "/slots/0/action"
            << "set" << QByteArray(R"({"none": {}, "openURL": {"url": "x"}})") << "slots[0].action: " + many;
        QTest::newRow("empty action object") << "/slots/0/action"
                                             << "set" << QByteArray("{}") << "slots[0].action: " + many;
        QTest::newRow("only unknown member")
            << "/slots/0/action"
            << "set" << QByteArray(R"({"nothing": {}})") << "slots[0].action: " + many;
        QTest::newRow("case name with other case")
            << "/slots/0/action"
            << "set" << QByteArray(R"({"NONE": {}, "OpenURL": {"url": "x"}})") << "slots[0].action: " + many;
        QTest::newRow("icon with sfSymbol and app")
            << "/slots/1/icon"
            << "set"
            << QByteArray(
                   R"({"sfSymbol": {"name": "a"}, "app": {"bundleId": "b", "name": "c", "path": "d"}})")
            << "slots[1].icon: " + many;
        QTest::newRow("action is a string")
            << "/slots/0/action"
            << "set" << QByteArray(R"("none")") << "slots[0].action: expected an object, found string";
        QTest::newRow("none with null payload") << "/slots/0/action"
                                                << "set" << QByteArray(R"({"none": null})")
                                                << "slots[0].action.none: expected an object, found null";
        QTest::newRow("system control payload not object")
            << "/slots/0/action"
            << "set" << QByteArray(R"({"systemControl": "volume_up"})")
            << "slots[0].action.systemControl: expected an object, found string";
        QTest::newRow("system control without _0")
            << "/slots/0/action"
            << "set" << QByteArray(R"({"systemControl": {}})") << "slots[0].action.systemControl._0: missing";
        QTest::newRow("unknown system control")
            << "/slots/0/action/systemControl/_0"
            << "set" << QByteArray(R"("volumeUp")")
            << R"(slots[0].action.systemControl._0: unknown system control "volumeUp")";
        QTest::newRow("app icon without path")
            << "/slots/4/icon"
            << "set" << QByteArray(R"({"app": {"bundleId": "b", "name": "c"}})")
            << "slots[4].icon.app.path: missing";
        QTest::newRow("symbol name not a string")
            << "/slots/4/icon/sfSymbol/name"
            << "set" << QByteArray("7") << "slots[4].icon.sfSymbol.name: expected a string, found number";
        QTest::newRow("paste without content")
            << "/slots/2/action/pasteText/content"
            << "remove" << QByteArray() << "slots[2].action.pasteText.content: missing";

        auto shortcutWith = [](const char* from, const char* to) {
            QByteArray doc = kShortcut;
            doc.replace(from, to);
            return doc;
        };
        QTest::newRow("keyCode negative")
            << "/slots/1/action"
            << "set" << shortcutWith("8", "-1")
            << "slots[1].action.shortcut.keyCode: expected an integer in 0...65535, found -1";
        QTest::newRow("keyCode too large")
            << "/slots/1/action"
            << "set" << shortcutWith("8", "65536")
            << "slots[1].action.shortcut.keyCode: expected an integer in 0...65535, found 65536";
        QTest::newRow("keyCode fraction")
            << "/slots/1/action"
            << "set" << shortcutWith("8", "8.5")
            << "slots[1].action.shortcut.keyCode: expected an integer in 0...65535, found 8.5";
        QTest::newRow("keyCode string")
            << "/slots/1/action"
            << "set" << shortcutWith("8", "\"8\"")
            << "slots[1].action.shortcut.keyCode: expected an integer in 0...65535, found string";
        QTest::newRow("modifier missing") << "/slots/1/action"
                                          << "set" << shortcutWith(R"(, "shift": false)", "")
                                          << "slots[1].action.shortcut.modifiers.shift: missing";
        QTest::newRow("modifier as number")
            << "/slots/1/action"
            << "set" << shortcutWith(R"("command": true)", R"("command": 1)")
            << "slots[1].action.shortcut.modifiers.command: expected true or false, found number";
        QTest::newRow("modifiers not object")
            << "/slots/1/action"
            << "set" << QByteArray(R"({"shortcut": {"key": "C", "keyCode": 8, "modifiers": []}})")
            << "slots[1].action.shortcut.modifiers: expected an object, found array";

        QTest::newRow("index fraction")
            << "/slots/2/index"
            << "set" << QByteArray("1.5")
            << "slots[2].index: expected an integer in -9223372036854775808...9223372036854775807, found 1.5";
        QTest::newRow("index string") << "/slots/2/index"
                                      << "set" << QByteArray(R"("2")")
                                      << "slots[2].index: expected an integer in "
                                         "-9223372036854775808...9223372036854775807, found string";
        QTest::newRow("index beyond int64")
            << "/slots/2/index"
            << "set" << QByteArray("9223372036854775808")
            << "slots[2].index: expected an integer in -9223372036854775808...9223372036854775807, found "
               "9223372036854775808";
        QTest::newRow("isEnabled as string")
            << "/slots/5/isEnabled"
            << "set" << QByteArray(R"("true")") << "slots[5].isEnabled: expected true or false, found string";
        QTest::newRow("title null") << "/slots/0/title"
                                    << "set" << QByteArray("null")
                                    << "slots[0].title: expected a string, found null";
        QTest::newRow("isBuiltIn null")
            << "/isBuiltIn"
            << "set" << QByteArray("null") << "isBuiltIn: expected true or false, found null";
        QTest::newRow("bundle id a number")
            << "/bundleIdentifier"
            << "set" << QByteArray("5") << "bundleIdentifier: expected a string, found number";
        QTest::newRow("slots an object")
            << "/slots"
            << "set" << QByteArray("{}") << "slots: expected an array, found object";
        QTest::newRow("slot a number")
            << "/slots/4"
            << "set" << QByteArray("3") << "slots[4]: expected an object, found number";

        QTest::newRow("uuid garbage")
            << "/slots/6/id"
            << "set" << QByteArray(R"("not-a-uuid")") << R"(slots[6].id: not a valid UUID: "not-a-uuid")";
        QTest::newRow("uuid with braces")
            << "/id"
            << "set" << QByteArray(R"("{6F1C2A3B-4D5E-4F60-8A7B-000000000100}")")
            << R"(id: not a valid UUID: "{6F1C2A3B-4D5E-4F60-8A7B-000000000100}")";
        QTest::newRow("uuid non-hex") << "/id"
                                      << "set" << QByteArray(R"("6F1C2A3B-4D5E-4F60-8A7B-00000000010G")")
                                      << R"(id: not a valid UUID: "6F1C2A3B-4D5E-4F60-8A7B-00000000010G")";
        QTest::newRow("uuid short") << "/id"
                                    << "set" << QByteArray(R"("6F1C2A3B-4D5E-4F60-8A7B-00000000010")")
                                    << R"(id: not a valid UUID: "6F1C2A3B-4D5E-4F60-8A7B-00000000010")";
        QTest::newRow("uuid without hyphens")
            << "/id"
            << "set" << QByteArray(R"("6F1C2A3B4D5E4F608A7B000000000100xxxx")")
            << R"(id: not a valid UUID: "6F1C2A3B4D5E4F608A7B000000000100xxxx")";
        QTest::newRow("uuid a number") << "/id"
                                       << "set" << QByteArray("42") << "id: expected a string, found number";
    }

    void decodeRejects()
    {
        QFETCH(QString, pointer);
        QFETCH(QString, op);
        QFETCH(QByteArray, value);
        QFETCH(QString, error);
        const QByteArray document = mutated(pointer, op, value);
        QString got;
        QVERIFY(!decodeRingProfile(document, &got));
        QCOMPARE(got, error);

        // Inside a store file the place names the ring too, and nothing is read.
        Json list = Json::array();
        list.push_back(ModelJson::toJson(baseRing()));
        list.push_back(json(document));
        QVERIFY(!decodeRingProfiles(QByteArray::fromStdString(list.dump()), &got));
        QCOMPARE(got, QStringLiteral("[1].") + error);
    }

    void documentShape_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("ringError");
        QTest::addColumn<QString>("listError");
        QTest::newRow("array for a ring")
            << QByteArray("[]") << "expected an object, found array" << QString();
        QTest::newRow("object for a list") << QByteArray("{}") << "id: missing"
                                           << "expected an array, found object";
        QTest::newRow("null") << QByteArray("null") << "expected an object, found null"
                              << "expected an array, found null";
        QTest::newRow("list of numbers") << QByteArray("[1]") << "expected an object, found array"
                                         << "[0]: expected an object, found number";
    }

    void documentShape()
    {
        QFETCH(QByteArray, document);
        QFETCH(QString, ringError);
        QFETCH(QString, listError);
        QString error;
        QVERIFY(!decodeRingProfile(document, &error));
        QCOMPARE(error, ringError);
        const auto list = decodeRingProfiles(document, &error);
        if (listError.isEmpty()) {
            QVERIFY(list);
            QVERIFY(list->isEmpty());
        } else {
            QVERIFY(!list);
            QCOMPARE(error, listError);
        }
    }

    void malformedBytes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("whitespace") << QByteArray(" \n ");
        QTest::newRow("truncated") << QByteArray(R"([{"id": "6F1C2A3B)");
        QTest::newRow("trailing comma") << QByteArray("[1,]");
        QTest::newRow("trailing garbage") << QByteArray("[] x");
        QTest::newRow("two documents") << QByteArray("[] []");
        QTest::newRow("comment") << QByteArray("// c\n[]");
        QTest::newRow("invalid UTF-8 in string") << QByteArray("[\"\xff\xfe\"]");
        QTest::newRow("overlong UTF-8") << QByteArray("[\"\xc0\xaf\"]");
        QTest::newRow("lone surrogate escape is kept out") << QByteArray(R"(["\ud800"])");
        QTest::newRow("UTF-16 text") << QByteArray("\xff\xfe[\0]\0", 6);
        QTest::newRow("NaN") << QByteArray("[NaN]");
        QTest::newRow("single quotes") << QByteArray("['a']");
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

    void uuidText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("upper") << "E621E1F8-C36C-495A-93FC-0C247A3E6E5F" << true;
        QTest::newRow("lower") << "e621e1f8-c36c-495a-93fc-0c247a3e6e5f" << true;
        QTest::newRow("nil") << "00000000-0000-0000-0000-000000000000" << true;
        QTest::newRow("braces") << "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}" << false;
        QTest::newRow("hyphen moved") << "E621E1F-8C36C-495A-93FC-0C247A3E6E5F" << false;
        QTest::newRow("full-width digit") << QStringLiteral("E621E1F8-C36C-495A-93FC-0C247A3E6E5１") << false;
        QTest::newRow("empty") << "" << false;
    }

    void uuidText()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        const auto id = ModelJson::uuidFromString(text);
        QCOMPARE(id.has_value(), valid);
        if (valid)
            QCOMPARE(ModelJson::uuidString(*id), text.toUpper());
    }

    void exchangeFile()
    {
        QFile file(QStringLiteral(RONDIX_SOURCE_DIR "/tests/data/rings/app-ring.rondix"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString error;
        const auto ring = decodeRingProfile(file.readAll(), &error);
        QVERIFY2(ring, qPrintable(error));
        QCOMPARE(ring->name, QStringLiteral("Files"));
        QCOMPARE(ring->bundleIdentifier, std::optional<QString>(QStringLiteral("org.gnome.Nautilus")));
        QVERIFY(!ring->appIconPath);
        QVERIFY(!ring->isBuiltIn);
        QCOMPARE(ring->slots.size(), 8);
        QCOMPARE(ring->slots[0].action,
                 ActionType::shortcut(QStringLiteral("T"), 17, KeyModifiers{false, false, true, false}));
        QCOMPARE(ring->slots[1].icon, IconInfo::customImage(QStringLiteral("house")));
        QCOMPARE(ring->slots[5].action, ActionType::pasteText(QStringLiteral("Best regards,\n— Ana")));
        QVERIFY(ring->slots[6].isEmpty());
        QVERIFY(ring->slots[7].isVolumeAction());

        const QByteArray written = encodeRingProfile(*ring);
        QVERIFY(!written.contains("appIconPath"));
        QCOMPARE(decodeRingProfile(written), ring);
    }

    // Deep nesting inside an ignored member is skipped, not recursed into.
    void deepNestingIsHarmless()
    {
        const int depth = 200000;
        QByteArray document = encodeRingProfile(baseRing(), JsonLayout::Compact);
        document.chop(1);
        document += ",\"extra\":" + QByteArray(depth, '[') + QByteArray(depth, ']') + "}";
        QString error;
        const auto ring = decodeRingProfile(document, &error);
        QVERIFY2(ring, qPrintable(error));
        QCOMPARE(*ring, baseRing());

        const auto tree = ModelJson::parse(document, &error);
        QVERIFY2(tree, qPrintable(error));
        QCOMPARE(ModelJson::ringProfileFromJson(*tree, &error), std::optional(baseRing()));
    }

    // Market packages embed a ring in a larger document.
    void embeddedRingPlace()
    {
        Json doc = Json::object();
        doc["package"] = ModelJson::toJson(baseRing());
        doc["package"]["slots"][2].erase("isEnabled");
        QString error;
        QVERIFY(!ModelJson::ringProfileFromJson(doc["package"], &error, QStringLiteral("package")));
        QCOMPARE(error, QStringLiteral("package.slots[2].isEnabled: missing"));
    }
};

QTEST_GUILESS_MAIN(TestModelJson)
#include "tst_model_json.moc"
