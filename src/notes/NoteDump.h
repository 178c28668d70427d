#pragma once

#include <QString>

class QTextDocument;

namespace vorn::notes {

// A readable account of a note: one line per paragraph with its kind, role and direction, then its runs
// of bold, italic and underline. Two notes with the same dump look and behave the same in the editor,
// which is what a round trip through a file must keep.
QString dump(const QTextDocument& note);

} // namespace vorn::notes
