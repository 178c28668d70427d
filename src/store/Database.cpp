#include "store/Database.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QUrl>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <sqlite3.h>
#include <unistd.h>

#include "store/SqliteFile.h"
#include "store/SqliteText.h"
#include "store/WalCheckpointer.h"

namespace vorn {

namespace {

using sqlite::bindText;
using sqlite::optionalText;
using sqlite::text;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS thing (
    id INTEGER PRIMARY KEY,
    title TEXT NOT NULL,
    created_at INTEGER NOT NULL,
    done_at INTEGER,
    snoozed_until INTEGER,
    z_count INTEGER NOT NULL DEFAULT 0,
    sort_key REAL NOT NULL,
    pile_id INTEGER,
    came_from TEXT,
    note TEXT NOT NULL DEFAULT '',
    note_id TEXT,
    sync_id TEXT NOT NULL,
    calendar_text TEXT,
    changed_at INTEGER
);
CREATE TABLE IF NOT EXISTS pile (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL,
    created_at INTEGER NOT NULL,
    sort_key REAL NOT NULL
);
CREATE TABLE IF NOT EXISTS step (
    id INTEGER PRIMARY KEY,
    title TEXT NOT NULL,
    done_at INTEGER,
    sort_key REAL NOT NULL,
    thing_id INTEGER,
    sync_id TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS meta (
    key TEXT PRIMARY KEY,
    value INTEGER
);
)sql";

enum Slot { PutThing, PutPile, PutStep, DelThing, DelPile, DelStep, PutMeta, SlotCount };

QDateTime instant(sqlite3_stmt* s, int col)
{
    return QDateTime::fromMSecsSinceEpoch(sqlite3_column_int64(s, col), Qt::UTC);
}

std::optional<QDateTime> optionalInstant(sqlite3_stmt* s, int col)
{
    if (sqlite3_column_type(s, col) == SQLITE_NULL)
        return std::nullopt;
    return instant(s, col);
}

const char* sqlOf(int slot)
{
    switch (slot) {
    case PutThing:
        return "INSERT OR REPLACE INTO thing (id, title, created_at, done_at, snoozed_until, z_count, "
               "sort_key, pile_id, came_from, note, note_id, sync_id, calendar_text, changed_at) "
               "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";
    case PutPile:
        return "INSERT OR REPLACE INTO pile (id, name, created_at, sort_key) VALUES (?, ?, ?, ?)";
    case PutStep:
        return "INSERT OR REPLACE INTO step (id, title, done_at, sort_key, thing_id, sync_id) "
               "VALUES (?, ?, ?, ?, ?, ?)";
    case DelThing:
        return "DELETE FROM thing WHERE id = ?";
    case DelPile:
        return "DELETE FROM pile WHERE id = ?";
    case DelStep:
        return "DELETE FROM step WHERE id = ?";
    case PutMeta:
        return "INSERT OR REPLACE INTO meta (key, value) VALUES (?, ?)";
    }
    return nullptr;
}

QString newSyncID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// Why the store's folder takes no new files, for a message that says more than "unable to open".
QString folderProblem(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK) == 0)
        return {};
    return QStringLiteral(" (%1 can't be written: %2)")
        .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

std::unique_ptr<Database> Database::open(const QString& path, bool readOnly, QString* error)
{
    auto fail = [&](const QString& message) {
        if (error)
            *error = message;
        return std::unique_ptr<Database>();
    };

    const bool memory = path == QLatin1String(":memory:");
    if (!memory) {
        const QFileInfo info(path);
        if (info.isDir())
            return fail(QStringLiteral("%1 is a folder, not a store file").arg(path));
        if (const std::optional<QString> problem = sqlite::fileProblem(path))
            return fail(*problem);
        if (readOnly && !info.exists())
            return std::unique_ptr<Database>(new Database); // nothing stored yet: an empty store
        if (!readOnly && !QDir().mkpath(info.absolutePath()))
            return fail(QStringLiteral("can't create the folder %1").arg(info.absolutePath()));
    }

    const QByteArray name = memory ? QByteArray(":memory:") : QFile::encodeName(path);
    std::unique_ptr<Database> db;
    int version = 0;
    bool hasThingTable = false;
    int tableCount = 0;
    // Read before writing anything: a file that is not ours, or not a database at all, stays untouched.
    auto openAndLook = [&](const QByteArray& file, int flags) {
        db.reset(new Database);
        version = 0;
        hasThingTable = false;
        tableCount = 0;
        if (sqlite3_open_v2(file.constData(), &db->m_db, flags, nullptr) != SQLITE_OK)
            return false;
        sqlite3_extended_result_codes(db->m_db, 1);
        // Another instance (or the read-only list view) may hold a lock for a moment.
        sqlite3_busy_timeout(db->m_db, 5000);
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db->m_db, "SELECT name FROM sqlite_master WHERE type = 'table'", -1, &s,
                               nullptr) != SQLITE_OK)
            return false;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            ++tableCount;
            if (text(s, 0) == QLatin1String("thing"))
                hasThingTable = true;
        }
        sqlite3_finalize(s);
        if (rc != SQLITE_DONE)
            return false;
        if (sqlite3_prepare_v2(db->m_db, "PRAGMA user_version", -1, &s, nullptr) != SQLITE_OK)
            return false;
        if (sqlite3_step(s) == SQLITE_ROW)
            version = sqlite3_column_int(s, 0);
        sqlite3_finalize(s);
        return true;
    };
    const int flags = readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (!openAndLook(name, flags)) {
        const QString why = db->lastError();
        // Reading a store in WAL mode needs a "-shm" file beside it, which a read-only disk (or a folder
        // we may not write) can't take. With no "-wal" there either, nobody is writing the file and
        // every row is in it: it is read as it stands.
        const bool cantMakeShm = (sqlite3_extended_errcode(db->m_db) & 0xff) == SQLITE_CANTOPEN;
        if (!readOnly || memory || !cantMakeShm || QFileInfo::exists(path + QStringLiteral("-wal")) ||
            !openAndLook(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toEncoded() + "?immutable=1",
                         SQLITE_OPEN_READONLY | SQLITE_OPEN_URI))
            return fail(memory ? why : QStringLiteral("%1: %2%3").arg(path, why, folderProblem(path)));
    }
    if (tableCount > 0 && !hasThingTable)
        return fail(QStringLiteral("%1 is a database, but not a vorn todo store").arg(path));
    if (version > kSchemaVersion)
        return fail(
            QStringLiteral("the store was written by a newer version of vorn todo (format %1)").arg(version));

    // A file another process has only just made holds no tables yet: to a reader it is an empty store.
    if (readOnly && tableCount == 0)
        return std::unique_ptr<Database>(new Database);
    const auto hasChangedAt = [&db] {
        sqlite3_stmt* probe = nullptr;
        const bool has = sqlite3_prepare_v2(db->m_db, "SELECT changed_at FROM thing LIMIT 0", -1, &probe,
                                            nullptr) == SQLITE_OK;
        sqlite3_finalize(probe);
        return has;
    };
    if (readOnly) {
        db->m_version = version;
        db->m_hasChangedAt = hasChangedAt();
        return db;
    }

    // WAL keeps the file readable after a crash mid-write and lets readers in while we save.
    if (!memory && !db->exec("PRAGMA journal_mode = WAL", error))
        return nullptr;
    if (!db->exec("PRAGMA synchronous = NORMAL", error))
        return nullptr;
    if (!memory) {
        db->m_checkpointer = std::make_unique<WalCheckpointer>(name);
        db->m_checkpointer->watch(db->m_db);
    }
    if (version < kSchemaVersion) {
        if (!db->exec("BEGIN IMMEDIATE", error))
            return nullptr;
        if (!db->exec(kSchema, error) || !db->migrate(version, error) ||
            !db->exec("PRAGMA user_version = 2", error)) {
            db->exec("ROLLBACK", nullptr);
            return nullptr;
        }
        if (!db->exec("COMMIT", error))
            return nullptr;
    }
    if (!hasChangedAt() && !db->exec("ALTER TABLE thing ADD COLUMN changed_at INTEGER", error))
        return nullptr;
    db->m_version = kSchemaVersion;
    return db;
}

