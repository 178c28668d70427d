#include "calsync/ThingMerge.h"

#include "calsync/KeptText.h"

#include <QHash>
#include <QSet>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace vorn::calsync {

using ical::CalendarStep;
using ical::CalendarThing;

namespace {

enum class Side { Ours, Theirs };

// The fields that change together merge as one: a note is its plain text and its rich copy, done is
// the mark and its time, a wake time and someday exclude each other.
struct Note {
    QString plain;
    std::optional<QByteArray> rich;
    bool operator==(const Note&) const = default;
};
struct Done {
    bool done;
    std::optional<QDateTime> at;
    bool operator==(const Done&) const = default;
};
struct Wake {
    std::optional<QDateTime> at;
    bool someday;
    bool operator==(const Wake&) const = default;
};

Note noteOf(const CalendarThing& t)
{
    return {t.note, t.rtf};
}
Done doneOf(const CalendarThing& t)
{
    return {t.done, t.doneAt};
}
Done doneOf(const CalendarStep& s)
{
    return {s.done, s.doneAt};
}
Wake wakeOf(const CalendarThing& t)
{
    return {t.wake, t.someday};
}

// One field three ways; `base` none: both sides made it, so every difference is a change on both.
// `lost` gets the other side's value when both changed it to different values.
template <typename T>
T pick(const std::optional<T>& base, const T& ours, const T& theirs, Side later,
       std::optional<T>* lost = nullptr)
{
    if (ours == theirs)
        return theirs;
    if (base && ours == *base)
        return theirs;
    if (base && theirs == *base)
        return ours;
    if (lost)
        *lost = later == Side::Ours ? theirs : ours;
    return later == Side::Ours ? ours : theirs;
}

template <typename T, typename Get>
std::optional<T> baseField(const std::optional<CalendarThing>& base, Get get)
{
    return base ? std::optional<T>(get(*base)) : std::nullopt;
}

bool sameStep(const CalendarStep& a, const CalendarStep& b)
{
    return a.title == b.title && doneOf(a) == doneOf(b);
}

std::vector<QString> uidsOf(const std::vector<CalendarStep>& steps)
{
    std::vector<QString> uids;
    uids.reserve(steps.size());
    for (const CalendarStep& s : steps)
        uids.push_back(s.uid);
    return uids;
}

std::vector<QString> only(const std::vector<QString>& uids, const QSet<QString>& keep)
{
    std::vector<QString> out;
    for (const QString& u : uids)
        if (keep.contains(u))
            out.push_back(u);
    return out;
}

// Whether the side put the steps both still have in another order than the base's.
bool reordered(const std::vector<QString>& base, const std::vector<QString>& side)
{
    const QSet<QString> inBase(base.begin(), base.end());
    const QSet<QString> inSide(side.begin(), side.end());
    return only(base, inSide) != only(side, inBase);
}

// The kept steps in the order of `lead`; a step only the other side has goes right after the step it
// follows there (first when it follows none), so where it was added is where it stays.
std::vector<QString> orderSteps(const std::vector<QString>& lead, const std::vector<QString>& other,
                                const QSet<QString>& kept)
{
    std::vector<QString> out = only(lead, kept);
    QSet<QString> placed(out.begin(), out.end());
    for (std::size_t i = 0; i < other.size(); ++i) {
        const QString& uid = other[i];
        if (!kept.contains(uid) || placed.contains(uid))
            continue;
        auto at = out.begin();
        for (std::size_t j = i; j-- > 0;) {
            auto found = std::find(out.begin(), out.end(), other[j]);
            if (found != out.end()) {
                at = found + 1;
                break;
            }
        }
        out.insert(at, uid);
        placed.insert(uid);
    }
    return out;
}

struct StepsMerge {
    std::vector<CalendarStep> steps;
    QStringList lostTitles;
};

StepsMerge mergeSteps(const std::optional<CalendarThing>& base, const CalendarThing& ours,
                      const CalendarThing& theirs, Side later)
{
    static const std::vector<CalendarStep> none;
    const std::vector<CalendarStep>& baseSteps = base ? base->steps : none;
    auto index = [](const std::vector<CalendarStep>& steps) {
        QHash<QString, const CalendarStep*> byUid;
        for (const CalendarStep& s : steps)
            byUid.insert(s.uid, &s);
        return byUid;
    };
    const auto inBase = index(baseSteps);
    const auto inOurs = index(ours.steps);
    const auto inTheirs = index(theirs.steps);

    StepsMerge out;
    QHash<QString, CalendarStep> merged;
    auto consider = [&](const QString& uid) {
        if (merged.contains(uid))
            return;
        const CalendarStep* b = inBase.value(uid);
        const CalendarStep* o = inOurs.value(uid);
        const CalendarStep* t = inTheirs.value(uid);
        if (o && t) {
            const std::optional<QString> baseTitle = b ? std::optional(b->title) : std::nullopt;
            const std::optional<Done> baseDone = b ? std::optional(doneOf(*b)) : std::nullopt;
            std::optional<QString> lost;
            CalendarStep s = *t;
            s.title = pick(baseTitle, o->title, t->title, later, &lost);
            const Done done = pick(baseDone, doneOf(*o), doneOf(*t), later);
            s.done = done.done;
            s.doneAt = done.at;
            if (lost && !lost->isEmpty())
                out.lostTitles.append(*lost);
            merged.insert(uid, s);
        } else if (o || t) {
            const CalendarStep* present = o ? o : t;
            // Deleted on one side: gone, unless the other side edited it since.
            if (!b || !sameStep(*b, *present))
                merged.insert(uid, *present);
        }
    };
    for (const CalendarStep& s : ours.steps)
        consider(s.uid);
    for (const CalendarStep& s : theirs.steps)
        consider(s.uid);

    const QSet<QString> kept(merged.keyBegin(), merged.keyEnd());
    const std::vector<QString> baseOrder = uidsOf(baseSteps);
    const std::vector<QString> ourOrder = uidsOf(ours.steps);
    const std::vector<QString> theirOrder = uidsOf(theirs.steps);
    const bool oursOnly = base && reordered(baseOrder, ourOrder) && !reordered(baseOrder, theirOrder);
    const std::vector<QString> order =
        oursOnly ? orderSteps(ourOrder, theirOrder, kept) : orderSteps(theirOrder, ourOrder, kept);
    for (const QString& uid : order)
        out.steps.push_back(merged.value(uid));
    return out;
}

// Whether the side holds anything else than the base: a field, a step, or (for the server's copy) a
// LAST-MODIFIED that moved, as another program may have changed what we don't read.
bool edited(const CalendarThing& base, const CalendarThing& side, bool byModified)
{
    if (!sameFields(base, side))
        return true;
    return byModified && base.modified && side.modified && *base.modified != *side.modified;
}

CalendarThing mergeBoth(const std::optional<CalendarThing>& base, const CalendarThing& ours,
                        const CalendarThing& theirs, const QDateTime& oursModified)
{
    const Side later = oursModified.isValid() && theirs.modified && theirs.modified->isValid() &&
                               oursModified > *theirs.modified
                           ? Side::Ours
                           : Side::Theirs;
    CalendarThing out = theirs;
    std::optional<QString> lostTitle;
    out.title = pick(baseField<QString>(base, [](auto& t) { return t.title; }), ours.title, theirs.title,
                     later, &lostTitle);
    std::optional<Note> lostNote;
    const Note note = pick(baseField<Note>(base, noteOf), noteOf(ours), noteOf(theirs), later, &lostNote);
    out.note = note.plain;
    out.rtf = note.rich;
    const Done done =
        pick(baseField<Done>(base, [](auto& t) { return doneOf(t); }), doneOf(ours), doneOf(theirs), later);
    out.done = done.done;
    out.doneAt = done.at;
    const Wake wake = pick(baseField<Wake>(base, wakeOf), wakeOf(ours), wakeOf(theirs), later);
    out.wake = wake.at;
    out.someday = wake.someday;
    out.zs = pick(baseField<int>(base, [](auto& t) { return t.zs; }), ours.zs, theirs.zs, later);
    out.order = pick(baseField<std::optional<qint64>>(base, [](auto& t) { return t.order; }), ours.order,
                     theirs.order, later);
    out.list = pick(baseField<QString>(base, [](auto& t) { return t.list; }), ours.list, theirs.list, later);
    out.created = pick(baseField<QDateTime>(base, [](auto& t) { return t.created; }), ours.created,
                       theirs.created, later);
    StepsMerge steps = mergeSteps(base, ours, theirs, later);
    out.steps = std::move(steps.steps);

    // A losing note that is empty, still the base's or only restyled holds no text of its own.
    const std::optional<QString> baseNote = baseField<QString>(base, [](auto& t) { return t.note; });
    if (lostNote && !lostNote->plain.isEmpty() && lostNote->plain != out.note && lostNote->plain != baseNote)
        appendToNote(out, keptNoteLines(lostNote->plain));
    if (lostTitle && !lostTitle->isEmpty())
        appendToNote(out, keptTitleLine(*lostTitle));
    for (const QString& title : steps.lostTitles)
        appendToNote(out, keptStepLine(title));
    return out;
}

} // namespace

