#pragma once

#include "notes/rtf/RtfDocument.h"

class QTextDocument;

// Between the text engine's document and the codec's plain values: what a note's text and formats are,
// in both directions.
namespace vorn::notes::RichTextRtf {

rtf::Document toRtf(const QTextDocument& text);
enum class Formats { asWritten, normalized };
// Fills an empty document with the paragraphs and runs: their formats as written, or already normalised,
// characters and paragraph styles, as RichText::normalize would leave them.
void fromRtf(const rtf::Document& document, QTextDocument& into, Formats formats = Formats::asWritten);

} // namespace vorn::notes::RichTextRtf
