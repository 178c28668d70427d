#pragma once

#include "model/Schedule.h"

#include <QDateTime>
#include <QString>

namespace vorn {

// `date` worded relative to `now` in the schedule's locale, in the largest calendar unit that differs
// ("yesterday", "3 days ago", "last week", "in 2 hours"), with named forms where the language has them.
QString relativeDateText(const QDateTime& date, const QDateTime& now, const Schedule& schedule);

} // namespace vorn
