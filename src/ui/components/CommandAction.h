#pragma once

#include "model/Commands.h"

#include <functional>

class QAction;
class QObject;

namespace vorn {

class AppModel;

// What the window an action sits in lends its commands: the text field that takes edit commands first,
// and the things only that window can do (dialogs, quitting, hiding itself).
struct CommandHost {
    std::function<bool(TextCommand)> toTextField;
    std::function<void(CommandId)> toWindow;
};

// The menu item and shortcut of one command: its label, keys (window-wide) and check state from the
// table, enabled and relabelled as the model changes, running on the selection of the list on screen.
QAction* commandAction(const Command& command, AppModel& model, CommandHost host, QObject* parent);
// Label, enabled and checked as the model says now.
void refreshCommandAction(QAction* action, const Command& command, AppModel& model);

} // namespace vorn
