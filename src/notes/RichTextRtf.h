#pragma once

#include "notes/rtf/RtfDocument.h"

class QTextDocument;

// Between the text engine's document and the codec's plain values: what a note's text and formats are,
// in both directions.
namespace vorn::notes::RichTextRtf {

rtf::Document toRtf(const QTextDocument& text);
// Fills an empty document with the paragraphs and runs, formats as they are (not yet normalised).
void fromRtf(const rtf::Document& document, QTextDocument& into);

} // namespace vorn::notes::RichTextRtf
