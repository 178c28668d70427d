#include "app/Appearance.h"

#include "app/DesktopColorScheme.h"
#include "pixel/Theme.h"

namespace vorn {

namespace {

std::optional<Appearance> preferenceOf(ColorScheme scheme)
{
    switch (scheme) {
    case ColorScheme::preferDark:
        return Appearance::dark;
    case ColorScheme::preferLight:
        return Appearance::light;
    case ColorScheme::noPreference:
        break;
    }
    return std::nullopt;
}

} // namespace

void wearDesktopAppearance(DesktopColorScheme& scheme)
{
    AppearanceWatcher* watcher = AppearanceWatcher::instance();
    QObject::connect(&scheme, &DesktopColorScheme::changed, watcher,
                     [watcher](ColorScheme now) { watcher->setPreference(preferenceOf(now)); });
    watcher->setPreference(preferenceOf(scheme.scheme()));
    watcher->wearThemedPalette();
}

} // namespace vorn
