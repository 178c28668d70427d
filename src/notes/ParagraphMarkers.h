#pragma once

#include "notes/ParagraphKind.h"

#include <QString>
#include <QStringView>

namespace vorn::notes {

// One parsed paragraph. Offsets count UTF-16 units from the paragraph's start, as QTextDocument does.
struct ParagraphInfo {
    ParagraphKind kind;
    int markerStart = 0;  // the number of direction marks before the marker
    int markerLength = 0; // 0 for a plain paragraph

    int contentStart() const { return markerStart + markerLength; }
    bool operator==(const ParagraphInfo&) const = default;
};

// Lists and dividers are literal characters at the start of a paragraph, so they survive every copy of
// a note (rich, plain, clipboard, the planner's). These are those characters and the rules that read and
// write them.
namespace ParagraphMarkers {

inline constexpr char16_t bullet = u'\u2022';
inline constexpr char16_t unchecked = u'\u2610';
inline constexpr char16_t checked = u'\u2611';
inline constexpr char16_t dividerCharacter = u'\u2500';
inline constexpr int dividerLength = 300;
inline constexpr char16_t leftToRightMark = u'\u200E';
inline constexpr char16_t rightToLeftMark = u'\u200F';

// The divider as the editor writes it: dividerLength rule characters, no line break.
QString divider();

// The marker that starts a paragraph of this kind; empty for plain.
QString marker(ParagraphKind kind);

// What a paragraph's text says it is. Pure: it never looks at formatting.
ParagraphInfo parse(QStringView paragraph);

// The kind Return continues a list item with; plain for what is not a list item.
ParagraphKind nextItem(ParagraphKind kind);

} // namespace ParagraphMarkers

} // namespace vorn::notes
