// The note's text view and folded sections: the folding's hooks into the edit pipeline, the caret rule
// around folded text, and the chevrons in the margin.
#include "notes/view/NoteTextView.h"

#include "notes/NoteFormats.h"
#include "notes/NoteText.h"
#include "notes/Sections.h"
#include "notes/Typography.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextFrame>
#include <QTextLayout>

namespace vorn::notes {

namespace {

constexpr qreal kChevronSize = 14;
constexpr qreal kChevronGap = 8;
constexpr qreal kChevronSlack = 5;
constexpr qreal kChevronStroke = 1.7;

} // namespace

void NoteTextView::attachFolding()
{
    m_folding = std::make_unique<SectionFolding>(*document());
    m_folding->invalidateFolding = [this] {
        Sections::applyVisibility(*document());
        viewport()->update();
    };
    m_folding->onSectionsChanged = [this] {
        viewport()->update();
        Q_EMIT sectionsChanged();
    };
    m_folding->load();
    m_lastCaret = textCursor().position();
}

void NoteTextView::unfoldBeforeEdit(int position, int length)
{
    m_folding->unfoldForEdit(position, length);
}

void NoteTextView::sectionsAfterEdit()
{
    m_folding->afterEdit(textCursor().position());
}

void NoteTextView::adjustCaret()
{
    QTextCursor cursor = textCursor();
    if (m_folding && m_folding->sectionsActive() && !cursor.hasSelection()) {
        const int adjusted = m_folding->adjustedForHidden(cursor.position(), m_lastCaret);
        if (adjusted != cursor.position()) {
            cursor.setPosition(adjusted);
            m_lastCaret = adjusted;
            setTextCursor(cursor); // comes back here once, already in place
            return;
        }
    }
    m_lastCaret = cursor.position();
}

void NoteTextView::caretAfterUp(int before)
{
    QTextCursor cursor = textCursor();
    if (!sectionsActive() || cursor.hasSelection())
        return;
    const QTextDocument& note = *document();
    const QTextBlock landed = cursor.block();
    const std::vector<Sections::Heading>& headings = m_folding->headings();
    const int total = textLength(note);
    for (std::size_t i = 0; i < headings.size(); ++i) {
        if (headings[i].position != landed.position())
            continue;
        // Qt steps over the invisible body to the heading at the same x; the caret goes to the end of
        // the line whose section it came up past.
        const Sections::Range body = Sections::body(headings, int(i), total);
        if (body.length == 0 || before < body.end() || !Sections::isFolded(note, landed.position()))
            return;
        cursor.setPosition(landed.position() + landed.length() - 1);
        setTextCursor(cursor);
        return;
    }
}

bool NoteTextView::sectionsActive() const
{
    return m_folding && m_folding->sectionsActive();
}

void NoteTextView::toggleCollapsibleSection()
{
    if (!editable())
        return;
    QTextCursor cursor = textCursor();
    {
        // Opened at the caret, where undoing the step puts it back.
        QTextCursor step = cursor;
        step.beginEditBlock();
        m_folding->toggleCollapsibleSection(*m_editing, cursor);
        step.endEditBlock();
    }
    setTextCursor(cursor);
}

void NoteTextView::undoEdit()
{
    undo();
    sectionsAfterHistory();
}

void NoteTextView::redoEdit()
{
    redo();
    sectionsAfterHistory();
}

void NoteTextView::sectionsAfterHistory()
{
    m_folding->load();
    // A redo that folds again leaves the caret where it was, now perhaps inside the folded text.
    adjustCaret();
}

std::vector<NoteTextView::Chevron> NoteTextView::chevrons() const
{
    std::vector<Chevron> out;
    if (!sectionsActive())
        return out;
    const QTextDocument& note = *document();
    const QAbstractTextDocumentLayout* layout = note.documentLayout();
    const QTextFrameFormat frame = note.rootFrame()->frameFormat();
    const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const qreal textLeft = frame.leftMargin() + frame.padding() + frame.border();
    const qreal textRight = note.textWidth() - frame.rightMargin() - frame.padding() - frame.border();
    const std::vector<Sections::Heading>& headings = m_folding->headings();
    for (std::size_t i = 0; i < headings.size(); ++i) {
        const int at = headings[i].position;
        if (!Sections::hasAt(note, at, NoteProperty::collapsible))
            continue;
        const QTextBlock block = note.findBlock(at);
        const QTextLayout* lines = block.layout();
        // A heading inside a folded section has no line on screen, and so no chevron.
        if (!block.isVisible() || !lines || lines->lineCount() == 0)
            continue;
        const QTextLine line = lines->lineForTextPosition(0);
        if (!line.isValid() || line.height() <= 0)
            continue;
        const QRectF box = layout->blockBoundingRect(block);
        const qreal middle = box.top() + line.y() + line.height() / 2 - scroll.y();
        Chevron chevron;
        chevron.ordinal = int(i);
        chevron.collapsed = Sections::isFolded(note, at);
        chevron.rightToLeft = block.blockFormat().layoutDirection() == Qt::RightToLeft;
        const qreal x = chevron.rightToLeft ? textRight + kChevronGap : textLeft - kChevronGap - kChevronSize;
        chevron.rect = QRectF(x - scroll.x(), middle - kChevronSize / 2, kChevronSize, kChevronSize);
        out.push_back(chevron);
    }
    return out;
}

void NoteTextView::paintChevrons(QPainter& painter, const QRect& area)
{
    QPen pen(Typography::tertiaryColor(), kChevronStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    for (const Chevron& chevron : chevrons()) {
        if (!chevron.rect.intersects(area))
            continue;
        const QPointF c = chevron.rect.center();
        QPainterPath arrow;
        if (chevron.collapsed) {
            // Folded: pointing into the reading direction.
            const qreal d = chevron.rightToLeft ? -2 : 2;
            arrow.moveTo(c + QPointF(-d, -4));
            arrow.lineTo(c + QPointF(d, 0));
            arrow.lineTo(c + QPointF(-d, 4));
        } else {
            arrow.moveTo(c + QPointF(-4, -2));
            arrow.lineTo(c + QPointF(0, 2));
            arrow.lineTo(c + QPointF(4, -2));
        }
        painter.drawPath(arrow);
    }
}

bool NoteTextView::chevronClicked(QPointF point)
{
    for (const Chevron& chevron : chevrons()) {
        if (!chevron.rect.adjusted(-kChevronSlack, -kChevronSlack, kChevronSlack, kChevronSlack)
                 .contains(point))
            continue;
        QTextCursor cursor = textCursor();
        m_folding->toggleFolded(chevron.ordinal, cursor);
        setTextCursor(cursor);
        return true;
    }
    return false;
}

} // namespace vorn::notes
