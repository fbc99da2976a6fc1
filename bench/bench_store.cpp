// Ring store and ring file coding: load + save of 1,000 rings, decoding and
// encoding of a 1 MB ring file, and how fast and cheaply hostile ring files of
// the largest size accepted are refused. Prints each figure beside its target.
#include "BenchTiming.h"
#include "model/AppProfileManager.h"
#include "model/ModelJson.h"
#include "model/RingProfile.h"
#include "RingDocuments.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

// Targets. The store figure is the product's performance goal; the file coding
// targets are set here: a 1 MB ring file is far beyond real ones (a few KB), so
// coding it must still stay well inside one frame at interactive speed.
constexpr double kStoreTargetMs = 50;
constexpr double kDecodeTargetMs = 20;
constexpr double kEncodeTargetMs = 20;
// A hostile file is refused before it can hold up the main thread or take
// more than a few megabytes.
constexpr double kRefuseTargetMs = 100;
constexpr long kRefuseTargetKiB = 8 * 1024;

ActionSlot benchSlot(qint64 index, int variant)
{
    ActionSlot slot = ActionSlot::empty(index);
    slot.title = QStringLiteral("Slot %1").arg(variant);
    slot.isEnabled = true;
    KeyModifiers mods;
    mods.control = true;
    mods.shift = variant % 2;
    switch (variant % 6) {
    case 0:
        slot.icon = IconInfo::sfSymbol(QStringLiteral("doc.on.doc.fill"));
        slot.action = ActionType::shortcut(QStringLiteral("C"), 8, mods);
        break;
    case 1:
        slot.icon = IconInfo::sfSymbol(QStringLiteral("text.bubble"));
        slot.action = ActionType::pasteText(QStringLiteral("Kind regards,\nRondix bench %1").arg(variant));
        break;
    case 2:
        slot.icon = IconInfo::app(QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"),
                                  QStringLiteral("/usr/share/applications/org.gnome.TextEditor.desktop"));
        slot.action =
            ActionType::launchApp(QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"),
                                  QStringLiteral("/usr/share/applications/org.gnome.TextEditor.desktop"));
        break;
    case 3:
        slot.icon = IconInfo::sfSymbol(QStringLiteral("globe"));
        slot.action = ActionType::openURL(QStringLiteral("https://example.org/page/%1").arg(variant));
        break;
    case 4:
        slot.icon = IconInfo::sfSymbol(QStringLiteral("lock.fill"));
        slot.action = ActionType::systemControl(SystemControlAction::lockScreen);
        break;
    default:
        slot.icon = IconInfo::sfSymbol(QStringLiteral("folder"));
        slot.action = ActionType::openPath(QStringLiteral("~/Documents/%1").arg(variant));
        break;
    }
    return slot;
}

RingProfile benchRing(int n)
{
    QList<ActionSlot> slots;
    for (int i = 0; i < 8; ++i)
        slots << benchSlot(i, n * 8 + i);
    return RingProfile(
        QUuid::createUuid(), QStringLiteral("App %1").arg(n), QStringLiteral("org.example.app%1").arg(n),
        QStringLiteral("/usr/share/applications/org.example.app%1.desktop").arg(n), slots, false);
}

