#pragma once

#include "transfer/exchange/ExchangeList.h"

#include <QString>

#include <vector>

namespace vorn {

// Every list as one Markdown document: a heading per list (Later's sections as subheadings), a
// checklist line per thing with its wake day, done day and snooze count in trailing brackets, its steps
// as indented checklist lines and its note as an indented quote. readImport() reads it back whole.
QString writeMarkdown(const std::vector<ExchangeList>& lists);

// The trailing "(until …)", "(someday)", "(done …)" and "(zZ n)" of a thing line, taken off `title`.
struct ThingMarks {
    std::optional<QDateTime> until;
    bool someday = false;
    std::optional<QDate> doneOn;
    std::optional<int> zs;
    bool any() const { return until || someday || doneOn || zs; }
};
ThingMarks takeThingMarks(QString& title);

} // namespace vorn
