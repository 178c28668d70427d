#pragma once

#include "app/StoreCommand.h"

#include <QDBusConnection>
#include <QString>

namespace vorn {

struct Launch;

// `vorn-todo --add TITLE`: a thing for Today, through the running app when there is one (so its window
// and undo see it), else straight into the store and the family file. Needs a QCoreApplication, no
// display.
CommandResult quickAdd(const Launch& launch, QDBusConnection bus, const QString& title);

} // namespace vorn
