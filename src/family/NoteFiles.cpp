#include "family/NoteFiles.h"

namespace vorn {

bool isSafeNoteStem(const QString& stem)
{
    if (stem.isEmpty() || stem.size() > kMaxNoteStemLength || stem.startsWith(QLatin1Char('.')))
        return false;
    for (QChar c : stem) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.isNull() ||
            c.category() == QChar::Other_Control)
            return false;
    }
    return true;
}

} // namespace vorn
