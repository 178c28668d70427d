#include "family/FamilyStore.h"

#include "family/FamilyConstants.h"
#include "family/SerialQueue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <QUrl>

#include <sqlite3.h>

#include "store/SqliteFile.h"
#include "store/SqliteText.h"

#include <algorithm>
#include <array>

namespace vorn {

namespace {

using sqlite::bindText;
using sqlite::optionalText;
using sqlite::text;

const QLoggingCategory& lcStore()
{
    static const QByteArray name =
        QByteArray(kFamilyLogSubsystem.data(), kFamilyLogSubsystem.size()) + ".store";
    static const QLoggingCategory category(name.constData(), QtInfoMsg);
    return category;
}

// The file format shared with the planner: these texts are executed exactly as written.
const char* const kCreateTable = R"sql(CREATE TABLE IF NOT EXISTS things (
    id TEXT PRIMARY KEY,
    title TEXT NOT NULL,
    done INTEGER NOT NULL DEFAULT 0,
    due_day TEXT,
    zs INTEGER NOT NULL DEFAULT 0,
    steps_json TEXT NOT NULL DEFAULT '[]',
    note_plain TEXT NOT NULL DEFAULT '',
    note_id TEXT,
    link TEXT,
    source_app TEXT NOT NULL,
    updated_at REAL NOT NULL,
    deleted INTEGER NOT NULL DEFAULT 0
);)sql";
const char* const kCreateIndex = "CREATE INDEX IF NOT EXISTS idx_things_due ON things(due_day);";
const char* const kAddDeletedBy = "ALTER TABLE things ADD COLUMN deleted_by TEXT;";

constexpr double kTombstoneLifetime = 604800; // seven days, in seconds
constexpr qint64 kWritesPerCheckpoint = 32;
// The planner may hold the write lock for a moment; wait instead of dropping the write.
constexpr int kBusyTimeoutMs = 5000;

enum Statement {
    Purge,
    Upsert,
    AllThings,
    LiveRowsSince,
    StoredRow,
    MarkDeleted,
    DeletedByOthers,
    AcknowledgeDelete,
    SetDone,
    SetNote,
    SetTitle,
    SetDay,
    SetSteps,
    StatementCount,
};

const std::array<const char*, StatementCount> kStatements = {
    "DELETE FROM things WHERE deleted = 1 AND updated_at < ?;",
    R"sql(INSERT INTO things (id, title, done, due_day, zs, steps_json, note_plain, note_id, link, source_app, updated_at, deleted)
VALUES (?,?,?,?,?,?,?,?,?,?,?,0)
ON CONFLICT(id) DO UPDATE SET
    title=excluded.title, done=excluded.done, due_day=excluded.due_day, zs=excluded.zs,
    steps_json=excluded.steps_json, note_plain=excluded.note_plain, note_id=excluded.note_id,
    link=excluded.link, source_app=excluded.source_app, updated_at=excluded.updated_at, deleted=0,
    deleted_by=NULL
WHERE things.deleted = 0 OR things.deleted_by IS NULL;)sql",
    "SELECT id, title, done, due_day, zs, steps_json, note_plain, note_id, link, source_app, updated_at "
    "FROM things WHERE deleted = 0;",
    "SELECT id, title, done, due_day, zs, steps_json, note_plain, note_id, link, source_app, updated_at "
    "FROM things WHERE deleted = 0 AND (source_app IS NOT ? OR updated_at > ?);",
    "SELECT title, done, due_day, zs, steps_json, note_plain, note_id, link, source_app, deleted "
    "FROM things WHERE id = ?;",
    "UPDATE things SET deleted = 1, deleted_by = ?, updated_at = ? WHERE id = ? AND deleted = 0;",
    "SELECT id FROM things WHERE source_app = ? AND deleted = 1 "
    "AND deleted_by IS NOT NULL AND deleted_by != ?;",
    "UPDATE things SET deleted_by = NULL WHERE id = ? AND deleted = 1 AND deleted_by IS NOT NULL;",
    "UPDATE things SET done = ?, updated_at = ? WHERE id = ? AND done != ?;",
    "UPDATE things SET note_id = ?, note_plain = ?, updated_at = ? WHERE id = ? AND (note_id IS NOT ? OR "
    "note_plain != ?) AND deleted = 0;",
    "UPDATE things SET title = ?, updated_at = ? WHERE id = ? AND title != ? AND deleted = 0;",
    "UPDATE things SET due_day = ?, updated_at = ? WHERE id = ? AND due_day IS NOT ? AND deleted = 0;",
    "UPDATE things SET steps_json = ?, updated_at = ? WHERE id = ? AND steps_json != ? AND deleted = 0;",
};

