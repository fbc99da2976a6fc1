#pragma once

#include "model/RingProfile.h"

#include <QPointer>
#include <QWidget>

class AppProfileManager;
class ProfileHistory;
class QDialog;
class QFrame;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QSplitter;
class QTimer;
class QToolButton;
class QVBoxLayout;
class RingVisualEditorView;
class ShortcutsManager;
class SlotDetailEditorView;

// The profiles tab: the list of rings beside the detail column of the selected
// ring (toolbar, ring editor, slot editor, icon library). It stores nothing
// itself: every change goes through the window's history into the ring store,
// and the view redraws from what the store publishes.
class ProfilesView : public QWidget
{
    Q_OBJECT
public:
    ProfilesView(ProfileHistory& history, int selectedSlotIndex, ShortcutsManager* scripts = nullptr,
                 QWidget* parent = nullptr);
    ~ProfilesView() override;

    // The sector the editors work on; back to 0 whenever another ring is selected.
    int selectedSlotIndex() const { return m_slotIndex; }
    void setSelectedSlotIndex(int index);

    // The ring and slot the detail column edits.
    RingProfile currentProfile() const;
    ActionSlot currentSlot() const;

    // An icon picked in the library for the selected sector.
    void onSelectIcon(const IconInfo& icon);

    void exportCurrentProfile();
    void importProfile();
    void clearCurrentProfile();
    void deleteSelectedProfile();
    void openAddAppSheet();

    RingVisualEditorView* ringEditor() const;
    SlotDetailEditorView* slotEditor() const;
    QListWidget* list() const { return m_list; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildSidebar();
    QWidget* buildDetail();
    QWidget* buildUndoBar();
    QWidget* makeIconLibrary();
    QDialog* makeAddAppSheet();

    // Symbols and secondary texts in the colours of the current palette.
    void applyColours();
    void reloadList(bool force = false);
    void syncSelection();
    void onSelectedProfileChanged();
    void onProfilesChanged();
    void refreshDetail();
    void rebuildEditors();
    void rebuildSlotEditor();
    void commitSlot(const QUuid& ringId, const ActionSlot& slot, int mergeId);
    void showUndoBar(const QString& text);

    ProfileHistory& m_history;
    AppProfileManager& m_store;
    ShortcutsManager* m_scripts;
    int m_slotIndex = 0;
    std::optional<QUuid> m_shownProfileId;
    bool m_syncingList = false;

    QListWidget* m_list = nullptr;
    QToolButton* m_addButton = nullptr;
    QToolButton* m_trashButton = nullptr;

    QWidget* m_detail = nullptr;
    QLabel* m_profileTitle = nullptr;
    QLabel* m_profileDescription = nullptr;
    QToolButton* m_exportButton = nullptr;
    QToolButton* m_importButton = nullptr;
    QToolButton* m_clearButton = nullptr;
    QWidget* m_editorRow = nullptr;
    QPointer<RingVisualEditorView> m_ringEditor;
    QPointer<SlotDetailEditorView> m_slotEditor;
    QWidget* m_slotEditorHolder = nullptr;

    QFrame* m_undoBar = nullptr;
    QLabel* m_undoText = nullptr;
    QTimer* m_undoTimer = nullptr;
    QString m_pendingUndoText;
    int m_undoBarIndex = -1;
};
