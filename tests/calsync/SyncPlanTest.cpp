#include "calsync/SyncPlan.h"
#include "calsync/Things.h"

#include <gtest/gtest.h>

using namespace vorn::calsync;
using namespace vorn::calsync::test;
using K = SyncActionKind;

// Also the table of a thing deleted on one side and edited on the other: the edit is kept.
TEST(SyncPlan, eachThingGetsTheRequestThatKeepsEveryEdit)
{
    const QString href = "/c/T1.ics";
    const LocalEntry synced{"T1", baseThing(), baseThing(), kBase, false, href, "1", std::nullopt};
    LocalEntry edited = synced, deleted = synced, unsent;
    edited.ours->title = "Paint", edited.changed = true, edited.modified = kLate;
    deleted.ours.reset(), deleted.changed = true;
    unsent = edited, unsent.base.reset(), unsent.href.clear(), unsent.etag.clear();
    CalendarThing phone = server(baseThing()), touched = server(baseThing(), kLate);
    phone.done = true;
    const ServerView nothing, gone{{}, {href}, false}, all{{{href, "1", baseThing()}}, {}, true};
    auto at = [&](const QString& h, const CalendarThing& t) { return ServerView{{{h, "2", t}}, {}, false}; };
    const std::tuple<LocalEntry, ServerView, K, QString, QString, QString> cases[] = {
        // here, there, then: the action, its href and etag, the title of what it holds ("+": done; "-": none)
        {synced, nothing, K::Forget, "", "", "(no action)"},
        {synced, all, K::Forget, "", "", "(no action)"},
        {unsent, nothing, K::PutNew, "", "", "Paint"},
        {edited, nothing, K::PutChanged, href, "1", "Paint"},
        {deleted, nothing, K::Delete, href, "1", "-"},
        {synced, at(href, phone), K::TakeTheirs, href, "2", "Buy paint+"},
        {edited, at(href, phone), K::MergeThenPut, href, "2", "Paint+"},
        {deleted, at(href, phone), K::TakeTheirs, href, "2", "Buy paint+"},
        {deleted, at(href, touched), K::TakeTheirs, href, "2", "Buy paint"},
        {deleted, at(href, server(baseThing(), kBase)), K::Delete, href, "2", "-"},
        {synced, gone, K::DropHere, href, "", "-"},
        {edited, ServerView{{}, {}, true}, K::PutNew, href, "", "Paint"},
        {deleted, gone, K::Forget, href, "", "-"},
        {unsent, at("/c/x.ics", server(*edited.ours)), K::TakeTheirs, "/c/x.ics", "2", "Paint"},
        {edited, ServerView{{{"/c/moved.ics", "2", phone}}, {href}, false}, K::MergeThenPut, "/c/moved.ics",
         "2", "Paint+"},
        {LocalEntry{}, at("/c/new.ics", phone), K::TakeTheirs, "/c/new.ics", "2", "Buy paint+"},
    };
    for (const auto& [local, view, kind, actionHref, etag, title] : cases) {
        SCOPED_TRACE(&local - &std::get<0>(cases[0]));
        const auto plan =
            planSync(local.uid.isEmpty() ? std::vector<LocalEntry>() : std::vector{local}, view);
        ASSERT_EQ(plan.size(), title == u"(no action)" ? 0u : 1u);
        for (const SyncAction& a : plan) {
            EXPECT_EQ(std::tuple(a.kind, a.uid, a.href, a.etag),
                      std::tuple(kind, QString("T1"), actionHref, etag));
            EXPECT_EQ(a.thing ? QString(a.thing->title + (a.thing->done ? "+" : "")) : "-", title);
        }
    }
}
