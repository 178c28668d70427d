#include "notes/view/NoteTextView.h"

#include "notes/MarkerEdits.h"
#include "notes/NoteFormats.h"
#include "notes/NoteFormatting.h"
#include "notes/NoteText.h"
#include "notes/ParagraphMarkers.h"
#include "notes/RichText.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>

namespace vorn::notes {

namespace {

// List markers end in a TAB; with stops every 24 points it lands where the list indent is.
constexpr qreal kTabStop = 24;
constexpr qreal kTextInsetY = 20;
// How far beside and above/below a checkbox glyph a click still ticks it.
constexpr qreal kCheckboxSlackX = 5;
constexpr qreal kCheckboxSlackY = 4;

bool isUnderlined(const QTextCharFormat& format)
{
    if (format.hasProperty(QTextFormat::TextUnderlineStyle))
        return format.underlineStyle() != QTextCharFormat::NoUnderline;
    return format.boolProperty(QTextFormat::FontUnderline);
}

QString trimmedOfSpacesAndTabs(QStringView text)
{
    auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && blank(text[from]))
        ++from;
    while (to > from && blank(text[to - 1]))
        --to;
    return text.mid(from, to - from).toString();
}

// One undo step around several edits made through different cursors. It is opened by a copy of the
// view's caret: Qt puts the caret back where the cursor that opened the step stood when the step is
// undone (a cursor made on the document stands at its start, which sent the view to the top).
class UndoGroup {
public:
    explicit UndoGroup(const QTextCursor& caret) : m_cursor(caret) { m_cursor.beginEditBlock(); }
    ~UndoGroup() { m_cursor.endEditBlock(); }
    UndoGroup(const UndoGroup&) = delete;
    UndoGroup& operator=(const UndoGroup&) = delete;

private:
    QTextCursor m_cursor;
};

struct Change {
    int position;
    int length;
    QString text;
};

// What a key QTextEdit is about to handle will change, so the change check can see it first. Keys that
// change nothing (moves, shortcuts) give nothing; paste reaches insertFromMimeData and undo restores what
// was already checked.
std::optional<Change> keyChange(const QTextCursor& cursor, QKeyEvent* event)
{
    const int start = cursor.selectionStart();
    const int selected = cursor.selectionEnd() - start;
    auto deleting = [&](QTextCursor::MoveOperation move) -> std::optional<Change> {
        if (cursor.hasSelection())
            return Change{start, selected, {}};
        QTextCursor span = cursor;
        span.movePosition(move, QTextCursor::KeepAnchor);
        if (!span.hasSelection())
            return std::nullopt;
        return Change{span.selectionStart(), span.selectionEnd() - span.selectionStart(), {}};
    };
    if (event == QKeySequence::Cut)
        return cursor.hasSelection() ? std::optional<Change>(Change{start, selected, {}}) : std::nullopt;
    if (event == QKeySequence::DeleteStartOfWord)
        return deleting(QTextCursor::PreviousWord);
    if (event == QKeySequence::DeleteEndOfWord)
        return deleting(QTextCursor::NextWord);
    if (event == QKeySequence::DeleteEndOfLine)
        return deleting(QTextCursor::EndOfBlock);
    if (event->key() == Qt::Key_Backspace && !(event->modifiers() & ~Qt::ShiftModifier))
        return deleting(QTextCursor::PreviousCharacter);
    if (event == QKeySequence::Delete)
        return deleting(QTextCursor::NextCharacter);
    if (event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return std::nullopt;
    const QString text = event->text();
    if (text.isEmpty() || !(text.front().isPrint() || text.front() == u'\t'))
        return std::nullopt;
    return Change{start, selected, text};
}

// The clipboard's RTF, under either of the names programs give it.
QByteArray rtfOf(const QMimeData& source)
{
    for (const QString& type : {QStringLiteral("text/rtf"), QStringLiteral("application/rtf")}) {
        if (source.hasFormat(type))
            return source.data(type);
    }
    return {};
}

} // namespace

NoteTextView::NoteTextView(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(true);
    setTabChangesFocus(false);
    // Dividers are longer than any line and never wrap: the view clips them instead of scrolling sideways.
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(horizontalScrollBar(), &QScrollBar::rangeChanged, this, [this] { keepColumnCentred(); });
    connect(this, &QTextEdit::currentCharFormatChanged, this, [this](const QTextCharFormat& format) {
        // A command's own edits move QTextEdit's cursor over text of other formats (a divider's
        // line break): the typing format the command chose is the one that counts.
        if (!m_inCommand)
            m_editing->setTypingFormat(format);
    });
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] { adjustCaret(); });
    attach();
}

