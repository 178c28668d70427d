#pragma once

#include "notes/Sections.h"

#include <functional>
#include <optional>
#include <vector>

class QTextCursor;
class QTextDocument;

namespace vorn::notes {

class NoteEditing;

// The text view's side of folded sections, without any widget: which headings are collapsible, what is
// hidden, the caret rules around hidden text and the pending section of an empty line. The view owns one
// per note, calls load() after loading, afterEdit() from NoteEditing's didEdit hook, adjustedForHidden()
// on every caret change, and repaints from onSectionsChanged / invalidateFolding.
//
// Undo: folding is looking, not editing. Whether a section is folded is kept outside the text's formats
// (Sections), so a fold or unfold by chevron, or because an edit touches folded text, never becomes a
// step of the history: Ctrl+Z after a fold takes back the last edit and the section stays as it is.
// Collapsibility is a format and does take part in undo:
// - changes that follow an edit (completing a pending section, bringing sections back into form after
//   the edit) join that edit's step, so every step of the history holds sections in canonical form and
//   undo or redo never needs a correcting write (which would cut off the redo history). Qt joins only
//   onto an edit made inside an edit block (commands, replacing a selection, line breaks); after a lone
//   typed character they become the next step;
// - the toggle command is one step with the heading role it may apply.
// After an undo or redo the view calls load(), which re-reads the state from the text.
class SectionFolding {
public:
    explicit SectionFolding(QTextDocument& document);

    // Whether any heading is collapsible; while not, edits skip all section work.
    bool sectionsActive() const { return m_active; }
    // The hidden runs the view last laid out.
    const std::vector<Sections::Range>& lastHidden() const { return m_lastHidden; }
    // The headings as the last load or edit read them, read again when the text's length or paragraph
    // count has moved since (a change that did not come through the edit sequence): the view asks on
    // every paint, and reading them costs a walk over the whole text.
    const std::vector<Sections::Heading>& headings() const;
    // An empty line chosen as a collapsible section: it becomes one once it has text.
    std::optional<int> pendingSectionStart() const { return m_pending; }

    // Makes this the editing's unfold hook (the change check calls it before every change). The hook
    // refers to this object, which must outlive its use.
    void installUnfold(NoteEditing& editing);

    // After a note was loaded (its state applied with Sections::applyState) or an undo/redo.
    void load();

    // The "Collapsible Section" command on the paragraph of the caret: a body paragraph becomes a heading
    // first; a heading flips between collapsible and not (off also unfolds); an empty line is remembered
    // as pending. `cursor` is the view's, moved off text that became hidden.
    void toggleCollapsibleSection(NoteEditing& editing, QTextCursor& cursor);

    // The chevron of heading `ordinal`: folds an open section, opens a folded one.
    void toggleFolded(int ordinal, QTextCursor& cursor);

    // Opens every folded section an edit of [position, position + length) touches, so no edit changes
    // text the user cannot see.
    void unfoldForEdit(int position, int length);

    // The end of the after-edit sequence: completes the pending section, then brings sections into form.
    void afterEdit(int caretPosition);

    // Where a caret proposed at `proposed` (coming from `old`) goes: off hidden text, past a folded body
    // when moving forward into it, else onto its heading line. For carets only; the view leaves
    // selections alone.
    int adjustedForHidden(int proposed, int old) const;

    // The state changed in a way that is saved like an edit (fold, unfold, collapsibility, hidden runs).
    // Single hooks rather than signals: the folding is no QObject, and its one owner, the view, outlives
    // it and turns them into its own signal.
    std::function<void()> onSectionsChanged;
    // The hidden runs changed: relayout. By default block visibility follows them.
    std::function<void()> invalidateFolding;

private:
    void resync();
    void sectionsDidChange(QTextCursor* cursor);
    void completePending(int caretPosition);
    void refresh();
    bool followedEdit(Sections::Range edit, int delta);

    struct Shape {
        int characters = -1;
        int paragraphs = -1;
        bool operator==(const Shape&) const = default;
    };
    Shape shape() const;
    void remember(std::vector<Sections::Heading> headings);

    QTextDocument* m_document;
    bool m_active = false;
    std::vector<Sections::Range> m_lastHidden;
    // The text's length when m_lastHidden was taken: runs after an edit move by the difference.
    int m_lastLength = 0;
    mutable std::vector<Sections::Heading> m_headings;
    mutable Shape m_headingsShape;
    // The changes the change check announced since the state was last read (positions before the
    // change), and whether nothing else changed it since: one such change away from sections, and the
    // state only moves.
    std::vector<Sections::Range> m_edits;
    bool m_editsAlone = false;
    std::optional<int> m_pending;
};

} // namespace vorn::notes
