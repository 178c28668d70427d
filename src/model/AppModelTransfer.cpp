#include "model/AppModel.h"
#include "model/KeyNames.h"

#include "family/NoteFiles.h"
#include "transfer/HandoffFile.h"
#include "transfer/Pasteboard.h"
#include "transfer/PlannerWorkspace.h"
#include "transfer/Transfer.h"

#include <QFile>
#include <QUuid>

#include <algorithm>
#include <climits>

namespace vorn {

namespace {

constexpr qint64 kPastedStepMSecs = 1; // pasted things and steps keep their order by creation time

QString sentToast(std::size_t n)
{
    const QString tail = QStringLiteral(" to Vorn Planner. ") + undoHint();
    if (n == 1)
        return QStringLiteral("Sent") + tail;
    return QStringLiteral("Sent ") + QString::number(n) + tail;
}

} // namespace

std::vector<Thing*> AppModel::thingsInListOrder(const QSet<RowID>& ids) const
{
    // A set has no order of its own; what the user sees is the order they expect to get back.
    QSet<RecordId> wanted;
    for (const Thing* thing : things(ids))
        wanted.insert(thing->id());
    std::vector<Thing*> out;
    out.reserve(std::size_t(wanted.size()));
    auto take = [&](Thing* thing) {
        if (wanted.remove(thing->id()))
            out.push_back(thing);
    };
    if (const std::optional<Source> shown = source()) {
        for (Thing* thing : visibleThings(*shown))
            take(thing);
    }
    for (Thing* thing : allThings()) {
        if (wanted.isEmpty())
            break;
        take(thing);
    }
    return out;
}

TransferThing AppModel::transferThing(const Thing& thing) const
{
    TransferThing record;
    record.title = thing.title();
    record.done = thing.isDone();
    record.zs = thing.zCount();
    for (const Step* step : thing.orderedSteps())
        record.steps.push_back({step->title(), step->isDone()});
    record.note = thing.note();
    if (const std::optional<QString>& stem = thing.noteID())
        record.rtf = m_notes.read(*stem);
    return record;
}

std::vector<TransferThing> AppModel::transferThings(const std::vector<Thing*>& list) const
{
    std::vector<TransferThing> records;
    records.reserve(list.size());
    for (const Thing* thing : list)
        records.push_back(transferThing(*thing));
    return records;
}

bool AppModel::plannerIsInstalled() const
{
    return m_workspace && Transfer::plannerIsInstalled(*m_workspace);
}

void AppModel::copy(const QSet<RowID>& ids)
{
    if (!m_pasteboard)
        return;
    const std::vector<Thing*> list = thingsInListOrder(ids);
    if (list.empty())
        return;
    Transfer::copy(transferThings(list), *m_pasteboard);
}

void AppModel::removeHandedOff(const std::vector<Thing*>& list, const QSet<RowID>& ids,
                               const std::optional<std::vector<RowID>>& order)
{
    selectAfterRemoving(ids, order);
    bool lingeringChanged = false;
    {
        // Cut or sent together, back together with one undo.
        UndoGroup group(m_store->undoManager());
        for (Thing* thing : list) {
            lingeringChanged |= m_lingering.remove(thing->id());
            m_store->remove(thing);
        }
    }
    emitIfChanged(lingeringChanged, Field::lingering);
    scheduleSync();
}

void AppModel::cut(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order)
{
    // Without a pasteboard the things would be gone with nothing to paste back.
    if (!m_pasteboard)
        return;
    const std::vector<Thing*> list = thingsInListOrder(ids);
    if (list.empty())
        return;
    Transfer::copy(transferThings(list), *m_pasteboard);
    removeHandedOff(list, ids, order);
}

void AppModel::sendToPlanner(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order)
{
    if (!m_workspace)
        return;
    const std::vector<Thing*> list = thingsInListOrder(ids);
    if (list.empty())
        return;
    HandoffFile handoff(m_handoffPath);
    if (!Transfer::sendToPlanner(transferThings(list), std::nullopt, *m_workspace, handoff)) {
        showToast(QStringLiteral("Vorn Planner isn't installed."));
        return;
    }
    removeHandedOff(list, ids, order);
    showToast(sentToast(list.size()));
}

void AppModel::paste()
{
    if (!m_pasteboard)
        return;
    const std::vector<TransferThing> records = Transfer::paste(*m_pasteboard);
    if (records.empty())
        return;
    const Source target = source().value_or(Source::today);
    if (target == Source::doneIsh) {
        showToast(QStringLiteral("Can't paste into done-ish. Nice try."));
        return;
    }
    insert(records, target, m_clock->now());
}

int AppModel::insert(const std::vector<TransferThing>& records, const Source& into, const QDateTime& now)
{
    if (into == Source::doneIsh)
        return 0;
    Pile* pileTarget = nullptr;
    std::optional<QDateTime> snoozedUntil;
    if (const std::optional<RecordId> id = into.pileID()) {
        pileTarget = pile(*id);
        if (!pileTarget)
            return 0; // the pile went away; every record would be skipped
    } else if (into == Source::later) {
        snoozedUntil = m_schedule.startOfTomorrow(now);
    }

    int created = 0;
    bool lingeringChanged = false;
    {
        UndoGroup group(m_store->undoManager());
        for (std::size_t i = 0; i < records.size(); ++i) {
            const TransferThing& record = records[i];
            const QString title = record.title.trimmed();
            if (title.isEmpty())
                continue;
            const QDateTime createdAt = now.addMSecs(qint64(i) * kPastedStepMSecs);
            // Filled in before it joins the store: one insert to undo instead of one per field.
            std::shared_ptr<Thing> made = Thing::make(title, createdAt, snoozedUntil, pileTarget);
            made->setZCount(int(std::clamp<qint64>(record.zs, 0, INT_MAX)));
            if (record.done)
                made->setDoneAt(now);
            if (record.rtf && !record.rtf->isEmpty()) {
                const QString stem = NoteFolder::newStem();
                if (m_notes.write(stem, *record.rtf)) {
                    made->setNoteID(stem);
                    made->setNote(record.note);
                }
            } else if (!record.note.isEmpty()) {
                made->setNote(record.note);
            }
            Thing* thing = m_store->insert(std::move(made));
            if (record.done) {
                lingeringChanged |= !m_lingering.contains(thing->id());
                m_lingering.insert(thing->id()); // it stays in view where it was pasted
            }
            for (std::size_t j = 0; j < record.steps.size(); ++j) {
                const QString stepTitle = record.steps[j].title.trimmed();
                if (stepTitle.isEmpty())
                    continue;
                std::shared_ptr<Step> step =
                    Step::make(stepTitle, thing, createdAt.addMSecs(qint64(j) * kPastedStepMSecs));
                if (record.steps[j].done)
                    step->setDoneAt(now);
                m_store->insert(std::move(step));
            }
            ++created;
        }
    }
    emitIfChanged(lingeringChanged, Field::lingering);
    if (created > 0)
        scheduleSync();
    return created;
}

} // namespace vorn
