#pragma once

#include "notes/NoteComment.h"

#include <QList>

#include <optional>
#include <vector>

class QTextBlock;
class QTextDocument;

// Headings, their sections and the folding state of a note. Collapsible is a character-format property
// (NoteProperty) over whole heading paragraphs, an edit like any other; only its presence counts. Folded
// is a mark on the heading's block outside the formats, so that folding and unfolding never enter the
// undo history. The hidden text (the bodies of folded collapsible headings) stays in the document; a
// block wholly inside it is made invisible so the layout gives it no space.
//
// Positions count the document's characters, paragraph separators included; the separator that ends a
// paragraph is the last character of its range. (QTextDocument keeps that separator's format as the next
// block's char format.) Nothing here opens or joins undo steps of its own beyond one edit block per call:
// the caller decides which step the change belongs to.
namespace vorn::notes::Sections {

struct Range {
    int position = 0;
    int length = 0;

    int end() const { return position + length; }
    bool operator==(const Range&) const = default;
};

struct Heading {
    int position; // the paragraph's start
    int length;   // the whole paragraph, its separator included (the last one has none)
    int rank;     // 0 title, 1 heading, 2 subheading

    Range range() const { return {position, length}; }
    bool operator==(const Heading&) const = default;
};

// Paragraphs whose first character is set in a heading size and that hold something visible (not only
// whitespace and direction marks), in text order. A heading's ordinal is its index here.
std::vector<Heading> headings(const QTextDocument& document);
// The rank of the paragraph as a heading of that list, if it is one.
std::optional<int> headingRank(const QTextBlock& block);

// From the end of heading i to the next heading of the same or a higher level, or to the end of the text.
Range body(const std::vector<Heading>& headings, int i, int textLength);

// Whether the paragraph starting at `position` is a collapsible heading that is folded.
bool isFolded(const QTextDocument& document, int position);

// What the note's document comment stores: headings collapsible at their start, and those of them that
// are also collapsed.
QList<int> collapsibleOrdinals(const QTextDocument& document);
QList<int> collapsedOrdinals(const QTextDocument& document);

// Turning collapsible off also unfolds; folding also makes collapsible (the only part of a fold that
// is an edit). An ordinal that names no heading does nothing. Both end in reapplyHidden.
void setCollapsible(QTextDocument& document, int ordinal, bool on);
void setCollapsed(QTextDocument& document, int ordinal, bool on);

// The state a loaded note's comment records; ordinals past the heading list are skipped.
void applyState(QTextDocument& document, const NoteComment& state);

// Brings the state into its canonical form: collapsible exactly over the headings that carry it at their
// start, fold marks only on collapsible headings. The property is rewritten only where its runs differ
// from that, so a note already in form is not touched. Returns the runs once in form (collapsible, the
// folded headings, the hidden bodies) and the headings, so callers need no pass of their own.
struct SectionRuns {
    std::vector<Range> collapsible;
    std::vector<Range> collapsed;
    std::vector<Range> hidden;
    std::vector<Heading> headings;
};
SectionRuns reapplyHidden(QTextDocument& document);

// The merged ranges of characters carrying a property.
std::vector<Range> runs(const QTextDocument& document, int property);
// The non-empty bodies of the folded headings, merged.
std::vector<Range> hiddenRuns(const QTextDocument& document);
// Whether any paragraph that [from, to] reaches is a heading, carries a fold mark or holds a character
// (its separator included) that is collapsible. An edit whose paragraphs are free of all of them, before
// and after it, leaves the sections as they were, only moved.
bool touchesSections(const QTextDocument& document, int from, int to);
// Whether the character at a position (a separator included) carries a property.
bool hasAt(const QTextDocument& document, int position, int property);

// Makes exactly the blocks wholly inside a hidden run invisible and has the layout redo the blocks that
// changed. True when any did.
bool applyVisibility(QTextDocument& document);

} // namespace vorn::notes::Sections
