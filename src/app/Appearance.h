#pragma once

namespace vorn {

class DesktopColorScheme;

// The application wears the theme's palette for what `scheme` says, or for what the Qt palette says while
// it says nothing, and switches it whenever the scheme changes. Needs a QApplication.
void wearDesktopAppearance(DesktopColorScheme& scheme);

} // namespace vorn