// The stored bytes of a column, or nothing when it is NULL.
std::optional<QByteArrayView> columnBytes(sqlite3_stmt* s, int col)
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, col));
    if (!p)
        return std::nullopt;
    return QByteArrayView(p, sqlite3_column_bytes(s, col));
}

bool sameText(sqlite3_stmt* s, int col, const QString& value)
{
    const auto stored = columnBytes(s, col);
    return stored && *stored == value.toUtf8();
}

bool sameOptionalText(sqlite3_stmt* s, int col, const std::optional<QString>& value)
{
    if (sqlite3_column_type(s, col) == SQLITE_NULL)
        return !value;
    return value && sameText(s, col, *value);
}

// Whether the header says the file uses write-ahead logging (read and write versions 2).
bool isWalFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = file.read(20);
    return header.size() == 20 && header.startsWith(QByteArrayView("SQLite format 3\0", 16)) &&
           header[18] == 2 && header[19] == 2;
}

// Every column of ours a family store's table has; deleted_by is added on open when it is missing.
constexpr const char* kFamilyColumns[] = {"id",   "title",      "done",       "due_day",
                                          "zs",   "steps_json", "note_plain", "note_id",
                                          "link", "source_app", "updated_at", "deleted"};

std::optional<QStringList> names(sqlite3* db, const char* sql)
{
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
        return std::nullopt;
    QStringList out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        out << text(s, 0);
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        return std::nullopt;
    return out;
}

// Why the open database isn't a family store: it holds tables, but no `things` table of ours. The
// pragmas, the schema and the purge would otherwise write into another program's database (family.db
// may be a link to one), so nothing is run on it. An empty database becomes a family store. A link to
// a family store is followed: SQLite resolves it, so the journal and the WAL live beside the real
// file, which both processes then share whichever name they open.
std::optional<QString> foreignDatabase(sqlite3* db, const QString& path)
{
    const std::optional<QStringList> tables =
        names(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
    if (!tables)
        return QString::fromUtf8(sqlite3_errmsg(db));
    if (tables->isEmpty())
        return std::nullopt;
    if (tables->contains(QLatin1String("things"))) {
        const std::optional<QStringList> columns = names(db, "SELECT name FROM pragma_table_info('things')");
        if (!columns)
            return QString::fromUtf8(sqlite3_errmsg(db));
        if (std::all_of(std::begin(kFamilyColumns), std::end(kFamilyColumns),
                        [&](const char* column) { return columns->contains(QLatin1String(column)); }))
            return std::nullopt;
    }
    const QFileInfo info(path);
    if (info.isSymLink())
        return QStringLiteral("%1 links to %2, a database of some other program; it is left as it is")
            .arg(path, info.symLinkTarget());
    return QStringLiteral("%1 is a database of some other program, not a family store; it is left as it is")
        .arg(path);
}

} // namespace

struct FamilyStore::Connection {
    sqlite3* db = nullptr;
    Mode mode = Mode::ReadWrite;
    Clock clock;
    qint64 writes = 0;
    std::array<sqlite3_stmt*, StatementCount> statements{};

    double now() const { return double(clock().toMSecsSinceEpoch()) / 1000.0; }
    bool canWrite() const { return db && mode == Mode::ReadWrite; }

    // Holds one cached statement for one use, and resets it afterwards: a statement left mid-step would
    // keep a read open and stop the checkpoint from truncating the WAL.
    class Use {
    public:
        explicit Use(sqlite3_stmt* s) : m_stmt(s) {}
        ~Use()
        {
            if (m_stmt) {
                sqlite3_reset(m_stmt);
                sqlite3_clear_bindings(m_stmt);
            }
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        explicit operator bool() const { return m_stmt != nullptr; }
        sqlite3_stmt* get() const { return m_stmt; }

    private:
        sqlite3_stmt* m_stmt;
    };