bool Database::migrate(int from, QString* error)
{
    if (from < 1 || from >= 2) // a new file got today's tables whole
        return true;
    // Format 2: steps get ids of their own that other programs can know them by, and things keep the
    // calendar text they last came in as. Steps stored before get their ids here, once.
    if (!exec("ALTER TABLE step ADD COLUMN sync_id TEXT NOT NULL DEFAULT ''", error) ||
        !exec("ALTER TABLE thing ADD COLUMN calendar_text TEXT", error))
        return false;
    sqlite3_stmt* pick = nullptr;
    sqlite3_stmt* put = nullptr;
    bool ok =
        sqlite3_prepare_v2(m_db, "SELECT id FROM step WHERE sync_id = ''", -1, &pick, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(m_db, "UPDATE step SET sync_id = ? WHERE id = ?", -1, &put, nullptr) == SQLITE_OK;
    std::vector<qint64> ids;
    int rc = SQLITE_DONE;
    while (ok && (rc = sqlite3_step(pick)) == SQLITE_ROW)
        ids.push_back(sqlite3_column_int64(pick, 0));
    ok = ok && rc == SQLITE_DONE;
    for (const qint64 id : ids) {
        if (!ok)
            break;
        sqlite3_reset(put);
        bindText(put, 1, newSyncID());
        sqlite3_bind_int64(put, 2, id);
        ok = sqlite3_step(put) == SQLITE_DONE;
    }
    if (!ok && error)
        *error = lastError();
    sqlite3_finalize(pick);
    sqlite3_finalize(put);
    return ok;
}

Database::~Database()
{
    // Its connection goes first; closing ours then copies what is left of the log, as the last one.
    m_checkpointer.reset();
    for (sqlite3_stmt* s : m_statements)
        sqlite3_finalize(s);
    if (m_db)
        sqlite3_close(m_db);
}

QString Database::lastError() const
{
    return m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
}

bool Database::exec(const char* sql, QString* error)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? QString::fromUtf8(message) : lastError();
    sqlite3_free(message);
    return false;
}

