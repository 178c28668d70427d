#pragma once

#include <QString>

namespace vorn {

// Longest note stem accepted; a UUID stem has 36 characters.
inline constexpr qsizetype kMaxNoteStemLength = 128;

// Whether a note identity is a plain file stem that stays inside the notes folder. Note identities come
// from records that other applications write too, so one that could name a path elsewhere ("../x", "a/b"),
// a hidden file, or that carries control characters is never used as a file name.
bool isSafeNoteStem(const QString& stem);

} // namespace vorn
