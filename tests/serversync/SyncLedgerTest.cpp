// The ledger's steps of a thing, as rows come, move and go, and as a reopened file reads them.
#include "serversync/SyncLedger.h"

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

LedgerItem row(const QString& uid, const QString& parent)
{
    LedgerItem i;
    i.uid = uid;
    i.parent = parent;
    i.collection = QStringLiteral("/alice/vorn-todo");
    i.href = i.collection + u'/' + uid + QStringLiteral(".ics");
    i.etag = QStringLiteral("\"1\"");
    return i;
}

QStringList sorted(QStringList l)
{
    l.sort();
    return l;
}

TEST(SyncLedgerTest, theStepsOfAThingFollowEveryRowThatComesMovesOrGoes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ledger.db"));
    QString error;
    std::unique_ptr<SyncLedger> ledger = SyncLedger::open(path, QStringLiteral("a@h"), &error);
    ASSERT_TRUE(ledger) << error.toStdString();
    for (const LedgerItem& i :
         {row("t1", ""), row("s1", "t1"), row("s2", "t1"), row("t2", ""), row("s3", "t2")})
        ledger->setItem(i);
    ledger->setItem(row("s2", "t2")); // moved to another thing
    ledger->setItem(row("s3", "t2")); // written again, unchanged
    ledger->removeItem(QStringLiteral("s1"));
    ledger->setItem(row("t3", ""));
    ledger->setItem(row("s4", "t3"));
    ledger->removeItem(QStringLiteral("s4")); // the last step of t3 gone
    ASSERT_TRUE(ledger->commit(&error)) << error.toStdString();

    std::unique_ptr<SyncLedger> reopened = SyncLedger::open(path, QStringLiteral("a@h"), &error);
    ASSERT_TRUE(reopened) << error.toStdString();
    for (SyncLedger* l : {ledger.get(), reopened.get()}) {
        EXPECT_EQ(l->stepsOf(QStringLiteral("t1")), QStringList());
        EXPECT_EQ(sorted(l->stepsOf(QStringLiteral("t2"))), (QStringList{"s2", "s3"}));
        EXPECT_EQ(l->stepsOf(QStringLiteral("t3")), QStringList());
        EXPECT_EQ(l->stepsOf(QStringLiteral("s2")), QStringList());
    }
}

// A ledger written before each of the item table's later columns opens with its rows, and keeps what
// the new columns hold from then on.
TEST(SyncLedgerTest, aLedgerOfEveryEarlierFormatOpensWithItsRowsAndKeepsTheNewFields)
{
    const char* const columns[] = {
        "", ", sent BLOB NOT NULL DEFAULT x''",
        ", sent BLOB NOT NULL DEFAULT x'', base_collection TEXT NOT NULL DEFAULT ''",
        ", sent BLOB NOT NULL DEFAULT x'', base_collection TEXT NOT NULL DEFAULT '', "
        "leaving_href TEXT NOT NULL DEFAULT '', leaving_etag TEXT NOT NULL DEFAULT ''",
        ", sent BLOB NOT NULL DEFAULT x'', base_collection TEXT NOT NULL DEFAULT '', "
        "leaving_href TEXT NOT NULL DEFAULT '', leaving_etag TEXT NOT NULL DEFAULT '', "
        "taking INTEGER NOT NULL DEFAULT 0"};
    for (const char* extra : columns) {
        SCOPED_TRACE(extra);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("ledger.db"));
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
        const QByteArray sql =
            QByteArray("CREATE TABLE account (name TEXT NOT NULL, home TEXT NOT NULL DEFAULT '');"
                       "INSERT INTO account (name) VALUES ('a@h');"
                       "CREATE TABLE item (uid TEXT PRIMARY KEY, parent TEXT NOT NULL, "
                       "collection TEXT NOT NULL, href TEXT NOT NULL, etag TEXT NOT NULL, "
                       "base BLOB NOT NULL, fingerprint BLOB NOT NULL, changed_at TEXT NOT NULL") +
            extra +
            ");INSERT INTO item (uid, parent, collection, href, etag, base, fingerprint, "
            "changed_at) VALUES ('t1', '', '/c', '/c/t1.ics', '\"7\"', x'', x'', '');";
        ASSERT_EQ(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        sqlite3_close(db);

        QString error;
        std::unique_ptr<SyncLedger> ledger = SyncLedger::open(path, QStringLiteral("a@h"), &error);
        ASSERT_TRUE(ledger) << error.toStdString();
        ASSERT_NE(ledger->item(QStringLiteral("t1")), nullptr);
        LedgerItem moved = *ledger->item(QStringLiteral("t1"));
        EXPECT_EQ(moved.etag, QStringLiteral("\"7\""));
        EXPECT_TRUE(moved.leavingHref.isEmpty());
        EXPECT_FALSE(moved.taking);
        EXPECT_TRUE(moved.movedFrom.isEmpty());
        moved.sent = "BEGIN:VCALENDAR";
        moved.baseCollection = QStringLiteral("/old");
        moved.leavingHref = QStringLiteral("/old/t1.ics");
        moved.leavingEtag = QStringLiteral("\"3\"");
        moved.taking = true;
        moved.movedFrom = QByteArray("\0BEGIN:VCALENDAR", 16);
        moved.movedFromCollection = QStringLiteral("/older");
        ledger->setItem(moved);
        ASSERT_TRUE(ledger->commit(&error)) << error.toStdString();
        ledger.reset();
        ledger = SyncLedger::open(path, QStringLiteral("a@h"), &error);
        ASSERT_TRUE(ledger) << error.toStdString();
        EXPECT_EQ(*ledger->item(QStringLiteral("t1")), moved);
    }
}

} // namespace
