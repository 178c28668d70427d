#include "notes/ParagraphStyler.h"

#include "notes/Bidi.h"
#include "notes/MarkerEdits.h"
#include "notes/NoteFormats.h"
#include "notes/ParagraphMarkers.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <utility>
#include <vector>

namespace vorn::notes::ParagraphStyler {

namespace {

// A rule typed or pasted in body text is drawn faint and thin at once, as loading would make it. Only
// runs that differ are rewritten; a section property they carry stays.
void giveDividerFormat(QTextDocument& document, const QTextBlock& block)
{
    const QTextCharFormat divider = Typography::dividerFormat();
    std::vector<std::pair<QTextCursor, QTextCharFormat>> changes;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        QTextCharFormat wanted = divider;
        if (fragment.charFormat().hasProperty(NoteProperty::collapsible))
            wanted.setProperty(NoteProperty::collapsible,
                               fragment.charFormat().property(NoteProperty::collapsible));
        if (fragment.charFormat() == wanted)
            continue;
        QTextCursor span(&document);
        span.setPosition(fragment.position());
        span.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
        changes.emplace_back(span, wanted);
    }
    // Collected first: rewriting a fragment may merge it with its neighbours.
    for (auto& [span, format] : changes)
        span.setCharFormat(format);
}

} // namespace

int apply(QTextDocument& document, int location, int length)
{
    const int textLength = document.characterCount() - 1;
    if (textLength <= 0)
        return 0;
    QTextBlock block = document.findBlock(std::clamp(location, 0, textLength - 1));
    const int editEnd = location + std::max(length, 0);
    const QTextBlock before = block.previous();
    TextDirection inherited = before.isValid() && before.blockFormat().layoutDirection() == Qt::RightToLeft
                                  ? TextDirection::rtl
                                  : TextDirection::ltr;
    int visited = 0;
    QString text = block.text();
    std::optional<TextDirection> own = Bidi::direction(text);
    while (block.isValid()) {
        ++visited;
        const ParagraphInfo info = ParagraphMarkers::parse(text);
        const TextDirection direction = own.value_or(inherited);
        const bool divider = info.kind.is(ParagraphKind::Case::divider);
        const QTextBlock next = block.next();
        if (!text.isEmpty() || next.isValid()) {
            const TextRole role =
                Typography::role(charFormatAt(document, block.position()).value_or(QTextCharFormat()));
            const QTextBlockFormat style =
                Typography::paragraphStyle(role, info.kind, divider ? TextDirection::ltr : direction);
            if (!Typography::sameParagraphStyle(block.blockFormat(), style))
                QTextCursor(block).setBlockFormat(style);
            if (divider)
                giveDividerFormat(document, block);
        }
        if (!next.isValid())
            break;
        if (!divider)
            inherited = direction;
        // Read once: it decides whether to go on, and is the next paragraph's own direction.
        text = next.text();
        own = Bidi::direction(text);
        // An edit that ends with a line break made the next paragraph (Return inside a list marker): it
        // is part of the edit even though it starts exactly where the edit ends.
        const int blockEnd = block.position() + block.length();
        if (blockEnd > editEnd && own.has_value())
            break;
        block = next;
    }
    return visited;
}

int applyAll(QTextDocument& document)
{
    return apply(document, 0, document.characterCount() - 1);
}

} // namespace vorn::notes::ParagraphStyler
