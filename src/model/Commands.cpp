#include "model/Commands.h"

#include "model/AppModel.h"
#include "text/TitleText.h"

#include <QCoreApplication>

#include <algorithm>

namespace vorn {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("vorn::Commands", text);
}

Command make(CommandId id, const char* name, const char* label, QList<QKeySequence> keys, CommandMenu menu,
             std::function<bool(CommandContext&)> run)
{
    Command c;
    c.id = id;
    c.name = QString::fromLatin1(name);
    c.label = tr(label);
    c.keys = std::move(keys);
    c.menu = menu;
    c.run = std::move(run);
    return c;
}

// A command whose work is the window's: a dialog, the settings window, quitting, hiding the panel.
Command windowCommand(CommandId id, const char* name, const char* label, QList<QKeySequence> keys,
                      CommandMenu menu)
{
    return make(id, name, label, std::move(keys), menu, [id](CommandContext& context) {
        if (!context.toWindow)
            return false;
        context.toWindow(id);
        return true;
    });
}

Command listCommand(CommandId id, const char* name, const char* label, QList<QKeySequence> keys,
                    std::function<bool(CommandContext&)> run)
{
    Command c = make(id, name, label, std::move(keys), CommandMenu::none, std::move(run));
    c.scope = CommandScope::list;
    return c;
}

Command tabCommand(CommandId id, const char* name, const char* label, Qt::Key key, Tab tab)
{
    return make(id, name, label, {QKeySequence(Qt::CTRL | key)}, CommandMenu::view, [tab](CommandContext& c) {
        c.model.setTab(tab);
        return true;
    });
}

Command pileTabCommand(int position)
{
    const auto id = CommandId(int(CommandId::tabPile1) + position);
    const QByteArray name = "tabPile" + QByteArray::number(position + 1);
    const auto pile = [position](const AppModel& model) -> const Pile* {
        const auto& piles = model.piles();
        return size_t(position) < piles.size() ? piles[size_t(position)] : nullptr;
    };
    Command c = make(id, name.constData(), "", {QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_5 + position))},
                     CommandMenu::view, [pile](CommandContext& context) {
                         const Pile* p = pile(context.model);
                         if (p)
                             context.model.setTab(Tab::pile(p->id()));
                         return p != nullptr;
                     });
    c.enabled = [pile](const CommandContext& context) { return pile(context.model) != nullptr; };
    c.liveLabel = [pile](const CommandContext& context) {
        const Pile* p = pile(context.model);
        return p ? menuItemText(p->name()) : QString();
    };
    return c;
}

Command snoozeCommand(SnoozeOption option)
{
    const auto id = CommandId(int(CommandId::snoozeTonightIsh) + int(option) - 1);
    const QByteArray name = "snooze" + QByteArray::number(int(option));
    Command c = listCommand(id, name.constData(), "", {QKeySequence(Qt::Key(Qt::Key_0 + int(option)))},
                            [option](CommandContext& context) {
                                context.model.snooze(context.targets, option, context.order);
                                if (context.list)
                                    context.list->setAwaitingSnooze(false);
                                return true;
                            });
    c.label = snoozeOptionName(option);
    c.whileSnoozing = true;
    return c;
}

