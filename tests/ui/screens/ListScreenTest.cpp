#include "ui/screens/ListScreen.h"
#include "support/ModelHarness.h"
#include "ui/list/ThingList.h"
#include "ui/list/ThingListView.h"
#include "ui/screens/ListScreenHeader.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

namespace vorn {
namespace {

Source pileNamed(const AppModel& model, const QString& name)
{
    for (Pile* p : model.piles()) {
        if (p->name() == name)
            return Source::pile(p->id());
    }
    ADD_FAILURE() << "no pile " << name.toStdString();
    return Source::today;
}

TEST(ListScreenHeader, demoListsReadTheirTitleSummaryAndHint)
{
    test::ModelHarness h; // Tuesday 10 March 2026, en_US
    h.demo();
    auto model = h.start();
    ASSERT_TRUE(model);
    struct Case {
        Source source;
        QString title;
        QString summary;
        QString hint;
    };
    const std::vector<Case> cases{
        {Source::today, "today", "Tuesday, March 10 · 4 left.", "5 is plenty. The rest can wait in Later."},
        {Source::later, "later", "5 things, pushed off. 2 coming back tomorrow.",
         "Snoozed things come back on their own. Like a cat."},
        {Source::doneIsh, "done-ish", "1 done. Clears itself after 7 days.", "No archive to tend."},
        {pileNamed(*model, "Groceries"), "groceries", "3 things in a pile. None of it is due.",
         "Press T to pull one into Today, or S to snooze it."},
        {pileNamed(*model, "Trip"), "trip", "2 things in a pile. None of it is due.",
         "Press T to pull one into Today, or S to snooze it."},
    };
    for (const Case& c : cases) {
        ListScreen screen(*model, c.source);
        EXPECT_EQ(screen.header()->title(), c.title);
        EXPECT_EQ(screen.header()->summary(), c.summary);
        EXPECT_EQ(screen.hint(), c.hint);
    }
}

// A list name longer than the window is cut with "…" at the window's edge, and the full name is kept.
TEST(ListScreenHeader, aLongNameIsCutWithAnEllipsisNotMidWord)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    const QString name = QStringLiteral("Everything for the entire summer house renovation and the garden");
    Pile* pile = model->createPile(name);
    ASSERT_TRUE(pile);
    const Source source = Source::pile(pile->id());
    const QString title = model->title(source);
    ListScreenHeader header(*model, source);
    header.resize(320, header.sizeHint().height());
    header.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&header));
    EXPECT_EQ(header.title(), title);
    EXPECT_TRUE(header.shownTitle().endsWith(u'\u2026')) << header.shownTitle().toStdString();
    EXPECT_TRUE(title.startsWith(header.shownTitle().chopped(1)));
    header.resize(2000, header.height());
    EXPECT_TRUE(QTest::qWaitFor([&] { return header.shownTitle() == title; }, 2000));
}

TEST(ListScreenHeader, todayCountsSwitchWording)
{
    // given the demo's 4 open things in Today
    test::ModelHarness h;
    h.demo();
    auto model = h.start();
    ASSERT_TRUE(model);
    ListScreenHeader header(*model, Source::today);

    // when one more arrives, the header follows the store
    model->add(QStringLiteral("Fifth"), Source::today);
    EXPECT_TRUE(QTest::qWaitFor([&] { return header.summary().endsWith(QStringLiteral("5 left.")); }, 2000));
    EXPECT_EQ(header.summary(), QStringLiteral("Tuesday, March 10 · 5 left."));

    model->add(QStringLiteral("Sixth"), Source::today);
    EXPECT_TRUE(QTest::qWaitFor([&] { return header.summary().contains(QStringLiteral("Bold")); }, 2000));
    EXPECT_EQ(header.summary(), QStringLiteral("Tuesday, March 10 · That's 6. Bold."));
}

