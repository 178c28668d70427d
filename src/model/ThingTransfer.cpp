#include "model/ThingTransfer.h"

#include "model/AppModel.h"
#include "model/KeyNames.h"

#include "family/NoteFiles.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"
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

// What a paste or an import left out or cut, in a toast's few words; empty when it took everything.
QString insertProblems(int titlesTooLong, int notesCut)
{
    QStringList said;
    if (titlesTooLong == 1)
        said << QStringLiteral("Left out a title over %1 characters.").arg(limitText(kTitleLimit));
    else if (titlesTooLong > 1)
        said << QStringLiteral("Left out %1 titles over %2 characters.")
                    .arg(titlesTooLong)
                    .arg(limitText(kTitleLimit));
    if (notesCut == 1)
        said << QStringLiteral("A note was too long for me, so I kept its start.");
    else if (notesCut > 1)
        said << QStringLiteral("%1 notes were too long for me, so I kept their starts.").arg(notesCut);
    return said.join(u' ');
}

} // namespace

ThingTransfer::ThingTransfer(AppModel& model, Pasteboard* pasteboard, PlannerWorkspace* workspace,
                             QString handoffPath)
    : m_model(model), m_pasteboard(pasteboard), m_workspace(workspace), m_handoffPath(std::move(handoffPath))
{
}

TransferThing ThingTransfer::record(const Thing& thing) const
{
    TransferThing record;
    record.title = thing.title();
    record.done = thing.isDone();
    record.zs = thing.zCount();
    for (const Step* step : thing.orderedSteps())
        record.steps.push_back({step->title(), step->isDone()});
    record.note = thing.note();
    if (const std::optional<QString>& stem = thing.noteID())
        record.rtf = NoteFolder(m_model.notesDir()).read(*stem);
    return record;
}

std::vector<TransferThing> ThingTransfer::records(const std::vector<Thing*>& list) const
{
    std::vector<TransferThing> records;
    records.reserve(list.size());
    for (const Thing* thing : list)
        records.push_back(record(*thing));
    return records;
}

bool ThingTransfer::plannerIsInstalled() const
{
    return m_workspace && Transfer::plannerIsInstalled(*m_workspace);
}

void ThingTransfer::copy(const QSet<RowID>& ids)
{
    if (!m_pasteboard)
        return;
    const std::vector<Thing*> list = m_model.thingsInListOrder(ids);
    if (list.empty())
        return;
    Transfer::copy(records(list), *m_pasteboard);
}

void ThingTransfer::removeHandedOff(const std::vector<Thing*>& list, const QSet<RowID>& ids,
                                    const std::optional<std::vector<RowID>>& order)
{
    m_model.selectAfterRemoving(ids, order);
    QSet<RecordId> gone;
    {
        // Cut or sent together, back together with one undo.
        Store& store = m_model.store();
        UndoGroup group(store.undoManager());
        for (Thing* thing : list) {
            gone.insert(thing->id());
            store.remove(thing);
        }
    }
    m_model.linger(gone, false);
}

void ThingTransfer::cut(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order)
{
    // Without a pasteboard the things would be gone with nothing to paste back.
    if (!m_pasteboard)
        return;
    const std::vector<Thing*> list = m_model.thingsInListOrder(ids);
    if (list.empty())
        return;
    Transfer::copy(records(list), *m_pasteboard);
    removeHandedOff(list, ids, order);
}

void ThingTransfer::sendToPlanner(const QSet<RowID>& ids, const std::optional<std::vector<RowID>>& order)
{
    if (!m_workspace)
        return;
    const std::vector<Thing*> list = m_model.thingsInListOrder(ids);
    if (list.empty())
        return;
    HandoffFile handoff(m_handoffPath);
    // Whatever went wrong, the things stay here; the toast says which step failed.
    switch (Transfer::sendToPlanner(records(list), std::nullopt, *m_workspace, handoff)) {
    case Transfer::SendResult::sent:
        break;
    case Transfer::SendResult::nothingToSend:
        return;
    case Transfer::SendResult::plannerMissing:
        m_model.showToast(QStringLiteral("Vorn Planner isn't installed."));
        return;
    case Transfer::SendResult::notWritten:
        m_model.showToast(QStringLiteral("Couldn't hand that to Vorn Planner. It's still here."));
        return;
    case Transfer::SendResult::notOpened:
        m_model.showToast(QStringLiteral("Couldn't open Vorn Planner. It's still here."));
        return;
    }
    removeHandedOff(list, ids, order);
    m_model.showToast(sentToast(list.size()));
}

