#include "settings/ProfileHistory.h"

#include "model/AppProfileManager.h"

#include <QUndoCommand>
#include <QUndoStack>

// One recorded change: the list and selection before and after it.
class ProfileStep : public QUndoCommand
{
public:
    static constexpr int kSlotEditId = 1;

    ProfileStep(ProfileHistory& history, ProfileHistory::Kind kind, const QString& text,
                std::function<void()> change, int mergeId, const QUuid& ringId, qint64 slotIndex)
        : QUndoCommand(text)
        , m_history(history)
        , m_kind(kind)
        , m_change(std::move(change))
        , m_mergeId(mergeId)
        , m_ringId(ringId)
        , m_slotIndex(slotIndex)
    {
        AppProfileManager& store = history.store();
        m_before = store.profiles();
        m_beforeSelection = store.selectedProfileId();
    }

    // A change that has happened already.
    ProfileStep(ProfileHistory& history, ProfileHistory::Kind kind, const QString& text,
                const QList<RingProfile>& before, const std::optional<QUuid>& beforeSelection)
        : QUndoCommand(text)
        , m_history(history)
        , m_kind(kind)
        , m_before(before)
        , m_beforeSelection(beforeSelection)
    {
        captureAfter();
    }

    bool changedAnything() const { return m_before != m_after || m_beforeSelection != m_afterSelection; }
    ProfileHistory::Kind kind() const { return m_kind; }

    void redo() override
    {
        if (m_change) {
            // The first run makes the change through the store's own operation.
            const auto change = std::exchange(m_change, nullptr);
            ++m_history.m_applying;
            change();
            --m_history.m_applying;
            captureAfter();
            if (!changedAnything())
                setObsolete(true);
        } else if (m_done) {
            m_history.restore(m_after, m_afterSelection);
        }
        m_done = true;
        if (m_kind == ProfileHistory::Kind::remove || m_kind == ProfileHistory::Kind::clear)
            Q_EMIT m_history.destructiveStepDone(text());
    }

    void undo() override { m_history.restore(m_before, m_beforeSelection); }

    int id() const override { return m_mergeId != 0 ? kSlotEditId : -1; }

    bool mergeWith(const QUndoCommand* other) override
    {
        if (other->id() != id())
            return false;
        const auto* step = static_cast<const ProfileStep*>(other);
        if (step->m_mergeId != m_mergeId || step->m_ringId != m_ringId || step->m_slotIndex != m_slotIndex)
            return false;
        m_after = step->m_after;
        m_afterSelection = step->m_afterSelection;
        // Typing that ends where it began leaves nothing to undo.
        if (!changedAnything())
            setObsolete(true);
        return true;
    }

private:
    void captureAfter()
    {
        m_after = m_history.store().profiles();
        m_afterSelection = m_history.store().selectedProfileId();
    }

    ProfileHistory& m_history;
    ProfileHistory::Kind m_kind;
    std::function<void()> m_change;
    int m_mergeId = 0;
    QUuid m_ringId;
    qint64 m_slotIndex = -1;
    bool m_done = false;
    QList<RingProfile> m_before;
    std::optional<QUuid> m_beforeSelection;
    QList<RingProfile> m_after;
    std::optional<QUuid> m_afterSelection;
};

ProfileHistory::ProfileHistory(AppProfileManager& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
    , m_stack(new QUndoStack(this))
{
    connect(&m_store, &AppProfileManager::profilesChanged, this, &ProfileHistory::onStoreChanged);
}

ProfileHistory::~ProfileHistory() = default;

bool ProfileHistory::apply(Kind kind, const QString& text, const std::function<void()>& change, int mergeId,
                           const QUuid& ringId, qint64 slotIndex)
{
    auto* step = new ProfileStep(*this, kind, text, change, mergeId, ringId, slotIndex);
    const QList<RingProfile> before = m_store.profiles();
    m_stack->push(step); // runs the change; an obsolete step is dropped
    return m_store.profiles() != before;
}

void ProfileHistory::beginOutsideChange()
{
    if (m_outsideDepth++ == 0) {
        m_outsideBefore = m_store.profiles();
        m_outsideSelection = m_store.selectedProfileId();
    }
}

void ProfileHistory::endOutsideChange(Kind kind, const QString& text)
{
    if (m_outsideDepth == 0 || --m_outsideDepth > 0)
        return;
    auto* step = new ProfileStep(*this, kind, text, m_outsideBefore, m_outsideSelection);
    m_outsideBefore.clear();
    if (!step->changedAnything()) {
        delete step;
        return;
    }
    m_stack->push(step);
}

void ProfileHistory::restore(const QList<RingProfile>& profiles, const std::optional<QUuid>& selected)
{
    ++m_applying;
    m_store.setProfiles(profiles);
    m_store.setSelectedProfileId(selected);
    m_store.saveProfiles();
    --m_applying;
}

void ProfileHistory::onStoreChanged()
{
    if (m_applying > 0 || m_outsideDepth > 0 || m_stack->count() == 0)
        return;
    m_stack->clear();
    Q_EMIT cleared();
}
