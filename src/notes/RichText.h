#pragma once

#include "notes/NoteComment.h"
#include "notes/RichTextRtf.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

class QTextDocument;

namespace vorn::notes {

// The one home of the note storage format: the whole note as RTF (with its folded sections in the
// document comment) plus a plain copy that keeps every marker, so lists, dividers and directions come
// back even from the plain copy alone.
namespace RichText {

struct Decoded {
    std::unique_ptr<QTextDocument> text; // normalised
    NoteComment sections;
    bool complete = true; // false: the file ended early and holds only its beginning
};

// The note's RTF. Our writer cannot fail on any text, so there is always a result.
QByteArray encode(const QTextDocument& text, const NoteComment& sections = {});

// A note taken from its document for encoding elsewhere: what encode(text, sections) is given.
struct Snapshot {
    RichTextRtf::Snapshot text;
    NoteComment sections;
};
// The same RTF as encode(text, sections) of the document the snapshot was taken of; any thread.
QByteArray encode(const Snapshot& snapshot);

// The note the RTF holds, normalised; nothing when the data is not readable RTF (the caller then falls
// back to the plain copy, without a message).
std::optional<Decoded> decode(QByteArrayView rtf);

// A plain note as body text, then normalised: markers become lists and dividers.
std::unique_ptr<QTextDocument> plain(const QString& text);

// Makes any loaded text obey the note's typography: one role per paragraph (from its first character's
// size), the UI face at role sizes with each run's bold and italic kept, the role's kern, the standard
// colour, underline kept, divider lines in the divider format; then every paragraph restyled.
void normalize(QTextDocument& text);

// What the record keeps of the note: its characters with paragraph breaks as LF, trimmed of leading
// and trailing whitespace and line breaks.
QString plainCopy(const QTextDocument& text);

} // namespace RichText

} // namespace vorn::notes
