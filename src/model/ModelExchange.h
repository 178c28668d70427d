#pragma once

#include "transfer/exchange/ExchangeList.h"
#include "transfer/exchange/ImportReader.h"

#include <QString>

#include <vector>

namespace vorn {

class AppModel;

// Every list of our own as the window shows it: Today, Later in its sections, Done-ish, then each of the
// user's lists. The planner's rows are the planner's: they are left out.
std::vector<ExchangeList> exportLists(const AppModel& model);

struct ImportOutcome {
    int added = 0;
    std::vector<ImportProblem> problems; // what the reader skipped, where it was
    std::vector<QString> notes;          // what was read but put elsewhere: a list there was no room for
    ImportUnit unit = ImportUnit::line;  // what the reader skips: lines of Markdown, items of iCalendar
};

// Adds what was read, as one undo step: never merged into a thing that is there already. Lists named by
// a top-level heading are made when there is room; things of a list that can't be made go to Today.
ImportOutcome importLists(AppModel& model, const ImportText& text);

// "Imported 12 things." and, when some lines were skipped, what they were (the first ten); then where
// things went that couldn't go where the file said.
QString describeImport(const ImportOutcome& outcome);
// The same in a toast's few words: "Imported 12 things. Skipped 2 lines."
QString importToast(const ImportOutcome& outcome);

} // namespace vorn
