#include "ui/list/ThingListView.h"
#include "pixel/Theme.h"
#include "support/ModelHarness.h"
#include "ui/components/ThemedLabel.h"
#include "ui/list/DropPosition.h"
#include "ui/list/ThingDelegate.h"
#include "ui/list/ThingListModel.h"
#include "ui/steps/StepsView.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

using namespace vorn;

namespace {

struct ThingListViewTest : ::testing::Test {
    void SetUp() override
    {
        h.demo();
        model = h.start();
        ASSERT_TRUE(model);
    }

    ThingListView& show(const Source& source, ListStyle style = ListStyle::regular)
    {
        view = std::make_unique<ThingListView>(*model, source, style);
        view->resize(520, 420);
        view->show();
        view->setFocus();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        return *view;
    }
    const std::vector<RowID>& rows() const { return view->listModel()->rowIDs(); }
    QSet<RowID> only(const RowID& id) const { return {id}; }
    Thing* titled(const char* title) const { return h.thingTitled(*model, QString::fromUtf8(title)); }
    // A point on the right of the row, clear of the box and the title.
    QPoint pointIn(int row, int dy = 20) const
    {
        const auto entry = view->listModel()->entryOf(rows()[size_t(row)]);
        const QRect r = view->visualRect(view->listModel()->index(entry.value_or(0)));
        return {r.right() - 4, r.top() + dy};
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier) { QTest::keyClick(view.get(), k, mods); }
    void key(char c) { QTest::keyClick(view.get(), c); }
    // The store posts its change a turn later; the list follows it then.
    void settle(std::source_location where = std::source_location::current())
    {
        test::waitForStoreChange(*model, where);
    }

    test::ModelHarness h;
    std::unique_ptr<AppModel> model;
    std::unique_ptr<ThingListView> view;
};

} // namespace

TEST(DropPosition, lowerHalfDropsAfterTheRowAndTheEndZoneAtTheEnd)
{
    struct Case {
        int index;
        double y;
        int rowHeight;
        bool after;
        int before;
    };
    const Case cases[] = {
        {2, 30, 40, true, 3},   {2, 10, 40, false, 2}, {2, 20, 40, false, 2}, // exactly half is still before
        {2, 20.5, 40, true, 3}, {0, 17, 32, true, 1},  {0, 16, 32, false, 0},
        {2, 41, 40, true, 3}, // the drawn row may be taller than the nominal height
    };
    for (const Case& c : cases) {
        const DropSpot spot = dropSpotInRow(c.index, c.y, c.rowHeight);
        EXPECT_EQ(spot, DropSpot::row(c.index, c.after)) << c.y;
        EXPECT_EQ(insertionIndex(spot, 7), c.before) << c.y;
    }
    EXPECT_EQ(insertionIndex(DropSpot::endOfList(), 7), 7);
}

TEST_F(ThingListViewTest, dropSpotsFollowTheRowHalvesAndDropReorders)
{
    show(Source::today);
    ASSERT_GE(rows().size(), 4u);
    const QPoint upper = pointIn(2, 8);
    const QPoint lower = pointIn(2, 30);
    EXPECT_EQ(view->dropSpotAt(upper), DropSpot::row(2, false));
    EXPECT_EQ(view->dropSpotAt(lower), DropSpot::row(2, true));
    const QPoint belowRows(
        40, view->visualRect(view->listModel()->index(view->listModel()->rowCount() - 1)).bottom() + 20);
    EXPECT_EQ(view->dropSpotAt(belowRows), DropSpot::endOfList());

    // Dragging the first row into the lower half of row 3 puts it third.
    const RowID first = rows()[0];
    model->beginDrag(first);
    EXPECT_TRUE(view->performDrop(*view->dropSpotAt(lower)));
    settle();
    EXPECT_EQ(rows()[2], first);

    // Later is ordered by time: no end zone there.
    view->setSource(Source::later);
    EXPECT_FALSE(view->dropSpotAt(QPoint(40, view->viewport()->height() - 2)));
}

