#pragma once

#include "family/NoteFiles.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorn {

class RetryBackoff;
class SerialQueue;
class Timers;

// Whose note a file is: one of our things (its record number) or another application's row (its id).
struct NoteOwner {
    enum class Kind { thing, shared };
    Kind kind = Kind::thing;
    QString id;

    static NoteOwner thing(qint64 number) { return {Kind::thing, QString::number(number)}; }
    static NoteOwner shared(const QString& id) { return {Kind::shared, id}; }
    bool operator==(const NoteOwner&) const = default;
};

// A note whose file could not be written yet: what the user typed, kept until the folder takes it.
struct PendingNote {
    NoteOwner owner;
    QString stem;
    QByteArray rtf;
    QString plain; // trimmed, as the record will keep it
    // The thing's sync id, when the note came with a thing just made (an import's): it lands on that
    // thing only, never on another that took the same record number after a kill.
    QString uid;
};

// Writes the notes' rich files for the model. A write that fails costs nothing: the note is kept aside,
// in memory and in a small file beside the local store so that a restart keeps it too, the user hears of
// it once, and it is tried again later (waiting longer each time) until it lands; only then does the
// record follow (`landed`), so the record always names a file that holds its text. What each file held
// this session is remembered, so that undoing a note in the record can put the matching file back.
class NoteKeeper {
public:
    struct Init {
        NoteFolder folder;
        QString pendingPath; // none: notes waiting for their file are kept in memory only
        Timers* timers = nullptr;
        int retryMSecs = 2000;
        int retryMaxMSecs = 60000;
        std::function<void(const QString&)> toast;
    };
    explicit NoteKeeper(Init init);
    ~NoteKeeper();
    NoteKeeper(const NoteKeeper&) = delete;
    NoteKeeper& operator=(const NoteKeeper&) = delete;

    const NoteFolder& folder() const { return m_folder; }
    // The file a note of `owner` goes to: the one it already waits for, else `current` when that can be
    // used, else a fresh one.
    QString stemFor(const NoteOwner& owner, const std::optional<QString>& current) const;
    // Writes the file; false when it could not, and the note now waits (said once, retried later).
    // `before` is the record's text as it stands, which the file's old contents go with.
    bool write(const NoteOwner& owner, const QString& stem, const QByteArray& rtf, const QString& plain,
               const QString& before);
    // write() off the caller's thread, for a note too big to encode and write in a moment: `encode` makes
    // the RTF on the notes' own thread, which then writes it; back on this thread the outcome is taken as
    // write()'s would be and `done` hears whether the file took it. Writes go to disk in the order they
    // were asked for, this one after every earlier one.
    void writeLater(const NoteOwner& owner, const QString& stem, std::function<QByteArray()> encode,
                    const QString& plain, const QString& before, std::function<void(bool)> done);
    // Notes of things being made (an import's), their files all written together on the notes' thread
    // (one sync, not one each), from the moment startBatch() is asked while the things are made. Once
    // the things are there keepBatch() hands over their notes, in the files' order: from then on each
    // waits as a note that failed does (shown from memory, kept in the file beside the store, which is
    // written before keepBatch() returns so that a kill after the records are saved loses none, and
    // written again later if its file can't be). `done` hears on this thread which of them landed, in
    // their order; settle() waits for it.
    struct Batch {
        std::vector<PendingNote> notes;
        std::function<void(const std::vector<bool>&)> done;
        bool kept = false;
        std::optional<std::vector<bool>> written; // the files' outcome, once it is back
    };
    std::shared_ptr<Batch> startBatch(std::vector<std::pair<QString, QByteArray>> files);
    void keepBatch(const std::shared_ptr<Batch>& batch, std::vector<PendingNote> notes,
                   std::function<void(const std::vector<bool>&)> done);
    // Whether a writeLater() or a batch has not been taken back yet.
    bool isWriting() const { return m_writing > 0; }
    // Waits for every writeLater() and takes their outcomes now (a quit, a closing note).
    void settle();
    // The note as an editor opens it: the one still waiting when there is one, else the file and `plain`.
    NoteContent content(const NoteOwner& owner, const std::optional<QString>& stem,
                        const QString& plain) const;
    // The note was emptied: nothing of it waits any more.
    void forget(const NoteOwner& owner);
    // An undo or redo set the record's note to `plain`: the file follows when this session wrote it with
    // that text (nothing happens while a newer note of the owner waits for its file).
    void follow(const NoteOwner& owner, const QString& stem, const QString& plain);
    const std::vector<PendingNote>& pending() const { return m_pending; }
    // Tries every waiting note again; called by the retry timer (soon after start when some wait).
    void retry();

    // A waiting note reached its file: the record can follow now.
    std::function<void(const PendingNote&)> landed;

private:
    struct Version {
        QString plain;
        QByteArray rtf;
    };
    // A writeLater() as the notes' thread hands it back.
    struct Written {
        NoteOwner owner;
        QString stem;
        QString plain;
        QString before;
        QByteArray rtf;
        std::optional<QByteArray> old; // the file before, when this was its first write this session
        bool ok = false;
        QString error;
    };
    void took(Written written, const std::function<void(bool)>& done);
    void tookAll(const std::vector<PendingNote>& notes, const std::vector<bool>& written,
                 const std::function<void(const std::vector<bool>&)>& done);
    void startQueue();
    // The first contents this session of the stem's file go with `before`.
    void rememberFirst(const QString& stem, const QString& before, const std::optional<QByteArray>& old);
    void remember(const QString& stem, const QString& plain, const QByteArray& rtf);
    void keep(PendingNote note);
    void drop(const NoteOwner& owner);
    // Whether the waiting notes are on disk now (none waiting: the file is gone).
    bool store() const;
    void load();
    void failed();

    NoteFolder m_folder;
    QString m_pendingPath;
    std::function<void(const QString&)> m_toast;
    std::unique_ptr<RetryBackoff> m_retry;
    bool m_told = false;
    std::vector<PendingNote> m_pending;
    // Per stem written this session: the texts its file held, oldest first, and the one it holds now.
    QHash<QString, std::vector<Version>> m_versions;
    QHash<QString, QString> m_holds;
    std::unique_ptr<SerialQueue> m_queue; // made at the first writeLater()
    // Outcomes of writeLater() arrive through this object's events, in order.
    std::unique_ptr<QObject> m_receiver;
    int m_writing = 0;
    // The stem each owner's unfinished writeLater() calls go to (and how many there are), so that the
    // next save goes there too.
    struct Writing {
        QString stem;
        int count = 0;
    };
    QHash<QString, Writing> m_writingTo;
};

} // namespace vorn
