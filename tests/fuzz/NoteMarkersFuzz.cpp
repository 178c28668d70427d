// The parsers of a note's plain text: paragraph markers, writing direction and the document comment.
// Each is checked against what must hold for any input, not just for not crashing.
#include "notes/Bidi.h"
#include "notes/NoteComment.h"
#include "notes/ParagraphMarkers.h"

#include <QSet>
#include <QString>

#include <cstddef>
#include <cstdint>

using namespace vorn::notes;

namespace {

void check(bool holds)
{
    if (!holds)
        __builtin_trap();
}

void paragraphProperties(const QString& paragraph)
{
    const ParagraphInfo info = ParagraphMarkers::parse(paragraph);
    check(info.markerStart >= 0 && info.markerLength >= 0);
    check(info.contentStart() <= paragraph.size());
    check(info.kind.is(ParagraphKind::Case::plain) == (info.markerLength == 0));
    if (info.kind.isList()) {
        // Writing the marker of what was read, in front of the same text, reads back as the same kind.
        const QString rebuilt = paragraph.left(info.markerStart) + ParagraphMarkers::marker(info.kind) +
                                paragraph.mid(info.contentStart());
        check(ParagraphMarkers::parse(rebuilt).kind == info.kind);
    }
    (void)Bidi::direction(paragraph);
}

// What a comment means: which headings fold at all, which are folded.
std::pair<QSet<int>, QSet<int>> meaning(const NoteComment& c)
{
    QSet<int> collapsible(c.collapsible.begin(), c.collapsible.end());
    const QSet<int> collapsed(c.collapsed.begin(), c.collapsed.end());
    collapsible.unite(collapsed);
    return {collapsible, collapsed};
}

void commentProperties(const QString& comment)
{
    const NoteComment read = NoteComment::read(comment);
    const NoteComment again = NoteComment::read(read.write());
    check(meaning(again) == meaning(read));
    check(again.created == read.created);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input as UTF-16 units, so lone surrogates and every marker character are reachable.
    const QString text(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    for (const QString& paragraph : text.split(u'\n'))
        paragraphProperties(paragraph);
    commentProperties(text);
    return 0;
}
