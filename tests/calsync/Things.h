#pragma once

#include "ical/CalendarTodo.h"

#include <QStringList>

namespace vorn::calsync::test {

using ical::CalendarStep;
using ical::CalendarThing;

inline const QDateTime kBase(QDate(2026, 12, 1), QTime(9, 0), Qt::UTC);
inline const QDateTime kEarly = kBase.addSecs(60), kLate = kBase.addSecs(120);
// Agreed on at kBase; steps take their titles as UIDs.
inline CalendarThing baseThing()
{
    CalendarThing t{"T1", "Buy paint", kBase, kBase, false, {}, {}, false, 0, {}, {}, "White", {}, {}, {}};
    for (const char* s : {"Measure", "Drive", "Pay"})
        t.steps.push_back({s, s, false, {}});
    return t;
}
// The server's copy, last written at `at` (invalid: undated), with text of another program's.
inline CalendarThing server(CalendarThing t, const QDateTime& at = kEarly)
{
    t.modified = at.isValid() ? std::optional(at) : std::nullopt;
    t.kept = "BEGIN:VCALENDAR…PRIORITY:1…";
    return t;
}
// The titles in order, "+" after a done one.
inline QString steps(const CalendarThing& t)
{
    QStringList out;
    for (const CalendarStep& s : t.steps)
        out << s.title + (s.done ? "+" : "");
    return out.join(u',');
}

} // namespace vorn::calsync::test
