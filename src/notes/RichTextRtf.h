#pragma once

#include "notes/rtf/RtfDocument.h"

#include <QList>
#include <QString>
#include <QTextFormat>

#include <memory>
#include <optional>
#include <vector>

class QTextBlock;
class QTextDocument;

// Between the text engine's document and the codec's plain values: what a note's text and formats are,
// in both directions.
namespace vorn::notes::RichTextRtf {

rtf::Document toRtf(const QTextDocument& text);

// The document's characters and formats as they stand, taken on the document's thread: each paragraph's
// text, its fragments as ranges of it with a format number, the formats as the document keeps them
// (shared, not copied). A paragraph copy never changes once made, so snapshots share the ones that did not
// change (DocumentCopy keeps them current), and another thread can make the RTF while the document goes on.
struct Snapshot {
    struct Fragment {
        int position = 0; // in the paragraph's text
        int length = 0;
        int format = 0;
    };
    struct Block {
        int format = 0;
        QString text; // without the paragraph separator
        std::vector<Fragment> fragments;
        std::optional<int> headingRank; // as Sections::headings ranks it
    };
    QList<QTextFormat> formats;
    std::vector<std::shared_ptr<const Block>> blocks;
};
std::shared_ptr<const Snapshot::Block> copyOf(const QTextBlock& block);
Snapshot snapshot(const QTextDocument& text);
// The same document toRtf(text) makes of the document the snapshot was taken of; any thread.
rtf::Document toRtf(const Snapshot& snapshot);
enum class Formats { asWritten, normalized };
// Fills an empty document with the paragraphs and runs: their formats as written, or already normalised,
// characters and paragraph styles, as RichText::normalize would leave them.
void fromRtf(const rtf::Document& document, QTextDocument& into, Formats formats = Formats::asWritten);

} // namespace vorn::notes::RichTextRtf
