#include "model/NoteKeeper.h"

#include "files/AtomicFile.h"
#include "model/Logging.h"
#include "model/RetryBackoff.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

NoteKeeper::~NoteKeeper() = default;

QString NoteKeeper::stemFor(const NoteOwner& owner, const std::optional<QString>& current) const
{
    const auto waiting = std::find_if(m_pending.begin(), m_pending.end(),
                                      [&](const PendingNote& p) { return p.owner == owner; });
    if (waiting != m_pending.end())
        return waiting->stem;
    return m_folder.canUse(current) ? *current : NoteFolder::newStem();
}

bool NoteKeeper::write(const NoteOwner& owner, const QString& stem, const QByteArray& rtf,
                       const QString& plain, const QString& before)
{
    // The file's first contents this session go with the record's text then: an undo back to that text
    // brings them back.
    if (!m_versions.contains(stem)) {
        std::vector<Version>& versions = m_versions[stem];
        if (const std::optional<QByteArray> old = m_folder.read(stem)) {
            versions.push_back({before, *old});
            m_holds.insert(stem, before);
        }
    }
    QString error;
    if (m_folder.write(stem, rtf, &error)) {
        drop(owner);
        remember(stem, plain, rtf);
        return true;
    }
    qCWarning(lcSync) << "note not saved, kept to try again:" << error;
    keep({owner, stem, rtf, plain});
    failed();
    return false;
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
    std::vector<PendingNote> landedNow;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (m_folder.write(it->stem, it->rtf)) {
            remember(it->stem, it->plain, it->rtf);
            landedNow.push_back(std::move(*it));
            it = m_pending.erase(it);
        } else {
            ++it;
        }
    }
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

void NoteKeeper::store() const
{
    if (m_pendingPath.isEmpty())
        return;
    if (m_pending.empty()) {
        QFile::remove(m_pendingPath);
        return;
    }
    QJsonArray notes;
    for (const PendingNote& note : m_pending) {
        notes.append(QJsonObject{
            {QStringLiteral("owner"),
             note.owner.kind == NoteOwner::Kind::thing ? QStringLiteral("thing") : QStringLiteral("shared")},
            {QStringLiteral("id"), note.owner.id},
            {QStringLiteral("stem"), note.stem},
            {QStringLiteral("rtf"), QString::fromLatin1(note.rtf.toBase64())},
            {QStringLiteral("plain"), note.plain},
        });
    }
    QString error;
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("notes"), notes}}).toJson();
    if (!writeFileAtomically(m_pendingPath, bytes, &error, FileLinks::Refuse))
        qCWarning(lcSync) << "notes waiting for their files are kept in memory only:" << error;
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
        // Only what we could write again: a stem that names no file of ours is skipped.
        if (!note.owner.id.isEmpty() && isSafeNoteStem(note.stem) && !note.rtf.isEmpty())
            m_pending.push_back(std::move(note));
    }
}

} // namespace vorn
