#pragma once

#include "model/RingProfile.h"

#include <functional>
#include <optional>
#include <QList>
#include <QWidget>

class QAbstractButton;
class QLabel;
class RingEditorArea;

// The ring being edited, drawn as eight sectors with a hub that names the
// selected one, a strip of numbered chips under it and a tip. Clicking a
// sector or a chip (or the arrow keys) selects the sector the slot editor
// works on; dropping an icon from the icon library on a sector gives it that
// icon. The view never stores anything: a changed slot goes to onSlotUpdated.
class RingVisualEditorView : public QWidget
{
    Q_OBJECT
public:
    using SlotCommit = std::function<void(const ActionSlot& slot)>;

    RingVisualEditorView(const RingProfile& profile, int selectedSlotIndex, SlotCommit onSlotUpdated,
                         QWidget* parent = nullptr);

    const RingProfile& profile() const { return m_profile; }
    // The ring after an edit elsewhere (slot editor, undo): redrawn in place.
    void setProfile(const RingProfile& profile);

    int selectedSlotIndex() const { return m_selected; }
    void setSelectedSlotIndex(int index);

    // The drop target while an icon is dragged over the ring; nothing else sets it.
    std::optional<int> targetedDropIndex() const { return m_targetedDrop; }

    // The ring area, for tests and screen readers (its child widget).
    QWidget* ringArea() const;

Q_SIGNALS:
    void selectedSlotIndexChanged(int index);

private:
    friend class RingEditorArea;
    void refreshChips();
    bool dropIcon(const QByteArray& json, const QPointF& offset);

    RingProfile m_profile;
    int m_selected = 0;
    SlotCommit m_onSlotUpdated;
    std::optional<int> m_targetedDrop;
    RingEditorArea* m_area = nullptr;
    QList<QAbstractButton*> m_chips;
    QLabel* m_tip = nullptr;
};
