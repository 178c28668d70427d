#include "serversync/SyncCopy.h"

#include "model/AppModel.h"
#include "model/ModelCalendar.h"
#include "store/Dates.h"
#include "store/UndoManager.h"
#include "text/InputLimits.h"
#include "text/TitleText.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QHash>
#include <QTimeZone>

#include <cmath>

namespace vorn {

namespace {

std::optional<QDateTime> wakeOf(const ical::CalendarThing& copy, const QDateTime& now)
{
    if (copy.done)
        return std::nullopt;
    if (copy.someday)
        return distantFuture();
    if (copy.wake && copy.wake->toUTC() > now)
        return copy.wake->toUTC();
    return std::nullopt;
}

void takeSteps(AppModel& model, Thing& thing, const std::vector<ical::CalendarStep>& steps,
               const QDateTime& now)
{
    Store& store = model.store();
    QHash<QString, Step*> byId;
    for (Step* s : thing.steps())
        byId.insert(s->syncID(), s);
    QSet<QString> kept;
    double key = 0;
    for (const ical::CalendarStep& in : steps) {
        const QString title = oneLine(in.title);
        if (title.isEmpty() || kept.contains(in.uid))
            continue;
        kept.insert(in.uid);
        Step* step = byId.value(in.uid);
        if (!step) {
            std::shared_ptr<Step> made = Step::make(title, &thing, now);
            if (!in.uid.isEmpty())
                made->setSyncID(in.uid);
            step = store.insert(std::move(made));
        }
        step->setTitle(title);
        if (!in.done)
            step->setDoneAt(std::nullopt);
        else
            step->setDoneAt(in.doneAt ? in.doneAt->toUTC() : step->doneAt().value_or(now));
        step->setSortKey(++key);
    }
    for (Step* s : std::vector<Step*>(thing.steps()))
        if (!kept.contains(s->syncID()))
            store.remove(s);
}

} // namespace

qint64 syncOrder(double sortKey)
{
    return std::llround(sortKey * 1000.0);
}

ical::CalendarThing syncCopy(const AppModel& model, const Thing& thing)
{
    ical::CalendarThing copy = calendarThing(model, thing, syncOrder(thing.sortKey()));
    // A calendar keeps whole seconds. With the milliseconds of our clock, a time would never be the one
    // agreed on, so a tick made here once would count as changed again at every merge, and win or lose
    // against the other side's real change of it.
    const auto whole = [](QDateTime& t) {
        if (t.isValid())
            t = QDateTime::fromSecsSinceEpoch(t.toSecsSinceEpoch(), QTimeZone::utc());
    };
    whole(copy.created);
    for (std::optional<QDateTime>* t : {&copy.doneAt, &copy.wake})
        if (*t)
            whole(**t);
    for (ical::CalendarStep& step : copy.steps)
        if (step.doneAt)
            whole(*step.doneAt);
    // The list is the collection's; the merge compares it by the pile's name.
    copy.list = thing.pile() ? thing.pile()->name() : QString();
    return copy;
}

QByteArray fingerprint(const AppModel& model, const Thing& thing)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    // Texts by their characters and instants by their moment: a record read back from the store holds an
    // empty text where a null one was, and its times in another zone, and is the same record.
    auto text = [&](const QString& v) {
        const QByteArray utf8 = v.toUtf8();
        const qint64 size = utf8.size();
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&size), sizeof size));
        hash.addData(utf8);
    };
    auto number = [&](qint64 v) {
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&v), sizeof v));
    };
    auto time = [&](const std::optional<QDateTime>& t) {
        number(t && t->isValid() ? t->toMSecsSinceEpoch() : -1);
    };
    text(thing.title());
    time(thing.createdAt());
    time(thing.doneAt());
    number(thing.zCount());
    number(syncOrder(thing.sortKey()));
    number(thing.pile() ? thing.pile()->id().number : 0);
    text(thing.note());
    text(thing.calendarText());
    // A wake time that has passed is no wake time any more: the copy says so, and so does this.
    const std::optional<QDateTime>& wake = thing.snoozedUntil();
    time(wake && *wake > model.clock().now() && !thing.isDone() ? wake : std::nullopt);
    if (thing.noteID()) {
        const QFileInfo file(model.notesDir() + u'/' + *thing.noteID() + QStringLiteral(".rtf"));
        text(*thing.noteID());
        number(file.size());
        number(file.lastModified().toMSecsSinceEpoch());
    }
    for (const Step* s : thing.orderedSteps()) {
        text(s->syncID());
        text(s->title());
        time(s->doneAt());
    }
    return hash.result();
}

Thing* takeCopy(AppModel& model, Thing* thing, const ical::CalendarThing& copy, Pile* pile)
{
    Store& store = model.store();
    UndoRegistrationPause pause(store.undoManager());
    const QDateTime now = model.clock().now();
    const QString title = oneLine(copy.title);
    const std::optional<QDateTime> wake = wakeOf(copy, now);
    if (!thing) {
        std::shared_ptr<Thing> made =
            Thing::make(title.isEmpty() ? QStringLiteral("Untitled") : title,
                        copy.created.isValid() ? copy.created.toUTC() : now, wake, pile);
        if (!copy.uid.isEmpty())
            made->setSyncID(copy.uid);
        thing = store.insert(std::move(made));
    } else {
        if (!title.isEmpty())
            thing->setTitle(title);
        thing->setSnoozedUntil(wake);
        thing->setPile(pile);
    }
    if (copy.order)
        thing->setSortKey(double(*copy.order) / 1000.0);
    thing->setZCount(std::max(0, copy.zs));
    thing->setDoneAt(copy.done
                         ? std::optional(copy.doneAt ? copy.doneAt->toUTC() : thing->doneAt().value_or(now))
                         : std::nullopt);
    thing->setCalendarText(copy.kept);
    takeSteps(model, *thing, copy.steps, now);
    const QString note = isNoteTooBig(copy.note) ? cutNote(copy.note) : copy.note;
    const bool rich = copy.rtf && !copy.rtf->isEmpty() && !isNoteTooBig(*copy.rtf);
    if (note.trimmed() != thing->note() || rich != thing->noteID().has_value() ||
        (rich && model.noteContent(thing->id()).rtf != copy.rtf))
        model.saveNote(thing->id(), rich ? copy.rtf : std::nullopt, note);
    return thing;
}

} // namespace vorn
