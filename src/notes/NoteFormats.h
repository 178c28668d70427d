#pragma once

#include <QTextFormat>

// Properties of our own that note text carries in its character formats. They describe folded sections
// and never go into the RTF: that state travels in the document comment.
namespace vorn::notes::NoteProperty {

inline constexpr int collapsible = QTextFormat::UserProperty + 1;
inline constexpr int collapsed = QTextFormat::UserProperty + 2;
inline constexpr int hidden = QTextFormat::UserProperty + 3;

} // namespace vorn::notes::NoteProperty
