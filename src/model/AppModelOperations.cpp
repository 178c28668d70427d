#include "model/AppModel.h"
#include "model/Constants.h"
#include "model/KeyNames.h"

#include "family/FamilyConstants.h"

#include "store/Dates.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"

#include <QTimer>

namespace vorn {

namespace {

constexpr double kMovedKeyStep = 0.001;

// Titles and names given to us become one line without surrounding blanks; nothing left means "no", and
// one longer than the limit is refused with a word rather than cut.
std::optional<QString> cleanTitle(AppModel& model, const QString& text)
{
    TitleInput in = titleInput(text);
    if (in.problem == TitleInput::Problem::tooLong)
        model.showToast(titleTooLongMessage());
    if (!in.ok())
        return std::nullopt;
    return std::move(in.text);
}

// An editor starts with a stored title as one line, cut to the limit: given back untouched, that is
// no rename, so the stored title is never rewritten to what was only shown of it.
bool isSameTitle(const QString& clean, const QString& stored)
{
    return clean == stored || clean == editableTitle(stored);
}

QString deletedToast(qsizetype n, bool anyOwn)
{
    // Family rows alone cannot come back with undo, so that toast doesn't promise it.
    const QString tail =
        anyOwn ? QStringLiteral(". ") + undoHint() : QStringLiteral(". Gone from Vorn Planner too.");
    if (n == 1)
        return QStringLiteral("Deleted") + tail;
    return QStringLiteral("Deleted ") + QString::number(n) + tail;
}

bool noteIsTooBig(const AppModel& model, const NoteTarget& target)
{
    const NoteContent note = model.noteContent(target);
    return isNoteTooBig(note.plain) || (note.rtf && isNoteTooBig(QByteArrayView(*note.rtf)));
}

} // namespace

Thing* AppModel::add(const QString& title, const Source& source)
{
    const std::optional<QString> clean = cleanTitle(*this, title);
    if (!clean)
        return nullptr;
    const QDateTime t = m_clock->now();

    std::optional<QDateTime> snoozedUntil;
    Pile* into = nullptr;
    if (auto id = source.pileID()) {
        into = pile(*id);
        if (!into)
            return nullptr;
    } else {
        switch (*source.todoList()) {
        case TodoList::today:
            break;
        case TodoList::later:
            snoozedUntil = m_schedule.startOfTomorrow(t);
            break;
        case TodoList::doneIsh:
            return nullptr; // a thing can't be born done
        }
    }
    return m_store->insert(Thing::make(*clean, t, snoozedUntil, into));
}

void AppModel::toggleDone(Thing& thing)
{
    thing.setDoneAt(thing.isDone() ? std::nullopt : std::optional<QDateTime>(m_clock->now()));
    // The row stays where it was ticked until the user leaves the tab, so a slip is easy to take back.
    linger({thing.id()}, true);
}

void AppModel::setDone(const QSet<RowID>& ids, bool done)
{
    if (ids.isEmpty())
        return;
    const QDateTime t = m_clock->now();
    QSet<RecordId> own;
    {
        UndoGroup group(m_store->undoManager());
        for (Thing* thing : things(ids)) {
            thing->setDoneAt(done ? std::optional<QDateTime>(t) : std::nullopt);
            own.insert(thing->id());
        }
    }
    linger(own, done);

    bool sharedChanged = false;
    const std::vector<SharedThing> family = sharedThings(ids);
    for (const SharedThing& row : family) {
        if (done) {
            sharedChanged |= !m_state.lingeringShared.contains(row.id);
            m_state.lingeringShared.insert(row.id);
        } else {
            sharedChanged |= m_state.lingeringShared.remove(row.id);
        }
    }
    emitIfChanged(sharedChanged, Field::lingeringShared);
    m_sync->setDone(family, done);
}

bool AppModel::allDone(const QSet<RowID>& ids) const
{
    if (ids.isEmpty())
        return false;
    for (const Thing* thing : things(ids)) {
        if (!thing->isDone())
            return false;
    }
    for (const SharedThing& row : sharedThings(ids)) {
        if (!row.done)
            return false;
    }
    return true;
}

void AppModel::snooze(const QSet<RowID>& ids, SnoozeOption option,
                      const std::optional<std::vector<RowID>>& order)
{
    const std::vector<Thing*> targets = things(ids);
    if (targets.empty())
        return;
    selectAfterRemoving(ids, order);
    const QDateTime wake = m_schedule.wakeDate(option, m_clock->now());
    QSet<RecordId> gone;
    {
        UndoGroup group(m_store->undoManager());
        for (Thing* thing : targets) {
            leavePile(*thing);
            thing->setSnoozedUntil(wake);
            thing->setDoneAt(std::nullopt);
            thing->setZCount(thing->zCount() + 1);
            gone.insert(thing->id());
        }
    }
    linger(gone, false);
}

void AppModel::moveToToday(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order)
{
    // They arrive at the end of Today in the order they had where they came from.
    const std::vector<Thing*> targets = thingsInListOrder(ids);
    if (targets.empty())
        return;
    selectAfterRemoving(ids, order);
    // Read once before any change, so the moved things don't push each other's keys up.
    const double k = nextSortKey(Source::today);
    QSet<RecordId> moved;
    {
        UndoGroup group(m_store->undoManager());
        for (std::size_t i = 0; i < targets.size(); ++i) {
            Thing* thing = targets[i];
            leavePile(*thing);
            thing->setSnoozedUntil(std::nullopt);
            thing->setDoneAt(std::nullopt);
            thing->setSortKey(k + double(i) * kMovedKeyStep);
            moved.insert(thing->id());
        }
    }
    linger(moved, false);
}

void AppModel::rename(Thing& thing, const QString& title)
{
    const std::optional<QString> clean = cleanTitle(*this, title);
    if (!clean || isSameTitle(*clean, thing.title()))
        return;
    thing.setTitle(*clean);
}

void AppModel::rename(const RowID& row, const QString& title)
{
    if (const std::optional<RecordId> id = row.thingID()) {
        if (Thing* thing = m_store->thing(*id))
            rename(*thing, title);
    } else if (const std::optional<SharedThing> shared = sharedThing(*row.sharedID())) {
        m_sync->rename(*shared, title);
    }
}

void AppModel::remove(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order)
{
    const std::vector<Thing*> own = things(ids);
    const std::vector<SharedThing> family = sharedThings(ids);
    if (own.empty() && family.empty())
        return;
    selectAfterRemoving(ids, order);

    QSet<RecordId> gone;
    {
        UndoGroup group(m_store->undoManager());
        for (Thing* thing : own) {
            gone.insert(thing->id());
            m_store->remove(thing); // its steps go with it
        }
    }
    // Said now rather than when the feed brings the deletes: the list rebuilt this turn reads it.
    linger(gone, false);

    if (!family.empty() && m_sync->syncsToFamily()) {
        bool sharedChanged = false;
        for (const SharedThing& row : family)
            sharedChanged |= m_state.lingeringShared.remove(row.id);
        emitIfChanged(sharedChanged, Field::lingeringShared);
        m_sync->markDeleted(family);
    }

    showToast(deletedToast(qsizetype(own.size() + family.size()), !own.empty()));
}

void AppModel::requestAddStep(const Thing& thing)
{
    setExpanded(thing, true);
    // Counting on from the last request, whichever thing it named, makes a repeat a change the view sees.
    const int count = m_state.addStepRequest ? m_state.addStepRequest->count + 1 : 1;
    m_state.addStepRequest = StepRequest{thing.id(), count};
    Q_EMIT changed(Field::addStepRequest);
}

void AppModel::toggleStep(Step& step)
{
    step.setDoneAt(step.isDone() ? std::nullopt : std::optional<QDateTime>(m_clock->now()));
}

Step* AppModel::addStep(Thing& thing, const QString& title)
{
    const std::optional<QString> clean = cleanTitle(*this, title);
    if (!clean)
        return nullptr;
    Step* step = nullptr;
    {
        // Steps typed in one turn (pasted lines, fast typing) must still undo one at a time.
        UndoGroup group(m_store->undoManager());
        step = m_store->insert(Step::make(*clean, &thing, m_clock->now()));
    }
    return step;
}

void AppModel::removeStep(Step& step)
{
    {
        UndoGroup group(m_store->undoManager());
        m_store->remove(&step);
    }
}

void AppModel::renameStep(Step& step, const QString& title)
{
    const std::optional<QString> clean = cleanTitle(*this, title);
    if (!clean)
        return;
    step.setTitle(*clean);
}

void AppModel::requestNewPile()
{
    if (m_state.piles.size() >= kMaxPiles) {
        showToast(QStringLiteral("That's ") + QString::number(kMaxPiles) + QStringLiteral(" lists. Bold."));
        return;
    }
    Q_EMIT newPileRequested();
}

Pile* AppModel::createPile(const QString& name)
{
    const std::optional<QString> clean = cleanTitle(*this, name);
    if (!clean || m_state.piles.size() >= kMaxPiles)
        return nullptr;
    Pile* created = m_store->insert(Pile::make(*clean, m_clock->now()));
    m_store->save(); // a failed save stays pending and is retried by the next one
    refreshPiles();
    setTab(Tab::pile(created->id()));
    return created;
}

void AppModel::renamePile(Pile& pile, const QString& name)
{
    const std::optional<QString> clean = cleanTitle(*this, name);
    if (!clean || isSameTitle(*clean, pile.name()))
        return;
    pile.setName(*clean);
    refreshPiles();
}

void AppModel::deletePile(Pile& pile, bool keepingThings)
{
    const QString name = pile.name();
    {
        UndoGroup group(m_store->undoManager());
        // A copy: leaving or deleting shrinks the pile's own list as we go.
        const std::vector<Thing*> members = pile.things();
        for (Thing* thing : members) {
            if (keepingThings) {
                thing->setPile(nullptr);
                thing->setCameFrom(name);
                thing->setSnoozedUntil(distantFuture()); // Later, "Someday"
            } else {
                m_store->remove(thing);
            }
        }
        m_store->remove(&pile);
    }
    m_store->save(); // a failed save stays pending and is retried by the next one
    refreshPiles();
    showToast(QStringLiteral("Deleted \u201C") + name + QStringLiteral("\u201D. ") + undoHint());
}

void AppModel::leavePile(Thing& thing)
{
    Pile* from = thing.pile();
    if (!from)
        return;
    thing.setCameFrom(from->name());
    thing.setPile(nullptr);
}

void AppModel::showToast(const QString& text)
{
    const bool isNew = m_state.toast != text;
    m_state.toast = text;
    emitIfChanged(isNew, Field::toast);

    // One timer, restarted by every toast: an older toast's wait can never clear a newer one, and a
    // repeated text also gets its full time on screen.
    m_toastTimer->start(m_intervals.toastMSecs);
}

void AppModel::clearToast()
{
    if (m_state.toast) {
        m_state.toast.reset();
        Q_EMIT changed(Field::toast);
    }
}

void AppModel::setEditingNote(const std::optional<NoteTarget>& target)
{
    if (m_state.editingNote == target)
        return;
    // A note past what the editor carries would hold the window up for minutes at every open and save:
    // it stays closed, and as it is.
    if (target && noteIsTooBig(*this, *target)) {
        showToast(QStringLiteral("That note's too big for me to open. I left it as it is."));
        return;
    }
    m_state.editingNote = target;
    Q_EMIT changed(Field::editingNote);
}

void AppModel::requestAdd()
{
    Q_EMIT addRequested();
}

void AppModel::undo()
{
    m_store->undoManager().undo();
}

void AppModel::redo()
{
    m_store->undoManager().redo();
}

} // namespace vorn
