#include "model/Commands.h"

#include <QSet>

#include <gtest/gtest.h>

namespace vorn {
namespace {

// Two commands on one key would leave Qt with an ambiguous shortcut, and neither runs: within the
// window's shortcuts and within the list's keys (the snooze digits apart) each key means one thing.
// Read without a GUI application, as the --list mode and the toasts' undo hint read it.
TEST(CommandTable, eachKeyAndNameMeansOneCommand)
{
    QSet<QString> names;
    QSet<QString> windowKeys;
    QSet<QString> listKeys;
    for (const Command& c : commands()) {
        EXPECT_FALSE(names.contains(c.name)) << c.name.toStdString();
        names.insert(c.name);
        EXPECT_EQ(&command(c.id), &c) << c.name.toStdString();
        EXPECT_TRUE(c.run) << c.name.toStdString();
        for (const QKeySequence& k : c.keys) {
            const QString key = k.toString() + (c.whileSnoozing ? QStringLiteral(" snoozing") : QString());
            QSet<QString>& seen = c.scope == CommandScope::window ? windowKeys : listKeys;
            EXPECT_FALSE(seen.contains(key)) << c.name.toStdString() << " " << key.toStdString();
            seen.insert(key);
        }
    }
    EXPECT_EQ(commandKeys(CommandId::undo).toString(QKeySequence::NativeText), QStringLiteral("Ctrl+Z"));
}

// List keys match on the key and on Ctrl alone: Shift+S still snoozes, keypad Enter renames, but
// Ctrl+Return opens the note instead.
TEST(CommandTable, listKeysMatchOnTheKeyAndCtrl)
{
    const struct {
        CommandId id;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool matches;
    } cases[] = {
        {CommandId::snooze, Qt::Key_S, Qt::ShiftModifier, true},
        {CommandId::snooze, Qt::Key_S, Qt::ControlModifier, false},
        {CommandId::rename, Qt::Key_Enter, Qt::KeypadModifier, true},
        {CommandId::rename, Qt::Key_Return, Qt::ControlModifier, false},
        {CommandId::openNote, Qt::Key_Return, Qt::ControlModifier, true},
        {CommandId::openNote, Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier, true},
        {CommandId::openNote, Qt::Key_Return, Qt::NoModifier, false},
        {CommandId::deleteRows, Qt::Key_Backspace, Qt::NoModifier, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(command(c.id).matches(c.key, c.modifiers), c.matches)
            << command(c.id).name.toStdString() << " "
            << QKeySequence(c.key | c.modifiers).toString().toStdString();
}

} // namespace
} // namespace vorn
