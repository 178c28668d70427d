#include "app/TextTarget.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace vorn {

namespace {

template <typename Field> bool send(Field* field, TextCommand command)
{
    switch (command) {
    case TextCommand::cut:
        field->cut();
        break;
    case TextCommand::copy:
        field->copy();
        break;
    case TextCommand::paste:
        field->paste();
        break;
    case TextCommand::selectAll:
        field->selectAll();
        break;
    case TextCommand::undo:
        field->undo();
        break;
    case TextCommand::redo:
        field->redo();
        break;
    }
    return true;
}

} // namespace

bool sendToTextField(QWidget* focus, TextCommand command)
{
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        return send(line, command);
    if (auto* text = qobject_cast<QTextEdit*>(focus))
        return send(text, command);
    if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        return send(plain, command);
    return false;
}

} // namespace vorn
