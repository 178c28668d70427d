#include "ui/focus/FocusCount.h"

namespace vorn {

QString focusCountText(const Source& source, int count, bool listsRows)
{
    const QString n = QString::number(count);
    if (source == Source::today)
        return count == 0 && listsRows ? QStringLiteral("all done") : n + QStringLiteral(" left");
    if (source == Source::doneIsh)
        return n + QStringLiteral(" done");
    return count == 1 ? QStringLiteral("1 thing") : n + QStringLiteral(" things");
}

} // namespace vorn
