#pragma once

#include "store/Records.h"

#include <QString>

#include <memory>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vorn {

class WalCheckpointer;

// The SQLite file behind a Store: schema, loading everything at open, and writing changed records.
class Database {
public:
    static constexpr int kSchemaVersion = 2;

    // What the file keeps besides its records: the next record number (numbers are never reused) and
    // how many saves it has taken, which tells a rescue written after the last save from a stale one.
    struct Counters {
        qint64 nextNumber = 1;
        qint64 generation = 0;
    };

    // Returns nothing and sets error when the file cannot be used; nothing is written to it then.
    static std::unique_ptr<Database> open(const QString& path, bool readOnly, QString* error);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Reads every record; piles and things are linked, steps are attached to their things.
    bool load(std::vector<std::shared_ptr<Record>>& out, Counters& counters, QString* error);
    // What a save writes: each statement's values, taken from the records on their own thread, to be
    // written on any thread (one write at a time). Texts are shared with the records, not copied.
    struct Batch {
        using Value = std::variant<std::monostate, qint64, double, QString>; // monostate: NULL
        struct Row {
            int slot;
            std::vector<Value> values;
        };
        std::vector<Row> rows;
        bool whole = false;
    };
    // Inserts, updates of changed records and deletes, and the counters. `whole` empties the file first
    // and writes every live record given, changed or not.
    static Batch batchOf(const std::vector<Record*>& records, const Counters& counters, bool whole = false);
    // Writes the batch in one transaction.
    bool write(const Batch& batch, QString* error);
    bool save(const std::vector<Record*>& records, const Counters& counters, QString* error,
              bool whole = false);
    // Whether the file was deleted or replaced since it was opened: writes would then go to a file
    // nobody can open again.
    bool hasMoved() const;

private:
    Database() = default;
    bool exec(const char* sql, QString* error);
    // Brings tables of an older format up to today's, inside the opening transaction.
    bool migrate(int from, QString* error);
    sqlite3_stmt* statement(int slot, const char* sql, QString* error);
    QString lastError() const;

    sqlite3* m_db = nullptr;
    std::unique_ptr<WalCheckpointer> m_checkpointer; // the log's copy into the file, off the saving thread
    int m_version = kSchemaVersion; // the format of the tables, which a read-only open leaves as it found
    // Whether its things have a `changed_at` column: added by the first open for writing, with no new
    // format, since a build that doesn't know it only writes the column empty.
    bool m_hasChangedAt = true;

    std::vector<sqlite3_stmt*> m_statements;
};

} // namespace vorn
