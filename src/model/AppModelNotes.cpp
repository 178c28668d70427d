#include "model/AppModel.h"

namespace vorn {

namespace {

NoteOwner ownerOf(RecordId id)
{
    return NoteOwner::thing(id.number);
}

} // namespace

NoteContent AppModel::noteContent(RecordId id) const
{
    const Thing* thing = m_store->thing(id);
    if (!thing)
        return {};
    // A note still waiting for its file opens as it was typed; an unreadable or unusable file opens the
    // note as plain text only.
    return m_notes->content(ownerOf(id), thing->noteID(), thing->note());
}

void AppModel::saveNote(RecordId id, const std::optional<QByteArray>& rtf, const QString& plain)
{
    Thing* thing = m_store->thing(id);
    if (!thing)
        return;
    const QString text = plain.trimmed();
    const NoteOwner owner = ownerOf(id);

    // The rich file is written first; the record follows. When it can't be written the record stays
    // with its last good file and the keeper holds what was typed until the file takes it.
    std::optional<QString> stem;
    if (!text.isEmpty() && rtf) {
        // A stem we can't trust (or a link or folder in its file's place) is left alone, file and all;
        // the note moves to a fresh file of ours.
        const QString candidate = m_notes->stemFor(owner, thing->noteID());
        if (!m_notes->write(owner, candidate, *rtf, text, thing->note()))
            return;
        stem = candidate;
    } else {
        // No rich text to go with the text: the old file would open in its place, older than what was
        // typed, so it goes and the record keeps the text alone.
        m_notes->forget(owner);
        if (m_notes->folder().canUse(thing->noteID()))
            m_notes->folder().remove(*thing->noteID());
    }
    noteWritten(*thing, stem, text);
}

void AppModel::noteWritten(Thing& thing, const std::optional<QString>& stem, const QString& text)
{
    // A note looked at and closed unchanged is no edit: a group would drop what Redo could still do.
    if (stem == thing.noteID() && text == thing.note())
        return;
    {
        UndoGroup group(m_store->undoManager());
        thing.setNoteID(stem);
        thing.setNote(text);
    }
    m_store->save(); // a failed save stays pending and is retried by the next one
}

void AppModel::saveNoteLater(const NoteTarget& target, std::function<QByteArray()> encode,
                             const QString& plain)
{
    const std::optional<RecordId> id = target.thingID();
    const QString text = plain.trimmed();
    Thing* thing = id ? m_store->thing(*id) : nullptr;
    // Nothing to encode, or a planner's row (whose family file takes the note at once): as saveNote().
    if (!thing || text.isEmpty()) {
        saveNote(target, text.isEmpty() ? std::nullopt : std::optional<QByteArray>(encode()), plain);
        return;
    }
    const NoteOwner owner = ownerOf(*id);
    const QString stem = m_notes->stemFor(owner, thing->noteID());
    m_notes->writeLater(owner, stem, std::move(encode), text, thing->note(),
                        [this, id = *id, stem, text](bool ok) {
                            // Not written: the keeper holds it and the record stays with its last good file,
                            // as saveNote().
                            Thing* landed = m_store->thing(id);
                            if (ok && landed)
                                noteWritten(*landed, stem, text);
                        });
}

AppModel::NewNotes AppModel::startNewNotes(const std::vector<QByteArray>& rtfs)
{
    NewNotes out;
    if (rtfs.empty())
        return out;
    out.rtfs = rtfs;
    std::vector<std::pair<QString, QByteArray>> files;
    files.reserve(rtfs.size());
    for (const QByteArray& rtf : rtfs) {
        out.stems.push_back(NoteFolder::newStem());
        files.emplace_back(out.stems.back(), rtf);
    }
    out.batch = m_notes->startBatch(std::move(files));
    return out;
}

void AppModel::keepNewNotes(const NewNotes& notes, const std::vector<Thing*>& things)
{
    if (!notes.batch)
        return;
    Q_ASSERT(things.size() == notes.stems.size());
    std::vector<PendingNote> pending;
    std::vector<std::weak_ptr<Record>> whose;
    pending.reserve(things.size());
    whose.reserve(things.size());
    for (std::size_t i = 0; i < things.size(); ++i) {
        Thing* thing = things[i];
        pending.push_back(
            {ownerOf(thing->id()), notes.stems[i], notes.rtfs[i], thing->note(), thing->syncID()});
        whose.push_back(thing->weak_from_this());
    }
    m_notes->keepBatch(
        notes.batch, std::move(pending),
        [this, whose = std::move(whose), stems = notes.stems](const std::vector<bool>& written) {
            bool named = false;
            {
                // The import was the user's edit; its notes reaching their files is only
                // its delivery.
                UndoRegistrationPause pause(m_store->undoManager());
                for (std::size_t i = 0; i < whose.size(); ++i) {
                    if (const std::shared_ptr<Record> r = whose[i].lock(); r && written[i]) {
                        static_cast<Thing&>(*r).setNoteID(stems[i]);
                        named = true;
                    }
                }
            }
            if (named)
                m_store->save();
        });
}

void AppModel::settleNotes()
{
    m_notes->settle();
}

NoteContent AppModel::noteContent(const NoteTarget& target) const
{
    if (const std::optional<RecordId> id = target.thingID())
        return noteContent(*id);
    return m_sync->noteContent(*target.sharedID());
}

void AppModel::saveNote(const NoteTarget& target, const std::optional<QByteArray>& rtf, const QString& plain)
{
    if (const std::optional<RecordId> id = target.thingID())
        saveNote(*id, rtf, plain);
    else
        m_sync->saveNote(*target.sharedID(), rtf, plain);
}

std::optional<RecordId>
AppModel::keepNoteAsNewThing(const QString& title, const std::optional<QByteArray>& rtf, const QString& plain)
{
    if (m_readOnly || plain.trimmed().isEmpty())
        return std::nullopt;
    QString name = title.simplified();
    if (name.isEmpty())
        name = QStringLiteral("Rescued note");
    Thing* thing = nullptr;
    {
        UndoGroup group(m_store->undoManager());
        thing = m_store->insert(Thing::make(name, m_clock->now()));
    }
    saveNote(thing->id(), rtf, plain);
    return thing->id();
}

void AppModel::noteLanded(const PendingNote& note)
{
    if (note.owner.kind == NoteOwner::Kind::shared) {
        m_sync->noteLanded(note);
        return;
    }
    Thing* thing = m_store->thing(RecordId{EntityKind::Thing, note.owner.id.toLongLong()});
    if (!thing || (!note.uid.isEmpty() && thing->syncID() != note.uid))
        return;
    {
        // What was typed lands now; the typing itself was the user's edit, this is only its delivery.
        UndoRegistrationPause pause(m_store->undoManager());
        thing->setNoteID(note.stem);
        thing->setNote(note.plain);
    }
    m_store->save();
}

void AppModel::notesFollowRecords()
{
    for (Thing* thing : m_store->thingsBySortKey()) {
        if (thing->noteID())
            m_notes->follow(ownerOf(thing->id()), *thing->noteID(), thing->note());
    }
}

} // namespace vorn
