#pragma once

#include "model/ActionModel.h"

#include <QList>
#include <QString>

// Fixed data behind the slot editor: shortcut presets, paste-text templates,
// quick paths and the system controls offered by the picker, plus the pure
// rules that turn a chosen entry into the slot that gets stored.
//
// On Linux the editing and tab presets use Control where the ring data was
// designed around Command (copy is Ctrl+C here); the Control+Tab presets are
// the same everywhere.
namespace EditorPresets {

struct ShortcutPreset
{
    QString entryKey; // menu entry, long label
    QString entryFallback;
    QString key; // key text stored in the shortcut
    quint16 keyCode = 0;
    KeyModifiers modifiers;
    QString titleKey; // slot title, short label
    QString titleFallback;
    QString iconSymbol;

    QString localizedEntry() const;
    QString localizedTitle() const;
    ActionType action() const;
};

struct ShortcutPresetSection
{
    QString titleKey;
    QString titleFallback;
    QList<ShortcutPreset> presets;

    QString localizedTitle() const;
};

struct PromptTemplate
{
    QString labelKey; // chip label
    QString labelFallback;
    QString textKey; // text pasted
    QString textFallback;
    QString titleKey; // slot title
    QString titleFallback;

    QString localizedLabel() const;
    QString localizedText() const;
    QString localizedTitle() const;
};

struct QuickPath
{
    QString titleKey;
    QString titleFallback;
    QString path; // stored as is; "~" is expanded when opened

    QString localizedTitle() const;
};

// Menu title of the shortcut presets.
QString presetsMenuTitle();
// The two menu sections, browser/tab presets first, then editing.
QList<ShortcutPresetSection> shortcutSections();
// Every shortcut preset, in menu order.
QList<ShortcutPreset> allShortcutPresets();
// The preset with this entry key, if any.
std::optional<ShortcutPreset> shortcutPreset(const QString& entryKey);

QString promptTemplatesTitle();
QList<PromptTemplate> promptTemplates();

QString quickPathsTitle();
QList<QuickPath> quickPaths();

// The controls of the system-control picker, in declaration order.
QList<SystemControlAction> systemControls();

// An empty title or the literal "未分配" (in every language) is a placeholder.
bool isPlaceholderTitle(const QString& title);
// An icon whose name text (symbol, app name or image name) is empty or "未分配".
bool isPlaceholderIcon(const IconInfo& icon);

// The slot after choosing a shortcut preset: title and icon always replaced,
// the preset's shortcut as action, enabled. Id and index stay.
ActionSlot applyShortcutPreset(ActionSlot slot, const ShortcutPreset& preset);

// The slot after committing a paste text: the content untrimmed, placeholder
// title and icon filled in, enabled.
ActionSlot commitPasteText(ActionSlot slot, const QString& content);

// The slot after choosing a prompt template: its localised text; its title
// replaces a placeholder title or the generic paste-text title, never one the
// user typed.
ActionSlot applyPromptTemplate(ActionSlot slot, const PromptTemplate& prompt);

// The slot after choosing a quick path: title, icon and action always replaced.
ActionSlot applyQuickPath(ActionSlot slot, const QuickPath& quickPath);

} // namespace EditorPresets
