#include "calsync/SyncPlan.h"

#include <gtest/gtest.h>

using namespace vorn;
using namespace vorn::calsync;
using ical::CalendarThing;
using Kind = SyncActionKind;

namespace {

const QDateTime kAgreed(QDate(2026, 12, 1), QTime(9, 0), Qt::UTC);

CalendarThing thing(const QString& title, const QDateTime& modified = kAgreed)
{
    CalendarThing t;
    t.uid = QStringLiteral("T1");
    t.title = title;
    t.modified = modified;
    return t;
}

// In step at the last sync: "Paint" at /c/T1.ics with ETag "1".
LocalEntry synced()
{
    return {QStringLiteral("T1"),
            thing(QStringLiteral("Paint")),
            thing(QStringLiteral("Paint")),
            kAgreed,
            false,
            QStringLiteral("/c/T1.ics"),
            QStringLiteral("\"1\"")};
}

ServerEntry at(const char* etag, const CalendarThing& theirs, const char* href = "/c/T1.ics")
{
    return {QString::fromLatin1(href), QString::fromLatin1(etag), theirs};
}

} // namespace

TEST(SyncPlan, eachThingGetsTheRequestThatKeepsEveryEdit)
{
    LocalEntry edited = synced();
    edited.ours->title = QStringLiteral("Paint the door");
    edited.changed = true;
    edited.modified = kAgreed.addSecs(60);
    LocalEntry deleted = synced();
    deleted.ours.reset();
    deleted.changed = true;
    LocalEntry unsent = edited;
    unsent.base.reset();
    unsent.href.clear();
    unsent.etag.clear();
    const CalendarThing phone = thing(QStringLiteral("Paint, blue"), kAgreed.addSecs(30));
    CalendarThing phoneDone = thing(QStringLiteral("Paint"), kAgreed.addSecs(30));
    phoneDone.done = true;
    const CalendarThing same = thing(QStringLiteral("Paint"), kAgreed);

    struct Case {
        const char* name;
        LocalEntry local;
        ServerView server;
        std::vector<std::tuple<Kind, const char*, const char*>> actions; // kind, href, etag
        QString title; // of the first action's thing, when it has one
    };
    const Case cases[] = {
        {"nothing changed", synced(), {{}, {}, false}, {}, {}},
        {"nothing changed, full listing", synced(), {{at("\"1\"", same)}, {}, true}, {}, {}},
        {"new here", unsent, {}, {{Kind::PutNew, "", ""}}, "Paint the door"},
        {"edited here", edited, {}, {{Kind::PutChanged, "/c/T1.ics", "\"1\""}}, "Paint the door"},
        {"deleted here", deleted, {}, {{Kind::Delete, "/c/T1.ics", "\"1\""}}, {}},
        {"edited there",
         synced(),
         {{at("\"2\"", phone)}, {}, false},
         {{Kind::TakeTheirs, "/c/T1.ics", "\"2\""}},
         "Paint, blue"},
        {"edited on both",
         edited,
         {{at("\"2\"", phoneDone)}, {}, false},
         {{Kind::MergeThenPut, "/c/T1.ics", "\"2\""}},
         "Paint the door"},
        {"deleted here, edited there",
         deleted,
         {{at("\"2\"", phone)}, {}, false},
         {{Kind::TakeTheirs, "/c/T1.ics", "\"2\""}},
         "Paint, blue"},
        {"deleted here, only written again there",
         deleted,
         {{at("\"2\"", same)}, {}, false},
         {{Kind::Delete, "/c/T1.ics", "\"2\""}},
         {}},
        {"deleted there, unchanged here",
         synced(),
         {{}, {"/c/T1.ics"}, false},
         {{Kind::DropHere, "/c/T1.ics", ""}},
         {}},
        {"deleted there, edited here",
         edited,
         {{}, {}, true},
         {{Kind::PutNew, "/c/T1.ics", ""}},
         "Paint the door"},
        {"deleted on both", deleted, {{}, {"/c/T1.ics"}, false}, {{Kind::Forget, "/c/T1.ics", ""}}, {}},
        {"sent before a sync stopped",
         unsent,
         {{at("\"9\"", thing(QStringLiteral("Paint the door")), "/c/x.ics")}, {}, false},
         {{Kind::TakeTheirs, "/c/x.ics", "\"9\""}},
         "Paint the door"},
        {"moved there",
         synced(),
         {{at("\"3\"", phone, "/c/moved.ics")}, {"/c/T1.ics"}, false},
         {{Kind::TakeTheirs, "/c/moved.ics", "\"3\""}},
         "Paint, blue"},
        {"new there",
         {},
         {{at("\"5\"", phone, "/c/other.ics")}, {}, false},
         {{Kind::TakeTheirs, "/c/other.ics", "\"5\""}},
         "Paint, blue"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<LocalEntry> local;
        if (!c.local.uid.isEmpty())
            local.push_back(c.local);
        const std::vector<SyncAction> plan = planSync(local, c.server);
        ASSERT_EQ(plan.size(), c.actions.size());
        for (std::size_t i = 0; i < plan.size(); ++i) {
            const auto& [kind, href, etag] = c.actions[i];
            EXPECT_EQ(plan[i].kind, kind);
            EXPECT_EQ(plan[i].uid, u"T1");
            EXPECT_EQ(plan[i].href, QString::fromLatin1(href));
            EXPECT_EQ(plan[i].etag, QString::fromLatin1(etag));
        }
        if (!plan.empty()) {
            EXPECT_EQ(plan[0].thing ? plan[0].thing->title : QString(), c.title);
        }
    }
}
