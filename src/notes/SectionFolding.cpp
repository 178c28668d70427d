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
#include <utility>

namespace vorn::notes {

namespace {

std::optional<int> ordinalStartingAt(const std::vector<Sections::Heading>& list, int position)
{
    for (int i = 0; i < int(list.size()); ++i)
        if (list[std::size_t(i)].position == position)
            return i;
    return std::nullopt;
}

// The hidden run holding a position; the very end of the text belongs to a run that reaches it, since
// the last paragraph has no separator of its own to carry the property.
const Sections::Range* runAround(const std::vector<Sections::Range>& runs, int position, int total)
{
    for (const Sections::Range& run : runs)
        if (run.position <= position && (position < run.end() || (position == total && run.end() == total)))
            return &run;
    return nullptr;
}

// Whether `now` is `before` with the runs from some point on moved by `delta`: the edit was outside the
// folded text and merely moved what follows it, so the same paragraphs stay hidden.
bool onlyMoved(const std::vector<Sections::Range>& before, const std::vector<Sections::Range>& now, int delta)
{
    if (before.size() != now.size())
        return false;
    bool moving = false;
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (before[i].length != now[i].length)
            return false;
        if (!moving && before[i].position == now[i].position)
            continue;
        moving = true;
        if (now[i].position != before[i].position + delta)
            return false;
    }
    return true;
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
    m_editsAlone = true;
}

SectionFolding::Shape SectionFolding::shape() const
{
    return {m_document->characterCount(), m_document->blockCount()};
}

void SectionFolding::remember(std::vector<Sections::Heading> headings)
{
    m_headings = std::move(headings);
    m_headingsShape = shape();
}

const std::vector<Sections::Heading>& SectionFolding::headings() const
{
    if (m_headingsShape != shape()) {
        m_headings = Sections::headings(*m_document);
        m_headingsShape = shape();
    }
    return m_headings;
}

void SectionFolding::resync()
{
    m_active = !Sections::collapsibleOrdinals(*m_document).isEmpty();
    m_lastHidden = Sections::hiddenRuns(*m_document);
    m_lastLength = textLength(*m_document);
    remember(Sections::headings(*m_document));
    m_edits.clear();
    m_editsAlone = false;
    if (invalidateFolding)
        invalidateFolding();
}

void SectionFolding::sectionsDidChange(QTextCursor* cursor)
{
    resync();
    if (cursor && !cursor->hasSelection()) {
        if (const Sections::Range* run = runAround(m_lastHidden, cursor->position(), textLength(*m_document)))
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
    const bool folded = Sections::isFolded(*m_document, list[std::size_t(ordinal)].position);
    // No undo step: the chevron only shows on a collapsible heading, so nothing but the fold changes.
    Sections::setCollapsed(*m_document, ordinal, !folded);
    sectionsDidChange(&cursor);
}

void SectionFolding::unfoldForEdit(int position, int length)
{
    // A change that bypassed the change check (Qt's own removal when text is dragged) shows in the length.
    if (m_edits.empty() && textLength(*m_document) != m_lastLength)
        m_editsAlone = false;
    m_edits.push_back({position, std::max(0, length)});
    if (!m_active || m_lastHidden.empty())
        return;
    const Sections::Range edit{position, std::max(0, length)};
    const int total = textLength(*m_document);
    // An insertion at the very end of the text lands in the last paragraph, hidden when its run reaches it.
    const auto holds = [&edit, total](const Sections::Range& r) {
        return r.position <= edit.position &&
               (edit.position < r.end() || (edit.position == total && r.end() == total));
    };
    const auto touches = [&edit, &holds](const Sections::Range& r) {
        if (edit.length == 0)
            return holds(r);
        return edit.position < r.end() && r.position < edit.end();
    };
    if (std::none_of(m_lastHidden.begin(), m_lastHidden.end(), touches))
        return;
    const std::vector<Sections::Heading> list = Sections::headings(*m_document);
    for (int i = 0; i < int(list.size()); ++i) {
        if (!Sections::isFolded(*m_document, list[std::size_t(i)].position))
            continue;
        const Sections::Range body = Sections::body(list, i, total);
        if (holds(body) || (edit.position < body.end() && body.position < edit.end()))
            Sections::setCollapsed(*m_document, i, false);
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
    std::vector<Sections::Range> edits;
    edits.swap(m_edits);
    const bool alone = std::exchange(m_editsAlone, true);
    if (!m_active)
        return;
    const int length = textLength(*m_document);
    // A keystroke away from every heading and folded body needs no walk over the whole text.
    if (alone && edits.size() == 1 && followedEdit(edits.front(), length - m_lastLength))
        return;
    Sections::SectionRuns now;
    {
        Batch step(*m_document, Batch::joinPrevious);
        now = Sections::reapplyHidden(*m_document);
    }
    // What reapplyHidden leaves is what is there: no pass of our own on every keystroke.
    m_active = !now.collapsible.empty();
    remember(std::move(now.headings));
    const bool moved = onlyMoved(m_lastHidden, now.hidden, length - m_lastLength);
    m_lastHidden = std::move(now.hidden);
    m_lastLength = length;
    // Typing before a folded section moves its hidden run without changing what is hidden: no relayout
    // of the whole note and nothing to save beyond the edit itself.
    if (moved)
        return;
    if (invalidateFolding)
        invalidateFolding();
    if (onSectionsChanged)
        onSectionsChanged();
}

// `edit` in positions before it, `delta` what it added to the text. Moves the headings and hidden runs
// after it, when neither they nor the edited paragraphs (before or after the edit) had any part in it.
bool SectionFolding::followedEdit(Sections::Range edit, int delta)
{
    const int changedLength = edit.length + delta;
    if (changedLength < 0 || m_headingsShape.characters - 1 != m_lastLength)
        return false;
    // Closed ranges: an edit right at a heading's or a run's end or start counts as touching it.
    const auto near = [&edit](const Sections::Range& r) {
        return r.position <= edit.end() && edit.position <= r.end();
    };
    if (std::any_of(m_headings.begin(), m_headings.end(), [&](const auto& h) { return near(h.range()); }) ||
        std::any_of(m_lastHidden.begin(), m_lastHidden.end(), near) ||
        Sections::touchesSections(*m_document, edit.position, edit.position + changedLength))
        return false;
    for (Sections::Heading& heading : m_headings)
        if (heading.position >= edit.end())
            heading.position += delta;
    for (Sections::Range& run : m_lastHidden)
        if (run.position >= edit.end())
            run.position += delta;
    m_headingsShape = shape();
    m_lastLength += delta;
    return true;
}

int SectionFolding::adjustedForHidden(int proposed, int old) const
{
    const int total = textLength(*m_document);
    if (!m_active || proposed < 0 || proposed > total)
        return proposed;
    // Hidden text is whole paragraphs, and theirs are the only invisible blocks: most carets need no
    // more than this.
    if (m_document->findBlock(proposed).isVisible())
        return proposed;
    // The runs as last laid out; read again when the text changed since without the edit sequence.
    std::vector<Sections::Range> current;
    const std::vector<Sections::Range>* runs = &m_lastHidden;
    if (textLength(*m_document) != m_lastLength) {
        current = Sections::hiddenRuns(*m_document);
        runs = &current;
    }
    // The end of the text belongs to a run that reaches it.
    const Sections::Range* run = runAround(*runs, proposed, total);
    if (!run)
        return proposed;
    if (old < run->position && run->end() < total)
        return run->end();
    return std::max(0, run->position - 1);
}

} // namespace vorn::notes
