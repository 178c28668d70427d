#include "store/Dates.h"
#include "support/ModelHarness.h"

#include <gtest/gtest.h>

using namespace vorn;
using vorn::test::at;
using vorn::test::ModelHarness;

namespace {

class RowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model = h.start();
        ASSERT_TRUE(model);
    }
    QDateTime now() const { return h.clock->now(); }
    void restart()
    {
        model.reset(); // closing saves
        model = h.start();
    }
    // Things made one second apart, so their sort keys follow the order of creation.
    Thing* make(const QString& title, std::optional<QDateTime> snoozed = std::nullopt, Pile* pile = nullptr)
    {
        return model->store().insert(Thing::make(title, now().addSecs(++made), std::move(snoozed), pile));
    }
    QStringList titles(const Source& src) const
    {
        QStringList out;
        for (const ListRow& row : model->rows(src, true))
            out << (row.thing() ? row.thing()->title()
                                : QStringLiteral("family:") + row.sharedThing()->title);
        return out;
    }
    SharedThing planned(const QString& id, const QString& title, bool done = false)
    {
        SharedThing s;
        s.id = id;
        s.title = title;
        s.done = done;
        s.day = model->todayISO();
        s.sourceApp = QStringLiteral("planner");
        return s;
    }

    ModelHarness h; // Tuesday 2026-03-10 09:30 in Berlin
    std::unique_ptr<AppModel> model;
    int made = 0;
};

} // namespace

TEST_F(RowsTest, aThingBelongsToDoneIshFirstThenItsPileThenTodayOrLater)
{
    Pile* p = model->store().insert(Pile::make(QStringLiteral("Trip"), now()));
    Thing* plain = make(QStringLiteral("plain"));
    Thing* snoozed = make(QStringLiteral("snoozed"), now().addSecs(1));
    Thing* wokeNow = make(QStringLiteral("woke"), now());
    Thing* inPile = make(QStringLiteral("pile, snoozed"), now().addDays(3), p);
    Thing* doneInPile = make(QStringLiteral("done in pile"), std::nullopt, p);
    doneInPile->setDoneAt(now());
    Thing* doneSnoozed = make(QStringLiteral("done and snoozed"), distantFuture());
    doneSnoozed->setDoneAt(now());

    EXPECT_EQ(model->source(*plain), Source::today);
    EXPECT_EQ(model->source(*snoozed), Source::later);
    EXPECT_EQ(model->source(*wokeNow), Source::today) << "a snooze ending exactly now is over";
    EXPECT_EQ(model->source(*inPile), Source::pile(p->id()));
    EXPECT_EQ(model->source(*doneInPile), Source::doneIsh);
    EXPECT_EQ(model->source(*doneSnoozed), Source::doneIsh);
    EXPECT_EQ(model->count(Source::pile(p->id())), 1);
    EXPECT_EQ(model->count(Source::doneIsh), 2);
}

TEST_F(RowsTest, searchIgnoresCaseAndAccentsButNotCounts)
{
    make(QStringLiteral("Oat milk"));
    make(QStringLiteral("Café au lait"));
    make(QStringLiteral("Bread"));
    make(QStringLiteral("Straße fegen"));
    Thing* doneX = make(QStringLiteral("Fix the box"));
    doneX->setDoneAt(now());
    Thing* doneOther = make(QStringLiteral("Water"));
    doneOther->setDoneAt(now());

    struct Case {
        const char* search;
        Source source;
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"MILK", Source::today, {QStringLiteral("Oat milk")}},
        {"cafe", Source::today, {QStringLiteral("Café au lait")}},
        {"CAFÉ", Source::today, {QStringLiteral("Café au lait")}},
        {"strasse", Source::today, {QStringLiteral("Straße fegen")}},
        {"x", Source::doneIsh, {QStringLiteral("Fix the box")}},
        {" ",
         Source::today,
         {QStringLiteral("Oat milk"), QStringLiteral("Café au lait"), QStringLiteral("Straße fegen")}},
        {"nothing like it", Source::today, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search);
        model->setSearchText(QString::fromUtf8(c.search));
        EXPECT_EQ(titles(c.source), c.expected);
    }
    model->setSearchText(QStringLiteral("MILK"));
    EXPECT_EQ(model->count(Source::today), 4) << "counts ignore the search";
}

