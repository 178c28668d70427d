#include "notes/format/FormatPopover.h"

#include "notes/view/NoteTextView.h"
#include "pixel/Theme.h"

#include <QBoxLayout>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>

#include <algorithm>

namespace vorn::notes {

namespace {

QColor faint(const QPalette& palette)
{
    return Color::vornFaint().resolved(palette);
}

// A hairline between the groups, in the app's faint colour.
class Separator : public QWidget {
public:
    explicit Separator(int width)
    {
        setObjectName(QStringLiteral("separator"));
        setFixedSize(width, 1);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), faint(palette())); }
};

QBoxLayout* bareLayout(QBoxLayout::Direction direction, QWidget* owner, int spacing)
{
    auto* layout = new QBoxLayout(direction, owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace

FormatPopover::FormatPopover(NoteTextView& view, QWidget* parent) : QFrame(parent, Qt::Popup), m_view(&view)
{
    // Rounded corners need a see-through window; the surface is painted in paintEvent.
    setAttribute(Qt::WA_TranslucentBackground);
    // Composed text (dead keys, input methods) is passed on to the note like keys are.
    setAttribute(Qt::WA_InputMethodEnabled);
    for (const NoteCommandInfo& info : noteCommands()) {
        auto* control = new FormatControl(info.command, this);
        m_controls[std::size_t(info.command)] = control;
        connect(control, &QAbstractButton::clicked, this,
                [this, command = info.command] { perform(command); });
    }

    QBoxLayout* stack = bareLayout(QBoxLayout::TopToBottom, this, groupSpacing);
    stack->setContentsMargins(inset, inset, inset, inset);
    stack->setSizeConstraint(QLayout::SetFixedSize);
    const auto add = [stack](QWidget* widget) { stack->addWidget(widget, 0, Qt::AlignLeading); };

    auto* roles = new QWidget(this);
    QBoxLayout* roleStack = bareLayout(QBoxLayout::TopToBottom, roles, roleSpacing);
    for (NoteCommand command :
         {NoteCommand::title, NoteCommand::heading, NoteCommand::subheading, NoteCommand::body}) {
        control(command)->setFixedWidth(columnWidth);
        roleStack->addWidget(control(command));
    }
    add(roles);
    add(new Separator(columnWidth));
    add(row({NoteCommand::bold, NoteCommand::italic, NoteCommand::underline}));
    add(row({NoteCommand::bullets, NoteCommand::numbers, NoteCommand::checklist, NoteCommand::divider}));
    add(new Separator(columnWidth));
    control(NoteCommand::collapsible)->setFixedWidth(columnWidth);
    add(control(NoteCommand::collapsible));

    // Edits and caret moves in the note, whatever made them, show at once. A command from this popover
    // refreshes once it is done, animated, instead.
    const auto follow = [this] {
        if (!m_performing)
            refresh(false);
    };
    connect(&view, &QTextEdit::textChanged, this, follow);
    connect(&view, &QTextEdit::selectionChanged, this, follow);
    connect(&view, &QTextEdit::cursorPositionChanged, this, follow);
    refresh(false);
}

QWidget* FormatPopover::row(std::initializer_list<NoteCommand> commands)
{
    auto* group = new QWidget(this);
    QBoxLayout* layout = bareLayout(QBoxLayout::LeftToRight, group, rowSpacing);
    const int count = int(commands.size());
    const int gaps = rowSpacing * (count - 1);
    // Equal widths that fill the column exactly: the first ones take any remainder.
    int index = 0;
    for (NoteCommand command : commands) {
        const int width = (columnWidth - gaps) / count + (index++ < (columnWidth - gaps) % count ? 1 : 0);
        control(command)->setFixedWidth(width);
        layout->addWidget(control(command));
    }
    return group;
}

FormatControl* FormatPopover::control(NoteCommand command) const
{
    return m_controls[std::size_t(command)];
}

void FormatPopover::refresh(bool animated)
{
    if (!m_view)
        return;
    const NoteTextView::FormattingState state = m_view->formattingState();
    const auto set = [&](NoteCommand command, bool on) { control(command)->setOn(on, animated); };
    set(NoteCommand::title, state.role == TextRole::title);
    set(NoteCommand::heading, state.role == TextRole::heading);
    set(NoteCommand::subheading, state.role == TextRole::subheading);
    set(NoteCommand::body, state.role == TextRole::body);
    set(NoteCommand::bold, state.bold);
    set(NoteCommand::italic, state.italic);
    set(NoteCommand::underline, state.underline);
    set(NoteCommand::bullets, state.kind.is(ParagraphKind::Case::bullet));
    set(NoteCommand::numbers, state.kind.is(ParagraphKind::Case::number));
    set(NoteCommand::checklist, state.kind.is(ParagraphKind::Case::checkbox));
    // Inserting a divider is an act, not a state the caret can be in.
    set(NoteCommand::divider, false);
    set(NoteCommand::collapsible, state.collapsible);
}

void FormatPopover::perform(NoteCommand command)
{
    if (!m_view)
        return;
    {
        const QScopedValueRollback<bool> performing(m_performing, true);
        performNoteCommand(*m_view, command);
    }
    refresh(true);
}

void FormatPopover::popUp(QWidget* anchor)
{
    adjustSize();
    const QRect global(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    const QScreen* screen = anchor->screen();
    move(screen ? placement(global, size(), screen->availableGeometry()) : global.bottomLeft());
    show();
}

QPoint FormatPopover::placement(const QRect& anchor, const QSize& size, const QRect& available)
{
    int y = anchor.y() + anchor.height() + anchorGap;
    const int screenBottom = available.y() + available.height();
    if (y + size.height() > screenBottom && anchor.y() - anchorGap - size.height() >= available.y())
        y = anchor.y() - anchorGap - size.height();
    const int x = anchor.x() + (anchor.width() - size.width()) / 2;
    return {std::clamp(x, available.x(),
                       std::max(available.x(), available.x() + available.width() - size.width())),
            std::clamp(y, available.y(), std::max(available.y(), screenBottom - size.height()))};
}

void FormatPopover::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(faint(palette()), 1));
    p.setBrush(palette().color(QPalette::Window));
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

void FormatPopover::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    // The popup has the keyboard while it is open, but what is typed belongs to the note: a formatting
    // shortcut is performed here (its light follows), anything else goes on to the text view.
    if (!m_view) {
        QFrame::keyPressEvent(event);
        return;
    }
    const QKeySequence pressed(event->keyCombination());
    for (const NoteCommandInfo& info : noteCommands()) {
        if (!info.shortcut.isEmpty() && info.shortcut.matches(pressed) == QKeySequence::ExactMatch) {
            perform(info.command);
            return;
        }
    }
    QCoreApplication::sendEvent(m_view, event);
}

void FormatPopover::keyReleaseEvent(QKeyEvent* event)
{
    if (m_view)
        QCoreApplication::sendEvent(m_view, event);
    else
        QFrame::keyReleaseEvent(event);
}

void FormatPopover::inputMethodEvent(QInputMethodEvent* event)
{
    if (m_view)
        QCoreApplication::sendEvent(m_view, event);
}

QVariant FormatPopover::inputMethodQuery(Qt::InputMethodQuery query) const
{
    return m_view ? m_view->inputMethodQuery(query) : QFrame::inputMethodQuery(query);
}

} // namespace vorn::notes
