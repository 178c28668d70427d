#include "model/ModelExchange.h"

#include "model/AppModel.h"
#include "model/ImportTarget.h"
#include "model/sync/FamilySync.h"
#include "store/Dates.h"
#include "store/UndoManager.h"
#include "text/TitleText.h"

namespace vorn {

namespace {

ExchangeThing exchangeThing(const AppModel& model, const Thing& thing, ExchangeListKind kind)
{
    const QDateTime now = model.clock().now();
    ExchangeThing out;
    out.title = thing.title();
    out.done = thing.isDone();
    if (thing.doneAt())
        out.doneOn = thing.doneAt()->toLocalTime().date();
    if (const std::optional<QDateTime>& wake = thing.snoozedUntil(); wake && *wake > now && !thing.isDone()) {
        if (*wake >= distantFuture())
            out.someday = true;
        else
            out.until = wake->toLocalTime();
        if (kind == ExchangeListKind::later)
            out.group = model.schedule().laterSection(*wake, now);
    }
    out.zs = thing.zCount();
    for (const Step* step : thing.orderedSteps())
        out.steps.push_back({step->title(), step->isDone()});
    out.note = thing.note();
    return out;
}

ExchangeList exportList(const AppModel& model, const Source& source, ExchangeListKind kind,
                        const QString& name)
{
    ExchangeList list;
    list.kind = kind;
    list.name = name;
    for (const ListRow& row : model.rows(source, false)) {
        const Thing* thing = row.thing();
        // A done thing lingering where it was ticked belongs to Done-ish, and is written there.
        if (!thing || (thing->isDone() && kind != ExchangeListKind::doneIsh))
            continue;
        list.things.push_back(exchangeThing(model, *thing, kind));
    }
    return list;
}

} // namespace

std::vector<ExchangeList> exportLists(const AppModel& model)
{
    std::vector<ExchangeList> lists;
    lists.push_back(
        exportList(model, Source::today, ExchangeListKind::today, exchangeHeading(ExchangeListKind::today)));
    lists.push_back(
        exportList(model, Source::later, ExchangeListKind::later, exchangeHeading(ExchangeListKind::later)));
    lists.push_back(exportList(model, Source::doneIsh, ExchangeListKind::doneIsh,
                               exchangeHeading(ExchangeListKind::doneIsh)));
    for (Pile* pile : model.piles())
        lists.push_back(exportList(model, Source::pile(pile->id()), ExchangeListKind::pile, pile->name()));
    return lists;
}

ImportOutcome importLists(AppModel& model, const ImportText& text)
{
    ImportOutcome outcome;
    outcome.problems = text.problems;
    Store& store = model.store();
    const QDateTime now = model.clock().now();
    qint64 made = 0;
    bool pilesMade = false;
    {
        UndoGroup group(store.undoManager());
        for (const ImportList& list : text.lists) {
            Pile* pile = nullptr;
            if (list.kind == ExchangeListKind::pile) {
                const QString name = oneLine(list.name);
                pile = pileNamed(model, name);
                if (!pile && list.create && !name.isEmpty()) {
                    pile = makeImportedPile(model, name, now.addMSecs(made));
                    pilesMade |= pile != nullptr;
                    if (!pile && !list.things.empty())
                        outcome.problems.push_back({list.line, noRoomForList(name)});
                }
            }
            for (const ExchangeThing& in : list.things) {
                const QString title = oneLine(in.title);
                if (title.isEmpty())
                    continue;
                const QDateTime createdAt = now.addMSecs(made * kImportedStepMSecs);
                std::optional<QDateTime> wake;
                if (in.someday)
                    wake = distantFuture();
                else if (in.until && in.until->toUTC() > now)
                    wake = in.until->toUTC();
                else if (!in.until && list.kind == ExchangeListKind::later && !in.done)
                    wake = model.schedule().startOfTomorrow(now);
                std::shared_ptr<Thing> thing = Thing::make(title, createdAt, wake, pile);
                thing->setZCount(std::max(0, in.zs));
                if (in.done)
                    thing->setDoneAt(in.doneOn ? QDateTime(*in.doneOn, QTime(12, 0)).toUTC() : now);
                if (!in.note.isEmpty())
                    thing->setNote(in.note);
                Thing* inserted = store.insert(std::move(thing));
                for (std::size_t j = 0; j < in.steps.size(); ++j) {
                    const QString stepTitle = oneLine(in.steps[j].title);
                    if (stepTitle.isEmpty())
                        continue;
                    std::shared_ptr<Step> step =
                        Step::make(stepTitle, inserted, createdAt.addMSecs(qint64(j) * kImportedStepMSecs));
                    if (in.steps[j].done)
                        step->setDoneAt(now);
                    store.insert(std::move(step));
                }
                ++made;
            }
        }
    }
    finishImport(model, outcome, made, pilesMade);
    return outcome;
}

namespace {

QString importedCount(int added)
{
    return added == 0   ? QStringLiteral("Nothing to import.")
           : added == 1 ? QStringLiteral("Imported 1 thing.")
                        : QStringLiteral("Imported %1 things.").arg(added);
}

} // namespace

QString describeImport(const ImportOutcome& outcome)
{
    QString out = importedCount(outcome.added);
    if (!outcome.problems.empty())
        out += u' ' + describeProblems(outcome.problems, outcome.unit);
    for (const QString& note : outcome.notes)
        out += u' ' + note.left(1).toUpper() + note.mid(1) + u'.';
    return out;
}

QString importToast(const ImportOutcome& outcome)
{
    QString out = importedCount(outcome.added);
    const std::size_t n = outcome.problems.size();
    const bool lines = outcome.unit == ImportUnit::line;
    if (n == 1)
        out += lines ? QStringLiteral(" Skipped 1 line.") : QStringLiteral(" Skipped 1 item.");
    else if (n > 1)
        out += (lines ? QStringLiteral(" Skipped %1 lines.") : QStringLiteral(" Skipped %1 items.")).arg(n);
    if (!outcome.notes.empty())
        out += QStringLiteral(" No room for a fifth list.");
    return out;
}

} // namespace vorn