TEST(ListScreenHeader, emptyListsAndRollover)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    EXPECT_EQ(ListScreenHeader::summaryText(*model, Source::today),
              QStringLiteral("Tuesday, March 10 · Nothing left."));
    EXPECT_EQ(ListScreenHeader::summaryText(*model, Source::later),
              QStringLiteral("No rush. Nothing due tomorrow. Suspicious."));
    Pile* empty = model->createPile(QStringLiteral("Empty"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(ListScreenHeader::summaryText(*model, Source::pile(empty->id())),
              QStringLiteral("Nothing in it yet."));

    // given one thing left open overnight
    model->add(QStringLiteral("Leftover"), Source::today);
    ListScreenHeader header(*model, Source::today);
    h.clock->advance(24 * 3600);
    model->tick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return header.summary().contains(QStringLiteral("rolled")); }, 2000));
    EXPECT_EQ(header.summary(),
              QStringLiteral("Wednesday, March 11 · 1 left. · 1 thing rolled over. We've all been there."));
}

TEST(ListScreenHeader, dayTextFollowsTheLocaleWithoutYear)
{
    const QDateTime noon(QDate(2026, 3, 10), QTime(12, 0), QTimeZone("Europe/Berlin"));
    EXPECT_EQ(ListScreenHeader::dayText(noon, Schedule(QTimeZone("Europe/Berlin"), QLocale("en_US"))),
              QStringLiteral("Tuesday, March 10"));
    const QString german =
        ListScreenHeader::dayText(noon, Schedule(QTimeZone("Europe/Berlin"), QLocale("de_DE")));
    EXPECT_TRUE(german.startsWith(QStringLiteral("Dienstag"))) << german.toStdString();
    EXPECT_TRUE(german.contains(QStringLiteral("März"))) << german.toStdString();
    EXPECT_FALSE(german.contains(QStringLiteral("2026"))) << german.toStdString();
}

TEST(ListScreen, clickAroundRowsRequestsAddExceptOnDoneIsh)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    // A click lands on whatever the list shows there (the empty state), and reaches the screen.
    const auto clickInList = [](ListScreen& screen) {
        const QPoint at = screen.list()->mapTo(&screen, QPoint(50, 50));
        QWidget* target = screen.childAt(at);
        ASSERT_TRUE(target);
        ASSERT_TRUE(screen.list()->isAncestorOf(target));
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(&screen, at));
    };
    ListScreen today(*model, Source::today);
    today.resize(500, 400);
    today.show();
    QSignalSpy adding(model.get(), &AppModel::addRequested);
    clickInList(today);
    EXPECT_EQ(adding.count(), 1);

    ListScreen done(*model, Source::doneIsh);
    done.resize(500, 400);
    done.show();
    clickInList(done);
    EXPECT_EQ(adding.count(), 1) << "Done-ish has no add row";
}

TEST(ListScreen, holdsTheListOfItsSourceBetweenHeaderAndHint)
{
    test::ModelHarness h;
    h.demo();
    auto model = h.start();
    ASSERT_TRUE(model);
    for (const Source& source : {Source::today, Source::later, Source::doneIsh, pileNamed(*model, "Trip")}) {
        ListScreen screen(*model, source);
        screen.resize(600, 500);
        screen.show();
        ASSERT_TRUE(screen.list());
        EXPECT_EQ(screen.list()->parentWidget(), &screen);
        EXPECT_EQ(screen.list()->view()->source(), source);
        auto* hint = screen.findChild<QLabel*>(QStringLiteral("listHint"));
        ASSERT_TRUE(hint);
        EXPECT_LT(screen.header()->geometry().bottom(), screen.list()->geometry().top());
        EXPECT_LT(screen.list()->geometry().bottom(), hint->geometry().top());
        // The list takes the height the header and hint leave.
        EXPECT_GT(screen.list()->height(), screen.height() / 2);
    }
}

} // namespace
} // namespace vorn
