#include "ui/list/ThingList.h"
#include "support/ModelHarness.h"
#include "ui/components/DoneLine.h"
#include "ui/components/EmptyListView.h"
#include "ui/components/SnoozeBar.h"
#include "ui/list/ThingListModel.h"
#include "ui/list/ThingListView.h"
#include "ui/steps/StepRow.h"
#include "ui/steps/StepsView.h"

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

struct ThingListTest : ::testing::Test {
    void SetUp() override
    {
        h.demo();
        model = h.start();
        ASSERT_TRUE(model);
    }
    ThingList& show(const Source& source, ListStyle style = ListStyle::regular)
    {
        list = std::make_unique<ThingList>(*model, source, style);
        list->resize(560, 460);
        list->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(list.get()));
        list->view()->setFocus();
        return *list;
    }
    void settle(std::source_location where = std::source_location::current())
    {
        test::waitForStoreChange(*model, where);
    }
    // Keys as the desktop delivers them: to the focus widget, or to the window when there is none.
    void press(Qt::Key key) { QTest::keyClick(list->windowHandle(), key); }
    bool focusOn(const QWidget* w) const
    {
        return QTest::qWaitFor([w] { return QApplication::focusWidget() == w; }, 500);
    }
    QSet<RowID> rowsOf(const Source& source) const
    {
        QSet<RowID> ids;
        for (const ListRow& row : model->rows(source, true))
            ids.insert(row.id());
        return ids;
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<ThingList> list;
};

} // namespace

TEST_F(ThingListTest, emptyListSaysSoUntilTheAddRowOpensAndKeepsItsKeys)
{
    show(Source::today);
    EXPECT_FALSE(list->emptyView()->isVisible());
    model->remove(rowsOf(Source::today), std::nullopt);
    settle();
    ASSERT_TRUE(list->emptyView()->isVisible());
    EXPECT_EQ(list->emptyView()->text(), QStringLiteral("nothing due. suspicious."));

    // The list still has the keys while the empty state stands in for it: N opens the add row.
    ASSERT_TRUE(list->view()->hasFocus());
    QTest::keyClick(list->view(), Qt::Key_N);
    ASSERT_TRUE(list->view()->isAdding());
    EXPECT_FALSE(list->emptyView()->isVisible());
    // ... and the field is there to be seen, whole, where the rows will be.
    test::drainEvents();
    QLineEdit* field = list->view()->addField();
    ASSERT_TRUE(field->isVisible());
    const QRect shown = QRect(field->mapTo(list.get(), QPoint()), field->size()).intersected(list->rect());
    EXPECT_EQ(shown.size(), field->size());
    EXPECT_GE(field->height(), 20);
    QTest::keyClicks(list->view()->addField(), QStringLiteral("Stretch"));
    QTest::keyClick(list->view()->addField(), Qt::Key_Return);
    settle();
    EXPECT_FALSE(list->emptyView()->isVisible());
    EXPECT_EQ(model->count(Source::today), 1);
}

TEST_F(ThingListTest, doneLineShowsOnlyWhenEveryTodayRowIsDone)
{
    show(Source::today);
    EXPECT_FALSE(list->doneLine()->isVisible());
    const QSet<RowID> today = rowsOf(Source::today);
    model->setDone(today, true);
    settle();
    EXPECT_TRUE(list->doneLine()->isVisible());
    // The line sits right under the rows, not at the bottom of the screen.
    EXPECT_LE(list->doneLine()->geometry().top(), list->view()->geometry().bottom() + 8);

    model->setDone({*today.begin()}, false);
    settle();
    EXPECT_FALSE(list->doneLine()->isVisible());

    // Other lists never show it.
    show(Source::later);
    model->setDone(rowsOf(Source::later), true);
    settle();
    EXPECT_FALSE(list->doneLine()->isVisible());
}

TEST_F(ThingListTest, snoozeBarComesWithSAndPicksOrBacksOut)
{
    show(Source::today);
    const RowID first = list->view()->listModel()->rowIDs().front();
    model->select(first);
    EXPECT_FALSE(list->snoozeBar());
    QTest::keyClick(list->view(), Qt::Key_S);
    SnoozeBar* bar = list->snoozeBar();
    ASSERT_TRUE(bar);
    EXPECT_TRUE(bar->isVisible());
    // Over the bottom of the list, centred, 8 above its edge.
    EXPECT_EQ(bar->geometry().bottom() + 1, list->height() - 8);
    EXPECT_NEAR(bar->geometry().center().x(), list->width() / 2, 1);

    QTest::keyClick(list->view(), Qt::Key_Escape);
    EXPECT_FALSE(list->view()->awaitingSnooze());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !list->snoozeBar(); }));

    // A click on "Tomorrow" does what the 2 key does.
    QTest::keyClick(list->view(), Qt::Key_S);
    bar = list->snoozeBar();
    ASSERT_TRUE(bar);
    auto* tomorrow = bar->findChild<SnoozeOptionButton*>(QStringLiteral("snoozeOption2"));
    ASSERT_TRUE(tomorrow);
    QTest::mouseClick(tomorrow, Qt::LeftButton);
    EXPECT_FALSE(list->view()->awaitingSnooze());
    Thing* t = model->store().thing(*first.thingID());
    ASSERT_TRUE(t && t->snoozedUntil());
    EXPECT_EQ(model->schedule().startOfDay(*t->snoozedUntil()),
              model->schedule().addDays(model->schedule().startOfDay(model->now()), 1));
}

