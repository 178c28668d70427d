#include "notes/NoteEditing.h"

#include "notes/MarkerEdits.h"
#include "notes/NoteText.h"
#include "notes/ParagraphMarkers.h"
#include "notes/ParagraphStyler.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace vorn::notes {

namespace {

bool hasLineBreak(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        return c == u'\n' || c == u'\r' || c == QChar::ParagraphSeparator || c == QChar::LineSeparator;
    });
}

} // namespace

NoteEditing::NoteEditing(QTextDocument& document)
    : m_document(&document), m_typing(Typography::bodyTypingFormat())
{
}

bool NoteEditing::shouldChange(int position, int length, const std::optional<QString>& replacement)
{
    if (unfold)
        unfold(position, length);
    if (!m_linesChanged) {
        const int total = textLength(*m_document);
        const int from = std::clamp(position, 0, total);
        const int to = std::clamp(position + length, from, total);
        QTextCursor span(m_document);
        span.setPosition(from);
        span.setPosition(to, QTextCursor::KeepAnchor);
        m_linesChanged = hasLineBreak(span.selectedText()) || (replacement && hasLineBreak(*replacement));
    }
    m_pending.push_back({position, replacement ? int(replacement->size()) : length});
    return true;
}

bool NoteEditing::replace(int position, int length, const QString& text, std::optional<int> attributesFrom)
{
    if (!shouldChange(position, length, text))
        return false;
    replaceMarker(*m_document, position, length, text, attributesFrom, m_typing);
    return true;
}

void NoteEditing::renumber(std::optional<int> editedAt)
{
    const std::vector<MarkerReplacement> replacements =
        editedAt ? renumberingFrom(*m_document, *editedAt) : renumbering(*m_document);
    for (auto it = replacements.rbegin(); it != replacements.rend(); ++it)
        replace(it->position, it->length, it->text, it->position);
}

void NoteEditing::afterEdit()
{
    std::vector<Range> pending;
    pending.swap(m_pending);
    const int total = textLength(*m_document);
    if (total > 0) {
        QTextCursor batch(m_document);
        batch.joinPreviousEditBlock();
        if (pending.size() == 1) {
            Range r = pending.front();
            r.position = std::clamp(r.position, 0, total);
            r.length = std::clamp(r.length, 0, total - r.position);
            if (r.length == 0 && r.position == total)
                r.position = total - 1;
            ParagraphStyler::apply(*m_document, r.position, r.length);
        } else {
            ParagraphStyler::applyAll(*m_document);
        }
        batch.endEditBlock();
    }
    if (didEdit)
        didEdit();
}

} // namespace vorn::notes
