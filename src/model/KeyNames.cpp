#include "model/KeyNames.h"

namespace vorn {

QString keyName(const QKeySequence& keys)
{
    return keys.toString(QKeySequence::NativeText);
}

} // namespace vorn
