#include "notes/view/NoteCommand.h"

#include "notes/view/NoteTextView.h"

#include <QMetaObject>

namespace vorn::notes {

const std::array<NoteCommandInfo, 12>& noteCommands()
{
    static const std::array<NoteCommandInfo, 12> commands{{
        {NoteCommand::title, "formatTitle", "Title", {}, nullptr},
        {NoteCommand::heading, "formatHeading", "Heading", {}, nullptr},
        {NoteCommand::subheading, "formatSubheading", "Subheading", {}, nullptr},
        {NoteCommand::body, "formatBody", "Body", {}, nullptr},
        {NoteCommand::bold, "toggleBold", "Bold", QKeySequence(Qt::CTRL | Qt::Key_B), nullptr},
        {NoteCommand::italic, "toggleItalic", "Italic", QKeySequence(Qt::CTRL | Qt::Key_I), nullptr},
        {NoteCommand::underline, "toggleUnderline", "Underline", QKeySequence(Qt::CTRL | Qt::Key_U), nullptr},
        {NoteCommand::bullets, "toggleBullets", "Bulleted List",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_8), nullptr},
        {NoteCommand::numbers, "toggleNumbers", "Numbered List",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_9), nullptr},
        {NoteCommand::checklist, "toggleChecklist", "Checklist",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), nullptr},
        {NoteCommand::divider, "insertDivider", "Divider", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
         nullptr},
        {NoteCommand::collapsible, "toggleCollapsibleSection", "Collapsible Section",
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), "a heading you can fold"},
    }};
    return commands;
}

const NoteCommandInfo& noteCommandInfo(NoteCommand command)
{
    return noteCommands()[std::size_t(command)];
}

std::optional<NoteCommand> noteCommandForAction(QStringView action)
{
    for (const NoteCommandInfo& info : noteCommands()) {
        if (action == QLatin1StringView(info.action))
            return info.command;
    }
    return std::nullopt;
}

QString noteCommandTooltip(NoteCommand command)
{
    const NoteCommandInfo& info = noteCommandInfo(command);
    QString text = QString::fromLatin1(info.label);
    if (!info.shortcut.isEmpty())
        text += QStringLiteral(" (%1)").arg(info.shortcut.toString(QKeySequence::NativeText));
    if (info.hint)
        text += QStringLiteral(": ") + QString::fromLatin1(info.hint);
    return text;
}

void performNoteCommand(NoteTextView& view, NoteCommand command)
{
    QMetaObject::invokeMethod(&view, noteCommandInfo(command).action, Qt::DirectConnection);
}

} // namespace vorn::notes
