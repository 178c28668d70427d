#pragma once

#include "ical/CalendarTodo.h"

#include <QString>

namespace vorn::calsync {

// The lines a merge adds to the note for a value that lost, so it can be read and copied back.
QString keptTitleLine(const QString& title);
QString keptNoteLines(const QString& note);
QString keptStepLine(const QString& stepTitle);

// Adds the text after a blank line to the note's plain text and, when it has one, to its rich copy in
// the look of the note's body. Text the note already holds is not added again, so a merge that is
// repeated (a second 412) does not grow the note.
void appendToNote(ical::CalendarThing& thing, const QString& text);

} // namespace vorn::calsync
