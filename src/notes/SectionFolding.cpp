#include "notes/SectionFolding.h"

#include "notes/MarkerEdits.h"
#include "notes/NoteEditing.h"
#include "notes/NoteFormats.h"
#include "notes/NoteFormatting.h"
#include "notes/NoteText.h"
#include "notes/ParagraphMarkers.h"
#include "notes/Typography.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace vorn::notes {

namespace {

std::optional<int> ordinalStartingAt(const std::vector<Sections::Heading>& list, int position)
{
    for (int i = 0; i < int(list.size()); ++i)
        if (list[std::size_t(i)].position == position)
            return i;
    return std::nullopt;
}

const Sections::Range* runAround(const std::vector<Sections::Range>& runs, int position)
{
    for (const Sections::Range& run : runs)
        if (run.position <= position && position < run.end())
            return &run;
    return nullptr;
}

// An edit block that follows the caller's choice of undo step and always closes.
class Batch {
public:
    enum Kind { ownStep, joinPrevious };
    Batch(QTextDocument& document, Kind kind) : m_cursor(&document)
    {
        if (kind == joinPrevious)
            m_cursor.joinPreviousEditBlock();
        else
            m_cursor.beginEditBlock();
    }
    ~Batch() { m_cursor.endEditBlock(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

private:
    QTextCursor m_cursor;
};

} // namespace

SectionFolding::SectionFolding(QTextDocument& document)
    : invalidateFolding([this] { Sections::applyVisibility(*m_document); }), m_document(&document)
{
}

void SectionFolding::installUnfold(NoteEditing& editing)
{
    editing.unfold = [this](int position, int length) { unfoldForEdit(position, length); };
}

void SectionFolding::load()
{
    m_pending.reset();
    resync();
}

void SectionFolding::resync()
{
    m_active = !Sections::collapsibleOrdinals(*m_document).isEmpty();
    m_lastHidden = Sections::hiddenRuns(*m_document);
    if (invalidateFolding)
        invalidateFolding();
}

void SectionFolding::sectionsDidChange(QTextCursor* cursor)
{
    resync();
    if (cursor && !cursor->hasSelection()) {
        if (const Sections::Range* run = runAround(m_lastHidden, cursor->position()))
            cursor->setPosition(std::max(0, run->position - 1));
    }
    if (onSectionsChanged)
        onSectionsChanged();
}

void SectionFolding::toggleCollapsibleSection(NoteEditing& editing, QTextCursor& cursor)
{
    if (!editing.isEditable())
        return;
    QTextDocument& document = *m_document;
    const QTextBlock paragraph = document.findBlock(std::min(cursor.position(), textLength(document)));
    if (!paragraph.isValid() ||
        ParagraphMarkers::parse(paragraph.text()).kind.is(ParagraphKind::Case::divider))
        return;
    const int start = paragraph.position();
    bool changed = false;
    {
        Batch step(document, Batch::ownStep);
        const QTextCharFormat first = paragraph.text().isEmpty()
                                          ? editing.typingFormat()
                                          : charFormatAt(document, start).value_or(QTextCharFormat());
        if (Typography::role(first) == TextRole::body) {
            QTextCursor caret(&document);
            caret.setPosition(cursor.position());
            NoteFormatting::applyRole(editing, caret, TextRole::heading);
        }
        if (const std::optional<int> ordinal = ordinalStartingAt(Sections::headings(document), start)) {
            const bool on = Sections::hasAt(document, start, NoteProperty::collapsible);
            Sections::setCollapsible(document, *ordinal, !on);
            changed = true;
        } else {
            m_pending = start;
        }
    }
    if (changed)
        sectionsDidChange(&cursor);
}

void SectionFolding::toggleFolded(int ordinal, QTextCursor& cursor)
{
    const std::vector<Sections::Heading> list = Sections::headings(*m_document);
    if (ordinal < 0 || ordinal >= int(list.size()))
        return;
    const int at = list[std::size_t(ordinal)].position;
    const bool folded = Sections::hasAt(*m_document, at, NoteProperty::collapsible) &&
                        Sections::hasAt(*m_document, at, NoteProperty::collapsed);
    {
        Batch step(*m_document, Batch::ownStep);
        Sections::setCollapsed(*m_document, ordinal, !folded);
    }
    sectionsDidChange(&cursor);
}

void SectionFolding::unfoldForEdit(int position, int length)
{
    if (!m_active || m_lastHidden.empty())
        return;
    const Sections::Range edit{position, std::max(0, length)};
    const auto touches = [&edit](const Sections::Range& r) {
        if (edit.length == 0)
            return r.position <= edit.position && edit.position < r.end();
        return edit.position < r.end() && r.position < edit.end();
    };
    if (std::none_of(m_lastHidden.begin(), m_lastHidden.end(), touches))
        return;
    const std::vector<Sections::Heading> list = Sections::headings(*m_document);
    const int total = textLength(*m_document);
    {
        Batch step(*m_document, Batch::ownStep);
        for (int i = 0; i < int(list.size()); ++i) {
            const int at = list[std::size_t(i)].position;
            if (!Sections::hasAt(*m_document, at, NoteProperty::collapsible) ||
                !Sections::hasAt(*m_document, at, NoteProperty::collapsed))
                continue;
            const Sections::Range body = Sections::body(list, i, total);
            const bool holdsLocation = body.position <= edit.position && edit.position < body.end();
            if (holdsLocation || (edit.position < body.end() && body.position < edit.end()))
                Sections::setCollapsed(*m_document, i, false);
        }
    }
    resync();
}

void SectionFolding::afterEdit(int caretPosition)
{
    completePending(caretPosition);
    refresh();
}

void SectionFolding::completePending(int caretPosition)
{
    if (!m_pending)
        return;
    const int start = *m_pending;
    if (start > textLength(*m_document)) {
        m_pending.reset();
        return;
    }
    const QTextBlock paragraph = m_document->findBlock(start);
    if (caretPosition < paragraph.position() ||
        caretPosition > paragraph.position() + paragraph.length() - 1) {
        m_pending.reset();
        return;
    }
    const std::optional<int> ordinal = ordinalStartingAt(Sections::headings(*m_document), start);
    if (!ordinal)
        return;
    m_pending.reset();
    {
        Batch step(*m_document, Batch::joinPrevious);
        Sections::setCollapsible(*m_document, *ordinal, true);
    }
    sectionsDidChange(nullptr);
}

void SectionFolding::refresh()
{
    if (!m_active)
        return;
    Sections::SectionRuns now;
    {
        Batch step(*m_document, Batch::joinPrevious);
        now = Sections::reapplyHidden(*m_document);
    }
    // What reapplyHidden leaves is what is there: no pass of our own on every keystroke.
    m_active = !now.collapsible.empty();
    std::vector<Sections::Range> hidden = std::move(now.hidden);
    if (hidden == m_lastHidden)
        return;
    m_lastHidden = std::move(hidden);
    if (invalidateFolding)
        invalidateFolding();
    if (onSectionsChanged)
        onSectionsChanged();
}

int SectionFolding::adjustedForHidden(int proposed, int old) const
{
    const int total = textLength(*m_document);
    if (!m_active || proposed < 0 || proposed >= total ||
        !Sections::hasAt(*m_document, proposed, NoteProperty::hidden))
        return proposed;
    const Sections::Range* run = runAround(m_lastHidden, proposed);
    std::vector<Sections::Range> current;
    if (!run) {
        current = Sections::hiddenRuns(*m_document);
        run = runAround(current, proposed);
    }
    if (!run)
        return proposed;
    if (old < run->position && run->end() < total)
        return run->end();
    return std::max(0, run->position - 1);
}

} // namespace vorn::notes
