#include "model/AppModel.h"

namespace vorn {

NoteContent AppModel::noteContent(RecordId id) const
{
    const Thing* thing = m_store->thing(id);
    if (!thing)
        return {};
    // An unreadable or unusable file opens the note as plain text only.
    const std::optional<QString>& stem = thing->noteID();
    return {stem ? m_notes.read(*stem) : std::nullopt, thing->note()};
}

void AppModel::saveNote(RecordId id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    Thing* thing = m_store->thing(id);
    if (!thing)
        return;
    const QString text = plain.trimmed();
    const std::optional<QString>& current = thing->noteID();
    // A stem we can't trust, or a link or folder in its file's place, is never followed.
    const bool currentIsSafe = m_notes.canUse(current);

    // The rich file is written first; the record follows. When there is no file to go with the text (no
    // rich text, or the file could not be written), the record still keeps the text and lets go of the
    // old file, which would otherwise open in its place, older than what was typed.
    std::optional<QString> stem;
    if (!text.isEmpty() && rtf) {
        // A stem we can't trust is left alone, file and all; the note moves to a fresh file of ours.
        const QString candidate = currentIsSafe ? *current : NoteFolder::newStem();
        if (m_notes.write(candidate, *rtf))
            stem = candidate;
        else
            showToast(QStringLiteral("Couldn't save the note."));
    }
    if (!stem && currentIsSafe)
        m_notes.remove(*current);
    {
        UndoGroup group(m_store->undoManager());
        thing->setNoteID(stem);
        thing->setNote(text);
    }
    m_store->save(); // a failed save stays pending and is retried by the next one
    scheduleSync();
}

} // namespace vorn
