#include "model/ModelCalendar.h"

#include "family/NoteFiles.h"
#include "model/AppModel.h"
#include "model/ImportTarget.h"
#include "store/Dates.h"
#include "store/UndoManager.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"

#include <QSet>

#include <algorithm>

namespace vorn {

namespace {

void addList(const AppModel& model, const Source& source, bool doneList,
             std::vector<ical::CalendarThing>& out)
{
    qint64 position = 0;
    for (const ListRow& row : model.rows(source, false)) {
        const Thing* thing = row.thing();
        // A done thing lingering where it was ticked belongs to Done-ish, and is written there.
        if (!thing || (thing->isDone() && !doneList))
            continue;
        out.push_back(calendarThing(model, *thing, ++position));
    }
}

} // namespace

ical::CalendarThing calendarThing(const AppModel& model, const Thing& thing, qint64 position)
{
    const QDateTime now = model.clock().now();
    ical::CalendarThing out;
    out.uid = thing.syncID();
    out.title = thing.title();
    out.created = thing.createdAt();
    out.done = thing.isDone();
    out.doneAt = thing.doneAt();
    if (const std::optional<QDateTime>& wake = thing.snoozedUntil(); wake && *wake > now && !thing.isDone()) {
        if (*wake >= distantFuture())
            out.someday = true;
        else
            out.wake = *wake;
    }
    out.zs = thing.zCount();
    out.order = position;
    if (thing.pile())
        out.list = thing.pile()->name();
    out.note = thing.note();
    if (thing.noteID())
        out.rtf = NoteFolder(model.notesDir()).read(*thing.noteID());
    else if (model.notesWaiting())
        out.rtf = model.noteContent(thing.id()).rtf; // one still on its way to its file goes out too
    for (const Step* step : thing.orderedSteps())
        out.steps.push_back({step->syncID(), step->title(), step->isDone(), step->doneAt()});
    out.kept = thing.calendarText();
    return out;
}

std::vector<ical::CalendarThing> calendarThings(const AppModel& model)
{
    std::vector<ical::CalendarThing> out;
    addList(model, Source::today, false, out);
    addList(model, Source::later, false, out);
    addList(model, Source::doneIsh, true, out);
    for (Pile* pile : model.piles())
        addList(model, Source::pile(pile->id()), false, out);
    return out;
}

QByteArray exportCalendar(const AppModel& model)
{
    return ical::writeCalendar(calendarThings(model), model.clock().now());
}

ImportOutcome importCalendar(AppModel& model, const ical::CalendarRead& read)
{
    ImportOutcome outcome;
    outcome.unit = ImportUnit::item;
    for (const ical::CalendarProblem& p : read.problems)
        outcome.problems.push_back({p.line, p.what});
    Store& store = model.store();
    const QDateTime now = model.clock().now();
    QSet<QString> taken;
    for (const Thing* t : store.thingsBySortKey()) {
        taken.insert(t->syncID());
        for (const Step* s : t->steps())
            taken.insert(s->syncID());
    }
    // Each list in the file's order; things by their sort order inside it, ties as the file has them.
    std::vector<const ical::CalendarThing*> things;
    for (const ical::CalendarThing& t : read.things)
        things.push_back(&t);
    std::stable_sort(things.begin(), things.end(), [](const auto* a, const auto* b) {
        return a->order.value_or(LLONG_MAX) < b->order.value_or(LLONG_MAX);
    });
    qint64 made = 0;
    bool pilesMade = false;
    QSet<QString> fullListsTold;
    // The rich notes are written together off this thread from now on, while the things go into the
    // store and past the import's end; a thing names its note only once the file is on disk, whole.
    // Until then the notes are shown from memory.
    auto rich = [](const ical::CalendarThing& in) {
        return in.rtf && !in.rtf->isEmpty() && !isNoteTooBig(*in.rtf) && !isNoteTooBig(in.note) &&
               !oneLine(in.title).isEmpty();
    };
    std::vector<QByteArray> richNotes;
    for (const ical::CalendarThing* in : things) {
        if (rich(*in))
            richNotes.push_back(*in->rtf);
    }
    const AppModel::NewNotes notes = model.startNewNotes(richNotes);
    std::vector<Thing*> richThings;
    {
        UndoGroup group(store.undoManager());
        for (const ical::CalendarThing* in : things) {
            const QString title = oneLine(in->title);
            if (title.isEmpty())
                continue;
            Pile* pile = nullptr;
            if (const QString name = oneLine(in->list); !name.isEmpty()) {
                pile = pileNamed(model, name);
                if (!pile) {
                    pile = makeImportedPile(model, name, now.addMSecs(made));
                    pilesMade |= pile != nullptr;
                }
                if (!pile && !fullListsTold.contains(name.toLower())) {
                    fullListsTold.insert(name.toLower());
                    outcome.notes.push_back(noRoomForList(name));
                }
            }
            const QDateTime createdAt = now.addMSecs(made * kImportedStepMSecs);
            std::optional<QDateTime> wake;
            if (in->someday)
                wake = distantFuture();
            else if (in->wake && in->wake->toUTC() > now && !in->done)
                wake = in->wake->toUTC();
            // It keeps the day it was made elsewhere; its place follows the import, after what is here.
            // Its UID unless a thing here has it: then a fresh one.
            const bool own = !taken.contains(in->uid);
            if (own)
                taken.insert(in->uid);
            std::shared_ptr<Thing> thing = Thing::make(title, in->created.isValid() ? in->created : createdAt,
                                                       wake, pile, own ? in->uid : QString());
            thing->setSortKey(secondsSinceReferenceDate(createdAt));
            thing->setZCount(std::max(0, in->zs));
            if (in->done)
                thing->setDoneAt(in->doneAt ? in->doneAt->toUTC() : now);
            thing->setNote(isNoteTooBig(in->note) ? cutNote(in->note) : in->note);
            thing->setCalendarText(in->kept);
            Thing* inserted = store.insert(std::move(thing));
            if (rich(*in))
                richThings.push_back(inserted);
            for (std::size_t j = 0; j < in->steps.size(); ++j) {
                const ical::CalendarStep& s = in->steps[j];
                const QString stepTitle = oneLine(s.title);
                if (stepTitle.isEmpty())
                    continue;
                const bool stepOwn = !taken.contains(s.uid);
                if (stepOwn)
                    taken.insert(s.uid);
                std::shared_ptr<Step> step =
                    Step::make(stepTitle, inserted, createdAt.addMSecs(qint64(j) * kImportedStepMSecs),
                               stepOwn ? s.uid : QString());
                if (s.done)
                    step->setDoneAt(s.doneAt ? s.doneAt->toUTC() : now);
                store.insert(std::move(step));
            }
            ++made;
        }
    }
    // Kept beside the store before the store saves the things: a kill between the two loses no note.
    model.keepNewNotes(notes, richThings);
    finishImport(model, outcome, made, pilesMade);
    return outcome;
}

bool isCalendarFile(const QString& path)
{
    return path.endsWith(QLatin1String(".ics"), Qt::CaseInsensitive);
}

} // namespace vorn
