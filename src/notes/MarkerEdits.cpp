#include "notes/MarkerEdits.h"

#include "notes/ParagraphMarkers.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace vorn::notes {

std::optional<QTextCharFormat> charFormatAt(const QTextDocument& document, int position)
{
    if (position < 0 || position >= document.characterCount() - 1)
        return std::nullopt;
    const QTextBlock block = document.findBlock(position);
    if (!block.isValid())
        return std::nullopt;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (position >= fragment.position() && position < fragment.position() + fragment.length())
            return fragment.charFormat();
    }
    // The paragraph separator: the block's own format is what an empty paragraph types with.
    return block.charFormat();
}

void replaceMarker(QTextDocument& document, int position, int length, const QString& text,
                   std::optional<int> attributesFrom, const QTextCharFormat& typing)
{
    std::optional<QTextCharFormat> format;
    if (attributesFrom)
        format = charFormatAt(document, *attributesFrom);
    QTextCharFormat chosen = format.value_or(typing);
    chosen.clearProperty(QTextFormat::TextUnderlineStyle);
    chosen.clearProperty(QTextFormat::FontUnderline);

    QTextCursor cursor(&document);
    cursor.setPosition(position);
    cursor.setPosition(position + length, QTextCursor::KeepAnchor);
    cursor.insertText(text, chosen);
}

namespace {

// The numbers to rewrite in the runs from `block` on, each counted from 1; the walk ends at the first
// paragraph that is no numbered item past paragraph number `last`.
std::vector<MarkerReplacement> renumberRuns(QTextBlock block, int last)
{
    std::vector<MarkerReplacement> replacements;
    int counter = 1;
    for (; block.isValid(); block = block.next()) {
        const ParagraphInfo info = ParagraphMarkers::parse(block.text());
        if (!info.kind.is(ParagraphKind::Case::number)) {
            if (block.blockNumber() > last)
                break;
            counter = 1;
            continue;
        }
        if (info.kind.number != counter)
            replacements.push_back(
                {block.position() + info.markerStart, info.markerLength - 2, QString::number(counter)});
        ++counter;
    }
    return replacements;
}

} // namespace

std::vector<MarkerReplacement> renumbering(const QTextDocument& document)
{
    return renumberRuns(document.begin(), std::numeric_limits<int>::max());
}

std::vector<MarkerReplacement> renumberingFrom(const QTextDocument& document, int position)
{
    // An edit in one paragraph can put out of step only the run it is in, or, when it is no item (any
    // more), the runs just before and after it: those are renumbered whole, nothing else is read,
    // however long the note.
    const QTextBlock edited =
        document.findBlock(std::clamp(position, 0, std::max(0, document.characterCount() - 1)));
    if (!edited.isValid())
        return {};
    const auto isNumber = [](const QTextBlock& b) {
        return ParagraphMarkers::parse(b.text()).kind.is(ParagraphKind::Case::number);
    };
    QTextBlock block = edited;
    if (!isNumber(block) && block.previous().isValid() && isNumber(block.previous()))
        block = block.previous();
    while (isNumber(block) && block.previous().isValid() && isNumber(block.previous()))
        block = block.previous();
    return renumberRuns(block, edited.blockNumber());
}

bool toggleCheckbox(QTextDocument& document, const QTextBlock& paragraph)
{
    const ParagraphInfo info = ParagraphMarkers::parse(paragraph.text());
    if (!info.kind.is(ParagraphKind::Case::checkbox))
        return false;
    const int at = paragraph.position() + info.markerStart;
    const QChar glyph(info.kind.checked ? ParagraphMarkers::unchecked : ParagraphMarkers::checked);
    QTextCursor cursor(&document);
    cursor.setPosition(at);
    cursor.setPosition(at + 1, QTextCursor::KeepAnchor);
    // Keep everything the glyph had.
    const std::optional<QTextCharFormat> format = charFormatAt(document, at);
    cursor.insertText(QString(glyph), format.value_or(QTextCharFormat()));
    return true;
}

} // namespace vorn::notes
