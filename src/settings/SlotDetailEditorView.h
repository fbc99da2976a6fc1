#pragma once

#include "model/ActionModel.h"
#include "settings/SlotEditorModel.h"

#include <functional>
#include <QList>
#include <QPointer>
#include <QWidget>

class ActionIconView;
class QAbstractButton;
class QButtonGroup;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class PageStack;
class QToolButton;
class ShortcutsManager;

// Edits one slot: its display name, and its action through eight action-type
// buttons, each with a configuration panel whose controls write straight into
// the slot. Every change is handed to the owner at once. The rules live in
// SlotEditorModel; this widget shows the model's state and forwards input.
class SlotDetailEditorView : public QWidget
{
    Q_OBJECT
public:
    // A changed slot. Consecutive commits with the same non-zero merge id come
    // from one edit of one text field and belong in one undo step; 0 never merges.
    using SlotCommit = std::function<void(const ActionSlot& slot, int mergeId)>;

    SlotDetailEditorView(const ActionSlot& slot, SlotCommit onSave, ShortcutsManager* scripts = nullptr,
                         QWidget* parent = nullptr);
    ~SlotDetailEditorView() override;

    // The slot after a change elsewhere (a drop on the ring, undo): the panels follow it.
    void setSlot(const ActionSlot& slot);
    const ActionSlot& slot() const { return m_model.slot(); }
    const SlotEditorModel& model() const { return m_model; }

    bool isRecordingShortcut() const { return m_model.isRecordingShortcut(); }
    void startRecordingShortcut();
    void stopRecordingShortcut();

    // Dialogs, replaceable so that tests can answer them. Each returns an
    // absolute path, or nothing when cancelled.
    using PathPicker = std::function<QString(QWidget* parent, const QString& startIn)>;
    void setApplicationPicker(PathPicker picker) { m_pickApplication = std::move(picker); }
    void setFolderPicker(PathPicker picker) { m_pickFolder = std::move(picker); }
    void setFilePicker(PathPicker picker) { m_pickFile = std::move(picker); }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // A text field's edit: the commits it makes share one merge id until the
    // field loses focus, so typing a word is one undo step.
    class MergeScope;
    int mergeIdFor(QObject* field);
    void endMerge(QObject* field);

    void build();
    QWidget* buildHeader();
    QWidget* buildNameAndIcon();
    QWidget* buildTypeGrid();
    QWidget* buildShortcutPanel();
    QWidget* buildScriptPanel();
    QWidget* buildPasteTextPanel();
    QWidget* buildLaunchPanel();
    QWidget* buildOpenPathPanel();
    QWidget* buildOpenUrlPanel();
    QWidget* buildSystemControlPanel();
    QWidget* buildUnassignedPanel();

    void refresh();
    void refreshScriptPanel();
    void commit(const ActionSlot& slot);
    void handleRecordedKey(QKeyEvent* event);
    void selectApplicationFromPanel();
    void selectPathFromPanel(bool folder);
    void openScriptsFolder();

    SlotEditorModel m_model;
    SlotCommit m_onSave;
    QPointer<ShortcutsManager> m_scripts;
    int m_activeMergeId = 0;
    QObject* m_mergeField = nullptr;
    int m_mergeId = 0;
    bool m_refreshing = false;
    bool m_grabbing = false;

    PathPicker m_pickApplication;
    PathPicker m_pickFolder;
    PathPicker m_pickFile;

    QLabel* m_headerTitle = nullptr;
    QLabel* m_headerStatus = nullptr;
    QPushButton* m_clearSector = nullptr;
    QLineEdit* m_titleField = nullptr;
    ActionIconView* m_iconPreview = nullptr;
    QLabel* m_iconName = nullptr;
    QButtonGroup* m_typeGroup = nullptr;
    PageStack* m_panels = nullptr;

    // Shortcut panel.
    PageStack* m_shortcutState = nullptr;
    QWidget* m_shortcutShownRow = nullptr;
    QLabel* m_shortcutShown = nullptr;
    QPushButton* m_recordButton = nullptr;
    QToolButton* m_presetsButton = nullptr;

    // Script panel.
    QToolButton* m_refreshScripts = nullptr;
    PageStack* m_scriptState = nullptr;
    QLineEdit* m_scriptNameField = nullptr;
    QComboBox* m_scriptPicker = nullptr;

    // Paste text panel.
    QLabel* m_textCount = nullptr;
    QPlainTextEdit* m_textEditor = nullptr;

    // Launch panel.
    QWidget* m_appRow = nullptr;
    ActionIconView* m_appIcon = nullptr;
    QLabel* m_appLabel = nullptr;

    QLineEdit* m_pathField = nullptr;
    QLineEdit* m_urlField = nullptr;
    QComboBox* m_controlPicker = nullptr;
};
