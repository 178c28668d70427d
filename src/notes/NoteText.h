#pragma once

#include "notes/ParagraphMarkers.h"

#include <QTextBlock>
#include <QTextDocument>

// Measures of a note's text that every part of the editor asks for, in QTextDocument's terms.
namespace vorn::notes {

// The note's characters, without the end-of-document separator QTextDocument always keeps.
inline int textLength(const QTextDocument& document)
{
    return document.characterCount() - 1;
}

// Where a paragraph ends, its separator included; the last paragraph's separator is not in the text.
inline int paragraphEnd(const QTextBlock& block)
{
    return block.position() + block.length() - (block.next().isValid() ? 0 : 1);
}

inline bool isDivider(const QTextBlock& block)
{
    return ParagraphMarkers::parse(block.text()).kind.is(ParagraphKind::Case::divider);
}

} // namespace vorn::notes
