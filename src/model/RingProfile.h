#pragma once

#include "model/ActionModel.h"

#include <optional>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QUuid>

// One ring: the global ring (no bundle identifier) or a ring for one application.
struct RingProfile
{
    QUuid id;
    QString name;
    std::optional<QString> bundleIdentifier;
    std::optional<QString> appIconPath;
    QList<ActionSlot> slots;
    bool isBuiltIn = false;

    // A blank record without slots; used by containers and decoders.
    RingProfile() = default;
    // Builds a ring and normalises its slots to the eight sectors: a list of exactly
    // eight is kept as given, any other list is rebuilt sector by sector.
    RingProfile(const QUuid& id, const QString& name, const std::optional<QString>& bundleIdentifier,
                const std::optional<QString>& appIconPath, const QList<ActionSlot>& slots, bool isBuiltIn);

    // Keeps the slots exactly as given (file contents are read this way).
    static RingProfile fromStored(const QUuid& id, const QString& name,
                                  const std::optional<QString>& bundleIdentifier,
                                  const std::optional<QString>& appIconPath, const QList<ActionSlot>& slots,
                                  bool isBuiltIn);

    static QList<ActionSlot> normalizedSlots(const QList<ActionSlot>& slots);

    // First slot whose index equals sector % 8 (remainder keeps the sign of sector).
    std::optional<ActionSlot> slotAt(qint64 sector) const;
    // Replaces the first slot with the same index, or appends it.
    void updateSlot(const ActionSlot& slot);

    bool isGlobalDefault() const { return !bundleIdentifier.has_value(); }
    QString displayName() const;

    bool operator==(const RingProfile&) const = default;
};

size_t qHash(const RingProfile& profile, size_t seed = 0) noexcept;

namespace PresetProfiles {
// A new built-in global ring; fresh ids on every call.
RingProfile globalDefault();
QList<RingProfile> allDefaults();
} // namespace PresetProfiles

Q_DECLARE_METATYPE(RingProfile)