// Keys are written out rather than taken from QKeySequence::StandardKey: the table is also read where
// there is no GUI application (the --list mode, headless tests), and those ask the platform theme.
void addWindowCommands(std::vector<Command>& t)
{
    const auto separated = [&t] { t.back().separatorBefore = true; };
    const auto model = [](void (AppModel::*op)()) {
        return [op](CommandContext& c) {
            (c.model.*op)();
            return true;
        };
    };

    t.push_back(make(CommandId::newThing, "newThing", "New Thing", {QKeySequence(Qt::CTRL | Qt::Key_N)},
                     CommandMenu::file, model(&AppModel::requestAdd)));
    t.push_back(make(CommandId::newList, "newList", "New List",
                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)}, CommandMenu::file,
                     [](CommandContext& c) {
                         // The name is typed in the main window's tab strip, which focus mode hides.
                         if (c.model.isFocusMode())
                             c.model.exitFocusMode();
                         c.model.requestNewPile();
                         return true;
                     }));
    t.push_back(windowCommand(CommandId::importLists, "importLists", "Import…", {}, CommandMenu::file));
    separated();
    t.push_back(windowCommand(CommandId::exportLists, "exportLists", "Export…", {}, CommandMenu::file));
    t.push_back(windowCommand(CommandId::syncAccount, "syncAccount", "Sync with a Calendar Server…", {},
                              CommandMenu::file));
    t.push_back(windowCommand(CommandId::preferences, "preferences", "Preferences…",
                              {QKeySequence(Qt::CTRL | Qt::Key_Comma)}, CommandMenu::file));
    separated();
    t.push_back(windowCommand(CommandId::quit, "quit", "Quit vorn todo (eventually)",
                              {QKeySequence(Qt::CTRL | Qt::Key_Q)}, CommandMenu::file));
    separated();
    t.back().shortLabel = tr("Quit (eventually)");

    const auto edit = [&t](CommandId id, const char* name, const char* label, QKeySequence keys,
                           TextCommand text, std::function<bool(CommandContext&)> run) {
        t.push_back(make(id, name, label, {std::move(keys)}, CommandMenu::edit, std::move(run)));
        t.back().text = text;
    };
    edit(CommandId::undo, "undo", "Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), TextCommand::undo,
         model(&AppModel::undo));
    edit(CommandId::redo, "redo", "Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), TextCommand::redo,
         model(&AppModel::redo));
    edit(CommandId::cut, "cut", "Cut", QKeySequence(Qt::CTRL | Qt::Key_X), TextCommand::cut,
         [](CommandContext& c) {
             c.model.transfer().cut(c.targets, c.order);
             return true;
         });
    separated();
    edit(CommandId::copy, "copy", "Copy", QKeySequence(Qt::CTRL | Qt::Key_C), TextCommand::copy,
         [](CommandContext& c) {
             c.model.transfer().copy(c.targets);
             return true;
         });
    edit(CommandId::paste, "paste", "Paste", QKeySequence(Qt::CTRL | Qt::Key_V), TextCommand::paste,
         [](CommandContext& c) {
             c.model.transfer().paste();
             return true;
         });
    // Outside a text field there is nothing to select all of: the rows are chosen one by one.
    edit(CommandId::selectAll, "selectAll", "Select All", QKeySequence(Qt::CTRL | Qt::Key_A),
         TextCommand::selectAll, [](CommandContext&) { return false; });
    t.push_back(make(CommandId::sendToPlanner, "sendToPlanner", "Send to Vorn Planner",
                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P)}, CommandMenu::edit,
                     [](CommandContext& c) {
                         c.model.transfer().sendToPlanner(c.targets, c.order);
                         return true;
                     }));
    separated();
    t.back().enabled = [](const CommandContext& c) { return !c.model.selection().isEmpty(); };
    t.back().shown = [](const CommandContext& c) { return c.model.transfer().plannerIsInstalled(); };

    t.push_back(make(CommandId::focusMode, "focusMode", "Focus Mode",
                     {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)}, CommandMenu::view,
                     [](CommandContext& c) {
                         if (c.model.isFocusMode())
                             c.model.exitFocusMode();
                         else
                             c.model.enterFocusMode();
                         return true;
                     }));
    t.back().liveLabel = [](const CommandContext& c) {
        return c.model.isFocusMode() ? tr("Leave Focus Mode") : tr("Focus Mode");
    };
    t.push_back(tabCommand(CommandId::tabToday, "tabToday", "Today", Qt::Key_1, Tab::list(TodoList::today)));
    separated();
    t.push_back(tabCommand(CommandId::tabLater, "tabLater", "Later", Qt::Key_2, Tab::list(TodoList::later)));
    t.push_back(
        tabCommand(CommandId::tabDoneIsh, "tabDoneIsh", "Done-ish", Qt::Key_3, Tab::list(TodoList::doneIsh)));
    t.push_back(tabCommand(CommandId::tabRandom, "tabRandom", "Random", Qt::Key_4, Tab::random()));
    for (int position = 0; position < kPileCommands; ++position)
        t.push_back(pileTabCommand(position));
    // New List stays in the File menu, beside New Thing, where a Linux user looks for "new".
    t.push_back(make(CommandId::floatOnTop, "floatOnTop", "Float on Top",
                     {QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T)}, CommandMenu::view,
                     [](CommandContext& c) {
                         c.model.setFloats(!c.model.floats());
                         return true;
                     }));
    separated();
    t.back().checked = [](const CommandContext& c) { return c.model.floats(); };

    t.push_back(windowCommand(CommandId::hidePanel, "hidePanel", "Hide", {QKeySequence(Qt::CTRL | Qt::Key_W)},
                              CommandMenu::none));
    t.push_back(windowCommand(CommandId::openWindow, "openWindow", "Open vorn todo", {}, CommandMenu::none));
}

