#pragma once

#include "ical/CalendarTodo.h"

#include <QDateTime>

#include <optional>

namespace vorn::calsync {

// What a merge asks of the caller: which copy the model and the server should hold afterwards.
enum class MergeOutcome {
    KeepOurs,   // ours as it is; the server needs it
    KeepTheirs, // the server's copy as it is; the model takes it, nothing goes out
    Merged,     // a copy of both: the model takes it and it goes out
    Delete,     // gone on both sides
};

struct MergeResult {
    MergeOutcome outcome = MergeOutcome::Delete;
    std::optional<ical::CalendarThing> thing; // what both should hold; none for Delete
};

// Three-way merge of one thing. `base` is the last copy both sides agreed on (none: both made it
// without the other), `ours` the local copy and `theirs` the server's (none: deleted on that side).
// A field changed on one side takes that side; changed on both to different values, the later change
// wins: `oursModified` against theirs' LAST-MODIFIED, theirs when either is unknown or both are the
// same. A losing title or note is added to the note. A thing deleted on one side and edited on the
// other keeps the edit. The result carries theirs' kept text, so what another program wrote survives.
MergeResult merge(const std::optional<ical::CalendarThing>& base,
                  const std::optional<ical::CalendarThing>& ours,
                  const std::optional<ical::CalendarThing>& theirs, const QDateTime& oursModified);

// The base to weigh `theirs` against when a PUT of ours, `sent`, may have got there and no sync before
// this one saw it land (the sync was stopped before it heard the answer; another side may have written
// over it since, or moved the thing elsewhere from the copy before it). A field the server holds as we sent
// it came from us: it counts as agreed, so an edit of ours made since wins rather than meeting our own older
// value as the other side's. The other fields keep the agreed copy's value (none agreed: what was sent); a
// step we sent that the server holds is agreed as sent.
std::optional<ical::CalendarThing> baseAfterSend(const std::optional<ical::CalendarThing>& base,
                                                 const std::optional<ical::CalendarThing>& sent,
                                                 const std::optional<ical::CalendarThing>& theirs);

// Whether the two hold the same in every field we merge (not the kept text or LAST-MODIFIED).
bool sameFields(const ical::CalendarThing& a, const ical::CalendarThing& b);

} // namespace vorn::calsync
