#include "settings/RingEditorRules.h"

#include "hud/RadialGeometry.h"
#include "l10n/L10n.h"

#include <cmath>
#include <Qt>

namespace RingEditorRules {

std::optional<int> sectorForClick(const QPointF& offset)
{
    const double d = std::hypot(offset.x(), offset.y());
    if (d < centerHubRadius || d > maxClickRadius)
        return std::nullopt;
    return RadialGeometry::sectorIndex(RadialGeometry::clockAngle(offset));
}

int sectorForDrop(const QPointF& offset)
{
    return RadialGeometry::sectorIndex(RadialGeometry::clockAngle(offset));
}

ActionSlot slotOrBlank(const RingProfile& profile, int sector)
{
    return profile.slotAt(sector).value_or(ActionSlot::empty(sector));
}

ActionSlot slotAfterDrop(ActionSlot slot, const IconInfo& icon)
{
    slot.icon = icon;
    if (const auto* app = std::get_if<IconInfo::App>(&icon.value)) {
        slot.title = app->name;
        slot.action = ActionType::launchApp(app->bundleId, app->name, app->path);
        slot.isEnabled = true;
    }
    return slot;
}

QString chipTitle(const std::optional<ActionSlot>& slot)
{
    if (slot && !slot->action.isNone() && !ActionSlot::isPlaceholderTitle(slot->title) && slot->isEnabled)
        return slot->displayTitle();
    return L10n::string(QStringLiteral("ring.empty_slot"), QStringLiteral("空"));
}

int selectionAfterKey(int selected, int qtKey)
{
    const int n = RadialGeometry::sectorCount;
    switch (qtKey) {
    case Qt::Key_Right:
    case Qt::Key_Down:
        return (selected + 1) % n;
    case Qt::Key_Left:
    case Qt::Key_Up:
        return (selected + n - 1) % n;
    default:
        return selected;
    }
}

} // namespace RingEditorRules
