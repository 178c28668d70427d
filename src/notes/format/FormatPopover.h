#pragma once

#include "notes/format/FormatControl.h"
#include "notes/view/NoteCommand.h"

#include <QFrame>
#include <QPointer>

#include <array>

namespace vorn::notes {

class NoteTextView;

// The note's formatting commands in one small window under the toolbar button that opened it. It
// closes when the user clicks elsewhere or presses Escape; other keys reach the note while it is open. The
// editor makes one for each opening; the text view may be gone before it is, so it holds the view weakly.
class FormatPopover : public QFrame {
    Q_OBJECT

public:
    static constexpr int columnWidth = 224;
    static constexpr int inset = 12;
    static constexpr int groupSpacing = 8;
    static constexpr int roleSpacing = 2;
    static constexpr int rowSpacing = 4;
    static constexpr qreal cornerRadius = 10;
    static constexpr int anchorGap = 4;

    explicit FormatPopover(NoteTextView& view, QWidget* parent = nullptr);

    // Shows it below the anchor's bottom edge, centred on it, moved as far as needed to stay on the
    // anchor's screen (above the anchor when there is no room below).
    void popUp(QWidget* anchor);
    // Where a popover of `size` goes for an anchor at `anchor` (global) on a screen with `available`.
    static QPoint placement(const QRect& anchor, const QSize& size, const QRect& available);

    FormatControl* control(NoteCommand command) const;
    // Lights the controls whose formatting is in effect at the view's caret or selection.
    void refresh(bool animated);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

private:
    void perform(NoteCommand command);
    QWidget* row(std::initializer_list<NoteCommand> commands);

    QPointer<NoteTextView> m_view;
    std::array<FormatControl*, 12> m_controls{};
    bool m_performing = false;
};

} // namespace vorn::notes
