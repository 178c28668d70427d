#include "transfer/PlannerWorkspace.h"

#include "family/FamilyConstants.h"

#include <QDir>
#include <QFileInfo>

namespace vorn {

std::optional<QString> findPlannerDesktopEntry(const QStringList& applicationFolders)
{
    const QString name = kPlannerBundleID + QStringLiteral(".desktop");
    for (const QString& folder : applicationFolders) {
        if (folder.isEmpty())
            continue; // an empty folder would mean wherever the process runs
        const QFileInfo entry(QDir(folder).filePath(name));
        if (entry.isFile())
            return entry.filePath();
    }
    return std::nullopt;
}

} // namespace vorn
