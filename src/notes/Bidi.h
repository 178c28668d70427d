#pragma once

#include "notes/Typography.h"

#include <QStringView>

#include <optional>

namespace vorn::notes::Bidi {

inline constexpr char16_t leftToRightMark = u'\u200E';
inline constexpr char16_t rightToLeftMark = u'\u200F';

// The first strong direction of the text: a direction mark, else the first letter of a right-to-left or
// any other script. Digits and punctuation decide nothing; none when nothing decides.
std::optional<TextDirection> direction(QStringView text);

} // namespace vorn::notes::Bidi
