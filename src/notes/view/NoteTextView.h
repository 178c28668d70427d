#pragma once

#include "notes/NoteEditing.h"
#include "notes/ParagraphKind.h"
#include "notes/SectionFolding.h"
#include "notes/Typography.h"

#include <QTextEdit>

#include <memory>
#include <optional>
#include <vector>

class QPainter;
class QTextBlock;

namespace vorn::notes {

// The note's text view. Every change the user makes goes through NoteEditing's change check first and
// ends with its after-edit sequence, so lists, dividers and paragraph styles follow the text as it is
// typed. Return, Backspace, paste and a click on a checkbox carry the note's own rules; everything else
// is QTextEdit's.
//
// Sections (folding, chevrons) live elsewhere and plug in through the virtual functions under
// "Sections", which do nothing here.
class NoteTextView : public QTextEdit {
    Q_OBJECT

public:
    struct FormattingState {
        TextRole role = TextRole::body;
        bool bold = false;
        bool italic = false;
        bool underline = false;
        ParagraphKind kind;
        bool collapsible = false;
    };

    explicit NoteTextView(QWidget* parent = nullptr);
    ~NoteTextView() override;

    // Shows another note. The view does not own it unless it is the document's parent.
    void setNoteDocument(QTextDocument* note);

    NoteEditing& editing() { return *m_editing; }
    const NoteEditing& editing() const { return *m_editing; }

    FormattingState formattingState() const;

    // The space on each side of the text (at least the chevrons' room). More than that keeps the text
    // column narrower than the view and centres it, without touching the document (whose history
    // would record it).
    void setTextInset(int inset);
    int textInset() const { return kTextInset + m_extraInset; }
    static constexpr int kTextInset = 44;

    SectionFolding& folding() { return *m_folding; }

    // The fold control of one collapsible heading, in view coordinates.
    struct Chevron {
        QRectF rect;
        int ordinal = 0;
        bool collapsed = false;
        bool rightToLeft = false;
    };
    // One per collapsible heading that is on screen (a heading inside a folded section has none).
    std::vector<Chevron> chevrons() const;

    // What tools that rewrite prose must leave alone: whole dividers and list markers.
    std::vector<NoteEditing::Range> writingToolsIgnoredRanges(int position, int length) const;

public Q_SLOTS:
    void formatTitle();
    void formatHeading();
    void formatSubheading();
    void formatBody();
    void toggleBold();
    void toggleItalic();
    void toggleUnderline();
    void toggleBullets();
    void toggleNumbers();
    void toggleChecklist();
    void insertDivider();
    void directionLTR();
    void directionRTL();
    void directionAuto();
    void toggleCollapsibleSection();
    // After Ctrl+Z / Ctrl+Shift+Z: sections are read again from the text.
    void undoEdit();
    void redoEdit();

Q_SIGNALS:
    // A fold, an unfold or a change of collapsibility: saved like an edit.
    void sectionsChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

    // Marks the whole viewport for repainting: lines below an edit that adds or removes line breaks move.
    virtual void repaintVisibleArea();

private:
    // Sections (NoteTextViewSections.cpp). unfoldBeforeEdit runs inside the change check, before a
    // change to that range; sectionsAfterEdit completes a pending section and refreshes sections at the
    // end of every edit; adjustCaret keeps a moving caret out of folded text; paintChevrons draws in the
    // margin once the text is drawn; chevronClicked takes a click (view coordinates) on a chevron.
    void attachFolding();
    void unfoldBeforeEdit(int position, int length);
    void sectionsAfterEdit();
    void adjustCaret();
    // After Up from `before`: off a folded body onto the end of its heading line.
    void caretAfterUp(int before);
    // After an undo or redo: sections read again from the text, the caret kept out of folded text.
    void sectionsAfterHistory();
    bool sectionsActive() const;
    void paintChevrons(QPainter& painter, const QRect& area);
    void clipDividers(QPainter& painter, const QRect& area);
    bool chevronClicked(QPointF point);

    void attach();
    bool editable();
    bool handleReturn();
    bool handleBackspace();
    bool toggleCheckboxAt(QPointF viewPoint);
    void insertNewline(std::optional<QTextCharFormat> format);
    void didEdit();
    void styleEmptyLastParagraph();
    template <class Command> void runCommand(Command command);
    enum class EditKind { typing, deleting, other };
    template <class Edit>
    void platformEdit(int position, int length, const QString& text, EditKind kind, Edit edit);

    // Where the last typed or deleted run ended, so the next keystroke there joins its undo step.
    struct TypingRun {
        int end = -1;
        int undoSteps = -1;
        EditKind kind = EditKind::other;
    };

    std::unique_ptr<NoteEditing> m_editing;
    std::unique_ptr<SectionFolding> m_folding;
    void keepColumnCentred();

    int m_lastCaret = 0;
    int m_extraInset = 0;
    bool m_inCommand = false;
    TypingRun m_run;
};

} // namespace vorn::notes
