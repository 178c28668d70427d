// The ledger's steps of a thing, as rows come, move and go, and as a reopened file reads them.
#include "serversync/SyncLedger.h"

#include <QTemporaryDir>

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

} // namespace
