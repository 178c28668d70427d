#include "serversync/SyncLedger.h"

#include "store/SqliteFile.h"
#include "store/SqliteText.h"

#include <sqlite3.h>

#include <string>

namespace vorn {

namespace {

using sqlite::bindText;
using sqlite::text;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS account (name TEXT NOT NULL, home TEXT NOT NULL DEFAULT '');
CREATE TABLE IF NOT EXISTS item (
    uid TEXT PRIMARY KEY,
    parent TEXT NOT NULL,
    collection TEXT NOT NULL,
    href TEXT NOT NULL,
    etag TEXT NOT NULL,
    base BLOB NOT NULL,
    fingerprint BLOB NOT NULL,
    changed_at TEXT NOT NULL,
    sent BLOB NOT NULL DEFAULT x'',
    base_collection TEXT NOT NULL DEFAULT '',
    leaving_href TEXT NOT NULL DEFAULT '',
    leaving_etag TEXT NOT NULL DEFAULT '',
    taking INTEGER NOT NULL DEFAULT 0,
    moved_from BLOB NOT NULL DEFAULT x'',
    moved_from_collection TEXT NOT NULL DEFAULT ''
);
CREATE TABLE IF NOT EXISTS collection (
    href TEXT PRIMARY KEY,
    pile INTEGER NOT NULL,
    display_name TEXT NOT NULL,
    token TEXT NOT NULL,
    ctag TEXT NOT NULL
);
)sql";

// A statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_s, nullptr); }
    ~Statement() { sqlite3_finalize(m_s); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_s; }
    explicit operator bool() const { return m_s != nullptr; }

private:
    sqlite3_stmt* m_s = nullptr;
};

void bindBlob(sqlite3_stmt* s, int i, const QByteArray& v)
{
    sqlite3_bind_blob(s, i, v.constData() ? v.constData() : "", int(v.size()), SQLITE_TRANSIENT);
}

QByteArray blob(sqlite3_stmt* s, int col)
{
    const auto* p = static_cast<const char*>(sqlite3_column_blob(s, col));
    return p ? QByteArray(p, sqlite3_column_bytes(s, col)) : QByteArray();
}

QString lastError(sqlite3* db)
{
    return QString::fromUtf8(sqlite3_errmsg(db));
}

} // namespace

std::unique_ptr<SyncLedger> SyncLedger::open(const QString& path, const QString& account, QString* error)
{
    const bool memory = path == QLatin1String(":memory:");
    if (!memory) {
        if (const std::optional<QString> problem = sqlite::fileProblem(path)) {
            *error = *problem;
            return nullptr;
        }
    }
    std::unique_ptr<SyncLedger> ledger(new SyncLedger);
    ledger->m_account = account;
    const QByteArray file = path.toUtf8();
    if (sqlite3_open_v2(file.constData(), &ledger->m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        *error = ledger->m_db ? lastError(ledger->m_db) : QStringLiteral("out of memory");
        return nullptr;
    }
    sqlite3_busy_timeout(ledger->m_db, 2000);
    if ((!memory && !ledger->exec("PRAGMA journal_mode = WAL", error)) ||
        !ledger->exec("PRAGMA synchronous = NORMAL", error) || !ledger->exec(kSchema, error) ||
        !ledger->addColumns(error) || !ledger->load(error))
        return nullptr;
    return ledger;
}

SyncLedger::~SyncLedger()
{
    sqlite3_close(m_db);
}

bool SyncLedger::addColumns(QString* error)
{
    // Columns newer than the file, each with what its default says of a ledger from before it.
    struct Added {
        const char* probe;
        const char* alter;
    };
    static constexpr Added kAdded[] = {
        // Every row in it was agreed, nothing pending.
        {"SELECT sent FROM item LIMIT 0", "ALTER TABLE item ADD COLUMN sent BLOB NOT NULL DEFAULT x''"},
        // Every base was agreed in its row's collection.
        {"SELECT base_collection FROM item LIMIT 0",
         "ALTER TABLE item ADD COLUMN base_collection TEXT NOT NULL DEFAULT ''"},
        // Its moves deleted the copy left behind first, none is pending.
        {"SELECT leaving_href, leaving_etag FROM item LIMIT 0",
         "ALTER TABLE item ADD COLUMN leaving_href TEXT NOT NULL DEFAULT ''; "
         "ALTER TABLE item ADD COLUMN leaving_etag TEXT NOT NULL DEFAULT ''"},
        // Its takes were written down after the store held them.
        {"SELECT taking FROM item LIMIT 0", "ALTER TABLE item ADD COLUMN taking INTEGER NOT NULL DEFAULT 0"},
        // Its moves met the other side's copies against their own.
        {"SELECT moved_from, moved_from_collection FROM item LIMIT 0",
         "ALTER TABLE item ADD COLUMN moved_from BLOB NOT NULL DEFAULT x''; "
         "ALTER TABLE item ADD COLUMN moved_from_collection TEXT NOT NULL DEFAULT ''"},
    };
    for (const Added& added : kAdded) {
        if (Statement probe(m_db, added.probe); probe)
            continue;
        // A pair both or neither: a file left with one of them would fail the probe and the ALTER for good.
        const std::string sql = std::string("BEGIN; ") + added.alter + "; COMMIT";
        if (!exec(sql.c_str(), error)) {
            exec("ROLLBACK", nullptr);
            return false;
        }
    }
    return true;
}

bool SyncLedger::exec(const char* sql, QString* error)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    if (error)
        *error = message ? QString::fromUtf8(message) : lastError(m_db);
    sqlite3_free(message);
    return false;
}

