#pragma once

#include "model/Entities.h"

#include <QKeySequence>
#include <QList>
#include <QSet>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace vorn {

class AppModel;

// Every command of the app, once: the menus, the focus panel, the tray popup and the tooltips that name
// keys are all built from the table below, so no window lacks a command another has.
enum class CommandId {
    // File
    newThing,
    newList,
    importLists,
    exportLists,
    syncAccount,
    preferences,
    quit,
    // Edit
    undo,
    redo,
    cut,
    copy,
    paste,
    selectAll,
    sendToPlanner,
    // View
    focusMode,
    tabToday,
    tabLater,
    tabDoneIsh,
    tabRandom,
    tabPile1,
    tabPile2,
    tabPile3,
    tabPile4,
    floatOnTop,
    // The focus panel and the tray popup
    hidePanel,
    openWindow,
    // A list's rows: its keys and its context menu
    selectUp,
    selectDown,
    toggleDone,
    rename,
    openNote,
    deleteRows,
    expand,
    collapse,
    snooze,
    snoozeTonightIsh,
    snoozeTomorrow,
    snoozeMonday,
    snoozeSomeday,
    moveToToday,
    addThing,
    addStep,
    pin,
};

// The edit commands a focused text field takes for its own text before the rows see them.
enum class TextCommand { cut, copy, paste, selectAll, undo, redo };

enum class CommandMenu { none, file, edit, view };

// Where a command's keys are heard: as the window's shortcuts, or by the list that has the keyboard
// (and is not being typed in).
enum class CommandScope { window, list };

// The list a command came from: what only the view knows and can do.
class CommandList {
public:
    virtual ~CommandList() = default;
    virtual const Source& source() const = 0;
    virtual bool isCompact() const = 0;    // the focus panel's and the tray's list
    virtual bool hasArrowKeys() const = 0; // → and ← open and fold a thing's steps
    virtual bool isListed(const RowID& id) const = 0;
    virtual Thing* listedThing(const RowID& id) const = 0; // null for a planner row or one not shown
    virtual bool moveSelection(int delta) = 0;
    virtual bool beginEditing(const RowID& id) = 0;
    virtual void startAdding() = 0;
    virtual bool awaitingSnooze() const = 0;
    virtual void setAwaitingSnooze(bool awaiting) = 0;
};

// What a command runs against: the model, the rows it acts on, and what the window that ran it lends.
struct CommandContext {
    AppModel& model;
    // The rows a command acts on, and their order on screen when a list asked (the selection moves on
    // along it after a cut).
    QSet<RowID> targets;
    std::optional<std::vector<RowID>> order;
    // The edit commands go to a text field first; true when one took it.
    std::function<bool(TextCommand)> toTextField;
    // What only the window can do: dialogs, the settings window, quitting, hiding the panel.
    std::function<void(CommandId)> toWindow;
    // The list that asked, and the row it means: the primary selection for a key, the clicked row for a
    // context menu.
    CommandList* list = nullptr;
    std::optional<RowID> row;

    bool anyThing() const;
};

using CommandRule = std::function<bool(const CommandContext&)>;

struct Command {
    CommandId id = CommandId::newThing;
    QString name;  // the object name of its menu item
    QString label; // the menu text
    QList<QKeySequence> keys;
    CommandScope scope = CommandScope::window;
    CommandMenu menu = CommandMenu::none;
    bool separatorBefore = false;
    // The shorter label where room is short (the tray popup); empty: the label.
    QString shortLabel;
    std::optional<TextCommand> text;
    // A list key heard only while the list waits for the snooze choice (1 to 4).
    bool whileSnoozing = false;
    // The items of its submenu, in a context menu.
    std::vector<CommandId> submenu;
    // Null: always. `enabled` greys a menu bar item; `shown` leaves an item out of a context menu.
    CommandRule enabled;
    CommandRule shown;
    CommandRule checked; // set: a check item
    std::function<QString(const CommandContext&)> liveLabel;
    // True when it did something: a list key that does nothing goes on to the widgets behind the list.
    std::function<bool(CommandContext&)> run;

    QKeySequence key() const { return keys.value(0); }
    QString labelFor(const CommandContext& context) const { return liveLabel ? liveLabel(context) : label; }
    // A list key matches on its key and on Ctrl: Shift, Alt and the keypad make no difference.
    bool matches(int key, Qt::KeyboardModifiers modifiers) const;
};

// All commands, in menu order.
std::span<const Command> commands();
const Command& command(CommandId id);
// The first shortcut of a command: what its texts name ("New thing Ctrl+N").
QKeySequence commandKeys(CommandId id);
// The pile tab commands, Ctrl+5 to Ctrl+8 for the first four piles.
inline constexpr int kPileCommands = 4;
CommandId pileCommand(int position);

// The context a command run from the app's menu or keys gets: the selection of the list on screen.
CommandContext selectionContext(AppModel& model);
// Runs the command, through a text field first when one has the keys and it is an edit command.
bool runCommand(const Command& command, CommandContext& context);
// The row context menu of a local thing or of a planner row, top to bottom; nullopt is a separator.
std::span<const std::optional<CommandId>> rowMenu(bool plannerRow);

// The snooze options in key order (1 to 4) and their names: "Tonight-ish" in menus and the regular
// bar, "Tonight" where room is short.
inline constexpr std::array<SnoozeOption, 4> kSnoozeOptions{SnoozeOption::tonightIsh, SnoozeOption::tomorrow,
                                                            SnoozeOption::monday, SnoozeOption::someday};
QString snoozeOptionName(SnoozeOption option);
QString snoozeOptionShortName(SnoozeOption option);

} // namespace vorn
