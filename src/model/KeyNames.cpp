#include "model/KeyNames.h"

#include "model/Commands.h"

namespace vorn {

QString keyName(const QKeySequence& keys)
{
    return keys.toString(QKeySequence::NativeText);
}

QString undoHint()
{
    return keyName(commandKeys(CommandId::undo)) + QStringLiteral(" if that was a mistake.");
}

} // namespace vorn
