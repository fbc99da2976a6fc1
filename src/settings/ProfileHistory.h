#pragma once

#include "model/RingProfile.h"

#include <functional>
#include <optional>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

class AppProfileManager;
class QUndoStack;

// The settings window's undo history of the rings. Every change the window
// makes goes through apply() and becomes one step on the undo stack; undoing
// puts back the whole list and selection as they were before (ids, names, slots,
// icon paths and places), and saves it.
//
// A change made by anyone else (the market, a ring imported over D-Bus) would be
// lost by undoing a step recorded before it, so such a change empties the history.
class ProfileHistory : public QObject
{
    Q_OBJECT
public:
    // What a step did; steps that delete or clear are offered for undo at once.
    enum class Kind
    {
        add,
        remove,
        clear,
        slot,
        import,
    };

    explicit ProfileHistory(AppProfileManager& store, QObject* parent = nullptr);
    ~ProfileHistory() override;

    AppProfileManager& store() const { return m_store; }
    QUndoStack* stack() const { return m_stack; }

    // Runs `change` against the store as one step named `text`. Consecutive slot
    // steps with the same non-zero `mergeId` for the same ring and sector become
    // one step. A change that changed nothing leaves no step. Returns whether the
    // store changed.
    bool apply(Kind kind, const QString& text, const std::function<void()>& change, int mergeId = 0,
               const QUuid& ringId = {}, qint64 slotIndex = -1);

    // For a change that another view makes through the store itself (the add
    // sheet): begin before it may happen, end when it is over; what changed in
    // between becomes one step.
    void beginOutsideChange();
    void endOutsideChange(Kind kind, const QString& text);

Q_SIGNALS:
    // A step was recorded (or redone) that deleted or cleared a ring.
    void destructiveStepDone(const QString& text);
    // The history was emptied because the rings changed elsewhere.
    void cleared();

private:
    friend class ProfileStep;
    void restore(const QList<RingProfile>& profiles, const std::optional<QUuid>& selected);
    void onStoreChanged();

    AppProfileManager& m_store;
    QUndoStack* m_stack;
    int m_applying = 0;
    int m_outsideDepth = 0;
    QList<RingProfile> m_outsideBefore;
    std::optional<QUuid> m_outsideSelection;
};
