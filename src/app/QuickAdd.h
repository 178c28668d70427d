#pragma once

#include <QDBusConnection>
#include <QString>

namespace vorn {

struct Launch;

// `vorn-todo --add TITLE`: a thing for Today, through the running app when there is one (so its window
// and undo see it), else straight into the store and the family file. Needs a QCoreApplication, no
// display. Returns the exit code; on failure `error` says why.
int quickAdd(const Launch& launch, QDBusConnection bus, const QString& title, QString* error);

} // namespace vorn
