#pragma once

#include <QStringList>
#include <QUrl>

#include <optional>

namespace vorn {

// What the desktop tells us about the planner and does for us: is it there, and open its URL.
class PlannerWorkspace {
public:
    virtual ~PlannerWorkspace() = default;
    virtual bool isPlannerInstalled() const = 0;
    // True once the URL was handed to whatever opens it.
    virtual bool openUrl(const QUrl& url) = 0;
};

// The planner's desktop entry (kPlannerBundleID + ".desktop") in the first of the folders that holds
// one as a file; nothing when none does.
std::optional<QString> findPlannerDesktopEntry(const QStringList& applicationFolders);

} // namespace vorn
