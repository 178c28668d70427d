#pragma once

#include "model/ModelExchange.h"

#include <QDateTime>
#include <QString>

namespace vorn {

class AppModel;
class Pile;

// What every import (Markdown, todo.txt, iCalendar) does the same way with what it read.

// Imported things are made a millisecond apart, so their order is the file's.
inline constexpr qint64 kImportedStepMSecs = 1;

// The user's list of that name, whatever its case; null when there is none.
Pile* pileNamed(const AppModel& model, const QString& name);
// A new list of that name made at `at`, or null when there are as many lists as there may be.
Pile* makeImportedPile(AppModel& model, const QString& name, const QDateTime& at);
// What the import says of a list it had no room for.
QString noRoomForList(const QString& name);
// Counts what was made and saves it (a failed save stays pending and is tried again).
void finishImport(AppModel& model, ImportOutcome& outcome, qint64 made, bool pilesMade);

} // namespace vorn
