#include "notes/Sections.h"

#include "notes/MarkerEdits.h"
#include "notes/NoteFormats.h"
#include "notes/NoteText.h"
#include "notes/ParagraphMarkers.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <memory>
#include <optional>

namespace vorn::notes::Sections {

namespace {

// A folded heading's mark. It lives on the heading's block, beside the text rather than in its formats,
// so folding and unfolding are no edits: Qt's history records every format change but not a block's
// user data. A mark whose block is no longer a collapsible heading counts for nothing and is dropped
// when sections are brought into form.
class FoldMark : public QTextBlockUserData {};

bool hasFoldMark(const QTextBlock& block)
{
    return dynamic_cast<const FoldMark*>(block.userData()) != nullptr;
}

void setFoldMark(QTextBlock block, bool on)
{
    if (on == hasFoldMark(block))
        return;
    // The block owns its user data and deletes what it held before.
    block.setUserData(on ? std::make_unique<FoldMark>().release() : nullptr);
}

bool hasVisibleText(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return !c.isSpace() && c != QChar(ParagraphMarkers::leftToRightMark) &&
               c != QChar(ParagraphMarkers::rightToLeftMark);
    });
}

// Sorted by start (stable) and merged where a range starts at or before the end of the one before.
std::vector<Range> merged(std::vector<Range> ranges)
{
    std::stable_sort(ranges.begin(), ranges.end(),
                     [](const Range& a, const Range& b) { return a.position < b.position; });
    std::vector<Range> out;
    for (const Range& r : ranges) {
        if (!out.empty() && r.position <= out.back().end())
            out.back().length = std::max(out.back().end(), r.end()) - out.back().position;
        else
            out.push_back(r);
    }
    return out;
}

struct Piece {
    Range range;
    QTextCharFormat format;
};

// Whether a paragraph is a heading, from its first fragment's format; its text is read only when the size
// says it may be one.
std::optional<int> headingRank(const QTextBlock& block, const QTextCharFormat& first)
{
    if (!Typography::hasSize(first))
        return std::nullopt;
    const std::optional<int> level = rank(Typography::role(first));
    if (!level || !hasVisibleText(block.text()))
        return std::nullopt;
    return level;
}

// Every stretch of one format in the text, in order: each fragment, then the paragraph's separator, whose
// format QTextDocument keeps as the next block's char format. `paragraph` sees each block with its start
// and its first fragment's format (none when empty). Positions are counted along the way: asking a block
// or fragment for its position searches the document's tree, and this runs over the whole text after
// every keystroke.
template <typename Visit, typename Paragraph>
void eachPiece(const QTextDocument& document, Visit visit, Paragraph paragraph)
{
    int position = 0;
    for (QTextBlock block = document.begin(); block.isValid();) {
        const QTextBlock next = block.next();
        const int start = position;
        bool first = true;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (first)
                paragraph(block, start, &format);
            first = false;
            visit(Piece{{position, fragment.length()}, format});
            position += fragment.length();
        }
        if (first)
            paragraph(block, start, nullptr);
        if (next.isValid()) {
            visit(Piece{{position, 1}, next.charFormat()});
            ++position;
        }
        block = next;
    }
}

template <typename Visit> void eachPiece(const QTextDocument& document, Visit visit)
{
    eachPiece(document, visit, [](const QTextBlock&, int, const QTextCharFormat*) {});
}

// Adds a piece met in text order to the runs: it joins the last run it touches, else starts one.
void extendRuns(std::vector<Range>& runs, Range piece)
{
    if (!runs.empty() && runs.back().end() >= piece.position)
        runs.back().length = piece.end() - runs.back().position;
    else
        runs.push_back(piece);
}

QTextCursor selecting(QTextDocument& document, Range range)
{
    QTextCursor cursor(&document);
    cursor.setPosition(range.position);
    cursor.setPosition(range.end(), QTextCursor::KeepAnchor);
    return cursor;
}

void add(QTextDocument& document, Range range, int property)
{
    const int total = textLength(document);
    range.position = std::clamp(range.position, 0, total);
    range.length = std::clamp(range.length, 0, total - range.position);
    if (range.length == 0)
        return;
    QTextCharFormat change;
    change.setProperty(property, true);
    selecting(document, range).mergeCharFormat(change);
}

// Rewrites the formats that carry the property inside `within` without it. Collected first: rewriting a
// fragment may merge it with its neighbours.
void remove(QTextDocument& document, int property, std::optional<Range> within = std::nullopt)
{
    std::vector<Piece> pieces;
    eachPiece(document, [&](Piece piece) {
        if (!piece.format.hasProperty(property))
            return;
        if (within) {
            const int from = std::max(piece.range.position, within->position);
            const int to = std::min(piece.range.end(), within->end());
            if (from >= to)
                return;
            piece.range = {from, to - from};
        }
        piece.format.clearProperty(property);
        pieces.push_back(std::move(piece));
    });
    for (const Piece& piece : pieces)
        selecting(document, piece.range).setCharFormat(piece.format);
}