bool SyncLedger::load(QString* error)
{
    {
        Statement s(m_db, "SELECT name, home FROM account");
        if (!s) {
            *error = lastError(m_db);
            return false;
        }
        QString stored;
        bool any = false;
        while (sqlite3_step(s.get()) == SQLITE_ROW) {
            stored = text(s.get(), 0);
            m_home = text(s.get(), 1);
            any = true;
        }
        if (!any || stored != m_account) {
            m_home.clear();
            // What was agreed with another account says nothing about this one.
            if (!exec("BEGIN; DELETE FROM item; DELETE FROM collection; DELETE FROM account;", error))
                return false;
            Statement put(m_db, "INSERT INTO account (name) VALUES (?)");
            bindText(put.get(), 1, m_account);
            if (sqlite3_step(put.get()) != SQLITE_DONE) {
                *error = lastError(m_db);
                exec("ROLLBACK", nullptr);
                return false;
            }
            if (!exec("COMMIT", error))
                return false;
            return true;
        }
    }
    Statement items(m_db, "SELECT uid, collection, href, etag, base, fingerprint, changed_at, parent, sent, "
                          "base_collection, leaving_href, leaving_etag, taking, moved_from, "
                          "moved_from_collection FROM item");
    Statement collections(m_db, "SELECT href, pile, display_name, token, ctag FROM collection");
    if (!items || !collections) {
        *error = lastError(m_db);
        return false;
    }
    while (sqlite3_step(items.get()) == SQLITE_ROW) {
        LedgerItem i;
        i.uid = text(items.get(), 0);
        i.collection = text(items.get(), 1);
        i.href = text(items.get(), 2);
        i.etag = text(items.get(), 3);
        i.base = blob(items.get(), 4);
        i.fingerprint = blob(items.get(), 5);
        i.changedAt = QDateTime::fromString(text(items.get(), 6), Qt::ISODateWithMs);
        i.parent = text(items.get(), 7);
        i.sent = blob(items.get(), 8);
        i.baseCollection = text(items.get(), 9);
        i.leavingHref = text(items.get(), 10);
        i.leavingEtag = text(items.get(), 11);
        i.taking = sqlite3_column_int(items.get(), 12) != 0;
        i.movedFrom = blob(items.get(), 13);
        i.movedFromCollection = text(items.get(), 14);
        if (!i.parent.isEmpty())
            m_steps[i.parent].push_back(i.uid);
        m_items.insert(i.uid, std::move(i));
    }
    while (sqlite3_step(collections.get()) == SQLITE_ROW) {
        LedgerCollection c;
        c.href = text(collections.get(), 0);
        c.pile = sqlite3_column_int64(collections.get(), 1);
        c.displayName = text(collections.get(), 2);
        c.token = text(collections.get(), 3);
        c.ctag = text(collections.get(), 4);
        m_collections.push_back(std::move(c));
    }
    return true;
}

const LedgerItem* SyncLedger::item(const QString& uid) const
{
    const auto it = m_items.constFind(uid);
    return it == m_items.cend() ? nullptr : &*it;
}

void SyncLedger::setItem(const LedgerItem& item)
{
    if (const LedgerItem* old = this->item(item.uid); old && old->parent != item.parent)
        unlinkStep(*old);
    if (!item.parent.isEmpty() && !m_steps.value(item.parent).contains(item.uid))
        m_steps[item.parent].push_back(item.uid);
    m_items.insert(item.uid, item);
    m_dirtyItems.insert(item.uid, true);
}

void SyncLedger::setHome(const QString& home)
{
    if (home == m_home)
        return;
    m_home = home;
    m_homeDirty = true;
}

