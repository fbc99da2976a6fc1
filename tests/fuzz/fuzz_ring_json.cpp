// Ring JSON: the file exchange decoder, the store decoder, the parts and the
// tree parser. Nothing may crash or throw; a decoded ring writes and reads back
// equal; both parsers agree on what a document holds; errors are printable.
#include "FuzzCheck.h"
#include "model/ModelJson.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    QString error;

    const std::optional<RingProfile> ring = decodeRingProfile(bytes, &error);
    FUZZ_CHECK(ring || !error.isEmpty(), "a failure without a reason");
    FUZZ_CHECK(printable(error), error);
    if (ring) {
        const std::optional<RingProfile> again = decodeRingProfile(encodeRingProfile(*ring), &error);
        FUZZ_CHECK(again && *again == *ring, QStringLiteral("round trip: ") + error);
    }

    const auto rings = decodeRingProfiles(bytes, &error);
    FUZZ_CHECK(printable(error), error);
    if (rings) {
        const auto again = decodeRingProfiles(encodeRingProfiles(*rings), &error);
        FUZZ_CHECK(again && *again == *rings, QStringLiteral("list round trip: ") + error);
    }

    // The tree parser reads the same documents to the same ring.
    const std::optional<ModelJson::Json> tree = ModelJson::parse(bytes, &error);
    FUZZ_CHECK(printable(error), error);
    if (tree) {
        const std::optional<RingProfile> fromTree = ModelJson::ringProfileFromJson(*tree, &error);
        FUZZ_CHECK(printable(error), error);
        FUZZ_CHECK(fromTree == ring, QStringLiteral("the tree and the token decoder disagree: ") + error);
    }

    if (const auto icon = decodeIconInfo(bytes, &error))
        FUZZ_CHECK(decodeIconInfo(encodeIconInfo(*icon)) == icon, "icon round trip");
    FUZZ_CHECK(printable(error), error);
    if (const auto slot = decodeActionSlot(bytes, &error))
        FUZZ_CHECK(decodeActionSlot(encodeActionSlot(*slot)) == slot, "slot round trip");
    FUZZ_CHECK(printable(error), error);
    if (const auto action = decodeActionType(bytes, &error))
        FUZZ_CHECK(decodeActionType(encodeActionType(*action)) == action, "action round trip");
    FUZZ_CHECK(printable(error), error);
    return 0;
}
