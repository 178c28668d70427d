#pragma once

#include "ical/CalendarTodo.h"

#include <QByteArray>

namespace vorn {

class AppModel;
class Pile;
class Thing;

// The order a thing goes out with: its sort key in thousandths, so that moving one thing changes its own
// order and no other thing's.
qint64 syncOrder(double sortKey);

// The thing as the server gets it and as the merge compares it: the export's copy, in `syncOrder`, with
// the list as the collection's (`list` the pile's name, or empty).
ical::CalendarThing syncCopy(const AppModel& model, const Thing& thing);

// What of our record a sync looks at, condensed: it changes whenever the copy would, and costs no note
// file read (the rich note counts by its file's size and time).
QByteArray fingerprint(const AppModel& model, const Thing& thing);

// The model takes the server's copy: `thing` made like it (a new thing when null) in `pile` (null: Today,
// Later or Done-ish), with its steps matched by their ids. Not an undo step: the user didn't do it here.
Thing* takeCopy(AppModel& model, Thing* thing, const ical::CalendarThing& copy, Pile* pile);

} // namespace vorn