NoteTextView::~NoteTextView() = default;

void NoteTextView::setNoteDocument(QTextDocument* note)
{
    setDocument(note);
    attach();
}

void NoteTextView::attach()
{
    QTextDocument& note = *document();
    m_editing = std::make_unique<NoteEditing>(note);
    m_editing->setEditable(!isReadOnly());
    m_editing->unfold = [this](int position, int length) { unfoldBeforeEdit(position, length); };
    m_editing->didEdit = [this] { didEdit(); };
    attachFolding();

    // Room beside the text for the section chevrons (the editor widens it to keep a reading width).
    QTextFrameFormat frame = note.rootFrame()->frameFormat();
    if (frame.leftMargin() < kTextInset || frame.rightMargin() < kTextInset) {
        // A fresh note gets no undo step for it; Qt records even a frame's margins.
        const bool fresh = !note.isUndoAvailable() && !note.isRedoAvailable();
        frame.setLeftMargin(kTextInset);
        frame.setRightMargin(kTextInset);
        frame.setTopMargin(kTextInsetY);
        frame.setBottomMargin(kTextInsetY);
        note.rootFrame()->setFrameFormat(frame);
        if (fresh)
            note.clearUndoRedoStacks();
    }

    QTextOption option = note.defaultTextOption();
    option.setTabStopDistance(kTabStop);
    note.setDefaultTextOption(option);

    // An empty note starts in body text; a loaded one types like the text at the caret.
    const bool typesNoteText = !note.isEmpty() && Typography::hasSize(currentCharFormat());
    if (!typesNoteText)
        setCurrentCharFormat(Typography::bodyTypingFormat());
    m_editing->setTypingFormat(typesNoteText ? currentCharFormat() : Typography::bodyTypingFormat());
}

void NoteTextView::setTextInset(int inset)
{
    m_extraInset = std::max(0, inset - kTextInset);
    if (m_extraInset > 0) {
        setLineWrapMode(QTextEdit::FixedPixelWidth);
        setLineWrapColumnOrWidth(std::max(1, viewport()->width() - 2 * m_extraInset));
    } else {
        setLineWrapMode(QTextEdit::WidgetWidth);
    }
    keepColumnCentred();
    viewport()->update();
}

// The text never scrolls sideways: the horizontal offset is pinned, at minus the extra inset, so the
// column is drawn and hit-tested that far in from the left.
void NoteTextView::keepColumnCentred()
{
    QScrollBar* bar = horizontalScrollBar();
    const int offset = -m_extraInset;
    if (bar->minimum() != offset || bar->maximum() != offset)
        bar->setRange(offset, offset);
    bar->setValue(offset);
}

bool NoteTextView::editable()
{
    m_editing->setEditable(!isReadOnly());
    return m_editing->isEditable();
}

NoteTextView::FormattingState NoteTextView::formattingState() const
{
    const QTextDocument& note = *document();
    const QTextCharFormat& typing = m_editing->typingFormat();
    const int total = textLength(note);
    const QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    const QTextBlock paragraph = note.findBlock(std::min(start, total));
    const QString text = paragraph.text();
    const bool startsInText = !text.isEmpty() && paragraph.position() < total;
    const std::optional<QTextCharFormat> first =
        startsInText ? charFormatAt(note, paragraph.position()) : std::nullopt;

    FormattingState state;
    state.role = Typography::role(first.value_or(typing));
    state.kind = ParagraphMarkers::parse(text).kind;
    state.collapsible = sectionsActive() && first && state.role != TextRole::body &&
                        first->boolProperty(NoteProperty::collapsible);
    const QTextCharFormat traits =
        cursor.hasSelection() && start < total ? charFormatAt(note, start).value_or(typing) : typing;
    state.bold = Typography::isBold(traits);
    state.italic = Typography::isItalic(traits);
    state.underline = isUnderlined(traits);
    return state;
}