TEST_F(ThingListViewTest, arrowsSelectWithinTheRowsAndStopAtTheEnds)
{
    show(Source::today);
    const size_t last = rows().size() - 1;
    ASSERT_GE(last, 2u);

    key(Qt::Key_Down);
    EXPECT_EQ(model->selection(), only(rows()[0])) << "↓ with nothing selected";
    key(Qt::Key_Up);
    EXPECT_EQ(model->selection(), only(rows()[0])) << "↑ at the top";
    key(Qt::Key_Down);
    EXPECT_EQ(model->selection(), only(rows()[1]));

    model->select(std::nullopt);
    key(Qt::Key_Up);
    EXPECT_EQ(model->selection(), only(rows()[last])) << "↑ with nothing selected";
    key(Qt::Key_Down);
    EXPECT_EQ(model->selection(), only(rows()[last])) << "↓ at the bottom";
    key(Qt::Key_Up);
    EXPECT_EQ(model->selection(), only(rows()[last - 1]));

    // A selection from another list counts as none.
    model->select(RowID::thing(titled("Call mum back")->id()));
    key(Qt::Key_Down);
    EXPECT_EQ(model->selection(), only(rows()[0]));

    // The view paints what the model selected.
    EXPECT_TRUE(
        view->selectionModel()->isSelected(view->listModel()->index(*view->listModel()->entryOf(rows()[0]))));
}

TEST_F(ThingListViewTest, spaceDeleteAndTheSnoozeChoiceActOnTheSelection)
{
    show(Source::today);
    Thing* gym = titled("Think about the gym");
    model->select(RowID::thing(gym->id()));

    key(Qt::Key_Space);
    EXPECT_TRUE(gym->isDone());
    key(Qt::Key_Space);
    EXPECT_FALSE(gym->isDone());

    // S waits for a digit; Escape gives up without snoozing.
    key('s');
    EXPECT_TRUE(view->awaitingSnooze());
    key(Qt::Key_Escape);
    EXPECT_FALSE(view->awaitingSnooze());
    key('2');
    EXPECT_FALSE(gym->snoozedUntil()) << "a digit without S does nothing";

    for (const auto& [digit, option] :
         {std::pair{'1', SnoozeOption::tonightIsh}, std::pair{'2', SnoozeOption::tomorrow},
          std::pair{'3', SnoozeOption::monday}, std::pair{'4', SnoozeOption::someday}}) {
        Thing* t = titled(digit == '1'   ? "Think about the gym"
                          : digit == '2' ? "Water the plant on the left"
                          : digit == '3' ? "Book the dentist (for real this time)"
                                         : "Reply to Kesh about the deck");
        settle();
        model->select(RowID::thing(t->id()));
        key('S');
        key(digit);
        EXPECT_FALSE(view->awaitingSnooze());
        ASSERT_TRUE(t->snoozedUntil()) << digit;
        EXPECT_EQ(*t->snoozedUntil(), model->schedule().wakeDate(option, model->now())) << digit;
    }

    // Delete removes the selected thing and moves the selection on.
    model->add(QStringLiteral("Throwaway"), Source::today);
    settle();
    Thing* throwaway = titled("Throwaway");
    ASSERT_TRUE(throwaway);
    const RecordId goneID = throwaway->id();
    model->select(RowID::thing(goneID));
    key(Qt::Key_Delete);
    EXPECT_FALSE(model->store().thing(goneID));
    EXPECT_FALSE(model->selection().contains(RowID::thing(goneID)));
}

TEST_F(ThingListViewTest, keysThatDoNotApplyAreIgnored)
{
    show(Source::doneIsh);
    Thing* done = titled("Drink water");
    ASSERT_TRUE(done);
    model->select(RowID::thing(done->id()));
    ASSERT_TRUE(view->listModel()->entryOf(RowID::thing(done->id())));
    key('s');
    EXPECT_FALSE(view->awaitingSnooze()) << "no snoozing in Done-ish";
    key('n');
    EXPECT_FALSE(view->isAdding()) << "no adding in Done-ish";

    // With nothing selected Space, Return and Delete leave everything as it was.
    view->setSource(Source::today);
    model->select(std::nullopt);
    const size_t before = model->allThings().size();
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
    QApplication::sendEvent(view.get(), &space);
    EXPECT_FALSE(space.isAccepted());
    key(Qt::Key_Return);
    key(Qt::Key_Delete);
    EXPECT_FALSE(view->isEditingTitle());
    EXPECT_EQ(model->allThings().size(), before);
    // → and ← belong to the regular style.
    auto compact = std::make_unique<ThingListView>(*model, Source::today, ListStyle::compact);
    Thing* reply = titled("Reply to Kesh about the deck");
    model->select(RowID::thing(reply->id()));
    QTest::keyClick(compact.get(), Qt::Key_Right);
    EXPECT_FALSE(model->expanded().contains(reply->id()));
    key(Qt::Key_Right);
    EXPECT_TRUE(model->expanded().contains(reply->id()));
    key(Qt::Key_Left);
    EXPECT_FALSE(model->expanded().contains(reply->id()));
}