    // Prepared once and kept for the life of the connection; a failed prepare is retried on the next use.
    Use statement(Statement which)
    {
        sqlite3_stmt*& s = statements[which];
        if (!s && db &&
            sqlite3_prepare_v3(db, kStatements[which], -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) !=
                SQLITE_OK) {
            qCDebug(lcStore, "family store couldn't prepare a statement: %s", sqlite3_errmsg(db));
            s = nullptr;
        }
        return Use(s);
    }

    void logFailedStep(int rc) const
    {
        if (rc != SQLITE_DONE && rc != SQLITE_ROW)
            qCWarning(lcStore, "family store statement failed: %s", sqlite3_errmsg(db));
    }

    void checkpoint() const
    {
        sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    }

    void countWrite()
    {
        ++writes;
        // Inside a transaction the checkpoint could not truncate anything; the commit does it then.
        if (writes >= kWritesPerCheckpoint && db && sqlite3_get_autocommit(db)) {
            writes = 0;
            checkpoint();
        }
    }

    // Runs `work` as one transaction: the planner sees all of it or, when any statement fails, none.
    template <typename Work> bool transaction(Work&& work)
    {
        if (!canWrite())
            return false;
        if (sqlite3_exec(db, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) != SQLITE_OK) {
            logFailedStep(sqlite3_errcode(db));
            return false;
        }
        if (work() && sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr) == SQLITE_OK) {
            if (writes >= kWritesPerCheckpoint) {
                writes = 0;
                checkpoint();
            }
            return true;
        }
        logFailedStep(sqlite3_errcode(db));
        // An I/O error may have rolled it back already; then this is a harmless no-op.
        if (!sqlite3_get_autocommit(db))
            sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
        return false;
    }

    // Runs an UPDATE whose WHERE clause makes it a no-op when the value is already in place; only a
    // changed row counts as a write. False when the statement failed.
    template <typename Bind> bool update(Statement which, Bind&& bind)
    {
        if (!canWrite())
            return false;
        Use use = statement(which);
        if (!use)
            return false;
        bind(use.get());
        const int rc = sqlite3_step(use.get());
        logFailedStep(rc);
        if (rc == SQLITE_DONE && sqlite3_changes(db) > 0)
            countWrite();
        return rc == SQLITE_DONE;
    }

    void fail(const QString& message)
    {
        qCCritical(lcStore, "family store didn't open: %s", qUtf8Printable(message));
        close();
    }

    void open(const QString& path, std::optional<QString>& openError)
    {
        QByteArray file = QFile::encodeName(path);
        if (path != QLatin1String(":memory:")) {
            if (const std::optional<QString> problem = sqlite::fileProblem(path)) {
                openError = *problem;
                fail(*openError);
                return;
            }
        }
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
        if (mode == Mode::ReadOnly) {
            // A reader must not leave an empty family file behind for the planner to find.
            if (!QFileInfo::exists(path))
                return;
            flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX;
            // Reading a WAL file that nobody has open would make SQLite create "-wal" and "-shm" beside
            // it and leave them there. Without a "-wal" every row is in the file itself and no process
            // is writing it, so it is read as it stands.
            if (isWalFile(path) && !QFileInfo::exists(path + QStringLiteral("-wal"))) {
                file = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1";
                flags |= SQLITE_OPEN_URI;
            }
        } else {
            QDir().mkpath(QFileInfo(path).absolutePath());
        }

        if (sqlite3_open_v2(file.constData(), &db, flags, nullptr) != SQLITE_OK) {
            openError = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("couldn't open ") + path;
            fail(*openError);
            return;
        }
        sqlite3_busy_timeout(db, kBusyTimeoutMs);

        // The pragmas and the schema would write into whatever file this is; a file that isn't a
        // database (or is damaged) must be reported and left exactly as it was.
        sqlite3_stmt* probe = nullptr;
        int rc = sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_master", -1, &probe, nullptr);
        if (rc == SQLITE_OK)
            rc = sqlite3_step(probe);
        if (rc != SQLITE_ROW) {
            openError = QString::fromUtf8(sqlite3_errmsg(db));
            sqlite3_finalize(probe);
            fail(*openError);
            return;
        }
        sqlite3_finalize(probe);
        if (std::optional<QString> problem = foreignDatabase(db, path)) {
            openError = std::move(problem);
            fail(*openError);
            return;
        }

        if (mode == Mode::ReadOnly)
            return;

        for (const char* sql : {"PRAGMA journal_mode=WAL;", "PRAGMA synchronous=NORMAL;", kCreateTable,
                                kCreateIndex, kAddDeletedBy})
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr); // the ALTER fails on every later open

