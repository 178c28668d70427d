#pragma once

#include <QString>
#include <QTextCharFormat>

#include <functional>
#include <optional>
#include <vector>

class QTextDocument;

namespace vorn::notes {

// The text engine's side of editing a note, without any widget: every change asks first (the change
// check, which also unfolds folded text being edited) and every edit ends with the after-edit sequence
// (restyle what changed, then let the view refresh sections and repaint). The note's text view wraps one
// of these; headless code and tests use it as it is.
class NoteEditing {
public:
    struct Range {
        int position = 0;
        int length = 0;
    };

    explicit NoteEditing(QTextDocument& document);

    QTextDocument& document() const { return *m_document; }

    bool isEditable() const { return m_editable; }
    void setEditable(bool editable) { m_editable = editable; }

    // What the user types next; QTextEdit's current char format in the view.
    const QTextCharFormat& typingFormat() const { return m_typing; }
    void setTypingFormat(const QTextCharFormat& format) { m_typing = format; }

    // Asks whether [position, position + length) may be replaced by `replacement` (no replacement: only
    // formats change). Unfolds folded text there first; remembers the range for the next restyle.
    bool shouldChange(int position, int length, const std::optional<QString>& replacement = std::nullopt);

    // Replaces a range by marker characters through the change check. The new characters take the format
    // at `attributesFrom` (the typing format when absent or outside the text), without underline and
    // never hidden. Does not run the after-edit sequence. False when the change was refused.
    bool replace(int position, int length, const QString& text, std::optional<int> attributesFrom);

    // Renumbers the numbered lists through replace(): every one, or after an edit in the paragraph at
    // `editedAt` only what that edit can have put out of step.
    void renumber(std::optional<int> editedAt = std::nullopt);

    // Restyles what the pending edits touched (all of the text when there were none or several), then
    // runs the view's follow-up (sections, repaint).
    void afterEdit();

    bool linesChanged() const { return m_linesChanged; }
    void clearLinesChanged() { m_linesChanged = false; }

    // The view's parts of the sequence: unfolding before a change, refreshing after one.
    std::function<void(int position, int length)> unfold;
    std::function<void()> didEdit;

private:
    QTextDocument* m_document;
    QTextCharFormat m_typing;
    std::vector<Range> m_pending;
    bool m_linesChanged = false;
    bool m_editable = true;
};

} // namespace vorn::notes
