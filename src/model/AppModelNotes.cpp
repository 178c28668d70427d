#include "model/AppModel.h"

#include "family/NoteFiles.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QUuid>

namespace vorn {

QString AppModel::notePath(const QString& stem) const
{
    return QDir(m_notesDir).filePath(stem + QStringLiteral(".rtf"));
}

bool AppModel::writeNoteFile(const QString& stem, const QByteArray& rtf)
{
    if (m_notesDir.isEmpty())
        return false;          // never next to wherever the process happens to run
    QDir().mkpath(m_notesDir); // the folder may have gone since start-up
    QSaveFile file(notePath(stem));
    return file.open(QIODevice::WriteOnly) && file.write(rtf) == rtf.size() && file.commit();
}

AppModel::NoteContent AppModel::noteContent(RecordId id) const
{
    const Thing* thing = m_store->thing(id);
    if (!thing)
        return {};
    NoteContent content{std::nullopt, thing->note()};
    const std::optional<QString>& stem = thing->noteID();
    // An unreadable or unusable file opens the note as plain text only.
    if (stem && isSafeNoteStem(*stem) && !m_notesDir.isEmpty()) {
        QFile file(notePath(*stem));
        if (file.open(QIODevice::ReadOnly))
            content.rtf = file.readAll();
    }
    return content;
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
        const QString stem =
            currentIsSafe ? *current : QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
        if (!writeNoteFile(stem, *rtf)) {
            showToast(QStringLiteral("Couldn't save the note."));
            return;
        }
        UndoGroup group(m_store->undoManager());
        thing->setNoteID(stem);
        thing->setNote(text);
    } else {
        if (currentIsSafe && !m_notesDir.isEmpty())
            QFile::remove(notePath(*current)); // a file left behind is harmless
        UndoGroup group(m_store->undoManager());
        thing->setNoteID(std::nullopt);
        thing->setNote(QString());
    }
    m_store->save(); // a failed save stays pending and is retried by the next one
    scheduleSync();
}

} // namespace vorn
