#pragma once

#include "model/ActionModel.h"
#include "model/RingProfile.h"

#include <optional>
#include <QPointF>
#include <QString>

// Geometry and rules of the ring editor, without a widget. Offsets are taken
// from the centre of the ring area, y pointing down.
namespace RingEditorRules {

constexpr double editorSize = 280;     // diameter of the backing disc
constexpr double centerHubRadius = 40; // the hub; clicks inside it select nothing
constexpr double frameSide = editorSize + 20;
constexpr double sectorInnerRadius = centerHubRadius + 4;
constexpr double selectedOuterRadius = 142;
constexpr double outerRadius = 138;
constexpr double gapDegrees = 2;
constexpr double contentRadius = 90;
constexpr double maxClickRadius = 168;

// The sector a click selects: none on the hub (closer than the hub radius) or
// beyond the ring (farther than maxClickRadius); both bounds select.
std::optional<int> sectorForClick(const QPointF& offset);
// The sector a drop lands on: only the direction counts, so a drop on the hub
// or in a corner still lands on the sector in that direction.
int sectorForDrop(const QPointF& offset);

// The ring's slot of a sector, or the blank slot a missing sector stands for.
ActionSlot slotOrBlank(const RingProfile& profile, int sector);

// The slot after an icon was dropped on it: an application's icon makes it
// launch that application, enabled and titled with the name; any other icon
// only changes the picture.
ActionSlot slotAfterDrop(ActionSlot slot, const IconInfo& icon);

// The text of a sector's chip: the slot's display title when it does
// something, otherwise the localised "empty".
QString chipTitle(const std::optional<ActionSlot>& slot);

// The selection after an arrow key: Right and Down go clockwise, Left and Up
// anticlockwise, wrapping around; other keys leave it.
int selectionAfterKey(int selected, int qtKey);

} // namespace RingEditorRules
