#pragma once

#include "model/RingProfile.h"

#include <optional>
#include <QList>
#include <QString>

class AppProfileManager;

// The rules of the settings window that need no window: which ring and slot the
// editors work on, what picking an icon does to a slot, the texts of the header
// and of the ring-file alerts, and the window title and colour scheme.
namespace SettingsRules {

enum class SettingsTab
{
    profiles,
    general,
    market,
};

QList<SettingsTab> allTabs();
// "profiles", "general", "market".
QString rawValue(SettingsTab tab);
// The tab's title in the interface language.
QString title(SettingsTab tab);
// The symbol drawn beside the title.
QString symbol(SettingsTab tab);

// The ring the detail column edits: the selected ring, or a new built-in global
// ring when no ring is selected (or the selection names no ring).
RingProfile currentProfile(const QList<RingProfile>& profiles, const std::optional<QUuid>& selectedId);
// Whether the selection names a ring of the list (the detail column shows only then).
bool hasSelectedProfile(const QList<RingProfile>& profiles, const std::optional<QUuid>& selectedId);

// The slot the slot editor edits: the ring's slot for the sector, or a blank
// slot for it (fresh id, empty title and symbol, no action, disabled).
ActionSlot currentSlot(const RingProfile& profile, int slotIndex);

// The slot after an icon was picked in the icon library for the sector, or none
// when the ring has no slot there. An application icon makes the slot launch
// that application under its name; an application or symbol icon enables the
// slot; an image icon leaves it as it was.
std::optional<ActionSlot> slotWithPickedIcon(const RingProfile& profile, int slotIndex, const IconInfo& icon);

// The test button's text: with the recorded hotkey's text when there is one.
QString summonTestLabel(const std::optional<QString>& hotkeyText);

// The settings window's title in the interface language.
QString windowTitle();
// Whether a window's current title marks it as a settings window to retitle.
bool isSettingsWindowTitle(const QString& title);

// The alert texts of ring files.
QString exportSuccessText(const QString& filePath);
// The imported ring as the file named it; the global ring by its localised name.
QString importSuccessText(const RingProfile& fromFile);
QString importFailedText(const QString& error);

} // namespace SettingsRules
