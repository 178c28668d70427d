#pragma once

#include <QString>
#include <QTextCharFormat>

#include <optional>
#include <vector>

class QTextBlock;
class QTextDocument;

namespace vorn::notes {

// The character format in force at a position of the document: the format of the character there, or
// the block's own format in an empty paragraph. Positions outside the text give nothing.
std::optional<QTextCharFormat> charFormatAt(const QTextDocument& document, int position);

// Replaces [position, position + length) by text whose characters take the format found at
// `attributesFrom` (or `typing` when that is absent or outside the text), never underlined: a marker is
// not part of what the user underlined.
void replaceMarker(QTextDocument& document, int position, int length, const QString& text,
                   std::optional<int> attributesFrom, const QTextCharFormat& typing = {});

struct MarkerReplacement {
    int position;
    int length;
    QString text;
};

// The numbers to rewrite so that every run of numbered paragraphs counts 1, 2, 3…; anything else between
// two numbered items starts a new run. First to last: apply them from the last, so positions hold.
std::vector<MarkerReplacement> renumbering(const QTextDocument& document);
// The same after an edit in the paragraph at `position` only: what the whole note's renumbering would
// change there, found by reading that paragraph's run and the one after it.
std::vector<MarkerReplacement> renumberingFrom(const QTextDocument& document, int position);

// Ticks or unticks the checklist item of the paragraph; false when it is not one.
bool toggleCheckbox(QTextDocument& document, const QTextBlock& paragraph);

} // namespace vorn::notes
