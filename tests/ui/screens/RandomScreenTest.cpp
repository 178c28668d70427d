#include "ui/screens/RandomScreen.h"
#include "pixel/VornFont.h"
#include "support/ModelHarness.h"
#include "ui/screens/ListScreen.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

namespace vorn {
namespace {

TEST(RandomScreen, showingPicksThenRRerollsAndReturnAccepts)
{
    // given the demo, on the random tab
    test::ModelHarness h;
    h.demo();
    auto model = h.start();
    ASSERT_TRUE(model);
    model->setTab(Tab::random());
    RandomScreen screen(*model);
    screen.resize(700, 500);
    screen.show();
    ASSERT_TRUE(screen.shownPick());
    EXPECT_EQ(screen.cardTitle(), screen.shownPick()->title());

    // R moves on to another open thing (several are open, so it must change)
    Thing* first = screen.shownPick();
    QTest::keyClick(&screen, Qt::Key_R);
    ASSERT_TRUE(screen.shownPick());
    EXPECT_NE(screen.shownPick(), first);

    // Return does it: it lands in Today, the tab is Today and the pick is selected
    Thing* pick = screen.shownPick();
    QTest::keyClick(&screen, Qt::Key_Return);
    EXPECT_EQ(model->tab(), Tab::list(TodoList::today));
    EXPECT_EQ(model->source(*pick), Source::today);
    EXPECT_EQ(model->selection(), QSet<RowID>{RowID::thing(pick->id())});

    if (qEnvironmentVariableIsSet("VORN_SHOTS")) {
        VornFont::registerFont();
        model->setTab(Tab::random());
        model->reroll();
        screen.grab().save(QStringLiteral("/tmp/random-screen.png"));
        ListScreen list(*model, Source::later);
        list.resize(600, 300);
        list.grab().save(QStringLiteral("/tmp/list-screen-header.png"));
    }
}

TEST(RandomScreen, originLinesNameWhereThePickComesFrom)
{
    test::ModelHarness h;
    h.demo();
    auto model = h.start();
    ASSERT_TRUE(model);
    const auto origin = [&](const char* title) {
        Thing* t = h.thingTitled(*model, QString::fromUtf8(title));
        EXPECT_TRUE(t) << title;
        return t ? RandomScreen::originText(*model, *t) : QString();
    };
    EXPECT_EQ(origin("Oat milk"), QStringLiteral("From groceries."));
    EXPECT_EQ(origin("Think about the gym"), QStringLiteral("From today."));
    EXPECT_EQ(origin("Learn the guitar"), QStringLiteral("From later, someday."));
    EXPECT_EQ(origin("Drink water"), QString());

    // The card adds step progress after the origin.
    RandomScreen screen(*model);
    for (int i = 0; i < 50 && screen.cardTitle() != QStringLiteral("Reply to Kesh about the deck"); ++i)
        QTest::keyClick(&screen, Qt::Key_R);
    ASSERT_EQ(screen.cardTitle(), QStringLiteral("Reply to Kesh about the deck"));
    EXPECT_EQ(screen.cardLine(), QStringLiteral("From today. 1/3 steps done."));
}

TEST(RandomScreen, withNothingOpenShowsTheYawnAndIgnoresKeys)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    model->setTab(Tab::random());
    RandomScreen screen(*model);
    screen.show();
    EXPECT_EQ(screen.shownPick(), nullptr);
    auto* text = screen.findChild<QLabel*>(QStringLiteral("randomEmptyText"));
    ASSERT_TRUE(text);
    EXPECT_TRUE(text->isVisible());
    EXPECT_EQ(text->text(), QStringLiteral("Nothing to pick from. Suspicious."));
    QTest::keyClick(&screen, Qt::Key_R);
    QTest::keyClick(&screen, Qt::Key_Return);
    EXPECT_EQ(model->tab(), Tab::random());
    EXPECT_EQ(screen.shownPick(), nullptr);
}

TEST(RandomScreen, singleOpenThingStaysOnReroll)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    model->add(QStringLiteral("Only one"), Source::today);
    RandomScreen screen(*model);
    screen.show();
    ASSERT_TRUE(screen.shownPick());
    QTest::keyClick(&screen, Qt::Key_R);
    QTest::mouseClick(screen.findChild<QAbstractButton*>(QStringLiteral("anotherOne")), Qt::LeftButton);
    EXPECT_EQ(screen.cardTitle(), QStringLiteral("Only one"));
}

TEST(RandomScreen, cardFollowsThePicksRecordWhenTheModelSaysItChanged)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    model->add(QStringLiteral("Only one"), Source::today);
    RandomScreen screen(*model);
    screen.show();
    ASSERT_EQ(screen.cardTitle(), QStringLiteral("Only one"));

    // A rename the store cannot tell anyone about leaves the card as it was...
    model->store().blockSignals(true);
    model->rename(*screen.shownPick(), QStringLiteral("Just one"));
    QCoreApplication::processEvents();
    model->store().blockSignals(false);
    EXPECT_EQ(screen.cardTitle(), QStringLiteral("Only one"));
    // ...until the model announces it.
    Q_EMIT model->changed(AppModel::Field::records);
    EXPECT_EQ(screen.cardTitle(), QStringLiteral("Just one"));
}

TEST(RandomScreen, aHugeTitleIsCutOnOneLineAndNeverWidensTheWindow)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    // As a title stored before any limit, or taken from another program, may be.
    model->store().insert(
        Thing::make(QStringLiteral("two\nlines ") + QString(1 << 20, u'x'), h.clock->now()));
    RandomScreen screen(*model);
    screen.resize(700, 500);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    EXPECT_TRUE(screen.cardTitle().startsWith(QStringLiteral("two lines xxx")));
    EXPECT_LE(screen.cardTitle().size(), 4001);
    EXPECT_LE(screen.minimumSizeHint().width(), 700);
    EXPECT_LE(screen.findChild<QLabel*>(QStringLiteral("randomTitle"))->width(), 700);
}

// At the window's narrowest a title of words still ends in "…" inside the card, not cut off at its edge.
TEST(RandomScreen, aLongTitleEndsInAnEllipsisAtTheNarrowestWindow)
{
    test::ModelHarness h;
    auto model = h.start();
    ASSERT_TRUE(model);
    Thing* letter =
        model->add(QStringLiteral("Write the long overdue letter to the landlord about the heating, again"),
                   Source::today);
    // Snoozed twice: the card shows its snoozes beside the title.
    for (int i = 0; i < 2; ++i)
        model->snooze({RowID::thing(letter->id())}, SnoozeOption::tomorrow, std::nullopt);
    RandomScreen screen(*model);
    screen.resize(560, 480);
    screen.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen));
    const auto* title = screen.findChild<QLabel*>(QStringLiteral("randomTitle"));
    ASSERT_TRUE(title);
    EXPECT_TRUE(title->text().endsWith(u'\u2026')) << title->text().toStdString();
    EXPECT_LE(title->mapTo(&screen, QPoint(title->width(), 0)).x(), screen.width());
    EXPECT_LE(title->fontMetrics().horizontalAdvance(title->text()), title->contentsRect().width());
}

} // namespace
} // namespace vorn
