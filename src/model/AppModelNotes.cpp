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
    const bool currentIsSafe = current && isSafeNoteStem(*current);

    if (!text.isEmpty() && rtf) {
        // A stem we can't trust is left alone, file and all; the note moves to a fresh file of ours.
        const QString stem = currentIsSafe ? *current : NoteFolder::newStem();
        if (!m_notes.write(stem, *rtf)) {
            showToast(QStringLiteral("Couldn't save the note."));
            return;
        }
        UndoGroup group(m_store->undoManager());
        thing->setNoteID(stem);
        thing->setNote(text);
    } else {
        if (current)
            m_notes.remove(*current);
        UndoGroup group(m_store->undoManager());
        thing->setNoteID(std::nullopt);
        thing->setNote(QString());
    }
    m_store->save(); // a failed save stays pending and is retried by the next one
    scheduleSync();
}

} // namespace vorn