void SyncLedger::removeItem(const QString& uid)
{
    const LedgerItem* i = item(uid);
    if (!i)
        return;
    unlinkStep(*i);
    m_items.remove(uid);
    m_dirtyItems.insert(uid, false);
}

void SyncLedger::unlinkStep(const LedgerItem& item)
{
    if (item.parent.isEmpty())
        return;
    const auto it = m_steps.find(item.parent);
    if (it == m_steps.end())
        return;
    it->removeOne(item.uid);
    if (it->isEmpty())
        m_steps.remove(item.parent);
}

const LedgerCollection* SyncLedger::collection(const QString& href) const
{
    for (const LedgerCollection& c : m_collections)
        if (c.href == href)
            return &c;
    return nullptr;
}

const LedgerCollection* SyncLedger::collectionOfPile(qint64 pile) const
{
    for (const LedgerCollection& c : m_collections)
        if (c.pile == pile)
            return &c;
    return nullptr;
}

void SyncLedger::setCollection(const LedgerCollection& collection)
{
    m_collectionsDirty = true;
    for (LedgerCollection& c : m_collections) {
        if (c.href == collection.href) {
            c = collection;
            return;
        }
    }
    m_collections.push_back(collection);
}

void SyncLedger::removeCollection(const QString& href)
{
    std::erase_if(m_collections, [&](const LedgerCollection& c) { return c.href == href; });
    m_collectionsDirty = true;
}

bool SyncLedger::commit(QString* error)
{
    if (!hasChanges())
        return true;
    if (!exec("BEGIN IMMEDIATE", error))
        return false;
    auto fail = [&] {
        if (error)
            *error = lastError(m_db);
        exec("ROLLBACK", nullptr);
        return false;
    };
    {
        Statement put(m_db, "INSERT OR REPLACE INTO item (uid, collection, href, etag, base, fingerprint, "
                            "changed_at, parent, sent, base_collection, leaving_href, leaving_etag, taking, "
                            "moved_from, moved_from_collection) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        Statement drop(m_db, "DELETE FROM item WHERE uid = ?");
        if (!put || !drop)
            return fail();
        for (auto it = m_dirtyItems.cbegin(); it != m_dirtyItems.cend(); ++it) {
            sqlite3_stmt* s = nullptr;
            if (const LedgerItem* i = it.value() ? item(it.key()) : nullptr) {
                s = put.get();
                bindText(s, 1, i->uid);
                bindText(s, 2, i->collection);
                bindText(s, 3, i->href);
                bindText(s, 4, i->etag);
                bindBlob(s, 5, i->base);
                bindBlob(s, 6, i->fingerprint);
                bindText(s, 7, i->changedAt.isValid() ? i->changedAt.toString(Qt::ISODateWithMs) : QString());
                bindText(s, 8, i->parent);
                bindBlob(s, 9, i->sent);
                bindText(s, 10, i->baseCollection);
                bindText(s, 11, i->leavingHref);
                bindText(s, 12, i->leavingEtag);
                sqlite3_bind_int(s, 13, i->taking ? 1 : 0);
                bindBlob(s, 14, i->movedFrom);
                bindText(s, 15, i->movedFromCollection);
            } else {
                s = drop.get();
                bindText(s, 1, it.key());
            }
            if (sqlite3_step(s) != SQLITE_DONE)
                return fail();
            sqlite3_reset(s);
        }
        if (m_collectionsDirty) {
            if (!exec("DELETE FROM collection", error)) {
                exec("ROLLBACK", nullptr);
                return false;
            }
            Statement add(m_db, "INSERT INTO collection (href, pile, display_name, token, ctag) "
                                "VALUES (?, ?, ?, ?, ?)");
            if (!add)
                return fail();
            for (const LedgerCollection& c : m_collections) {
                bindText(add.get(), 1, c.href);
                sqlite3_bind_int64(add.get(), 2, c.pile);
                bindText(add.get(), 3, c.displayName);
                bindText(add.get(), 4, c.token);
                bindText(add.get(), 5, c.ctag);
                if (sqlite3_step(add.get()) != SQLITE_DONE)
                    return fail();
                sqlite3_reset(add.get());
            }
        }
    }
    if (m_homeDirty) {
        Statement home(m_db, "UPDATE account SET home = ?");
        bindText(home.get(), 1, m_home);
        if (!home || sqlite3_step(home.get()) != SQLITE_DONE)
            return fail();
    }
    if (!exec("COMMIT", error)) {
        exec("ROLLBACK", nullptr);
        return false;
    }
    m_dirtyItems.clear();
    m_collectionsDirty = false;
    m_homeDirty = false;
    return true;
}

} // namespace vorn