TEST_F(RowsTest, laterSortsByWakeThenSortKeyAndDoneIshByMostRecentlyDone)
{
    const QDateTime tomorrow = at("Europe/Berlin", "2026-03-11 00:00:00");
    make(QStringLiteral("someday"), distantFuture());
    Thing* second = make(QStringLiteral("tomorrow, made second"), tomorrow);
    Thing* first = make(QStringLiteral("tomorrow, made first"), tomorrow);
    first->setSortKey(second->sortKey() - 10);
    make(QStringLiteral("tonight"), at("Europe/Berlin", "2026-03-10 19:00:00"));
    EXPECT_EQ(titles(Source::later),
              (QStringList{QStringLiteral("tonight"), QStringLiteral("tomorrow, made first"),
                           QStringLiteral("tomorrow, made second"), QStringLiteral("someday")}));

    Thing* a = make(QStringLiteral("done long ago"));
    a->setDoneAt(now().addDays(-3));
    Thing* b = make(QStringLiteral("done just now"));
    b->setDoneAt(now());
    Thing* c = make(QStringLiteral("done yesterday, made first"));
    Thing* d = make(QStringLiteral("done yesterday, made second"));
    c->setDoneAt(now().addDays(-1));
    d->setDoneAt(now().addDays(-1));
    EXPECT_EQ(titles(Source::doneIsh),
              (QStringList{QStringLiteral("done just now"), QStringLiteral("done yesterday, made first"),
                           QStringLiteral("done yesterday, made second"), QStringLiteral("done long ago")}));
}

TEST_F(RowsTest, lingeringThingsStayOnlyInTheListOfTheShowingTab)
{
    Thing* t = make(QStringLiteral("tick me"));
    make(QStringLiteral("other"));
    model->setTab(Tab::list(TodoList::today));
    model->toggleDone(*t);

    EXPECT_EQ(titles(Source::today), (QStringList{QStringLiteral("tick me"), QStringLiteral("other")}));
    EXPECT_EQ(model->count(Source::today), 1) << "a lingering row is not counted";
    EXPECT_EQ(titles(Source::doneIsh), QStringList{QStringLiteral("tick me")});

    model->setTab(Tab::list(TodoList::later));
    model->setTab(Tab::list(TodoList::today));
    EXPECT_EQ(titles(Source::today), QStringList{QStringLiteral("other")})
        << "leaving the tab ends lingering";
}

TEST_F(RowsTest, familyRowsMergeIntoTodayByTheirPlacedOrder)
{
    make(QStringLiteral("own 1"));
    make(QStringLiteral("own 2"));
    SharedThing placedFirst = planned(QStringLiteral("p-first"), QStringLiteral("placed first"));
    SharedThing unplaced = planned(QStringLiteral("p-unplaced"), QStringLiteral("unplaced"));
    SharedThing otherDay = planned(QStringLiteral("p-tomorrow"), QStringLiteral("tomorrow's"));
    otherDay.day = QStringLiteral("2026-03-11");
    SharedThing done = planned(QStringLiteral("p-done"), QStringLiteral("done there"), true);
    model->familySync().replaceRows({unplaced, placedFirst, otherDay, done});

    // Orders are read at start-up, so restart with them stored.
    Settings(h.launch.settingsPath)
        .setValue(QStringLiteral("order.otherApps"), QVariantMap{{QStringLiteral("p-first"), 0.0}});
    restart();
    model->familySync().replaceRows({unplaced, placedFirst, otherDay, done});

    EXPECT_EQ(titles(Source::today),
              (QStringList{QStringLiteral("family:placed first"), QStringLiteral("own 1"),
                           QStringLiteral("own 2"), QStringLiteral("family:unplaced")}));
    EXPECT_EQ(model->rows(Source::today, false).size(), 2u);
    EXPECT_TRUE(titles(Source::later).isEmpty());
    EXPECT_EQ(model->count(Source::today), 2) << "counts are of own things";
}

