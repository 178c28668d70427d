#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

namespace vorn::ical {

// One step as a subtask: a VTODO of its own whose RELATED-TO names its thing.
struct CalendarStep {
    QString uid;
    QString title;
    bool done = false;
    std::optional<QDateTime> doneAt; // when a done step says when
    friend bool operator==(const CalendarStep&, const CalendarStep&) = default;
};

// One thing as a VTODO, with what the lists need of it and the text it last came in as.
struct CalendarThing {
    QString uid;
    QString title;
    QDateTime created;                 // invalid: not known
    std::optional<QDateTime> modified; // LAST-MODIFIED as read
    bool done = false;                 // completed, or cancelled elsewhere
    std::optional<QDateTime> doneAt;
    std::optional<QDateTime> wake; // when it comes back; a day alone reads as that day's midnight, local
    bool someday = false;
    int zs = 0;
    std::optional<qint64> order; // X-APPLE-SORT-ORDER: lower first
    QString list;                // a list of the user's own by name; empty for Today, Later and Done-ish
    QString note;                // plain text, what other programs show
    std::optional<QByteArray> rtf;
    std::vector<CalendarStep> steps; // in their order
    // The VCALENDAR text this thing was read from: its VTODO, its subtasks' and the time zones they
    // name. Written over with our fields, so what other programs put there goes out again.
    QString kept;
    friend bool operator==(const CalendarThing&, const CalendarThing&) = default;
};

struct CalendarProblem {
    int line = 0; // 1-based: where the item's BEGIN line is
    QString what;
    friend bool operator==(const CalendarProblem&, const CalendarProblem&) = default;
};

struct CalendarRead {
    std::vector<CalendarThing> things; // in the file's order
    std::vector<CalendarProblem> problems;
};

// The most a single property may hold; a note's rich form in base64 is the biggest we write.
inline constexpr qsizetype kCalendarPropertyLimit = 4 * 1024 * 1024;

// One VCALENDAR of every thing, each followed by its steps. Times are written in UTC; `stamp` is the
// DTSTAMP of every item and the LAST-MODIFIED of an item whose kept text we changed.
QByteArray writeCalendar(const std::vector<CalendarThing>& things, const QDateTime& stamp);
// The same, written in up to `parts` runs of things side by side (the one above has one for each core
// when there are many things); the text is the same however many.
QByteArray writeCalendar(const std::vector<CalendarThing>& things, const QDateTime& stamp, int parts);

// Every VTODO of the text, subtasks as steps of their parent. Items that can't be read are reported
// with their line and skipped; the rest is read.
CalendarRead readCalendar(const QByteArray& text);
// The same, a calendar cut between its items into up to `parts` read side by side (the one above
// cuts a big file into one part for each core); what is read is the same however it is cut.
CalendarRead readCalendar(const QByteArray& text, int parts);

} // namespace vorn::ical