TEST_F(ThingListViewTest, tMovesSelectedLaterThingsToToday)
{
    show(Source::later);
    Thing* mum = titled("Call mum back");
    model->select(RowID::thing(mum->id()));
    key('T');
    EXPECT_FALSE(mum->snoozedUntil());
    settle();
    EXPECT_FALSE(view->listModel()->entryOf(RowID::thing(mum->id())));
}

TEST_F(ThingListViewTest, returnRenamesInPlaceAndEscapeCancels)
{
    show(Source::today);
    Thing* gym = titled("Think about the gym");
    model->select(RowID::thing(gym->id()));

    key(Qt::Key_Return);
    auto* editor = view->findChild<QLineEdit*>(QStringLiteral("titleEditor"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), gym->title());
    EXPECT_TRUE(view->isTyping());
    // Letters that are list keys elsewhere are typed here.
    QTest::keyClicks(editor, QStringLiteral(" st"));
    EXPECT_FALSE(view->awaitingSnooze());
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isEditingTitle(); }));
    EXPECT_EQ(gym->title(), QStringLiteral("Think about the gym st"));
    EXPECT_FALSE(gym->snoozedUntil());

    key(Qt::Key_Return);
    editor = view->findChild<QLineEdit*>(QStringLiteral("titleEditor"));
    ASSERT_TRUE(editor);
    QTest::keyClicks(editor, QStringLiteral("xyz"));
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->isEditingTitle(); }));
    EXPECT_EQ(gym->title(), QStringLiteral("Think about the gym st"));

    // Ctrl+Return opens the note instead.
    key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(model->editingNote(), NoteTarget::thing(gym->id()));
}

TEST_F(ThingListViewTest, addFieldTakesLettersAddsOnReturnAndClosesOnEscape)
{
    show(Source::today);
    Thing* gym = titled("Think about the gym");
    model->select(RowID::thing(gym->id()));
    key('n');
    ASSERT_TRUE(view->isAdding());
    QLineEdit* field = view->findChild<QLineEdit*>(QStringLiteral("addField"));
    ASSERT_TRUE(field);
    EXPECT_TRUE(view->isTyping());

    QTest::keyClicks(field, QStringLiteral("st"));
    EXPECT_EQ(field->text(), QStringLiteral("st"));
    EXPECT_FALSE(view->awaitingSnooze());
    EXPECT_FALSE(gym->snoozedUntil());

    QTest::keyClick(field, Qt::Key_Return);
    settle();
    Thing* added = titled("st");
    ASSERT_TRUE(added);
    EXPECT_TRUE(view->listModel()->entryOf(RowID::thing(added->id())));
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_TRUE(view->isAdding()) << "the field stays open for the next one";

    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(view->isAdding());

    // The new-thing command opens it too.
    model->requestAdd();
    EXPECT_TRUE(view->isAdding());
}

TEST_F(ThingListViewTest, compactListAlwaysHasItsAddRowAndEscapeOnlyClearsIt)
{
    show(Source::today, ListStyle::compact);
    ASSERT_TRUE(view->isAdding());
    QLineEdit* field = view->addField();
    EXPECT_FALSE(field->hasFocus());
    key('n');
    QTest::keyClicks(field, QStringLiteral("half"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(view->isAdding());
    EXPECT_EQ(view->addField(), field);
    EXPECT_TRUE(field->text().isEmpty());
    // Done-ish takes no new things, so it has no add row.
    view->setSource(Source::doneIsh);
    EXPECT_FALSE(view->isAdding());
    view->setSource(Source::today);
    EXPECT_TRUE(view->isAdding());
    ASSERT_TRUE(view->grab().save(QStringLiteral("/tmp/vorn-list-compact.png")));
}

TEST_F(ThingListViewTest, clicksSelectExtendAndToggleLikeTheModelSays)
{
    show(Source::today);
    QSignalSpy pressed(view.get(), &ThingListView::rowPressed);
    ASSERT_GE(rows().size(), 4u);

    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, pointIn(0));
    EXPECT_EQ(model->selection(), only(rows()[0]));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, pointIn(2));
    EXPECT_EQ(model->selection(), (QSet<RowID>{rows()[0], rows()[2]}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, pointIn(3));
    EXPECT_EQ(model->selection(), (QSet<RowID>{rows()[2], rows()[3]}));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, pointIn(3));
    EXPECT_EQ(model->selection(), only(rows()[2]));
    EXPECT_EQ(pressed.count(), 4);

    // The box ticks the thing without touching the selection.
    Thing* t = view->listModel()->thing(*view->listModel()->entryOf(rows()[1]));
    const QRect r = view->visualRect(view->listModel()->index(*view->listModel()->entryOf(rows()[1])));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(r.left() + 20, r.top() + 20));
    EXPECT_EQ(t->isDone(), true);
    EXPECT_EQ(model->selection(), only(rows()[2]));
}

