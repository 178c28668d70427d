#pragma once

#include "notes/rtf/RtfDocument.h"

#include <QList>
#include <QString>
#include <QTextFormat>

#include <vector>

class QTextDocument;

// Between the text engine's document and the codec's plain values: what a note's text and formats are,
// in both directions.
namespace vorn::notes::RichTextRtf {

rtf::Document toRtf(const QTextDocument& text);

// The document's characters and formats as they stand, taken cheaply on the document's thread: the text
// once, each fragment as a range of it and a format number, the formats as the document keeps them
// (shared, not copied). Another thread can make the RTF from it while the document goes on changing.
struct Snapshot {
    struct Fragment {
        int position = 0;
        int length = 0;
        int format = 0;
    };
    struct Block {
        int format = 0;
        int firstFragment = 0; // the block's fragments are [firstFragment, the next block's)
    };
    QString text;
    QList<QTextFormat> formats;
    std::vector<Block> blocks;
    std::vector<Fragment> fragments;
};
Snapshot snapshot(const QTextDocument& text);
// The same document toRtf(text) makes of the document the snapshot was taken of; any thread.
rtf::Document toRtf(const Snapshot& snapshot);
enum class Formats { asWritten, normalized };
// Fills an empty document with the paragraphs and runs: their formats as written, or already normalised,
// characters and paragraph styles, as RichText::normalize would leave them.
void fromRtf(const rtf::Document& document, QTextDocument& into, Formats formats = Formats::asWritten);

} // namespace vorn::notes::RichTextRtf
