#pragma once

#include "model/Commands.h"

class QWidget;

namespace vorn {

// The edit commands go to a text field first: when one has the keys, Cut, Copy, Paste, Select All,
// Undo and Redo are its own, and the rows and the model are left alone.
// True when `focus` is a text field and took the command.
bool sendToTextField(QWidget* focus, TextCommand command);

} // namespace vorn