void addListCommands(std::vector<Command>& t)
{
    const auto move = [](int delta) {
        return [delta](CommandContext& c) { return c.list && c.list->moveSelection(delta); };
    };
    t.push_back(listCommand(CommandId::selectUp, "selectUp", "Up", {QKeySequence(Qt::Key_Up)}, move(-1)));
    t.push_back(
        listCommand(CommandId::selectDown, "selectDown", "Down", {QKeySequence(Qt::Key_Down)}, move(+1)));

    t.push_back(listCommand(CommandId::toggleDone, "toggleDone", "Done", {QKeySequence(Qt::Key_Space)},
                            [](CommandContext& c) {
                                if (c.targets.isEmpty())
                                    return false;
                                c.model.setDone(c.targets, !c.model.allDone(c.targets));
                                return true;
                            }));
    t.back().liveLabel = [](const CommandContext& c) {
        return c.model.allDone(c.targets) ? tr("Not Done") : tr("Done");
    };

    t.push_back(
        listCommand(CommandId::rename, "rename", "Edit",
                    {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}, [](CommandContext& c) {
                        return c.list && c.row && c.list->isListed(*c.row) && c.list->beginEditing(*c.row);
                    }));
    // A planner row's title is all there is to edit of it.
    t.back().liveLabel = [](const CommandContext& c) {
        return c.row && c.row->isShared() ? tr("Rename") : tr("Edit");
    };

    t.push_back(listCommand(CommandId::openNote, "openNote", "Open Note",
                            {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)},
                            [](CommandContext& c) {
                                if (!c.row || (c.list && !c.list->isListed(*c.row)))
                                    return false;
                                if (const auto thing = c.row->thingID())
                                    c.model.setEditingNote(NoteTarget::thing(*thing));
                                else if (c.model.sharesWithPlanner())
                                    c.model.setEditingNote(NoteTarget::shared(*c.row->sharedID()));
                                return true;
                            }));
    t.back().liveLabel = [](const CommandContext& c) {
        if (!c.row || !c.row->isShared())
            return tr("Open Note");
        const auto shared = c.model.sharedThing(*c.row->sharedID());
        return shared && !shared->note.isEmpty() ? tr("Open Note") : tr("Add a Note");
    };

    t.push_back(listCommand(CommandId::deleteRows, "deleteRows", "Delete",
                            {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)},
                            [](CommandContext& c) {
                                if (c.targets.isEmpty())
                                    return false;
                                c.model.remove(c.targets, c.order);
                                return true;
                            }));

    const auto steps = [](bool open) {
        return [open](CommandContext& c) {
            Thing* thing = c.list && c.row && c.list->hasArrowKeys() ? c.list->listedThing(*c.row) : nullptr;
            if (!thing)
                return false;
            if (!open)
                c.model.setExpanded(*thing, false);
            else if (!thing->steps().empty())
                c.model.setExpanded(*thing, true);
            else
                c.model.requestAddStep(*thing);
            return true;
        };
    };
    t.push_back(
        listCommand(CommandId::expand, "expand", "Show Steps", {QKeySequence(Qt::Key_Right)}, steps(true)));
    t.push_back(listCommand(CommandId::collapse, "collapse", "Hide Steps", {QKeySequence(Qt::Key_Left)},
                            steps(false)));

    const auto notDoneIsh = [](const CommandContext& c) {
        return !c.list || c.list->source() != Source::doneIsh;
    };
    // S asks how long; 1 to 4 answer. The context menu asks with a submenu instead.
    t.push_back(listCommand(CommandId::snooze, "snooze", "Snooze", {QKeySequence(Qt::Key_S)},
                            [notDoneIsh](CommandContext& c) {
                                if (!c.list || !notDoneIsh(c) || !c.anyThing())
                                    return false;
                                c.list->setAwaitingSnooze(true);
                                return true;
                            }));
    t.back().shown = notDoneIsh;
    const size_t snooze = t.size() - 1;
    for (SnoozeOption option : kSnoozeOptions) {
        t.push_back(snoozeCommand(option));
        t[snooze].submenu.push_back(t.back().id);
    }

    t.push_back(listCommand(CommandId::moveToToday, "moveToToday", "Move to Today", {QKeySequence(Qt::Key_T)},
                            [](CommandContext& c) {
                                if (!c.anyThing())
                                    return false;
                                c.model.moveToToday(c.targets, c.order);
                                return true;
                            }));
    t.back().shown = [](const CommandContext& c) { return !c.list || c.list->source() != Source::today; };

    t.push_back(listCommand(CommandId::addThing, "addThing", "Add a Thing", {QKeySequence(Qt::Key_N)},
                            [notDoneIsh](CommandContext& c) {
                                if (!c.list || !notDoneIsh(c))
                                    return false;
                                c.list->startAdding();
                                return true;
                            }));
    t.push_back(listCommand(CommandId::addStep, "addStep", "Add Step", {}, [](CommandContext& c) {
        Thing* thing = c.list && c.row ? c.list->listedThing(*c.row) : nullptr;
        if (thing)
            c.model.requestAddStep(*thing);
        return thing != nullptr;
    }));
    t.back().shown = [](const CommandContext& c) { return c.list && !c.list->isCompact(); };

    // The panel watches `floats` and changes its window level itself.
    t.push_back(
        listCommand(CommandId::pin, "pin", "Float on Top", {QKeySequence(Qt::Key_P)}, [](CommandContext& c) {
            if (!c.list || !c.list->isCompact())
                return false;
            c.model.setFloats(!c.model.floats());
            return true;
        }));
}