TEST_F(RowsTest, aFamilyRowWithTheSameKeyAsAnOwnRowComesAfterIt)
{
    Thing* own = make(QStringLiteral("own"));
    own->setSortKey(5);
    Settings(h.launch.settingsPath)
        .setValue(QStringLiteral("order.otherApps"), QVariantMap{{QStringLiteral("p"), 5.0}});
    restart();
    model->familySync().replaceRows({planned(QStringLiteral("p"), QStringLiteral("tie"))});
    EXPECT_EQ(titles(Source::today), (QStringList{QStringLiteral("own"), QStringLiteral("family:tie")}));
}

TEST_F(RowsTest, metaTextsPerList)
{
    Pile* p = model->store().insert(Pile::make(QStringLiteral("Groceries"), now()));
    Thing* teased = make(QStringLiteral("pushed off"));
    teased->setZCount(3);
    Thing* fromPile = make(QStringLiteral("came back"));
    fromPile->setZCount(2);
    fromPile->setCameFrom(QStringLiteral("Groceries"));
    Thing* doneTeased = make(QStringLiteral("done anyway"));
    doneTeased->setZCount(7);
    doneTeased->setDoneAt(now());
    Thing* inPile = make(QStringLiteral("in pile"), std::nullopt, p);
    inPile->setZCount(9);
    Thing* sleeping = make(QStringLiteral("sleeping"), at("Europe/Berlin", "2026-03-13 00:00:00"));

    EXPECT_EQ(model->meta(*teased, Source::today), QStringLiteral("snoozed 3×. delete it? no judgment."));
    EXPECT_EQ(model->meta(*fromPile, Source::today), QStringLiteral("groceries"));
    EXPECT_FALSE(model->meta(*doneTeased, Source::today));
    EXPECT_FALSE(model->meta(*inPile, Source::pile(p->id())));
    EXPECT_EQ(model->meta(*sleeping, Source::later), QStringLiteral("friday"));
    EXPECT_FALSE(model->meta(*teased, Source::later));

    struct Done {
        QDateTime at;
        const char* expected;
    };
    const std::vector<Done> done{
        {at("Europe/Berlin", "2026-03-10 00:00:01"), "today"},
        {at("Europe/Berlin", "2026-03-09 08:00:00"), "yesterday"},
        {at("Europe/Berlin", "2026-03-07 08:00:00"), "3 days ago"},
        {at("Europe/Berlin", "2026-03-03 08:00:00"), "last week"},
    };
    for (const Done& d : done) {
        SCOPED_TRACE(d.expected);
        doneTeased->setDoneAt(d.at);
        EXPECT_EQ(model->meta(*doneTeased, Source::doneIsh), QString::fromUtf8(d.expected));
    }
}

TEST_F(RowsTest, titlesOfSourcesAndLookups)
{
    Pile* p = model->store().insert(Pile::make(QStringLiteral("Big Trip"), now()));
    model->refreshPiles();
    EXPECT_EQ(model->title(Source::today), QStringLiteral("today"));
    EXPECT_EQ(model->title(Source::later), QStringLiteral("later"));
    EXPECT_EQ(model->title(Source::doneIsh), QStringLiteral("done-ish"));
    EXPECT_EQ(model->title(Source::pile(p->id())), QStringLiteral("big trip"));
    EXPECT_EQ(model->title(Source::pile(RecordId{EntityKind::Pile, 999})), QStringLiteral("pile"));

    Thing* t = make(QStringLiteral("t"));
    Thing* gone = make(QStringLiteral("gone"));
    const RecordId goneID = gone->id();
    model->store().remove(gone);
    const std::vector<Thing*> found =
        model->things({RowID::thing(t->id()), RowID::thing(goneID), RowID::shared(QStringLiteral("x")),
                       RowID::thing(p->id())});
    EXPECT_EQ(found, std::vector<Thing*>{t});
}