TEST_F(ThingListViewTest, aPressInsideTheSelectionDragsAllOfItAndOnlyAReleaseCollapsesIt)
{
    show(Source::today);
    ASSERT_GE(rows().size(), 4u);
    for (const bool drags : {false, true}) {
        SCOPED_TRACE(drags ? "dragged" : "clicked");
        const RowID a = rows()[0], c = rows()[2];
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, pointIn(0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier, pointIn(2));
        QTest::mousePress(view->viewport(), Qt::LeftButton, {}, pointIn(2));
        EXPECT_EQ(model->selection(), (QSet<RowID>{a, c})) << "the press leaves the selection whole";
        for (int dy = 10; drags && dy <= 30; dy += 20) // the first step arms the drag, the next starts it
            QTest::mouseMove(view->viewport(), pointIn(2) + QPoint(0, dy));
        EXPECT_EQ(model->dragging(), drags ? QSet<RowID>({a, c}) : QSet<RowID>());
        QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, pointIn(2));
        EXPECT_EQ(model->selection(), drags ? QSet<RowID>({a, c}) : only(c));
        if (!drags)
            continue;
        // Dropped after the last row, both go there in their order.
        const int last = view->listModel()->rowCount() - 1;
        const QPoint end(40, view->visualRect(view->listModel()->index(last)).bottom() + 20);
        QMimeData mime;
        mime.setText(QStringLiteral("dragged"));
        QDragEnterEvent enter(end, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &enter);
        QDropEvent drop(QPointF(end), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &drop);
        settle();
        EXPECT_EQ(std::vector<RowID>(rows().end() - 2, rows().end()), (std::vector<RowID>{a, c}));
    }
}

