#include "model/ModelJson.h"

#include "common/MessageText.h"

#include <cctype>
#include <cmath>
#include <limits>
#include <QRegularExpression>
#include <QVarLengthArray>
#include <string_view>
#include <unordered_map>
#include <vector>

using Json = nlohmann::ordered_json;

namespace {

// Decoding runs over a flat token list rather than a document tree: the file is
// read by nlohmann's SAX parser straight into tokens, which costs far fewer
// allocations than building (and freeing) a tree for every slot. Trees handed in
// by callers are flattened the same way, so there is one set of decoding rules.

enum class Kind : quint8
{
    Null,
    Boolean,
    Integer,
    Unsigned,
    Float,
    String,
    Key,
    BeginObject,
    EndObject,
    BeginArray,
    EndArray
};

// 24 bytes: a ring file within the limits costs at most a few megabytes of tokens.
struct Token
{
    Kind kind;
    bool boolean = false;
    // Text of strings and keys, as an offset into Tokens::text.
    quint32 offset = 0;
    quint32 length = 0;
    // For Begin tokens: index of the matching End token.
    quint32 end = 0;
    union {
        std::int64_t integer;
        std::uint64_t unsignedValue;
        double floating;
    };
};
static_assert(sizeof(Token) == 24);

struct Tokens
{
    std::vector<Token> list;
    std::string text;

    std::string_view view(const Token& t) const { return std::string_view(text).substr(t.offset, t.length); }

    void push(Kind kind)
    {
        Token t{};
        t.kind = kind;
        list.push_back(t);
    }
    void pushText(Kind kind, const std::string& value)
    {
        Token t{};
        t.kind = kind;
        t.offset = quint32(text.size());
        t.length = quint32(value.size());
        text.append(value);
        list.push_back(t);
    }
};

// Line and column (1-based, in bytes) of the last of the first `read` bytes: the
// byte the parser stopped at.
QString placeOf(const QByteArray& bytes, size_t read)
{
    const qsizetype last = qsizetype(std::min(read, size_t(bytes.size()))) - 1;
    if (last < 0)
        return QStringLiteral("line 1, column 1");
    const QByteArrayView before = QByteArrayView(bytes).first(last);
    const qsizetype lineStart = before.lastIndexOf('\n') + 1;
    return QStringLiteral("line %1, column %2").arg(before.count('\n') + 1).arg(last - lineStart + 1);
}

// The parser's own message without its exception id and position, and with the
// stretch of input it quotes ("last read: '...'", "parsing '...'") cut short.
QString parserMessage(const nlohmann::detail::exception& e)
{
    QString text = QString::fromUtf8(e.what());
    static const QRegularExpression prefix(QStringLiteral(
        "^\\[json\\.exception\\.[a-z_]+\\.\\d+\\] (parse error( at line \\d+, column \\d+)?: )?"));
    text.remove(prefix);
    for (const QLatin1String opener : {QLatin1String("last read: '"), QLatin1String("parsing '")}) {
        const qsizetype from = text.indexOf(opener);
        if (from < 0)
            continue;
        const qsizetype start = from + opener.size();
        // The quoted input may hold quotes itself; it ends where the parser's text resumes.
        qsizetype stop = text.lastIndexOf(QLatin1String("'; expected "));
        if (stop < start)
            stop = text.lastIndexOf(QLatin1Char('\''));
        if (stop < start)
            continue;
        text = text.left(start) + messageEscaped(QStringView(text).sliced(start, stop - start)) +
               text.sliced(stop);
        break;
    }
    return controlsEscaped(text);
}

QString invalidJson(const QString& place, const QString& what)
{
    return QStringLiteral("The data is not valid JSON: ") + place + QStringLiteral(": ") + what;
}

// Hands the parser one byte at a time like a pointer would, and keeps how far it
// has read, so that a refusal from inside the parser can name its line and column.
struct ReadCursor
{
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    const char* at;
    const char** reached;

