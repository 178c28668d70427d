#pragma once

#include "model/KeyNames.h"

#include <QKeySequence>

namespace vorn {

// The keys of the window's commands that its texts also name. The menus take their shortcuts from
// here and the tooltips and prompts write them with keyName(), so the two cannot disagree.
inline QKeySequence newThingKeys()
{
    return QKeySequence(QKeySequence::New);
}

inline QKeySequence newListKeys()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N);
}

} // namespace vorn