std::vector<NoteEditing::Range> NoteTextView::writingToolsIgnoredRanges(int position, int length) const
{
    std::vector<NoteEditing::Range> out;
    const QTextDocument& note = *document();
    const int total = textLength(note);
    const int end = std::min(total, position + length);
    for (QTextBlock block = note.findBlock(std::clamp(position, 0, total));
         block.isValid() && block.position() < end; block = block.next()) {
        const ParagraphInfo info = ParagraphMarkers::parse(block.text());
        if (info.kind.is(ParagraphKind::Case::divider))
            out.push_back({block.position(), paragraphEnd(block) - block.position()});
        else if (info.kind.isList())
            out.push_back({block.position() + info.markerStart, info.markerLength});
    }
    return out;
}

template <class Command> void NoteTextView::runCommand(Command command)
{
    if (!editable())
        return;
    QTextCursor cursor = textCursor();
    m_inCommand = true;
    {
        UndoGroup step(cursor);
        command(*m_editing, cursor);
    }
    m_inCommand = false;
    // Moving the cursor reads QTextEdit's format back from the text; the command's typing format wins.
    const QTextCharFormat typing = m_editing->typingFormat();
    setTextCursor(cursor);
    if (!cursor.hasSelection())
        setCurrentCharFormat(typing); // with a selection this would format the selection
    m_editing->setTypingFormat(typing);
}

void NoteTextView::formatTitle()
{
    runCommand([](NoteEditing& e, QTextCursor& c) { NoteFormatting::applyRole(e, c, TextRole::title); });
}

void NoteTextView::formatHeading()
{
    runCommand([](NoteEditing& e, QTextCursor& c) { NoteFormatting::applyRole(e, c, TextRole::heading); });
}

void NoteTextView::formatSubheading()
{
    runCommand([](NoteEditing& e, QTextCursor& c) { NoteFormatting::applyRole(e, c, TextRole::subheading); });
}

void NoteTextView::formatBody()
{
    runCommand([](NoteEditing& e, QTextCursor& c) { NoteFormatting::applyRole(e, c, TextRole::body); });
}

void NoteTextView::toggleBold()
{
    runCommand(NoteFormatting::toggleBold);
}

void NoteTextView::toggleItalic()
{
    runCommand(NoteFormatting::toggleItalic);
}

void NoteTextView::toggleUnderline()
{
    runCommand(NoteFormatting::toggleUnderline);
}

void NoteTextView::toggleBullets()
{
    runCommand([](NoteEditing& e, QTextCursor& c) {
        NoteFormatting::toggleList(e, c, ParagraphKind::Case::bullet);
    });
}

void NoteTextView::toggleNumbers()
{
    runCommand([](NoteEditing& e, QTextCursor& c) {
        NoteFormatting::toggleList(e, c, ParagraphKind::Case::number);
    });
}

void NoteTextView::toggleChecklist()
{
    runCommand([](NoteEditing& e, QTextCursor& c) {
        NoteFormatting::toggleList(e, c, ParagraphKind::Case::checkbox);
    });
}

void NoteTextView::insertDivider()
{
    runCommand(NoteFormatting::insertDivider);
}

void NoteTextView::directionLTR()
{
    runCommand([](NoteEditing& e, QTextCursor& c) {
        NoteFormatting::setDirection(e, c, NoteFormatting::Direction::leftToRight);
    });
}

void NoteTextView::directionRTL()
{
    runCommand([](NoteEditing& e, QTextCursor& c) {
        NoteFormatting::setDirection(e, c, NoteFormatting::Direction::rightToLeft);
    });
}

void NoteTextView::directionAuto()
{
    runCommand([](NoteEditing& e, QTextCursor& c) {
        NoteFormatting::setDirection(e, c, NoteFormatting::Direction::automatic);
    });
}