    reference operator*() const { return *at; }
    ReadCursor& operator++()
    {
        *reached = ++at;
        return *this;
    }
    ReadCursor operator++(int)
    {
        ReadCursor before = *this;
        ++*this;
        return before;
    }
    bool operator==(const ReadCursor& other) const { return at == other.at; }
    bool operator!=(const ReadCursor& other) const { return at != other.at; }
};

// Counts nesting and values while a document is parsed and stops the parser at
// the first one beyond the limits.
class LimitGuard
{
public:
    LimitGuard(const QByteArray& bytes, const JsonLimits& limits)
        : m_bytes(bytes)
        , m_limits(limits)
        , m_reached(bytes.cbegin())
    {}

    ReadCursor begin() { return ReadCursor{m_bytes.cbegin(), &m_reached}; }
    ReadCursor end() { return ReadCursor{m_bytes.cend(), &m_reached}; }

    // False once the document is nested too deep or holds too many values.
    bool admit(int depth)
    {
        if (depth > m_limits.maxDepth) {
            m_error = QStringLiteral("nested more than %1 levels deep").arg(m_limits.maxDepth);
            return false;
        }
        if (++m_values > m_limits.maxValues) {
            m_error = QStringLiteral("more than %1 values").arg(m_limits.maxValues);
            return false;
        }
        return true;
    }

    // Where the parser has read to.
    QString reachedPlace() const { return placeOf(m_bytes, size_t(m_reached - m_bytes.cbegin())); }
    QString refusal() const
    {
        return QStringLiteral("The data is too complex to decode: ") + reachedPlace() + QStringLiteral(": ") +
               m_error;
    }
    bool refused() const { return !m_error.isEmpty(); }

    // Whether the bytes may be parsed at all; fills `error` when not.
    static bool sizeAllowed(const QByteArray& bytes, const JsonLimits& limits, QString* error)
    {
        if (bytes.size() <= limits.maxBytes)
            return true;
        if (error)
            *error = QStringLiteral("The data is too large to decode: %1 bytes, at most %2")
                         .arg(bytes.size())
                         .arg(limits.maxBytes);
        return false;
    }

private:
    const QByteArray& m_bytes;
    JsonLimits m_limits;
    const char* m_reached;
    qsizetype m_values = 0;
    QString m_error;
};

// SAX handler filling a token list.
class TokenWriter
{
public:
    TokenWriter(Tokens& tokens, LimitGuard& guard, const QByteArray& bytes)
        : m_tokens(tokens)
        , m_guard(guard)
        , m_bytes(bytes)
    {}

    bool null() { return push(Kind::Null); }
    bool boolean(bool value)
    {
        if (!push(Kind::Boolean))
            return false;
        m_tokens.list.back().boolean = value;
        return true;
    }
    bool number_integer(std::int64_t value)
    {
        if (!push(Kind::Integer))
            return false;
        m_tokens.list.back().integer = value;
        return true;
    }
    bool number_unsigned(std::uint64_t value)
    {
        if (!push(Kind::Unsigned))
            return false;
        m_tokens.list.back().unsignedValue = value;
        return true;
    }
    bool number_float(double value, const std::string&)
    {
        if (!push(Kind::Float))
            return false;
        m_tokens.list.back().floating = value;
        return true;
    }
    bool string(std::string& value) { return pushText(Kind::String, value); }
    bool binary(Json::binary_t&)
    {
        return push(Kind::Null); // JSON text has no binary values
    }
    bool start_object(std::size_t) { return begin(Kind::BeginObject); }
    bool key(std::string& value) { return pushText(Kind::Key, value); }
    bool end_object() { return finish(Kind::EndObject); }
    bool start_array(std::size_t) { return begin(Kind::BeginArray); }
    bool end_array() { return finish(Kind::EndArray); }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e)
    {
        m_error = invalidJson(placeOf(m_bytes, position), parserMessage(e));
        return false;
    }

    QString error() const { return m_guard.refused() ? m_guard.refusal() : m_error; }

private:
    int depth() const { return int(m_open.size()); }
    bool push(Kind kind)
    {
        if (!m_guard.admit(depth()))
            return false;
        m_tokens.push(kind);
        return true;
    }
    bool pushText(Kind kind, const std::string& value)
    {
        if (!m_guard.admit(depth()))
            return false;
        m_tokens.pushText(kind, value);
        return true;
    }
    bool begin(Kind kind)
    {
        if (!m_guard.admit(depth() + 1))
            return false;
        m_open.push_back(m_tokens.list.size());
        m_tokens.push(kind);
        return true;
    }
    bool finish(Kind kind)
    {
        if (!m_guard.admit(depth()))
            return false;
        m_tokens.list[m_open.back()].end = quint32(m_tokens.list.size());
        m_open.pop_back();
        m_tokens.push(kind);
        return true;
    }