std::optional<Heading> headingAt(const std::vector<Heading>& list, int ordinal)
{
    if (ordinal < 0 || ordinal >= int(list.size()))
        return std::nullopt;
    return list[std::size_t(ordinal)];
}

} // namespace

std::vector<Heading> headings(const QTextDocument& document)
{
    std::vector<Heading> out;
    int position = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const int start = position;
        position += block.length();
        if (const std::optional<int> level = headingRank(block))
            out.push_back({start, block.length() - (block.next().isValid() ? 0 : 1), *level});
    }
    return out;
}

std::optional<int> headingRank(const QTextBlock& block)
{
    const auto first = block.begin();
    return first.atEnd() ? std::nullopt : headingRank(block, first.fragment().charFormat());
}

Range body(const std::vector<Heading>& headings, int i, int textLength)
{
    const Heading& heading = headings[std::size_t(i)];
    const int start = heading.position + heading.length;
    int end = textLength;
    for (std::size_t j = std::size_t(i) + 1; j < headings.size(); ++j) {
        if (headings[j].rank <= heading.rank) {
            end = headings[j].position;
            break;
        }
    }
    return {start, std::max(0, end - start)};
}

bool hasAt(const QTextDocument& document, int position, int property)
{
    if (position < 0 || position >= textLength(document))
        return false;
    const QTextBlock block = document.findBlock(position);
    if (position == block.position() + block.length() - 1)
        return block.next().charFormat().hasProperty(property);
    const std::optional<QTextCharFormat> format = charFormatAt(document, position);
    return format && format->hasProperty(property);
}

QList<int> collapsibleOrdinals(const QTextDocument& document)
{
    QList<int> out;
    const std::vector<Heading> list = headings(document);
    for (int i = 0; i < int(list.size()); ++i)
        if (hasAt(document, list[std::size_t(i)].position, NoteProperty::collapsible))
            out << i;
    return out;
}

bool isFolded(const QTextDocument& document, int position)
{
    const QTextBlock block = document.findBlock(position);
    return block.isValid() && block.position() == position && hasFoldMark(block) &&
           hasAt(document, position, NoteProperty::collapsible);
}

QList<int> collapsedOrdinals(const QTextDocument& document)
{
    QList<int> out;
    const std::vector<Heading> list = headings(document);
    for (int i = 0; i < int(list.size()); ++i) {
        if (isFolded(document, list[std::size_t(i)].position))
            out << i;
    }
    return out;
}

void setCollapsible(QTextDocument& document, int ordinal, bool on)
{
    const std::optional<Heading> heading = headingAt(headings(document), ordinal);
    if (!heading)
        return;
    QTextCursor batch(&document);
    batch.beginEditBlock();
    if (on) {
        add(document, heading->range(), NoteProperty::collapsible);
    } else {
        remove(document, NoteProperty::collapsible, heading->range());
        setFoldMark(document.findBlock(heading->position), false);
    }
    reapplyHidden(document);
    batch.endEditBlock();
}

void setCollapsed(QTextDocument& document, int ordinal, bool on)
{
    const std::optional<Heading> heading = headingAt(headings(document), ordinal);
    if (!heading)
        return;
    // Only a heading that is not yet collapsible gets a format (and so an undo step); the fold itself
    // is no edit.
    if (on && !hasAt(document, heading->position, NoteProperty::collapsible)) {
        QTextCursor batch(&document);
        batch.beginEditBlock();
        add(document, heading->range(), NoteProperty::collapsible);
        batch.endEditBlock();
    }
    setFoldMark(document.findBlock(heading->position), on);
    reapplyHidden(document);
}

void applyState(QTextDocument& document, const NoteComment& state)
{
    const std::vector<Heading> list = headings(document);
    QTextCursor batch(&document);
    batch.beginEditBlock();
    for (const QList<int>* ordinals : {&state.collapsible, &state.collapsed}) {
        for (int ordinal : *ordinals) {
            if (const std::optional<Heading> heading = headingAt(list, ordinal))
                add(document, heading->range(), NoteProperty::collapsible);
        }
    }
    for (int ordinal : state.collapsed) {
        if (const std::optional<Heading> heading = headingAt(list, ordinal))
            setFoldMark(document.findBlock(heading->position), true);
    }
    reapplyHidden(document);
    batch.endEditBlock();
}

