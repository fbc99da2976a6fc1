#include "model/ModelJson.h"

#include <cctype>
#include <cmath>
#include <limits>

using Json = nlohmann::ordered_json;

namespace {

// Internal only: a decode failure unwinds to the public entry point, which turns it
// into an error text. Nothing is thrown across the library boundary.
struct DecodeFailure
{
    QString message;
};

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

std::string ss(const QString& s)
{
    return s.toStdString();
}

QString join(const QString& path, const QString& member)
{
    return path.isEmpty() ? member : path + QLatin1Char('.') + member;
}

QString element(const QString& path, size_t i)
{
    return path + QLatin1Char('[') + QString::number(i) + QLatin1Char(']');
}

[[noreturn]] void fail(const QString& path, const QString& what)
{
    throw DecodeFailure{path.isEmpty() ? what : path + QStringLiteral(": ") + what};
}

QString typeName(const Json& j)
{
    return QString::fromLatin1(j.type_name());
}

const Json& requireObject(const Json& j, const QString& path)
{
    if (!j.is_object())
        fail(path, QStringLiteral("expected an object, found ") + typeName(j));
    return j;
}

const Json& member(const Json& object, const char* name, const QString& path)
{
    const auto it = object.find(name);
    if (it == object.end())
        fail(join(path, QString::fromLatin1(name)), QStringLiteral("missing"));
    return *it;
}

QString readString(const Json& object, const char* name, const QString& path)
{
    const Json& v = member(object, name, path);
    if (!v.is_string())
        fail(join(path, QString::fromLatin1(name)), QStringLiteral("expected a string, found ") + typeName(v));
    return qs(v.get_ref<const std::string&>());
}

bool readBool(const Json& object, const char* name, const QString& path)
{
    const Json& v = member(object, name, path);
    if (!v.is_boolean())
        fail(join(path, QString::fromLatin1(name)), QStringLiteral("expected true or false, found ") + typeName(v));
    return v.get<bool>();
}

// A whole number within [min, max]. A float counts when it has no fraction (2.0).
qint64 readInteger(const Json& object, const char* name, const QString& path, qint64 min, qint64 max)
{
    const Json& v = member(object, name, path);
    const QString place = join(path, QString::fromLatin1(name));
    const QString expectation = QStringLiteral("expected an integer in ") + QString::number(min) +
                                QStringLiteral("...") + QString::number(max) + QStringLiteral(", found ");
    if (!v.is_number())
        fail(place, expectation + typeName(v));
    const QString found = QString::fromStdString(v.dump());
    if (v.is_number_unsigned()) {
        const auto u = v.get<std::uint64_t>();
        if (u <= std::uint64_t(max))
            return qint64(u);
    } else if (v.is_number_integer()) {
        const auto i = v.get<std::int64_t>();
        if (i >= min && i <= max)
            return i;
    } else {
        const double d = v.get<double>();
        // max of int64 rounds up as a double, hence the strict comparison.
        if (d == std::floor(d) && d >= double(min) && d < double(max) + 1.0)
            return qint64(d);
    }
    fail(place, expectation + found);
}

QUuid readUuid(const Json& object, const char* name, const QString& path)
{
    const QString text = readString(object, name, path);
    const auto id = ModelJson::uuidFromString(text);
    if (!id)
        fail(join(path, QString::fromLatin1(name)), QStringLiteral("not a valid UUID: \"") + text + QLatin1Char('"'));
    return *id;
}

std::optional<QString> readOptionalString(const Json& object, const char* name, const QString& path)
{
    const auto it = object.find(name);
    if (it == object.end() || it->is_null())
        return std::nullopt;
    return readString(object, name, path);
}

// A tagged union: exactly one member named after a case; other members are ignored.
std::pair<std::string, const Json*> unionCase(const Json& j, const QString& path,
                                              std::initializer_list<const char*> cases)
{
    requireObject(j, path);
    std::pair<std::string, const Json*> found{{}, nullptr};
    int count = 0;
    for (const char* c : cases) {
        const auto it = j.find(c);
        if (it != j.end()) {
            ++count;
            found = {c, &*it};
        }
    }
    if (count != 1)
        fail(path, QStringLiteral("Invalid number of keys found, expected one."));
    requireObject(*found.second, join(path, qs(found.first)));
    return found;
}

IconInfo decodeIcon(const Json& j, const QString& path)
{
    const auto [name, payload] = unionCase(j, path, {"sfSymbol", "app", "customImage"});
    const QString p = join(path, qs(name));
    if (name == "sfSymbol")
        return IconInfo::sfSymbol(readString(*payload, "name", p));
    if (name == "app")
        return IconInfo::app(readString(*payload, "bundleId", p), readString(*payload, "name", p),
                             readString(*payload, "path", p));
    return IconInfo::customImage(readString(*payload, "name", p));
}

KeyModifiers decodeModifiers(const Json& j, const QString& path)
{
    requireObject(j, path);
    KeyModifiers m;
    m.command = readBool(j, "command", path);
    m.option = readBool(j, "option", path);
    m.control = readBool(j, "control", path);
    m.shift = readBool(j, "shift", path);
    return m;
}

ActionType decodeAction(const Json& j, const QString& path)
{
    const auto [name, payload] = unionCase(
        j, path, {"shortcut", "runShortcut", "pasteText", "launchApp", "openURL", "openPath", "systemControl", "none"});
    const QString p = join(path, qs(name));
    const Json& o = *payload;
    if (name == "shortcut") {
        const QString key = readString(o, "key", p);
        const auto keyCode = quint16(readInteger(o, "keyCode", p, 0, 65535));
        const KeyModifiers modifiers = decodeModifiers(member(o, "modifiers", p), join(p, QStringLiteral("modifiers")));
        return ActionType::shortcut(key, keyCode, modifiers);
    }
    if (name == "runShortcut")
        return ActionType::runShortcut(readString(o, "shortcutName", p));
    if (name == "pasteText")
        return ActionType::pasteText(readString(o, "content", p));
    if (name == "launchApp")
        return ActionType::launchApp(readString(o, "bundleId", p), readString(o, "appName", p),
                                     readString(o, "path", p));
    if (name == "openURL")
        return ActionType::openURL(readString(o, "url", p));
    if (name == "openPath")
        return ActionType::openPath(readString(o, "path", p));
    if (name == "systemControl") {
        const QString raw = readString(o, "_0", p);
        const auto control = SystemControl::fromRawValue(raw);
        if (!control)
            fail(join(p, QStringLiteral("_0")), QStringLiteral("unknown system control \"") + raw + QLatin1Char('"'));
        return ActionType::systemControl(*control);
    }
    return ActionType::none();
}

ActionSlot decodeSlot(const Json& j, const QString& path)
{
    requireObject(j, path);
    ActionSlot slot;
    slot.id = readUuid(j, "id", path);
    slot.index = readInteger(j, "index", path, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
    slot.title = readString(j, "title", path);
    slot.icon = decodeIcon(member(j, "icon", path), join(path, QStringLiteral("icon")));
    slot.action = decodeAction(member(j, "action", path), join(path, QStringLiteral("action")));
    slot.isEnabled = readBool(j, "isEnabled", path);
    return slot;
}

RingProfile decodeProfile(const Json& j, const QString& path)
{
    requireObject(j, path);
    const QUuid id = readUuid(j, "id", path);
    const QString name = readString(j, "name", path);
    const auto bundleIdentifier = readOptionalString(j, "bundleIdentifier", path);
    const auto appIconPath = readOptionalString(j, "appIconPath", path);
    const Json& slotsJson = member(j, "slots", path);
    const QString slotsPath = join(path, QStringLiteral("slots"));
    if (!slotsJson.is_array())
        fail(slotsPath, QStringLiteral("expected an array, found ") + typeName(slotsJson));
    QList<ActionSlot> slots;
    slots.reserve(qsizetype(slotsJson.size()));
    for (size_t i = 0; i < slotsJson.size(); ++i)
        slots.append(decodeSlot(slotsJson[i], element(slotsPath, i)));
    const bool isBuiltIn = readBool(j, "isBuiltIn", path);
    // Stored slots are taken as they are: no padding or reordering on read.
    return RingProfile::fromStored(id, name, bundleIdentifier, appIconPath, slots, isBuiltIn);
}

QList<RingProfile> decodeProfiles(const Json& j, const QString& path)
{
    if (!j.is_array())
        fail(path, QStringLiteral("expected an array, found ") + typeName(j));
    QList<RingProfile> profiles;
    profiles.reserve(qsizetype(j.size()));
    for (size_t i = 0; i < j.size(); ++i)
        profiles.append(decodeProfile(j[i], element(path, i)));
    return profiles;
}

template<class T, class F>
std::optional<T> decodeBytes(const QByteArray& bytes, QString* error, F decode)
{
    const auto json = ModelJson::parse(bytes, error);
    if (!json)
        return std::nullopt;
    try {
        return decode(*json, QString());
    } catch (const DecodeFailure& failure) {
        if (error)
            *error = failure.message;
        return std::nullopt;
    }
}

template<class T, class F>
std::optional<T> decodeTree(const Json& json, QString* error, const QString& path, F decode)
{
    try {
        return decode(json, path);
    } catch (const DecodeFailure& failure) {
        if (error)
            *error = failure.message;
        return std::nullopt;
    }
}

} // namespace

namespace ModelJson {

QString uuidString(const QUuid& id)
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

std::optional<QUuid> uuidFromString(const QString& text)
{
    if (text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? c != QLatin1Char('-') : !isxdigit(c.unicode() < 128 ? c.toLatin1() : 'x'))
            return std::nullopt;
    }
    const QUuid id = QUuid::fromString(text);
    if (id.isNull() && text != QStringLiteral("00000000-0000-0000-0000-000000000000"))
        return std::nullopt;
    return id;
}

Json toJson(const IconInfo& icon)
{
    Json j = Json::object();
    if (const auto* s = std::get_if<IconInfo::SfSymbol>(&icon.value)) {
        j["sfSymbol"] = Json{{"name", ss(s->name)}};
    } else if (const auto* a = std::get_if<IconInfo::App>(&icon.value)) {
        Json payload = Json::object();
        payload["bundleId"] = ss(a->bundleId);
        payload["name"] = ss(a->name);
        payload["path"] = ss(a->path);
        j["app"] = payload;
    } else if (const auto* c = std::get_if<IconInfo::CustomImage>(&icon.value)) {
        j["customImage"] = Json{{"name", ss(c->name)}};
    }
    return j;
}

Json toJson(const KeyModifiers& m)
{
    Json j = Json::object();
    j["command"] = m.command;
    j["option"] = m.option;
    j["control"] = m.control;
    j["shift"] = m.shift;
    return j;
}

Json toJson(const ActionType& action)
{
    Json j = Json::object();
    const auto& v = action.value;
    if (const auto* s = std::get_if<ActionType::Shortcut>(&v)) {
        Json p = Json::object();
        p["key"] = ss(s->key);
        p["keyCode"] = s->keyCode;
        p["modifiers"] = toJson(s->modifiers);
        j["shortcut"] = p;
    } else if (const auto* r = std::get_if<ActionType::RunShortcut>(&v)) {
        j["runShortcut"] = Json{{"shortcutName", ss(r->shortcutName)}};
    } else if (const auto* t = std::get_if<ActionType::PasteText>(&v)) {
        j["pasteText"] = Json{{"content", ss(t->content)}};
    } else if (const auto* l = std::get_if<ActionType::LaunchApp>(&v)) {
        Json p = Json::object();
        p["bundleId"] = ss(l->bundleId);
        p["appName"] = ss(l->appName);
        p["path"] = ss(l->path);
        j["launchApp"] = p;
    } else if (const auto* u = std::get_if<ActionType::OpenURL>(&v)) {
        j["openURL"] = Json{{"url", ss(u->url)}};
    } else if (const auto* o = std::get_if<ActionType::OpenPath>(&v)) {
        j["openPath"] = Json{{"path", ss(o->path)}};
    } else if (const auto* c = std::get_if<ActionType::SystemControl>(&v)) {
        j["systemControl"] = Json{{"_0", ss(SystemControl::rawValue(c->control))}};
    } else {
        j["none"] = Json::object();
    }
    return j;
}

Json toJson(const ActionSlot& slot)
{
    Json j = Json::object();
    j["id"] = ss(uuidString(slot.id));
    j["index"] = slot.index;
    j["title"] = ss(slot.title);
    j["icon"] = toJson(slot.icon);
    j["action"] = toJson(slot.action);
    j["isEnabled"] = slot.isEnabled;
    return j;
}

Json toJson(const RingProfile& profile)
{
    Json j = Json::object();
    j["id"] = ss(uuidString(profile.id));
    j["name"] = ss(profile.name);
    if (profile.bundleIdentifier)
        j["bundleIdentifier"] = ss(*profile.bundleIdentifier);
    if (profile.appIconPath)
        j["appIconPath"] = ss(*profile.appIconPath);
    Json slots = Json::array();
    for (const ActionSlot& slot : profile.slots)
        slots.push_back(toJson(slot));
    j["slots"] = std::move(slots);
    j["isBuiltIn"] = profile.isBuiltIn;
    return j;
}

Json toJson(const QList<RingProfile>& profiles)
{
    Json j = Json::array();
    for (const RingProfile& profile : profiles)
        j.push_back(toJson(profile));
    return j;
}

std::optional<RingProfile> ringProfileFromJson(const Json& json, QString* error, const QString& path)
{
    return decodeTree<RingProfile>(json, error, path, decodeProfile);
}

std::optional<QList<RingProfile>> ringProfilesFromJson(const Json& json, QString* error, const QString& path)
{
    return decodeTree<QList<RingProfile>>(json, error, path, decodeProfiles);
}

std::optional<Json> parse(const QByteArray& bytes, QString* error)
{
    try {
        // The parser checks UTF-8 inside strings; stray bytes outside strings are
        // syntax errors anyway.
        return Json::parse(bytes.cbegin(), bytes.cend());
    } catch (const Json::parse_error& e) {
        if (error)
            *error = QStringLiteral("The data is not valid JSON: ") + QString::fromUtf8(e.what());
        return std::nullopt;
    }
}

QByteArray serialize(const Json& json, JsonLayout layout)
{
    // Texts come from QString and are valid UTF-8; replace rather than throw if not.
    const std::string text = json.dump(layout == JsonLayout::Pretty ? 2 : -1, ' ', false,
                                       Json::error_handler_t::replace);
    return QByteArray::fromStdString(text);
}

} // namespace ModelJson