sqlite3_stmt* Database::statement(int slot, const char* sql, QString* error)
{
    if (m_statements.empty())
        m_statements.assign(SlotCount, nullptr);
    sqlite3_stmt*& s = m_statements[slot];
    if (!s && sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &s, nullptr) != SQLITE_OK) {
        if (error)
            *error = lastError();
        s = nullptr;
    }
    if (s) {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
    return s;
}

bool Database::load(std::vector<std::shared_ptr<Record>>& out, Counters& counters, QString* error)
{
    counters = Counters();
    if (!m_db)
        return true;

    auto failed = [&]() {
        if (error)
            *error = lastError();
        return false;
    };
    sqlite3_stmt* s = nullptr;
    qint64 maxNumber = 0;

    QHash<qint64, std::shared_ptr<Pile>> piles;
    if (sqlite3_prepare_v2(m_db, "SELECT id, name, created_at, sort_key FROM pile ORDER BY id", -1, &s,
                           nullptr) != SQLITE_OK)
        return failed();
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        auto p = std::make_shared<Pile>();
        p->m_id = {EntityKind::Pile, sqlite3_column_int64(s, 0)};
        p->m_name = text(s, 1);
        p->m_createdAt = instant(s, 2);
        p->m_sortKey = sqlite3_column_double(s, 3);
        maxNumber = std::max(maxNumber, p->m_id.number);
        piles.insert(p->m_id.number, p);
        out.push_back(p);
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        return failed();

    QHash<qint64, std::shared_ptr<Thing>> things;
    things.reserve(1024);
    if (sqlite3_prepare_v2(
            m_db,
            QByteArray(QByteArray("SELECT id, title, created_at, done_at, snoozed_until, z_count, sort_key, "
                                  "pile_id, came_from, note, note_id, sync_id, ") +
                       (m_version >= 2 ? "calendar_text, " : "NULL, ") +
                       (m_hasChangedAt ? "changed_at" : "NULL") + " FROM thing ORDER BY id")
                .constData(),
            -1, &s, nullptr) != SQLITE_OK)
        return failed();
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        auto t = std::make_shared<Thing>();
        t->m_id = {EntityKind::Thing, sqlite3_column_int64(s, 0)};
        t->m_title = text(s, 1);
        t->m_createdAt = instant(s, 2);
        t->m_doneAt = optionalInstant(s, 3);
        t->m_snoozedUntil = optionalInstant(s, 4);
        t->m_zCount = sqlite3_column_int(s, 5);
        t->m_sortKey = sqlite3_column_double(s, 6);
        if (sqlite3_column_type(s, 7) != SQLITE_NULL)
            t->m_pile = piles.value(sqlite3_column_int64(s, 7));
        t->m_cameFrom = optionalText(s, 8);
        t->m_note = text(s, 9);
        t->m_noteID = optionalText(s, 10);
        t->m_syncID = text(s, 11);
        t->m_calendarText = text(s, 12);
        if (sqlite3_column_type(s, 13) != SQLITE_NULL)
            t->m_changedAt = instant(s, 13);
        maxNumber = std::max(maxNumber, t->m_id.number);
        things.insert(t->m_id.number, t);
        out.push_back(t);
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        return failed();

    // A file of the first format read without changing it: its steps get ids for this session only.
    if (sqlite3_prepare_v2(
            m_db,
            m_version >= 2 ? "SELECT id, title, done_at, sort_key, thing_id, sync_id FROM step ORDER BY id"
                           : "SELECT id, title, done_at, sort_key, thing_id, '' FROM step ORDER BY id",
            -1, &s, nullptr) != SQLITE_OK)
        return failed();
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        std::shared_ptr<Thing> owner = things.value(sqlite3_column_int64(s, 4));
        const qint64 number = sqlite3_column_int64(s, 0);
        maxNumber = std::max(maxNumber, number);
        if (!owner)
            continue; // a step whose thing is gone is unreachable; leave the row alone
        auto st = std::make_shared<Step>();
        st->m_id = {EntityKind::Step, number};
        st->m_title = text(s, 1);
        st->m_doneAt = optionalInstant(s, 2);
        st->m_sortKey = sqlite3_column_double(s, 3);
        st->m_thing = std::move(owner);
        st->m_syncID = text(s, 5);
        if (st->m_syncID.isEmpty())
            st->m_syncID = newSyncID();
        out.push_back(st);
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        return failed();

    // Numbers are never reused, even those of records deleted before the last save.
    if (sqlite3_prepare_v2(m_db, "SELECT key, value FROM meta WHERE key IN ('next_id', 'generation')", -1, &s,
                           nullptr) != SQLITE_OK)
        return failed();
    qint64 stored = 0;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        if (text(s, 0) == QLatin1String("next_id"))
            stored = sqlite3_column_int64(s, 1);
        else
            counters.generation = sqlite3_column_int64(s, 1);
    }
    sqlite3_finalize(s);
    if (rc != SQLITE_DONE)
        return failed();
    counters.nextNumber = std::max(stored, maxNumber + 1);
    return true;
}

