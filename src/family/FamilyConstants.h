#pragma once

#include <QLatin1StringView>

namespace vorn {

// Names every application of the family must spell the same way.
inline constexpr QLatin1StringView kFamilyLogSubsystem{"com.vorn.family"};
inline constexpr QLatin1StringView kFamilyStoreQueueLabel{"com.vorn.family.store"};
// The change broadcast, as a D-Bus interface and signal name on the session bus.
inline constexpr QLatin1StringView kFamilyChangeNotification{"com.vorn.family.DidChange"};
inline constexpr QLatin1StringView kFamilyDBusPath{"/com/vorn/family"};
inline constexpr QLatin1StringView kHandoffPasteboardName{"com.vorn.family.handoff"};
inline constexpr QLatin1StringView kThingsPasteboardType{"application/x-vorn-things+json"};
inline constexpr QLatin1StringView kPlannerBundleID{"com.vorn.planner"};

// The owners written in source_app and deleted_by.
inline constexpr QLatin1StringView kTodoApp{"todo"};
inline constexpr QLatin1StringView kPlannerApp{"planner"};

} // namespace vorn
