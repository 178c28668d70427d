#pragma once

#include "ical/CalendarTodo.h"
#include "model/ModelExchange.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace vorn {

class AppModel;
class Thing;

// One thing as a to-do; `position` is its X-APPLE-SORT-ORDER.
ical::CalendarThing calendarThing(const AppModel& model, const Thing& thing, qint64 position);
// Every thing of our own lists as a to-do, in the window's order (Today, Later, Done-ish, the user's
// lists); the planner's rows are the planner's and are left out.
std::vector<ical::CalendarThing> calendarThings(const AppModel& model);
// The same as one iCalendar file, DTSTAMP the model's now.
QByteArray exportCalendar(const AppModel& model);

// Adds the to-dos read, as one undo step, lists made as an import of Markdown makes them. A to-do keeps
// its UID, and its steps theirs, unless a thing here has it already: then it gets one of its own.
ImportOutcome importCalendar(AppModel& model, const ical::CalendarRead& read);

// Whether a file's name says iCalendar (".ics"); any other name is Markdown, as before.
bool isCalendarFile(const QString& path);

} // namespace vorn
