#pragma once

#include <QString>
#include <QStringView>

namespace vorn {

// Control characters: C0 (line breaks and tabs too), DEL and C1.
bool isControlCharacter(char16_t c);

// The text with every control character but line feed and tab taken out: safe to print to a terminal
// (no escape sequence can retitle it, move its cursor or ring its bell), and safe as lines of a file.
QString printable(QStringView text);

} // namespace vorn