std::optional<CalendarThing> baseAfterSend(const std::optional<CalendarThing>& base,
                                           const std::optional<CalendarThing>& sent,
                                           const std::optional<CalendarThing>& theirs)
{
    if (!sent || !theirs)
        return base;
    // Never agreed before: the server holds the thing only as we sent it, so that is the base.
    CalendarThing out = base ? *base : *sent;
    if (!base)
        out.steps.clear(); // those the server holds join below
    const auto agree = [](auto& field, const auto& sentValue, const auto& theirValue) {
        if (sentValue == theirValue)
            field = sentValue;
    };
    agree(out.title, sent->title, theirs->title);
    if (noteOf(*sent) == noteOf(*theirs)) {
        out.note = sent->note;
        out.rtf = sent->rtf;
    }
    if (doneOf(*sent) == doneOf(*theirs)) {
        out.done = sent->done;
        out.doneAt = sent->doneAt;
    }
    if (wakeOf(*sent) == wakeOf(*theirs)) {
        out.wake = sent->wake;
        out.someday = sent->someday;
    }
    agree(out.zs, sent->zs, theirs->zs);
    agree(out.order, sent->order, theirs->order);
    agree(out.list, sent->list, theirs->list);
    for (const CalendarStep& s : sent->steps) {
        const auto there = std::find_if(theirs->steps.begin(), theirs->steps.end(),
                                        [&s](const CalendarStep& t) { return t.uid == s.uid; });
        if (there == theirs->steps.end())
            continue;
        const auto agreed = std::find_if(out.steps.begin(), out.steps.end(),
                                         [&s](const CalendarStep& b) { return b.uid == s.uid; });
        if (agreed == out.steps.end()) {
            out.steps.push_back(s);
            continue;
        }
        agree(agreed->title, s.title, there->title);
        if (doneOf(s) == doneOf(*there)) {
            agreed->done = s.done;
            agreed->doneAt = s.doneAt;
        }
    }
    return out;
}