TEST_F(ThingListViewTest, compactListGrowsToTenRowsThenScrolls)
{
    for (int i = 0; i < 5; ++i)
        model->add(QStringLiteral("Extra %1").arg(i), Source::today);
    settle();
    show(Source::today, ListStyle::compact);
    const int shown = int(rows().size());
    ASSERT_LT(shown, 11);
    EXPECT_EQ(view->viewport()->height(), shown * 32);
    EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    for (int i = shown; i < 12; ++i)
        model->add(QStringLiteral("More %1").arg(i), Source::today);
    settle();
    EXPECT_EQ(rows().size(), 12u);
    EXPECT_EQ(view->viewport()->height(), 320);
    EXPECT_NE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

// Also leaves the pictures in /tmp for a person to look at.
TEST_F(ThingListViewTest, paintsTheSelectedRowOnTheSelectionColourOnly)
{
    show(Source::today);
    model->select(rows()[1]);
    const QImage image = view->grab().toImage();
    ASSERT_TRUE(image.save(QStringLiteral("/tmp/vorn-list-today.png")));
    const auto backgroundAt = [&](int row) {
        const QRect r =
            view->visualRect(view->listModel()->index(*view->listModel()->entryOf(rows()[size_t(row)])));
        // Left of the box, halfway down: clear of every glyph and of the rounded corners.
        return image.pixelColor(r.left() + 5, r.top() + 20);
    };
    // The selection colour is translucent: expect it laid over the plain background of the rows around.
    const QColor selection = Color::vornSelection().resolved(view->palette());
    const QColor plain = backgroundAt(0);
    EXPECT_EQ(backgroundAt(2), plain);
    const qreal a = selection.alphaF();
    const auto blend = [&](int s, int b) { return int(std::lround(s * a + b * (1 - a))); };
    const QColor selected = backgroundAt(1);
    EXPECT_NEAR(selected.red(), blend(selection.red(), plain.red()), 2);
    EXPECT_NEAR(selected.green(), blend(selection.green(), plain.green()), 2);
    EXPECT_NEAR(selected.blue(), blend(selection.blue(), plain.blue()), 2);
    EXPECT_NE(selected, plain);

    view->setSource(Source::later);
    ASSERT_TRUE(view->grab().save(QStringLiteral("/tmp/vorn-list-later.png")));
    view->setSource(Source::today);
    view->startAdding();
    ASSERT_TRUE(view->grab().save(QStringLiteral("/tmp/vorn-list-adding.png")));
}

TEST_F(ThingListViewTest, contextMenuActsOnTheSelectionWhenTheRowIsInIt)
{
    show(Source::today);
    const auto entryOf = [&](const RowID& id) { return *view->listModel()->entryOf(id); };
    const RowID a = rows()[0], b = rows()[1], c = rows()[2];
    model->click(a, Qt::NoModifier, Source::today, true);
    model->click(b, Qt::ControlModifier, Source::today, true);

    auto menu = view->contextMenu(entryOf(a));
    ASSERT_TRUE(menu);
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts, (QStringList{"Done", "Snooze", "Edit", "Add Step", "-", "Cut", "Copy", "Paste",
                                  "Send to Vorn Planner", "-", "Delete"}));

    // On a row outside the selection only that row is snoozed.
    auto other = view->contextMenu(entryOf(c));
    QMenu* snooze = other->actions().at(1)->menu();
    ASSERT_TRUE(snooze);
    ASSERT_EQ(snooze->actions().size(), 4);
    EXPECT_EQ(snooze->actions().at(1)->text(), QStringLiteral("Tomorrow"));
    snooze->actions().at(1)->trigger();
    Thing* thingC = model->store().thing(*c.thingID());
    EXPECT_TRUE(thingC->snoozedUntil());
    EXPECT_FALSE(model->store().thing(*a.thingID())->snoozedUntil());

    // Inside the selection, Delete takes both selected rows.
    menu->actions().last()->trigger();
    EXPECT_FALSE(model->store().thing(*a.thingID()));
    EXPECT_FALSE(model->store().thing(*b.thingID()));
    EXPECT_TRUE(model->store().thing(*c.thingID()));
}

TEST_F(ThingListViewTest, expandedThingShowsItsStepsUnderItsRowAndTheRowsBelowMakeRoom)
{
    show(Source::today);
    Thing* reply = titled("Reply to Kesh about the deck");
    ASSERT_TRUE(reply);
    const RowID replyId = RowID::thing(reply->id());
    const auto rowBelow = [&] {
        const auto at = std::find(rows().begin(), rows().end(), replyId) - rows().begin();
        const RowID next = rows()[size_t(at) + 1];
        return view->visualRect(view->listModel()->index(*view->listModel()->entryOf(next)));
    };
    const int foldedTop = rowBelow().top();
    EXPECT_FALSE(view->stepsView(reply->id()));

    model->select(replyId);
    key(Qt::Key_Right);
    test::drainEvents(); // unfolding is view state: no record changes, only layout to follow
    StepsView* steps = view->stepsView(reply->id());
    ASSERT_TRUE(steps);
    EXPECT_EQ(steps->rows().size(), 3u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowBelow().top() >= foldedTop + steps->sizeHint().height(); }));

    // A step typed into the view's field grows it, and the rows below move down with it.
    const int before = rowBelow().top();
    steps->addField()->setFocus();
    EXPECT_TRUE(view->isTyping()) << "list keys must stay letters in the steps field";
    QTest::keyClicks(steps->addField(), QStringLiteral("Sleep on it"));
    QTest::keyClick(steps->addField(), Qt::Key_Return);
    EXPECT_EQ(reply->steps().size(), 4u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowBelow().top() > before; }));

    view->setFocus();
    key(Qt::Key_Left);
    test::drainEvents();
    EXPECT_FALSE(view->stepsView(reply->id()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rowBelow().top() == foldedTop; }));
}

