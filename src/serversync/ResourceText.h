#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

namespace vorn {

// A calendar server keeps one to-do per resource (one UID each), so a thing with steps is a resource
// for the thing and one for each step, tied by RELATED-TO.
struct CalendarResource {
    QString uid;
    QString parent; // the UID its RELATED-TO names as parent; empty for a thing
    QByteArray text;
};

// Each to-do of a calendar we wrote, as a resource of its own: the calendar's header, its time zones and
// that one to-do.
std::vector<CalendarResource> splitResources(const QByteArray& calendar);

// The UID and parent of a resource's first to-do, read from its text (unfolded).
CalendarResource resourceIdentity(const QByteArray& text);

// The resource with its to-do's LAST-MODIFIED at `when` (UTC), in place of any it had.
QByteArray withLastModified(const QByteArray& text, const QDateTime& when);

// Whether two resources say the same but for when they were written and changed (DTSTAMP, LAST-MODIFIED).
bool sameResourceText(const QByteArray& a, const QByteArray& b);

// Whether the two say the same, DTSTAMP and LAST-MODIFIED aside, in any order: a server may sort the
// properties it keeps.
bool sameLines(const QByteArray& a, const QByteArray& b);

} // namespace vorn
