#pragma once

#include "notes/NoteEditing.h"
#include "notes/ParagraphKind.h"
#include "notes/Typography.h"

#include <QString>

class QTextCursor;
class QTextDocument;

// The editor's formatting commands over a note. Each works on the note of `editing` and the selection
// of `cursor` (a cursor on that note), leaves the new selection or caret in `cursor`, and is one undo
// step. Every command but pastePlain does nothing while the note is read-only.
namespace vorn::notes::NoteFormatting {

// Gives the paragraphs of the selection the role's font and letter spacing. It resets bold (body is
// regular, the other roles their bold weight) and keeps italic. Dividers keep their own font.
void applyRole(NoteEditing& editing, QTextCursor& cursor, TextRole role);

// With a selection: takes the trait away when every run with a font has it, else gives it to all of
// them. Without one: flips the trait of the typing format.
void toggleBold(NoteEditing& editing, QTextCursor& cursor);
void toggleItalic(NoteEditing& editing, QTextCursor& cursor);
void toggleUnderline(NoteEditing& editing, QTextCursor& cursor);

// Makes the selected paragraphs items of this kind (bullet, number or checkbox), or plain paragraphs
// again when all of them already are; numbered lists are renumbered afterwards.
void toggleList(NoteEditing& editing, QTextCursor& cursor, ParagraphKind::Case kind);

// Puts a divider after the caret's paragraph, or turns a blank paragraph into one.
void insertDivider(NoteEditing& editing, QTextCursor& cursor);

enum class Direction { leftToRight, rightToLeft, automatic };

// Pins the selected paragraphs' direction with a leading mark, or lets their text decide (automatic).
void setDirection(NoteEditing& editing, QTextCursor& cursor, Direction direction);

// Inserts the clipboard's plain text in place of the selection, in the typing format.
void pastePlain(NoteEditing& editing, QTextCursor& cursor, const QString& clipboardText);
// Inserts a note read from the clipboard's RTF (already normalised) in place of the selection, with its
// roles, bold, italic and underline.
void pasteNote(NoteEditing& editing, QTextCursor& cursor, const QTextDocument& pasted);

} // namespace vorn::notes::NoteFormatting
