#include "model/NoteKeeper.h"

#include "family/SerialQueue.h"
#include "files/AtomicFile.h"
#include "model/Logging.h"
#include "model/RetryBackoff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace vorn {

namespace {

// Every note the notes folder can hold, and then some: the file is only ever ours.
constexpr qint64 kMaxPendingFileSize = 4 * kMaxNoteFileSize;
// Versions kept per file for undo; the oldest (what the file held before this session) always stays.
constexpr std::size_t kMaxVersions = 64;

constexpr QLatin1StringView kNoteSaveFailed("Couldn't save the note.");

} // namespace

NoteKeeper::NoteKeeper(Init init)
    : m_folder(std::move(init.folder)), m_pendingPath(std::move(init.pendingPath)),
      m_toast(std::move(init.toast))
{
    if (init.timers)
        m_retry = std::make_unique<RetryBackoff>(*init.timers, QStringLiteral("noteRetry"), init.retryMSecs,
                                                 init.retryMaxMSecs, [this] { retry(); });
    load();
    // Notes typed before the last quit that never reached their files: try again as soon as we run.
    if (!m_pending.empty() && m_retry)
        m_retry->soon();
}

NoteKeeper::~NoteKeeper()
{
    // Every file asked for is written before we go; what the records make of it is for settle().
    m_queue.reset();
}

namespace {

QString ownerKey(const NoteOwner& owner)
{
    return (owner.kind == NoteOwner::Kind::thing ? QStringLiteral("t:") : QStringLiteral("s:")) + owner.id;
}

} // namespace

QString NoteKeeper::stemFor(const NoteOwner& owner, const std::optional<QString>& current) const
{
    // A save on its way to a fresh file: the record doesn't name it yet, and the next save goes there.
    if (const auto writing = m_writingTo.constFind(ownerKey(owner)); writing != m_writingTo.constEnd())
        return writing->stem;
    const auto waiting = std::find_if(m_pending.begin(), m_pending.end(),
                                      [&](const PendingNote& p) { return p.owner == owner; });
    if (waiting != m_pending.end())
        return waiting->stem;
    return m_folder.canUse(current) ? *current : NoteFolder::newStem();
}

bool NoteKeeper::write(const NoteOwner& owner, const QString& stem, const QByteArray& rtf,
                       const QString& plain, const QString& before)
{
    // A later write must not be overtaken by an earlier one still on its way.
    settle();
    // The file's first contents this session go with the record's text then: an undo back to that text
    // brings them back.
    if (!m_versions.contains(stem))
        rememberFirst(stem, before, m_folder.read(stem));
    QString error;
    if (m_folder.write(stem, rtf, &error)) {
        drop(owner);
        remember(stem, plain, rtf);
        return true;
    }
    qCWarning(lcSync) << "note not saved, kept to try again:" << error;
    keep({owner, stem, rtf, plain, {}});
    failed();
    return false;
}

void NoteKeeper::rememberFirst(const QString& stem, const QString& before,
                               const std::optional<QByteArray>& old)
{
    std::vector<Version>& versions = m_versions[stem];
    if (old) {
        versions.insert(versions.begin(), {before, *old});
        if (!m_holds.contains(stem))
            m_holds.insert(stem, before);
    }
}

void NoteKeeper::writeLater(const NoteOwner& owner, const QString& stem, std::function<QByteArray()> encode,
                            const QString& plain, const QString& before, std::function<void(bool)> done)
{
    startQueue();
    // The file's first contents are read there, before anything of ours is written over them.
    const bool first = !m_versions.contains(stem);
    if (first)
        m_versions[stem];
    ++m_writing;
    Writing& writing = m_writingTo[ownerKey(owner)];
    writing.stem = stem;
    ++writing.count;
    // Alive until the queue has stopped: the keeper ends the queue first.
    QObject* receiver = m_receiver.get();
    m_queue->async([this, folder = m_folder, receiver, first, done = std::move(done),
                    encode = std::move(encode),
                    written = Written{owner, stem, plain, before, {}, std::nullopt, false, {}}]() mutable {
        if (first)
            written.old = folder.read(written.stem);
        written.rtf = encode();
        written.ok = folder.write(written.stem, written.rtf, &written.error);
        // Queued to the receiver, which settle() flushes; a keeper gone by then wants no news.
        QMetaObject::invokeMethod(
            receiver,
            [this, written = std::move(written), done = std::move(done)]() mutable {
                took(std::move(written), done);
            },
            Qt::QueuedConnection);
    });
}

void NoteKeeper::startQueue()
{
    if (!m_queue) {
        m_queue = std::make_unique<SerialQueue>(QStringLiteral("vorn-notes"));
        m_receiver = std::make_unique<QObject>();
    }
}

