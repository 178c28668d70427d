#include "transfer/DesktopWorkspace.h"

#include <QDesktopServices>
#include <QStandardPaths>

namespace vorn {

bool DesktopWorkspace::isPlannerInstalled() const
{
    return findPlannerDesktopEntry(QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation))
        .has_value();
}

bool DesktopWorkspace::openUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace vorn
