#pragma once

#include "model/ActionModel.h"
#include "settings/EditorPresets.h"

#include <functional>
#include <QString>
#include <QStringList>

// The rules of the slot editor without any widget: the panel fields of the
// eight action types, how switching the type fills the slot, and how every
// commit writes the action, a title and an icon into the slot. Each change is
// handed to the commit handler at once; there is no Apply step.
//
// The fields belong to the editor: a commit never reads them back from the
// slot, so a field keeps what the user is typing (a trailing blank in a path
// stays in the field while the stored path is trimmed). Only a slot that
// changes from outside (another view, undo) is loaded into the fields. An
// edit that leaves the slot exactly as it was is not handed on.
class SlotEditorModel
{
public:
    // Tab indices of the action types. Open-path comes before open-URL here,
    // unlike the order of ActionType.
    enum Tab
    {
        ShortcutTab = 0,
        RunShortcutTab = 1,
        PasteTextTab = 2,
        LaunchAppTab = 3,
        OpenPathTab = 4,
        OpenUrlTab = 5,
        SystemControlTab = 6,
        NoneTab = 7,
    };
    static constexpr int tabCount = 8;

    struct TabInfo
    {
        QString labelKey;
        QString labelFallback;
        QString symbol; // also the default icon of a slot of that type
    };
    static TabInfo tabInfo(int tab);
    static QString tabLabel(int tab);
    static int tabForAction(const ActionType& action);

    using CommitHandler = std::function<void(const ActionSlot&)>;
    // The names of the installed user scripts, asked when the script tab needs them.
    using ScriptList = std::function<QStringList()>;

    SlotEditorModel(const ActionSlot& slot, CommitHandler onSave, ScriptList installedScripts = {},
                    QString homePath = {});

    const ActionSlot& slot() const { return m_slot; }
    // A slot from outside: loaded into the fields when it differs from the one held.
    void setSlot(const ActionSlot& slot);

    int actionTypeTab() const { return m_tab; }
    // A category button: switch to the tab and fill the slot for it.
    void selectTab(int tab);

    // The display name, stored as typed.
    void setTitle(const QString& title);

    // Shortcut panel.
    QString shortcutKey() const { return m_shortcutKey; }
    quint16 shortcutKeyCode() const { return m_shortcutKeyCode; }
    KeyModifiers shortcutModifiers() const { return m_modifiers; }
    bool isRecordingShortcut() const { return m_isRecording; }
    void startRecordingShortcut() { m_isRecording = true; }
    void stopRecordingShortcut() { m_isRecording = false; }
    // A key pressed while recording, already turned into a key code and flags.
    void recordShortcut(quint16 keyCode, const KeyModifiers& modifiers);
    void applyShortcutPreset(const EditorPresets::ShortcutPreset& preset);
    // The panel's clear button: the slot becomes unassigned.
    void clearShortcut();
    void commitShortcut();

    // Script panel.
    QString selectedShortcutName() const { return m_shortcutName; }
    void setSelectedShortcutName(const QString& name) { m_shortcutName = name; }
    // Trimmed name as action and title; a name of blanks stores nothing.
    void commitShortcutName(const QString& name);

    // Paste-text panel.
    QString targetTextContent() const { return m_textContent; }
    void editTextContent(const QString& text);
    void commitPasteText();
    void applyPromptTemplate(const QString& text, const QString& title);

    // Launch panel. A chosen application: its desktop-file id, name and entry file.
    QString targetAppName() const { return m_appName; }
    QString targetAppBundleId() const { return m_appBundleId; }
    QString targetAppPath() const { return m_appPath; }
    void chooseApplication(const QString& bundleId, const QString& name, const QString& path);

    // Open-path panel.
    QString targetPath() const { return m_path; }
    void editPath(const QString& path);
    void commitOpenPath();
    void applyQuickPath(const QString& path, const QString& title);
    // A folder or file chosen in a dialog, as an absolute path.
    void chooseFolder(const QString& absolutePath);

    // Open-URL panel.
    QString targetURL() const { return m_url; }
    void editURL(const QString& url);
    void commitOpenURL();

    // System-control panel.
    SystemControlAction selectedSystemControl() const { return m_control; }
    void chooseSystemControl(SystemControlAction control);

    // Path rules, public for the dialogs that start in the stored folder.
    // "~" and "~/..." expanded against the home folder; anything else as it is.
    static QString expandTilde(const QString& path, const QString& home);
    // The stored form of a chosen path: "~" for the home folder, "~/rest" inside
    // it, the absolute path elsewhere.
    static QString storedPath(const QString& absolutePath, const QString& home);
    // Last component as a file manager names it: trailing slashes dropped, "/" for the root.
    static QString lastPathComponent(const QString& path);

private:
    void syncStateFromSlot();
    void handleTabChange();
    void save();
    QString home() const;
    // The title a path gives an untitled slot: its last component, or the
    // generic open-path title for no path.
    QString pathTitle(const QString& trimmedPath) const;

    ActionSlot m_slot;
    CommitHandler m_onSave;
    ScriptList m_installedScripts;
    QString m_home;
    ActionSlot m_lastSaved;

    int m_tab = ShortcutTab;
    QString m_shortcutName;
    QString m_shortcutKey;
    quint16 m_shortcutKeyCode = 0;
    KeyModifiers m_modifiers;
    bool m_isRecording = false;
    SystemControlAction m_control = SystemControlAction::missionControl;
    QString m_appName;
    QString m_appBundleId;
    QString m_appPath;
    QString m_url;
    QString m_textContent;
    QString m_path;
};
