#pragma once

#include <QString>

namespace vorn::bench {

// Paragraph `i` of a long note as people write them: bullets, checkboxes, numbered steps and prose, so the
// note benches time the mix a real note has.
inline QString noteBodyLine(int i)
{
    switch (i % 6) {
    case 0:
        return QStringLiteral("\u2022\tbullet point that says something short %1").arg(i);
    case 1:
        return QStringLiteral("\u2610\tcall the landlord about the heating, item %1").arg(i);
    case 2:
        return QStringLiteral("\u2611\tdone already, item %1").arg(i);
    case 3:
        return QStringLiteral("%1.\tnumbered step with a few words").arg(i % 9 + 1);
    default:
        return QStringLiteral("Plain prose paragraph %1 that runs on for a while, like notes do when "
                              "people think aloud about what comes next.")
            .arg(i);
    }
}

} // namespace vorn::bench