    Tokens& m_tokens;
    LimitGuard& m_guard;
    const QByteArray& m_bytes;
    std::vector<size_t> m_open;
    QString m_error;
};

// SAX handler building a document tree. Members are appended in document order;
// a repeated name keeps its first place and its last value, as the library's own
// parser does, but is found through a hash instead of a scan of the object, which
// would make an object of many members cost quadratic time.
class TreeWriter
{
public:
    TreeWriter(LimitGuard& guard, const QByteArray& bytes)
        : m_guard(guard)
        , m_bytes(bytes)
    {}

    bool null() { return add(Json(nullptr)); }
    bool boolean(bool value) { return add(Json(value)); }
    bool number_integer(std::int64_t value) { return add(Json(value)); }
    bool number_unsigned(std::uint64_t value) { return add(Json(value)); }
    bool number_float(double value, const std::string&) { return add(Json(value)); }
    bool string(std::string& value) { return add(Json(std::move(value))); }
    bool binary(Json::binary_t&) { return add(Json(nullptr)); }
    bool start_object(std::size_t) { return open(Json::value_t::object); }
    bool start_array(std::size_t) { return open(Json::value_t::array); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(std::string& name)
    {
        if (!m_guard.admit(int(m_open.size())))
            return false;
        Frame& frame = m_open.back();
        auto& members = frame.container->get_ref<Json::object_t&>();
        const auto [at, added] = frame.index.try_emplace(name, members.size());
        if (added)
            members.emplace_back(std::move(name), nullptr);
        frame.slot = &(members.begin() + std::ptrdiff_t(at->second))->second;
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& e)
    {
        m_error = invalidJson(placeOf(m_bytes, position), parserMessage(e));
        return false;
    }

    QString error() const { return m_guard.refused() ? m_guard.refusal() : m_error; }
    Json take() { return std::move(m_root); }

private:
    struct Frame
    {
        Json* container;
        Json* slot = nullptr; // the member whose value comes next
        std::unordered_map<std::string, size_t> index;
    };

    // Places a value where the document has it and returns where it now lives.
    Json* place(Json&& value)
    {
        if (m_open.empty()) {
            m_root = std::move(value);
            return &m_root;
        }
        Frame& frame = m_open.back();
        if (frame.container->is_array()) {
            auto& items = frame.container->get_ref<Json::array_t&>();
            items.push_back(std::move(value));
            return &items.back();
        }
        *frame.slot = std::move(value);
        return frame.slot;
    }
    bool add(Json&& value)
    {
        if (!m_guard.admit(int(m_open.size())))
            return false;
        place(std::move(value));
        return true;
    }
    bool open(Json::value_t type)
    {
        if (!m_guard.admit(int(m_open.size()) + 1))
            return false;
        // Containers higher up do not change while this one is open, so the
        // pointer stays valid until it is closed.
        m_open.push_back(Frame{place(Json(type)), nullptr, {}});
        return true;
    }
    bool close()
    {
        if (!m_guard.admit(int(m_open.size())))
            return false;
        m_open.pop_back();
        return true;
    }

    LimitGuard& m_guard;
    const QByteArray& m_bytes;
    Json m_root;
    std::vector<Frame> m_open;
    QString m_error;
};

void pushScalar(const Json& j, Tokens& out)
{
    switch (j.type()) {
    case Json::value_t::string:
        out.pushText(Kind::String, j.get_ref<const std::string&>());
        break;
    case Json::value_t::boolean:
        out.push(Kind::Boolean);
        out.list.back().boolean = j.get<bool>();
        break;
    case Json::value_t::number_integer:
        out.push(Kind::Integer);
        out.list.back().integer = j.get<std::int64_t>();
        break;
    case Json::value_t::number_unsigned:
        out.push(Kind::Unsigned);
        out.list.back().unsignedValue = j.get<std::uint64_t>();
        break;
    case Json::value_t::number_float:
        out.push(Kind::Float);
        out.list.back().floating = j.get<double>();
        break;
    default:
        out.push(Kind::Null);
        break;
    }
}

// Iterative, so that a hostile document nested a million levels deep inside an
// ignored member cannot exhaust the stack.
void flatten(const Json& root, Tokens& out)
{
    struct Frame
    {
        const Json* container;
        Json::const_iterator next;
        size_t begin;
    };
    std::vector<Frame> stack;
    auto open = [&](const Json& j) {
        if (!j.is_structured()) {
            pushScalar(j, out);
            return;
        }
        stack.push_back(Frame{&j, j.cbegin(), out.list.size()});
        out.push(j.is_object() ? Kind::BeginObject : Kind::BeginArray);
    };
    open(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.container->cend()) {
            out.list[top.begin].end = quint32(out.list.size());
            out.push(top.container->is_object() ? Kind::EndObject : Kind::EndArray);
            stack.pop_back();
            continue;
        }
        const auto it = top.next++;
        if (top.container->is_object())
            out.pushText(Kind::Key, it.key());
        open(*it); // may reallocate the stack; `top` is not used after this
    }
}

