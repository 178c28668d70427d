#pragma once

#include "notes/RichText.h"
#include "notes/format/FormatPopover.h"
#include "notes/view/NoteCommand.h"

#include <QByteArray>
#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

class QScrollBar;

#include <optional>

namespace vorn::notes {

class DocumentCopy;
class FormatPopover;
class NoteTextView;

// One open note: its text view at a comfortable reading width, its own undo history (the document's,
// emptied by every load and separate from the app's), and the note's stored forms in and out. Every
// change the user can see is reported through `edited`; loading reports none.
class NoteEditor : public QWidget {
    Q_OBJECT

public:
    static constexpr int maxReadingWidth = 640;
    static constexpr int minimumInset = 44;

    explicit NoteEditor(QWidget* parent = nullptr);
    ~NoteEditor() override;

    NoteTextView& textView() const { return *m_view; }

    // The rich document when it reads, else the plain copy; the caret goes to the end (to the heading line
    // when the end is folded away).
    void load(const std::optional<QByteArray>& rtf, const QString& plain);
    bool isLoading() const { return m_loading; }
    // The note as RTF, with its folded sections in the document comment.
    std::optional<QByteArray> rtf() const;
    // What rtf() encodes, taken without encoding it: RichText::encode makes the same RTF of it on any
    // thread, and plainText(snapshot) is plainText() as it was then.
    RichText::Snapshot snapshot() const;
    // Every character of the text, paragraphs ending in LF, untrimmed.
    QString plainText() const;
    // Nothing but whitespace and line breaks.
    bool isEmpty() const;

    void focusText();
    // The format popover below `anchor`; it closes when the user clicks elsewhere.
    void showFormat(QWidget* anchor);
    FormatPopover* formatPopover() const { return m_popover; }
    // Sends the command to the text view when it is the focused widget of the active window.
    void perform(NoteCommand command);
    bool isEditing() const;

    void setBackground(const QColor& color);
    void setSelectionColor(const QColor& color);
    // The space on each side of the text column: wide windows centre a column of maxReadingWidth.
    int horizontalInset() const;

Q_SIGNALS:
    // The user changed the note (not a load).
    void edited();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void changed();
    void applyColors();
    void updateReadingWidth();
    void syncScrollRange();
    void bindShortcuts();

    NoteTextView* m_view;
    QPointer<DocumentCopy> m_copy; // of the document load() put in, for snapshot()
    QScrollBar* m_scroller;
    bool m_loading = false;
    std::optional<QColor> m_background;
    std::optional<QColor> m_selection;
    QPointer<FormatPopover> m_popover;
};

} // namespace vorn::notes