// One ring with as many slots as it takes to reach about `bytes` of pretty JSON.
RingProfile largeRing(qsizetype bytes)
{
    const auto ringOf = [](qsizetype count) {
        QList<ActionSlot> slots;
        for (qsizetype i = 0; i < count; ++i)
            slots << benchSlot(i % 8, int(i));
        return RingProfile::fromStored(QUuid::createUuid(), QStringLiteral("Large"), std::nullopt,
                                       std::nullopt, slots, false);
    };
    const qsizetype sample = 100;
    const qsizetype perSlot = encodeRingProfile(ringOf(sample)).size() / sample;
    return ringOf(bytes / perSlot);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    reportSystemLoad(out);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        QTextStream(stderr) << "cannot create a temporary folder\n";
        return 1;
    }

    // Store: 1,000 per-application rings after the global ring.
    QList<RingProfile> rings = {PresetProfiles::globalDefault()};
    for (int n = 0; n < 1000; ++n)
        rings << benchRing(n);
    const QByteArray storeJson = encodeRingProfiles(rings);
    QDir().mkpath(dir.filePath(QStringLiteral("Rondix")));
    QFile storeFile(dir.filePath(QStringLiteral("Rondix/profiles.json")));
    if (!storeFile.open(QIODevice::WriteOnly) || storeFile.write(storeJson) != storeJson.size()) {
        QTextStream(stderr) << "cannot write the store file\n";
        return 1;
    }
    storeFile.close();
    out << "store file: " << rings.size() << " rings, " << storeJson.size() / 1024 << " KB\n";

    qsizetype loaded = 0;
    bool saved = true;
    const BenchTiming store = measure(20, [&] {
        AppProfileManager manager(dir.path());
        loaded = manager.profiles().size();
        saved = manager.saveProfiles() && saved;
    });
    if (loaded != rings.size() || !saved) {
        QTextStream(stderr) << "store round trip failed: " << loaded << " rings loaded\n";
        return 1;
    }
    reportTiming(out, QStringLiteral("store load + save, 1,000 rings"), store, kStoreTargetMs);

    // The two halves, to show where the time goes.
    const BenchTiming load = measure(20, [&] { loaded = AppProfileManager(dir.path()).profiles().size(); });
    reportTiming(out, QStringLiteral("  of which load"), load, 0);
    AppProfileManager manager(dir.path());
    const BenchTiming save = measure(20, [&] { saved = manager.saveProfiles() && saved; });
    reportTiming(out, QStringLiteral("  of which save"), save, 0);
    const BenchTiming parse = measure(20, [&] { loaded = decodeRingProfiles(storeJson)->size(); });
    reportTiming(out, QStringLiteral("  (decoding the bytes alone)"), parse, 0);
    qsizetype encodedStoreSize = 0;
    const BenchTiming encodeStore = measure(20, [&] { encodedStoreSize = encodeRingProfiles(rings).size(); });
    reportTiming(out, QStringLiteral("  (encoding the list alone)"), encodeStore, 0);

    // One ring file of about 1 MB.
    const RingProfile large = largeRing(1024 * 1024);
    const QByteArray largeJson = encodeRingProfile(large);
    out << "ring file: " << large.slots.size() << " slots, " << largeJson.size() / 1024 << " KB\n";

    bool decodedEqual = true;
    const BenchTiming decode = measure(20, [&] {
        const std::optional<RingProfile> decoded = decodeRingProfile(largeJson);
        decodedEqual = decodedEqual && decoded && decoded->slots.size() == large.slots.size();
    });
    if (!decodedEqual) {
        QTextStream(stderr) << "decoding the large ring failed\n";
        return 1;
    }
    reportTiming(out, QStringLiteral("decode 1 MB ring file"), decode, kDecodeTargetMs);

    qsizetype encodedSize = 0;
    const BenchTiming encode = measure(20, [&] { encodedSize = encodeRingProfile(large).size(); });
    if (encodedSize != largeJson.size())
        return 1;
    reportTiming(out, QStringLiteral("encode 1 MB ring file"), encode, kEncodeTargetMs);

    // Hostile ring files of the largest size a ring file may have. Before they
    // were bounded, 32 MB of brackets took 1.6 GB and seconds to refuse.
    const qsizetype limit = kRingJsonLimits.maxBytes;
    const struct
    {
        const char* name;
        QByteArray bytes;
    } hostile[] = {
        {"refuse 4 MB of nesting", filledTo(limit, "", "[", "")},
        {"refuse 4 MB of numbers", filledTo(limit, "[", "0,", "0]")},
        {"refuse 4 MB of empty arrays", filledTo(limit, "[", "[],", "[]]")},
        {"refuse 4 MB of members", filledTo(limit, "{", "\"k\":{},", "\"k\":{}}")},
        {"accept a 4 MB string", filledTo(limit, "\"", "x", "\"")}, // costly but bounded
    };
    bool failed = false;
    for (const auto& file : hostile) {
        const bool accept = QByteArray(file.name).startsWith("accept");
        bool asExpected = true;
        const BenchTiming t =
            measure(20, [&] { asExpected = decodeRingProfile(file.bytes).has_value() == accept; });
        const long kib = peakMemoryKiB([&] { (void)decodeRingProfile(file.bytes); });
        // An accepted file is bounded by the byte limit alone; the targets are for refusals.
        reportTiming(out, QString::fromLatin1(file.name), t, accept ? 0 : kRefuseTargetMs);
        out << QStringLiteral("  peak memory %1 KB").arg(kib);
        if (!accept) {
            out << QStringLiteral("   target < %1 KB: %2")
                       .arg(kRefuseTargetKiB)
                       .arg(kib < kRefuseTargetKiB ? QStringLiteral("met") : QStringLiteral("MISSED"));
        }
        out << "\n";
        out.flush();
        failed = failed || !asExpected;
    }
    if (failed) {
        QTextStream(stderr) << "a hostile ring file was not handled as expected\n";
        return 1;
    }
    return 0;
}