const std::vector<Command>& table()
{
    static const std::vector<Command> commands = [] {
        std::vector<Command> t;
        addWindowCommands(t);
        addListCommands(t);
        return t;
    }();
    return commands;
}

} // namespace

bool CommandContext::anyThing() const
{
    return std::any_of(targets.begin(), targets.end(), [](const RowID& id) { return id.isThing(); });
}

bool Command::matches(int pressed, Qt::KeyboardModifiers modifiers) const
{
    return std::any_of(keys.begin(), keys.end(), [&](const QKeySequence& k) {
        return !k.isEmpty() && k[0].key() == pressed &&
               (k[0].keyboardModifiers() & Qt::ControlModifier) == (modifiers & Qt::ControlModifier);
    });
}

std::span<const Command> commands()
{
    return table();
}

const Command& command(CommandId id)
{
    const auto& t = table();
    const auto it = std::find_if(t.begin(), t.end(), [id](const Command& c) { return c.id == id; });
    Q_ASSERT(it != t.end());
    return *it;
}

QKeySequence commandKeys(CommandId id)
{
    return command(id).key();
}

CommandId pileCommand(int position)
{
    Q_ASSERT(position >= 0 && position < kPileCommands);
    return CommandId(int(CommandId::tabPile1) + position);
}

CommandContext selectionContext(AppModel& model)
{
    return CommandContext{model,       model.selectedIDs(model.source(), true), std::nullopt, {}, {}, nullptr,
                          std::nullopt};
}

bool runCommand(const Command& command, CommandContext& context)
{
    if (command.text && context.toTextField && context.toTextField(*command.text))
        return true;
    return command.run && command.run(context);
}

std::span<const std::optional<CommandId>> rowMenu(bool plannerRow)
{
    static const std::optional<CommandId> thing[] = {
        CommandId::toggleDone,    CommandId::snooze,  CommandId::moveToToday,
        CommandId::rename,        CommandId::addStep, std::nullopt,
        CommandId::cut,           CommandId::copy,    CommandId::paste,
        CommandId::sendToPlanner, std::nullopt,       CommandId::deleteRows};
    static const std::optional<CommandId> planner[] = {
        CommandId::openNote, CommandId::rename, CommandId::toggleDone, std::nullopt, CommandId::deleteRows};
    if (plannerRow)
        return planner;
    return thing;
}

QString snoozeOptionName(SnoozeOption option)
{
    switch (option) {
    case SnoozeOption::tonightIsh:
        return tr("Tonight-ish");
    case SnoozeOption::tomorrow:
        return tr("Tomorrow");
    case SnoozeOption::monday:
        return tr("Monday");
    case SnoozeOption::someday:
        return tr("Someday");
    }
    return {};
}

QString snoozeOptionShortName(SnoozeOption option)
{
    switch (option) {
    case SnoozeOption::tonightIsh:
        return tr("Tonight");
    case SnoozeOption::tomorrow:
        return tr("Tmrw");
    case SnoozeOption::monday:
        return tr("Mon");
    case SnoozeOption::someday:
        return snoozeOptionName(option);
    }
    return {};
}

} // namespace vorn