void NoteTextView::keyPressEvent(QKeyEvent* event)
{
    if (!editable()) {
        QTextEdit::keyPressEvent(event);
        return;
    }
    const bool plainKey = !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    // Shift+Return too: a note's lines are paragraphs, never QTextEdit's line separators.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plainKey) {
        handleReturn();
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Backspace && plainKey && handleBackspace()) {
        event->accept();
        return;
    }
    if (event == QKeySequence::Undo || event == QKeySequence::Redo) {
        // Undo restores text and styles alike: nothing to restyle, but sections are read again.
        QTextEdit::keyPressEvent(event);
        sectionsAfterHistory();
        return;
    }
    const std::optional<Change> change = keyChange(textCursor(), event);
    if (!change) {
        const int before = textCursor().position();
        QTextEdit::keyPressEvent(event);
        if (event == QKeySequence::MoveToPreviousLine)
            caretAfterUp(before);
        return;
    }
    const EditKind kind =
        change->text.isEmpty()
            ? (event->key() == Qt::Key_Backspace || event == QKeySequence::Delete ? EditKind::deleting
                                                                                  : EditKind::other)
            : EditKind::typing;
    const bool oneCharacter = kind == EditKind::deleting && !textCursor().hasSelection();
    platformEdit(change->position, change->length, change->text, kind, [this, event, oneCharacter, &change] {
        if (oneCharacter) {
            // Qt's Backspace takes a single code point, which leaves half an emoji (a lone regional
            // indicator, a skin tone without its hand); the character the caret steps over goes whole.
            QTextCursor span = textCursor();
            span.setPosition(change->position);
            span.setPosition(change->position + change->length, QTextCursor::KeepAnchor);
            span.removeSelectedText();
            setTextCursor(span);
            return;
        }
        if (!textCursor().hasSelection() && currentCharFormat() != m_editing->typingFormat())
            setCurrentCharFormat(m_editing->typingFormat());
        QTextEdit::keyPressEvent(event);
    });
    event->accept();
}

// QTextEdit's own edit and the restyle after it are one undo step: the restyle cannot join a lone typing
// command afterwards (Qt would undo the restyle alone), so both go into one block from the start. Keys
// typed or deleted one after another at the same place join that block, as QTextEdit merges typing.
template <class Edit>
void NoteTextView::platformEdit(int position, int length, const QString& text, EditKind kind, Edit edit)
{
    QTextDocument& note = *document();
    const QTextCursor cursor = textCursor();
    const bool continues = kind != EditKind::other && kind == m_run.kind && !cursor.hasSelection() &&
                           cursor.position() == m_run.end && note.availableUndoSteps() == m_run.undoSteps;
    // Opened at the caret, where undoing the step puts it back.
    QTextCursor group = cursor;
    if (continues)
        group.joinPreviousEditBlock();
    else
        group.beginEditBlock();
    if (m_editing->shouldChange(position, length, text)) {
        edit();
        m_editing->afterEdit();
    }
    group.endEditBlock();
    m_run = {textCursor().position(), note.availableUndoSteps(), kind};
}

void NoteTextView::inputMethodEvent(QInputMethodEvent* event)
{
    if (!editable() || (event->commitString().isEmpty() && event->replacementLength() == 0)) {
        QTextEdit::inputMethodEvent(event);
        return;
    }
    const QTextCursor cursor = textCursor();
    int start = cursor.selectionStart();
    int length = cursor.selectionEnd() - start;
    if (!cursor.hasSelection() && event->replacementLength() > 0) {
        start = cursor.position() + event->replacementStart();
        length = event->replacementLength();
    }
    platformEdit(start, length, event->commitString(), EditKind::typing,
                 [this, event] { QTextEdit::inputMethodEvent(event); });
}

void NoteTextView::insertNewline(std::optional<QTextCharFormat> format)
{
    QTextCursor cursor = textCursor();
    const int start = cursor.selectionStart();
    if (!m_editing->shouldChange(start, cursor.selectionEnd() - start, QStringLiteral("\n")))
        return;
    cursor.removeSelectedText();
    cursor.insertBlock(cursor.blockFormat(), format.value_or(m_editing->typingFormat()));
    setTextCursor(cursor);
}

