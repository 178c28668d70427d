#pragma once

#include <QKeySequence>
#include <QString>

namespace vorn {

// Shortcuts as the desktop writes them in running text: "Ctrl+Z" and "Ctrl+Shift+F" here, "⌘Z" on
// macOS. Works without a GUI application (the --list mode and headless tests have none). The keys
// themselves come from the command table (model/Commands.h).
QString keyName(const QKeySequence& keys);

// The tail of every toast after something undoable went away: "Ctrl+Z if that was a mistake."
QString undoHint();

} // namespace vorn
