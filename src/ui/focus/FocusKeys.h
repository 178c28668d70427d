#pragma once

#include "model/KeyNames.h"

#include <QKeySequence>

namespace vorn {

// The panel's own keys; its tooltips write them with keyName(), so text and binding cannot disagree.
inline QKeySequence leaveFocusKeys()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F);
}

inline QKeySequence hidePanelKeys()
{
    return QKeySequence(Qt::CTRL | Qt::Key_W);
}

// Ctrl+1, Ctrl+2, Ctrl+3 for the built-in lists in their fixed order.
inline QKeySequence switchListKeys(int position)
{
    return QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + position));
}

inline QKeySequence redoKeys()
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
}

} // namespace vorn