QByteArray encodeRingProfile(const RingProfile& profile, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(profile), layout);
}

std::optional<RingProfile> decodeRingProfile(const QByteArray& json, QString* error)
{
    return decodeBytes<RingProfile>(json, error, decodeProfile);
}

QByteArray encodeRingProfiles(const QList<RingProfile>& profiles, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(profiles), layout);
}

std::optional<QList<RingProfile>> decodeRingProfiles(const QByteArray& json, QString* error)
{
    return decodeBytes<QList<RingProfile>>(json, error, decodeProfiles);
}

QByteArray encodeIconInfo(const IconInfo& icon, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(icon), layout);
}

std::optional<IconInfo> decodeIconInfo(const QByteArray& json, QString* error)
{
    return decodeBytes<IconInfo>(json, error, decodeIcon);
}

QByteArray encodeActionSlot(const ActionSlot& slot, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(slot), layout);
}

std::optional<ActionSlot> decodeActionSlot(const QByteArray& json, QString* error)
{
    return decodeBytes<ActionSlot>(json, error, decodeSlot);
}

QByteArray encodeActionType(const ActionType& action, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(action), layout);
}

std::optional<ActionType> decodeActionType(const QByteArray& json, QString* error)
{
    return decodeBytes<ActionType>(json, error, decodeAction);
}