bool Database::hasMoved() const
{
    int moved = 0;
    return m_db && sqlite3_file_control(m_db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved;
}

Database::Batch Database::batchOf(const std::vector<Record*>& records, const Counters& counters, bool whole)
{
    using Value = Batch::Value;
    const auto instant = [](const std::optional<QDateTime>& t) {
        return t ? Value(t->toMSecsSinceEpoch()) : Value();
    };
    const auto ref = [](const Record* r) { return r ? Value(r->id().number) : Value(); };
    const auto optional = [](const std::optional<QString>& t) { return t ? Value(*t) : Value(); };
    Batch batch;
    batch.whole = whole;
    batch.rows.reserve(records.size() + 2);
    for (const Record* r : records) {
        const Value id(r->id().number);
        if (!r->m_live) {
            if (r->m_persisted && !whole) {
                const int slot = r->kind() == EntityKind::Thing  ? DelThing
                                 : r->kind() == EntityKind::Pile ? DelPile
                                                                 : DelStep;
                batch.rows.push_back({slot, {id}});
            }
            continue;
        }
        if (!whole && r->m_persisted && !r->m_dirty)
            continue;
        switch (r->kind()) {
        case EntityKind::Thing: {
            const auto& t = static_cast<const Thing&>(*r);
            batch.rows.push_back(
                {PutThing,
                 {id, t.m_title, Value(t.m_createdAt.toMSecsSinceEpoch()), instant(t.m_doneAt),
                  instant(t.m_snoozedUntil), Value(qint64(t.m_zCount)), Value(t.m_sortKey),
                  ref(t.m_pile.get()), optional(t.m_cameFrom), t.m_note, optional(t.m_noteID), t.m_syncID,
                  t.m_calendarText.isEmpty() ? Value() : Value(t.m_calendarText),
                  t.m_changedAt.isValid() ? Value(t.m_changedAt.toMSecsSinceEpoch()) : Value()}});
            break;
        }
        case EntityKind::Pile: {
            const auto& p = static_cast<const Pile&>(*r);
            batch.rows.push_back(
                {PutPile, {id, p.m_name, Value(p.m_createdAt.toMSecsSinceEpoch()), Value(p.m_sortKey)}});
            break;
        }
        case EntityKind::Step: {
            const auto& st = static_cast<const Step&>(*r);
            batch.rows.push_back({PutStep,
                                  {id, st.m_title, instant(st.m_doneAt), Value(st.m_sortKey),
                                   ref(st.m_thing.get()), st.m_syncID}});
            break;
        }
        }
    }
    batch.rows.push_back({PutMeta, {QStringLiteral("next_id"), Value(counters.nextNumber)}});
    batch.rows.push_back({PutMeta, {QStringLiteral("generation"), Value(counters.generation)}});
    return batch;
}

bool Database::save(const std::vector<Record*>& records, const Counters& counters, QString* error, bool whole)
{
    return write(batchOf(records, counters, whole), error);
}

bool Database::write(const Batch& batch, QString* error)
{
    if (!m_db) {
        if (error)
            *error = QStringLiteral("the store is read-only");
        return false;
    }
    if (!exec("BEGIN IMMEDIATE", error))
        return false;
    bool ok = !batch.whole || exec("DELETE FROM step; DELETE FROM thing; DELETE FROM pile", error);
    for (const Batch::Row& row : batch.rows) {
        if (!ok)
            break;
        sqlite3_stmt* s = statement(row.slot, sqlOf(row.slot), error);
        if (!s) {
            ok = false;
            break;
        }
        for (int i = 0; i < int(row.values.size()); ++i) {
            const Batch::Value& v = row.values[size_t(i)];
            if (const auto* n = std::get_if<qint64>(&v))
                sqlite3_bind_int64(s, i + 1, *n);
            else if (const auto* d = std::get_if<double>(&v))
                sqlite3_bind_double(s, i + 1, *d);
            else if (const auto* t = std::get_if<QString>(&v))
                bindText(s, i + 1, *t);
            else
                sqlite3_bind_null(s, i + 1);
        }
        ok = sqlite3_step(s) == SQLITE_DONE;
        if (!ok && error)
            *error = lastError();
    }
    if (ok && exec("COMMIT", error))
        return true;
    exec("ROLLBACK", nullptr);
    return false;
}

} // namespace vorn