        if (Use purge = statement(Purge)) {
            sqlite3_bind_double(purge.get(), 1, now() - kTombstoneLifetime);
            logFailedStep(sqlite3_step(purge.get()));
        }
    }

    void close()
    {
        for (sqlite3_stmt*& s : statements) {
            sqlite3_finalize(s);
            s = nullptr;
        }
        sqlite3_close(db);
        db = nullptr;
    }

    bool storedRowMatches(const SharedThing& thing, const QString& stepsJson)
    {
        Use use = statement(StoredRow);
        if (!use)
            return false;
        sqlite3_stmt* s = use.get();
        bindText(s, 1, thing.id);
        if (sqlite3_step(s) != SQLITE_ROW)
            return false;
        // zs at full width: a stored value beyond 32 bits is rewritten, not taken for equal.
        return sqlite3_column_int64(s, 9) == 0 && sameText(s, 0, thing.title) &&
               (sqlite3_column_int64(s, 1) != 0) == thing.done && sameOptionalText(s, 2, thing.day) &&
               sqlite3_column_int64(s, 3) == thing.zs && sameText(s, 4, stepsJson) &&
               sameText(s, 5, thing.note) && sameOptionalText(s, 6, thing.noteID) &&
               sameOptionalText(s, 7, thing.link) && sameText(s, 8, thing.sourceApp);
    }

    // False when the row could not be written.
    bool upsert(const SharedThing& thing)
    {
        if (!canWrite())
            return false;
        const QString stepsJson = encodeSteps(thing.steps);
        if (storedRowMatches(thing, stepsJson))
            return true;
        Use use = statement(Upsert);
        if (!use)
            return false;
        sqlite3_stmt* s = use.get();
        bindText(s, 1, thing.id);
        bindText(s, 2, thing.title);
        sqlite3_bind_int(s, 3, thing.done ? 1 : 0);
        bindText(s, 4, thing.day);
        sqlite3_bind_int(s, 5, thing.zs);
        bindText(s, 6, stepsJson);
        bindText(s, 7, thing.note);
        bindText(s, 8, thing.noteID);
        bindText(s, 9, thing.link);
        bindText(s, 10, thing.sourceApp);
        sqlite3_bind_double(s, 11, now());
        const int rc = sqlite3_step(s);
        logFailedStep(rc);
        if (rc != SQLITE_DONE)
            return false;
        // Counted even when the conflict clause kept a tombstone: the statement ran.
        countWrite();
        return true;
    }

    std::vector<SharedThing> allThings()
    {
        Use use = statement(AllThings);
        return rows(use.get());
    }

    // Every live row of the others, and those of `app` written after `after`.
    std::vector<SharedThing> liveRowsSince(const QString& app, double after)
    {
        Use use = statement(LiveRowsSince);
        if (use) {
            bindText(use.get(), 1, app);
            sqlite3_bind_double(use.get(), 2, after);
        }
        return rows(use.get());
    }

    std::vector<SharedThing> rows(sqlite3_stmt* s)
    {
        std::vector<SharedThing> things;
        if (!s)
            return things;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            SharedThing& t = things.emplace_back();
            t.id = text(s, 0);
            t.title = text(s, 1);
            t.done = sqlite3_column_int64(s, 2) != 0;
            t.day = optionalText(s, 3);
            t.zs = sqlite3_column_int(s, 4);
            if (const auto column = columnBytes(s, 5)) {
                std::optional<std::vector<SharedStep>> steps = readSteps(QString::fromUtf8(*column));
                t.stepsUnreadable = !steps;
                if (steps)
                    t.steps = std::move(*steps);
            }
            t.note = text(s, 6);
            t.noteID = optionalText(s, 7);
            t.link = optionalText(s, 8);
            t.sourceApp = text(s, 9);
            t.updatedAt = sqlite3_column_double(s, 10);
        }
        logFailedStep(rc);
        return things;
    }

    std::vector<QString> deletedByOthers(const QString& app)
    {
        std::vector<QString> ids;
        Use use = statement(DeletedByOthers);
        if (!use)
            return ids;
        sqlite3_stmt* s = use.get();
        bindText(s, 1, app);
        bindText(s, 2, app);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            if (sqlite3_column_type(s, 0) != SQLITE_NULL)
                ids.push_back(text(s, 0));
        }
        logFailedStep(rc);
        return ids;
    }
};