bool NoteTextView::handleReturn()
{
    QTextDocument& note = *document();
    if (textCursor().hasSelection()) {
        UndoGroup step(textCursor());
        insertNewline(std::nullopt);
        m_editing->afterEdit();
        return true;
    }
    const int caret = std::min(textCursor().position(), textLength(note));
    const QTextBlock paragraph = note.findBlock(caret);
    const int at = paragraph.position();
    const QString text = paragraph.text();
    const ParagraphInfo info = ParagraphMarkers::parse(text);

    if (info.kind.isList() && caret >= at + info.contentStart()) {
        const QString item = trimmedOfSpacesAndTabs(QStringView(text).mid(info.contentStart()));
        UndoGroup step(textCursor());
        if (!item.isEmpty()) {
            insertNewline(std::nullopt);
            const int newCaret = textCursor().position();
            // The view's cursor sits where the marker goes in, so it ends up after it. The marker, and
            // so what is typed after it, looks like the character before the new line break (a list in
            // a heading size goes on in that size); the break itself carries the paragraph's own
            // format, not its text's.
            m_editing->replace(newCaret, 0, ParagraphMarkers::marker(ParagraphMarkers::nextItem(info.kind)),
                               newCaret - 2);
        } else {
            // Return on an empty item ends the list: the marker goes, no line is added.
            m_editing->replace(at + info.markerStart, info.markerLength, QString(), at);
        }
        m_editing->renumber(textCursor().position());
        m_editing->afterEdit();
        return true;
    }

    const bool divider = info.kind.is(ParagraphKind::Case::divider);
    const bool heading =
        !text.isEmpty() &&
        Typography::role(charFormatAt(note, at).value_or(QTextCharFormat())) != TextRole::body;
    UndoGroup step(textCursor());
    if (heading || divider) {
        // A heading or a divider is followed by body text; a right-to-left heading's stays right-to-left.
        const bool rtl = heading && paragraph.blockFormat().layoutDirection() == Qt::RightToLeft;
        const QTextCharFormat body = Typography::bodyTypingFormat();
        insertNewline(body);
        QTextCursor(textCursor().block())
            .setBlockFormat(Typography::paragraphStyle(TextRole::body, ParagraphKind::plain(),
                                                       rtl ? TextDirection::rtl : TextDirection::ltr));
        m_editing->afterEdit();
        if (!textCursor().hasSelection())
            setCurrentCharFormat(body);
        m_editing->setTypingFormat(body);
        return true;
    }
    insertNewline(std::nullopt);
    m_editing->afterEdit();
    return true;
}

bool NoteTextView::handleBackspace()
{
    QTextDocument& note = *document();
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection())
        return false;
    const int caret = std::min(cursor.position(), textLength(note));
    const QTextBlock paragraph = note.findBlock(caret);
    const int at = paragraph.position();
    const ParagraphInfo info = ParagraphMarkers::parse(paragraph.text());

    auto removeParagraph = [&](const QTextBlock& block) {
        UndoGroup step(textCursor());
        const int from = block.position();
        const int to = paragraphEnd(block);
        if (!m_editing->shouldChange(from, to - from, QString()))
            return;
        QTextCursor span(&note);
        span.setPosition(from);
        span.setPosition(to, QTextCursor::KeepAnchor);
        span.removeSelectedText();
        m_editing->afterEdit();
    };

    if (info.kind.is(ParagraphKind::Case::divider)) {
        removeParagraph(paragraph);
        return true;
    }
    if (info.kind.isList() && caret == at + info.contentStart()) {
        // The item becomes a plain paragraph keeping its text.
        UndoGroup step(textCursor());
        m_editing->replace(at + info.markerStart, info.markerLength, QString(), at);
        m_editing->renumber(at);
        m_editing->afterEdit();
        return true;
    }
    const QTextBlock before = paragraph.previous();
    if (caret == at && before.isValid() && isDivider(before)) {
        removeParagraph(before);
        return true;
    }
    return false;
}

void NoteTextView::didEdit()
{
    styleEmptyLastParagraph();
    sectionsAfterEdit();
    if (m_editing->linesChanged()) {
        m_editing->clearLinesChanged();
        repaintVisibleArea();
    }
}

// The styler leaves an empty last paragraph alone: it has no characters, and what is typed there takes
// the typing format. In QTextDocument its block format is what that text will show, so it becomes a plain
// paragraph of its own role, in the direction of the text above (left-to-right below a divider).
void NoteTextView::styleEmptyLastParagraph()
{
    QTextDocument& note = *document();
    const QTextBlock last = note.lastBlock();
    if (last.length() > 1)
        return;
    const QTextBlock before = last.previous();
    const bool rtl =
        before.isValid() && !isDivider(before) && before.blockFormat().layoutDirection() == Qt::RightToLeft;
    const QTextBlockFormat style =
        Typography::paragraphStyle(Typography::role(last.charFormat()), ParagraphKind::plain(),
                                   rtl ? TextDirection::rtl : TextDirection::ltr);
    if (Typography::sameParagraphStyle(last.blockFormat(), style))
        return;
    QTextCursor edit(last);
    edit.joinPreviousEditBlock();
    edit.setBlockFormat(style);
    edit.endEditBlock();
}

void NoteTextView::repaintVisibleArea()
{
    viewport()->update();
}

