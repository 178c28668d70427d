#pragma once

#include <QLoggingCategory>

namespace vorn {

// Categories are named subsystem + "." + category, so one filter rule covers the whole family.
Q_DECLARE_LOGGING_CATEGORY(lcSync)
Q_DECLARE_LOGGING_CATEGORY(lcStartup)

} // namespace vorn
