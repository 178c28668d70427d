#pragma once

#include "family/FamilyConstants.h"

#include <QLatin1StringView>

#include <cstddef>

namespace vorn {

// Reverse-DNS identifiers of this app; the family's shared ones are in family/FamilyConstants.h.
inline constexpr QLatin1StringView kAppLogSubsystem{"com.vorn.todo"};
inline constexpr QLatin1StringView kDemoSettingsSuite{"com.vorn.todo.demo"};

// The most lists of their own a user can have.
inline constexpr std::size_t kMaxPiles = 4;

// Settings keys.
inline constexpr QLatin1StringView kFocusFloatsKey{"focus.floats"};
inline constexpr QLatin1StringView kFocusLastModeKey{"focus.lastMode"};
// The focus panel's frame: x, y, width and height.
inline constexpr QLatin1StringView kFocusWindowKey{"FocusWindow"};
inline constexpr QLatin1StringView kOrderOtherAppsKey{"order.otherApps"};
inline constexpr QLatin1StringView kRolloverLastActiveKey{"rollover.lastActive"};
// What a rollover in a run without a window counted, until a window tells it: {"day": "yyyy-mm-dd",
// "things": n}.
inline constexpr QLatin1StringView kRolloverCountedKey{"rollover.counted"};
inline constexpr QLatin1StringView kShowInMenuBarKey{"showInMenuBar"};
inline constexpr QLatin1StringView kDemoTabKey{"demoTab"};

// Environment and launch switches.
inline constexpr QLatin1StringView kNotesDirVariable{"VORN_NOTES_DIR"};
inline constexpr QLatin1StringView kFamilyDbVariable{"VORN_FAMILY_DB"};
inline constexpr QLatin1StringView kTestHarnessVariable{"XCTestConfigurationFilePath"};
inline constexpr QLatin1StringView kDemoArgument{"-demo"};

} // namespace vorn