TEST_F(ThingListViewTest, clickOnTheChevronFoldsAndUnfolds)
{
    show(Source::today);
    Thing* reply = titled("Reply to Kesh about the deck");
    const auto entry = *view->listModel()->entryOf(RowID::thing(reply->id()));
    const QRect row = view->visualRect(view->listModel()->index(entry));
    const QPoint chevron(row.right() - 12 - 9, row.top() + 20);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, chevron);
    EXPECT_TRUE(model->expanded().contains(reply->id()));
    test::drainEvents(); // unfolding is view state: no record changes, only layout to follow
    EXPECT_TRUE(view->stepsView(reply->id()));
}

TEST_F(ThingListViewTest, doubleClickOnATitleOpensTheNoteAndASingleClickOnItRenames)
{
    show(Source::today);
    Thing* water = titled("Water the plant on the left");
    const RowID waterRow = RowID::thing(water->id());
    const QRect r = view->visualRect(view->listModel()->index(*view->listModel()->entryOf(waterRow)));
    const auto inWindow = [&](int x) {
        return view->viewport()->mapTo(view.get(), QPoint(r.left() + x, r.top() + 20));
    };
    const QPoint title = inWindow(60);
    // Sent to the window, QTest's double click is the desktop's: press, release, press, double click,
    // release, each to the widget under the pointer. The first one selects the row, the second finds it
    // selected.
    for (const char* row : {"unselected", "selected"}) {
        model->setEditingNote(std::nullopt);
        QTest::mouseDClick(view->windowHandle(), Qt::LeftButton, {}, title);
        EXPECT_EQ(model->editingNote(), NoteTarget::thing(water->id())) << row;
    }
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_FALSE(view->isEditingTitle()) << "a double click does not rename as well";

    // A single click on the title text renames, selected or not, once the double-click interval is over;
    // a click on the row beside the text, or with Ctrl, only selects.
    struct Case {
        const char* name;
        QPoint at;
        Qt::KeyboardModifiers modifiers;
        bool renames;
    };
    for (const Case c : {Case{"on the title of an unselected row", title, {}, true},
                         Case{"on the title of the selected row", title, {}, true},
                         Case{"right of the title text", inWindow(r.width() - 60), {}, false},
                         Case{"with Ctrl", title, Qt::ControlModifier, false}}) {
        SCOPED_TRACE(c.name);
        if (std::string_view(c.name).find("unselected") != std::string_view::npos)
            model->select(rows()[0] == waterRow ? rows()[1] : rows()[0]);
        else
            model->select(waterRow);
        QTest::mouseClick(view->windowHandle(), Qt::LeftButton, c.modifiers, c.at);
        if (!(c.modifiers & Qt::ControlModifier)) {
            EXPECT_EQ(model->selection(), only(waterRow));
        }
        EXPECT_FALSE(view->isEditingTitle()) << "not before the double-click interval";
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        EXPECT_EQ(view->isEditingTitle(), c.renames);
        if (auto* editor = view->findChild<QLineEdit*>(QStringLiteral("titleEditor")))
            QTest::keyClick(editor, Qt::Key_Escape);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !view->isEditingTitle(); }));
    }
}

