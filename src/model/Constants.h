#pragma once

#include <QLatin1StringView>

namespace vorn {

// Reverse-DNS identifiers. Those marked "shared" must match the planner's.
inline constexpr QLatin1StringView kAppLogSubsystem{"com.vorn.todo"};
inline constexpr QLatin1StringView kFamilyLogSubsystem{"com.vorn.family"};             // shared
inline constexpr QLatin1StringView kFamilyStoreQueueLabel{"com.vorn.family.store"};
inline constexpr QLatin1StringView kFamilyChangeNotification{"com.vorn.family.changed"}; // shared
inline constexpr QLatin1StringView kHandoffPasteboardName{"com.vorn.family.handoff"};    // shared
inline constexpr QLatin1StringView kThingsPasteboardType{"application/x-vorn-things+json"}; // shared
inline constexpr QLatin1StringView kPlannerBundleID{"com.vorn.planner"};                 // shared
inline constexpr QLatin1StringView kDemoSettingsSuite{"com.vorn.todo.demo"};

// Settings keys.
inline constexpr QLatin1StringView kFocusFloatsKey{"focus.floats"};
inline constexpr QLatin1StringView kFocusLastModeKey{"focus.lastMode"};
inline constexpr QLatin1StringView kOrderOtherAppsKey{"order.otherApps"};
inline constexpr QLatin1StringView kRolloverLastActiveKey{"rollover.lastActive"};
inline constexpr QLatin1StringView kShowInMenuBarKey{"showInMenuBar"};
inline constexpr QLatin1StringView kDemoTabKey{"demoTab"};

// Environment and launch switches.
inline constexpr QLatin1StringView kNotesDirVariable{"VORN_NOTES_DIR"};
inline constexpr QLatin1StringView kFamilyDbVariable{"VORN_FAMILY_DB"};
inline constexpr QLatin1StringView kTestHarnessVariable{"XCTestConfigurationFilePath"};
inline constexpr QLatin1StringView kDemoArgument{"-demo"};

} // namespace vorn
