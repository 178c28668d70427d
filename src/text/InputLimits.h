#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace vorn {

// The most characters a title, a step or a list's name may have: far more than a line shows, far less
// than what makes a list slow to paint.
inline constexpr qsizetype kTitleLimit = 4000;
// The most bytes of text one import or paste may bring, whichever way it comes.
inline constexpr qint64 kImportLimit = 16 * 1024 * 1024;
// The biggest note the editor opens and saves without keeping the user waiting: a note's layout and
// its save grow with every paragraph, empty ones too.
inline constexpr qsizetype kNoteParagraphLimit = 10000;
inline constexpr qsizetype kNoteCharacterLimit = 1024 * 1024;

// "4,000": limits as the messages write them.
QString limitText(qint64 n);

// Bytes `text` takes as UTF-8, counted without converting it.
qint64 utf8Size(QStringView text);

// Whether a note's plain text, or its RTF, is more than the editor carries.
bool isNoteTooBig(QStringView plain);
bool isNoteTooBig(QByteArrayView rtf);
// The first kNoteParagraphLimit paragraphs of `plain`, and no more than kNoteCharacterLimit characters.
QString cutNote(QStringView plain);

} // namespace vorn
