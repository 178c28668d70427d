#pragma once

#include <QTextFormat>

// A property of our own that note text carries in its character formats: a heading that can be folded.
// It never goes into the RTF: that state travels in the document comment. (Whether a section is folded
// is kept outside the formats, see Sections.)
namespace vorn::notes::NoteProperty {

inline constexpr int collapsible = QTextFormat::UserProperty + 1;

} // namespace vorn::notes::NoteProperty
