#pragma once

#include <QFont>
#include <QString>

#include <optional>

// The pixel font "Vorn Pixel", generated at build time from the glyph grids in font/glyphs.txt and
// compiled into the resources.
namespace vorn::VornFont {

inline constexpr char16_t family[] = u"Vorn Pixel";
inline constexpr char16_t resourcePath[] = u":/fonts/VornPixel-Regular.ttf";

// Sizes in pixels; they do not follow the desktop's text-size setting.
inline constexpr int titleSize = 40;
inline constexpr int labelSize = 20;

// Registers the font from the resources for this process only; once, at start-up. Returns the
// registered family, or nothing when the resource is missing or unusable: that is no error, text set
// in the pixel font then falls back to the UI face.
std::optional<QString> registerFont();

// The same for any font file; a missing or broken file gives nothing.
std::optional<QString> registerFile(const QString& path);

// The pixel font at a pixel size; characters it lacks come from the UI face (Inter when installed).
QFont font(int pixelSize);

// The face of ordinary text: Inter when present, else the desktop's default sans.
QString uiFamily();

} // namespace vorn::VornFont