SectionRuns reapplyHidden(QTextDocument& document)
{
    // One pass reads the headings and all three properties' runs as they are: this runs after every
    // keystroke.
    std::vector<Heading> list;
    std::vector<QTextBlock> headingBlocks;
    std::vector<QTextBlock> marked;
    std::vector<Range> collapsibleNow;
    eachPiece(
        document,
        [&](const Piece& piece) {
            if (piece.format.hasProperty(NoteProperty::collapsible))
                extendRuns(collapsibleNow, piece.range);
        },
        [&](const QTextBlock& block, int start, const QTextCharFormat* first) {
            if (hasFoldMark(block))
                marked.push_back(block);
            if (!first)
                return;
            if (const std::optional<int> level = headingRank(block, *first)) {
                list.push_back({start, block.length() - (block.next().isValid() ? 0 : 1), *level});
                headingBlocks.push_back(block);
            }
        });
    const int total = textLength(document);
    std::vector<Range> collapsible;
    std::vector<Range> collapsed;
    std::vector<Range> hidden;
    std::vector<int> foldedBlocks;
    for (int i = 0; i < int(list.size()); ++i) {
        const Heading& heading = list[std::size_t(i)];
        if (!hasAt(document, heading.position, NoteProperty::collapsible))
            continue;
        collapsible.push_back(heading.range());
        const QTextBlock& block = headingBlocks[std::size_t(i)];
        if (!hasFoldMark(block))
            continue;
        foldedBlocks.push_back(block.blockNumber());
        collapsed.push_back(heading.range());
        if (const Range b = body(list, i, total); b.length > 0)
            hidden.push_back(b);
    }
    // Marks left on paragraphs that are no collapsible heading any more (it lost its size or its text).
    for (const QTextBlock& block : marked) {
        if (std::find(foldedBlocks.begin(), foldedBlocks.end(), block.blockNumber()) == foldedBlocks.end())
            setFoldMark(block, false);
    }
    SectionRuns wanted{merged(collapsible), merged(collapsed), merged(hidden), {}};
    if (collapsibleNow != wanted.collapsible) {
        QTextCursor batch(&document);
        batch.beginEditBlock();
        remove(document, NoteProperty::collapsible);
        for (const Range& range : wanted.collapsible)
            add(document, range, NoteProperty::collapsible);
        batch.endEditBlock();
    }
    // Only our own properties changed: the headings read above still hold.
    wanted.headings = std::move(list);
    return wanted;
}

std::vector<Range> runs(const QTextDocument& document, int property)
{
    std::vector<Range> out;
    eachPiece(document, [&](const Piece& piece) {
        if (!piece.format.hasProperty(property))
            return;
        extendRuns(out, piece.range);
    });
    return out;
}

bool touchesSections(const QTextDocument& document, int from, int to)
{
    const auto marked = [](const QTextCharFormat& format) {
        return format.hasProperty(NoteProperty::collapsible);
    };
    for (QTextBlock block = document.findBlock(std::clamp(from, 0, textLength(document)));
         block.isValid() && block.position() <= to; block = block.next()) {
        const auto first = block.begin();
        if (hasFoldMark(block) || (!first.atEnd() && headingRank(block, first.fragment().charFormat())))
            return true;
        for (auto it = first; !it.atEnd(); ++it) {
            if (marked(it.fragment().charFormat()))
                return true;
        }
        if (block.next().isValid() && marked(block.next().charFormat()))
            return true;
    }
    return false;
}

std::vector<Range> hiddenRuns(const QTextDocument& document)
{
    const std::vector<Heading> list = headings(document);
    const int total = textLength(document);
    std::vector<Range> hidden;
    for (int i = 0; i < int(list.size()); ++i) {
        if (!isFolded(document, list[std::size_t(i)].position))
            continue;
        if (const Range b = body(list, i, total); b.length > 0)
            hidden.push_back(b);
    }
    return merged(hidden);
}

bool applyVisibility(QTextDocument& document)
{
    const std::vector<Range> hidden = hiddenRuns(document);
    std::size_t at = 0;
    int dirtyFrom = -1;
    int dirtyTo = -1;
    int position = 0; // counted, not asked for: see eachPiece
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const Range paragraph{position, block.length() - (block.next().isValid() ? 0 : 1)};
        position += block.length();
        while (at < hidden.size() && hidden[at].end() < paragraph.position)
            ++at;
        // An empty last paragraph sits at the very end of the text: it belongs to a run reaching there.
        const bool hide = at < hidden.size() && hidden[at].position <= paragraph.position &&
                          paragraph.end() <= hidden[at].end() &&
                          (paragraph.position < hidden[at].end() || !block.next().isValid());
        if (block.isVisible() == !hide)
            continue;
        block.setVisible(!hide);
        if (dirtyFrom < 0)
            dirtyFrom = paragraph.position;
        dirtyTo = paragraph.position + block.length();
    }
    if (dirtyFrom < 0)
        return false;
    document.markContentsDirty(dirtyFrom, dirtyTo - dirtyFrom);
    return true;
}

} // namespace vorn::notes::Sections