// Where a value sits, rendered only when something fails there.
struct Path
{
    const Path* parent = nullptr;
    const char* member = nullptr; // null for an array element or the root
    size_t index = 0;
    const QString* root = nullptr;

    Path operator/(const char* name) const { return Path{this, name, 0, nullptr}; }
    Path operator[](size_t i) const { return Path{this, nullptr, i, nullptr}; }

    QString render() const
    {
        if (!parent)
            return root ? *root : QString();
        const QString head = parent->render();
        if (member)
            return head.isEmpty() ? QString::fromLatin1(member)
                                  : head + QLatin1Char('.') + QLatin1String(member);
        return head + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
    }
};

// Internal only: a decode failure unwinds to the public entry point, which turns it
// into an error text. Nothing is thrown across the library boundary.
struct DecodeFailure
{
    QString message;
};

[[noreturn]] void fail(const Path& path, const QString& what)
{
    const QString place = path.render();
    throw DecodeFailure{place.isEmpty() ? what : place + QStringLiteral(": ") + what};
}

QString typeName(Kind kind)
{
    switch (kind) {
    case Kind::Null:
        return QStringLiteral("null");
    case Kind::Boolean:
        return QStringLiteral("boolean");
    case Kind::Integer:
    case Kind::Unsigned:
    case Kind::Float:
        return QStringLiteral("number");
    case Kind::String:
        return QStringLiteral("string");
    case Kind::BeginObject:
        return QStringLiteral("object");
    case Kind::BeginArray:
        return QStringLiteral("array");
    default:
        return QStringLiteral("invalid");
    }
}

size_t skip(const Tokens& t, size_t i)
{
    const Kind k = t.list[i].kind;
    return (k == Kind::BeginObject || k == Kind::BeginArray) ? t.list[i].end + 1 : i + 1;
}

// The members of one object, by name; a repeated name counts once, last one wins.
class Object
{
public:
    Object(const Tokens& t, size_t at, const Path& path)
        : m_tokens(t)
    {
        if (t.list[at].kind != Kind::BeginObject)
            fail(path, QStringLiteral("expected an object, found ") + typeName(t.list[at].kind));
        const size_t end = t.list[at].end;
        for (size_t i = at + 1; i < end; i = skip(t, i + 1))
            m_members.append({t.view(t.list[i]), i + 1});
    }

    std::optional<size_t> find(std::string_view name) const
    {
        for (qsizetype i = m_members.size() - 1; i >= 0; --i) {
            if (m_members[i].first == name)
                return m_members[i].second;
        }
        return std::nullopt;
    }

    size_t require(const char* name, const Path& path) const
    {
        const auto at = find(name);
        if (!at)
            fail(path / name, QStringLiteral("missing"));
        return *at;
    }

    const Tokens& tokens() const { return m_tokens; }

private:
    const Tokens& m_tokens;
    QVarLengthArray<std::pair<std::string_view, size_t>, 8> m_members;
};

