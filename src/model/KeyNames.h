#pragma once

#include <QKeySequence>
#include <QString>

namespace vorn {

// Shortcuts as the desktop writes them in running text: "Ctrl+Z" and "Ctrl+Shift+F" here, "⌘Z" on
// macOS. Works without a GUI application (the --list mode and headless tests have none).
QString keyName(const QKeySequence& keys);

// The shortcuts our own texts name.
inline QKeySequence undoKeys()
{
    return QKeySequence(Qt::CTRL | Qt::Key_Z);
}

// The tail of every toast after something undoable went away: "Ctrl+Z if that was a mistake."
inline QString undoHint()
{
    return keyName(undoKeys()) + QStringLiteral(" if that was a mistake.");
}

} // namespace vorn
