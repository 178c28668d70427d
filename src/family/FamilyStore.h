#pragma once

#include "family/SharedThing.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <vector>

struct sqlite3;

namespace vorn {

class SerialQueue;

// A read of the file made on the store's queue, handed over whole: the rows other applications own, the
// rows of ours that `changed` picked, and the ids of ours that other applications deleted.
struct FamilyRead {
    std::vector<SharedThing> others;
    std::vector<SharedThing> ownChanged;
    std::vector<QString> deletedByOthers;
    double ownLatest = 0; // the latest updated_at among the rows of ours read, picked or not
    bool open = false;    // false: the file couldn't be read, and every list is empty
};

// A read of every row of ours, however old.
inline constexpr double kEveryOwnRow = -std::numeric_limits<double>::infinity();

// The SQLite file shared with the planner. Every statement runs on the store's own serial queue and the
// caller waits for it. A store that failed to open answers every call with nothing and writes nothing.
class FamilyStore {
public:
    enum class Mode {
        ReadWrite, // creates the folder, file and schema, purges old tombstones
        ReadOnly,  // never creates or writes anything; a missing file reads as empty
    };
    using Clock = std::function<QDateTime()>;

    explicit FamilyStore(const QString& path, Mode mode = Mode::ReadWrite, Clock clock = {});
    ~FamilyStore(); // a TRUNCATE checkpoint, then close
    FamilyStore(const FamilyStore&) = delete;
    FamilyStore& operator=(const FamilyStore&) = delete;

    const QString& path() const { return m_path; }
    bool isOpen() const;
    const std::optional<QString>& openError() const { return m_openError; }

    void upsert(const SharedThing& thing);
    // Each record exactly as upsert() would write it, in one trip to the queue: a full mirror of
    // thousands of things would otherwise pay the thread hand-off once per thing. One transaction:
    // false, with nothing written, when any row failed.
    bool upsertAll(std::span<const SharedThing> things);
    std::vector<SharedThing> allThings();
    // A whole mirror without waiting for it: writes `things` as upsertAll() does, then marks the
    // rows of `ownApp` that are not among them as deleted by nobody, all on the queue and in one
    // transaction; `done(written)` then runs on `context`'s thread, written false when nothing was.
    // The context must outlive the queued work: drain() before it goes.
    void mirrorAsync(std::vector<SharedThing> things, const QString& ownApp, QObject* context,
                     std::function<void(bool)> done);
    // A read without waiting for it, for a caller that must not block behind queued writes: the live
    // rows, split by `ownApp`, those of ours kept only when `changed(row)` says so (it runs on the queue,
    // so it must only read what it captured). `done(read)` runs on `context`'s thread; the same rules as
    // for mirrorAsync hold. The rows are as the file was after everything queued before this call.
    // Rows of ours written at or before `ownAfter` are not read at all.
    void readAsync(const QString& ownApp, std::function<bool(const SharedThing&)> changed, QObject* context,
                   std::function<void(FamilyRead)> done, double ownAfter = kEveryOwnRow);
    // The same read, waiting for it.
    FamilyRead read(const QString& ownApp, const std::function<bool(const SharedThing&)>& changed,
                    double ownAfter = kEveryOwnRow);
    // Waits until everything queued so far has run.
    void drain();
    void markDeleted(const QString& id, const std::optional<QString>& by);
    std::vector<QString> deletedByOthers(const QString& app);
    void acknowledgeDelete(const QString& id);
    void setDone(const QString& id, bool done);
    void setNote(const QString& id, const std::optional<QString>& noteID, const QString& note);
    void setTitle(const QString& id, const QString& title);

    // The planner's side of the contract: it may also move a row to another day and rewrite its steps.
    void setDay(const QString& id, const std::optional<QString>& day);
    void setSteps(const QString& id, const std::vector<SharedStep>& steps);

    // Writes counted since the last checkpoint (every 32nd counted write truncates the WAL).
    qint64 writes() const;

private:
    struct Connection;
    QString m_path;
    std::optional<QString> m_openError;
    // On the queue only.
    FamilyRead readHere(const QString& ownApp, const std::function<bool(const SharedThing&)>& changed,
                        double ownAfter);
    bool markDeletedHere(const QString& id, const std::optional<QString>& by);
    std::unique_ptr<Connection> m_connection; // touched only on the queue
    std::unique_ptr<SerialQueue> m_queue;
};

// The steps column: a compact JSON array of {"title":…,"done":…} objects, always the same text for the
// same steps. readSteps() gives nothing for a text that isn't such an array; decodeSteps() reads it as
// no steps, which only a display may do: to the sync, unreadable steps are no news, not "no steps".
QString encodeSteps(const std::vector<SharedStep>& steps);
std::optional<std::vector<SharedStep>> readSteps(const QString& json);
std::vector<SharedStep> decodeSteps(const QString& json);

} // namespace vorn