TEST_F(ThingListViewTest, screenReadersHearDoneStateStepsSnoozesAndTheStepsButton)
{
    model->toggleDone(*titled("Water the plant on the left")); // it stays in Today until the day is over
    show(Source::today);
    const std::pair<const char*, const char*> cases[] = {
        {"Water the plant on the left", "Done"},
        {"Book the dentist (for real this time)",
         "Not done, snoozed 3×. delete it? no judgment., Snoozed 3 times"},
        {"Reply to Kesh about the deck", "Not done, 1 of 3 steps done, Snoozed 2 times, Show steps (\u2192)"},
    };
    for (const auto& [title, description] : cases) {
        const int entry = *view->listModel()->entryOf(RowID::thing(titled(title)->id()));
        QAccessibleInterface* cell =
            QAccessible::queryAccessibleInterface(view.get())->tableInterface()->cellAt(entry, 0);
        EXPECT_EQ(cell->text(QAccessible::Description), QString::fromUtf8(description));
        EXPECT_EQ(bool(cell->state().checked), titled(title)->isDone()) << title;
    }
    // The steps button's help is also its tooltip.
    model->setExpanded(*titled("Reply to Kesh about the deck"), true);
    QHelpEvent help(QEvent::ToolTip, pointIn(0) - QPoint(17, 0), QPoint());
    QApplication::sendEvent(view->viewport(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Hide steps (\u2190)"));
}

TEST(ThingListFamilyRows, aFamilyRowRenamesAndTicksThroughTheFamilyAndItsMenuOffersRename)
{
    test::ModelHarness h;
    h.demo();
    h.launch.syncsToFamily = true;
    auto model = h.start();
    ASSERT_TRUE(model);
    ThingListView view(*model, Source::today, ListStyle::regular);
    view.resize(520, 420);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setFocus();
    const auto& rows = view.listModel()->rowIDs();
    const auto family = std::find_if(rows.begin(), rows.end(), [](const RowID& id) { return id.isShared(); });
    ASSERT_NE(family, rows.end()) << "the demo lists its planner row in Today";
    const RowID id = *family;

    auto menu = view.contextMenu(*view.listModel()->entryOf(id));
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts, (QStringList{"Add a Note", "Rename", "Done", "-", "Delete"}));

    model->select(id);
    QTest::keyClick(&view, Qt::Key_Return);
    auto* editor = view.findChild<QLineEdit*>(QStringLiteral("titleEditor"));
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), QStringLiteral("book flights (from planner)"));
    editor->selectAll();
    QTest::keyClicks(editor, QStringLiteral("book the train"));
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view.isEditingTitle(); }));
    EXPECT_EQ(model->sharedThing(*id.sharedID())->title, QStringLiteral("book the train"));
    // The family file has it too, not only the rows on screen.
    model->familySync().flush();
    const auto stored = model->familySync().familyStore()->allThings();
    const auto row = std::find_if(stored.begin(), stored.end(),
                                  [&](const SharedThing& s) { return s.id == *id.sharedID(); });
    ASSERT_NE(row, stored.end());
    EXPECT_EQ(row->title, QStringLiteral("book the train"));

    // A click on its box ticks it, as on our own rows, and leaves the selection alone.
    model->select(std::nullopt);
    const QRect r = view.visualRect(view.listModel()->index(*view.listModel()->entryOf(id)));
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(r.left() + 23, r.top() + 20));
    EXPECT_TRUE(QTest::qWaitFor([&] { return model->sharedThing(*id.sharedID())->done; }));
    EXPECT_TRUE(model->selection().isEmpty());
    QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(&view)->tableInterface()->cellAt(
        *view.listModel()->entryOf(id), 0);
    EXPECT_EQ(cell->text(QAccessible::Description), QStringLiteral("Done, planner"));
    EXPECT_TRUE(cell->state().checked);
}

// The list draws another app's row itself: the title, struck through once done, and at the row's end
// the name of the app it comes from.
TEST(ThingListFamilyRows, aFamilyRowShowsItsAppAndIsStruckThroughOnceDone)
{
    test::ModelHarness h;
    h.demo();
    h.launch.syncsToFamily = true;
    auto model = h.start();
    ASSERT_TRUE(model);
    ThingListView view(*model, Source::today, ListStyle::regular);
    view.resize(520, 420);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    const auto& rows = view.listModel()->rowIDs();
    const auto family = std::find_if(rows.begin(), rows.end(), [](const RowID& id) { return id.isShared(); });
    ASSERT_NE(family, rows.end()) << "the demo lists its planner row in Today";
    const RowID id = *family;
    const auto index = [&] { return view.listModel()->index(*view.listModel()->entryOf(id)); };
    const QString app = index().data(ThingListModel::SourceAppRole).toString();
    const QString title = index().data(ThingListModel::TitleRole).toString();
    ASSERT_EQ(app, QStringLiteral("planner"));
    auto* delegate = qobject_cast<ThingDelegate*>(view.itemDelegate());
    ASSERT_TRUE(delegate);

    const QRect row = view.visualRect(index()).adjusted(0, 0, 0, -metrics(ListStyle::regular).rowSpacing);
    const QRect titleRect = delegate->titleRect(row);
    const int titleWidth = QFontMetrics(uiFont(ThingDelegate::familyTitleSize)).horizontalAdvance(title);
    const int appWidth = QFontMetrics(uiFont(12)).horizontalAdvance(app);
    const int appRight = row.right() - metrics(ListStyle::regular).padding;
    // Pixels that are not the row's own background, in a rectangle of the row.
    const auto inked = [&](const QImage& image, const QRect& area) {
        const QColor well = image.pixelColor(row.left() + 5, row.top() + 20);
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += image.pixelColor(x, y) != well;
        return n;
    };
    // The longest run of inked pixels along any one line of the title.
    const auto longestRun = [&](const QImage& image) {
        const QColor well = image.pixelColor(row.left() + 5, row.top() + 20);
        int longest = 0;
        for (int y = titleRect.top(); y <= titleRect.bottom(); ++y) {
            int run = 0;
            for (int x = titleRect.left(); x < titleRect.left() + titleWidth; ++x) {
                run = image.pixelColor(x, y) != well ? run + 1 : 0;
                longest = std::max(longest, run);
            }
        }
        return longest;
    };

    // Bands clear of the well's rounded corners: the app's name, and the padding after it.
    const int corner = metrics(ListStyle::regular).cornerRadius;
    const QRect appArea(appRight - appWidth + 1, row.top() + corner, appWidth, row.height() - 2 * corner);
    const QRect afterApp(appRight + 2, row.top() + corner, row.right() - appRight - 2,
                         row.height() - 2 * corner);

    const QImage open = view.viewport()->grab().toImage();
    ASSERT_TRUE(open.save(QStringLiteral("/tmp/vorn-list-family-row.png")));
    EXPECT_GT(inked(open, appArea), 20);
    EXPECT_EQ(inked(open, afterApp), 0);
    EXPECT_LT(longestRun(open), titleWidth / 2);

    model->toggleExternal(*view.listModel()->sharedThing(index().row()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return index().data(ThingListModel::DoneRole).toBool(); }));
    const QImage done = view.viewport()->grab().toImage();
    EXPECT_GE(longestRun(done), titleWidth - 2);
    EXPECT_GT(inked(done, appArea), 20);
}

