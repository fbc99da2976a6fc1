#include "model/RingProfile.h"

#include "l10n/L10n.h"

RingProfile::RingProfile(const QUuid& id, const QString& name, const std::optional<QString>& bundleIdentifier,
                         const std::optional<QString>& appIconPath, const QList<ActionSlot>& slots,
                         bool isBuiltIn)
    : id(id)
    , name(name)
    , bundleIdentifier(bundleIdentifier)
    , appIconPath(appIconPath)
    , slots(normalizedSlots(slots))
    , isBuiltIn(isBuiltIn)
{}

RingProfile RingProfile::fromStored(const QUuid& id, const QString& name,
                                    const std::optional<QString>& bundleIdentifier,
                                    const std::optional<QString>& appIconPath, const QList<ActionSlot>& slots,
                                    bool isBuiltIn)
{
    RingProfile profile;
    profile.id = id;
    profile.name = name;
    profile.bundleIdentifier = bundleIdentifier;
    profile.appIconPath = appIconPath;
    profile.slots = slots;
    profile.isBuiltIn = isBuiltIn;
    return profile;
}

QList<ActionSlot> RingProfile::normalizedSlots(const QList<ActionSlot>& slots)
{
    // Exactly eight is taken as the user's arrangement, whatever the indices say.
    if (slots.size() == 8)
        return slots;
    QList<ActionSlot> result;
    result.reserve(8);
    for (qint64 sector = 0; sector < 8; ++sector) {
        const auto found = std::find_if(slots.cbegin(), slots.cend(),
                                        [sector](const ActionSlot& s) { return s.index == sector; });
        result.append(found != slots.cend() ? *found : ActionSlot::empty(sector));
    }
    return result;
}

std::optional<ActionSlot> RingProfile::slotAt(qint64 sector) const
{
    const qint64 wanted = sector % 8;
    for (const ActionSlot& slot : slots) {
        if (slot.index == wanted)
            return slot;
    }
    return std::nullopt;
}

void RingProfile::updateSlot(const ActionSlot& slot)
{
    for (ActionSlot& existing : slots) {
        if (existing.index == slot.index) {
            existing = slot;
            return;
        }
    }
    slots.append(slot);
}

QString RingProfile::displayName() const
{
    if (bundleIdentifier)
        return name;
    return L10n::string(QStringLiteral("profile.global_default"), QStringLiteral("通用配置 (全局默认)"));
}

size_t qHash(const RingProfile& p, size_t seed) noexcept
{
    size_t h =
        qHashMulti(seed, p.id, p.name, p.bundleIdentifier.has_value(), p.bundleIdentifier.value_or(QString()),
                   p.appIconPath.has_value(), p.appIconPath.value_or(QString()), p.isBuiltIn);
    for (const ActionSlot& slot : p.slots)
        h = qHash(slot, h);
    return h;
}

namespace {

ActionSlot presetSlot(qint64 index, const QString& title, const QString& symbol, const ActionType& action)
{
    return ActionSlot{QUuid::createUuid(), index, title, IconInfo::sfSymbol(symbol), action, true};
}

} // namespace

RingProfile PresetProfiles::globalDefault()
{
    const QList<ActionSlot> slots{
        presetSlot(0, QStringLiteral("区域截图"), QStringLiteral("rectangle.dashed.badge.record"),
                   ActionType::systemControl(SystemControlAction::screenshotArea)),
        presetSlot(1, QStringLiteral("快捷指令"), QStringLiteral("square.stack.3d.up.fill"),
                   ActionType::runShortcut(QStringLiteral("翻译所选内容"))),
        presetSlot(
            2, QStringLiteral("常用文本"), QStringLiteral("text.bubble"),
            ActionType::pasteText(QStringLiteral("这是 Rondix 预设的常用文本，点击即可一键复制到剪贴板。"))),
        presetSlot(3, QStringLiteral("调度中心"), QStringLiteral("square.2.layers.3d.top.filled"),
                   ActionType::systemControl(SystemControlAction::missionControl)),
        presetSlot(4, QStringLiteral("锁定屏幕"), QStringLiteral("lock.fill"),
                   ActionType::systemControl(SystemControlAction::lockScreen)),
        presetSlot(5, QStringLiteral("访达"), QStringLiteral("folder.fill"),
                   ActionType::systemControl(SystemControlAction::openFinder)),
        presetSlot(6, QStringLiteral("显示桌面"), QStringLiteral("desktopcomputer"),
                   ActionType::systemControl(SystemControlAction::showDesktop)),
        presetSlot(7, QStringLiteral("聚焦搜索"), QStringLiteral("magnifyingglass"),
                   ActionType::systemControl(SystemControlAction::spotlight)),
    };
    return RingProfile(QUuid::createUuid(), QStringLiteral("通用配置 (全局默认)"), std::nullopt, std::nullopt,
                       slots, true);
}

QList<RingProfile> PresetProfiles::allDefaults()
{
    return {globalDefault()};
}