void NoteTextView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPointF point = event->position();
        if ((editable() && toggleCheckboxAt(point)) || chevronClicked(point)) {
            event->accept();
            return;
        }
    }
    QTextEdit::mousePressEvent(event);
}

bool NoteTextView::toggleCheckboxAt(QPointF viewPoint)
{
    QTextDocument& note = *document();
    QAbstractTextDocumentLayout* layout = note.documentLayout();
    const QPointF point = viewPoint + QPointF(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int hit = layout->hitTest(point, Qt::FuzzyHit);
    if (hit < 0 || hit >= textLength(note))
        return false;
    const QTextBlock paragraph = note.findBlock(hit);
    const ParagraphInfo info = ParagraphMarkers::parse(paragraph.text());
    if (!info.kind.is(ParagraphKind::Case::checkbox))
        return false;
    const QTextLayout* lines = paragraph.layout();
    if (!lines || lines->lineCount() == 0)
        return false;
    const QTextLine line = lines->lineForTextPosition(info.markerStart);
    if (!line.isValid())
        return false;
    // The glyph's own box, not the item's text: only the box ticks.
    const qreal a = line.cursorToX(info.markerStart);
    const qreal b = line.cursorToX(info.markerStart + 1);
    const QPointF origin = layout->blockBoundingRect(paragraph).topLeft();
    const QRectF glyph(origin.x() + std::min(a, b), origin.y() + line.y(), std::abs(b - a), line.height());
    if (!glyph.adjusted(-kCheckboxSlackX, -kCheckboxSlackY, kCheckboxSlackX, kCheckboxSlackY).contains(point))
        return false;

    const int at = paragraph.position() + info.markerStart;
    const QChar other(info.kind.checked ? ParagraphMarkers::unchecked : ParagraphMarkers::checked);
    UndoGroup step(textCursor());
    if (m_editing->shouldChange(at, 1, QString(other))) {
        toggleCheckbox(note, paragraph);
        m_editing->afterEdit();
    }
    return true;
}

void NoteTextView::paintEvent(QPaintEvent* event)
{
    QTextEdit::paintEvent(event);
    if (document()->isEmpty())
        return;
    QPainter painter(viewport());
    clipDividers(painter, event->rect());
    if (sectionsActive())
        paintChevrons(painter, event->rect());
}

// A divider is one line longer than any column, which QTextEdit draws on to the view's edge; past the
// text column it is painted over with the background, so the rule ends where the text does.
void NoteTextView::clipDividers(QPainter& painter, const QRect& area)
{
    const QTextDocument& note = *document();
    const QAbstractTextDocumentLayout* layout = note.documentLayout();
    const QTextFrameFormat frame = note.rootFrame()->frameFormat();
    const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const qreal right =
        note.textWidth() - frame.rightMargin() - frame.padding() - frame.border() - scroll.x();
    if (right >= area.right() + 1)
        return;
    const QBrush background = viewport()->palette().brush(viewport()->backgroundRole());
    QTextBlock first = cursorForPosition(QPoint(0, area.top())).block();
    if (first.previous().isValid())
        first = first.previous(); // the area may start inside the line above the one hit
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block).translated(-scroll);
        if (box.top() > area.bottom())
            break;
        if (block.isVisible() && box.height() > 0 && isDivider(block))
            painter.fillRect(QRectF(right, box.top(), viewport()->width() - right, box.height()), background);
    }
}

bool NoteTextView::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText() || !rtfOf(*source).isEmpty();
}

void NoteTextView::insertFromMimeData(const QMimeData* source)
{
    if (!editable())
        return;
    QTextCursor cursor = textCursor();
    if (source->hasText()) {
        // A note takes pasted text as plain text in the typing format; its markers become lists on
        // restyle.
        UndoGroup step(cursor);
        NoteFormatting::pastePlain(*m_editing, cursor, source->text());
    } else {
        // Some programs offer a copy only as RTF: it is read as a note of its own, formats and all.
        const std::optional<RichText::Decoded> decoded = RichText::decode(rtfOf(*source));
        if (!decoded) {
            QApplication::beep();
            return;
        }
        UndoGroup step(cursor);
        NoteFormatting::pasteNote(*m_editing, cursor, *decoded->text);
    }
    setTextCursor(cursor);
    ensureCursorVisible();
}

} // namespace vorn::notes
