#pragma once

#include "model/ActionModel.h"
#include "model/RingProfile.h"

#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <QByteArray>
#include <QList>
#include <QString>

// Strict JSON coding of the ring model. Records are objects with one member per
// field (all required, unknown members ignored); tagged unions are objects with
// exactly one case member. Any violation fails the whole document, and the error
// names the place, e.g. "slots[3].isEnabled: missing", or the line and column of
// malformed JSON. Values from the document appear in errors escaped and cut short.
//
// Decoders never throw. A single ring (and its parts) is decoded within
// kRingJsonLimits; the store list within kStoreJsonLimits.
//
// Encoders write members in field order; Pretty gives one member per line.

enum class JsonLayout
{
    Pretty,
    Compact
};

// Bounds on the work one document may cause, enforced while it is parsed: a file
// of a few megabytes of brackets must not cost gigabytes of tokens or seconds of
// the main thread before the decoder gets to refuse it.
struct JsonLimits
{
    qsizetype maxBytes;
    int maxDepth;        // levels of arrays and objects
    qsizetype maxValues; // values, keys and closing brackets, all counted
};

// One ring: an exchange file, a dragged icon, a market package. A real ring is a
// few kilobytes and nests six levels deep; these leave room for thousands of slots.
inline constexpr JsonLimits kRingJsonLimits{4 * 1024 * 1024, 64, 1 << 17};
// The store is written by Rondix itself and grows with every ring added, so only
// the nesting is bounded.
inline constexpr JsonLimits kStoreJsonLimits{std::numeric_limits<qsizetype>::max(), 64,
                                             std::numeric_limits<qsizetype>::max()};

QByteArray encodeRingProfile(const RingProfile& profile, JsonLayout layout = JsonLayout::Pretty);
std::optional<RingProfile> decodeRingProfile(const QByteArray& json, QString* error = nullptr);

QByteArray encodeRingProfiles(const QList<RingProfile>& profiles, JsonLayout layout = JsonLayout::Pretty);
std::optional<QList<RingProfile>> decodeRingProfiles(const QByteArray& json, QString* error = nullptr,
                                                     const JsonLimits& limits = kStoreJsonLimits);

// Icons travel compactly between views (drag and drop).
QByteArray encodeIconInfo(const IconInfo& icon, JsonLayout layout = JsonLayout::Compact);
std::optional<IconInfo> decodeIconInfo(const QByteArray& json, QString* error = nullptr);

QByteArray encodeActionSlot(const ActionSlot& slot, JsonLayout layout = JsonLayout::Pretty);
std::optional<ActionSlot> decodeActionSlot(const QByteArray& json, QString* error = nullptr);

QByteArray encodeActionType(const ActionType& action, JsonLayout layout = JsonLayout::Compact);
std::optional<ActionType> decodeActionType(const QByteArray& json, QString* error = nullptr);

// Tree-level coding for documents that embed rings (market packages).
namespace ModelJson {
using Json = nlohmann::ordered_json;

Json toJson(const IconInfo& icon);
Json toJson(const KeyModifiers& modifiers);
Json toJson(const ActionType& action);
Json toJson(const ActionSlot& slot);
Json toJson(const RingProfile& profile);
Json toJson(const QList<RingProfile>& profiles);

// `path` prefixes error places ("profile" gives "profile.slots[0].id: missing").
std::optional<RingProfile> ringProfileFromJson(const Json& json, QString* error = nullptr,
                                               const QString& path = {});
std::optional<QList<RingProfile>> ringProfilesFromJson(const Json& json, QString* error = nullptr,
                                                       const QString& path = {});

// Parses bytes as one JSON document (UTF-8 required) within `limits`; nothing on
// malformed input or beyond the limits.
std::optional<Json> parse(const QByteArray& bytes, QString* error = nullptr,
                          const JsonLimits& limits = kRingJsonLimits);
QByteArray serialize(const Json& json, JsonLayout layout);

// "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"
QString uuidString(const QUuid& id);
// Accepts the 36-character 8-4-4-4-12 form in either letter case; nothing otherwise.
std::optional<QUuid> uuidFromString(const QString& text);
} // namespace ModelJson