// The title editor has a clear background, so the painted title under it must go while it is open:
// own rows, the planner's rows, and the focus panel's compact rows.
TEST(ThingListEditing, theOldTitleIsNotPaintedUnderTheEditor)
{
    struct Case {
        const char* name;
        ListStyle style;
        bool familyRow;
    };
    for (const Case c :
         {Case{"own row", ListStyle::regular, false}, Case{"planner row", ListStyle::regular, true},
          Case{"compact row", ListStyle::compact, false}}) {
        SCOPED_TRACE(c.name);
        test::ModelHarness h;
        h.demo();
        h.launch.syncsToFamily = c.familyRow;
        auto model = h.start();
        ASSERT_TRUE(model);
        ThingListView view(*model, Source::today, c.style);
        view.resize(520, 420);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
        view.setFocus();
        const auto& rows = view.listModel()->rowIDs();
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const RowID& id) { return id.isShared() == c.familyRow; });
        ASSERT_NE(row, rows.end());
        const QModelIndex index = view.listModel()->index(*view.listModel()->entryOf(*row));
        const QRect rect = view.visualRect(index);
        // The inked pixels in `area` of the row as shown, and the leftmost column holding one.
        struct Ink {
            int pixels = 0;
            int left = INT_MAX;
        };
        const auto inkIn = [&](QRect area) {
            const QImage image = view.viewport()->grab().toImage();
            const QColor background =
                image.pixelColor(rect.left() + 4, rect.top() + 20); // the row fill, left of the box
            Ink ink;
            const QRect title = area.intersected(image.rect());
            for (int y = title.top(); y <= title.bottom(); ++y) {
                for (int x = title.left(); x <= title.right(); ++x) {
                    if (image.pixelColor(x, y) != background) {
                        ++ink.pixels;
                        ink.left = std::min(ink.left, x);
                    }
                }
            }
            return ink;
        };
        model->select(*row);
        test::drainEvents();
        const QRect titleText = static_cast<ThingDelegate*>(view.itemDelegate())->titleTextRect(rect, index);
        const Ink painted = inkIn(titleText.adjusted(-8, 0, 0, 0));
        ASSERT_GT(painted.pixels, 50) << "the title is painted while not edited";
        QTest::keyClick(&view, Qt::Key_Return);
        auto* editor = view.findChild<QLineEdit*>(QStringLiteral("titleEditor"));
        ASSERT_TRUE(editor);
        // The editor's text starts where the painted title did: nothing jumps when renaming begins.
        EXPECT_EQ(inkIn(titleText.adjusted(-8, 0, 0, 0)).left, painted.left);
        // An emptied editor paints nothing but its caret; the rest is what the row paints under it.
        editor->setPlaceholderText(QString());
        editor->clear();
        ASSERT_TRUE(view.isEditingTitle());
        EXPECT_LT(inkIn(editor->geometry()).pixels, 40);
    }
}