FamilyStore::FamilyStore(const QString& path, Mode mode, Clock clock)
    : m_path(path), m_connection(std::make_unique<Connection>()),
      m_queue(std::make_unique<SerialQueue>(kFamilyStoreQueueLabel))
{
    m_connection->mode = mode;
    m_connection->clock = clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTimeUtc(); });
    m_queue->sync([this] { m_connection->open(m_path, m_openError); });
}

FamilyStore::~FamilyStore()
{
    m_queue->sync([this] {
        Connection& c = *m_connection;
        if (!c.db)
            return;
        if (c.mode == Mode::ReadWrite)
            c.checkpoint();
        c.close();
    });
}

bool FamilyStore::isOpen() const
{
    // Set once by the constructor's open and cleared only by the destructor.
    return m_connection->db != nullptr;
}

qint64 FamilyStore::writes() const
{
    qint64 count = 0;
    m_queue->sync([&] { count = m_connection->writes; });
    return count;
}

void FamilyStore::upsert(const SharedThing& thing)
{
    m_queue->sync([&] { m_connection->upsert(thing); });
}

bool FamilyStore::upsertAll(std::span<const SharedThing> things)
{
    bool written = false;
    m_queue->sync([&] {
        written = m_connection->transaction([&] {
            return std::all_of(things.begin(), things.end(),
                               [&](const SharedThing& thing) { return m_connection->upsert(thing); });
        });
    });
    return written;
}

void FamilyStore::mirrorAsync(std::vector<SharedThing> things, const QString& ownApp, QObject* context,
                              std::function<void(bool)> done)
{
    m_queue->async([this, things = std::move(things), ownApp, context, done = std::move(done)] {
        const bool written = m_connection->transaction([&] {
            QSet<QString> listed;
            listed.reserve(qsizetype(things.size()));
            for (const SharedThing& thing : things) {
                listed.insert(thing.id);
                if (!m_connection->upsert(thing))
                    return false;
            }
            for (const SharedThing& row : m_connection->allThings()) {
                if (row.sourceApp == ownApp && !listed.contains(row.id) &&
                    !markDeletedHere(row.id, std::nullopt))
                    return false;
            }
            return true;
        });
        if (context && done)
            QMetaObject::invokeMethod(
                context, [done, written] { done(written); }, Qt::QueuedConnection);
    });
}

FamilyRead FamilyStore::readHere(const QString& ownApp,
                                 const std::function<bool(const SharedThing&)>& changed, double ownAfter)
{
    FamilyRead read;
    if (!m_connection->db)
        return read;
    for (SharedThing& row : m_connection->liveRowsSince(ownApp, ownAfter)) {
        if (row.sourceApp != ownApp) {
            read.others.push_back(std::move(row));
            continue;
        }
        read.ownLatest = std::max(read.ownLatest, row.updatedAt);
        if (!changed || changed(row))
            read.ownChanged.push_back(std::move(row));
    }
    read.deletedByOthers = m_connection->deletedByOthers(ownApp);
    read.open = true;
    return read;
}

