#pragma once

#include "transfer/PlannerWorkspace.h"

namespace vorn {

// The desktop: the planner is installed when its desktop entry is in an XDG applications folder, and
// URLs open through the desktop's handler (the entry registers the planner for vornplanner:).
class DesktopWorkspace final : public PlannerWorkspace {
public:
    bool isPlannerInstalled() const override;
    bool openUrl(const QUrl& url) override;
};

} // namespace vorn