QString stringAt(const Tokens& t, size_t at, const Path& path)
{
    const Token& token = t.list[at];
    if (token.kind != Kind::String)
        fail(path, QStringLiteral("expected a string, found ") + typeName(token.kind));
    const std::string_view text = t.view(token);
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString readString(const Object& o, const char* name, const Path& path)
{
    return stringAt(o.tokens(), o.require(name, path), path / name);
}

bool readBool(const Object& o, const char* name, const Path& path)
{
    const Token& token = o.tokens().list[o.require(name, path)];
    if (token.kind != Kind::Boolean)
        fail(path / name, QStringLiteral("expected true or false, found ") + typeName(token.kind));
    return token.boolean;
}

// A whole number within [min, max]. A float counts when it has no fraction (2.0).
qint64 readInteger(const Object& o, const char* name, const Path& path, qint64 min, qint64 max)
{
    const Token& v = o.tokens().list[o.require(name, path)];
    const QString expectation = QStringLiteral("expected an integer in ") + QString::number(min) +
                                QStringLiteral("...") + QString::number(max) + QStringLiteral(", found ");
    switch (v.kind) {
    case Kind::Unsigned:
        if (v.unsignedValue <= std::uint64_t(max))
            return qint64(v.unsignedValue);
        fail(path / name, expectation + QString::number(v.unsignedValue));
    case Kind::Integer:
        if (v.integer >= min && v.integer <= max)
            return v.integer;
        fail(path / name, expectation + QString::number(v.integer));
    case Kind::Float: {
        const double d = v.floating;
        // max of int64 rounds up as a double, hence the strict comparison.
        if (d == std::floor(d) && d >= double(min) && d < double(max) + 1.0)
            return qint64(d);
        fail(path / name, expectation + QString::fromStdString(Json(d).dump()));
    }
    default:
        fail(path / name, expectation + typeName(v.kind));
    }
}

QUuid readUuid(const Object& o, const char* name, const Path& path)
{
    const QString text = readString(o, name, path);
    const auto id = ModelJson::uuidFromString(text);
    if (!id)
        fail(path / name, QStringLiteral("not a valid UUID: ") + messageQuoted(text));
    return *id;
}

std::optional<QString> readOptionalString(const Object& o, const char* name, const Path& path)
{
    const auto at = o.find(name);
    if (!at || o.tokens().list[*at].kind == Kind::Null)
        return std::nullopt;
    return stringAt(o.tokens(), *at, path / name);
}

// A tagged union: exactly one member named after a case; other members are ignored.
// Returns the case's position in `cases` and its payload object.
template<size_t N>
std::pair<size_t, Object> unionCase(const Tokens& t, size_t at, const Path& path,
                                    const char* const (&cases)[N])
{
    const Object o(t, at, path);
    size_t found = 0;
    size_t payload = 0;
    int count = 0;
    for (size_t c = 0; c < N; ++c) {
        if (const auto p = o.find(cases[c])) {
            ++count;
            found = c;
            payload = *p;
        }
    }
    if (count != 1)
        fail(path, QStringLiteral("Invalid number of keys found, expected one."));
    return {found, Object(t, payload, path / cases[found])};
}

IconInfo decodeIcon(const Tokens& t, size_t at, const Path& path)
{
    static const char* const cases[] = {"sfSymbol", "app", "customImage"};
    const auto [which, o] = unionCase(t, at, path, cases);
    const Path p = path / cases[which];
    switch (which) {
    case 0:
        return IconInfo::sfSymbol(readString(o, "name", p));
    case 1: {
        const QString bundleId = readString(o, "bundleId", p);
        const QString name = readString(o, "name", p);
        return IconInfo::app(bundleId, name, readString(o, "path", p));
    }
    default:
        return IconInfo::customImage(readString(o, "name", p));
    }
}

KeyModifiers decodeModifiers(const Tokens& t, size_t at, const Path& path)
{
    const Object o(t, at, path);
    KeyModifiers m;
    m.command = readBool(o, "command", path);
    m.option = readBool(o, "option", path);
    m.control = readBool(o, "control", path);
    m.shift = readBool(o, "shift", path);
    return m;
}

ActionType decodeAction(const Tokens& t, size_t at, const Path& path)
{
    static const char* const cases[] = {"shortcut", "runShortcut", "pasteText",     "launchApp",
                                        "openURL",  "openPath",    "systemControl", "none"};
    const auto [which, o] = unionCase(t, at, path, cases);
    const Path p = path / cases[which];
    switch (which) {
    case 0: {
        const QString key = readString(o, "key", p);
        const auto keyCode = quint16(readInteger(o, "keyCode", p, 0, 65535));
        const KeyModifiers modifiers = decodeModifiers(t, o.require("modifiers", p), p / "modifiers");
        return ActionType::shortcut(key, keyCode, modifiers);
    }
    case 1:
        return ActionType::runShortcut(readString(o, "shortcutName", p));
    case 2:
        return ActionType::pasteText(readString(o, "content", p));
    case 3: {
        const QString bundleId = readString(o, "bundleId", p);
        const QString appName = readString(o, "appName", p);
        return ActionType::launchApp(bundleId, appName, readString(o, "path", p));
    }
    case 4:
        return ActionType::openURL(readString(o, "url", p));
    case 5:
        return ActionType::openPath(readString(o, "path", p));
    case 6: {
        const QString raw = readString(o, "_0", p);
        const auto control = SystemControl::fromRawValue(raw);
        if (!control)
            fail(p / "_0", QStringLiteral("unknown system control ") + messageQuoted(raw));
        return ActionType::systemControl(*control);
    }
    default:
        return ActionType::none();
    }
}

ActionSlot decodeSlot(const Tokens& t, size_t at, const Path& path)
{
    const Object o(t, at, path);
    ActionSlot slot;
    slot.id = readUuid(o, "id", path);
    slot.index =
        readInteger(o, "index", path, std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max());
    slot.title = readString(o, "title", path);
    slot.icon = decodeIcon(t, o.require("icon", path), path / "icon");
    slot.action = decodeAction(t, o.require("action", path), path / "action");
    slot.isEnabled = readBool(o, "isEnabled", path);
    return slot;
}

void requireArray(const Tokens& t, size_t at, const Path& path)
{
    if (t.list[at].kind != Kind::BeginArray)
        fail(path, QStringLiteral("expected an array, found ") + typeName(t.list[at].kind));
}

RingProfile decodeProfile(const Tokens& t, size_t at, const Path& path)
{
    const Object o(t, at, path);
    const QUuid id = readUuid(o, "id", path);
    const QString name = readString(o, "name", path);
    const auto bundleIdentifier = readOptionalString(o, "bundleIdentifier", path);
    const auto appIconPath = readOptionalString(o, "appIconPath", path);
    const size_t slotsAt = o.require("slots", path);
    const Path slotsPath = path / "slots";
    requireArray(t, slotsAt, slotsPath);
    QList<ActionSlot> slots;
    slots.reserve(8);
    size_t n = 0;
    for (size_t i = slotsAt + 1; i < t.list[slotsAt].end; i = skip(t, i), ++n)
        slots.append(decodeSlot(t, i, slotsPath[n]));
    const bool isBuiltIn = readBool(o, "isBuiltIn", path);
    // Stored slots are taken as they are: no padding or reordering on read.
    return RingProfile::fromStored(id, name, bundleIdentifier, appIconPath, slots, isBuiltIn);
}

QList<RingProfile> decodeProfiles(const Tokens& t, size_t at, const Path& path)
{
    requireArray(t, at, path);
    QList<RingProfile> profiles;
    size_t n = 0;
    for (size_t i = at + 1; i < t.list[at].end; i = skip(t, i), ++n)
        profiles.append(decodeProfile(t, i, path[n]));
    return profiles;
}

std::optional<Tokens> tokenize(const QByteArray& bytes, QString* error, const JsonLimits& limits)
{
    if (!LimitGuard::sizeAllowed(bytes, limits, error))
        return std::nullopt;
    Tokens tokens;
    // Sized for a typical document, never for more values than the limit admits.
    const size_t expected = size_t(std::min<qsizetype>(bytes.size() / 12, limits.maxValues));
    tokens.list.reserve(expected + 16);
    tokens.text.reserve(size_t(bytes.size() / 2));
    LimitGuard guard(bytes, limits);
    TokenWriter writer(tokens, guard, bytes);
    try {
        // The parser checks UTF-8 inside strings; stray bytes elsewhere are syntax errors.
        if (!Json::sax_parse(guard.begin(), guard.end(), &writer)) {
            if (error)
                *error = writer.error();
            return std::nullopt;
        }
    } catch (const Json::exception& e) {
        // The parser reports its faults to the handler; this is for anything it throws regardless.
        if (error)
            *error = invalidJson(guard.reachedPlace(), parserMessage(e));
        return std::nullopt;
    }
    return tokens;
}

template<class T, class F>
std::optional<T> decodeTokens(const Tokens& tokens, QString* error, const QString& root, F decode)
{
    try {
        const Path path{nullptr, nullptr, 0, &root};
        return decode(tokens, 0, path);
    } catch (const DecodeFailure& failure) {
        if (error)
            *error = failure.message;
        return std::nullopt;
    } catch (const Json::exception& e) {
        if (error)
            *error = QStringLiteral("The data could not be decoded: ") + parserMessage(e);
        return std::nullopt;
    }
}

template<class T, class F>
std::optional<T> decodeBytes(const QByteArray& bytes, QString* error, const JsonLimits& limits, F decode)
{
    const auto tokens = tokenize(bytes, error, limits);
    if (!tokens)
        return std::nullopt;
    return decodeTokens<T>(*tokens, error, QString(), decode);
}

template<class T, class F>
std::optional<T> decodeTree(const Json& json, QString* error, const QString& path, F decode)
{
    Tokens tokens;
    try {
        flatten(json, tokens);
    } catch (const Json::exception& e) {
        if (error)
            *error = QStringLiteral("The data could not be decoded: ") + parserMessage(e);
        return std::nullopt;
    }
    return decodeTokens<T>(tokens, error, path, decode);
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

namespace {

// Objects are built at their final size and filled in field order; a store of a
// thousand rings has a few hundred thousand nodes, so growth copies add up.
Json object(size_t members)
{
    Json j(Json::value_t::object);
    j.get_ref<Json::object_t&>().reserve(members);
    return j;
}

void add(Json& j, const char* key, Json&& value)
{
    j.get_ref<Json::object_t&>().emplace_back(key, std::move(value));
}

Json text(const QString& s)
{
    return Json(s.toStdString());
}

Json single(const char* key, Json&& value)
{
    Json j = object(1);
    add(j, key, std::move(value));
    return j;
}

} // namespace

Json toJson(const IconInfo& icon)
{
    if (const auto* a = std::get_if<IconInfo::App>(&icon.value)) {
        Json payload = object(3);
        add(payload, "bundleId", text(a->bundleId));
        add(payload, "name", text(a->name));
        add(payload, "path", text(a->path));
        return single("app", std::move(payload));
    }
    if (const auto* c = std::get_if<IconInfo::CustomImage>(&icon.value))
        return single("customImage", single("name", text(c->name)));
    return single("sfSymbol", single("name", text(std::get<IconInfo::SfSymbol>(icon.value).name)));
}

Json toJson(const KeyModifiers& m)
{
    Json j = object(4);
    add(j, "command", m.command);
    add(j, "option", m.option);
    add(j, "control", m.control);
    add(j, "shift", m.shift);
    return j;
}

Json toJson(const ActionType& action)
{
    const auto& v = action.value;
    if (const auto* s = std::get_if<ActionType::Shortcut>(&v)) {
        Json p = object(3);
        add(p, "key", text(s->key));
        add(p, "keyCode", s->keyCode);
        add(p, "modifiers", toJson(s->modifiers));
        return single("shortcut", std::move(p));
    }
    if (const auto* r = std::get_if<ActionType::RunShortcut>(&v))
        return single("runShortcut", single("shortcutName", text(r->shortcutName)));
    if (const auto* t = std::get_if<ActionType::PasteText>(&v))
        return single("pasteText", single("content", text(t->content)));
    if (const auto* l = std::get_if<ActionType::LaunchApp>(&v)) {
        Json p = object(3);
        add(p, "bundleId", text(l->bundleId));
        add(p, "appName", text(l->appName));
        add(p, "path", text(l->path));
        return single("launchApp", std::move(p));
    }
    if (const auto* u = std::get_if<ActionType::OpenURL>(&v))
        return single("openURL", single("url", text(u->url)));
    if (const auto* o = std::get_if<ActionType::OpenPath>(&v))
        return single("openPath", single("path", text(o->path)));
    if (const auto* c = std::get_if<ActionType::SystemControl>(&v))
        return single("systemControl", single("_0", text(SystemControl::rawValue(c->control))));
    return single("none", Json(Json::value_t::object));
}

Json toJson(const ActionSlot& slot)
{
    Json j = object(6);
    add(j, "id", text(uuidString(slot.id)));
    add(j, "index", slot.index);
    add(j, "title", text(slot.title));
    add(j, "icon", toJson(slot.icon));
    add(j, "action", toJson(slot.action));
    add(j, "isEnabled", slot.isEnabled);
    return j;
}

Json toJson(const RingProfile& profile)
{
    Json j = object(6);
    add(j, "id", text(uuidString(profile.id)));
    add(j, "name", text(profile.name));
    if (profile.bundleIdentifier)
        add(j, "bundleIdentifier", text(*profile.bundleIdentifier));
    if (profile.appIconPath)
        add(j, "appIconPath", text(*profile.appIconPath));
    Json slots(Json::value_t::array);
    slots.get_ref<Json::array_t&>().reserve(size_t(profile.slots.size()));
    for (const ActionSlot& slot : profile.slots)
        slots.get_ref<Json::array_t&>().push_back(toJson(slot));
    add(j, "slots", std::move(slots));
    add(j, "isBuiltIn", profile.isBuiltIn);
    return j;
}

Json toJson(const QList<RingProfile>& profiles)
{
    Json j(Json::value_t::array);
    j.get_ref<Json::array_t&>().reserve(size_t(profiles.size()));
    for (const RingProfile& profile : profiles)
        j.get_ref<Json::array_t&>().push_back(toJson(profile));
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

std::optional<Json> parse(const QByteArray& bytes, QString* error, const JsonLimits& limits)
{
    if (!LimitGuard::sizeAllowed(bytes, limits, error))
        return std::nullopt;
    LimitGuard guard(bytes, limits);
    TreeWriter writer(guard, bytes);
    try {
        // The parser checks UTF-8 inside strings; stray bytes outside strings are
        // syntax errors anyway.
        if (Json::sax_parse(guard.begin(), guard.end(), &writer))
            return writer.take();
        if (error)
            *error = writer.error();
    } catch (const Json::exception& e) {
        if (error)
            *error = invalidJson(guard.reachedPlace(), parserMessage(e));
    }
    return std::nullopt;
}

QByteArray serialize(const Json& json, JsonLayout layout)
{
    // Texts come from QString and are valid UTF-8; replace rather than throw if not.
    const std::string text =
        json.dump(layout == JsonLayout::Pretty ? 2 : -1, ' ', false, Json::error_handler_t::replace);
    return QByteArray::fromStdString(text);
}

} // namespace ModelJson

QByteArray encodeRingProfile(const RingProfile& profile, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(profile), layout);
}

std::optional<RingProfile> decodeRingProfile(const QByteArray& json, QString* error)
{
    return decodeBytes<RingProfile>(json, error, kRingJsonLimits, decodeProfile);
}

QByteArray encodeRingProfiles(const QList<RingProfile>& profiles, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(profiles), layout);
}

std::optional<QList<RingProfile>> decodeRingProfiles(const QByteArray& json, QString* error,
                                                     const JsonLimits& limits)
{
    return decodeBytes<QList<RingProfile>>(json, error, limits, decodeProfiles);
}

QByteArray encodeIconInfo(const IconInfo& icon, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(icon), layout);
}

std::optional<IconInfo> decodeIconInfo(const QByteArray& json, QString* error)
{
    return decodeBytes<IconInfo>(json, error, kRingJsonLimits, decodeIcon);
}

QByteArray encodeActionSlot(const ActionSlot& slot, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(slot), layout);
}

std::optional<ActionSlot> decodeActionSlot(const QByteArray& json, QString* error)
{
    return decodeBytes<ActionSlot>(json, error, kRingJsonLimits, decodeSlot);
}

QByteArray encodeActionType(const ActionType& action, JsonLayout layout)
{
    return ModelJson::serialize(ModelJson::toJson(action), layout);
}

std::optional<ActionType> decodeActionType(const QByteArray& json, QString* error)
{
    return decodeBytes<ActionType>(json, error, kRingJsonLimits, decodeAction);
}