TEST_F(ThingListTest, compactEmptyListShowsItsMessageAboveTheAddRow)
{
    show(Source::today, ListStyle::compact);
    model->remove(rowsOf(Source::today), std::nullopt);
    settle();
    EXPECT_TRUE(list->emptyView()->isVisible());
    EXPECT_EQ(list->emptyView()->text(), QStringLiteral("nothing left. suspicious."));
    ASSERT_TRUE(list->view()->addField());
    EXPECT_TRUE(list->view()->addField()->isVisible());
    EXPECT_LT(list->emptyView()->geometry().top(), list->view()->geometry().top());
}

TEST_F(ThingListTest, anExpandedThingShowsItsStepsInANewListAndAfterASourceSwitch)
{
    Thing* reply = h.thingTitled(*model, QStringLiteral("Reply to Kesh about the deck"));
    model->setExpanded(*reply, true);
    show(Source::today); // as a tab switch builds the tab's list
    for (const char* when : {"a new list", "back from another source"}) {
        EXPECT_TRUE(QTest::qWaitFor([&] {
            const StepsView* steps = list->view()->stepsView(reply->id());
            return steps && steps->isVisible() && steps->height() >= steps->sizeHint().height();
        })) << when;
        list->view()->setSource(Source::later);
        list->view()->setSource(Source::today);
    }
}

TEST_F(ThingListTest, keysGoBackToTheListAfterEveryStepEdit)
{
    show(Source::today);
    list->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(list.get()));
    Thing* gym = h.thingTitled(*model, QStringLiteral("Think about the gym"));
    model->select(RowID::thing(gym->id()));
    press(Qt::Key_Right); // no steps yet: the caret lands in the add-step field
    StepsView* steps = list->view()->stepsView(gym->id());
    ASSERT_TRUE(steps && focusOn(steps->addField()));
    QTest::keyClicks(steps->addField(), QStringLiteral("Shoes"));
    press(Qt::Key_Return);
    press(Qt::Key_Escape);
    EXPECT_TRUE(focusOn(list->view())) << "Escape in the add-step field";
    for (const Qt::Key end : {Qt::Key_Return, Qt::Key_Escape}) {
        steps->beginEditing(gym->steps().front()->id());
        ASSERT_TRUE(focusOn(steps->rows().front()->editor()));
        press(end);
        EXPECT_TRUE(focusOn(list->view())) << "a step title ended with key " << end;
    }
    press(Qt::Key_Space);
    EXPECT_TRUE(gym->isDone()) << "the list's keys work without a click first";
}

// Under the rows come the add row, then the strip a row is dropped on to go last.
TEST_F(ThingListTest, theAddRowFollowsTheRowsAndTheEndDropZoneFollowsIt)
{
    show(Source::today);
    ThingListView* view = list->view();
    view->startAdding();
    test::drainEvents();
    const int count = view->listModel()->rowCount();
    const QRect lastRow = view->visualRect(view->listModel()->index(count - 1));
    const int rowsBottom = view->viewport()->mapTo(view, lastRow.bottomLeft()).y();
    const QWidget* addRow = view->addField()->parentWidget();
    auto* zone = view->findChild<QWidget*>(QStringLiteral("endDropZone"));
    ASSERT_TRUE(zone);
    EXPECT_EQ(addRow->geometry().top(), rowsBottom + 1);
    EXPECT_EQ(zone->geometry().top(), addRow->geometry().bottom() + 1);
    EXPECT_GE(zone->height(), 40);

    // A row dropped on the zone goes to the end of Today.
    const RowID first = view->listModel()->rowIDs().front();
    QMimeData mime;
    mime.setText(model->beginDrag(first));
    const QPoint at(40, 10);
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(zone, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_EQ(view->dropTarget(), DropSpot::endOfList());
    QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(zone, &drop);
    EXPECT_TRUE(drop.isAccepted());
    settle();
    EXPECT_EQ(view->listModel()->rowIDs().back(), first);
}