std::shared_ptr<NoteKeeper::Batch> NoteKeeper::startBatch(std::vector<std::pair<QString, QByteArray>> files)
{
    startQueue();
    auto batch = std::make_shared<Batch>();
    ++m_writing;
    QObject* receiver = m_receiver.get();
    m_queue->async([this, folder = m_folder, receiver, files = std::move(files), batch]() mutable {
        std::vector<bool> written = folder.writeAll(files);
        QMetaObject::invokeMethod(
            receiver,
            [this, batch, written = std::move(written)] {
                --m_writing;
                // Back before the notes came (a settle() while the things were made): taken when they do.
                batch->written = written;
                if (batch->kept)
                    tookAll(batch->notes, written, batch->done);
            },
            Qt::QueuedConnection);
    });
    return batch;
}

void NoteKeeper::keepBatch(const std::shared_ptr<Batch>& batch, std::vector<PendingNote> notes,
                           std::function<void(const std::vector<bool>&)> done)
{
    // They wait from now on, on disk too: the records that will name them may be saved any moment.
    QSet<QString> owners;
    for (const PendingNote& note : notes)
        owners.insert(ownerKey(note.owner));
    std::erase_if(m_pending, [&](const PendingNote& p) { return owners.contains(ownerKey(p.owner)); });
    m_pending.insert(m_pending.end(), notes.begin(), notes.end());
    batch->notes = std::move(notes);
    batch->done = std::move(done);
    batch->kept = true;
    const bool stored = store();
    if (batch->written)
        tookAll(batch->notes, *batch->written, batch->done);
    else if (!stored)
        settle(); // kept in memory only, a kill would take them: the records wait for the files
}

void NoteKeeper::tookAll(const std::vector<PendingNote>& notes, const std::vector<bool>& written,
                         const std::function<void(const std::vector<bool>&)>& done)
{
    QSet<QString> landedNow;
    for (std::size_t i = 0; i < notes.size(); ++i) {
        if (!written[i])
            continue;
        landedNow.insert(ownerKey(notes[i].owner));
        remember(notes[i].stem, notes[i].plain, notes[i].rtf);
    }
    if (!landedNow.isEmpty()) {
        std::erase_if(m_pending, [&](const PendingNote& p) { return landedNow.contains(ownerKey(p.owner)); });
        store();
    }
    if (landedNow.size() < qsizetype(notes.size())) {
        qCWarning(lcSync) << notes.size() - std::size_t(landedNow.size())
                          << "new notes not saved, kept to try again";
        failed();
    } else if (m_pending.empty()) {
        m_told = false;
        if (m_retry)
            m_retry->succeeded();
    }
    if (done)
        done(written);
}

void NoteKeeper::took(Written written, const std::function<void(bool)>& done)
{
    --m_writing;
    // The last save of the owner on its way has come back: the record names its file from now on.
    const QString key = ownerKey(written.owner);
    if (const auto writing = m_writingTo.find(key); writing != m_writingTo.end() && --writing->count == 0)
        m_writingTo.remove(key);
    rememberFirst(written.stem, written.before, written.old);
    if (written.ok) {
        drop(written.owner);
        remember(written.stem, written.plain, written.rtf);
    } else {
        qCWarning(lcSync) << "note not saved, kept to try again:" << written.error;
        keep({written.owner, written.stem, written.rtf, written.plain, {}});
        failed();
    }
    if (done)
        done(written.ok);
}

void NoteKeeper::settle()
{
    if (m_writing == 0)
        return;
    m_queue->sync([] {});
    QCoreApplication::sendPostedEvents(m_receiver.get(), QEvent::MetaCall);
}

NoteContent NoteKeeper::content(const NoteOwner& owner, const std::optional<QString>& stem,
                                const QString& plain) const
{
    for (const PendingNote& note : m_pending) {
        if (note.owner == owner)
            return {note.rtf, note.plain};
    }
    return {stem ? m_folder.read(*stem) : std::nullopt, plain};
}

void NoteKeeper::forget(const NoteOwner& owner)
{
    // A save still on its way would bring the note back after this.
    settle();
    drop(owner);
}

void NoteKeeper::follow(const NoteOwner& owner, const QString& stem, const QString& plain)
{
    const auto holds = m_holds.constFind(stem);
    if (holds == m_holds.constEnd() || *holds == plain)
        return;
    if (std::any_of(m_pending.begin(), m_pending.end(),
                    [&](const PendingNote& p) { return p.owner == owner; }))
        return;
    const std::vector<Version>& versions = m_versions[stem];
    const auto match =
        std::find_if(versions.rbegin(), versions.rend(), [&](const Version& v) { return v.plain == plain; });
    if (match == versions.rend())
        return;
    const QByteArray rtf = match->rtf;
    write(owner, stem, rtf, plain, *holds);
}