bool sameFields(const CalendarThing& a, const CalendarThing& b)
{
    if (a.steps.size() != b.steps.size())
        return false;
    for (std::size_t i = 0; i < a.steps.size(); ++i)
        if (a.steps[i].uid != b.steps[i].uid || !sameStep(a.steps[i], b.steps[i]))
            return false;
    return a.uid == b.uid && a.title == b.title && noteOf(a) == noteOf(b) && doneOf(a) == doneOf(b) &&
           wakeOf(a) == wakeOf(b) && a.zs == b.zs && a.order == b.order && a.list == b.list &&
           a.created == b.created;
}

MergeResult merge(const std::optional<CalendarThing>& base, const std::optional<CalendarThing>& ours,
                  const std::optional<CalendarThing>& theirs, const QDateTime& oursModified)
{
    if (!ours && !theirs)
        return {MergeOutcome::Delete, std::nullopt};
    if (!theirs) {
        // Deleted over there (or never there): gone, unless we changed it since.
        if (base && !edited(*base, *ours, false))
            return {MergeOutcome::Delete, std::nullopt};
        return {MergeOutcome::KeepOurs, ours};
    }
    if (!ours) {
        if (base && !edited(*base, *theirs, true))
            return {MergeOutcome::Delete, std::nullopt};
        return {MergeOutcome::KeepTheirs, theirs};
    }
    CalendarThing merged = mergeBoth(base, *ours, *theirs, oursModified);
    if (sameFields(merged, *theirs))
        return {MergeOutcome::KeepTheirs, theirs};
    if (sameFields(merged, *ours))
        return {MergeOutcome::KeepOurs, std::move(merged)};
    return {MergeOutcome::Merged, std::move(merged)};
}

} // namespace vorn::calsync