FamilyRead FamilyStore::read(const QString& ownApp, const std::function<bool(const SharedThing&)>& changed,
                             double ownAfter)
{
    FamilyRead read;
    m_queue->sync([&] { read = readHere(ownApp, changed, ownAfter); });
    return read;
}

void FamilyStore::readAsync(const QString& ownApp, std::function<bool(const SharedThing&)> changed,
                            QObject* context, std::function<void(FamilyRead)> done, double ownAfter)
{
    m_queue->async(
        [this, ownApp, changed = std::move(changed), context, done = std::move(done), ownAfter]() mutable {
            FamilyRead read = readHere(ownApp, changed, ownAfter);
            // What `changed` captured goes before the caller hears back and next writes its own copy.
            changed = nullptr;
            if (context && done)
                QMetaObject::invokeMethod(
                    context, [done, read = std::move(read)]() mutable { done(std::move(read)); },
                    Qt::QueuedConnection);
        });
}

void FamilyStore::drain()
{
    m_queue->sync([] {});
}

std::vector<SharedThing> FamilyStore::allThings()
{
    std::vector<SharedThing> things;
    m_queue->sync([&] { things = m_connection->allThings(); });
    return things;
}

void FamilyStore::markDeleted(const QString& id, const std::optional<QString>& by)
{
    m_queue->sync([&] { markDeletedHere(id, by); });
}

bool FamilyStore::markDeletedHere(const QString& id, const std::optional<QString>& by)
{
    return m_connection->update(MarkDeleted, [&](sqlite3_stmt* s) {
        bindText(s, 1, by);
        sqlite3_bind_double(s, 2, m_connection->now());
        bindText(s, 3, id);
    });
}

std::vector<QString> FamilyStore::deletedByOthers(const QString& app)
{
    std::vector<QString> ids;
    m_queue->sync([&] { ids = m_connection->deletedByOthers(app); });
    return ids;
}

void FamilyStore::acknowledgeDelete(const QString& id)
{
    m_queue->sync(
        [&] { m_connection->update(AcknowledgeDelete, [&](sqlite3_stmt* s) { bindText(s, 1, id); }); });
}

void FamilyStore::setDone(const QString& id, bool done)
{
    m_queue->sync([&] {
        m_connection->update(SetDone, [&](sqlite3_stmt* s) {
            sqlite3_bind_int(s, 1, done ? 1 : 0);
            sqlite3_bind_double(s, 2, m_connection->now());
            bindText(s, 3, id);
            sqlite3_bind_int(s, 4, done ? 1 : 0);
        });
    });
}

void FamilyStore::setNote(const QString& id, const std::optional<QString>& noteID, const QString& note)
{
    m_queue->sync([&] {
        m_connection->update(SetNote, [&](sqlite3_stmt* s) {
            bindText(s, 1, noteID);
            bindText(s, 2, note);
            sqlite3_bind_double(s, 3, m_connection->now());
            bindText(s, 4, id);
            bindText(s, 5, noteID);
            bindText(s, 6, note);
        });
    });
}

void FamilyStore::setTitle(const QString& id, const QString& title)
{
    m_queue->sync([&] {
        m_connection->update(SetTitle, [&](sqlite3_stmt* s) {
            bindText(s, 1, title);
            sqlite3_bind_double(s, 2, m_connection->now());
            bindText(s, 3, id);
            bindText(s, 4, title);
        });
    });
}

void FamilyStore::setDay(const QString& id, const std::optional<QString>& day)
{
    m_queue->sync([&] {
        m_connection->update(SetDay, [&](sqlite3_stmt* s) {
            bindText(s, 1, day);
            sqlite3_bind_double(s, 2, m_connection->now());
            bindText(s, 3, id);
            bindText(s, 4, day);
        });
    });
}

void FamilyStore::setSteps(const QString& id, const std::vector<SharedStep>& steps)
{
    m_queue->sync([&] {
        const QString json = encodeSteps(steps);
        m_connection->update(SetSteps, [&](sqlite3_stmt* s) {
            bindText(s, 1, json);
            sqlite3_bind_double(s, 2, m_connection->now());
            bindText(s, 3, id);
            bindText(s, 4, json);
        });
    });
}

} // namespace vorn
