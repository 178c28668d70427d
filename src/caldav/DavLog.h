#pragma once

#include <QLoggingCategory>

namespace vorn::caldav {

// Methods, URLs without user info, statuses and refusals; never a header or a body.
Q_DECLARE_LOGGING_CATEGORY(lcCalDav)

} // namespace vorn::caldav