void ThingTransfer::paste()
{
    if (!m_pasteboard)
        return;
    bool tooBig = false;
    const std::vector<TransferThing> records = Transfer::paste(*m_pasteboard, &tooBig);
    if (tooBig) {
        m_model.showToast(QStringLiteral("That's too much to paste at once. %1 MB at most.")
                              .arg(kImportLimit / (1024 * 1024)));
        return;
    }
    if (records.empty())
        return;
    const Source target = m_model.source().value_or(Source::today);
    if (target == Source::doneIsh) {
        m_model.showToast(QStringLiteral("Can't paste into done-ish. Nice try."));
        return;
    }
    insert(records, target, m_model.clock().now());
}

int ThingTransfer::insert(const std::vector<TransferThing>& records, const Source& into, const QDateTime& now)
{
    if (into == Source::doneIsh)
        return 0;
    Pile* pileTarget = nullptr;
    std::optional<QDateTime> snoozedUntil;
    if (const std::optional<RecordId> id = into.pileID()) {
        pileTarget = m_model.pile(*id);
        if (!pileTarget)
            return 0; // the pile went away; every record would be skipped
    } else if (into == Source::later) {
        snoozedUntil = m_model.schedule().startOfTomorrow(now);
    }

    int created = 0, titlesTooLong = 0, notesCut = 0;
    QSet<RecordId> doneHere;
    const NoteFolder notes(m_model.notesDir());
    Store& store = m_model.store();
    {
        UndoGroup group(store.undoManager());
        for (std::size_t i = 0; i < records.size(); ++i) {
            const TransferThing& record = records[i];
            const TitleInput title = titleInput(record.title);
            titlesTooLong += title.problem == TitleInput::Problem::tooLong;
            if (!title.ok())
                continue;
            const QDateTime createdAt = now.addMSecs(qint64(i) * kPastedStepMSecs);
            // Filled in before it joins the store: one insert to undo instead of one per field.
            std::shared_ptr<Thing> made = Thing::make(title.text, createdAt, snoozedUntil, pileTarget);
            made->setZCount(int(std::clamp<qint64>(record.zs, 0, INT_MAX)));
            if (record.done)
                made->setDoneAt(now);
            // A note longer than the editor can open keeps its start as plain text; its rich form would
            // still open whole.
            if (isNoteTooBig(record.note) || (record.rtf && isNoteTooBig(*record.rtf))) {
                ++notesCut;
                made->setNote(cutNote(record.note));
            } else if (record.rtf && !record.rtf->isEmpty()) {
                const QString stem = NoteFolder::newStem();
                if (notes.write(stem, *record.rtf)) {
                    made->setNoteID(stem);
                    made->setNote(record.note);
                }
            } else if (!record.note.isEmpty()) {
                made->setNote(record.note);
            }
            Thing* thing = store.insert(std::move(made));
            if (record.done)
                doneHere.insert(thing->id()); // it stays in view where it was pasted
            for (std::size_t j = 0; j < record.steps.size(); ++j) {
                const TitleInput stepTitle = titleInput(record.steps[j].title);
                titlesTooLong += stepTitle.problem == TitleInput::Problem::tooLong;
                if (!stepTitle.ok())
                    continue;
                std::shared_ptr<Step> step =
                    Step::make(stepTitle.text, thing, createdAt.addMSecs(qint64(j) * kPastedStepMSecs));
                if (record.steps[j].done)
                    step->setDoneAt(now);
                store.insert(std::move(step));
            }
            ++created;
        }
    }
    m_model.linger(doneHere, true);
    if (const QString problems = insertProblems(titlesTooLong, notesCut); !problems.isEmpty())
        m_model.showToast(problems);
    return created;
}

} // namespace vorn
