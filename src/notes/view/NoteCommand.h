#pragma once

#include <QKeySequence>
#include <QString>

#include <array>
#include <optional>

namespace vorn::notes {

class NoteTextView;

// The formatting vocabulary of a note, in the order the format popover lists it.
enum class NoteCommand {
    title,
    heading,
    subheading,
    body,
    bold,
    italic,
    underline,
    bullets,
    numbers,
    checklist,
    divider,
    collapsible
};

struct NoteCommandInfo {
    NoteCommand command;
    const char* action;    // the text view's slot that performs it
    const char* label;     // what the control says it does
    QKeySequence shortcut; // empty for the text roles
    const char* hint;      // said after the shortcut, or nothing
};

const std::array<NoteCommandInfo, 12>& noteCommands();
const NoteCommandInfo& noteCommandInfo(NoteCommand command);
// An action that names no command gives none.
std::optional<NoteCommand> noteCommandForAction(QStringView action);
// "Bold (Ctrl+B)": the shortcut as the desktop names it.
QString noteCommandTooltip(NoteCommand command);
// Sends the command's action to the view.
void performNoteCommand(NoteTextView& view, NoteCommand command);

} // namespace vorn::notes
