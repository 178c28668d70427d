#pragma once

#include <QByteArray>
#include <QImage>

// The application's icon: the large face, yellow with dark features, on a transparent square. The
// desktop shows it in its launcher, so it is made from the same grid as the status-bar face.
namespace vorn::AppIcon {

// The sizes the app's icon comes in, wherever the desktop asks for one.
inline constexpr int sizes[] = {16, 32, 48, 64, 128, 256};

// The face at `size` × `size` pixels. Every cell is a square block of size / 16 pixels, so sizes that
// are multiples of 16 stay crisp; any leftover pixels become an even transparent margin.
QImage image(int size);

// The same face as SVG: one <rect> per horizontal run of a colour, on a 16 × 16 view box.
QByteArray svg();

} // namespace vorn::AppIcon
