#include "notes/editor/NoteEditor.h"

#include "notes/DocumentCopy.h"
#include "notes/NoteComment.h"
#include "notes/NoteFormats.h"
#include "notes/RichText.h"
#include "notes/Sections.h"
#include "notes/Typography.h"
#include "notes/format/FormatPopover.h"
#include "notes/view/NoteTextView.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <cmath>

namespace vorn::notes {

NoteEditor::NoteEditor(QWidget* parent) : QWidget(parent), m_view(new NoteTextView(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setFrameShape(QFrame::NoFrame);
    // The scroller lies over the text instead of taking width from it: a scroller that came and went
    // with the note's length would change the column's width and lay out the whole note again.
    m_view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroller = new QScrollBar(Qt::Vertical, this);
    m_scroller->setObjectName(QStringLiteral("noteScroller"));
    m_scroller->setFocusPolicy(Qt::NoFocus);
    QScrollBar* inner = m_view->verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, this, [this](int minimum, int maximum) {
        m_scroller->setRange(minimum, maximum);
        m_scroller->setPageStep(m_view->verticalScrollBar()->pageStep());
        m_scroller->setSingleStep(m_view->verticalScrollBar()->singleStep());
        m_scroller->setVisible(maximum > minimum);
    });
    connect(inner, &QScrollBar::valueChanged, m_scroller, &QScrollBar::setValue);
    connect(m_scroller, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
    m_scroller->hide();
    m_view->viewport()->installEventFilter(this);
    connect(m_view, &QTextEdit::textChanged, this, &NoteEditor::changed);
    connect(m_view, &NoteTextView::sectionsChanged, this, &NoteEditor::changed);
    bindShortcuts();
    setFocusProxy(m_view);
}

NoteEditor::~NoteEditor() = default;

void NoteEditor::bindShortcuts()
{
    // The shortcuts the popover's tooltips announce; the view's own bindings (undo, select all) stay.
    for (const NoteCommandInfo& info : noteCommands()) {
        if (info.shortcut.isEmpty())
            continue;
        auto* action = new QAction(m_view);
        action->setShortcut(info.shortcut);
        action->setShortcutContext(Qt::WidgetShortcut);
        const NoteCommand command = info.command;
        connect(action, &QAction::triggered, this, [this, command] { perform(command); });
        m_view->addAction(action);
    }
}

void NoteEditor::load(const std::optional<QByteArray>& rtf, const QString& plain)
{
    m_loading = true;
    std::unique_ptr<QTextDocument> text;
    NoteComment sections;
    if (rtf) {
        std::optional<RichText::Decoded> decoded = RichText::decode(*rtf);
        // A file cut short holds less than the plain copy saved with it.
        if (decoded && !decoded->complete && !plain.trimmed().isEmpty())
            decoded.reset();
        if (decoded) {
            text = std::move(decoded->text);
            sections = decoded->sections;
        }
    }
    // A missing, cut short or foreign file opens from the plain copy, without a word.
    if (!text)
        text = RichText::plain(plain);
    Sections::applyState(*text, sections);

    // The view deletes a document of its own making itself; one of ours goes here.
    QPointer<QTextDocument> old = m_view->document();
    text->setParent(m_view);
    m_view->setNoteDocument(text.release());
    if (old && old->parent() == m_view)
        old->deleteLater();

    QTextDocument& note = *m_view->document();
    note.clearUndoRedoStacks();
    m_copy = new DocumentCopy(note);
    connect(note.documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
            &NoteEditor::syncScrollRange);
    QTextCursor end(&note);
    end.movePosition(QTextCursor::End);
    m_view->setTextCursor(end);
    if (isEmpty())
        m_view->setCurrentCharFormat(Typography::bodyTypingFormat());
    applyColors();
    m_loading = false;
}

std::optional<QByteArray> NoteEditor::rtf() const
{
    const QTextDocument& note = *m_view->document();
    const NoteComment sections{Sections::collapsibleOrdinals(note), Sections::collapsedOrdinals(note),
                               std::nullopt};
    return RichText::encode(note, sections);
}

RichText::Snapshot NoteEditor::snapshot() const
{
    const QTextDocument& note = *m_view->document();
    // The copy follows the document it was made for; a document put in some other way is walked whole.
    const bool kept = m_copy && m_copy->parent() == &note;
    // The ordinals rtf() records, from one walk over the headings rather than one per list.
    NoteComment sections;
    const std::vector<Sections::Heading> headings = kept ? m_copy->headings() : Sections::headings(note);
    for (int i = 0; i < int(headings.size()); ++i) {
        const int position = headings[std::size_t(i)].position;
        if (Sections::hasAt(note, position, NoteProperty::collapsible))
            sections.collapsible << i;
        if (Sections::isFolded(note, position))
            sections.collapsed << i;
    }
    return {kept ? m_copy->snapshot() : RichTextRtf::snapshot(note), std::move(sections)};
}

QString NoteEditor::plainText() const
{
    QString raw = m_view->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    return raw;
}

bool NoteEditor::isEmpty() const
{
    return m_view->document()->toRawText().trimmed().isEmpty();
}

void NoteEditor::focusText()
{
    m_view->setFocus(Qt::OtherFocusReason);
}

void NoteEditor::showFormat(QWidget* anchor)
{
    if (!anchor)
        return;
    if (m_popover)
        m_popover->close();
    m_popover = new FormatPopover(*m_view, window());
    m_popover->setAttribute(Qt::WA_DeleteOnClose);
    m_popover->popUp(anchor);
}

void NoteEditor::perform(NoteCommand command)
{
    if (isEditing())
        performNoteCommand(*m_view, command);
}

bool NoteEditor::isEditing() const
{
    return QApplication::activeWindow() == window() && QApplication::focusWidget() == m_view;
}

void NoteEditor::changed()
{
    if (!m_loading)
        Q_EMIT edited();
}

void NoteEditor::setBackground(const QColor& color)
{
    m_background = color;
    applyColors();
}

void NoteEditor::setSelectionColor(const QColor& color)
{
    m_selection = color;
    applyColors();
}

void NoteEditor::applyColors()
{
    QPalette palette = m_view->palette();
    if (m_background) {
        palette.setColor(QPalette::Base, *m_background);
        palette.setColor(QPalette::Window, *m_background);
    }
    if (m_selection) {
        // Selected text keeps its own colour; only the background marks the selection.
        palette.setColor(QPalette::Highlight, *m_selection);
        palette.setColor(QPalette::HighlightedText, palette.color(QPalette::Text));
    }
    m_view->setPalette(palette);
}

void NoteEditor::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int width = m_scroller->sizeHint().width();
    m_scroller->setGeometry(this->width() - width, 0, width, height());
    m_scroller->raise();
}

bool NoteEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize) {
        updateReadingWidth();
        // Once the view has laid the note out at its new size.
        QMetaObject::invokeMethod(this, &NoteEditor::syncScrollRange, Qt::QueuedConnection);
    }
    return QWidget::eventFilter(watched, event);
}

// QTextEdit leaves a hidden scroll bar's range as it was when the view was still unsized (a sheet loads
// its note before it is shown), so the range follows the note's height here.
void NoteEditor::syncScrollRange()
{
    QScrollBar* inner = m_view->verticalScrollBar();
    const int page = m_view->viewport()->height();
    const int maximum = std::max(0, int(std::ceil(m_view->document()->size().height())) - page);
    if (inner->maximum() != maximum || inner->minimum() != 0)
        inner->setRange(0, maximum);
    inner->setPageStep(page);
}

int NoteEditor::horizontalInset() const
{
    return m_view->textInset();
}

void NoteEditor::updateReadingWidth()
{
    const int width = m_view->viewport()->width();
    const int inset = std::max((width - maxReadingWidth) / 2, int(minimumInset));
    // Within one inset the column keeps its width, so only a new inset lays the note out again.
    if (m_view->textInset() != inset)
        m_view->setTextInset(inset);
}

} // namespace vorn::notes
