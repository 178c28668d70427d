// One row of the family file's things table as the planner or a broken tool may have written it:
// SQLite keeps whatever type a statement binds, so every column may hold text (any bytes), an
// integer, a real, a blob or NULL. Reading the row back the way the app does must not crash, hang
// or assert, and must give the one live row.
#include "family/FamilyStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <memory>

using namespace vorn;

namespace {

struct Family {
    // In memory where there is such a folder: every write syncs the file to disk.
    QTemporaryDir dir{QFile::exists(QStringLiteral("/dev/shm")) ? QStringLiteral("/dev/shm/vorn-fuzz-XXXXXX")
                                                                : QString()};
    QString path = dir.filePath(QStringLiteral("family.db"));
    // Opening it once makes the file with the schema the app writes.
    FamilyStore store{path};
    sqlite3* writer = nullptr;

    Family()
    {
        if (!store.isOpen() || sqlite3_open(path.toUtf8().constData(), &writer) != SQLITE_OK)
            __builtin_trap();
        sqlite3_busy_timeout(writer, 5000);
    }
};

// Columns in table order, up to "deleted", which stays 0 so the row is live.
constexpr const char* kInsert = "INSERT INTO things (id, title, done, due_day, zs, steps_json, note_plain, "
                                "note_id, link, source_app, updated_at, deleted) "
                                "VALUES (?,?,?,?,?,?,?,?,?,?,?,0);";
constexpr int kColumns = 11;

void bindAny(sqlite3_stmt* s, int column, FuzzedDataProvider& in)
{
    switch (in.ConsumeIntegralInRange(0, 4)) {
    case 0: {
        const std::string text = in.ConsumeRandomLengthString(256);
        sqlite3_bind_text(s, column, text.data(), int(text.size()), SQLITE_TRANSIENT);
        break;
    }
    case 1:
        sqlite3_bind_int64(s, column, in.ConsumeIntegral<sqlite3_int64>());
        break;
    case 2:
        sqlite3_bind_double(s, column, in.ConsumeFloatingPoint<double>());
        break;
    case 3: {
        const std::vector<std::uint8_t> blob =
            in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange(0, 256));
        sqlite3_bind_blob(s, column, blob.data(), int(blob.size()), SQLITE_TRANSIENT);
        break;
    }
    default:
        sqlite3_bind_null(s, column);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Family family;
    FuzzedDataProvider in(data, size);
    if (sqlite3_exec(family.writer, "DELETE FROM things;", nullptr, nullptr, nullptr) != SQLITE_OK)
        __builtin_trap();
    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v2(family.writer, kInsert, -1, &insert, nullptr) != SQLITE_OK)
        __builtin_trap();
    for (int column = 1; column <= kColumns; ++column)
        bindAny(insert, column, in);
    // A NULL in a NOT NULL column is refused by SQLite itself: no such row can be in the file.
    const bool stored = sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_finalize(insert);
    if (!stored)
        return 0;
    if (family.store.allThings().size() != 1)
        __builtin_trap();
    return 0;
}