void NoteKeeper::retry()
{
    settle();
    // Together, with one sync: after a kill mid-import a thousand notes may be waiting.
    std::vector<std::pair<QString, QByteArray>> files;
    files.reserve(m_pending.size());
    for (const PendingNote& note : m_pending)
        files.emplace_back(note.stem, note.rtf);
    const std::vector<bool> written = m_folder.writeAll(files);
    std::vector<PendingNote> landedNow;
    std::vector<PendingNote> waiting;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        if (written[i]) {
            remember(m_pending[i].stem, m_pending[i].plain, m_pending[i].rtf);
            landedNow.push_back(std::move(m_pending[i]));
        } else {
            waiting.push_back(std::move(m_pending[i]));
        }
    }
    m_pending = std::move(waiting);
    if (!landedNow.empty())
        store();
    if (m_pending.empty()) {
        m_told = false;
        if (m_retry)
            m_retry->succeeded();
    } else {
        failed();
    }
    for (const PendingNote& note : landedNow) {
        if (landed)
            landed(note);
    }
}

void NoteKeeper::remember(const QString& stem, const QString& plain, const QByteArray& rtf)
{
    std::vector<Version>& versions = m_versions[stem];
    if (versions.empty() || versions.back().plain != plain || versions.back().rtf != rtf)
        versions.push_back({plain, rtf});
    if (versions.size() > kMaxVersions)
        versions.erase(versions.begin() + 1);
    m_holds.insert(stem, plain);
}

void NoteKeeper::keep(PendingNote note)
{
    const auto same = std::find_if(m_pending.begin(), m_pending.end(),
                                   [&](const PendingNote& p) { return p.owner == note.owner; });
    if (same != m_pending.end())
        *same = std::move(note);
    else
        m_pending.push_back(std::move(note));
    store();
}

void NoteKeeper::drop(const NoteOwner& owner)
{
    const auto gone = std::remove_if(m_pending.begin(), m_pending.end(),
                                     [&](const PendingNote& p) { return p.owner == owner; });
    if (gone == m_pending.end())
        return;
    m_pending.erase(gone, m_pending.end());
    store();
    if (m_pending.empty()) {
        if (m_retry)
            m_retry->succeeded();
        m_told = false;
    }
}

void NoteKeeper::failed()
{
    // Once per spell of failures, not at every keystroke's save or every retry.
    if (!m_told) {
        m_told = true;
        if (m_toast)
            m_toast(kNoteSaveFailed);
    }
    if (m_retry)
        m_retry->failed();
}

bool NoteKeeper::store() const
{
    if (m_pendingPath.isEmpty())
        return false;
    if (m_pending.empty()) {
        QFile::remove(m_pendingPath);
        return true;
    }
    QJsonArray notes;
    for (const PendingNote& note : m_pending) {
        QJsonObject o{
            {QStringLiteral("owner"),
             note.owner.kind == NoteOwner::Kind::thing ? QStringLiteral("thing") : QStringLiteral("shared")},
            {QStringLiteral("id"), note.owner.id},
            {QStringLiteral("stem"), note.stem},
            {QStringLiteral("rtf"), QString::fromLatin1(note.rtf.toBase64())},
            {QStringLiteral("plain"), note.plain},
        };
        if (!note.uid.isEmpty())
            o.insert(QStringLiteral("uid"), note.uid);
        notes.append(o);
    }
    QString error;
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("notes"), notes}}).toJson();
    // A store in memory has no folder made for it yet.
    QDir().mkpath(QFileInfo(m_pendingPath).absolutePath());
    if (writeFileAtomically(m_pendingPath, bytes, &error, FileLinks::Refuse))
        return true;
    qCWarning(lcSync) << "notes waiting for their files are kept in memory only:" << error;
    return false;
}

void NoteKeeper::load()
{
    if (m_pendingPath.isEmpty())
        return;
    const std::optional<QByteArray> bytes =
        readRegularFile(m_pendingPath, kMaxPendingFileSize, nullptr, FileLinks::Refuse);
    if (!bytes)
        return;
    const QJsonArray notes =
        QJsonDocument::fromJson(*bytes).object().value(QStringLiteral("notes")).toArray();
    for (const QJsonValue& value : notes) {
        const QJsonObject o = value.toObject();
        PendingNote note;
        note.owner.kind = o.value(QStringLiteral("owner")).toString() == QLatin1String("shared")
                              ? NoteOwner::Kind::shared
                              : NoteOwner::Kind::thing;
        note.owner.id = o.value(QStringLiteral("id")).toString();
        note.stem = o.value(QStringLiteral("stem")).toString();
        note.rtf = QByteArray::fromBase64(o.value(QStringLiteral("rtf")).toString().toLatin1());
        note.plain = o.value(QStringLiteral("plain")).toString();
        note.uid = o.value(QStringLiteral("uid")).toString();
        // Only what we could write again: a stem that names no file of ours is skipped.
        if (!note.owner.id.isEmpty() && isSafeNoteStem(note.stem) && !note.rtf.isEmpty())
            m_pending.push_back(std::move(note));
    }
}

} // namespace vorn
